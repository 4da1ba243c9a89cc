#pragma once
// The value types of drawing: colour values, pens, brushes and fonts, and the
// conversion between points and pixels. Settings code keeps and stores these
// without knowing how or where they are drawn.

#include <QColor>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

class QFont;

// A colour value 0x00BBGGRR; a value with bit 31 set names a system colour.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWindowText = 0x80000008;

// The opaque RGB colour (0xFFRRGGBB) that a colour value shows; system
// colours are resolved through the application palette.
QRgb ColourToRgb(TColor colour);
// The ordinary colour value (0x00BBGGRR) of an RGB colour.
TColor RgbToColour(QRgb rgb);

enum TPenStyle : int {
    psSolid = 0,
    psDash = 1,
    psDot = 2,
    psDashDot = 3,
    psDashDotDot = 4,
    psClear = 5,
    psInsideFrame = 6,
};

enum TPenMode : int { pmCopy = 0 };

struct TPen {
    TColor Colour = clBlack;
    int Style = psSolid;
    int Width = 1;
    int Mode = pmCopy;
    bool operator==(const TPen&) const = default;
};

enum TBrushStyle : int { bsSolid = 0, bsClear = 1 };

struct TBrush {
    TColor Colour = clWhite;
    int Style = bsSolid;
    bool operator==(const TBrush&) const = default;
};

struct TFont {
    QString Face = QStringLiteral("MS Sans Serif");
    int Size = 8;  // points
    TColor Colour = clWindowText;
    bool Bold = false;
    bool Italic = false;
    // Drawn, never stored: the settings file keeps neither.
    bool Underline = false;
    bool StrikeOut = false;
    int Charset = 1;  // default character set
    bool operator==(const TFont&) const = default;
    // Whether the other font draws the same glyphs: the colour and the
    // character set do not change them.
    bool SameGlyphs(const TFont& other) const
    {
        return Size == other.Size && Bold == other.Bold && Italic == other.Italic && Underline == other.Underline &&
               StrikeOut == other.StrikeOut && Face == other.Face;
    }

    // Pixel height of the character, negative as the font dialog keeps it.
    int Height() const;
    void SetHeight(int height);
    // The Qt font that draws this font, without smoothing.
    QFont ToQFont() const;
};

// Fonts of different glyphs, each kept once, in the order they came.
class TGlyphFonts {
public:
    // The index of the kept font that draws the glyphs of this one, and
    // whether it was kept just now.
    std::pair<std::uint32_t, bool> Add(const TFont& font);
    const TFont& operator[](std::size_t i) const { return fonts_[i]; }
    std::size_t size() const { return fonts_.size(); }
    bool empty() const { return fonts_.empty(); }
    void clear();

private:
    std::vector<TFont> fonts_;
    std::uint32_t last_ = 0;  // the one the last Add found
};

// Screen resolution used for every point <-> pixel conversion.
constexpr int PixelsPerInch = 96;
// height = -(points * ppi / 72), points = -(height * 72 / ppi), both rounded.
int PointsToHeight(int points);
int HeightToPoints(int height);
