#include <gtest/gtest.h>

#include "app/Surface.h"

TEST(Surface, NewSurfaceIsWhite)
{
    TSurface s(4, 3);
    EXPECT_EQ(s.Width(), 4);
    EXPECT_EQ(s.Pixel(3, 2), clWhite);
}
