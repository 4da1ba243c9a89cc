#include "app/Drawstyle.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <array>
#include <cstdlib>

// ---------------------------------------------------------------------------
// Colours

namespace {

struct SystemColourRole {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};

// System colour index -> palette entry. Index 25 names no colour; it and every
// index beyond the table resolve to black.
constexpr int systemColourCount = 31;
constexpr std::array<SystemColourRole, systemColourCount> systemColours{{
    {QPalette::Active, QPalette::Button},           // 0 scroll bar
    {QPalette::Active, QPalette::Dark},             // 1 desktop background
    {QPalette::Active, QPalette::Highlight},        // 2 active caption
    {QPalette::Inactive, QPalette::Mid},            // 3 inactive caption
    {QPalette::Active, QPalette::Window},           // 4 menu
    {QPalette::Active, QPalette::Base},             // 5 window
    {QPalette::Active, QPalette::Shadow},           // 6 window frame
    {QPalette::Active, QPalette::WindowText},       // 7 menu text
    {QPalette::Active, QPalette::WindowText},       // 8 window text
    {QPalette::Active, QPalette::HighlightedText},  // 9 caption text
    {QPalette::Active, QPalette::Button},           // 10 active border
    {QPalette::Inactive, QPalette::Button},         // 11 inactive border
    {QPalette::Active, QPalette::Dark},             // 12 application work space
    {QPalette::Active, QPalette::Highlight},        // 13 highlight
    {QPalette::Active, QPalette::HighlightedText},  // 14 highlighted text
    {QPalette::Active, QPalette::Button},           // 15 button face
    {QPalette::Active, QPalette::Dark},             // 16 button shadow
    {QPalette::Disabled, QPalette::Text},           // 17 grey text
    {QPalette::Active, QPalette::ButtonText},       // 18 button text
    {QPalette::Disabled, QPalette::WindowText},     // 19 inactive caption text
    {QPalette::Active, QPalette::Light},            // 20 button highlight
    {QPalette::Active, QPalette::Shadow},           // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},         // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText},      // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},      // 24 info background
    {QPalette::Active, QPalette::NoRole},           // 25 none
    {QPalette::Active, QPalette::Link},             // 26 hot light
    {QPalette::Active, QPalette::Highlight},        // 27 active caption gradient
    {QPalette::Inactive, QPalette::Mid},            // 28 inactive caption gradient
    {QPalette::Active, QPalette::Highlight},        // 29 menu highlight
    {QPalette::Active, QPalette::Window},           // 30 menu bar
}};

constexpr QRgb opaqueBlack = 0xFF000000u;

QRgb SystemColour(std::uint32_t index)
{
    if (index >= systemColours.size() || !qGuiApp) return opaqueBlack;
    const SystemColourRole& entry = systemColours[index];
    if (entry.Role == QPalette::NoRole) return opaqueBlack;
    return QGuiApplication::palette().color(entry.Group, entry.Role).rgb() | opaqueBlack;
}

}  // namespace

QRgb ColourToRgb(TColor colour)
{
    if (colour & 0x80000000u) return SystemColour(colour & 0x7FFFFFFFu);
    return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

TColor RgbToColour(QRgb rgb) { return TColor(qRed(rgb)) | (TColor(qGreen(rgb)) << 8) | (TColor(qBlue(rgb)) << 16); }

// ---------------------------------------------------------------------------
// Points and pixels

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRounded(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : -((-product + half) / c));
}

}  // namespace

int PointsToHeight(int points) { return -MulDivRounded(points, PixelsPerInch, 72); }
int HeightToPoints(int height) { return -MulDivRounded(height, 72, PixelsPerInch); }

int TFont::Height() const { return PointsToHeight(Size); }
void TFont::SetHeight(int height) { Size = HeightToPoints(height); }

QFont TFont::ToQFont() const
{
    QFont font(Face);
    font.setPixelSize(std::max(1, std::abs(PointsToHeight(Size))));
    font.setBold(Bold);
    font.setItalic(Italic);
    font.setUnderline(Underline);
    font.setStrikeOut(StrikeOut);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

std::pair<std::uint32_t, bool> TGlyphFonts::Add(const TFont& font)
{
    if (!fonts_.empty() && fonts_[last_].SameGlyphs(font)) return {last_, false};
    // (A page that somehow had thousands of fonts would only repeat some.)
    const auto searched = fonts_.size() <= 1024 ? fonts_.end() : fonts_.begin();
    const auto known = std::find_if(fonts_.begin(), searched, [&](const TFont& f) { return f.SameGlyphs(font); });
    last_ = std::uint32_t(known - fonts_.begin());
    if (known != searched) return {last_, false};
    last_ = std::uint32_t(fonts_.size());
    fonts_.push_back(font);
    return {last_, true};
}

void TGlyphFonts::clear()
{
    fonts_.clear();
    last_ = 0;
}
