#pragma once
// The page view: the scroll area of the main window that holds the page
// image (ScrollBox1 and Image1 of the window's layout) and moves over it:
// zoom by the menu's steps, to fit the page or its width, and with Ctrl +
// mouse wheel; panning by dragging with the middle button; and scrolling to
// the page's corners or to a page rectangle in the middle of the view.
// What is drawn on the page is the main window's business.

#include <QPoint>
#include <QRect>
#include <QScrollArea>
#include <optional>

#include "app/Pageimage.h"

class TPageView : public QScrollArea {
    Q_OBJECT
public:
    explicit TPageView(QWidget* parent);

    TPageImage* Image() const { return image_; }

    // View ▸ Zoom In and Zoom Out (the next step of TPageImage::ZoomStep),
    // Actual Size.
    void ZoomIn();
    void ZoomOut();
    void ActualSize();
    // Zoom in the units of TPageImage, keeping the page pixel under `anchor`
    // (viewport coordinates; the middle of the view when none is given)
    // where it is.
    void ZoomTo(int zoom, std::optional<QPoint> anchor = std::nullopt);
    // View ▸ Fit Page and Fit Width: the largest zoom at which the page (its
    // width) fits the view as it is now.
    void FitPage();
    void FitWidth();
    int FitZoom(bool widthOnly) const;
    // View ▸ Page Start and Page End: the page's top-left and bottom-right corner.
    void ShowStart();
    void ShowEnd();
    // Scrolls so that the middle of a page rectangle is in the middle of the view.
    void ShowInMiddle(const QRect& pageRect);

protected:
    // Ctrl + mouse wheel and middle-button drags anywhere over the view.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Middle-button panning; true when it took the event.
    bool Pan(QEvent* event);

    TPageImage* image_ = nullptr;
    int wheelRemainder_ = 0;         // wheel turns below one notch, kept for the next
    std::optional<QPoint> panFrom_;  // global pointer position of a middle-button drag
};
