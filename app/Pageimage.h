#pragma once
#include <QPointF>
#include <QWidget>

#include "app/Surface.h"

// The page image: shows one drawing surface, one surface pixel per page
// pixel, at a zoom factor, and reports pointer moves and clicks in page
// pixels. Zoom changes only how the surface is shown, never the surface.
// The widget's parent is kept just large enough to hold it where it sits.
class TPageImage : public QWidget {
    Q_OBJECT
public:
    static constexpr int MinZoom = 25;   // percent
    static constexpr int MaxZoom = 800;

    explicit TPageImage(QWidget* parent);
    TSurface& Surface() { return surface_; }
    void SetPageSize(int width, int height);

    int Zoom() const { return zoom_; }
    // Clamped to MinZoom..MaxZoom.
    void SetZoom(int percent);
    // The next zoom step above (in) or below (out) a zoom, within the limits.
    static int ZoomStep(int percent, bool in);
    // The page pixel under a position in the widget's coordinates.
    QPoint PagePoint(const QPointF& position) const;

signals:
    void PointerMoved(int x, int y);
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateSize();

    TSurface surface_;
    int zoom_ = 100;
};
