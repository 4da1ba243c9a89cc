#include "render/Rasterops.h"

#include <QHash>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

std::vector<TStampRow> MakeStamp(int width)
{
    std::vector<TStampRow> rows;
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

// floor((a + b i) / c) for i = 0, 1, 2, ... (a, b >= 0, c > 0), one i at a time.
class FloorSteps {
public:
    FloorSteps(__int128 a, long long b, long long c)
        : quotient_(static_cast<long long>(a / c)),
          remainder_(static_cast<long long>(a % c)),
          divisor_(c),
          stepQuotient_(b / c),
          stepRemainder_(b % c)
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
        : x0_(x0),
          y0_(y0),
          dx_(std::llabs(x1 - x0)),
          dy_(std::llabs(y1 - y0)),
          sx_(x1 < x0 ? -1 : 1),
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
void StrokeRows(const TPixels& image, long long x0, long long y0, long long x1, long long y1,
                const std::vector<TStampRow>& stamp, QRgb colour)
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
            const TStampRow& r = stamp[std::size_t(d - low)];
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
        : width_(std::max(0LL, width)),
          height_(std::max(0LL, height)),
          w2_(static_cast<__int128>(width_) * width_),
          h2_(static_cast<__int128>(height_) * height_),
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

// An ellipse with a dashed one-pixel outline (see the surface's rules).
void DashedEllipse(const TPixels& pixels, long long left, long long top, long long width, long long height,
                   const TPen& pen, const TBrush& brush)
{
    const EllipseShape shape(width, height);
    const std::vector<int>& pattern = DashPattern(pen.Style);
    long long period = 0;
    for (int run : pattern) period += run;
    const QRgb penColour = ColourToRgb(pen.Colour);

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
    const bool fill = brush.Style != bsClear;
    const QRgb brushColour = ColourToRgb(brush.Colour);
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

}  // namespace

const std::vector<TStampRow>& Stamp(int width)
{
    thread_local QHash<int, std::vector<TStampRow>> stamps;  // component bodies render on several threads
    auto it = stamps.find(width);
    if (it == stamps.end()) it = stamps.insert(width, MakeStamp(width));
    return *it;
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

void PaintStroke(const TPixels& pixels, QPoint a, QPoint b, const TPen& pen, long long phase)
{
    const long long x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
    const long long dx = std::llabs(x1 - x0), dy = std::llabs(y1 - y0);
    const long long steps = std::max(dx, dy);
    if (pen.Style == psClear || steps == 0) return;

    // Nothing to do when the stroke cannot reach the pixels.
    const int width = PenWidth(pen);
    const long long reach = width;
    if (std::max(x0, x1) + reach < 0 || std::max(y0, y1) + reach < 0 || std::min(x0, x1) - reach >= pixels.Width ||
        std::min(y0, y1) - reach >= pixels.Height)
        return;
    const QRgb colour = ColourToRgb(pen.Colour);
    const std::vector<int>& pattern = width == 1 ? DashPattern(pen.Style) : DashPattern(psSolid);

    long long period = 0;
    for (int run : pattern) period += run;

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

void PaintEllipse(const TPixels& pixels, int x1, int y1, int x2, int y2, const TPen& pen, const TBrush& brush)
{
    const TBox box = MakeBox(x1, y1, x2, y2);
    if (box.Empty()) return;
    // Rows outside the pixels need no work.
    const long long firstRow = std::max<long long>(0, -box.Top);
    const long long lastRow = std::min<long long>(box.Height(), pixels.Height - box.Top);  // exclusive
    if (firstRow >= lastRow || box.Right <= 0 || box.Left >= pixels.Width) return;

    if (box.Width() > maxEllipseSide || box.Height() > maxEllipseSide) return;
    const EllipseShape shape(box.Width(), box.Height());
    const bool outline = pen.Style != psClear;
    const bool fill = brush.Style != bsClear;
    const QRgb penColour = ColourToRgb(pen.Colour);
    const QRgb brushColour = ColourToRgb(brush.Colour);
    const int width = PenWidth(pen);

    if (outline && width == 1 && !DashPattern(pen.Style).empty() && box.Height() <= maxDashedEllipseRows) {
        DashedEllipse(pixels, box.Left, box.Top, box.Width(), box.Height(), pen, brush);
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

void PaintRaster(const TPixels& pixels, int x, int y, const TRasterImage& raster)
{
    if (raster.Image().isNull() || pixels.Bits == nullptr) return;
    const QImage source = raster.Rgb32();
    const long long left = std::max<long long>(0, x), top = std::max<long long>(0, y);
    const long long right = std::min<long long>(pixels.Width, static_cast<long long>(x) + source.width());
    const long long bottom = std::min<long long>(pixels.Height, static_cast<long long>(y) + source.height());
    if (left >= right || top >= bottom) return;
    const QRgb key = ColourToRgb(raster.TransparentColour) | opaqueBlack;
    for (long long ty = top; ty < bottom; ++ty) {
        const QRgb* from = ImageRow(source, int(ty - y)) + (left - x);
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

void PaintStretched(const TPixels& pixels, const QRect& target, const TRasterImage& raster)
{
    if (raster.Image().isNull() || pixels.Bits == nullptr || target.width() <= 0 || target.height() <= 0) return;
    const QImage source = raster.Rgb32();
    const long long tw = target.width(), th = target.height();
    const long long sw = source.width(), sh = source.height();
    const long long left = std::max<long long>(0, target.x()), top = std::max<long long>(0, target.y());
    const long long right = std::min<long long>(pixels.Width, target.x() + tw);
    const long long bottom = std::min<long long>(pixels.Height, target.y() + th);
    const QRgb key = ColourToRgb(raster.TransparentColour) | opaqueBlack;
    for (long long ty = top; ty < bottom; ++ty) {
        const long long sy = (ty - target.y()) * sh / th;
        const QRgb* from = ImageRow(source, int(sy));
        QRgb* to = pixels.Row(int(ty));
        for (long long tx = left; tx < right; ++tx) {
            const QRgb pixel = from[(tx - target.x()) * sw / tw] | opaqueBlack;
            if (!raster.Transparent || pixel != key) to[tx] = pixel;
        }
    }
}
