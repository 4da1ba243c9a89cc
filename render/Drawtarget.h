#pragma once
// What drawing objects draw on: a drawing state (pen, brush, font, current
// position) that carries over from one operation, and one object, to the
// next, and the operations the objects use. The raster surface (TSurface)
// paints them with our exact pixel rules; the vector writer (TVectorTarget)
// turns them into SVG or PDF shapes and texts that match those pixels.
//
// A target says what it can do; objects ask it instead of assuming a raster:
//  - Raster(): the raster behind the target, when there is one. Objects that
//    compose pictures pixel by pixel (component bodies with their pin labels)
//    draw on it directly.
//  - UsesCaches(): objects may draw from what earlier paints kept (label
//    runs, body runs) and leave out work that a later step of the same paint
//    covers; the pixels are the same either way. A raster surface asked to
//    draw step by step (for comparison) and the vector writer say no.
//  - TextsOnly(): the target only gathers the texts drawn on it (to prepare
//    their glyphs before a paint); objects may leave out what draws no text
//    through TextOut or TurnedTextOut.
//
// A target owns its paint, as an output device owns the page it is handed:
// the drawing calls BeginPaint with what the paint draws before its first
// object draws, and EndPaint after its last. In between the target may draw
// the paint ahead on a target of its own, to make ready what the paint will
// need, and may put off painting its pixels to the end (the raster surface
// records the paint and prefetches its texts' glyphs). A paint begun within
// a paint goes with the outer one.

#include <QByteArray>
#include <QPoint>
#include <vector>

#include "app/Drawstyle.h"

class TSurface;
class TRasterRuns;
class TDrawTarget;

// What a paint draws, handed to its target as the paint begins.
class TPaintSource {
public:
    // Draws everything the paint draws on target, from the drawing state
    // every paint starts from (the drawing: every object in list order).
    virtual void Draw(TDrawTarget& target) = 0;
    // True the first time it is asked after what the source draws changed
    // (a drawing loaded), false after that: a target makes ready ahead once
    // for each.
    virtual bool FirstLookAhead() = 0;

protected:
    TPaintSource() = default;
    ~TPaintSource() = default;
};

class TDrawTarget {
public:
    virtual ~TDrawTarget() = default;

    // Drawing state.
    TPen Pen;
    TBrush Brush;
    TFont Font;
    QPoint PenPos;

    // The extent of what is drawn on, in pixels: a raster's size, a vector
    // page's size.
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // Back to the drawing state every paint starts from.
    void ResetState();

    // A paint of source begins, and ends (see above).
    virtual void BeginPaint(TPaintSource& source) { (void)source; }
    virtual void EndPaint() {}
    // Whether the target wants to be told the runs a paint will draw, and
    // those runs, in the order the paint draws them, told as it begins: the
    // target may make them ready ahead while the paint goes on. They stay as
    // they are until the paint ends.
    virtual bool PreparesRuns() const { return false; }
    virtual void PrepareRuns(std::vector<const TRasterRuns*> runs) { (void)runs; }

    virtual void MoveTo(int x, int y) = 0;
    // From the current position to (x, y) with the pen, the end pixel left out.
    virtual void LineTo(int x, int y) = 0;
    // The points joined in order; the last point is not painted.
    virtual void Polyline(const std::vector<QPoint>& points) = 0;
    // Box x1 .. x2-1, y1 .. y2-1: outline with the pen, interior with the brush.
    virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
    virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
    // The brush only, same box.
    virtual void FillRect(int x1, int y1, int x2, int y2) = 0;
    // The text's cell has its top-left corner at (x, y). Texts are
    // single-byte characters (code page 1252). A text may view bytes it
    // does not own: a target that keeps it keeps OwnedBytes(text).
    virtual void TextOut(int x, int y, const QByteArray& text) = 0;
    // A text turned a quarter anticlockwise (reading from bottom to top) in
    // the font's colour, its turned cell (text height wide, text width high)
    // with the top-left corner at (x, y); the cell's background stays.
    virtual void TurnedTextOut(int x, int y, const QByteArray& text) = 0;
    // The pixels of a raster kept as runs, with its top-left pixel at (x, y).
    virtual void DrawRuns(const TRasterRuns& runs, int x, int y) = 0;

    // Extent of a text in the current font, in pixels (the same for every target).
    int TextWidth(const QByteArray& text) const;
    int TextHeight(const QByteArray& text) const;

    virtual TSurface* Raster() { return nullptr; }
    virtual bool UsesCaches() const { return false; }
    virtual bool TextsOnly() const { return false; }

protected:
    TDrawTarget() = default;
    TDrawTarget(const TDrawTarget&) = default;
    TDrawTarget& operator=(const TDrawTarget&) = default;
};

// Saves a target's drawing state and puts it back when it goes.
class TDrawStateSaver {
public:
    explicit TDrawStateSaver(TDrawTarget& target)
        : target_(target),
          pen_(target.Pen),
          brush_(target.Brush),
          font_(target.Font),
          penPos_(target.PenPos)
    {
    }
    ~TDrawStateSaver()
    {
        target_.Pen = pen_;
        target_.Brush = brush_;
        target_.Font = font_;
        target_.PenPos = penPos_;
    }
    TDrawStateSaver(const TDrawStateSaver&) = delete;
    TDrawStateSaver& operator=(const TDrawStateSaver&) = delete;

private:
    TDrawTarget& target_;
    TPen pen_;
    TBrush brush_;
    TFont font_;
    QPoint penPos_;
};
