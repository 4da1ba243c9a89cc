#include "app/Pageimage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "render/Areareduction.h"

namespace {
// a * b / c for non-negative values, rounded down or up.
std::int64_t ScaleDown(std::int64_t a, std::int64_t b, std::int64_t c) { return a * b / c; }
std::int64_t ScaleUp(std::int64_t a, std::int64_t b, std::int64_t c) { return (a * b + c - 1) / c; }

// The outline around a found component: orange, 3 pixels wide, 3 pixels clear of it.
constexpr QRgb highlightColour = 0xFFFF6000u;
constexpr int highlightWidth = 3;
constexpr int highlightGap = 3;
// A marked net: its pixels' halo, and the rings around its pin ends.
constexpr int netHalo = 2;
constexpr int netRingWidth = 2;
constexpr int netRingGap = 3;

// Paints `colour` over the pixels of `part` (placed at `at`) inside `area`
// that are `paper`.
void FillOverPaper(QImage& part, QPoint at, const QRect& area, QRgb paper, QRgb colour)
{
    const QRect r = area.translated(-at).intersected(part.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(part.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x)
            if (((row[x] ^ paper) & 0x00FFFFFFu) == 0) row[x] = colour;
    }
}
}  // namespace

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
    PageChanged();
}

void TPageImage::PageChanged()
{
    reducedStale_ = true;
    update();
}

void TPageImage::SetZoom(int zoom)
{
    zoom = std::clamp(zoom, MinZoom, MaxZoom);
    if (zoom == zoom_) return;
    zoom_ = zoom;
    if (zoom_ >= ActualSize) reduced_ = QImage();  // no reduction kept while none is shown
    UpdateSize();
    PageChanged();
}

int TPageImage::ZoomStep(int zoom, bool in)
{
    static const int steps[] = {5, 10, 15, 20, 25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400, 600, 800};
    if (in) {
        for (int step : steps)
            if (step * Percent > zoom) return step * Percent;
        return MaxZoom;
    }
    for (auto it = std::rbegin(steps); it != std::rend(steps); ++it)
        if (*it * Percent < zoom) return *it * Percent;
    return MinZoom;
}

int TPageImage::FitZoom(QSize page, QSize view, int scrollBarWidth, bool widthOnly)
{
    // The largest zoom whose shown length, rounded up, is at most `room`.
    const auto fit = [](int length, int room) -> std::int64_t {
        if (length <= 0) return MaxZoom;
        return ScaleDown(std::max(room, 0), ActualSize, length);
    };
    std::int64_t zoom = std::min(fit(page.width(), view.width()), fit(page.height(), view.height()));
    if (widthOnly) zoom = std::max(zoom, fit(page.width(), view.width() - scrollBarWidth));
    return int(std::clamp<std::int64_t>(zoom, MinZoom, MaxZoom));
}

int TPageImage::ShownLength(int pagePixels) const { return int(ScaleUp(std::max(pagePixels, 0), zoom_, ActualSize)); }

QPoint TPageImage::PagePoint(const QPointF& position) const
{
    // Exact for every zoom: page pixel p covers [p, p + 1) * zoom / ActualSize.
    const auto page = [this](qreal v) { return int(std::floor(v * ActualSize / zoom_)); };
    return QPoint(page(position.x()), page(position.y()));
}

QRect TPageImage::ShownRect(const QRect& pageRect) const
{
    // Enlarged, a widget pixel shows the page pixel its left or top edge lies
    // on; reduced, the one whose area holds the page pixel's start.
    const auto first = [this](int p) {
        return int(zoom_ >= ActualSize ? ScaleUp(p, zoom_, ActualSize) : ScaleDown(p, zoom_, ActualSize));
    };
    const auto last = [this](int p) { return int(ScaleUp(std::int64_t(p) + 1, zoom_, ActualSize)) - 1; };
    const QRect r = pageRect.normalized().intersected(QRect(0, 0, 1 << 20, 1 << 20));
    if (r.isEmpty()) return QRect();
    return QRect(QPoint(first(r.left()), first(r.top())), QPoint(last(r.right()), last(r.bottom())));
}

void TPageImage::SetHighlight(std::optional<QRect> pageRect)
{
    if (pageRect == highlight_) return;
    highlight_ = pageRect;
    update();
}

void TPageImage::SetNetHighlight(std::vector<QRect> runs, std::vector<QPoint> ends, QRgb paper)
{
    netRuns_ = std::move(runs);
    netEnds_ = std::move(ends);
    netPaper_ = paper;
    update();
}

void TPageImage::ClearNetHighlight()
{
    if (!HasNetHighlight()) return;
    netRuns_.clear();
    netEnds_.clear();
    update();
}

void TPageImage::SetOverlay(const QImage& picture)
{
    if (picture.isNull() && overlay_.isNull()) return;
    overlay_ = picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_RGB32);
    UpdateSize();
    PageChanged();
}

QSize TPageImage::ShownPageSize() const
{
    return overlay_.isNull() ? QSize(surface_.Width(), surface_.Height()) : overlay_.size();
}

void TPageImage::UpdateSize()
{
    const QSize shown = ShownPageSize();
    setFixedSize(ShownLength(shown.width()), ShownLength(shown.height()));
    if (QWidget* holder = parentWidget()) holder->setFixedSize(std::max(0, x() + width()), std::max(0, y() + height()));
}

const QImage& TPageImage::Reduction()
{
    if (reducedStale_ || reduced_.size() != size()) {
        reduced_ = ReduceByArea(Shown(), size(), {zoom_, ActualSize}, {zoom_, ActualSize});
        reducedStale_ = false;
        ++reductionCount_;
    }
    return reduced_;
}

QImage TPageImage::Enlarged(const QRect& shown) const
{
    const QImage& page = Shown();
    QImage part(shown.size(), QImage::Format_RGB32);
    if (part.isNull() || page.isNull()) return part;
    std::vector<int> columns(std::size_t(shown.width()));
    for (int i = 0; i < shown.width(); ++i)
        columns[std::size_t(i)] = std::min(int(ScaleDown(shown.left() + i, ActualSize, zoom_)), page.width() - 1);
    int previous = -1;
    for (int j = 0; j < shown.height(); ++j) {
        const int row = std::min(int(ScaleDown(shown.top() + j, ActualSize, zoom_)), page.height() - 1);
        auto* out = reinterpret_cast<QRgb*>(part.scanLine(j));
        if (row == previous) {
            std::memcpy(out, part.constScanLine(j - 1), std::size_t(shown.width()) * sizeof(QRgb));
            continue;
        }
        const auto* in = reinterpret_cast<const QRgb*>(page.constScanLine(row));
        for (int i = 0; i < shown.width(); ++i) out[i] = in[columns[std::size_t(i)]];
        previous = row;
    }
    return part;
}

void TPageImage::paintEvent(QPaintEvent* event)
{
    // Only shows what is drawn; drawing the objects is the main window's paint.
    QPainter painter(this);
    const QRect r = event->rect().intersected(rect());
    if (r.isEmpty()) return;
    if (HasNetHighlight()) {
        QImage part = ShownPart(r);
        MarkNet(part, r.topLeft());
        painter.drawImage(r.topLeft(), part);
    } else if (zoom_ == ActualSize) {
        painter.drawImage(r, Shown(), r);
    } else if (zoom_ < ActualSize) {
        painter.drawImage(r, Reduction(), r);
    } else {
        painter.drawImage(r.topLeft(), Enlarged(r));
    }
    const QRect highlighted = highlight_ ? ShownRect(*highlight_) : QRect();
    if (!highlighted.isEmpty()) {
        const int out = highlightGap + highlightWidth;
        const QRect around = highlighted.adjusted(-out, -out, out, out);
        const QRect inner = around.adjusted(highlightWidth, highlightWidth, -highlightWidth, -highlightWidth);
        const QColor colour = QColor::fromRgb(highlightColour);
        painter.fillRect(QRect(around.left(), around.top(), around.width(), highlightWidth), colour);
        painter.fillRect(QRect(around.left(), inner.bottom() + 1, around.width(), highlightWidth), colour);
        painter.fillRect(QRect(around.left(), inner.top(), highlightWidth, inner.height()), colour);
        painter.fillRect(QRect(inner.right() + 1, inner.top(), highlightWidth, inner.height()), colour);
    }
}

QImage TPageImage::ShownPart(const QRect& shown)
{
    if (zoom_ > ActualSize) return Enlarged(shown);
    const QImage& whole = zoom_ == ActualSize ? Shown() : Reduction();
    return whole.copy(shown).convertToFormat(QImage::Format_RGB32);
}

void TPageImage::MarkNet(QImage& part, QPoint at) const
{
    const QRect area(at, part.size());
    for (const QRect& run : netRuns_) {
        const QRect halo = ShownRect(run).adjusted(-netHalo, -netHalo, netHalo, netHalo);
        if (halo.intersects(area)) FillOverPaper(part, at, halo, netPaper_, highlightColour);
    }
    for (const QPoint& end : netEnds_) {
        const int out = netRingGap + netRingWidth;
        const QRect outer = ShownRect(QRect(end, end)).adjusted(-out, -out, out, out);
        if (!outer.intersects(area)) continue;
        const QRect inner = outer.adjusted(netRingWidth, netRingWidth, -netRingWidth, -netRingWidth);
        const QRect sides[] = {
            QRect(outer.left(), outer.top(), outer.width(), netRingWidth),
            QRect(outer.left(), inner.bottom() + 1, outer.width(), netRingWidth),
            QRect(outer.left(), inner.top(), netRingWidth, inner.height()),
            QRect(inner.right() + 1, inner.top(), netRingWidth, inner.height()),
        };
        for (const QRect& side : sides) FillOverPaper(part, at, side, netPaper_, highlightColour);
    }
}

void TPageImage::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = PagePoint(event->position());
    emit PointerMoved(p.x(), p.y());
    // A drag with the middle button pans the view that holds the page.
    if (event->buttons() & Qt::MiddleButton) event->ignore();
}

void TPageImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit Clicked();
        return;
    }
    event->ignore();
}
