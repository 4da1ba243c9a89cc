#pragma once
// The drawing surface: a raster image with a drawing state (pen, brush, font,
// current position) whose every operation paints exactly the pixels our rules
// name, never the ones Qt's own painter would pick.
//
// Pixel rules:
//  - line to (x, y): from the current position to (x, y), the end pixel left out;
//  - polyline: the points joined in order, the last point not painted;
//  - rectangle / ellipse / fill rectangle (x1, y1, x2, y2): the box covers
//    columns x1 .. x2-1 and rows y1 .. y2-1; outline with the pen (none when the
//    pen is clear), interior with the brush (none when the brush is clear);
//  - text out (x, y): the text cell's top-left corner at (x, y); a solid brush
//    fills the cell, a clear brush paints only the glyphs;
//  - no smoothing: every painted pixel is exactly the pen, brush or font colour.
//
// Pens: a width of 0 or 1 draws one-pixel lines, honouring the dash styles with
// fixed repeating patterns (on/off runs in pixels: dash 18/6, dot 3/3,
// dash-dot 9/6/3/6, dash-dot-dot 9/3/3/3/3/3). The pattern runs on across
// consecutive line-tos and the segments of a polyline or a rectangle outline,
// and restarts at every move-to; the gaps are left untouched. A wider pen
// always draws solid: a round stamp of the pen's width (a full square for
// widths 2 and 3, corners cut off from 4 on) is put on every point of the
// one-pixel path except the end point, so a line of width w is w pixels thick
// across its run. The clear pen draws nothing; the inside-frame pen draws
// solid. Widths beyond 256 draw 256 wide.
//
// Closed figures: the interior is painted first, then the outline over it.
// With a clear pen the brush covers the whole box. A rectangle's one-pixel
// outline is the border of its box; a wider outline is centred on that border,
// except with the inside-frame pen, whose outline lies inside the box. An
// ellipse's shape is every pixel whose centre lies in the ellipse inscribed in
// the box (so it never leaves the box and is symmetric within it); its outline
// lies inside the shape: the shape's rim for a one-pixel pen, the band between
// the shape and the shape of the box shrunk by the pen width for a wider one
// (always solid). A one-pixel pen of a dash style lays its pattern along the
// rim in one traversal, clockwise from the middle pixel of the top row (the
// right one of the two middle pixels when the row's length is even): down
// the right side row by row, each row's right piece walked rightwards in the
// upper half of the box (the middle row included) and leftwards in the lower
// half, then up the left side, each row's left piece walked leftwards in the
// lower half and rightwards in the upper half. A row without interior is
// split at its middle pixel, which starts its right piece. The pattern
// starts afresh with every ellipse; gaps leave the rim pixels as they were.
//
// An ellipse whose box is wider or higher than 2^28 pixels draws nothing; a
// dashed outline of a box higher than 2^22 pixels is drawn solid.
//
// Everything is clipped to the surface: nothing is written outside it.

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "app/Drawstyle.h"
#include "render/Drawtarget.h"

struct TGlyphMask;
struct TPaintOperation;
class TPaintRecord;

class TSurface final : public TDrawTarget {
public:
    TSurface() = default;
    TSurface(int width, int height);
    TSurface(const TSurface&) = default;
    TSurface& operator=(const TSurface&) = default;

    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    // Gives the surface a new size; what was drawn stays at the top left,
    // new pixels are white.
    void SetSize(int width, int height);
    // Fills the whole surface with one colour.
    void Clear(TColor colour);

    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }

    // Raster attributes: when Transparent is set, pixels of exactly
    // TransparentColour leave the target unchanged when this surface is drawn.
    bool Transparent = false;
    TColor TransparentColour = clWhite;

    // Objects draw on this surface step by step, as the drawing rules
    // describe, with nothing kept from earlier paints (for comparison); the
    // pixels are the same as when they use their caches.
    bool StepByStep = false;

    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Polyline(const std::vector<QPoint>& points) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void FillRect(int x1, int y1, int x2, int y2) override;
    void TextOut(int x, int y, const QByteArray& text) override;
    void TurnedTextOut(int x, int y, const QByteArray& text) override;
    void DrawRuns(const TRasterRuns& runs, int x, int y) override;

    TSurface* Raster() override { return this; }
    // While a record is given, the operations that paint pixels are kept in
    // it instead of painted (the drawing state changes as they go), until the
    // record is played on this surface; none (nullptr) paints again. A copy
    // of the surface does not record.
    void Record(TPaintRecord* record) { record_.To = record; }
    TPaintRecord* Recording() const { return record_.To; }
    bool UsesCaches() const override { return !StepByStep; }

    TColor Pixel(int x, int y) const;  // -1 (0xFFFFFFFF) outside the surface
    void SetPixel(int x, int y, TColor colour);

    // Copies a raster with its top-left pixel at (x, y), honouring its transparency.
    void Draw(int x, int y, const TSurface& raster);
    // Scales a raster into a rectangle (printing).
    void StretchDraw(const QRect& target, const TSurface& raster);

    // A 2 x 2 sampling to half size (the preview): pixel (x / 2, y / 2) of
    // the result takes the last pixel of the block (x, y), (x, y + 1),
    // (x + 1, y), (x + 1, y + 1), in that order, whose colour is not skip;
    // a block all of skip's colour stays white.
    TSurface HalfSample(TColor skip) const;

private:
    friend class TRasterRuns;
    friend class TPaintRecord;
    // Keeps an operation in the record, if there is one. When the record can
    // take no more, or could not keep what the operation paints from (kept
    // false), what it holds is painted and recording ends: false, and the
    // caller paints.
    bool Recorded(const TPaintOperation& operation, bool kept = true);
    // Plays what the record holds and ends the recording.
    void EndRecording();
    // Columns x1 .. x2-1 of rows y1 .. y2-1 in one colour, clipped.
    void PaintBox(long long x1, long long y1, long long x2, long long y2, QRgb colour);
    // Paints a recorded operation, its rows moved up by top (this surface
    // being the band of a page from row top on).
    void Play(const TPaintOperation& operation, const TPaintRecord& record, int top);
    struct RecordLink {
        TPaintRecord* To = nullptr;
        RecordLink() = default;
        RecordLink(const RecordLink&) {}
        RecordLink& operator=(const RecordLink&) { return *this; }
    };
    // Draws from a to b with the pen, b left out, the dash pattern going on
    // from dashPhase_.
    void StrokeSegment(QPoint a, QPoint b);
    // An ellipse with a dashed one-pixel outline (see the rules above).
    void DashedEllipse(long long left, long long top, long long width, long long height);
    // Makes sure the image is RGB32 (whoever changed it through Image()).
    void EnsureFormat();

    QImage image_;
    int dashPhase_ = 0;
    RecordLink record_;
};

// A label: the text in the font's colour on white, white transparent;
// turned, the text reads from bottom to top (a quarter turn anticlockwise).
TSurface RenderLabel(const QByteArray& text, const TFont& font, bool turned);

// Extent of a text in a font, in pixels, as every target measures it; the
// baseline's distance from the top of the text cell; the family the glyphs
// come from (the face, or what the system puts in its place).
int FontTextWidth(const TFont& font, const QByteArray& text);
int FontTextHeight(const TFont& font);
int FontAscent(const TFont& font);
QString FontFamily(const TFont& font);

// Texts a paint is going to draw, each with the font it is drawn in.
struct TTextsToDraw {
    TGlyphFonts Fonts;
    struct TText {
        std::uint32_t Font;  // Fonts[Font]
        QByteArray Text;
    };
    std::vector<TText> Texts;
};

// While it lives, helper threads measure and render the glyphs of those
// texts that have not been drawn before, from the last one back, while the
// thread that made it paints from the first on: the paint takes what a
// helper made and makes the rest itself. With `threads` threads in all
// (0: one per core); one paint at a time. The paint draws the same with or
// without it.
struct TGlyphsAheadWork;
class TGlyphsAhead {
public:
    // None when there is not memory enough for it.
    static std::unique_ptr<TGlyphsAhead> Start(const TTextsToDraw& texts, int threads);
    // Stops the helpers; what they made is kept for later paints.
    ~TGlyphsAhead();
    TGlyphsAhead(const TGlyphsAhead&) = delete;
    TGlyphsAhead& operator=(const TGlyphsAhead&) = delete;

private:
    TGlyphsAhead(const TTextsToDraw& texts, int threads);
    std::unique_ptr<TGlyphsAheadWork> work_;
};

// Forgets what every font measured and rendered: the caches start afresh.
void ForgetGlyphs();

// On/off runs, in pixels, of the dash pattern of a one-pixel pen of a style;
// empty for solid.
const std::vector<int>& DashPattern(int style);

// The pixels of a raster that drawing it copies (all of them, or those not
// of its transparent colour when it is transparent), kept as runs of one
// colour along its rows. Made once, it draws the raster without looking at
// its other pixels again.
class TRasterRuns {
public:
    TRasterRuns() = default;
    explicit TRasterRuns(const TSurface& raster);

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::size_t RunCount() const { return runs_.size(); }

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

    // Exactly the pixels target.Draw(x, y, raster) paints.
    void Draw(TSurface& target, int x, int y) const;
    // The same pixels in one colour, and only those inside clip (target
    // coordinates).
    void Fill(TSurface& target, int x, int y, QRgb colour, const QRect& clip) const;

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
    std::vector<Run> runs_;                // in row order
    std::vector<std::uint32_t> rowStarts_;  // the first run of each row, and the end
    int width_ = 0, height_ = 0;
    int columnBits_ = 0;
};
