#include "platform/gdi/Geometry.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(GeometryTest, RectOperationsFollowExclusiveEdges)
{
    const Rect a{0, 0, 10, 10};
    const Rect b{5, 5, 15, 20};
    EXPECT_EQ(Rect::Intersect(a, b), (Rect{5, 5, 10, 10}));
    EXPECT_EQ(Rect::Intersect(a, {10, 0, 20, 10}), Rect{}) << "edges that only touch do not intersect";
    EXPECT_EQ(Rect::Union(a, b), (Rect{0, 0, 15, 20}));
    EXPECT_EQ(Rect::Union(a, {50, 50, 40, 60}), a) << "an empty side does not count";
    EXPECT_TRUE(a.Contains(0, 0));
    EXPECT_FALSE(a.Contains(10, 5));
    EXPECT_FALSE(a.Contains(5, 10));
    Rect c = a;
    c.Offset(3, -2);
    c.Inflate(1, 2);
    EXPECT_EQ(c, (Rect{2, -4, 14, 10}));
    EXPECT_EQ(c.Width(), 12);
    EXPECT_TRUE((Rect{5, 5, 5, 9}).IsEmpty());
    EXPECT_TRUE((Rect{5, 5, 4, 9}).IsEmpty());
}

TEST(GeometryTest, ColorrefIsRedInTheLowByte)
{
    EXPECT_EQ(Rgb(0xFF, 0x00, 0xFF), 0xFF00FFu);
    EXPECT_EQ(Rgb(0xFF, 0x00, 0xE6), 0xE600FFu);
    EXPECT_EQ(GetR(0xB6FFFF), 0xFF);
    EXPECT_EQ(GetG(0xB6FFFF), 0xFF);
    EXPECT_EQ(GetB(0xB6FFFF), 0xB6);
    EXPECT_EQ(ColorToPixel(0xE600FF), 0xFFFF00E6u);
    EXPECT_EQ(PixelToColor(0x12FF00E6), 0xE600FFu);
}
