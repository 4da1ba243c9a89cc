#include "render/Rasterruns.h"

#include <algorithm>
#include <limits>
#include <new>

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

TRasterRuns::TRasterRuns(const TRasterImage& raster)
{
    if (raster.Image().isNull()) return;
    const QImage source = raster.Rgb32();
    SetSize(source.width(), source.height());
    const bool transparent = raster.Transparent;
    const QRgb key = ColourToRgb(raster.TransparentColour) | opaqueBlack;
    // Collected in a buffer kept for the next raster, then copied at their
    // exact number: no growing and shrinking per raster.
    thread_local std::vector<Run> found;
    found.clear();
    for (int y = 0; y < height_; ++y) {
        const QRgb* row = ImageRow(source, y);
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
    auto at = [&](const Run& r) __attribute__((always_inline))
    {
        return bits + (origin + qsizetype(r.Place >> rowShift) * stride + qsizetype(r.Place & columnMask));
    };
    auto paint = [&](const Run& r) __attribute__((always_inline))
    {
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

std::span<const TRasterRuns::Run> TRasterRuns::RowsFrom(long long row) const { return RowsBetween(row, height_); }

std::span<const TRasterRuns::Run> TRasterRuns::RowsBetween(long long first, long long end) const
{
    if (rowStarts_.empty()) return {};
    const std::size_t from = rowStarts_[std::size_t(std::clamp<long long>(first, 0, height_))];
    const std::size_t to = rowStarts_[std::size_t(std::clamp<long long>(end, 0, height_))];
    return std::span<const Run>(runs_).subspan(from, std::max(from, to) - from);
}

void TRasterRuns::Draw(const TPixels& pixels, int x, int y) const
{
    if (pixels.Bits == nullptr || runs_.empty()) return;
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

void TRasterRuns::Fill(const TPixels& pixels, int x, int y, QRgb colour, const QRect& clip) const
{
    if (pixels.Bits == nullptr || runs_.empty() || clip.isEmpty()) return;
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

std::vector<TRunBox> TRasterRuns::Boxes() const
{
    // The runs come row by row, left to right, so the boxes a row's runs
    // may continue are those the row above reached, in the same order: one
    // pass over both lists.
    // (Made into a list of its own at its size: the boxes of a body are
    // kept until they are drawn.)
    thread_local std::vector<TRunBox> made;
    made.clear();
    std::vector<TRunBox>& boxes = made;
    thread_local std::vector<std::size_t> above, current;  // indices into boxes
    above.clear();
    current.clear();
    long long currentRow = std::numeric_limits<long long>::min();
    std::size_t next = 0;  // the first box of `above` not passed yet
    ForEachRun([&](int row, int column, int length, QRgb colour) {
        if (row != currentRow) {
            if (row == currentRow + 1)
                above.swap(current);
            else
                above.clear();
            current.clear();
            currentRow = row;
            next = 0;
        }
        while (next < above.size() && boxes[above[next]].X < column) ++next;
        if (next < above.size()) {
            TRunBox& box = boxes[above[next]];
            if (box.X == column && box.Length == length && box.Colour == colour) {
                box.Bottom = row + 1;
                current.push_back(above[next]);
                ++next;
                return;
            }
        }
        current.push_back(boxes.size());
        boxes.push_back({column, length, row, row + 1, colour});
    });
    std::vector<TRunBox> result(boxes.begin(), boxes.end());
    if (above.capacity() > (std::size_t(1) << 20)) {
        // Let a huge raster's lists go.
        std::vector<TRunBox>().swap(made);
        std::vector<std::size_t>().swap(above);
        std::vector<std::size_t>().swap(current);
    }
    return result;
}
