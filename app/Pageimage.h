#pragma once
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QWidget>
#include <optional>
#include <vector>

#include "app/Surface.h"

// The page image: shows one drawing surface, one surface pixel per page
// pixel, at a zoom, and reports pointer moves and clicks in page pixels.
// Zoom changes only how the surface is shown, never the surface.
// The widget's parent is kept just large enough to hold it where it sits.
//
// Zoom is counted in hundredths of a percent (ActualSize shows one widget
// pixel per page pixel). Widget pixel s shows page pixel s * ActualSize /
// zoom, rounded down, across and down; PagePoint reports the same pixel.
// Above actual size each page pixel is a sharp block of widget pixels; below
// it the widget shows the page reduced by area averaging (each widget pixel
// the mean of the page area it covers), made once per zoom, page size and
// page change, so that showing any part of it is a plain copy.
class TPageImage : public QWidget {
    Q_OBJECT
public:
    static constexpr int Percent = 100;  // zoom units per percent
    static constexpr int ActualSize = 100 * Percent;
    static constexpr int MinZoom = 5 * Percent;
    static constexpr int MaxZoom = 800 * Percent;

    explicit TPageImage(QWidget* parent);
    TSurface& Surface() { return surface_; }
    void SetPageSize(int width, int height);
    // The surface has been drawn on: the widget shows it anew.
    void PageChanged();

    int Zoom() const { return zoom_; }
    // Clamped to MinZoom..MaxZoom.
    void SetZoom(int zoom);
    // The next zoom step above (in) or below (out) a zoom, within the limits.
    static int ZoomStep(int zoom, bool in);
    // The largest zoom (within the limits) at which a page's shown size fits
    // a view of `view` pixels (the view without scroll bars): the whole page,
    // or with widthOnly its width, beside a vertical scroll bar of
    // scrollBarWidth pixels where the page's height then needs one.
    static int FitZoom(QSize page, QSize view, int scrollBarWidth, bool widthOnly);
    // Widget pixels a length of page pixels takes at the zoom (rounded up).
    int ShownLength(int pagePixels) const;
    // The page pixel under a position in the widget's coordinates.
    QPoint PagePoint(const QPointF& position) const;
    // The widget pixels that show some of a page rectangle.
    QRect ShownRect(const QRect& pageRect) const;

    // An outline drawn over the shown page around a page rectangle (the
    // surface is left alone); none by default.
    void SetHighlight(std::optional<QRect> pageRect);
    std::optional<QRect> Highlight() const { return highlight_; }

    // A net marked over the shown page (the surface is left alone), in the
    // outline's colour at every zoom: a halo 2 widget pixels wide around the
    // shown pixels of every page rectangle of `runs`, and a square ring 2
    // pixels wide, 3 pixels clear of the shown pixel, around every end. Both
    // cover only widget pixels that show `paper` (the page's background), so
    // the drawing's own lines and dots stay in sight through them.
    void SetNetHighlight(std::vector<QRect> runs, std::vector<QPoint> ends, QRgb paper);
    void ClearNetHighlight();
    bool HasNetHighlight() const { return !netRuns_.empty() || !netEnds_.empty(); }

    // A picture shown over the page in its place, one picture pixel per page
    // pixel at the same zoom (reduced and enlarged the same way); the surface
    // is left alone, and the widget is as large as the picture while it is
    // shown. A null image removes it.
    void SetOverlay(const QImage& picture);
    const QImage& Overlay() const { return overlay_; }
    // The size in page pixels of what is shown: the overlay's or the surface's.
    QSize ShownPageSize() const;

    // How many reduced images have been made so far.
    int ReductionCount() const { return reductionCount_; }

signals:
    void PointerMoved(int x, int y);
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateSize();
    // The reduced page for a zoom below actual size, made when out of date.
    const QImage& Reduction();
    // Part of the page enlarged for a zoom above actual size.
    QImage Enlarged(const QRect& shown) const;
    // What is shown: the overlay while there is one, else the surface.
    const QImage& Shown() const { return overlay_.isNull() ? surface_.Image() : overlay_; }
    // The widget pixels of `shown` (inside the widget) as they are shown.
    QImage ShownPart(const QRect& shown);
    // Marks the net on `part`, the widget pixels at part's place `at`.
    void MarkNet(QImage& part, QPoint at) const;

    TSurface surface_;
    int zoom_ = ActualSize;
    QImage reduced_;
    bool reducedStale_ = true;
    int reductionCount_ = 0;
    std::optional<QRect> highlight_;
    QImage overlay_;  // RGB32
    std::vector<QRect> netRuns_;
    std::vector<QPoint> netEnds_;
    QRgb netPaper_ = 0;
};
