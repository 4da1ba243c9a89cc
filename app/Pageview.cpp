#include "app/Pageview.h"

#include <QLayout>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

TPageView::TPageView(QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("ScrollBox1"));
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignCenter);  // a page smaller than the view sits in its middle
    auto* content = new QWidget;
    image_ = new TPageImage(content);
    image_->move(-1, 0);  // the page image's left column sits one pixel outside the scroll area
    content->setFixedSize(image_->width() - 1, image_->height());
    setWidget(content);
    viewport()->installEventFilter(this);
}

void TPageView::ZoomIn() { ZoomTo(TPageImage::ZoomStep(image_->Zoom(), true)); }
void TPageView::ZoomOut() { ZoomTo(TPageImage::ZoomStep(image_->Zoom(), false)); }
void TPageView::ActualSize() { ZoomTo(TPageImage::ActualSize); }
void TPageView::FitPage() { ZoomTo(FitZoom(false)); }
void TPageView::FitWidth() { ZoomTo(FitZoom(true)); }

int TPageView::FitZoom(bool widthOnly) const
{
    const QSize page = image_->ShownPageSize();
    int scrollBar = verticalScrollBar()->sizeHint().width();
    if (style()->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents, nullptr, this))
        scrollBar += style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, nullptr, this);
    return TPageImage::FitZoom(page, maximumViewportSize(), scrollBar, widthOnly);
}

void TPageView::ShowStart()
{
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
}

void TPageView::ShowEnd()
{
    horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TPageView::ZoomTo(int percent, std::optional<QPoint> anchor)
{
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const QPoint at = anchor.value_or(viewport()->rect().center());
    const QPoint onImage = image_->mapFrom(viewport(), at);
    const QPoint page = image_->PagePoint(onImage);
    const int before = image_->Zoom();
    image_->SetZoom(percent);
    const int after = image_->Zoom();
    // Where the anchor goes on the zoomed image: the same spot scaled, held
    // inside the shown pixels of the same page pixel.
    const QRect pixel = image_->ShownRect(QRect(page, page));
    const auto keep = [&](int shown, int first, int last) {
        return std::clamp(int(std::lround(qreal(shown) * after / before)), first, last);
    };
    h->setValue(keep(onImage.x(), pixel.left(), pixel.right()) + image_->x() - at.x());
    v->setValue(keep(onImage.y(), pixel.top(), pixel.bottom()) + image_->y() - at.y());
}

void TPageView::ShowInMiddle(const QRect& pageRect)
{
    // The view as large as it is about to be (a find bar just shown).
    if (QLayout* layout = window()->layout()) layout->activate();
    const QPoint centre = image_->mapTo(widget(), image_->ShownRect(pageRect).center());
    horizontalScrollBar()->setValue(centre.x() - viewport()->width() / 2);
    verticalScrollBar()->setValue(centre.y() - viewport()->height() / 2);
}

bool TPageView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport() && Pan(event)) return true;
    if (event->type() == QEvent::Wheel && watched == viewport()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            // One zoom step per notch (120); finer wheels add up to notches.
            wheelRemainder_ += wheel->angleDelta().y();
            int zoom = image_->Zoom();
            for (; wheelRemainder_ >= 120; wheelRemainder_ -= 120) zoom = TPageImage::ZoomStep(zoom, true);
            for (; wheelRemainder_ <= -120; wheelRemainder_ += 120) zoom = TPageImage::ZoomStep(zoom, false);
            if (zoom != image_->Zoom()) ZoomTo(zoom, wheel->position().toPoint());
            return true;
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

bool TPageView::Pan(QEvent* event)
{
    // Dragging with the middle button anywhere over the view moves the page
    // with the pointer (the page image passes these events on to the view).
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::MiddleButton) {
        panFrom_ = mouse->globalPosition().toPoint();
        viewport()->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    if (!panFrom_) return false;
    if (type == QEvent::MouseMove) {
        const QPoint at = mouse->globalPosition().toPoint();
        const QPoint moved = at - *panFrom_;
        panFrom_ = at;
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - moved.x());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - moved.y());
        return true;
    }
    if (mouse->button() != Qt::MiddleButton) return false;
    panFrom_.reset();
    viewport()->unsetCursor();
    return true;
}
