#pragma once
// The fonts texts are drawn in, with what each has measured and rendered:
// the width of a text (as every target measures it), and its glyph pixels,
// as the raster surface paints them. Qt draws the glyphs (without smoothing)
// once per font and text; both are kept, in bounded caches, for later
// paints. The font table belongs to the thread that paints; the glyphs of a
// paint's texts can be made ahead of it on helper threads, which draw with
// fonts of their own.

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <memory>
#include <vector>

#include "app/Drawstyle.h"
#include "render/Rasterops.h"

class TPaintSource;

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

// The glyphs of a text in a font, made when first asked for (or taken from
// the helper that made them ahead) and kept for later paints; a paint put off
// shares them. None (no spans) when there was no memory to draw them.
const std::shared_ptr<const TGlyphMask>& GlyphsOf(const TFont& font, const QByteArray& text);
// A text's glyph pixels in one colour, its cell's top-left corner at (x, y).
void PaintGlyphs(const TPixels& pixels, const TGlyphMask& mask, int x, int y, QRgb ink);

// Extent of a text in a font, in pixels, as every target measures it; the
// baseline's distance from the top of the text cell; the family the glyphs
// come from (the face, or what the system puts in its place).
int FontTextWidth(const TFont& font, const QByteArray& text);
int FontTextHeight(const TFont& font);
int FontAscent(const TFont& font);
QString FontFamily(const TFont& font);

// Forgets what every font measured and rendered: the caches start afresh.
void ForgetGlyphs();

// While it lives, helper threads measure and render the glyphs of the texts
// a paint is going to draw that have not been drawn before, in the order the
// paint draws them, while the thread that made it paints: the paint takes
// what a helper made, makes what nobody began, and while it waits for a text
// a helper is making it makes the next ones nobody began. With `threads`
// threads in all (0: one per core); one paint at a time. The paint draws the
// same with or without it.
struct TTextsToDraw;
struct TGlyphsAheadWork;
class TGlyphsAhead {
public:
    // For the texts the source draws on a target of this size (drawn on a
    // target that keeps only texts); none when there is not memory enough
    // for it.
    static std::unique_ptr<TGlyphsAhead> Start(TPaintSource& source, int width, int height, int threads);
    // Stops the helpers; what they made is kept for later paints.
    ~TGlyphsAhead();
    TGlyphsAhead(const TGlyphsAhead&) = delete;
    TGlyphsAhead& operator=(const TGlyphsAhead&) = delete;

private:
    TGlyphsAhead(const TTextsToDraw& texts, int threads);
    std::unique_ptr<TGlyphsAheadWork> work_;
};
