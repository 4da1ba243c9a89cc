// A raster kept as its pixel runs draws exactly what the raster draws, and the
// half-size 2 x 2 sampling of the preview.

#include <gtest/gtest.h>

#include <QRect>
#include <array>
#include <vector>

#include "app/Surface.h"

namespace {

// A 9 x 6 raster: a background of the transparent colour with a few runs of
// other colours, one of them reaching each edge.
TSurface Sample(bool transparent)
{
    TSurface raster(9, 6);
    raster.Clear(0xF0CAA6);
    raster.Transparent = transparent;
    raster.TransparentColour = 0xF0CAA6;
    for (int x = 0; x < 9; ++x) raster.SetPixel(x, 0, clBlue);
    for (int y = 0; y < 6; ++y) raster.SetPixel(8, y, clRed);
    raster.SetPixel(0, 5, 0x00FF00);
    raster.SetPixel(3, 2, clBlack);
    raster.SetPixel(4, 2, clBlack);
    raster.SetPixel(5, 2, clWhite);
    return raster;
}

TSurface Target()
{
    TSurface target(20, 12);
    target.Clear(0x808080);
    target.SetPixel(5, 5, 0x123456);
    return target;
}

}  // namespace

TEST(SurfaceRuns, RunsDrawWhatTheRasterDrawsAtEveryPlaceAndEdge)
{
    for (bool transparent : {true, false}) {
        const TSurface raster = Sample(transparent);
        const TRasterRuns runs(raster);
        EXPECT_EQ(runs.Width(), 9);
        EXPECT_EQ(runs.Height(), 6);
        for (const QPoint at : {QPoint(3, 4), QPoint(-4, -3), QPoint(15, 8), QPoint(-8, 11), QPoint(19, -5),
                                QPoint(40, 2), QPoint(0, 0), QPoint(11, 6)}) {
            TSurface expected = Target(), actual = Target();
            expected.Draw(at.x(), at.y(), raster);
            actual.DrawRuns(runs, at.x(), at.y());
            EXPECT_TRUE(actual.Image() == expected.Image())
                << "at (" << at.x() << ", " << at.y() << ")" << (transparent ? " transparent" : " opaque");
        }
    }
    EXPECT_EQ(TRasterRuns(Sample(true)).RunCount(), 1u + 6 + 1 + 1 + 1);  // top row, right column, green, black, white
}

TEST(SurfaceRuns, RunsLongerThanAKeptRunDrawAndReadBackWhole)
{
    // 256 wide: the end of row 0 and the start of row 1 are next to each
    // other in the runs' places, and must stay two runs.
    TSurface raster(256, 3);
    raster.Clear(clWhite);
    raster.Transparent = true;
    for (int x = 1; x < 256; ++x) raster.SetPixel(x, 0, clBlack);
    for (int x = 0; x < 256; ++x) raster.SetPixel(x, 1, clBlack);
    for (int x = 10; x < 30; ++x) raster.SetPixel(x, 2, clRed);
    const TRasterRuns runs(raster);
    std::vector<std::array<int, 4>> read;
    runs.ForEachRun([&](int y, int x, int length, QRgb colour) {
        read.push_back({y, x, length, int(colour & 0xFFFFFF)});
    });
    const std::vector<std::array<int, 4>> expected{{0, 1, 255, 0}, {1, 0, 256, 0}, {2, 10, 20, 0xFF0000}};
    EXPECT_EQ(read, expected);
    for (const QPoint at : {QPoint(0, 0), QPoint(-200, 1), QPoint(100, -1)}) {
        TSurface want(300, 6), got(300, 6);
        want.Clear(0x808080);
        got.Clear(0x808080);
        want.Draw(at.x(), at.y(), raster);
        got.DrawRuns(runs, at.x(), at.y());
        EXPECT_TRUE(got.Image() == want.Image()) << at.x() << ", " << at.y();
    }
}

TEST(SurfaceRuns, FillPaintsTheRunPixelsInOneColourInsideTheClipOnly)
{
    const TRasterRuns runs(Sample(true));
    TSurface target = Target();
    target.FillRuns(runs, 2, 3, 0xFF00FF, QRect(2, 3, 5, 2));  // the raster's columns 0..4 of rows 0 and 1
    for (int y = 0; y < target.Height(); ++y) {
        for (int x = 0; x < target.Width(); ++x) {
            const bool painted = y == 3 && x >= 2 && x <= 6;
            const TColor before = x == 5 && y == 5 ? 0x123456 : 0x808080;
            EXPECT_EQ(target.Pixel(x, y), painted ? TColor(0xFF00FF) : before) << x << ", " << y;
        }
    }
}

TEST(SurfaceRuns, HalfSampleTakesTheLastPixelOfEachBlockThatIsNotSkipped)
{
    TSurface page(7, 5);  // odd: the last column and row have no preview pixel
    page.Clear(clWhite);
    page.SetPixel(1, 0, clBlack);  // block (0, 0): only (x + 1, y) black
    page.SetPixel(2, 0, clRed);    // block (1, 0): (x, y) red, (x + 1, y + 1) black
    page.SetPixel(3, 1, clBlack);
    page.SetPixel(4, 3, clBlue);  // block (2, 1): (x, y + 1) blue, (x + 1, y) green
    page.SetPixel(5, 2, 0x00FF00);
    page.SetPixel(6, 4, clRed);  // outside every block

    const TSurface half = page.HalfSample(clWhite);
    ASSERT_EQ(half.Width(), 3);
    ASSERT_EQ(half.Height(), 2);
    EXPECT_EQ(half.Pixel(0, 0), clBlack);
    EXPECT_EQ(half.Pixel(1, 0), clBlack);
    EXPECT_EQ(half.Pixel(2, 1), TColor(0x00FF00));
    EXPECT_EQ(half.Pixel(2, 0), clWhite);
    EXPECT_EQ(half.Pixel(0, 1), clWhite);

    // A page of another colour is copied wherever it is not the skipped one.
    page.Clear(0x00FFFF);
    EXPECT_EQ(page.HalfSample(clWhite).Pixel(1, 1), TColor(0x00FFFF));
    EXPECT_EQ(page.HalfSample(0x00FFFF).Pixel(1, 1), clWhite);
}

TEST(SurfaceRuns, HalfSampleOfAWidePageFollowsTheRuleInEveryBlock)
{
    // Wide enough for several preview pixels at a time, with some left over.
    TSurface page(43, 9);
    const TColor colours[] = {clWhite, clWhite, clBlack, clRed, 0x00FFFF, 0xFFFFFE};  // near-white is not white
    unsigned state = 7;
    for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < page.Width(); ++x) {
            state = state * 1103515245u + 12345u;
            page.SetPixel(x, y, colours[(state >> 16) % 6]);
        }
    const TSurface half = page.HalfSample(clWhite);
    ASSERT_EQ(half.Width(), 21);
    ASSERT_EQ(half.Height(), 4);
    for (int py = 0; py < half.Height(); ++py)
        for (int px = 0; px < half.Width(); ++px) {
            TColor expected = clWhite;
            for (const QPoint p : {QPoint(2 * px, 2 * py), QPoint(2 * px, 2 * py + 1), QPoint(2 * px + 1, 2 * py),
                                   QPoint(2 * px + 1, 2 * py + 1)})
                if (page.Pixel(p.x(), p.y()) != clWhite) expected = page.Pixel(p.x(), p.y());
            EXPECT_EQ(half.Pixel(px, py), expected) << px << ", " << py;
        }
}
