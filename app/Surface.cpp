#include "app/Surface.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "render/Paintrecord.h"
#include "base/Parallel.h"
#include "base/Recenttexts.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ---------------------------------------------------------------------------
// Raster helpers

namespace {

constexpr QRgb opaqueBlack = 0xFF000000u;

inline const QRgb* Row(const QImage& image, int y) { return reinterpret_cast<const QRgb*>(image.constScanLine(y)); }

// Direct access to the pixels of an RGB32 image, taken once per operation
// (taking it detaches a shared image, as any write does).
struct Pixels {
    QRgb* Bits = nullptr;
    qsizetype Stride = 0;  // in pixels
    int Width = 0, Height = 0;

    explicit Pixels(QImage& image)
    {
        if (image.isNull()) return;
        Bits = reinterpret_cast<QRgb*>(image.bits());
        Stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
        Width = image.width();
        Height = image.height();
    }
    QRgb* Row(int y) const { return Bits + y * Stride; }
};

// count pixels from at on in one colour: four at a time where there are four
// (the last four ending at the last pixel), else one by one.
inline void FillPixels(QRgb* at, long long count, QRgb colour)
{
#if defined(__SSE2__)
    if (count >= 4) {
        const __m128i four = _mm_set1_epi32(int(colour));
        QRgb* const end = at + count;
        for (; end - at >= 16; at += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 4), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 8), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 12), four);
        }
        for (; end - at >= 4; at += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(at), four);
        if (at != end) _mm_storeu_si128(reinterpret_cast<__m128i*>(end - 4), four);
        return;
    }
#endif
    switch (count) {
    case 3: at[2] = colour; [[fallthrough]];
    case 2: at[1] = colour; [[fallthrough]];
    case 1: at[0] = colour; break;
    default:
        for (long long i = 0; i < count; ++i) at[i] = colour;
    }
}

// The first of pixels at[x .. end-1] that differs from `key` (in every
// bit but the alpha ones when `opaque` is given), or end: four at a time,
// and with `wide` sixteen at a time first (for long stretches of the key).
template <bool wide = false>
inline int SkipPixels(const QRgb* at, int x, int end, QRgb key, QRgb opaque)
{
#if defined(__SSE2__)
    const __m128i keys = _mm_set1_epi32(int(key)), alpha = _mm_set1_epi32(int(opaque));
    if constexpr (wide) {
        const auto keyed = [&](int from) {
            return _mm_cmpeq_epi32(_mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + from)), alpha),
                                   keys);
        };
        for (; x + 16 <= end; x += 16) {
            const __m128i all =
                _mm_and_si128(_mm_and_si128(keyed(x), keyed(x + 4)), _mm_and_si128(keyed(x + 8), keyed(x + 12)));
            if (_mm_movemask_epi8(all) != 0xFFFF) break;  // it is among these sixteen
        }
    }
    for (; x + 4 <= end; x += 4) {
        const __m128i four = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + x)), alpha);
        const int same = _mm_movemask_epi8(_mm_cmpeq_epi32(four, keys));
        if (same != 0xFFFF) return x + __builtin_ctz(unsigned(~same) & 0xFFFFu) / 4;
    }
#endif
    for (; x < end && (at[x] | opaque) == key; ++x) {
    }
    return x;
}

// Columns x1 .. x2-1 of row y, clipped.
inline void FillSpan(const Pixels& image, long long y, long long x1, long long x2, QRgb colour)
{
    if (y < 0 || y >= image.Height) return;
    x1 = std::max<long long>(x1, 0);
    x2 = std::min<long long>(x2, image.Width);
    if (x1 >= x2) return;
    FillPixels(image.Row(int(y)) + x1, x2 - x1, colour);
}

// Columns x1 .. x2-1 of rows y1 .. y2-1, clipped.
void FillBox(const Pixels& image, long long x1, long long y1, long long x2, long long y2, QRgb colour)
{
    const long long top = std::max<long long>(y1, 0);
    const long long bottom = std::min<long long>(y2, image.Height);
    for (long long y = top; y < bottom; ++y) FillSpan(image, y, x1, x2, colour);
}

// A hint that a pixel is about to be written (rows far apart miss the cache).
inline void PrefetchForWrite(const QRgb* pixel)
{
#if defined(__GNUC__)
    __builtin_prefetch(pixel, 1);
#else
    (void)pixel;
#endif
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
    thread_local QHash<int, std::vector<StampRow>> stamps;  // component bodies render on several threads
    auto it = stamps.find(width);
    if (it == stamps.end()) it = stamps.insert(width, MakeStamp(width));
    return *it;
}

// floor((a + b i) / c) for i = 0, 1, 2, ... (a, b >= 0, c > 0), one i at a time.
class FloorSteps {
public:
    FloorSteps(__int128 a, long long b, long long c)
        : quotient_(static_cast<long long>(a / c)), remainder_(static_cast<long long>(a % c)), divisor_(c),
          stepQuotient_(b / c), stepRemainder_(b % c)
    {
    }
    long long Value() const { return quotient_; }
    void Next()
    {
        quotient_ += stepQuotient_;
        remainder_ += stepRemainder_;
        if (remainder_ >= divisor_) {
            remainder_ -= divisor_;
            ++quotient_;
        }
    }

private:
    long long quotient_, remainder_, divisor_, stepQuotient_, stepRemainder_;
};

// The one-pixel path from (x0, y0) towards (x1, y1) without its end point,
// as the columns it holds in each of its rows. Its points are those of the
// step-by-step walk (error e = dx - dy; a step in x when 2e > -dy, in y when
// 2e < dx, both when both hold), in closed form: along the longer axis every
// step moves on by one, and after k steps the other coordinate has moved
// ceil((2k short - long) / (2 long)) (never less than 0).
class PathRows {
public:
    PathRows(long long x0, long long y0, long long x1, long long y1)
        : x0_(x0), y0_(y0), dx_(std::llabs(x1 - x0)), dy_(std::llabs(y1 - y0)), sx_(x1 < x0 ? -1 : 1),
          sy_(y1 < y0 ? -1 : 1)
    {
    }

    // Path rows r = 0 .. Count() - 1 lie at y0 + r sy (the last may be empty).
    long long Count() const { return dx_ >= dy_ ? dy_ + 1 : dy_; }
    long long Y(long long r) const { return y0_ + r * sy_; }
    long long RowOf(long long y) const { return (y - y0_) * sy_; }

    struct Columns {
        long long Left, Right;  // none when Left > Right
    };
    // Rows first .. last (0 <= first <= last < Count()) into out[0 ..].
    void Rows(long long first, long long last, Columns* out) const
    {
        const long long count = last - first + 1;
        if (dx_ >= dy_) {
            // Steps kStart(r) .. kStart(r + 1) - 1 lie in row r, with kStart(0) = 0
            // and kStart(r) = floor((2 dx r - dx) / (2 dy)) + 1 from r = 1 on.
            const long long steps = dx_;
            if (dy_ == 0) {
                *out = Columns{std::min(x0_, x0_ + sx_ * (steps - 1)), std::max(x0_, x0_ + sx_ * (steps - 1))};
                return;
            }
            const long long from = std::max<long long>(first, 1);
            FloorSteps start(static_cast<__int128>(2 * dx_) * from - dx_, 2 * dx_, 2 * dy_);  // kStart - 1
            long long kFirst = 0;
            if (first > 0) {
                kFirst = start.Value() + 1;
                start.Next();
            }
            for (long long i = 0; i < count; ++i) {
                const long long kNext = start.Value() + 1;
                start.Next();
                const long long kLast = std::min(kNext - 1, steps - 1);
                if (kFirst > kLast)
                    out[i] = Columns{1, 0};
                else
                    out[i] = Columns{std::min(x0_ + sx_ * kFirst, x0_ + sx_ * kLast),
                                     std::max(x0_ + sx_ * kFirst, x0_ + sx_ * kLast)};
                kFirst = kNext;
            }
        } else {
            // One point in each row r: x0 + sx floor((2 dx r + dy - 1) / (2 dy)).
            FloorSteps x(static_cast<__int128>(2 * dx_) * first + dy_ - 1, 2 * dx_, 2 * dy_);
            for (long long i = 0; i < count; ++i, x.Next()) {
                const long long at = x0_ + sx_ * x.Value();
                out[i] = Columns{at, at};
            }
        }
    }

private:
    long long x0_, y0_, dx_, dy_, sx_, sy_;
};

// A solid stroke: the union of the stamps put on every point of the path
// from (x0, y0) towards (x1, y1) but its end point, painted row by row. In
// each row, the stamps of consecutive path points overlap or touch (every
// stamp row holds the stamp's centre column, or both centre columns of an
// even width, and consecutive points are at most one column apart), so a
// row's part of the union is one run: from the leftmost to the rightmost
// column that any stamp row reaching it covers. Only the surface's rows are
// visited, so the parts of a stroke off the surface cost nothing.
void StrokeRows(const Pixels& image, long long x0, long long y0, long long x1, long long y1,
                const std::vector<StampRow>& stamp, QRgb colour)
{
    if (image.Width <= 0) return;
    const PathRows path(x0, y0, x1, y1);
    const long long rows = path.Count();
    const long long pathTop = std::min(path.Y(0), path.Y(rows - 1)), pathBottom = std::max(path.Y(0), path.Y(rows - 1));
    const int low = stamp.front().Dy, high = stamp.back().Dy;
    const long long top = std::max<long long>(pathTop + low, 0);
    const long long bottom = std::min<long long>(pathBottom + high, image.Height - 1);
    if (top > bottom) return;

    // The path rows those surface rows see.
    const long long seenTop = std::max(pathTop, top - high), seenBottom = std::min(pathBottom, bottom - low);
    if (x0 == x1) {
        // Vertical: every path row holds column x0, so a row's run joins the
        // stamp rows that reach it; all of them in the rows between the ends.
        for (long long y = top; y <= bottom; ++y) {
            const long long dFirst = std::max<long long>(low, y - seenBottom);
            const long long dLast = std::min<long long>(high, y - seenTop);
            long long left = std::numeric_limits<long long>::max(), right = std::numeric_limits<long long>::min();
            for (long long d = dFirst; d <= dLast; ++d) {
                left = std::min<long long>(left, stamp[std::size_t(d - low)].First);
                right = std::max<long long>(right, stamp[std::size_t(d - low)].Last);
            }
            if (dFirst == low && dLast == high) {
                // From here to the row the last stamp row leaves: all alike.
                const long long end = std::min(bottom, seenBottom + low);
                const long long from = std::max<long long>(x0 + left, 0);
                const long long to = std::min<long long>(x0 + right + 1, image.Width);
                for (long long row = y; from < to && row <= end; ++row) {
                    if (row + 12 <= end) PrefetchForWrite(image.Row(int(row + 12)) + from);
                    FillPixels(image.Row(int(row)) + from, to - from, colour);
                }
                y = end;
                continue;
            }
            if (left <= right) FillSpan(image, y, x0 + left, x0 + right + 1, colour);
        }
        return;
    }
    const long long first = std::min(path.RowOf(seenTop), path.RowOf(seenBottom));
    const long long last = std::max(path.RowOf(seenTop), path.RowOf(seenBottom));
    thread_local std::vector<PathRows::Columns> columns;
    columns.resize(std::size_t(last - first + 1));
    path.Rows(first, last, columns.data());

    for (long long y = top; y <= bottom; ++y) {
        // The stamp rows that reach row y from a path row the surface sees.
        const long long dFirst = std::max<long long>(low, y - seenBottom);
        const long long dLast = std::min<long long>(high, y - seenTop);
        long long left = std::numeric_limits<long long>::max(), right = std::numeric_limits<long long>::min();
        for (long long d = dFirst; d <= dLast; ++d) {
            const StampRow& r = stamp[std::size_t(d - low)];
            const PathRows::Columns& c = columns[std::size_t(path.RowOf(y - d) - first)];
            if (c.Left > c.Right) continue;
            left = std::min(left, c.Left + r.First);
            right = std::max(right, c.Right + r.Last);
        }
        if (left > right) continue;
        if (y + 12 <= bottom)
            PrefetchForWrite(image.Row(int(y + 12)) + std::clamp<long long>(left, 0, image.Width - 1));
        FillSpan(image, y, left, right + 1, colour);
    }
    if (columns.capacity() > (std::size_t(1) << 16)) std::vector<PathRows::Columns>().swap(columns);
}

// Walks a dash pattern pixel by pixel from a position on.
class DashWalk {
public:
    DashWalk(const std::vector<int>& pattern, long long period, long long position) : pattern_(pattern)
    {
        if (period == 0) return;
        long long at = position % period;
        while (at >= pattern_[run_]) at -= pattern_[run_++];
        left_ = pattern_[run_] - int(at);
    }
    // Whether the current pixel is drawn; then on to the next one.
    bool Next()
    {
        if (pattern_.empty()) return true;
        const bool on = run_ % 2 == 0;
        if (--left_ == 0) {
            run_ = (run_ + 1) % pattern_.size();
            left_ = pattern_[run_];
        }
        return on;
    }

private:
    const std::vector<int>& pattern_;
    std::size_t run_ = 0;
    int left_ = 0;
};

// Widths beyond this are drawn this wide (a stamp that size already covers a page zone).
constexpr int maxPenWidth = 256;

int PenWidth(const TPen& pen) { return std::clamp(pen.Width, 1, maxPenWidth); }

// Largest box side an ellipse is drawn in; bigger boxes draw nothing.
constexpr long long maxEllipseSide = 1LL << 28;

// floor(sqrt(value)), 0 for value <= 0: the root in a floating type wide
// enough to come close, made exact in an integer type that holds the squares.
template <typename Integer, typename Floating>
long long ISqrt(Integer value)
{
    if (value <= 0) return 0;
    long long root = static_cast<long long>(std::sqrt(static_cast<Floating>(value)));
    while (static_cast<Integer>(root) * root > value) --root;
    while (static_cast<Integer>(root + 1) * (root + 1) <= value) ++root;
    return root;
}

// The shape of the ellipse inscribed in a box width x height: the pixels
// whose centres lie inside the ellipse. Row j (relative to the box) holds the
// columns Span(j) gives.
class EllipseShape {
public:
    EllipseShape(long long width, long long height)
        : width_(std::max(0LL, width)), height_(std::max(0LL, height)),
          w2_(static_cast<__int128>(width_) * width_), h2_(static_cast<__int128>(height_) * height_),
          small_(width_ < smallSide && height_ < smallSide)
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
        long long s = 0;
        if (small_) {
            // Every product fits in 64 bits, and the root in a double.
            const long long w2 = static_cast<long long>(w2_), h2 = static_cast<long long>(h2_);
            s = ISqrt<long long, double>((w2 * h2 - py * py * w2) / h2);
        } else {
            s = ISqrt<__int128, long double>((w2_ * h2_ - static_cast<__int128>(py) * py * w2_) / h2_);
        }
        if ((s + width_ + 1) % 2 != 0) --s;  // px has the parity of width + 1
        if (s < 0) return false;
        left = (width_ - 1 - s) / 2;
        right = (width_ - 1 + s) / 2;
        return true;
    }

private:
    static constexpr long long smallSide = 1LL << 15;
    long long width_, height_;
    __int128 w2_, h2_;
    bool small_;
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

}  // namespace

// Glyph pixels of a text: rows relative to the cell's top (a glyph may reach
// above or below the cell, which is Height rows high), columns from Left
// (relative to the cell's left edge, negative for overhang) on.
struct TGlyphMask {
    int CellWidth = 0;
    int Left = 0, Width = 0, Height = 0;
    // The rows the spans reach, from Top to Bottom - 1: glyph parts may
    // stand above or below the cell (0 .. Height - 1).
    int Top = 0, Bottom = 0;
    // The glyph pixels as runs along the rows: row Y, columns X .. X+Length-1
    // (relative to Left).
    struct Span {
        int Y, X, Length;
    };
    std::vector<Span> Spans;
};

namespace {

using GlyphMask = TGlyphMask;

// A font as Qt draws it, with what has been measured and rendered in it.
struct FontEntry {
    QFont Font;
    QFontMetrics Metrics;
    QHash<QByteArray, int> Widths;
    QHash<QByteArray, std::shared_ptr<const GlyphMask>> Masks;  // shared with paints put off
    TRecentTexts<int, 512> RecentWidths;  // in front of Widths
    // Where its texts are drawn to find their glyph pixels, kept from one
    // text to the next with a painter open on it (the entry is used on one
    // thread only).
    struct Scratch {
        QImage Image;
        std::unique_ptr<QPainter> Painter;  // (ends before the image goes)
    };
    mutable Scratch Drawn;
};

// The fonts drawn in so far, by face, size, boldness, slant, underline and
// strike-out. (Their entries are left to the end of the process: Qt's fonts
// must not outlive the application object.)
struct FontTable {
    struct Recent {
        TFont Font;
        FontEntry* Entry = nullptr;
    };
    QHash<QString, FontEntry*> Fonts;
    std::array<Recent, 8> LastAsked{};
    std::size_t NextRecent = 0;
    std::uint64_t Generation = 0;  // how many times it was forgotten

    void Forget()
    {
        ++Generation;
        LastAsked = {};
        qDeleteAll(Fonts);
        Fonts.clear();
    }
};

FontTable& TheFonts()
{
    static FontTable table;
    return table;
}

// The entry of a font. The caches are bounded: when one is full it starts
// afresh. A component's texts take turns between a handful of fonts
// (designation, value, package, pin numbers and names), so the last few
// fonts asked for are found without the table.
FontEntry& FontFor(const TFont& font)
{
    FontTable& table = TheFonts();
    for (const FontTable::Recent& r : table.LastAsked)
        if (r.Entry && font.SameGlyphs(r.Font)) return *r.Entry;

    const QString key = font.Face + QChar(0x1) + QString::number(font.Size) + QChar(font.Bold ? u'B' : u'-') +
                        QChar(font.Italic ? u'I' : u'-') + QChar(font.Underline ? u'U' : u'-') +
                        QChar(font.StrikeOut ? u'S' : u'-');
    auto it = table.Fonts.find(key);
    if (it == table.Fonts.end()) {
        if (table.Fonts.size() >= 64) table.Forget();
        const QFont qfont = font.ToQFont();
        it = table.Fonts.insert(key, new FontEntry{qfont, QFontMetrics(qfont), {}, {}, {}, {}});
    }
    table.LastAsked[table.NextRecent] = {font, *it};
    table.NextRecent = (table.NextRecent + 1) % table.LastAsked.size();
    return **it;
}

// The caches' bounds: when one is full it starts afresh.
constexpr qsizetype maxWidths = 16384, maxMasks = 8192;

// The width of a text in a font as Qt measures it.
int MeasuredWidth(const FontEntry& entry, const QByteArray& text)
{
    return entry.Metrics.horizontalAdvance(QString::fromLatin1(text));
}

// Widths are kept by text, and in the small table in front.
void KeepWidth(FontEntry& entry, const QByteArray& text, int width)
{
    entry.RecentWidths.Keep(text, width);
    if (entry.Widths.size() >= maxWidths) entry.Widths.clear();
    entry.Widths.insert(text, width);
}

GlyphMask RenderGlyphs(const FontEntry& entry, const QByteArray& text, int cellWidth)
{
    GlyphMask mask;
    const int cellHeight = entry.Metrics.height();
    // Room around the cell for italic overhang, negative bearings and glyph
    // parts that reach above or below the cell: they are drawn too.
    const int margin = cellHeight;
    mask.CellWidth = cellWidth;
    mask.Left = -margin;
    mask.Width = cellWidth + 2 * margin;
    mask.Height = cellHeight;
    const int scratchHeight = cellHeight + 2 * margin;
    if (mask.Width <= 0 || mask.Height <= 0) return mask;
    // The text is drawn at the top left of the entry's kept image, which
    // grows to the largest text so far (up to a bound; a larger one gets an
    // image of its own). Only that corner is cleared and read: what a glyph
    // draws beyond it is what an image of the corner's size would cut off.
    constexpr qsizetype keptPixels = qsizetype(1) << 18;  // 1 MB
    FontEntry::Scratch own;
    FontEntry::Scratch* drawn = &entry.Drawn;
    if (drawn->Image.width() < mask.Width || drawn->Image.height() < scratchHeight) {
        const int height = std::max(scratchHeight, drawn->Image.height());
        const int width = int(std::max<qsizetype>(
            mask.Width, std::min(2 * qsizetype(drawn->Image.width()), keptPixels / height)));
        if (qsizetype(width) * height > keptPixels)
            drawn = &own;
        drawn->Painter.reset();
        drawn->Image = drawn == &own ? QImage(mask.Width, scratchHeight, QImage::Format_RGB32)
                                     : QImage(width, height, QImage::Format_RGB32);
        if (drawn->Image.isNull()) {
            mask.Width = 0;  // no memory for it: the text has no glyphs to draw
            return mask;
        }
        drawn->Painter = std::make_unique<QPainter>(&drawn->Image);
        drawn->Painter->setRenderHint(QPainter::Antialiasing, false);
        drawn->Painter->setRenderHint(QPainter::TextAntialiasing, false);
        drawn->Painter->setFont(entry.Font);
        drawn->Painter->setPen(Qt::black);
    }
    const QImage& scratch = drawn->Image;
    FillBox(Pixels(drawn->Image), 0, 0, mask.Width, scratchHeight, 0xFFFFFFFF);
    drawn->Painter->drawText(QPoint(margin, margin + entry.Metrics.ascent()), QString::fromLatin1(text));
    // The glyph pixels as spans, in one pass (white, nearly all of the
    // scratch, is passed over at once); then only the columns that hold glyph
    // pixels are kept.
    constexpr QRgb white = 0xFFFFFFFF;
    const auto ink = [](QRgb pixel) { return pixel != white && qGray(pixel) < 128; };
    int first = mask.Width, last = -1;
    int top = std::numeric_limits<int>::max(), bottom = std::numeric_limits<int>::min();
    for (int y = 0; y < scratchHeight; ++y) {
        const QRgb* row = Row(std::as_const(scratch), y);
        for (int x = 0; x < mask.Width;) {
            x = SkipPixels<true>(row, x, mask.Width, white, 0);
            if (x == mask.Width) break;
            if (!ink(row[x])) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < mask.Width && ink(row[end])) ++end;
            mask.Spans.push_back({y - margin, x, end - x});
            first = std::min(first, x);
            last = std::max(last, end - 1);
            top = std::min(top, y - margin);
            bottom = std::max(bottom, y - margin + 1);
            x = end;
        }
    }
    if (last < first) {
        mask.Width = 0;
        return mask;
    }
    mask.Left = first - margin;
    mask.Width = last - first + 1;
    mask.Top = top;
    mask.Bottom = bottom;
    for (GlyphMask::Span& span : mask.Spans) span.X -= first;
    return mask;
}

// A text whose glyphs are made ahead of the paint, and how far it is.
enum AheadStage : int {
    aheadFree,    // nobody began it
    aheadBusy,    // a helper is making it
    aheadDone,    // the helper made it
    aheadTaken,   // the paint's thread took it, or makes it itself
    aheadFailed,  // the helper ran out of memory
};
struct AheadJob {
    std::uint32_t Font = 0;
    QByteArray Text;
    int Width = 0;
    GlyphMask Mask;
    std::atomic<int> Stage{aheadFree};
};

}  // namespace

// The glyphs of the texts a paint is going to draw, made by helper threads
// in the order the paint draws them, while the paint's thread draws. Only
// the paint's thread touches the font table; a helper only its jobs.
struct TGlyphsAheadWork {
    TGlyphFonts Fonts;
    std::vector<const FontEntry*> Entries;  // the font table's entries of Fonts
    std::uint64_t Generation = 0;           // of the table they belong to
    std::vector<QHash<QByteArray, std::uint32_t>> Index;  // jobs by font and text
    std::vector<AheadJob> Jobs;
    std::atomic<std::size_t> Next{0};  // the next job to take
    std::atomic<bool> Stop{false};
    std::vector<std::thread> Helpers;

    AheadJob* Find(const FontEntry& entry, const QByteArray& text)
    {
        if (Generation != TheFonts().Generation) return nullptr;
        for (std::size_t k = 0; k < Entries.size(); ++k) {
            if (Entries[k] != &entry) continue;
            const auto it = Index[k].constFind(text);
            return it == Index[k].constEnd() ? nullptr : &Jobs[*it];
        }
        return nullptr;
    }

    // A helper's width of a text, when it has made the text.
    std::optional<int> KnownWidth(const FontEntry& entry, const QByteArray& text)
    {
        AheadJob* job = Find(entry, text);
        if (job == nullptr || job->Stage.load(std::memory_order_acquire) != aheadDone) return std::nullopt;
        return job->Width;
    }

    // The glyphs a helper made of a text, waiting for one that is making
    // them; none when nobody began them (the paint's thread makes them then).
    // While it waits, the paint's thread makes the next texts nobody began.
    std::optional<std::pair<int, GlyphMask>> Take(const FontEntry& entry, const QByteArray& text)
    {
        AheadJob* job = Find(entry, text);
        if (job == nullptr) return std::nullopt;
        int stage = aheadFree;
        if (job->Stage.compare_exchange_strong(stage, aheadTaken, std::memory_order_acq_rel)) return std::nullopt;
        while (stage == aheadBusy) {
            if (!MakeNext([this](std::uint32_t font) -> const FontEntry& { return *Entries[font]; }))
                std::this_thread::yield();
            stage = job->Stage.load(std::memory_order_acquire);
        }
        if (stage != aheadDone) return std::nullopt;
        job->Stage.store(aheadTaken, std::memory_order_relaxed);
        return std::pair<int, GlyphMask>(job->Width, std::move(job->Mask));
    }

    // Makes the next job nobody began, in entryFor(font), the calling
    // thread's own entry of a font; false when none is left or there was no
    // memory for it.
    template <typename EntryFor>
    bool MakeNext(EntryFor&& entryFor)
    {
        for (;;) {
            const std::size_t next = Next.fetch_add(1, std::memory_order_relaxed);
            if (next >= Jobs.size()) return false;
            AheadJob& job = Jobs[next];
            int stage = aheadFree;
            if (!job.Stage.compare_exchange_strong(stage, aheadBusy, std::memory_order_acq_rel)) continue;
            try {
                const FontEntry& entry = entryFor(job.Font);
                job.Width = MeasuredWidth(entry, job.Text);
                job.Mask = RenderGlyphs(entry, job.Text, job.Width);
                job.Stage.store(aheadDone, std::memory_order_release);
                return true;
            } catch (const std::bad_alloc&) {
                job.Stage.store(aheadFailed, std::memory_order_release);
                return false;
            }
        }
    }

    // A helper thread: it draws with fonts of its own, made as the font
    // table makes them (Qt's fonts are not shared between threads).
    void Help()
    {
        std::vector<std::unique_ptr<FontEntry>> fonts(Fonts.size());
        const auto own = [&](std::uint32_t font) -> const FontEntry& {
            std::unique_ptr<FontEntry>& entry = fonts[font];
            if (!entry) {
                const QFont qfont = Fonts[font].ToQFont();
                entry.reset(new FontEntry{qfont, QFontMetrics(qfont), {}, {}, {}, {}});
            }
            return *entry;
        };
        while (!Stop.load(std::memory_order_relaxed) && MakeNext(own)) {
        }
    }
};

namespace {

// The work of the paint going on, if glyphs are made ahead of it.
TGlyphsAheadWork* activeAhead = nullptr;

int CellWidth(FontEntry& entry, const QByteArray& text)
{
    if (const int* known = entry.RecentWidths.Find(text)) return *known;
    const auto it = entry.Widths.constFind(text);
    if (it != entry.Widths.constEnd()) {
        entry.RecentWidths.Keep(text, *it);
        return *it;
    }
    const std::optional<int> ahead = activeAhead ? activeAhead->KnownWidth(entry, text) : std::nullopt;
    const int width = ahead ? *ahead : MeasuredWidth(entry, text);
    KeepWidth(entry, text, width);
    return width;
}

const std::shared_ptr<const GlyphMask>& GlyphsFor(FontEntry& entry, const QByteArray& text)
{
    auto it = entry.Masks.find(text);
    if (it == entry.Masks.end()) {
        if (entry.Masks.size() >= maxMasks) entry.Masks.clear();
        if (auto made = activeAhead ? activeAhead->Take(entry, text) : std::nullopt) {
            KeepWidth(entry, text, made->first);
            it = entry.Masks.emplace(text, std::make_shared<const GlyphMask>(std::move(made->second)));
        } else {
            it = entry.Masks.emplace(text, std::make_shared<const GlyphMask>(
                                               RenderGlyphs(entry, text, CellWidth(entry, text))));
        }
    }
    return *it;
}

}  // namespace

void ForgetGlyphs() { TheFonts().Forget(); }

TGlyphsAhead::TGlyphsAhead(const TTextsToDraw& texts, int threads)
{
    // Qt measures and renders a text in some microseconds; a page has
    // thousands. More fonts than the table holds at once are left to the paint.
    constexpr std::size_t maxFonts = 32, minTextsPerHelper = 32, maxHelpers = 15;
    if (activeAhead != nullptr || texts.Fonts.empty() || texts.Fonts.size() > maxFonts) return;

    auto work = std::make_unique<TGlyphsAheadWork>();
    work->Fonts = texts.Fonts;
    work->Generation = TheFonts().Generation;
    for (std::size_t k = 0; k < texts.Fonts.size(); ++k) work->Entries.push_back(&FontFor(texts.Fonts[k]));
    if (work->Generation != TheFonts().Generation) return;  // the table started afresh meanwhile

    // What the table lacks, each text once, as much as it has room for.
    work->Index.resize(texts.Fonts.size());
    std::vector<qsizetype> room;
    for (const FontEntry* entry : work->Entries) room.push_back(maxMasks - entry->Masks.size());
    std::vector<const TTextsToDraw::TText*> missing;
    for (const TTextsToDraw::TText& text : texts.Texts) {
        if (text.Font >= texts.Fonts.size() || text.Text.isEmpty() || room[text.Font] <= 0) continue;
        QHash<QByteArray, std::uint32_t>& index = work->Index[text.Font];
        if (work->Entries[text.Font]->Masks.contains(text.Text) || index.contains(text.Text)) continue;
        index.insert(text.Text, std::uint32_t(missing.size()));
        --room[text.Font];
        missing.push_back(&text);
    }
    const std::size_t helpers =
        std::min({std::size_t(ThreadsFor(threads)) - 1, missing.size() / minTextsPerHelper, maxHelpers});
    if (helpers == 0) return;  // the paint makes the few itself

    work->Jobs = std::vector<AheadJob>(missing.size());
    for (std::size_t i = 0; i < missing.size(); ++i) {
        work->Jobs[i].Font = missing[i]->Font;
        work->Jobs[i].Text = missing[i]->Text;
    }
    work->Helpers.reserve(helpers);
    try {
        for (std::size_t k = 0; k < helpers; ++k) work->Helpers.emplace_back([w = work.get()] { w->Help(); });
    } catch (const std::system_error&) {
        // fewer helpers, then
    }
    activeAhead = work.get();
    work_ = std::move(work);
}

std::unique_ptr<TGlyphsAhead> TGlyphsAhead::Start(const TTextsToDraw& texts, int threads)
{
    try {
        return std::unique_ptr<TGlyphsAhead>(new TGlyphsAhead(texts, threads));
    } catch (const std::bad_alloc&) {
        return nullptr;  // the paint makes every text itself
    }
}

TGlyphsAhead::~TGlyphsAhead()
{
    if (!work_) return;
    activeAhead = nullptr;
    work_->Stop = true;
    for (std::thread& helper : work_->Helpers) helper.join();
    // What the helpers made and the paint did not take is kept for later paints.
    for (AheadJob& job : work_->Jobs) {
        if (job.Stage.load(std::memory_order_acquire) != aheadDone) continue;
        FontEntry& entry = FontFor(work_->Fonts[job.Font]);
        KeepWidth(entry, job.Text, job.Width);
        if (entry.Masks.size() < maxMasks && !entry.Masks.contains(job.Text))
            entry.Masks.emplace(job.Text, std::make_shared<const GlyphMask>(std::move(job.Mask)));
    }
}

// ---------------------------------------------------------------------------
// Surface

namespace {

// A new RGB32 image. Large ones (pages from A1 up, which live long and are
// drawn on many times) lie on 2 MB boundaries and ask for huge memory pages
// where the system offers them: a line running down a page touches a new row,
// and with small pages a new memory page, at every pixel.
QImage NewRaster(int width, int height)
{
    constexpr std::size_t large = std::size_t(16) << 20;
    const std::size_t stride = std::size_t(width) * sizeof(QRgb);
    const std::size_t bytes = stride * std::size_t(height);
    if (bytes >= large && stride <= std::size_t(std::numeric_limits<qsizetype>::max())) {
        if (void* memory = AllocateLarge(bytes)) {
            QImage image(static_cast<uchar*>(memory), width, height, qsizetype(stride), QImage::Format_RGB32,
                         [](void* buffer) { std::free(buffer); }, memory);
            if (!image.isNull()) return image;
            std::free(memory);
        }
    }
    return QImage(width, height, QImage::Format_RGB32);
}

}  // namespace

TSurface::TSurface(int width, int height) { SetSize(width, height); }

void TSurface::SetSize(int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == Width() && height == Height() && !image_.isNull()) return;
    QImage next = NewRaster(width, height);
    if (next.isNull()) {
        image_ = QImage();
        return;
    }
    next.fill(Qt::white);
    EnsureFormat();
    const int keepWidth = std::min(width, Width());
    const int keepHeight = std::min(height, Height());
    const Pixels target(next);
    for (int y = 0; y < keepHeight; ++y) std::copy_n(Row(std::as_const(image_), y), keepWidth, target.Row(y));
    image_ = next;
}

void TSurface::EnsureFormat()
{
    if (!image_.isNull() && image_.format() != QImage::Format_RGB32)
        image_ = image_.convertToFormat(QImage::Format_RGB32);
}

namespace {
void PaintGlyphs(const Pixels& pixels, const GlyphMask& mask, int x, int y, QRgb ink);
}  // namespace

bool TSurface::Recorded(const TPaintOperation& operation, bool kept)
{
    if (record_.To == nullptr) return false;
    if (kept && record_.To->Add(operation)) return true;
    EndRecording();
    return false;
}

void TSurface::EndRecording()
{
    // What the record holds goes on the surface first; then the surface
    // paints as it goes.
    TPaintRecord* const record = record_.To;
    record_.To = nullptr;
    if (record) record->Play(*this);
}

void TSurface::PaintBox(long long x1, long long y1, long long x2, long long y2, QRgb colour)
{
    if (x1 >= x2 || y1 >= y2) return;
    // (A box wholly beyond an int's range is off the surface: nothing to keep.)
    if (record_.To && std::max(x1, y1) <= INT_MAX && std::min(x2, y2) >= INT_MIN) {
        TPaintOperation box = TPaintOperation::Of(TPaintOperation::Box, x1, y1, x2, y2, y1, y2);
        box.Colour = colour;
        if (Recorded(box)) return;
    }
    FillBox(Pixels(image_), x1, y1, x2, y2, colour);
}

void TSurface::Play(const TPaintOperation& operation, const TPaintRecord& record, int top)
{
    // Moved up by top, with the coordinates in range (the record takes no
    // operation that reaches far beyond the page).
    const int y1 = operation.Y1 - top, y2 = operation.Y2 - top;
    switch (operation.Kind) {
    case TPaintOperation::Stroke:
        Pen = operation.Pen;
        dashPhase_ = operation.Phase;
        StrokeSegment(QPoint(operation.X1, y1), QPoint(operation.X2, y2));
        break;
    case TPaintOperation::Box:
        FillBox(Pixels(image_), operation.X1, y1, operation.X2, y2, operation.Colour);
        break;
    case TPaintOperation::Ellipse:
        Pen = operation.Pen;
        Brush = operation.Brush;
        Ellipse(operation.X1, y1, operation.X2, y2);
        break;
    case TPaintOperation::Glyphs:
        PaintGlyphs(Pixels(image_), record.Mask(operation.Kept), operation.X1, y1, operation.Colour);
        break;
    case TPaintOperation::DrawRuns:
        operation.Runs->Draw(*this, operation.X1, y1);
        break;
    case TPaintOperation::FillRuns:
        operation.Runs->Fill(*this, operation.X1, y1, operation.Colour, operation.Area.translated(0, -top));
        break;
    case TPaintOperation::Raster:
        Draw(operation.X1, y1, record.KeptRaster(operation.Kept));
        break;
    case TPaintOperation::Stretch:
        StretchDraw(operation.Area.translated(0, -top), record.KeptRaster(operation.Kept));
        break;
    }
}

void TSurface::Clear(TColor colour)
{
    EnsureFormat();
    if (record_.To) {
        PaintBox(0, 0, Width(), Height(), ColourToRgb(colour) | opaqueBlack);
        return;
    }
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
    const long long phase = dashPhase_;
    dashPhase_ = int((phase + steps) % 960000);  // a multiple of every pattern period

    // Nothing to do when the stroke cannot reach the surface.
    const long long reach = width;
    if (std::max(x0, x1) + reach < 0 || std::max(y0, y1) + reach < 0 || std::min(x0, x1) - reach >= Width() ||
        std::min(y0, y1) - reach >= Height())
        return;
    if (record_.To) {
        TPaintOperation stroke = TPaintOperation::Of(TPaintOperation::Stroke, x0, y0, x1, y1,
                                                     std::min(y0, y1) - reach, std::max(y0, y1) + reach + 1);
        stroke.Pen = Pen;
        stroke.Phase = int(phase);
        if (Recorded(stroke)) return;
    }
    const QRgb colour = ColourToRgb(Pen.Colour);
    const std::vector<int>& pattern = width == 1 ? DashPattern(Pen.Style) : DashPattern(psSolid);

    long long period = 0;
    for (int run : pattern) period += run;
    const Pixels pixels(image_);

    // One-pixel vertical lines, and dashed horizontal ones, go straight along
    // their column or row: step k paints (x0, y0) + k (ux, uy).
    if (width == 1 && (dx == 0 || dy == 0) && !(period == 0 && dy == 0)) {
        const long long ux = dx == 0 ? 0 : (x1 > x0 ? 1 : -1), uy = dy == 0 ? 0 : (y1 > y0 ? 1 : -1);
        long long kFirst = 0, kLast = steps - 1;
        // The steps for which 0 <= start + k * unit < size.
        auto keepInside = [&](long long start, long long unit, long long size) {
            if (unit == 0) {
                if (start < 0 || start >= size) kLast = -1;
            } else if (unit > 0) {
                kFirst = std::max(kFirst, -start);
                kLast = std::min(kLast, size - 1 - start);
            } else {
                kFirst = std::max(kFirst, start - (size - 1));
                kLast = std::min(kLast, start);
            }
        };
        keepInside(x0, ux, pixels.Width);
        keepInside(y0, uy, pixels.Height);
        if (kFirst > kLast) return;
        QRgb* const start = pixels.Row(int(y0 + kFirst * uy)) + (x0 + kFirst * ux);
        const qsizetype stride = qsizetype(ux) + qsizetype(uy) * pixels.Stride;
        constexpr long long ahead = 16;  // rows fetched ahead of a vertical line
        // Pixels k .. k + count - 1, fetching rows ahead of a vertical line.
        auto paint = [&](long long k, long long count) {
            QRgb* const at = start + (k - kFirst) * stride;
            if (uy == 0) {
                // Along the row: one span, to the right or to the left of at.
                FillPixels(ux > 0 ? at : at - (count - 1), count, colour);
                return;
            }
            // The pixels with a row to fetch ahead of them, then the others.
            const long long fetching = std::clamp<long long>(kLast - ahead - k + 1, 0, count);
            long long i = 0;
            for (; i < fetching; ++i) {
                PrefetchForWrite(at + (i + ahead) * stride);
                at[i * stride] = colour;
            }
            for (; i < count; ++i) at[i * stride] = colour;
        };
        if (period == 0) {
            paint(kFirst, kLast - kFirst + 1);
            return;
        }
        // Dashed: the pattern's runs, from where it stands at kFirst.
        std::size_t run = 0;
        long long into = (phase + kFirst) % period;
        while (into >= pattern[run]) into -= pattern[run++];
        for (long long k = kFirst; k <= kLast;) {
            const long long count = std::min<long long>(pattern[run] - into, kLast - k + 1);
            if (run % 2 == 0) paint(k, count);
            k += count;
            into = 0;
            if (++run == pattern.size()) run = 0;
        }
        return;
    }

    // Solid strokes, of every width, go row by row.
    if (period == 0) {
        StrokeRows(pixels, x0, y0, x1, y1, Stamp(width), colour);
        return;
    }

    // Dashed one-pixel slanted lines: the path's points in the surface's
    // rows (a part of the line off the surface costs nothing), each painted
    // when its step lies on a dash.
    const PathRows path(x0, y0, x1, y1);
    const long long sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    const long long rowFirst = std::max<long long>(0, sy > 0 ? -y0 : y0 - (pixels.Height - 1));
    const long long rowLast = std::min<long long>(path.Count() - 1, sy > 0 ? pixels.Height - 1 - y0 : y0);
    if (rowFirst > rowLast || pixels.Width <= 0) return;
    thread_local std::vector<PathRows::Columns> columns;
    columns.resize(std::size_t(rowLast - rowFirst + 1));
    path.Rows(rowFirst, rowLast, columns.data());
    for (long long r = rowFirst; r <= rowLast; ++r) {
        const PathRows::Columns& c = columns[std::size_t(r - rowFirst)];
        const long long left = std::max<long long>(c.Left, 0), right = std::min<long long>(c.Right, pixels.Width - 1);
        if (left > right) continue;
        // Step k stands at column x0 + k sx along a line longer across than
        // down, and in row r of one longer down.
        QRgb* const row = pixels.Row(int(path.Y(r)));
        const long long from = sx > 0 ? left : right;
        DashWalk dash(pattern, period, phase + (dx >= dy ? (from - x0) * sx : r));
        for (long long x = from; sx > 0 ? x <= right : x >= left; x += sx)
            if (dash.Next()) row[x] = colour;
    }
    if (columns.capacity() > (std::size_t(1) << 16)) std::vector<PathRows::Columns>().swap(columns);
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
            PaintBox(box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1, fill);
        else
            PaintBox(box.Left, box.Top, box.Right, box.Bottom, fill);
    }
    if (!outline) return;

    const int width = PenWidth(Pen);
    if (width > 1 && Pen.Style == psInsideFrame) {
        const QRgb colour = ColourToRgb(Pen.Colour);
        const long long w = std::min<long long>(width, std::max(box.Width(), box.Height()));
        PaintBox(box.Left, box.Top, box.Right, std::min(box.Bottom, box.Top + w), colour);
        PaintBox(box.Left, std::max(box.Top, box.Bottom - w), box.Right, box.Bottom, colour);
        PaintBox(box.Left, box.Top, std::min(box.Right, box.Left + w), box.Bottom, colour);
        PaintBox(std::max(box.Left, box.Right - w), box.Top, box.Right, box.Bottom, colour);
        return;
    }
    // The closed path around the border pixels, each corner the start of one side.
    const int left = int(box.Left), top = int(box.Top), right = int(box.Right - 1), bottom = int(box.Bottom - 1);
    if (left == right && top == bottom) {
        PaintBox(left, top, left + 1LL, top + 1LL, ColourToRgb(Pen.Colour));
        if (width > 1) {
            for (const StampRow& r : Stamp(width))
                PaintBox(left + r.First, top + r.Dy, left + r.Last + 1, top + r.Dy + 1LL, ColourToRgb(Pen.Colour));
        }
        return;
    }
    dashPhase_ = 0;
    StrokeSegment(QPoint(left, top), QPoint(right, top));
    StrokeSegment(QPoint(right, top), QPoint(right, bottom));
    StrokeSegment(QPoint(right, bottom), QPoint(left, bottom));
    StrokeSegment(QPoint(left, bottom), QPoint(left, top));
}

namespace {
// Tallest box whose dashed outline is traced along the rim; a taller one
// has its outline drawn solid.
constexpr long long maxDashedEllipseRows = 1LL << 22;

// Row j of an ellipse's shape with a one-pixel outline: the shape's columns
// l .. r and its interior il .. ir (empty when il > ir); false when the row
// holds no pixel. The rim is every pixel with a side neighbour outside.
bool RimRow(const EllipseShape& shape, long long j, long long& l, long long& r, long long& il, long long& ir)
{
    if (!shape.Span(j, l, r)) return false;
    il = 1;
    ir = 0;
    long long al = 0, ar = -1, bl = 0, br = -1;
    if (shape.Span(j - 1, al, ar) && shape.Span(j + 1, bl, br)) {
        il = std::max({l + 1, al, bl});
        ir = std::min({r - 1, ar, br});
    }
    return true;
}
}  // namespace

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
    if (record_.To) {
        TPaintOperation ellipse = TPaintOperation::Of(TPaintOperation::Ellipse, x1, y1, x2, y2, box.Top, box.Bottom);
        ellipse.Pen = Pen;
        ellipse.Brush = Brush;
        if (Recorded(ellipse)) return;
    }
    const EllipseShape shape(box.Width(), box.Height());
    const bool outline = Pen.Style != psClear;
    const bool fill = Brush.Style != bsClear;
    const QRgb penColour = ColourToRgb(Pen.Colour);
    const QRgb brushColour = ColourToRgb(Brush.Colour);
    const int width = PenWidth(Pen);
    const Pixels pixels(image_);

    if (outline && width == 1 && !DashPattern(Pen.Style).empty() && box.Height() <= maxDashedEllipseRows) {
        DashedEllipse(box.Left, box.Top, box.Width(), box.Height());
        return;
    }

    // For a wide pen the interior is the shape of the box shrunk by the width.
    const EllipseShape inner(box.Width() - 2LL * width, box.Height() - 2LL * width);
    for (long long j = firstRow; j < lastRow; ++j) {
        const int y = int(box.Top + j);
        long long l = 0, r = -1;
        if (!shape.Span(j, l, r)) continue;
        if (!outline) {
            if (fill) FillSpan(pixels, y, box.Left + l, box.Left + r + 1, brushColour);
            continue;
        }
        // Interior columns il .. ir (relative to the box); empty when il > ir.
        long long il = 1, ir = 0;
        if (width == 1) {
            RimRow(shape, j, l, r, il, ir);
        } else if (inner.Span(j - width, il, ir)) {
            il += width;
            ir += width;
        } else {
            il = 1;
            ir = 0;
        }
        if (il > ir) {
            FillSpan(pixels, y, box.Left + l, box.Left + r + 1, penColour);
            continue;
        }
        FillSpan(pixels, y, box.Left + l, box.Left + il, penColour);
        if (fill) FillSpan(pixels, y, box.Left + il, box.Left + ir + 1, brushColour);
        FillSpan(pixels, y, box.Left + ir + 1, box.Left + r + 1, penColour);
    }
}

void TSurface::DashedEllipse(long long left, long long top, long long width, long long height)
{
    const EllipseShape shape(width, height);
    const std::vector<int>& pattern = DashPattern(Pen.Style);
    long long period = 0;
    for (int run : pattern) period += run;
    const QRgb penColour = ColourToRgb(Pen.Colour);
    const Pixels pixels(image_);

    // Each row's rim in two pieces: the right one (the rim right of the
    // interior, or the span from its middle pixel on when the row has no
    // interior) and the left one (the rest).
    struct Piece {
        long long First = 0, Last = -1;  // columns, relative to the box
    };
    const auto pieces = [&](long long j, Piece& leftPiece, Piece& rightPiece, long long& il, long long& ir) {
        long long l = 0, r = -1;
        leftPiece = rightPiece = Piece{};
        il = 1;
        ir = 0;
        if (!RimRow(shape, j, l, r, il, ir)) return;
        if (il <= ir) {
            leftPiece = {l, il - 1};
            rightPiece = {ir + 1, r};
        } else {
            const long long middle = (l + r + 1) / 2;
            leftPiece = {l, middle - 1};
            rightPiece = {middle, r};
        }
    };

    // One traversal, clockwise from the top row's middle pixel: the right
    // pieces from the top row down, then the left pieces from the bottom row
    // up. Rows in the upper half (the middle row included) are walked
    // rightwards, those in the lower half leftwards.
    long long position = 0;  // along the traversal
    const auto walk = [&](long long j, const Piece& piece, bool rightwards) {
        const long long count = piece.Last - piece.First + 1;
        if (count <= 0) return;
        const long long y = top + j;
        const long long start = left + (rightwards ? piece.First : piece.Last);
        const long long step = rightwards ? 1 : -1;
        if (y >= 0 && y < pixels.Height) {
            // Steps k with 0 <= start + k * step < width.
            long long kFirst = 0, kLast = count - 1;
            if (step > 0) {
                kFirst = std::max(kFirst, -start);
                kLast = std::min(kLast, pixels.Width - 1 - start);
            } else {
                kFirst = std::max(kFirst, start - (pixels.Width - 1));
                kLast = std::min(kLast, start);
            }
            if (kFirst <= kLast) {
                DashWalk dash(pattern, period, position + kFirst);
                QRgb* row = pixels.Row(int(y));
                for (long long k = kFirst; k <= kLast; ++k)
                    if (dash.Next()) row[start + k * step] = penColour;
            }
        }
        position = (position + count) % period;
    };
    const bool fill = Brush.Style != bsClear;
    const QRgb brushColour = ColourToRgb(Brush.Colour);
    Piece leftPiece, rightPiece;
    long long il = 1, ir = 0;
    for (long long j = 0; j < height; ++j) {
        pieces(j, leftPiece, rightPiece, il, ir);
        if (fill && il <= ir) FillSpan(pixels, top + j, left + il, left + ir + 1, brushColour);
        walk(j, rightPiece, 2 * j + 1 <= height);
    }
    for (long long j = height - 1; j >= 0; --j) {
        pieces(j, leftPiece, rightPiece, il, ir);
        walk(j, leftPiece, 2 * j + 1 <= height);
    }
}

void TSurface::FillRect(int x1, int y1, int x2, int y2)
{
    EnsureFormat();
    if (Brush.Style == bsClear) return;
    const Box box = MakeBox(x1, y1, x2, y2);
    PaintBox(box.Left, box.Top, box.Right, box.Bottom, ColourToRgb(Brush.Colour));
}

namespace {

// A text's glyph pixels in one colour, its cell's top-left corner at (x, y).
void PaintGlyphs(const Pixels& pixels, const GlyphMask& mask, int x, int y, QRgb ink)
{
    const long long left = static_cast<long long>(x) + mask.Left, top = y;
    // The spans of the surface's rows (they are in row order).
    auto first = mask.Spans.begin(), end = mask.Spans.end();
    if (top + mask.Top < 0)
        first = std::partition_point(first, end, [&](const GlyphMask::Span& span) { return top + span.Y < 0; });
    if (top + mask.Bottom > pixels.Height)
        end = std::partition_point(first, end,
                                   [&](const GlyphMask::Span& span) { return top + span.Y < pixels.Height; });
    if (left >= 0 && left + mask.Width <= pixels.Width) {
        // Across wholly inside the surface (the usual case): no clipping.
        for (auto span = first; span != end; ++span) {
            QRgb* const at = pixels.Bits + ((top + span->Y) * pixels.Stride + left + span->X);
            if (span->Length == 1)
                *at = ink;
            else
                FillPixels(at, span->Length, ink);
        }
        return;
    }
    for (auto span = first; span != end; ++span)
        FillSpan(pixels, top + span->Y, left + span->X, left + span->X + span->Length, ink);
}

}  // namespace

void TSurface::TextOut(int x, int y, const QByteArray& text)
{
    EnsureFormat();
    if (text.isEmpty()) return;
    FontEntry& entry = FontFor(Font);
    const std::shared_ptr<const GlyphMask>& mask = GlyphsFor(entry, text);
    if (Brush.Style != bsClear)
        PaintBox(x, y, static_cast<long long>(x) + mask->CellWidth, static_cast<long long>(y) + mask->Height,
                 ColourToRgb(Brush.Colour));
    const QRgb ink = ColourToRgb(Font.Colour);
    if (record_.To && !mask->Spans.empty()) {
        TPaintOperation glyphs = TPaintOperation::Of(TPaintOperation::Glyphs, x, y, 0, 0,
                                                     static_cast<long long>(y) + mask->Top,
                                                     static_cast<long long>(y) + mask->Bottom);
        glyphs.Colour = ink;
        if (Recorded(glyphs, record_.To->KeepMask(mask, glyphs.Kept))) return;
    }
    PaintGlyphs(Pixels(image_), *mask, x, y, ink);
}

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

int FontAscent(const TFont& font) { return FontFor(font).Metrics.ascent(); }

QString FontFamily(const TFont& font) { return FontFor(font).Font.family().isEmpty() ? font.Face : QFontInfo(FontFor(font).Font).family(); }

int FontTextWidth(const TFont& font, const QByteArray& text) { return CellWidth(FontFor(font), text); }
int FontTextHeight(const TFont& font) { return FontFor(font).Metrics.height(); }

void TDrawTarget::ResetState()
{
    Pen = TPen();
    Brush = TBrush();
    Font = TFont();
    MoveTo(0, 0);
}

int TDrawTarget::TextWidth(const QByteArray& text) const { return FontTextWidth(Font, text); }
int TDrawTarget::TextHeight(const QByteArray&) const { return FontTextHeight(Font); }

void TSurface::TurnedTextOut(int x, int y, const QByteArray& text) { Draw(x, y, RenderLabel(text, Font, true)); }

TSurface RenderLabel(const QByteArray& text, const TFont& font, bool turned)
{
    TSurface label(1, 1);
    label.Font = font;
    label.Transparent = true;
    label.TransparentColour = clWhite;
    const int wt = std::max(0, label.TextWidth(text));
    const int ht = std::max(0, label.TextHeight(text));
    label.SetSize(wt, ht);
    label.Clear(clWhite);
    label.Brush.Style = bsClear;
    label.TextOut(0, 0, text);
    if (!turned) return label;

    // A quarter turn anticlockwise: the text reads from bottom to top.
    TSurface upright(ht, wt);
    upright.Font = font;
    upright.Transparent = true;
    upright.TransparentColour = clWhite;
    for (int i = 0; i < wt; ++i)
        for (int j = 0; j < ht; ++j) upright.SetPixel(j, wt - 1 - i, label.Pixel(i, j));
    return upright;
}

void TSurface::DrawRuns(const TRasterRuns& runs, int x, int y) { runs.Draw(*this, x, y); }

TColor TSurface::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0xFFFFFFFF;
    return RgbToColour(image_.pixel(x, y));
}

void TSurface::SetPixel(int x, int y, TColor colour)
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    EnsureFormat();
    PaintBox(x, y, x + 1LL, y + 1LL, ColourToRgb(colour));
}

void TSurface::Draw(int x, int y, const TSurface& raster)
{
    EnsureFormat();
    if (raster.image_.isNull() || image_.isNull()) return;
    if (record_.To) {
        TPaintOperation draw = TPaintOperation::Of(TPaintOperation::Raster, x, y, 0, 0, y,
                                                   static_cast<long long>(y) + raster.Height());
        if (Recorded(draw, record_.To->KeepRaster(raster, draw.Kept))) return;
    }
    const QImage source = raster.image_.format() == QImage::Format_RGB32
                              ? raster.image_
                              : raster.image_.convertToFormat(QImage::Format_RGB32);
    const long long left = std::max<long long>(0, x), top = std::max<long long>(0, y);
    const long long right = std::min<long long>(Width(), static_cast<long long>(x) + source.width());
    const long long bottom = std::min<long long>(Height(), static_cast<long long>(y) + source.height());
    if (left >= right || top >= bottom) return;
    const QRgb key = ColourToRgb(raster.TransparentColour) | opaqueBlack;
    const Pixels pixels(image_);
    for (long long ty = top; ty < bottom; ++ty) {
        const QRgb* from = Row(source, int(ty - y)) + (left - x);
        QRgb* to = pixels.Row(int(ty)) + left;
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
    if (record_.To) {
        TPaintOperation stretch = TPaintOperation::Of(TPaintOperation::Stretch, 0, 0, 0, 0, target.y(),
                                                      static_cast<long long>(target.y()) + target.height());
        stretch.Area = target;
        if (Recorded(stretch, record_.To->KeepRaster(raster, stretch.Kept))) return;
    }
    const QImage source = raster.image_.format() == QImage::Format_RGB32
                              ? raster.image_
                              : raster.image_.convertToFormat(QImage::Format_RGB32);
    const long long tw = target.width(), th = target.height();
    const long long sw = source.width(), sh = source.height();
    const long long left = std::max<long long>(0, target.x()), top = std::max<long long>(0, target.y());
    const long long right = std::min<long long>(Width(), target.x() + tw);
    const long long bottom = std::min<long long>(Height(), target.y() + th);
    const QRgb key = ColourToRgb(raster.TransparentColour) | opaqueBlack;
    const Pixels pixels(image_);
    for (long long ty = top; ty < bottom; ++ty) {
        const long long sy = (ty - target.y()) * sh / th;
        const QRgb* from = Row(source, int(sy));
        QRgb* to = pixels.Row(int(ty));
        for (long long tx = left; tx < right; ++tx) {
            const QRgb pixel = from[(tx - target.x()) * sw / tw] | opaqueBlack;
            if (!raster.Transparent || pixel != key) to[tx] = pixel;
        }
    }
}

TSurface TSurface::HalfSample(TColor skip) const
{
    const int width = Width() / 2, height = Height() / 2;
    TSurface half;
    if (width == 0 || height == 0) {
        half.SetSize(width, height);
        return half;
    }
    half.image_ = NewRaster(width, height);  // every pixel is written below
    if (half.image_.isNull()) return half;
    const QImage source =
        image_.format() == QImage::Format_RGB32 ? image_ : image_.convertToFormat(QImage::Format_RGB32);
    const QRgb skipped = ColourToRgb(skip) & 0xFFFFFF;
    const Pixels target(half.image_);
    for (int py = 0; py < height; ++py) {
        const QRgb* upper = Row(source, 2 * py);
        const QRgb* lower = Row(source, 2 * py + 1);
        QRgb* out = target.Row(py);
        int px = 0;
#if defined(__SSE2__)
        // Four preview pixels at a time: the blocks' pixels (x, y), (x + 1, y)
        // from the upper row and (x, y + 1), (x + 1, y + 1) from the lower one.
        const __m128i colourBits = _mm_set1_epi32(0xFFFFFF);
        const __m128i skippedBits = _mm_set1_epi32(int(skipped));
        const __m128i white = _mm_set1_epi32(-1);
        auto take = [&](__m128i shown, __m128i pixels) {
            const __m128i skip = _mm_cmpeq_epi32(_mm_and_si128(pixels, colourBits), skippedBits);
            return _mm_or_si128(_mm_and_si128(skip, shown), _mm_andnot_si128(skip, pixels));
        };
        auto split = [](const QRgb* from, __m128i& even, __m128i& odd) {
            const __m128 first = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
            const __m128 second = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4)));
            even = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
            odd = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
        };
        for (; px + 4 <= width; px += 4) {
            __m128i a, b, c, d;
            split(upper + 2 * px, a, c);
            split(lower + 2 * px, b, d);
            const __m128i shown = take(take(take(take(white, a), b), c), d);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + px), _mm_or_si128(shown, _mm_set1_epi32(int(opaqueBlack))));
        }
#endif
        for (; px < width; ++px) {
            const QRgb a = upper[2 * px], b = lower[2 * px], c = upper[2 * px + 1], d = lower[2 * px + 1];
            QRgb shown = 0xFFFFFFFF;  // white where the whole block is skipped
            shown = (a & 0xFFFFFF) != skipped ? a : shown;
            shown = (b & 0xFFFFFF) != skipped ? b : shown;
            shown = (c & 0xFFFFFF) != skipped ? c : shown;
            shown = (d & 0xFFFFFF) != skipped ? d : shown;
            out[px] = shown | opaqueBlack;
        }
    }
    return half;
}

// ---------------------------------------------------------------------------
// Raster runs

void TRasterRuns::SetSize(int width, int height)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    columnBits_ = 0;
    while ((std::uint64_t(1) << columnBits_) < std::uint64_t(width_)) ++columnBits_;
    if (height_ > 0 && (std::uint64_t(height_) << columnBits_) > (std::uint64_t(1) << 32)) throw std::bad_alloc();
}

void TRasterRuns::AddRun(std::vector<Run>& runs, int y, int x, int length, QRgb colour) const
{
    for (; length > 0; x += Run::longest, length -= Run::longest)
        runs.push_back(MakeRun(y, x, std::min(length, Run::longest), colour));
}

TRasterRuns::TRasterRuns(const TSurface& raster)
{
    if (raster.image_.isNull()) return;
    const QImage source = raster.image_.format() == QImage::Format_RGB32
                              ? raster.image_
                              : raster.image_.convertToFormat(QImage::Format_RGB32);
    SetSize(source.width(), source.height());
    const bool transparent = raster.Transparent;
    const QRgb key = ColourToRgb(raster.TransparentColour) | opaqueBlack;
    // Collected in a buffer kept for the next raster, then copied at their
    // exact number: no growing and shrinking per raster.
    thread_local std::vector<Run> found;
    found.clear();
    for (int y = 0; y < height_; ++y) {
        const QRgb* row = Row(source, y);
        int x = 0;
        while (x < width_) {
            if (transparent) {
                // Most of a transparent raster is its transparent colour:
                // passed over four pixels at a time.
                x = SkipPixels(row, x, width_, key, opaqueBlack);
                if (x == width_) break;
            }
            const QRgb colour = row[x] | opaqueBlack;
            if (transparent && colour == key) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < width_ && (row[end] | opaqueBlack) == colour) ++end;
            AddRun(found, y, x, end - x, colour);
            x = end;
        }
    }
    runs_.assign(found.begin(), found.end());
    IndexRows();
    if (found.capacity() > (std::size_t(1) << 20)) std::vector<Run>().swap(found);  // let a huge one go
}

TRasterRuns TRasterRuns::Layered(const std::vector<Layer>& layers) const
{
    // A stable sort by row: each row takes this raster's runs, then those of
    // each layer in turn, so no pixel changes its last writer.
    TRasterRuns result;
    result.SetSize(width_, height_);
    // (A layer's run, cut to this box, is a run of the result's rows.)
    auto clipped = [this, &result](const TRasterRuns& runs, const Run& run, const Layer& layer, Run& out) {
        const long long y = static_cast<long long>(layer.Y) + runs.RowOf(run);
        const long long x = static_cast<long long>(layer.X) + runs.ColumnOf(run);
        const long long from = std::max<long long>(x, 0);
        const long long to = std::min<long long>(x + run.Length(), width_);
        if (y < 0 || y >= height_ || from >= to) return false;
        out = result.MakeRun(int(y), int(from), int(to - from), layer.Colour);
        return true;
    };
    // The rows' first runs, counted as the result's row index.
    std::vector<std::uint32_t>& rowStart = result.rowStarts_;
    rowStart.assign(std::size_t(height_) + 1, 0);
    for (const Run& run : runs_) ++rowStart[std::size_t(RowOf(run)) + 1];
    Run cut{};
    for (const Layer& layer : layers)
        for (const Run& run : layer.Runs->runs_)
            if (clipped(*layer.Runs, run, layer, cut)) ++rowStart[std::size_t(result.RowOf(cut)) + 1];
    for (std::size_t row = 1; row < rowStart.size(); ++row) rowStart[row] += rowStart[row - 1];
    result.runs_.resize(rowStart.back());
    std::vector<std::uint32_t> next(rowStart.begin(), rowStart.end() - 1);
    for (const Run& run : runs_) result.runs_[next[std::size_t(RowOf(run))]++] = run;
    for (const Layer& layer : layers)
        for (const Run& run : layer.Runs->runs_)
            if (clipped(*layer.Runs, run, layer, cut)) result.runs_[next[std::size_t(result.RowOf(cut))]++] = cut;
    return result;
}

template <bool OneColour>
void TRasterRuns::DrawInside(std::span<const Run> runs, QRgb* bits, qsizetype origin, qsizetype stride,
                             QRgb colour) const
{
    const std::size_t count = runs.size();
    const Run* const run = runs.data();
    const int rowShift = columnBits_;
    const std::uint32_t columnMask = ColumnMask();
    // (Inlined: a call for every run of a component costs more than its pixels.)
    auto at = [&](const Run& r) __attribute__((always_inline)) {
        return bits + (origin + qsizetype(r.Place >> rowShift) * stride + qsizetype(r.Place & columnMask));
    };
    auto paint = [&](const Run& r) __attribute__((always_inline)) {
        QRgb* const to = at(r);
        const QRgb c = OneColour ? colour : r.Colour();
        const int length = r.Length();
        if (length <= 4) {
            // Most runs are a pixel or a few: the same four stores for every
            // such length (0, the last, and the middle two), no branch.
            to[0] = c;
            to[length - 1] = c;
            to[length >> 1] = c;
            to[(length - 1) >> 1] = c;
        } else {
            FillPixels(to, length, c);
        }
    };
    // Four runs at a time, each four fetching the pixels of a run some rows
    // ahead (rows far apart miss the cache).
    constexpr std::size_t ahead = 48;
    std::size_t k = 0;
    for (; k + ahead < count; k += 4) {
        PrefetchForWrite(at(run[k + ahead]));
        paint(run[k]);
        paint(run[k + 1]);
        paint(run[k + 2]);
        paint(run[k + 3]);
    }
    for (; k < count; ++k) paint(run[k]);
}

void TRasterRuns::IndexRows()
{
    rowStarts_.assign(std::size_t(height_) + 1, 0);
    for (const Run& run : runs_) ++rowStarts_[std::size_t(RowOf(run)) + 1];
    for (std::size_t row = 1; row < rowStarts_.size(); ++row) rowStarts_[row] += rowStarts_[row - 1];
}

std::span<const TRasterRuns::Run> TRasterRuns::RowsFrom(long long row) const
{
    return RowsBetween(row, height_);
}

std::span<const TRasterRuns::Run> TRasterRuns::RowsBetween(long long first, long long end) const
{
    if (rowStarts_.empty()) return {};
    const std::size_t from = rowStarts_[std::size_t(std::clamp<long long>(first, 0, height_))];
    const std::size_t to = rowStarts_[std::size_t(std::clamp<long long>(end, 0, height_))];
    return std::span<const Run>(runs_).subspan(from, std::max(from, to) - from);
}

void TRasterRuns::Draw(TSurface& target, int x, int y) const
{
    target.EnsureFormat();
    if (target.image_.isNull() || runs_.empty()) return;
    if (target.record_.To) {
        TPaintOperation draw = TPaintOperation::Of(TPaintOperation::DrawRuns, x, y, 0, 0, y,
                                                   static_cast<long long>(y) + height_);
        draw.Runs = this;
        if (target.Recorded(draw)) return;
    }
    const Pixels pixels(target.image_);
    const long long left = x, top = y;
    if (left >= 0 && left + width_ <= pixels.Width) {
        // Across wholly inside: only the rows to keep (a band of a page
        // holds a part of the raster's rows).
        const std::span<const Run> rows = RowsBetween(-top, pixels.Height - top);
        if (!rows.empty()) DrawInside<false>(rows, pixels.Bits, top * pixels.Stride + left, pixels.Stride, 0);
        return;
    }
    for (const Run& run : RowsFrom(-top)) {
        const long long ty = top + RowOf(run);
        if (ty >= pixels.Height) break;
        const long long from = std::max<long long>(left + ColumnOf(run), 0);
        const long long to = std::min<long long>(left + ColumnOf(run) + run.Length(), pixels.Width);
        if (from >= to) continue;
        FillPixels(pixels.Row(int(ty)) + from, to - from, run.Colour());
    }
}

void TRasterRuns::Fill(TSurface& target, int x, int y, QRgb colour, const QRect& clip) const
{
    target.EnsureFormat();
    if (target.image_.isNull() || runs_.empty() || clip.isEmpty()) return;
    if (target.record_.To) {
        TPaintOperation fill =
            TPaintOperation::Of(TPaintOperation::FillRuns, x, y, 0, 0, std::max(y, clip.top()),
                                std::min<long long>(static_cast<long long>(y) + height_, clip.bottom() + 1LL));
        fill.Runs = this;
        fill.Colour = colour;
        fill.Area = clip;
        if (target.Recorded(fill)) return;
    }
    const Pixels pixels(target.image_);
    const long long clipLeft = std::max(0, clip.left()), clipRight = std::min(pixels.Width, clip.right() + 1);
    const long long clipTop = std::max(0, clip.top()), clipBottom = std::min(pixels.Height, clip.bottom() + 1);
    const long long left = x, top = y;
    if (left >= clipLeft && left + width_ <= clipRight) {
        const std::span<const Run> rows = RowsBetween(clipTop - top, clipBottom - top);
        if (!rows.empty()) DrawInside<true>(rows, pixels.Bits, top * pixels.Stride + left, pixels.Stride, colour);
        return;
    }
    for (const Run& run : RowsFrom(clipTop - top)) {
        const long long ty = top + RowOf(run);
        if (ty >= clipBottom) break;
        const long long from = std::max<long long>(left + ColumnOf(run), clipLeft);
        const long long to = std::min<long long>(left + ColumnOf(run) + run.Length(), clipRight);
        if (from < to) FillPixels(pixels.Row(int(ty)) + from, to - from, colour);
    }
}
