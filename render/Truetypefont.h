#pragma once
// A TrueType font program (glyph outlines in a 'glyf' table), read from the
// tables Qt hands out for a font, as a PDF page embeds it: its metrics, the
// advance of each glyph, and the font program cut down to the glyphs a page
// shows.
//
// The cut keeps every glyph number as it is (a page's texts name glyphs by
// number): the glyphs not shown, and those after the last one shown, are
// left empty or out, with the outline instructions and the tables a
// renderer needs (head, hhea, maxp, hmtx, loca, glyf, cvt, fpgm, prep).
// A composite glyph keeps the glyphs it is made of. Every read is bounded
// by its table: a damaged font gives no font, or empty glyphs, never a read
// outside its tables.

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class TTrueTypeFont {
public:
    // The font of a table lookup (QRawFont::fontTable), when it has glyph
    // outlines and the tables that go with them.
    static std::optional<TTrueTypeFont> FromTables(const std::function<QByteArray(const char* tag)>& table);

    int UnitsPerEm() const { return unitsPerEm_; }
    int GlyphCount() const { return glyphCount_; }
    // The advance of a glyph in font units (0 for a glyph beyond the font).
    int Advance(std::uint32_t glyph) const;
    // In font units: the box of all glyphs, the ascender and descender (as
    // the horizontal header gives them), the capital height (the ascender
    // where the font does not say).
    QRectF Box() const { return box_; }
    int Ascent() const { return ascent_; }
    int Descent() const { return descent_; }
    int CapHeight() const { return capHeight_; }
    // Degrees anticlockwise from upright (negative for a font leaning right).
    double ItalicAngle() const { return italicAngle_; }
    // The font's PostScript name, only letters, digits and '-' kept (empty
    // when it names none).
    const QString& PostScriptName() const { return postScriptName_; }

    // The font program with the outlines of `glyphs` (and glyph 0) only.
    QByteArray Subset(const std::vector<std::uint32_t>& glyphs) const;

private:
    TTrueTypeFont() = default;
    // Where glyph g's outline lies in glyf_ (empty when it has none).
    std::pair<std::uint32_t, std::uint32_t> GlyphSpan(std::uint32_t glyph) const;

    QByteArray head_, hhea_, maxp_, hmtx_, loca_, glyf_, cvt_, fpgm_, prep_;
    int unitsPerEm_ = 1000;
    int glyphCount_ = 0;
    int longMetrics_ = 0;
    bool longOffsets_ = false;
    QRectF box_;
    int ascent_ = 0, descent_ = 0, capHeight_ = 0;
    double italicAngle_ = 0;
    QString postScriptName_;
};
