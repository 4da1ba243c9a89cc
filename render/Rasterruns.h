#pragma once
// Rasters kept as runs of one colour along their rows, as the raster
// surface draws component bodies and pin labels.

#include <QRect>
#include <QRgb>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "render/Rasterops.h"

// A rectangle of one colour that a raster's runs make: columns X .. X +
// Length - 1, rows Top .. Bottom - 1.
struct TRunBox {
    int X, Length;
    int Top, Bottom;
    QRgb Colour;
};

// The pixels of a raster that drawing it copies (all of them, or those not
// of its transparent colour when it is transparent), kept as runs of one
// colour along its rows. Made once, it draws the raster without looking at
// its other pixels again.
class TRasterRuns {
public:
    TRasterRuns() = default;
    explicit TRasterRuns(const TRasterImage& raster);

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::size_t RunCount() const { return runs_.size(); }
    bool Empty() const { return runs_.empty(); }

    // Calls f(y, x, length, colour) for every run, row by row.
    template <typename F>
    void ForEachRun(F&& f) const
    {
        // (A run longer than a kept one can be is kept in pieces: joined here.)
        for (std::size_t k = 0; k < runs_.size();) {
            const Run& run = runs_[k];
            int length = run.Length();
            for (++k; k < runs_.size() && length % Run::longest == 0; ++k) {
                const Run& piece = runs_[k];
                if (piece.Place != run.Place + unsigned(length) || RowOf(piece) != RowOf(run) ||
                    piece.Colour() != run.Colour())
                    break;
                length += piece.Length();
            }
            f(RowOf(run), ColumnOf(run), length, run.Colour());
        }
    }

    // The runs as rectangles: runs of one colour that stand under each other
    // at the same columns make one. In the order of their first rows.
    std::vector<TRunBox> Boxes() const;

    // Exactly the pixels PaintRaster(pixels, x, y, raster) paints.
    void Draw(const TPixels& pixels, int x, int y) const;
    // The same pixels in one colour, and only those inside clip (in the
    // pixels' coordinates).
    void Fill(const TPixels& pixels, int x, int y, QRgb colour, const QRect& clip) const;

    // Runs filled over this raster's: Runs->Fill at (X, Y) in Colour, cut to
    // this raster's box.
    struct Layer {
        const TRasterRuns* Runs;
        int X, Y;
        QRgb Colour;
    };
    // One set of runs, row by row, that draws what drawing this raster and
    // then filling each layer in turn paints within this raster's box.
    TRasterRuns Layered(const std::vector<Layer>& layers) const;

private:
    // Eight bytes, to be read fast: the row and column in one word (the row
    // shifted by columnBits_), and the colour with the length (1 .. longest)
    // in its alpha byte (what is drawn is opaque).
    struct Run {
        static constexpr int longest = 255;
        std::uint32_t Place;
        std::uint32_t Paint;
        int Length() const { return int(Paint >> 24); }
        QRgb Colour() const { return Paint | 0xFF000000u; }
    };
    std::uint32_t ColumnMask() const { return (std::uint32_t(1) << columnBits_) - 1; }
    int RowOf(const Run& run) const { return int(run.Place >> columnBits_); }
    int ColumnOf(const Run& run) const { return int(run.Place & ColumnMask()); }
    // A run of this raster's rows, length 1 .. Run::longest.
    Run MakeRun(int y, int x, int length, QRgb colour) const
    {
        return Run{(std::uint32_t(y) << columnBits_) | std::uint32_t(x),
                   (colour & 0x00FFFFFFu) | (std::uint32_t(length) << 24)};
    }
    // Sizes the rows and columns, and keeps runs of them in Run's form
    // (std::bad_alloc when a raster is too large for it).
    void SetSize(int width, int height);
    // Adds row y's run (pieces of it when longer than Run::longest).
    void AddRun(std::vector<Run>& runs, int y, int x, int length, QRgb colour) const;
    // Runs that lie inside the target, bits + origin being where the
    // raster's top-left corner falls (perhaps outside the target); in their
    // own colours or all in one.
    template <bool OneColour>
    void DrawInside(std::span<const Run> runs, QRgb* bits, qsizetype origin, qsizetype stride, QRgb colour) const;

    // The runs from the first of row `row` (of this raster) on, and those of
    // rows first .. end-1 (held within the raster's rows).
    std::span<const Run> RowsFrom(long long row) const;
    std::span<const Run> RowsBetween(long long first, long long end) const;
    void IndexRows();
    std::vector<Run> runs_;                 // in row order
    std::vector<std::uint32_t> rowStarts_;  // the first run of each row, and the end
    int width_ = 0, height_ = 0;
    int columnBits_ = 0;
};
