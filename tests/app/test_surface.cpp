// Pixel rules of the drawing surface.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/Surface.h"

namespace {

constexpr TColor clGreen = 0x00FF00;
constexpr TColor clGrey = 0x808080;

// Every painted pixel (not `background`) of the surface.
std::set<std::pair<int, int>> Painted(const TSurface& s, TColor background = clWhite)
{
    std::set<std::pair<int, int>> pixels;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.Pixel(x, y) != background) pixels.insert({x, y});
    return pixels;
}

std::set<TColor> Colours(const TSurface& s)
{
    std::set<TColor> colours;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) colours.insert(s.Pixel(x, y));
    return colours;
}

TSurface White(int w, int h)
{
    TSurface s(w, h);
    s.Clear(clWhite);
    return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// Colours

TEST(SurfaceColour, OrdinaryColourValuesAreBgr)
{
    EXPECT_EQ(ColourToRgb(clRed), qRgb(255, 0, 0));
    EXPECT_EQ(ColourToRgb(clBlue), qRgb(0, 0, 255));
    EXPECT_EQ(ColourToRgb(0xF0CAA6), qRgb(166, 202, 240));
    EXPECT_EQ(RgbToColour(qRgb(166, 202, 240)), 0xF0CAA6u);
}

TEST(SurfaceColour, SystemColoursResolveThroughTheApplicationPalette)
{
    const QPalette saved = QGuiApplication::palette();
    QPalette palette = saved;
    palette.setColor(QPalette::WindowText, QColor(10, 20, 30));
    palette.setColor(QPalette::Base, QColor(200, 210, 220));
    QGuiApplication::setPalette(palette);

    EXPECT_EQ(ColourToRgb(clWindowText), qRgb(10, 20, 30));
    EXPECT_EQ(ColourToRgb(0x80000005), qRgb(200, 210, 220));  // window background
    TSurface s = White(10, 3);
    s.Pen.Colour = clWindowText;
    s.MoveTo(0, 1);
    s.LineTo(5, 1);
    EXPECT_EQ(s.Pixel(2, 1), RgbToColour(qRgb(10, 20, 30)));

    QGuiApplication::setPalette(saved);
}

TEST(SurfaceColour, UnknownSystemColoursAreBlack)
{
    EXPECT_EQ(ColourToRgb(0x80000019), qRgb(0, 0, 0));
    EXPECT_EQ(ColourToRgb(0x80000063), qRgb(0, 0, 0));
    EXPECT_EQ(ColourToRgb(0xFFFFFFFF), qRgb(0, 0, 0));
}

// ---------------------------------------------------------------------------
// Raster basics

TEST(SurfaceRaster, PixelsOutsideReadAsMinusOneAndIgnoreWrites)
{
    TSurface s = White(4, 3);
    EXPECT_EQ(s.Pixel(-1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(s.Pixel(4, 0), 0xFFFFFFFFu);
    EXPECT_EQ(s.Pixel(0, 3), 0xFFFFFFFFu);
    s.SetPixel(4, 0, clRed);
    s.SetPixel(-1, -1, clRed);
    EXPECT_EQ(Painted(s).size(), 0u);
    s.SetPixel(3, 2, clRed);
    EXPECT_EQ(s.Pixel(3, 2), clRed);
    EXPECT_EQ(s.Image().format(), QImage::Format_RGB32);
}

TEST(SurfaceRaster, ResizingKeepsTheDrawingAtTheTopLeftAndAddsWhite)
{
    TSurface s(3, 3);
    s.Clear(clRed);
    s.SetSize(5, 2);
    EXPECT_EQ(s.Width(), 5);
    EXPECT_EQ(s.Height(), 2);
    EXPECT_EQ(s.Pixel(2, 1), clRed);
    EXPECT_EQ(s.Pixel(3, 0), clWhite);
}

TEST(SurfaceRaster, DrawingOutsideTheSurfaceIsClipped)
{
    TSurface s = White(10, 10);
    s.Pen.Width = 5;
    s.MoveTo(-100, -100);
    s.LineTo(200, 200);
    s.Rectangle(-50, -50, 60, 60);
    s.Ellipse(-30, 5, 40, 70);
    s.TextOut(-20, 8, "Clipped text");
    s.TextOut(8, -5, "Clipped text");
    s.Brush.Colour = clRed;
    s.FillRect(-5, -5, 100, 3);
    EXPECT_EQ(s.Width(), 10);
    EXPECT_EQ(s.Pixel(0, 0), clRed);
    EXPECT_EQ(s.Pixel(9, 2), clRed);
    EXPECT_NE(s.Pixel(0, 3), clRed);
}

TEST(SurfaceRaster, HugeFiguresAndPensStayBounded)
{
    TSurface s = White(20, 20);
    s.Brush.Colour = clRed;
    s.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);  // wider than 2^28: nothing
    EXPECT_TRUE(Painted(s).empty());
    s.Ellipse(-100000, -100000, 100000, 100000);
    EXPECT_EQ(s.Pixel(10, 10), clRed);
    s.Pen.Width = 1000000;
    s.Pen.Colour = clBlue;
    s.MoveTo(10, 10);
    s.LineTo(11, 11);
    EXPECT_EQ(s.Pixel(0, 0), clBlue);
    EXPECT_EQ(s.Pixel(19, 19), clBlue);
}

// ---------------------------------------------------------------------------
// Lines

TEST(SurfaceLine, LineToLeavesTheEndPixelOut)
{
    TSurface s = White(20, 12);
    s.MoveTo(2, 5);
    s.LineTo(10, 5);
    for (int x = 2; x < 10; ++x) EXPECT_EQ(s.Pixel(x, 5), clBlack) << x;
    EXPECT_EQ(s.Pixel(10, 5), clWhite);
    EXPECT_EQ(Painted(s).size(), 8u);
    EXPECT_EQ(s.PenPos, QPoint(10, 5));
}

TEST(SurfaceLine, DiagonalLinesStopOneShortInBothDirections)
{
    TSurface s = White(20, 20);
    s.MoveTo(296 - 290, 204 - 190);  // a marker's rising diagonal, moved near the origin
    s.LineTo(305 - 290, 195 - 190);
    const auto pixels = Painted(s);
    EXPECT_EQ(pixels.size(), 9u);
    EXPECT_TRUE(pixels.count({6, 14}));
    EXPECT_TRUE(pixels.count({14, 6}));
    EXPECT_FALSE(pixels.count({15, 5}));
}

TEST(SurfaceLine, ZeroLengthLineAndClearPenDrawNothing)
{
    TSurface s = White(10, 10);
    s.MoveTo(4, 4);
    s.LineTo(4, 4);
    s.Pen.Style = psClear;
    s.LineTo(9, 9);
    EXPECT_TRUE(Painted(s).empty());
    EXPECT_EQ(s.PenPos, QPoint(9, 9));
}

TEST(SurfaceLine, PolylineJoinsThePointsAndLeavesTheLastOneOut)
{
    TSurface s = White(12, 12);
    s.PenPos = QPoint(0, 0);
    s.Polyline({{2, 2}, {8, 2}, {8, 8}});
    const auto pixels = Painted(s);
    EXPECT_EQ(pixels.size(), 12u);
    EXPECT_TRUE(pixels.count({8, 2}));
    EXPECT_TRUE(pixels.count({8, 7}));
    EXPECT_FALSE(pixels.count({8, 8}));
    EXPECT_EQ(s.PenPos, QPoint(0, 0));
}

TEST(SurfaceLine, DashedAndDottedPensLeaveGaps)
{
    TSurface s = White(80, 10);
    s.Pen.Style = psDash;
    s.MoveTo(0, 2);
    s.LineTo(60, 2);
    for (int x = 0; x < 18; ++x) EXPECT_EQ(s.Pixel(x, 2), clBlack) << x;
    for (int x = 18; x < 24; ++x) EXPECT_EQ(s.Pixel(x, 2), clWhite) << x;
    EXPECT_EQ(s.Pixel(24, 2), clBlack);

    s.Pen.Style = psDot;
    s.MoveTo(0, 5);
    s.LineTo(12, 5);
    const TColor expected[12] = {clBlack, clBlack, clBlack, clWhite, clWhite, clWhite,
                                 clBlack, clBlack, clBlack, clWhite, clWhite, clWhite};
    for (int x = 0; x < 12; ++x) EXPECT_EQ(s.Pixel(x, 5), expected[x]) << x;

    s.Pen.Style = psDashDotDot;
    s.MoveTo(0, 8);
    s.LineTo(24, 8);
    int painted = 0;
    for (int x = 0; x < 24; ++x) painted += s.Pixel(x, 8) == clBlack;
    EXPECT_EQ(painted, 15);
}

TEST(SurfaceLine, DashPatternRunsOnAcrossLineTosAndRestartsAtMoveTo)
{
    TSurface s = White(40, 6);
    s.Pen.Style = psDot;
    s.MoveTo(0, 1);
    s.LineTo(2, 1);
    s.LineTo(6, 1);  // goes on with the third "on" pixel, then the gap
    EXPECT_EQ(s.Pixel(2, 1), clBlack);
    EXPECT_EQ(s.Pixel(3, 1), clWhite);
    EXPECT_EQ(s.Pixel(5, 1), clWhite);

    s.MoveTo(10, 3);
    s.LineTo(12, 3);
    s.MoveTo(12, 3);
    s.LineTo(16, 3);
    EXPECT_EQ(s.Pixel(14, 3), clBlack);  // restarted: 12, 13, 14 on
    EXPECT_EQ(s.Pixel(15, 3), clWhite);
}

TEST(SurfaceLine, WideLinesAreSolidAndAsThickAsThePen)
{
    TSurface s = White(40, 40);
    s.Pen.Width = 3;
    s.Pen.Style = psDash;  // wider than one pixel: solid
    s.MoveTo(5, 10);
    s.LineTo(35, 10);
    for (int x = 5; x < 35; ++x) {
        EXPECT_EQ(s.Pixel(x, 9), clBlack) << x;
        EXPECT_EQ(s.Pixel(x, 10), clBlack) << x;
        EXPECT_EQ(s.Pixel(x, 11), clBlack) << x;
    }
    EXPECT_EQ(s.Pixel(20, 8), clWhite);
    EXPECT_EQ(s.Pixel(20, 12), clWhite);

    s.MoveTo(20, 20);
    s.LineTo(20, 35);
    EXPECT_EQ(s.Pixel(19, 25), clBlack);
    EXPECT_EQ(s.Pixel(21, 25), clBlack);
    EXPECT_EQ(s.Pixel(18, 25), clWhite);
    EXPECT_EQ(s.Pixel(22, 25), clWhite);
}

TEST(SurfaceLine, WidthThreeDiagonalIsThreePixelsAcross)
{
    // The cross of a marker drawn after a width-3 line.
    TSurface s = White(30, 30);
    s.Pen.Width = 3;
    s.MoveTo(6, 6);
    s.LineTo(15, 15);
    // Across the diagonal at (10, 10): three pixels on the perpendicular.
    EXPECT_EQ(s.Pixel(10, 10), clBlack);
    EXPECT_EQ(s.Pixel(11, 9), clBlack);
    EXPECT_EQ(s.Pixel(9, 11), clBlack);
    EXPECT_EQ(s.Pixel(12, 8), clWhite);
    EXPECT_EQ(s.Pixel(8, 12), clWhite);

    TSurface thin = White(30, 30);
    thin.MoveTo(6, 6);
    thin.LineTo(15, 15);
    EXPECT_EQ(thin.Pixel(11, 9), clWhite);
}

TEST(SurfaceLine, PenWidthZeroDrawsOnePixel)
{
    TSurface s = White(10, 10);
    s.Pen.Width = 0;
    s.MoveTo(1, 5);
    s.LineTo(8, 5);
    EXPECT_EQ(Painted(s).size(), 7u);
}

namespace {

// A pen written out plainly: the one-pixel path from (x0, y0) towards
// (x1, y1) (Bresenham, the end point left out); on each of its points a
// round stamp: the pixels of the width x width box about the point whose
// centres lie within the circle of diameter width about the box's centre. A
// one-pixel pen's dash pattern (on/off runs) goes on from `phase`.
void PlainStroke(QImage& image, long long x0, long long y0, long long x1, long long y1, int width, int style,
                 QRgb colour, long long& phase)
{
    width = std::clamp(width, 1, 256);
    std::vector<int> pattern;
    if (width == 1 && style == psDash) pattern = {18, 6};
    if (width == 1 && style == psDot) pattern = {3, 3};
    if (width == 1 && style == psDashDot) pattern = {9, 6, 3, 6};
    if (width == 1 && style == psDashDotDot) pattern = {9, 3, 3, 3, 3, 3};
    auto on = [&pattern](long long position) {
        long long period = 0;
        for (int run : pattern) period += run;
        if (period == 0) return true;
        position %= period;
        for (std::size_t run = 0;; ++run) {
            if (position < pattern[run]) return run % 2 == 0;
            position -= pattern[run];
        }
    };
    const long long dx = std::llabs(x1 - x0), dy = std::llabs(y1 - y0);
    const long long sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    const int low = -(width - 1) / 2;
    long long err = dx - dy, x = x0, y = y0;
    for (long long step = 0; step < std::max(dx, dy); ++step) {
        // The stamp's columns i and rows j (offsets from the point) that lie on the image.
        const long long iFirst = std::max<long long>(low, -x),
                        iLast = std::min<long long>(low + width, image.width() - x);
        const long long jFirst = std::max<long long>(low, -y);
        const long long jLast = std::min<long long>(low + width, image.height() - y);
        for (long long j = jFirst; j < jLast && on(phase + step); ++j)
            for (long long i = iFirst; i < iLast; ++i) {
                const long long u = 2 * (i - low) - (width - 1), v = 2 * (j - low) - (width - 1);
                if (u * u + v * v <= width * width) image.setPixel(int(x + i), int(y + j), colour);
            }
        const long long e2 = 2 * err;
        if (e2 > -dy) err -= dy, x += sx;
        if (e2 < dx) err += dx, y += sy;
    }
    phase += std::max(dx, dy);
}

}  // namespace

TEST(SurfaceLine, StrokesAndOutlinesAreThePlainlyWalkedPenOnEveryPathPoint)
{
    // Pens of every width up to 256 (and beyond, drawn 256 wide) and every
    // style, lines in every direction, near and across the edges and far
    // outside, one over the other, some going on from the last; outlines
    // centred on the box's border or inside it.
    const int wide[] = {40, 63, 64, 127, 128, 200, 255, 256, 300, 100000};
    std::uint64_t state = 12345;
    auto next = [&state](long long low, long long high) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return low + static_cast<long long>((state >> 33) % std::uint64_t(high - low + 1));
    };
    auto coordinate = [&](int size) {
        switch (next(0, 9)) {
        case 0: return next(-40000, 40000);
        case 1: return next(-600, size + 600);
        default: return next(-30, size + 30);
        }
    };
    TSurface s = White(61, 47);
    QImage expected = s.Image();
    long long phase = 0;
    for (int k = 0; k < 2000; ++k) {
        const int width = k % 11 == 10 ? wide[next(0, 9)] : int(next(0, 39) / (k % 3 == 0 ? 20 : 1));
        const QRgb colour = 0xFF000000u | QRgb(next(0, 0xFFFFFF));
        s.Pen = TPen{RgbToColour(colour), int(next(0, 4)), width, pmCopy};
        const long long x0 = coordinate(61), y0 = coordinate(47), x1 = coordinate(61), y1 = coordinate(47);
        std::string drawn;
        if (k % 5 == 4) {
            // An outline: the border's four sides, each from its corner to the next.
            s.Brush.Style = bsClear;
            const int left = int(next(-20, 70)), top = int(next(-20, 60));
            const int right = left + int(next(1, 40)), bottom = top + int(next(1, 40));
            const bool inside = k % 2 == 1;
            if (inside) s.Pen.Style = psInsideFrame;
            s.Rectangle(left, top, right, bottom);
            drawn = std::string(inside ? "inside-frame " : "") + "rectangle " + std::to_string(left) + ", " +
                    std::to_string(top) + ", " + std::to_string(right) + ", " + std::to_string(bottom);
            if (inside && width > 1) {
                for (int y = std::max(top, 0); y < std::min(bottom, 47); ++y)
                    for (int x = std::max(left, 0); x < std::min(right, 61); ++x)
                        if (x - left < width || right - 1 - x < width || y - top < width || bottom - 1 - y < width)
                            expected.setPixel(x, y, colour);
            } else if (left == right - 1 && top == bottom - 1) {
                long long once = 0;
                PlainStroke(expected, left, top, left + 1, top, width, psSolid, colour, once);  // the one point
            } else {
                phase = 0;  // the pattern starts at the top-left corner
                const QPoint corners[] = {{left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1}};
                for (int c = 0; c < 4; ++c)
                    PlainStroke(expected, corners[c].x(), corners[c].y(), corners[(c + 1) % 4].x(),
                                corners[(c + 1) % 4].y(), width, s.Pen.Style, colour, phase);
            }
        } else {
            // Every other line goes on from where the last one ended, its dashes too.
            const bool goOn = k % 2 == 1;
            const long long from[2] = {goOn ? s.PenPos.x() : x0, goOn ? s.PenPos.y() : y0};
            if (!goOn) {
                s.MoveTo(int(x0), int(y0));
                phase = 0;
            }
            s.LineTo(int(x1), int(y1));
            PlainStroke(expected, from[0], from[1], x1, y1, width, s.Pen.Style, colour, phase);
            drawn = "line (" + std::to_string(from[0]) + ", " + std::to_string(from[1]) + ") to (" +
                    std::to_string(x1) + ", " + std::to_string(y1) + ")";
        }
        ASSERT_TRUE(s.Image() == expected)
            << "step " << k << ", width " << width << ", style " << s.Pen.Style << ": " << drawn;
    }
}

// ---------------------------------------------------------------------------
// Rectangles

TEST(SurfaceRectangle, BoxCoversColumnsAndRowsUpToOneShortOfTheSecondCorner)
{
    for (bool swapped : {false, true}) {
        TSurface s = White(12, 10);
        s.Pen.Colour = clRed;
        s.Brush.Colour = clBlue;
        if (swapped)
            s.Rectangle(8, 7, 2, 3);
        else
            s.Rectangle(2, 3, 8, 7);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) {
                TColor expected = clWhite;
                if (x >= 2 && x <= 7 && y >= 3 && y <= 6)
                    expected = (x == 2 || x == 7 || y == 3 || y == 6) ? clRed : clBlue;
                EXPECT_EQ(s.Pixel(x, y), expected) << x << "," << y << " swapped " << swapped;
            }
    }
}

TEST(SurfaceRectangle, ClearBrushLeavesTheInteriorAndClearPenLeavesNoOutline)
{
    TSurface s = White(12, 10);
    s.Clear(clGreen);
    s.Pen.Colour = clRed;
    s.Brush.Style = bsClear;
    s.Rectangle(2, 3, 8, 7);
    EXPECT_EQ(s.Pixel(2, 3), clRed);
    EXPECT_EQ(s.Pixel(4, 4), clGreen);

    TSurface t = White(12, 10);
    t.Pen.Style = psClear;
    t.Brush.Colour = clBlue;
    t.Rectangle(2, 3, 8, 7);
    const auto pixels = Painted(t);
    EXPECT_EQ(pixels.size(), 24u);
    EXPECT_EQ(t.Pixel(2, 3), clBlue);
    EXPECT_EQ(t.Pixel(7, 6), clBlue);
}

TEST(SurfaceRectangle, FillRectUsesTheBrushOnly)
{
    TSurface s = White(12, 10);
    s.Pen.Colour = clRed;
    s.Brush.Colour = clBlue;
    s.FillRect(2, 3, 8, 7);
    EXPECT_EQ(Painted(s).size(), 24u);
    EXPECT_EQ(Colours(s), (std::set<TColor>{clWhite, clBlue}));
    s.Brush.Style = bsClear;
    s.Brush.Colour = clRed;
    s.FillRect(0, 0, 12, 10);
    EXPECT_EQ(Painted(s).size(), 24u);
}

TEST(SurfaceRectangle, WideInsideFramePenStaysInsideTheBox)
{
    TSurface s = White(20, 20);
    s.Pen.Style = psInsideFrame;
    s.Pen.Width = 3;
    s.Brush.Colour = clBlue;
    s.Rectangle(5, 5, 15, 15);
    for (const auto& [x, y] : Painted(s)) {
        EXPECT_GE(x, 5);
        EXPECT_LE(x, 14);
        EXPECT_GE(y, 5);
        EXPECT_LE(y, 14);
    }
    EXPECT_EQ(s.Pixel(7, 10), clBlack);
    EXPECT_EQ(s.Pixel(8, 10), clBlue);
    EXPECT_EQ(s.Pixel(12, 10), clBlack);
    EXPECT_EQ(s.Pixel(11, 10), clBlue);
}

TEST(SurfaceRectangle, DashedOutlineHasGapsAndOnePixelBoxIsOnePixel)
{
    TSurface s = White(60, 60);
    s.Pen.Style = psDot;
    s.Brush.Style = bsClear;
    s.Rectangle(0, 0, 50, 50);
    EXPECT_EQ(s.Pixel(0, 0), clBlack);
    EXPECT_EQ(s.Pixel(3, 0), clWhite);

    TSurface t = White(5, 5);
    t.Rectangle(2, 2, 3, 3);
    EXPECT_EQ(Painted(t), (std::set<std::pair<int, int>>{{2, 2}}));
    t.Rectangle(1, 1, 1, 4);  // empty box
    EXPECT_EQ(Painted(t).size(), 1u);
}

// ---------------------------------------------------------------------------
// Ellipses

TEST(SurfaceEllipse, JunctionDotFillsItsBoxSymmetrically)
{
    // A junction of diameter 4 at (100, 50): box (97, 47)-(105, 55), clear pen.
    TSurface s = White(200, 100);
    s.Pen.Style = psClear;
    s.Brush.Colour = clRed;
    s.Ellipse(97, 47, 105, 55);
    const auto pixels = Painted(s);
    ASSERT_FALSE(pixels.empty());
    for (const auto& [x, y] : pixels) {
        EXPECT_GE(x, 97);
        EXPECT_LE(x, 104);
        EXPECT_GE(y, 47);
        EXPECT_LE(y, 54);
        EXPECT_EQ(s.Pixel(x, y), clRed);
        // Mirror images across both axes of the box.
        EXPECT_TRUE(pixels.count({97 + 104 - x, y}));
        EXPECT_TRUE(pixels.count({x, 47 + 54 - y}));
        EXPECT_TRUE(pixels.count({y - 47 + 97, x - 97 + 47}));
    }
    // It reaches every side of the box and is solid through the middle.
    for (int x = 97; x <= 104; ++x) EXPECT_EQ(s.Pixel(x, 50), clRed);
    for (int y = 47; y <= 54; ++y) EXPECT_EQ(s.Pixel(100, y), clRed);
    EXPECT_EQ(s.Pixel(97, 47), clWhite);
    EXPECT_EQ(s.Pixel(104, 54), clWhite);
}

TEST(SurfaceEllipse, SmallBoxesGiveSmallDotsAndEmptyBoxesNothing)
{
    TSurface s = White(10, 10);
    s.Pen.Style = psClear;
    s.Brush.Colour = clRed;
    s.Ellipse(3, 3, 5, 5);
    EXPECT_EQ(Painted(s), (std::set<std::pair<int, int>>{{3, 3}, {4, 3}, {3, 4}, {4, 4}}));
    s.Ellipse(7, 7, 7, 7);
    s.Ellipse(1, 1, 1, 8);
    EXPECT_EQ(Painted(s).size(), 4u);
}

TEST(SurfaceEllipse, OutlinedCircleIsARingInsideItsBox)
{
    // A pin's circle box: x 32 .. 40, y 56 .. 64, outline only.
    TSurface s = White(70, 70);
    s.Brush.Style = bsClear;
    s.Pen.Colour = clBlue;
    s.Ellipse(32, 56, 40, 64);
    const auto pixels = Painted(s);
    int minX = 99, maxX = 0, minY = 99, maxY = 0;
    for (const auto& [x, y] : pixels) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    EXPECT_EQ(minX, 32);
    EXPECT_EQ(maxX, 39);
    EXPECT_EQ(minY, 56);
    EXPECT_EQ(maxY, 63);
    EXPECT_EQ(s.Pixel(35, 59), clWhite);
    EXPECT_EQ(s.Pixel(36, 60), clWhite);
    // A closed ring: each row of the box has exactly two runs or one run at the top and bottom.
    EXPECT_EQ(s.Pixel(32, 60), clBlue);
    EXPECT_EQ(s.Pixel(39, 60), clBlue);
    EXPECT_EQ(s.Pixel(36, 56), clBlue);
    EXPECT_EQ(s.Pixel(36, 63), clBlue);
}

TEST(SurfaceEllipse, PenAndBrushTogetherPaintOnlyTheirColours)
{
    TSurface s = White(60, 40);
    s.Pen.Colour = clRed;
    s.Pen.Width = 3;
    s.Brush.Colour = clBlue;
    s.Ellipse(5, 5, 55, 35);
    EXPECT_EQ(Colours(s), (std::set<TColor>{clWhite, clRed, clBlue}));
    EXPECT_EQ(s.Pixel(30, 20), clBlue);
    EXPECT_EQ(s.Pixel(5, 20), clRed);
    EXPECT_EQ(s.Pixel(7, 20), clRed);
    EXPECT_EQ(s.Pixel(8, 20), clBlue);
    for (const auto& [x, y] : Painted(s)) {
        EXPECT_TRUE(x >= 5 && x < 55 && y >= 5 && y < 35) << x << "," << y;
    }
}

// ---------------------------------------------------------------------------
// Text

TEST(SurfaceText, PointsAndHeightsConvertRounded)
{
    EXPECT_EQ(PointsToHeight(10), -13);
    EXPECT_EQ(PointsToHeight(8), -11);
    EXPECT_EQ(PointsToHeight(9), -12);
    EXPECT_EQ(PointsToHeight(12), -16);
    EXPECT_EQ(HeightToPoints(-13), 10);
    EXPECT_EQ(HeightToPoints(-11), 8);
    EXPECT_EQ(HeightToPoints(-14), 11);  // 10.5 rounds away from zero
    EXPECT_EQ(HeightToPoints(-16), 12);
    TFont font;
    font.SetHeight(-16);
    EXPECT_EQ(font.Size, 12);
    EXPECT_EQ(font.Height(), -16);
}

TEST(SurfaceText, FontConvertsWithoutSmoothing)
{
    TFont font;
    font.Face = "Lucinda Console";
    font.Size = 10;
    font.Bold = true;
    font.Italic = true;
    const QFont q = font.ToQFont();
    EXPECT_EQ(q.family(), "Lucinda Console");
    EXPECT_EQ(q.pixelSize(), 13);
    EXPECT_TRUE(q.bold());
    EXPECT_TRUE(q.italic());
    EXPECT_EQ(q.styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);
}

TEST(SurfaceText, ExtentsAreThoseOfTheQtFont)
{
    TSurface s(10, 10);
    s.Font.Size = 12;
    const QFontMetrics metrics(s.Font.ToQFont());
    EXPECT_EQ(s.TextWidth("R12 100k"), metrics.horizontalAdvance("R12 100k"));
    EXPECT_EQ(s.TextHeight("R12 100k"), metrics.height());
    EXPECT_GT(s.TextWidth("R12 100k"), s.TextWidth("R12"));
    EXPECT_EQ(s.TextWidth(""), 0);
    // Single-byte characters: 0xB5 is the micro sign, one character.
    EXPECT_EQ(s.TextWidth("\xB5"), metrics.horizontalAdvance(QString(QChar(0xB5))));
}

TEST(SurfaceText, SolidBrushFillsTheCellAndGlyphsAreTheFontColour)
{
    TSurface s = White(120, 40);
    s.Font.Size = 10;
    s.Font.Colour = clRed;
    s.Brush.Colour = clBlue;
    const QByteArray text = "Hello 42";
    const int w = s.TextWidth(text), h = s.TextHeight(text);
    s.TextOut(10, 5, text);
    int glyphs = 0;
    for (int y = 5; y < 5 + h; ++y)
        for (int x = 10; x < 10 + w; ++x) {
            const TColor c = s.Pixel(x, y);
            EXPECT_TRUE(c == clRed || c == clBlue) << x << "," << y << " " << std::hex << c;
            glyphs += c == clRed;
        }
    EXPECT_GT(glyphs, 20);
    EXPECT_EQ(Colours(s), (std::set<TColor>{clWhite, clRed, clBlue}));
    EXPECT_EQ(s.Pixel(9, 5), clWhite);
    EXPECT_EQ(s.Pixel(10, 4), clWhite);
    EXPECT_EQ(s.Pixel(10 + w, 5 + h - 1), clWhite);
    EXPECT_EQ(s.Pixel(10, 5 + h), clWhite);
}

TEST(SurfaceText, ClearBrushPaintsTheSameGlyphsOnly)
{
    TSurface solid = White(120, 40), clear = White(120, 40);
    for (TSurface* s : {&solid, &clear}) {
        s->Font.Size = 10;
        s->Font.Colour = clRed;
        s->Brush.Colour = clBlue;
    }
    clear.Clear(clGreen);
    clear.Brush.Style = bsClear;
    solid.TextOut(10, 5, "Wired AND");
    clear.TextOut(10, 5, "Wired AND");
    EXPECT_EQ(Colours(clear), (std::set<TColor>{clGreen, clRed}));
    std::set<std::pair<int, int>> solidGlyphs, clearGlyphs;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            if (solid.Pixel(x, y) == clRed) solidGlyphs.insert({x, y});
            if (clear.Pixel(x, y) == clRed) clearGlyphs.insert({x, y});
        }
    EXPECT_FALSE(clearGlyphs.empty());
    EXPECT_EQ(solidGlyphs, clearGlyphs);
}

TEST(SurfaceText, SystemFontColourAndBoldItalicStayExact)
{
    TSurface s = White(160, 40);
    s.Font.Bold = true;
    s.Font.Italic = true;
    s.Font.Size = 14;
    s.Brush.Colour = clGrey;
    s.TextOut(3, 3, "Bold italic");
    EXPECT_EQ(Colours(s), (std::set<TColor>{clWhite, clGrey, RgbToColour(ColourToRgb(clWindowText))}));
}

// ---------------------------------------------------------------------------
// Rasters

TEST(SurfaceDraw, RasterIsCopiedAtItsTopLeftCorner)
{
    TSurface raster(3, 2);
    raster.Clear(clRed);
    raster.SetPixel(1, 1, clWhite);
    TSurface s(8, 8);
    s.Clear(clGreen);
    s.Draw(4, 5, raster);
    EXPECT_EQ(s.Pixel(4, 5), clRed);
    EXPECT_EQ(s.Pixel(6, 6), clRed);
    EXPECT_EQ(s.Pixel(5, 6), clWhite);
    EXPECT_EQ(s.Pixel(3, 5), clGreen);
    EXPECT_EQ(s.Pixel(7, 5), clGreen);
    EXPECT_EQ(Painted(s, clGreen).size(), 6u);
}

TEST(SurfaceDraw, TransparentColourLeavesTheTargetUnchanged)
{
    TSurface raster(3, 3);
    raster.Clear(clWhite);
    raster.SetPixel(1, 1, clBlue);
    raster.SetPixel(0, 2, clRed);
    raster.Transparent = true;
    raster.TransparentColour = clWhite;
    TSurface s(6, 6);
    s.Clear(clGreen);
    s.Draw(2, 2, raster);
    EXPECT_EQ(Painted(s, clGreen), (std::set<std::pair<int, int>>{{3, 3}, {2, 4}}));
    EXPECT_EQ(s.Pixel(3, 3), clBlue);
    EXPECT_EQ(s.Pixel(2, 4), clRed);
}

TEST(SurfaceDraw, RasterHangingOverAnyEdgeIsClipped)
{
    TSurface raster(4, 4);
    raster.Clear(clRed);
    TSurface s = White(5, 5);
    s.Draw(-2, -2, raster);
    s.Draw(3, 3, raster);
    s.Draw(100, -100, raster);
    EXPECT_EQ(Painted(s),
              (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {3, 3}, {4, 3}, {3, 4}, {4, 4}}));
}

TEST(SurfaceDraw, StretchDrawScalesNearestNeighbour)
{
    TSurface raster(2, 1);
    raster.SetPixel(0, 0, clRed);
    raster.SetPixel(1, 0, clBlue);
    TSurface s = White(10, 10);
    s.StretchDraw(QRect(1, 1, 4, 2), raster);
    EXPECT_EQ(s.Pixel(1, 1), clRed);
    EXPECT_EQ(s.Pixel(2, 2), clRed);
    EXPECT_EQ(s.Pixel(3, 1), clBlue);
    EXPECT_EQ(s.Pixel(4, 2), clBlue);
    EXPECT_EQ(Painted(s).size(), 8u);
}

TEST(SurfaceEllipse, DashedOutlineRunsClockwiseFromTheTopMiddleInOneTraversal)
{
    // Dash-dot (9 on, 6 off, 3 on, 6 off) from the top row's middle pixel
    // (12, 1) rightwards and round; the brush is clear.
    TSurface s(24, 14);
    s.Pen = TPen{clBlack, psDashDot, 1, pmCopy};
    s.Brush.Style = bsClear;
    s.Ellipse(1, 1, 23, 13);
    const char* expected[14] = {
        "........................", "............####........", ".....#..........###.....", "...##..............##...",
        "........................", "........................", "........................", "........................",
        "........................", "........................", "...##..............##...", ".....###..........#.....",
        "........####............", "........................",
    };
    for (int y = 0; y < 14; ++y) {
        std::string row;
        for (int x = 0; x < 24; ++x) row += s.Pixel(x, y) == clBlack ? '#' : '.';
        EXPECT_EQ(row, expected[y]) << "row " << y;
    }
}

TEST(SurfaceEllipse, DottedCircleLaysThePatternOnceAroundItsRim)
{
    TSurface solid(50, 50), dotted(50, 50);
    for (TSurface* s : {&solid, &dotted}) {
        s->Brush = TBrush{clRed, bsSolid};
        s->Pen = TPen{clBlack, s == &solid ? psSolid : psDot, 1, pmCopy};
        s->Ellipse(5, 5, 45, 45);
    }
    int rim = 0, on = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) {
            const bool rimPixel = solid.Pixel(x, y) == clBlack;
            rim += rimPixel;
            on += dotted.Pixel(x, y) == clBlack;
            // Gaps leave the rim as it was; the interior is the brush's.
            const TColor expected = rimPixel ? dotted.Pixel(x, y) : solid.Pixel(x, y);
            EXPECT_EQ(dotted.Pixel(x, y), expected) << x << "," << y;
            if (rimPixel) {
                EXPECT_NE(dotted.Pixel(x, y), clRed) << x << "," << y;
            }
        }
    ASSERT_GT(rim, 100);
    EXPECT_EQ(on, rim / 6 * 3 + std::min(rim % 6, 3));
}

TEST(SurfaceText, UnderlineAndStrikeOutAddToTheGlyphsWhileTheFontIsInUse)
{
    const auto draw = [](bool underline, bool strikeOut) {
        TSurface s(80, 30);
        s.Font.Size = 12;
        s.Font.Colour = clBlack;
        s.Font.Underline = underline;
        s.Font.StrikeOut = strikeOut;
        s.Brush.Style = bsClear;
        s.TextOut(4, 4, "Tx");
        return s;
    };
    const TSurface plain = draw(false, false), underlined = draw(true, false), struck = draw(false, true);
    EXPECT_NE(underlined.Image(), plain.Image());
    EXPECT_NE(struck.Image(), plain.Image());
    EXPECT_NE(struck.Image(), underlined.Image());
    // Both only add pixels to the plain glyphs.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x)
            if (plain.Pixel(x, y) != clWhite) {
                EXPECT_EQ(underlined.Pixel(x, y), plain.Pixel(x, y));
                EXPECT_EQ(struck.Pixel(x, y), plain.Pixel(x, y));
            }
    EXPECT_EQ(draw(false, false).Image(), plain.Image());  // plain again after them
}

TEST(SurfaceText, GlyphsStandOnTheFontsBaselineAtTheAscentBelowTheCellTop)
{
    // The same texts drawn by Qt's painter with the baseline at the ascent:
    // a short one, a longer one, one too long for the image a font keeps
    // for its texts, and a short one after it.
    const QByteArray longText = QByteArray("Wjgy|Q_ ").repeated(90);
    for (const QByteArray& text : {QByteArray("Wjgy|Q_"), QByteArray("Wjgy|Q_ Wjgy|Q_"), longText, QByteArray("Wy_")}) {
        TSurface s(4000, 40);
        s.Font.Face = "Arial Narrow";
        s.Font.Size = 16;
        s.Font.Colour = clBlack;
        s.Brush.Style = bsClear;
        s.TextOut(7, 3, text);
        QImage expected(4000, 40, QImage::Format_RGB32);
        expected.fill(Qt::white);
        {
            QPainter painter(&expected);
            painter.setFont(s.Font.ToQFont());
            painter.setPen(Qt::black);
            painter.drawText(QPoint(7, 3 + QFontMetrics(s.Font.ToQFont()).ascent()), QString::fromLatin1(text));
        }
        int glyphs = 0, wrong = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 4000; ++x) {
                const bool ink = qGray(expected.pixel(x, y)) < 128;
                glyphs += ink;
                wrong += s.Pixel(x, y) != (ink ? clBlack : clWhite);
            }
        EXPECT_GT(glyphs, 50) << text.size() << " characters";
        EXPECT_EQ(wrong, 0) << text.size() << " characters";
    }
}

TEST(SurfaceText, ATextTooLargeForAnyScratchImageDrawsNothing)
{
    // Its glyphs would be drawn on an image of billions of pixels, which
    // cannot be had: the text is left out (it used to be read from no image).
    TSurface s = White(200, 50);
    s.Font.Size = 3000;
    s.Brush.Style = bsClear;
    const QByteArray text(200, 'W');
    // (Where the system hands out such an image, as with memory overcommitted
    // at any cost, there is nothing to show.)
    const int height = s.TextHeight(text);
    if (!QImage(s.TextWidth(text) + 2 * height, 3 * height, QImage::Format_RGB32).isNull())
        GTEST_SKIP() << "an image of that size can be had here";
    s.TextOut(0, 0, text);
    EXPECT_EQ(Colours(s), std::set<TColor>{clWhite});
}
