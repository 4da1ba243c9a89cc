#pragma once
// A paint put off: the operations a raster surface is asked for while it
// records, each kept with the drawing state it paints with, then painted band
// by band of rows, each band's operations in the order they were asked for.
// Every pixel gets the same operations in the same order as when they are
// painted one after another, so the pixels are the same; but a band of a
// large page stays in the processor's cache while everything that falls into
// it is painted, where a paint in the order of the objects goes over the
// whole page again and again. Bands are painted on several threads at once:
// an operation only reads what it was given (glyph masks, runs, rasters),
// and each thread writes only its own band's rows.
#include "app/Drawstyle.h"
#include "base/Parallel.h"
#include "render/Rasterops.h"
#include <QImage>
#include <QRect>
#include <QRgb>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

struct TGlyphMask;
class TRasterRuns;

// One recorded operation, in page coordinates.
struct TPaintOperation {
    enum TKind : std::uint8_t { Stroke, Box, Ellipse, Glyphs, DrawRuns, FillRuns, Raster, Stretch };
    TKind Kind = Box;
    // Stroke: from (X1, Y1) to (X2, Y2). Box, Ellipse: the box X1 .. X2-1,
    // Y1 .. Y2-1. Glyphs, DrawRuns, FillRuns, Raster: the top-left corner (X1, Y1).
    int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    QRect Area;                         // FillRuns: the clip; Stretch: the target rectangle
    QRgb Colour = 0;                    // Box, Glyphs, FillRuns
    int Phase = 0;                      // Stroke: where the dash pattern stands at its start
    TPen Pen;                           // Stroke, Ellipse
    TBrush Brush;                       // Ellipse
    const TRasterRuns* Runs = nullptr;  // DrawRuns, FillRuns
    std::uint32_t Kept = 0;             // Glyphs: a kept mask; Raster, Stretch: a kept raster
    int Top = 0, Bottom = 0;            // the page rows it may reach, Bottom excluded

    // An operation of a kind with its corners and the rows it may reach
    // (values beyond an int are held at its ends).
    static TPaintOperation Of(TKind kind, long long x1, long long y1, long long x2, long long y2, long long top,
                              long long bottom)
    {
        const auto held = [](long long value) {
            return int(std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
        };
        TPaintOperation operation;
        operation.Kind = kind;
        operation.X1 = held(x1);
        operation.Y1 = held(y1);
        operation.X2 = held(x2);
        operation.Y2 = held(y2);
        operation.Top = held(top);
        operation.Bottom = held(bottom);
        return operation;
    }
};

class TPaintRecord {
public:
    // Bands are painted on `threads` threads in all (0: one per core). A
    // record takes at most maxOperations; one more ends the recording. Bands
    // are bandRows rows high, or with 0 chosen for the page: at least
    // minBandRows, and no more than four bands for each thread (an operation
    // is looked at in every band it reaches).
    static constexpr std::size_t defaultMaxOperations = 1 << 18;
    static constexpr int minBandRows = 96;
    explicit TPaintRecord(int threads = 0, std::size_t maxOperations = defaultMaxOperations, int bandRows = 0);

    // False when the record is full or there is no memory for the operation.
    bool Add(const TPaintOperation& operation);
    // What glyph and raster operations paint from, kept until the record is
    // played; the index to name in TPaintOperation::Kept.
    bool KeepMask(std::shared_ptr<const TGlyphMask> mask, std::uint32_t& index);
    bool KeepRaster(const TRasterImage& raster, std::uint32_t& index);
    const TGlyphMask& Mask(std::uint32_t index) const { return *masks_[index]; }
    const TRasterImage& KeptRaster(std::uint32_t index) const { return rasters_[index]; }

    std::size_t Size() const { return operations_.size(); }
    // Paints the recorded operations on page (the image of the surface they
    // were asked of, made RGB32 when it is not) and empties the record.
    void Play(QImage& page);

private:
    // Paints an operation on a band of the page from row top on (its rows
    // moved up by top).
    void PlayOperation(const TPixels& band, const TPaintOperation& operation, int top) const;
    void PlayInOrder(const TPixels& page) const;
    std::vector<TPaintOperation, TLargeAllocator<TPaintOperation>> operations_;
    std::vector<std::shared_ptr<const TGlyphMask>> masks_;
    std::vector<TRasterImage> rasters_;
    int threads_;
    std::size_t maxOperations_;
    int bandRows_;
};
