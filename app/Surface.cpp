#include "app/Surface.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

// ---------------------------------------------------------------------------
// Colours

namespace {

struct SystemColourRole {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};

// System colour index -> palette entry. Index 25 names no colour; it and every
// index beyond the table resolve to black.
constexpr int systemColourCount = 31;
constexpr std::array<SystemColourRole, systemColourCount> systemColours{{
    {QPalette::Active, QPalette::Button},           // 0 scroll bar
    {QPalette::Active, QPalette::Dark},             // 1 desktop background
    {QPalette::Active, QPalette::Highlight},        // 2 active caption
    {QPalette::Inactive, QPalette::Mid},            // 3 inactive caption
    {QPalette::Active, QPalette::Window},           // 4 menu
    {QPalette::Active, QPalette::Base},             // 5 window
    {QPalette::Active, QPalette::Shadow},           // 6 window frame
    {QPalette::Active, QPalette::WindowText},       // 7 menu text
    {QPalette::Active, QPalette::WindowText},       // 8 window text
    {QPalette::Active, QPalette::HighlightedText},  // 9 caption text
    {QPalette::Active, QPalette::Button},           // 10 active border
    {QPalette::Inactive, QPalette::Button},         // 11 inactive border
    {QPalette::Active, QPalette::Dark},             // 12 application work space
    {QPalette::Active, QPalette::Highlight},        // 13 highlight
    {QPalette::Active, QPalette::HighlightedText},  // 14 highlighted text
    {QPalette::Active, QPalette::Button},           // 15 button face
    {QPalette::Active, QPalette::Dark},             // 16 button shadow
    {QPalette::Disabled, QPalette::Text},           // 17 grey text
    {QPalette::Active, QPalette::ButtonText},       // 18 button text
    {QPalette::Disabled, QPalette::WindowText},     // 19 inactive caption text
    {QPalette::Active, QPalette::Light},            // 20 button highlight
    {QPalette::Active, QPalette::Shadow},           // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},         // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText},      // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},      // 24 info background
    {QPalette::Active, QPalette::NoRole},           // 25 none
    {QPalette::Active, QPalette::Link},             // 26 hot light
    {QPalette::Active, QPalette::Highlight},        // 27 active caption gradient
    {QPalette::Inactive, QPalette::Mid},            // 28 inactive caption gradient
    {QPalette::Active, QPalette::Highlight},        // 29 menu highlight
    {QPalette::Active, QPalette::Window},           // 30 menu bar
}};

constexpr QRgb opaqueBlack = 0xFF000000u;

QRgb SystemColour(std::uint32_t index)
{
    if (index >= systemColours.size() || !qGuiApp) return opaqueBlack;
    const SystemColourRole& entry = systemColours[index];
    if (entry.Role == QPalette::NoRole) return opaqueBlack;
    return QGuiApplication::palette().color(entry.Group, entry.Role).rgb() | opaqueBlack;
}

}  // namespace

QRgb ColourToRgb(TColor colour)
{
    if (colour & 0x80000000u) return SystemColour(colour & 0x7FFFFFFFu);
    return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

TColor RgbToColour(QRgb rgb) { return TColor(qRed(rgb)) | (TColor(qGreen(rgb)) << 8) | (TColor(qBlue(rgb)) << 16); }

// ---------------------------------------------------------------------------
// Points and pixels

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRounded(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : -((-product + half) / c));
}

}  // namespace

int PointsToHeight(int points) { return -MulDivRounded(points, PixelsPerInch, 72); }
int HeightToPoints(int height) { return -MulDivRounded(height, 72, PixelsPerInch); }

int TFont::Height() const { return PointsToHeight(Size); }
void TFont::SetHeight(int height) { Size = HeightToPoints(height); }

QFont TFont::ToQFont() const
{
    QFont font(Face);
    font.setPixelSize(std::max(1, std::abs(PointsToHeight(Size))));
    font.setBold(Bold);
    font.setItalic(Italic);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// ---------------------------------------------------------------------------
// Raster helpers

namespace {

inline QRgb* Row(QImage& image, int y) { return reinterpret_cast<QRgb*>(image.scanLine(y)); }
inline const QRgb* Row(const QImage& image, int y) { return reinterpret_cast<const QRgb*>(image.constScanLine(y)); }

// Columns x1 .. x2-1 of row y, clipped.
void FillSpan(QImage& image, int y, long long x1, long long x2, QRgb colour)
{
    if (y < 0 || y >= image.height()) return;
    x1 = std::max<long long>(x1, 0);
    x2 = std::min<long long>(x2, image.width());
    if (x1 >= x2) return;
    QRgb* row = Row(image, y);
    std::fill(row + x1, row + x2, colour);
}

// Columns x1 .. x2-1 of rows y1 .. y2-1, clipped.
void FillBox(QImage& image, long long x1, long long y1, long long x2, long long y2, QRgb colour)
{
    const long long top = std::max<long long>(y1, 0);
    const long long bottom = std::min<long long>(y2, image.height());
    for (long long y = top; y < bottom; ++y) FillSpan(image, int(y), x1, x2, colour);
}

inline void Plot(QImage& image, long long x, long long y, QRgb colour)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return;
    Row(image, int(y))[x] = colour;
}

// The round stamp of a wide pen: for each of its rows (offset dy from the
// point) the columns it covers, as offsets first .. last from the point.
struct StampRow {
    int Dy, First, Last;
};

std::vector<StampRow> MakeStamp(int width)
{
    std::vector<StampRow> rows;
    const int low = -(width - 1) / 2;
    const double centre = low + (width - 1) / 2.0;
    const double radius2 = width * width / 4.0;
    for (int j = low; j < low + width; ++j) {
        int first = 1, last = 0;
        for (int i = low; i < low + width; ++i) {
            const double dx = i - centre, dy = j - centre;
            if (dx * dx + dy * dy <= radius2) {
                if (first > last) first = i;
                last = i;
            }
        }
        if (first <= last) rows.push_back({j, first, last});
    }
    return rows;
}

const std::vector<StampRow>& Stamp(int width)
{
    static QHash<int, std::vector<StampRow>> stamps;
    auto it = stamps.find(width);
    if (it == stamps.end()) it = stamps.insert(width, MakeStamp(width));
    return *it;
}

// On/off runs of the dash styles of a one-pixel pen; empty for solid.
const std::vector<int>& DashPattern(int style)
{
    static const std::vector<int> solid, dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6}, dashDotDot{9, 3, 3, 3, 3, 3};
    switch (style) {
    case psDash: return dash;
    case psDot: return dot;
    case psDashDot: return dashDot;
    case psDashDotDot: return dashDotDot;
    default: return solid;
    }
}

bool DashOn(const std::vector<int>& pattern, long long period, long long position)
{
    long long at = position % period;
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        if (at < pattern[k]) return k % 2 == 0;
        at -= pattern[k];
    }
    return true;
}

// Widths beyond this are drawn this wide (a stamp that size already covers a page zone).
constexpr int maxPenWidth = 256;

int PenWidth(const TPen& pen) { return std::clamp(pen.Width, 1, maxPenWidth); }

// Largest box side an ellipse is drawn in; bigger boxes draw nothing.
constexpr long long maxEllipseSide = 1LL << 28;

long long ISqrt(__int128 value)
{
    if (value <= 0) return 0;
    long long root = static_cast<long long>(std::sqrt(static_cast<long double>(value)));
    while (static_cast<__int128>(root) * root > value) --root;
    while (static_cast<__int128>(root + 1) * (root + 1) <= value) ++root;
    return root;
}

// The shape of the ellipse inscribed in a box width x height: the pixels
// whose centres lie inside the ellipse. Row j (relative to the box) holds the
// columns Span(j) gives.
class EllipseShape {
public:
    EllipseShape(long long width, long long height)
        : width_(std::max(0LL, width)), height_(std::max(0LL, height)),
          w2_(static_cast<__int128>(width_) * width_), h2_(static_cast<__int128>(height_) * height_)
    {
    }

    // Columns left .. right of row j; false when the row holds none.
    bool Span(long long j, long long& left, long long& right) const
    {
        if (j < 0 || j >= height_ || width_ == 0) return false;
        // In doubled coordinates about the box centre, pixel column i has its
        // centre at px = 2i + 1 - width and row j at py = 2j + 1 - height; the
        // pixel is inside when px^2 h^2 + py^2 w^2 <= w^2 h^2.
        const long long py = 2 * j + 1 - height_;
        const __int128 rest = w2_ * h2_ - static_cast<__int128>(py) * py * w2_;
        long long s = ISqrt(rest / h2_);
        if ((s + width_ + 1) % 2 != 0) --s;  // px has the parity of width + 1
        if (s < 0) return false;
        left = (width_ - 1 - s) / 2;
        right = (width_ - 1 + s) / 2;
        return true;
    }

private:
    long long width_, height_;
    __int128 w2_, h2_;
};

// Normalised box: left < right and top < bottom unless empty.
struct Box {
    long long Left, Top, Right, Bottom;
    long long Width() const { return Right - Left; }
    long long Height() const { return Bottom - Top; }
    bool Empty() const { return Left >= Right || Top >= Bottom; }
};

Box MakeBox(int x1, int y1, int x2, int y2)
{
    return Box{std::min<long long>(x1, x2), std::min<long long>(y1, y2), std::max<long long>(x1, x2),
               std::max<long long>(y1, y2)};
}

// ---------------------------------------------------------------------------
// Text

// Glyph pixels of a text: rows of the cell's height, columns from Left
// (relative to the cell's left edge, negative for overhang) on.
struct GlyphMask {
    int CellWidth = 0;
    int Left = 0, Width = 0, Height = 0;
    std::vector<std::uint8_t> Bits;  // Width * Height, 1 = glyph
};

// A font as Qt draws it, with what has been measured and rendered in it.
struct FontEntry {
    QFont Font;
    QFontMetrics Metrics;
    QHash<QByteArray, int> Widths;
    QHash<QByteArray, GlyphMask> Masks;
};

// Fonts by face, size, boldness and slant (the colour does not change the
// glyphs). The caches are bounded: when one is full it starts afresh.
FontEntry& FontFor(const TFont& font)
{
    static QHash<QString, FontEntry*> fonts;
    static TFont lastFont;
    static FontEntry* last = nullptr;
    if (last && font.Face == lastFont.Face && font.Size == lastFont.Size && font.Bold == lastFont.Bold &&
        font.Italic == lastFont.Italic)
        return *last;

    const QString key =
        font.Face + QChar(0x1) + QString::number(font.Size) + QChar(font.Bold ? u'B' : u'-') + QChar(font.Italic ? u'I' : u'-');
    auto it = fonts.find(key);
    if (it == fonts.end()) {
        if (fonts.size() >= 64) {
            qDeleteAll(fonts);
            fonts.clear();
        }
        const QFont qfont = font.ToQFont();
        it = fonts.insert(key, new FontEntry{qfont, QFontMetrics(qfont), {}, {}});
    }
    lastFont = font;
    last = *it;
    return *last;
}

int CellWidth(FontEntry& entry, const QByteArray& text)
{
    auto it = entry.Widths.constFind(text);
    if (it != entry.Widths.constEnd()) return *it;
    if (entry.Widths.size() >= 16384) entry.Widths.clear();
    const int width = entry.Metrics.horizontalAdvance(QString::fromLatin1(text));
    entry.Widths.insert(text, width);
    return width;
}

GlyphMask RenderGlyphs(const FontEntry& entry, const QByteArray& text, int cellWidth)
{
    GlyphMask mask;
    const int cellHeight = entry.Metrics.height();
    const int margin = cellHeight;  // room for italic overhang and negative bearings
    mask.CellWidth = cellWidth;
    mask.Left = -margin;
    mask.Width = cellWidth + 2 * margin;
    mask.Height = cellHeight;
    if (mask.Width <= 0 || mask.Height <= 0) return mask;
    QImage scratch(mask.Width, mask.Height, QImage::Format_RGB32);
    scratch.fill(Qt::white);
    {
        QPainter painter(&scratch);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(entry.Font);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(margin, entry.Metrics.ascent()), QString::fromLatin1(text));
    }
    // Keep only the columns that hold glyph pixels.
    int first = mask.Width, last = -1;
    for (int y = 0; y < mask.Height; ++y) {
        const QRgb* row = Row(std::as_const(scratch), y);
        for (int x = 0; x < mask.Width; ++x)
            if (qGray(row[x]) < 128) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    }
    if (last < first) {
        mask.Width = 0;
        return mask;
    }
    mask.Left = first - margin;
    mask.Width = last - first + 1;
    mask.Bits.assign(std::size_t(mask.Width) * mask.Height, 0);
    for (int y = 0; y < mask.Height; ++y) {
        const QRgb* row = Row(std::as_const(scratch), y) + first;
        for (int x = 0; x < mask.Width; ++x)
            mask.Bits[std::size_t(y) * mask.Width + x] = qGray(row[x]) < 128 ? 1 : 0;
    }
    return mask;
}

const GlyphMask& GlyphsFor(FontEntry& entry, const QByteArray& text)
{
    auto it = entry.Masks.find(text);
    if (it == entry.Masks.end()) {
        if (entry.Masks.size() >= 8192) entry.Masks.clear();
        it = entry.Masks.insert(text, RenderGlyphs(entry, text, CellWidth(entry, text)));
    }
    return *it;
}

}  // namespace

// ---------------------------------------------------------------------------
// Surface

TSurface::TSurface(int width, int height) { SetSize(width, height); }

void TSurface::SetSize(int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == Width() && height == Height() && !image_.isNull()) return;
    QImage next(width, height, QImage::Format_RGB32);
    if (next.isNull()) {
        image_ = QImage();
        return;
    }
    next.fill(Qt::white);
    EnsureFormat();
    const int keepWidth = std::min(width, Width());
    const int keepHeight = std::min(height, Height());
    for (int y = 0; y < keepHeight; ++y) std::copy_n(Row(std::as_const(image_), y), keepWidth, Row(next, y));
    image_ = next;
}

void TSurface::EnsureFormat()
{
    if (!image_.isNull() && image_.format() != QImage::Format_RGB32)
        image_ = image_.convertToFormat(QImage::Format_RGB32);
}

void TSurface::Clear(TColor colour)
{
    EnsureFormat();
    image_.fill(ColourToRgb(colour));
}

void TSurface::MoveTo(int x, int y)
{
    PenPos = QPoint(x, y);
    dashPhase_ = 0;
}

void TSurface::LineTo(int x, int y)
{
    EnsureFormat();
    StrokeSegment(PenPos, QPoint(x, y));
    PenPos = QPoint(x, y);
}

void TSurface::StrokeSegment(QPoint a, QPoint b)
{
    const long long x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
    const long long dx = std::llabs(x1 - x0), dy = std::llabs(y1 - y0);
    const long long steps = std::max(dx, dy);
    if (Pen.Style == psClear || steps == 0) return;

    const int width = PenWidth(Pen);
    const QRgb colour = ColourToRgb(Pen.Colour);
    const std::vector<int>& pattern = width == 1 ? DashPattern(Pen.Style) : DashPattern(psSolid);
    const long long phase = dashPhase_;
    dashPhase_ = int((phase + steps) % 960000);  // a multiple of every pattern period

    // Nothing to do when the stroke cannot reach the surface.
    const long long reach = width;
    if (std::max(x0, x1) + reach < 0 || std::max(y0, y1) + reach < 0 || std::min(x0, x1) - reach >= Width() ||
        std::min(y0, y1) - reach >= Height())
        return;

    long long period = 0;
    for (int run : pattern) period += run;

    // Solid horizontal and vertical runs (most lines of a drawing) go row by row.
    const std::vector<StampRow>& pen = Stamp(width);
    if (period == 0 && (dx == 0 || dy == 0)) {
        const long long xmin = x1 > x0 ? x0 : (dx == 0 ? x0 : x1 + 1), xmax = x1 > x0 ? x1 - 1 : x0;
        const long long ymin = y1 > y0 ? y0 : (dy == 0 ? y0 : y1 + 1), ymax = y1 > y0 ? y1 - 1 : y0;
        const long long top = std::max<long long>(ymin + pen.front().Dy, 0);
        const long long bottom = std::min<long long>(ymax + pen.back().Dy, Height() - 1);
        for (long long y = top; y <= bottom; ++y) {
            long long first = 0, last = -1;
            for (const StampRow& r : pen) {
                if (y - r.Dy < ymin || y - r.Dy > ymax) continue;
                if (first > last) {
                    first = r.First;
                    last = r.Last;
                } else {
                    first = std::min<long long>(first, r.First);
                    last = std::max<long long>(last, r.Last);
                }
            }
            if (first <= last) FillSpan(image_, int(y), xmin + first, xmax + last + 1, colour);
        }
        return;
    }

    const std::vector<StampRow>* stamp = width > 1 ? &pen : nullptr;
    const long long sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    long long err = dx - dy;
    long long x = x0, y = y0;
    for (long long step = 0; step < steps; ++step) {
        // x and y only move on: once past the surface's far side they never come back.
        if ((sx > 0 ? x - reach >= Width() : x + reach < 0) || (sy > 0 ? y - reach >= Height() : y + reach < 0)) break;
        if (period == 0 || DashOn(pattern, period, phase + step)) {
            if (stamp) {
                for (const StampRow& r : *stamp) FillSpan(image_, int(y + r.Dy), x + r.First, x + r.Last + 1, colour);
            } else {
                Plot(image_, x, y, colour);
            }
        }
        const long long e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
}

void TSurface::Polyline(const std::vector<QPoint>& points)
{
    EnsureFormat();
    dashPhase_ = 0;
    for (std::size_t k = 1; k < points.size(); ++k) StrokeSegment(points[k - 1], points[k]);
}

void TSurface::Rectangle(int x1, int y1, int x2, int y2)
{
    EnsureFormat();
    const Box box = MakeBox(x1, y1, x2, y2);
    if (box.Empty()) return;
    const bool outline = Pen.Style != psClear;
    if (Brush.Style != bsClear) {
        const QRgb fill = ColourToRgb(Brush.Colour);
        if (outline)
            FillBox(image_, box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1, fill);
        else
            FillBox(image_, box.Left, box.Top, box.Right, box.Bottom, fill);
    }
    if (!outline) return;

    const int width = PenWidth(Pen);
    if (width > 1 && Pen.Style == psInsideFrame) {
        const QRgb colour = ColourToRgb(Pen.Colour);
        const long long w = std::min<long long>(width, std::max(box.Width(), box.Height()));
        FillBox(image_, box.Left, box.Top, box.Right, std::min(box.Bottom, box.Top + w), colour);
        FillBox(image_, box.Left, std::max(box.Top, box.Bottom - w), box.Right, box.Bottom, colour);
        FillBox(image_, box.Left, box.Top, std::min(box.Right, box.Left + w), box.Bottom, colour);
        FillBox(image_, std::max(box.Left, box.Right - w), box.Top, box.Right, box.Bottom, colour);
        return;
    }
    // The closed path around the border pixels, each corner the start of one side.
    const int left = int(box.Left), top = int(box.Top), right = int(box.Right - 1), bottom = int(box.Bottom - 1);
    if (left == right && top == bottom) {
        Plot(image_, left, top, ColourToRgb(Pen.Colour));
        if (width > 1) {
            for (const StampRow& r : Stamp(width))
                FillSpan(image_, top + r.Dy, left + r.First, left + r.Last + 1, ColourToRgb(Pen.Colour));
        }
        return;
    }
    dashPhase_ = 0;
    StrokeSegment(QPoint(left, top), QPoint(right, top));
    StrokeSegment(QPoint(right, top), QPoint(right, bottom));
    StrokeSegment(QPoint(right, bottom), QPoint(left, bottom));
    StrokeSegment(QPoint(left, bottom), QPoint(left, top));
}

void TSurface::Ellipse(int x1, int y1, int x2, int y2)
{
    EnsureFormat();
    const Box box = MakeBox(x1, y1, x2, y2);
    if (box.Empty()) return;
    // Rows outside the surface need no work.
    const long long firstRow = std::max<long long>(0, -box.Top);
    const long long lastRow = std::min<long long>(box.Height(), Height() - box.Top);  // exclusive
    if (firstRow >= lastRow || box.Right <= 0 || box.Left >= Width()) return;

    if (box.Width() > maxEllipseSide || box.Height() > maxEllipseSide) return;
    const EllipseShape shape(box.Width(), box.Height());
    const bool outline = Pen.Style != psClear;
    const bool fill = Brush.Style != bsClear;
    const QRgb penColour = ColourToRgb(Pen.Colour);
    const QRgb brushColour = ColourToRgb(Brush.Colour);
    const int width = PenWidth(Pen);
    // For a wide pen the interior is the shape of the box shrunk by the width.
    const EllipseShape inner(box.Width() - 2LL * width, box.Height() - 2LL * width);

    for (long long j = firstRow; j < lastRow; ++j) {
        const int y = int(box.Top + j);
        long long l = 0, r = -1;
        if (!shape.Span(j, l, r)) continue;
        if (!outline) {
            if (fill) FillSpan(image_, y, box.Left + l, box.Left + r + 1, brushColour);
            continue;
        }
        // Interior columns il .. ir (relative to the box); empty when il > ir.
        long long il = 1, ir = 0;
        if (width == 1) {
            // The rim: pixels with a side neighbour outside the shape.
            long long al = 0, ar = -1, bl = 0, br = -1;
            if (shape.Span(j - 1, al, ar) && shape.Span(j + 1, bl, br)) {
                il = std::max({l + 1, al, bl});
                ir = std::min({r - 1, ar, br});
            }
        } else if (inner.Span(j - width, il, ir)) {
            il += width;
            ir += width;
        } else {
            il = 1;
            ir = 0;
        }
        if (il > ir) {
            FillSpan(image_, y, box.Left + l, box.Left + r + 1, penColour);
            continue;
        }
        FillSpan(image_, y, box.Left + l, box.Left + il, penColour);
        if (fill) FillSpan(image_, y, box.Left + il, box.Left + ir + 1, brushColour);
        FillSpan(image_, y, box.Left + ir + 1, box.Left + r + 1, penColour);
    }
}

void TSurface::FillRect(int x1, int y1, int x2, int y2)
{
    EnsureFormat();
    if (Brush.Style == bsClear) return;
    const Box box = MakeBox(x1, y1, x2, y2);
    FillBox(image_, box.Left, box.Top, box.Right, box.Bottom, ColourToRgb(Brush.Colour));
}

void TSurface::TextOut(int x, int y, const QByteArray& text)
{
    EnsureFormat();
    if (text.isEmpty()) return;
    FontEntry& entry = FontFor(Font);
    const GlyphMask& mask = GlyphsFor(entry, text);
    if (Brush.Style != bsClear)
        FillBox(image_, x, y, static_cast<long long>(x) + mask.CellWidth, static_cast<long long>(y) + mask.Height,
                ColourToRgb(Brush.Colour));

    const QRgb ink = ColourToRgb(Font.Colour);
    const long long left = static_cast<long long>(x) + mask.Left;
    for (int j = 0; j < mask.Height; ++j) {
        const long long py = static_cast<long long>(y) + j;
        if (py < 0 || py >= Height()) continue;
        QRgb* row = Row(image_, int(py));
        const std::uint8_t* bits = mask.Bits.data() + std::size_t(j) * mask.Width;
        const long long from = std::max<long long>(0, -left);
        const long long to = std::min<long long>(mask.Width, Width() - left);
        for (long long i = from; i < to; ++i)
            if (bits[i]) row[left + i] = ink;
    }
}

int TSurface::TextWidth(const QByteArray& text) const { return CellWidth(FontFor(Font), text); }

int TSurface::TextHeight(const QByteArray&) const { return FontFor(Font).Metrics.height(); }

TColor TSurface::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0xFFFFFFFF;
    return RgbToColour(image_.pixel(x, y));
}

void TSurface::SetPixel(int x, int y, TColor colour)
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    EnsureFormat();
    Row(image_, y)[x] = ColourToRgb(colour);
}

void TSurface::Draw(int x, int y, const TSurface& raster)
{
    EnsureFormat();
    if (raster.image_.isNull() || image_.isNull()) return;
    const QImage source = raster.image_.format() == QImage::Format_RGB32
                              ? raster.image_
                              : raster.image_.convertToFormat(QImage::Format_RGB32);
    const long long left = std::max<long long>(0, x), top = std::max<long long>(0, y);
    const long long right = std::min<long long>(Width(), static_cast<long long>(x) + source.width());
    const long long bottom = std::min<long long>(Height(), static_cast<long long>(y) + source.height());
    if (left >= right || top >= bottom) return;
    const QRgb key = ColourToRgb(raster.TransparentColour) | opaqueBlack;
    for (long long ty = top; ty < bottom; ++ty) {
        const QRgb* from = Row(source, int(ty - y)) + (left - x);
        QRgb* to = Row(image_, int(ty)) + left;
        const long long count = right - left;
        if (!raster.Transparent) {
            std::copy_n(from, count, to);
            continue;
        }
        for (long long i = 0; i < count; ++i)
            if ((from[i] | opaqueBlack) != key) to[i] = from[i] | opaqueBlack;
    }
}

void TSurface::StretchDraw(const QRect& target, const TSurface& raster)
{
    EnsureFormat();
    if (raster.image_.isNull() || image_.isNull() || target.width() <= 0 || target.height() <= 0) return;
    const QImage source = raster.image_.format() == QImage::Format_RGB32
                              ? raster.image_
                              : raster.image_.convertToFormat(QImage::Format_RGB32);
    const long long tw = target.width(), th = target.height();
    const long long sw = source.width(), sh = source.height();
    const long long left = std::max<long long>(0, target.x()), top = std::max<long long>(0, target.y());
    const long long right = std::min<long long>(Width(), target.x() + tw);
    const long long bottom = std::min<long long>(Height(), target.y() + th);
    const QRgb key = ColourToRgb(raster.TransparentColour) | opaqueBlack;
    for (long long ty = top; ty < bottom; ++ty) {
        const long long sy = (ty - target.y()) * sh / th;
        const QRgb* from = Row(source, int(sy));
        QRgb* to = Row(image_, int(ty));
        for (long long tx = left; tx < right; ++tx) {
            const QRgb pixel = from[(tx - target.x()) * sw / tw] | opaqueBlack;
            if (!raster.Transparent || pixel != key) to[tx] = pixel;
        }
    }
}
