#include "platform/gdi/Region.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

using namespace platform;

namespace {

// A small pixel set as a bitmap: the reference the banded regions are checked against.
constexpr int kArea = 24;

struct Mask
{
    std::vector<bool> arrBits = std::vector<bool>(kArea * kArea, false);

    bool Get(int x, int y) const { return arrBits[static_cast<size_t>(y * kArea + x)]; }
    void Set(int x, int y, bool b) { arrBits[static_cast<size_t>(y * kArea + x)] = b; }
    void Add(const Rect& rc)
    {
        for (int y = std::max(rc.top, 0); y < std::min(rc.bottom, kArea); ++y)
            for (int x = std::max(rc.left, 0); x < std::min(rc.right, kArea); ++x)
                Set(x, y, true);
    }
};

Mask MaskOf(const std::vector<Rect>& arrRects)
{
    Mask mask;
    for (const Rect& rc : arrRects)
        mask.Add(rc);
    return mask;
}

// Checks the banded form: rectangles non-empty, bands with one top and bottom, runs left to right
// that neither touch nor overlap, bands in order without overlap, and bands that meet with the same
// runs merged.
void ExpectBanded(const Region& region)
{
    const std::vector<Rect>& arrRects = region.GetRects();
    std::vector<std::pair<size_t, size_t>> arrBands;
    for (size_t i = 0; i < arrRects.size(); ++i) {
        ASSERT_FALSE(arrRects[i].IsEmpty());
        if (i > 0 && arrRects[i].top == arrRects[i - 1].top) {
            ASSERT_EQ(arrRects[i].bottom, arrRects[i - 1].bottom) << "rect " << i;
            ASSERT_GT(arrRects[i].left, arrRects[i - 1].right) << "runs touch or overlap at rect " << i;
            arrBands.back().second = i + 1;
        } else {
            if (i > 0) {
                ASSERT_GE(arrRects[i].top, arrRects[i - 1].bottom) << "bands overlap at rect " << i;
            }
            arrBands.push_back({i, i + 1});
        }
    }
    for (size_t b = 1; b < arrBands.size(); ++b) {
        const auto [nPrevBegin, nPrevEnd] = arrBands[b - 1];
        const auto [nBegin, nEnd] = arrBands[b];
        if (arrRects[nPrevBegin].bottom != arrRects[nBegin].top || nPrevEnd - nPrevBegin != nEnd - nBegin)
            continue;
        bool bSameRuns = true;
        for (size_t k = 0; k < nEnd - nBegin; ++k)
            bSameRuns = bSameRuns && arrRects[nPrevBegin + k].left == arrRects[nBegin + k].left &&
                        arrRects[nPrevBegin + k].right == arrRects[nBegin + k].right;
        EXPECT_FALSE(bSameRuns) << "bands " << b - 1 << " and " << b << " should have been merged";
    }
}

// Every pixel of the area (and a border around it) is in the region exactly when it is in the mask,
// both by Contains and by the rectangle list.
void ExpectCovers(const Region& region, const Mask& mask)
{
    const Mask fromRects = MaskOf(region.GetRects());
    for (int y = -2; y < kArea + 2; ++y) {
        for (int x = -2; x < kArea + 2; ++x) {
            const bool bExpected = x >= 0 && y >= 0 && x < kArea && y < kArea && mask.Get(x, y);
            ASSERT_EQ(region.Contains(x, y), bExpected) << "Contains(" << x << ", " << y << ")";
            if (x >= 0 && y >= 0 && x < kArea && y < kArea) {
                ASSERT_EQ(fromRects.Get(x, y), bExpected) << "rects at (" << x << ", " << y << ")";
            }
        }
    }
}

std::vector<Rect> RandomRects(std::mt19937& random, int nCount)
{
    std::uniform_int_distribution<int> coord(0, kArea);
    std::vector<Rect> arrRects;
    for (int i = 0; i < nCount; ++i) {
        int l = coord(random), r = coord(random), t = coord(random), b = coord(random);
        // Some come out empty or inverted on purpose: they must be ignored.
        arrRects.push_back({l, t, r, b});
    }
    return arrRects;
}

} // namespace

TEST(RegionTest, ContainsThePixelsOfItsRectanglesOnly)
{
    const std::vector<Rect> arrRects = {{2, 2, 6, 5}, {10, 0, 12, 24}, {4, 4, 8, 8}, {0, 20, 3, 21}};
    const Region region = Region::FromRects(arrRects);
    ExpectBanded(region);
    ExpectCovers(region, MaskOf(arrRects));
    EXPECT_EQ(region.GetBox(), (Rect{0, 0, 12, 24}));
}

TEST(RegionTest, OrOfOverlappingRectanglesGivesBandedRectanglesCoveringTheSamePixels)
{
    const Rect a{2, 2, 12, 12};
    const Rect b{6, 8, 20, 16};
    const Region region = Region::Combine(Region(a), Region(b), RegionOp::Or);
    ExpectBanded(region);
    ExpectCovers(region, MaskOf({a, b}));
    // Three bands: a alone, both side by side (merged into one run), b alone.
    const std::vector<Rect> expected = {{2, 2, 12, 8}, {2, 8, 20, 12}, {6, 12, 20, 16}};
    EXPECT_EQ(region.GetRects(), expected);
}

TEST(RegionTest, EveryOperationMatchesPixelArithmetic)
{
    struct Case
    {
        RegionOp op;
        const char* pszName;
        bool (*pfnApply)(bool, bool);
    };
    const Case cases[] = {
        {RegionOp::Or, "Or", [](bool a, bool b) { return a || b; }},
        {RegionOp::And, "And", [](bool a, bool b) { return a && b; }},
        {RegionOp::Diff, "Diff", [](bool a, bool b) { return a && !b; }},
        {RegionOp::Xor, "Xor", [](bool a, bool b) { return a != b; }},
    };
    std::mt19937 random(20240611);
    for (int nRound = 0; nRound < 150; ++nRound) {
        const std::vector<Rect> arrA = RandomRects(random, 1 + nRound % 7);
        const std::vector<Rect> arrB = RandomRects(random, 1 + nRound % 5);
        const Region a = Region::FromRects(arrA);
        const Region b = Region::FromRects(arrB);
        const Mask maskA = MaskOf(arrA);
        const Mask maskB = MaskOf(arrB);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.pszName << " round " << nRound);
            const Region result = Region::Combine(a, b, c.op);
            Mask expected;
            for (int y = 0; y < kArea; ++y)
                for (int x = 0; x < kArea; ++x)
                    expected.Set(x, y, c.pfnApply(maskA.Get(x, y), maskB.Get(x, y)));
            ASSERT_NO_FATAL_FAILURE(ExpectBanded(result));
            ASSERT_NO_FATAL_FAILURE(ExpectCovers(result, expected));
        }
    }
}

TEST(RegionTest, SamePixelsGiveEqualRegionsHoweverBuilt)
{
    // An L shape from two overlapping rectangles, from disjoint pieces, and from single rows.
    const Region fromTwo = Region::FromRects(std::vector<Rect>{{0, 0, 4, 10}, {0, 6, 10, 10}});
    const Region fromPieces = Region::Combine(Region({0, 0, 4, 6}), Region({0, 6, 10, 10}), RegionOp::Or);
    std::vector<Rect> arrRows;
    for (int y = 9; y >= 0; --y)
        arrRows.push_back(y < 6 ? Rect{0, y, 4, y + 1} : Rect{0, y, 10, y + 1});
    EXPECT_EQ(fromTwo, fromPieces);
    EXPECT_EQ(fromTwo, Region::FromRects(arrRows));
    EXPECT_EQ(fromTwo.GetRects().size(), 2u);
}

TEST(RegionTest, RowRunsCombinedInBatchesRebuildAMask)
{
    // The way a window shape is made from a keyed picture: per row the runs of opaque pixels,
    // handed over in batches and OR-ed together.
    Mask mask;
    for (int y = 0; y < kArea; ++y)
        for (int x = 0; x < kArea; ++x)
            mask.Set(x, y, ((x - 12) * (x - 12) + (y - 12) * (y - 12) < 100) || (x % 7 == 3 && y > 4));
    Region region;
    std::vector<Rect> arrBatch;
    for (int y = 0; y < kArea; ++y) {
        for (int x = 0; x < kArea;) {
            if (!mask.Get(x, y)) {
                ++x;
                continue;
            }
            const int nStart = x;
            while (x < kArea && mask.Get(x, y))
                ++x;
            arrBatch.push_back({nStart, y, x, y + 1});
            if (arrBatch.size() == 5) {
                region.CombineWith(Region::FromRects(arrBatch), RegionOp::Or);
                arrBatch.clear();
            }
        }
    }
    region.CombineWith(Region::FromRects(arrBatch), RegionOp::Or);
    ExpectBanded(region);
    ExpectCovers(region, mask);
}

TEST(RegionTest, OffsetMovesEveryRectangleAndTheBox)
{
    Region region = Region::FromRects(std::vector<Rect>{{0, 0, 2, 2}, {4, 1, 6, 3}});
    region.Offset(10, -5);
    const std::vector<Rect> expected = {
        {10, -5, 12, -4}, {10, -4, 12, -3}, {14, -4, 16, -3}, {14, -3, 16, -2}};
    EXPECT_EQ(region.GetRects(), expected);
    EXPECT_EQ(region.GetBox(), (Rect{10, -5, 16, -2}));
    EXPECT_TRUE(region.Contains(15, -3));
    EXPECT_FALSE(region.Contains(1, 1));
}

TEST(RegionTest, EmptyInputsGiveEmptyResults)
{
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_TRUE(Region(Rect{5, 5, 5, 10}).IsEmpty());
    EXPECT_TRUE(Region::FromRects(std::vector<Rect>{{3, 3, 1, 9}, {0, 4, 10, 4}}).IsEmpty());
    EXPECT_TRUE(Region::FromRects({}).IsEmpty());
    EXPECT_EQ(Region().GetBox(), Rect{});
    EXPECT_FALSE(Region().Contains(0, 0));

    const Region square(Rect{0, 0, 4, 4});
    EXPECT_EQ(Region::Combine(square, Region(), RegionOp::Or), square);
    EXPECT_EQ(Region::Combine(Region(), square, RegionOp::Or), square);
    EXPECT_TRUE(Region::Combine(square, Region(), RegionOp::And).IsEmpty());
    EXPECT_EQ(Region::Combine(square, Region(), RegionOp::Diff), square);
    EXPECT_TRUE(Region::Combine(square, square, RegionOp::Diff).IsEmpty());
    EXPECT_TRUE(Region::Combine(square, square, RegionOp::Xor).IsEmpty());
}

TEST(RegionTest, ExtremeCoordinatesDoNotOverflow)
{
    const Rect whole{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    const Region region = Region::Combine(Region(whole), Region({0, 0, 10, 10}), RegionOp::Diff);
    EXPECT_TRUE(region.Contains(INT_MIN, INT_MIN));
    EXPECT_TRUE(region.Contains(INT_MAX - 1, 5));
    EXPECT_FALSE(region.Contains(5, 5));
    EXPECT_EQ(region.GetBox(), whole);
    ExpectBanded(region);

    // Edges at the very end of the range are real edges, not the end of the list.
    const Region right =
        Region::Combine(Region({INT_MAX - 4, 0, INT_MAX, 4}), Region({0, 2, 4, 6}), RegionOp::Or);
    EXPECT_TRUE(right.Contains(INT_MAX - 1, 1));
    EXPECT_TRUE(right.Contains(INT_MAX - 1, 3));
    EXPECT_TRUE(right.Contains(0, 5));
    ExpectBanded(right);
}
