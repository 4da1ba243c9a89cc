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

// The surface is the raster back-end of the drawing target: it keeps the
// drawing state and turns each operation into pixels, painted at once by the
// raster operations (render/Rasterops.h), or recorded and painted band by
// band at the end of a paint (render/Paintrecord.h). Texts are painted from
// the glyph cache (render/Glyphcache.h), bodies and labels from raster runs
// (render/Rasterruns.h).

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <memory>
#include <vector>

#include "app/Drawstyle.h"
#include "render/Drawtarget.h"
#include "render/Glyphcache.h"
#include "render/Rasterops.h"
#include "render/Rasterruns.h"

struct TPaintOperation;
class TPaintRecord;

// The raster: Image(), with its transparency (TRasterImage); when
// Transparent is set, pixels of exactly TransparentColour leave the target
// unchanged when this surface is drawn.
class TSurface final : public TDrawTarget, public TRasterImage {
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
    // The pixels runs.Draw paints, in one colour, and only those inside clip.
    void FillRuns(const TRasterRuns& runs, int x, int y, QRgb colour, const QRect& clip);

    TSurface* Raster() override { return this; }
    bool UsesCaches() const override { return !StepByStep; }

    // A paint on a surface that uses its caches is recorded, and played band
    // by band of rows once every object has drawn (see TPaintRecord). The
    // first paint of a source since it changed starts making the glyphs of
    // its texts on other threads (TGlyphsAhead), unless PrepareGlyphs has;
    // it takes what they made, and later paints find the glyphs kept.
    void BeginPaint(TPaintSource& source) override;
    void EndPaint() override;
    // Starts making, on other threads, the glyphs of the texts the source
    // draws on a surface of this size, when it has not been looked ahead at
    // since it changed: they are made while the surface is given that size
    // and cleared, and the next paint takes them.
    void PrepareGlyphs(TPaintSource& source, int width, int height);
    // How many threads a paint's bands are painted on, and its glyphs made
    // ahead on: 0 (the start value) for one per core, 1 for the painting
    // thread alone. The pixels are the same whatever the number.
    static void SetPaintThreads(int threads);
    static int PaintThreads();

    // While a record is given, the operations that paint pixels are kept in
    // it instead of painted (the drawing state changes as they go), until the
    // record is played on this surface; none (nullptr) paints again. A copy
    // of the surface does not record.
    void Record(TPaintRecord* record) { record_.To = record; }
    TPaintRecord* Recording() const { return record_.To; }

    TColor Pixel(int x, int y) const;  // -1 (0xFFFFFFFF) outside the surface
    void SetPixel(int x, int y, TColor colour);

    // Copies a raster with its top-left pixel at (x, y), honouring its transparency.
    void Draw(int x, int y, const TRasterImage& raster);
    // Scales a raster into a rectangle (printing).
    void StretchDraw(const QRect& target, const TRasterImage& raster);

    // A 2 x 2 sampling to half size (the preview): pixel (x / 2, y / 2) of
    // the result takes the last pixel of the block (x, y), (x, y + 1),
    // (x + 1, y), (x + 1, y + 1), in that order, whose colour is not skip;
    // a block all of skip's colour stays white.
    TSurface HalfSample(TColor skip) const;

private:
    // Keeps an operation in the record, if there is one. When the record can
    // take no more, or could not keep what the operation paints from (kept
    // false), what it holds is painted and recording ends: false, and the
    // caller paints.
    bool Recorded(const TPaintOperation& operation, bool kept = true);
    // Plays what the record holds and ends the recording.
    void EndRecording();
    // Columns x1 .. x2-1 of rows y1 .. y2-1 in one colour, clipped.
    void PaintBox(long long x1, long long y1, long long x2, long long y2, QRgb colour);
    struct RecordLink {
        TPaintRecord* To = nullptr;
        RecordLink() = default;
        RecordLink(const RecordLink&) {}
        RecordLink& operator=(const RecordLink&) { return *this; }
    };
    // The paint going on (how many are begun and not ended, what it records
    // into, the glyphs made ahead for it) and the glyphs made ahead for the
    // next one; a copy of the surface takes none of it.
    struct PaintLink {
        int Depth = 0;
        std::unique_ptr<TPaintRecord> Record;
        std::unique_ptr<TGlyphsAhead> Glyphs, Ahead;
        PaintLink();
        PaintLink(const PaintLink&);
        PaintLink& operator=(const PaintLink&);
        ~PaintLink();
    };
    // Draws from a to b with the pen, b left out, the dash pattern going on
    // from dashPhase_.
    void StrokeSegment(QPoint a, QPoint b);
    // Makes sure the image is RGB32 (whoever changed it through Image()).
    void EnsureFormat();

    int dashPhase_ = 0;
    RecordLink record_;
    PaintLink paint_;
};

// A label: the text in the font's colour on white, white transparent;
// turned, the text reads from bottom to top (a quarter turn anticlockwise).
TSurface RenderLabel(const QByteArray& text, const TFont& font, bool turned);
