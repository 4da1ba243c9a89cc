#include "render/Paintrecord.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "base/Parallel.h"
#include "render/Glyphcache.h"
#include "render/Rasterruns.h"

namespace {

// Coordinates beyond this are not recorded (moving them by a band's first
// row must stay in range): the record ends there and the surface paints.
constexpr int farOut = 1 << 30;

bool Near(int value) { return value >= -farOut && value <= farOut; }

constexpr std::uint32_t prefetchAhead = 8;

inline void Prefetch(const TPaintOperation* operation)
{
#if defined(__GNUC__)
    __builtin_prefetch(operation);
    __builtin_prefetch(reinterpret_cast<const char*>(operation) + 64);
#else
    (void)operation;
#endif
}

}  // namespace

TPaintRecord::TPaintRecord(int threads, std::size_t maxOperations, int bandRows)
    : threads_(threads),
      maxOperations_(maxOperations),
      bandRows_(std::max(0, bandRows))
{
}

bool TPaintRecord::Add(const TPaintOperation& operation)
{
    if (operations_.size() >= maxOperations_) return false;
    const QRect& area = operation.Area;
    if (!Near(operation.X1) || !Near(operation.Y1) || !Near(operation.X2) || !Near(operation.Y2) ||
        !Near(operation.Top) || !Near(operation.Bottom) || !Near(area.left()) || !Near(area.top()) ||
        !Near(area.right()) || !Near(area.bottom()))
        return false;
    if (operations_.capacity() == 0) {
        // Room for the most at once, on large pages: memory is only taken as
        // it is written, never copied to a larger block, and kept for the
        // next paint when this one is done.
        try {
            operations_.reserve(maxOperations_);
        } catch (const std::bad_alloc&) {
            // it grows as it goes
        }
    }
    try {
        operations_.push_back(operation);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool TPaintRecord::KeepMask(std::shared_ptr<const TGlyphMask> mask, std::uint32_t& index)
{
    // The same mask twice in a row (a text drawn again) is kept once.
    if (!masks_.empty() && masks_.back() == mask) {
        index = std::uint32_t(masks_.size() - 1);
        return true;
    }
    if (masks_.size() >= maxOperations_) return false;
    try {
        masks_.push_back(std::move(mask));
    } catch (const std::bad_alloc&) {
        return false;
    }
    index = std::uint32_t(masks_.size() - 1);
    return true;
}

bool TPaintRecord::KeepRaster(const TRasterImage& raster, std::uint32_t& index)
{
    if (rasters_.size() >= maxOperations_) return false;
    try {
        rasters_.push_back(raster);
        // Made RGB32 here, so that no band has to convert it.
        TRasterImage& kept = rasters_.back();
        if (kept.Image().format() != QImage::Format_RGB32) kept.Image() = kept.Rgb32();
    } catch (const std::bad_alloc&) {
        return false;
    }
    index = std::uint32_t(rasters_.size() - 1);
    return true;
}

void TPaintRecord::PlayOperation(const TPixels& band, const TPaintOperation& operation, int top) const
{
    // Moved up by top, with the coordinates in range (the record takes no
    // operation that reaches far beyond the page).
    const int y1 = operation.Y1 - top, y2 = operation.Y2 - top;
    switch (operation.Kind) {
    case TPaintOperation::Stroke:
        PaintStroke(band, QPoint(operation.X1, y1), QPoint(operation.X2, y2), operation.Pen, operation.Phase);
        break;
    case TPaintOperation::Box: FillBox(band, operation.X1, y1, operation.X2, y2, operation.Colour); break;
    case TPaintOperation::Ellipse:
        PaintEllipse(band, operation.X1, y1, operation.X2, y2, operation.Pen, operation.Brush);
        break;
    case TPaintOperation::Glyphs: PaintGlyphs(band, Mask(operation.Kept), operation.X1, y1, operation.Colour); break;
    case TPaintOperation::DrawRuns: operation.Runs->Draw(band, operation.X1, y1); break;
    case TPaintOperation::FillRuns:
        operation.Runs->Fill(band, operation.X1, y1, operation.Colour, operation.Area.translated(0, -top));
        break;
    case TPaintOperation::Raster: PaintRaster(band, operation.X1, y1, KeptRaster(operation.Kept)); break;
    case TPaintOperation::Stretch:
        PaintStretched(band, operation.Area.translated(0, -top), KeptRaster(operation.Kept));
        break;
    }
}

void TPaintRecord::PlayInOrder(const TPixels& page) const
{
    for (const TPaintOperation& operation : operations_) PlayOperation(page, operation, 0);
}

void TPaintRecord::Play(QImage& page)
{
    struct Emptied {
        TPaintRecord& Record;
        ~Emptied()
        {
            Record.operations_.clear();
            Record.masks_.clear();
            Record.rasters_.clear();
        }
    } emptied{*this};
    if (!page.isNull() && page.format() != QImage::Format_RGB32) page = page.convertToFormat(QImage::Format_RGB32);
    const int width = page.width(), height = page.height();
    if (operations_.empty() || width <= 0 || height <= 0) return;
    // (The page is made writable here, on this thread.)
    const TPixels pixels(page);
    if (pixels.Bits == nullptr) return;

    const int threads = std::max(1, ThreadsFor(threads_));
    const long long fourEach = (static_cast<long long>(height) + 4LL * threads - 1) / (4LL * threads);
    const int bandRows = bandRows_ > 0 ? bandRows_ : int(std::max<long long>(minBandRows, fourEach));
    // Each band's operations, in the order they were asked for.
    const int bands = (height - 1) / bandRows + 1;
    std::vector<std::uint32_t> start, order;
    try {
        start.assign(std::size_t(bands) + 1, 0);
        const auto bandsOf = [&](const TPaintOperation& operation, int& first, int& last) {
            const int top = std::max(operation.Top, 0), bottom = std::min(operation.Bottom, height);
            if (top >= bottom) return false;
            first = top / bandRows;
            last = (bottom - 1) / bandRows;
            return true;
        };
        int first = 0, last = 0;
        for (const TPaintOperation& operation : operations_)
            if (bandsOf(operation, first, last))
                for (int b = first; b <= last; ++b) ++start[std::size_t(b) + 1];
        for (int b = 0; b < bands; ++b) start[std::size_t(b) + 1] += start[std::size_t(b)];
        order.resize(start.back());
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (std::size_t k = 0; k < operations_.size(); ++k)
            if (bandsOf(operations_[k], first, last))
                for (int b = first; b <= last; ++b) order[fill[std::size_t(b)]++] = std::uint32_t(k);
    } catch (const std::bad_alloc&) {
        PlayInOrder(pixels);
        return;
    }

    std::atomic<int> next{0};
    std::vector<char> failed(std::size_t(bands), 0);
    const auto playBand = [&](int b) {
        // The band's rows, as pixels of their own.
        const int top = b * bandRows;
        const TPixels band(pixels.Row(top), pixels.Stride, width, std::min(bandRows, height - top));
        const std::uint32_t first = start[std::size_t(b)], end = start[std::size_t(b) + 1];
        for (std::uint32_t k = first; k < end; ++k) {
            // A band's operations lie far apart in the record: each is fetched
            // some operations ahead of its turn.
            if (k + prefetchAhead < end) Prefetch(&operations_[order[k + prefetchAhead]]);
            PlayOperation(band, operations_[order[k]], top);
        }
    };
    const auto work = [&] {
        for (int b; (b = next.fetch_add(1, std::memory_order_relaxed)) < bands;) {
            try {
                playBand(b);
            } catch (...) {
                failed[std::size_t(b)] = 1;  // played again below
            }
        }
    };
    RunParts(std::clamp(threads, 1, std::max(1, bands / 2)), [&](int) { work(); });
    // A band that failed part way (out of memory) is played again from its
    // first operation: every operation only writes its own colours, so the
    // band ends as one played once.
    for (int b = 0; b < bands; ++b)
        if (failed[std::size_t(b)]) playBand(b);
}
