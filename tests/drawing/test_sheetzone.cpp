// Designations in natural order, and the sheet zone of a point: shared by the
// bill of materials, the find bar, the zone readout and the comparison.
#include <gtest/gtest.h>

#include <QByteArrayList>
#include <algorithm>

#include "drawing/Header.h"
#include "drawing/Naturalorder.h"

TEST(NaturalOrder, DesignationsSortByTheirNumbers)
{
    QByteArrayList names{"R10", "r2", "C1", "R2", "U777", "R02", "U77", "R", "", "IC3B", "IC3A", "R1.5", "R1.10"};
    std::sort(names.begin(), names.end(), NaturalLess);
    const QByteArrayList expected{"",    "C1", "IC3A", "IC3B", "R",   "R1.5", "R1.10",
                                  "R02", "R2", "r2",   "R10",  "U77", "U777"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(NaturalCompare("R7", "R7"), 0);
}

TEST(SheetZone, ZonesChangeExactlyAtTheFrameTicks)
{
    // A4: ticks every 276 pixels across (labels 1..4) and 180 down (A..D).
    const QSize a4(1110, 720);
    EXPECT_EQ(SheetZone({0, 0}, a4), "A1");
    EXPECT_EQ(SheetZone({275, 179}, a4), "A1");
    EXPECT_EQ(SheetZone({276, 180}, a4), "B2");
    EXPECT_EQ(SheetZone({828, 540}, a4), "D4");
    // Beyond the last tick (1104, 720) the zone stays the last one.
    EXPECT_EQ(SheetZone({1109, 719}, a4), "D4");
    EXPECT_EQ(SheetZone({60000, 60000}, a4), "D4");
    // A page too small for zones.
    EXPECT_EQ(SheetZone({5, 5}, QSize(7, 7)), "A1");
    EXPECT_EQ(SheetZone({5, 5}, QSize(0, 0)), "A1");
}
