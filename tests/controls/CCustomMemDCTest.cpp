#include "controls/CCustomMemDC.h"

#include "platform/gdi/MemoryCanvas.h"

#include <gtest/gtest.h>

namespace {

using platform::MemoryCanvas;
using platform::Rect;
using platform::Rgb;

constexpr platform::COLORREF kPaper = Rgb(200, 200, 200);
constexpr platform::COLORREF kInk = Rgb(255, 0, 0);

// A target whose logical origin is moved, as a child window's canvas is inside its top-level.
MemoryCanvas Target()
{
    MemoryCanvas target(60, 40);
    target.FillSolidRect({0, 0, 60, 40}, kPaper);
    target.SetOrigin({5, 3});
    return target;
}

TEST(CCustomMemDCTest, PaintReachesTargetOnlyWhenDone)
{
    MemoryCanvas target = Target();
    const Rect rc{10, 5, 30, 25};
    {
        CCustomMemDC dc(&target, &rc);
        EXPECT_EQ(dc.GetSurface()->GetSize(), rc.GetSize());
        dc.FillSolidRect({12, 6, 14, 8}, kInk); // the target's logical coordinates
        dc.FillSolidRect({0, 0, 60, 40}, kInk); // beyond the rectangle: not copied
        EXPECT_EQ(target.GetPixel(12, 6), kPaper) << "nothing reaches the target before the end";
    }
    EXPECT_EQ(target.GetPixel(12, 6), kInk);
    EXPECT_EQ(target.GetPixel(29, 24), kInk);
    EXPECT_EQ(target.GetPixel(9, 5), kPaper);
    EXPECT_EQ(target.GetPixel(30, 24), kPaper);
    EXPECT_EQ(target.GetPixel(12, 25), kPaper);
}

TEST(CCustomMemDCTest, CopiesBackgroundWhenAsked)
{
    for (bool bCopy : {false, true}) {
        MemoryCanvas target = Target();
        target.SetPixel(15, 10, Rgb(0, 0, 255));
        const Rect rc{10, 5, 30, 25};
        {
            CCustomMemDC dc(&target, &rc, bCopy);
            EXPECT_EQ(dc.GetPixel(15, 10), bCopy ? Rgb(0, 0, 255) : Rgb(0, 0, 0));
            dc.SetPixel(20, 20, kInk);
        }
        EXPECT_EQ(target.GetPixel(20, 20), kInk);
        // Without the copy the untouched pixels come back as the new bitmap's black.
        EXPECT_EQ(target.GetPixel(15, 10), bCopy ? Rgb(0, 0, 255) : Rgb(0, 0, 0)) << "copy " << bCopy;
        EXPECT_EQ(target.GetPixel(9, 10), kPaper);
    }
}

TEST(CCustomMemDCTest, CoversTargetClipWithoutRectangle)
{
    MemoryCanvas target = Target();
    target.IntersectClipRect({20, 10, 40, 20});
    {
        CCustomMemDC dc(&target, nullptr, true);
        EXPECT_EQ(dc.GetRect(), (Rect{20, 10, 40, 20}));
        // A paint that moves the origin and narrows the clip does not move the copy.
        dc.OffsetOrigin(7, 7);
        dc.IntersectClipRect({13, 3, 14, 4});
        dc.FillSolidRect({13, 3, 33, 13}, kInk); // (20, 10)..(40, 20) once offset, clipped to one pixel
    }
    target.SetClipRect(target.GetSurface()->GetBounds());
    EXPECT_EQ(target.GetPixel(20, 10), kInk);
    EXPECT_EQ(target.GetPixel(21, 10), kPaper);
    EXPECT_EQ(target.GetPixel(19, 10), kPaper);
}

TEST(CCustomMemDCTest, EmptyRectangleOrNoTargetDrawsNothing)
{
    MemoryCanvas target = Target();
    const Rect rcEmpty{10, 10, 10, 20};
    {
        CCustomMemDC dc(&target, &rcEmpty);
        EXPECT_TRUE(dc.IsNull());
        dc.FillSolidRect({0, 0, 60, 40}, kInk);
    }
    {
        CCustomMemDC dc(nullptr);
        dc.FillSolidRect({0, 0, 60, 40}, kInk);
    }
    EXPECT_EQ(target.GetPixel(10, 10), kPaper);
}

} // namespace
