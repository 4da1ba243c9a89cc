// Area-averaged reduction of a page: one-pixel lines stay visible at every
// reduction, with the grey levels of the page area each pixel covers.
#include <gtest/gtest.h>

#include <QStringList>
#include <cmath>

#include "render/Areareduction.h"

namespace {
// A white page with eight one-pixel black lines, one at each place of the
// grid of 4 and of 3 page pixels (x = 8, 33, 58, ... 183), running down the
// page, or across it when `across`.
QImage SteppedLines(bool across)
{
    QImage page(200, 200, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int k = 0; k < 8; ++k)
        for (int t = 0; t < 200; ++t) page.setPixel(across ? t : 8 + 25 * k, across ? 8 + 25 * k : t, qRgb(0, 0, 0));
    return page;
}

// The grey pixels across one line of the reduction (a row of the lines that
// run down, a column of those that run across), as "index:level".
QStringList Greys(const QImage& reduced, bool across, int at)
{
    QStringList greys;
    const int length = across ? reduced.height() : reduced.width();
    for (int i = 0; i < length; ++i) {
        const QRgb p = across ? reduced.pixel(at, i) : reduced.pixel(i, at);
        EXPECT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)) << i;
        if (qRed(p) != 255) greys << QStringLiteral("%1:%2").arg(i).arg(qRed(p));
    }
    return greys;
}
}  // namespace

TEST(AreaReduction, SteppedOnePixelLinesStayVisibleWithTheGreyOfTheAreaTheyCover)
{
    const struct {
        int zoom;           // in hundredths of a percent
        QStringList greys;  // empty: not listed, only checked for ink
    } cases[] = {
        // A line inside a target pixel of 4/3 page pixels leaves 1/4 white: 64; one
        // cut into 1/3 and 2/3 of a page pixel leaves 3/4 and 1/2 white: 191, 128.
        {7500,
         {"6:64", "24:191", "25:128", "43:128", "44:191", "62:64", "81:64", "99:191", "100:128", "118:128", "119:191",
          "137:64"}},
        {5000, {"4:128", "16:128", "29:128", "41:128", "54:128", "66:128", "79:128", "91:128"}},
        {3300, {}},
        {2500, {"2:191", "8:191", "14:191", "20:191", "27:191", "33:191", "39:191", "45:191"}},
    };
    for (bool across : {false, true}) {
        const QImage page = SteppedLines(across);
        for (const auto& c : cases) {
            const int size = int(std::ceil(200 * c.zoom / 10000.0));
            const QImage reduced = ReduceByArea(page, QSize(size, size), {c.zoom, 10000}, {c.zoom, 10000});
            ASSERT_EQ(reduced.size(), QSize(size, size));
            const QStringList greys = Greys(reduced, across, size / 2);
            if (!c.greys.isEmpty()) {
                EXPECT_EQ(greys, c.greys) << c.zoom << (across ? " across" : " down");
            }
            // Every line shows, however it falls on the pixels: the ink of each
            // is its page area (one pixel wide, scaled) within rounding.
            double ink = 0;
            for (const QString& grey : greys) ink += 255 - grey.section(':', 1).toInt();
            EXPECT_NEAR(ink, 8 * 255 * c.zoom / 10000.0, 0.5 * greys.size()) << c.zoom;
            for (int k = 0; k < 8; ++k) {
                const int at = (8 + 25 * k) * c.zoom / 10000;
                bool shown = false;
                for (int i = std::max(0, at - 1); i <= std::min(size - 1, at + 1); ++i)
                    shown |= qRed(across ? reduced.pixel(size / 2, i) : reduced.pixel(i, size / 2)) <= 213;
                EXPECT_TRUE(shown) << "line " << k << " at " << c.zoom;
            }
        }
    }
}

TEST(AreaReduction, EdgePixelsAverageOnlyThePageTheyCoverAndColoursStaySeparate)
{
    // A 7-pixel black page at half size: the last of its 4 pixels covers only
    // page pixel 6, so it is black, not half white.
    QImage black(7, 1, QImage::Format_RGB32);
    black.fill(Qt::black);
    const QImage half = ReduceByArea(black, QSize(4, 1), {1, 2}, {1, 2});
    for (int i = 0; i < 4; ++i) EXPECT_EQ(half.pixel(i, 0), qRgb(0, 0, 0)) << i;

    // Reduced to a size: 3 pixels to 2, each covering 1.5 page pixels. A red
    // pixel, then white: (255, 85, 85) and white.
    QImage row(3, 2, QImage::Format_RGB32);
    row.fill(Qt::white);
    row.setPixel(0, 0, qRgb(255, 0, 0));
    row.setPixel(0, 1, qRgb(255, 0, 0));
    const QImage two = ReduceByArea(row, QSize(2, 1));
    EXPECT_EQ(two.pixel(0, 0), qRgb(255, 85, 85));
    EXPECT_EQ(two.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(two.format(), QImage::Format_RGB32);
    EXPECT_TRUE(ReduceByArea(row, QSize(0, 5)).isNull());
}
