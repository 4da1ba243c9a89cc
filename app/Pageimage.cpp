#include "app/Pageimage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <iterator>

TPageImage::TPageImage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Image1"));
    setMouseTracking(true);
    SetPageSize(1090, 713);
}

void TPageImage::SetPageSize(int width, int height)
{
    surface_.SetSize(width, height);
    UpdateSize();
}

void TPageImage::SetZoom(int percent)
{
    const int zoom = std::clamp(percent, MinZoom, MaxZoom);
    if (zoom == zoom_) return;
    zoom_ = zoom;
    UpdateSize();
    update();
}

int TPageImage::ZoomStep(int percent, bool in)
{
    static const int steps[] = {25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400, 600, 800};
    if (in) {
        for (int step : steps)
            if (step > percent) return step;
        return MaxZoom;
    }
    for (auto it = std::rbegin(steps); it != std::rend(steps); ++it)
        if (*it < percent) return *it;
    return MinZoom;
}

QPoint TPageImage::PagePoint(const QPointF& position) const
{
    // Exact for every zoom: a page pixel covers [x, x + 1) * zoom / 100.
    const auto page = [this](qreal v) { return int(std::floor(v * 100.0 / zoom_)); };
    return QPoint(page(position.x()), page(position.y()));
}

void TPageImage::UpdateSize()
{
    const auto shown = [this](int pixels) { return int(std::ceil(qreal(pixels) * zoom_ / 100.0)); };
    setFixedSize(shown(surface_.Width()), shown(surface_.Height()));
    if (QWidget* holder = parentWidget()) holder->setFixedSize(std::max(0, x() + width()), std::max(0, y() + height()));
}

void TPageImage::paintEvent(QPaintEvent* event)
{
    // Only shows what is drawn; drawing the objects is the main window's paint.
    QPainter painter(this);
    const QRect r = event->rect();
    if (zoom_ == 100) {
        painter.drawImage(r, surface_.Image(), r);
        return;
    }
    // Enlarged pages show their pixels as sharp squares; reduced pages are
    // averaged so that one-pixel lines stay visible.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ < 100);
    const qreal scale = zoom_ / 100.0;
    const QRect source = QRect(PagePoint(r.topLeft()), PagePoint(QPointF(r.right() + 1, r.bottom() + 1)))
                             .adjusted(0, 0, 1, 1)
                             .intersected(surface_.Image().rect());
    painter.setClipRect(r);
    painter.scale(scale, scale);
    painter.drawImage(source.topLeft(), surface_.Image(), source);
}

void TPageImage::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = PagePoint(event->position());
    emit PointerMoved(p.x(), p.y());
}

void TPageImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit Clicked();
}
