#include "controls/DrawingHelpers.h"

#include "platform/gdi/MemoryCanvas.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using platform::Image;
using platform::MemoryCanvas;
using platform::Rect;
using platform::Region;

// --- DrawWrappedText ---

// Widths by character, so the cases can be worked out by hand: 'x' 15, blank 10, others 10.
int FakeWidth(std::wstring_view text)
{
    int nWidth = 0;
    for (wchar_t ch : text)
        nWidth += ch == L'x' ? 15 : 10;
    return nWidth;
}

TEST(DrawingHelpersTest, SplitsIntoFixedNumberOfLines)
{
    struct Case
    {
        const char* pszName;
        std::wstring strText;
        uint16_t nBox;
        std::vector<std::wstring> arrLines;
    };
    const Case arrCases[] = {
        {"narrower than the box: one line", L"ab cd", 60, {L"ab cd"}},
        {"as wide as the box: two lines, the first up to its last blank", L"ab cd", 50, {L"ab", L"cd"}},
        {"a word wider than the box breaks at the overflowing character",
         L"abcdefghij",
         40,
         {L"abc", L"def", L"ghij"}},
        {"a blank at the start does not count", L" abcdefg", 40, {L" ab", L"cde", L"fg"}},
        {"the last line takes all that is left, however wide", L"ab cdefgh", 50, {L"ab", L"cdefgh"}},
        // 155 wide in a box of 50: four lines, though three would do. Before the last line the
        // rest ("xxx", 45) is narrower than the box and still loses its last character.
        {"a narrower rest is still split before the last line",
         L"xxx xxx xxx",
         50,
         {L"xxx", L"xxx", L"xx", L"x"}},
        {"empty text", L"", 50, {L""}},
    };
    for (const Case& c : arrCases)
        EXPECT_EQ(SplitWrappedText(c.strText, c.nBox, FakeWidth), c.arrLines) << c.pszName;
}

class DrawWrappedTextTest : public ::testing::Test
{
protected:
    static constexpr int kWidth = 240;
    static constexpr int kHeight = 120;
    static constexpr platform::COLORREF kInk = platform::Rgb(10, 20, 200);

    void SetUp() override
    {
        m_font = platform::Font::Create({L"DejaVu Sans", -12});
        ASSERT_FALSE(m_font.IsNull());
    }

    // The text drawn by hand where each line is expected: (x offset, line) pairs.
    platform::Surface Expected(const std::vector<std::pair<int, std::wstring>>& arrLines, int nLeft, int nTop,
                               int nBox, int nLineHeight)
    {
        MemoryCanvas dc(kWidth, kHeight, 0xFFFFFFFF);
        dc.SelectFont(m_font);
        dc.SetBkMode(platform::BackgroundMode::Transparent);
        dc.SetTextColor(kInk);
        for (size_t i = 0; i < arrLines.size(); ++i) {
            const int nLine = static_cast<int>(i);
            Rect rc{nLeft + arrLines[i].first, nTop + nLine * nLineHeight, nLeft + arrLines[i].first + nBox,
                    nTop + (nLine + 1) * nLineHeight};
            dc.DrawText(arrLines[i].second, rc, 0);
        }
        return *dc.GetSurface();
    }

    platform::Surface Drawn(const std::wstring& strText, int nLeft, int nTop, uint16_t nBox, uint16_t nGap,
                            int nAlign)
    {
        MemoryCanvas dc(kWidth, kHeight, 0xFFFFFFFF);
        DrawWrappedText(dc, strText, nBox, m_font, nLeft, nTop, nGap, kInk, nAlign);
        EXPECT_EQ(dc.GetFont(), m_font);
        EXPECT_EQ(dc.GetBkMode(), platform::BackgroundMode::Transparent);
        EXPECT_EQ(dc.GetTextColor(), kInk);
        return *dc.GetSurface();
    }

    int Width(const std::wstring& strText) const { return m_font.GetTextWidth(strText); }

    platform::Font m_font;
};

bool SamePixels(const platform::Surface& a, const platform::Surface& b)
{
    return std::equal(a.GetBits().begin(), a.GetBits().end(), b.GetBits().begin(), b.GetBits().end());
}

bool HasInk(const platform::Surface& surface)
{
    for (uint32_t nPixel : surface.GetBits())
        if (nPixel != 0xFFFFFFFF)
            return true;
    return false;
}

TEST_F(DrawWrappedTextTest, AlignsOneLineInTheBox)
{
    const std::wstring strText = L"Play now";
    const int nBox = 150;
    const int nSpare = nBox - Width(strText);
    ASSERT_GT(nSpare, 10);
    const std::pair<int, int> arrCases[] = {{-1, 0}, {0, nSpare / 2}, {1, nSpare}};
    for (const auto& [nAlign, nOffset] : arrCases) {
        const platform::Surface drawn = Drawn(strText, 20, 10, nBox, 4, nAlign);
        EXPECT_TRUE(HasInk(drawn));
        EXPECT_TRUE(SamePixels(drawn, Expected({{nOffset, strText}}, 20, 10, nBox, 380)))
            << "align " << nAlign;
    }
}

TEST_F(DrawWrappedTextTest, AlignsEachWrappedLine)
{
    const std::wstring strText = L"Abort download and remove this game?";
    const uint16_t nBox = 120;
    const uint16_t nGap = 3;
    const int nLineHeight = m_font.GetMetrics().nHeight + nGap;
    const std::vector<std::wstring> arrLines =
        SplitWrappedText(strText, nBox, [&](std::wstring_view part) { return Width(std::wstring(part)); });
    ASSERT_GE(arrLines.size(), 3u);
    for (int nAlign : {-1, 0, 1}) {
        std::vector<std::pair<int, std::wstring>> arrExpected;
        for (const std::wstring& strLine : arrLines) {
            const int nSpare = nBox - Width(strLine);
            ASSERT_GE(nSpare, 0) << "every line fits in this case";
            arrExpected.push_back({nAlign < 0 ? 0 : nAlign == 0 ? nSpare / 2 : nSpare, strLine});
        }
        EXPECT_TRUE(SamePixels(Drawn(strText, 5, 2, nBox, nGap, nAlign),
                               Expected(arrExpected, 5, 2, nBox, nLineHeight)))
            << "align " << nAlign;
    }
}

// The last line may be wider than the box; it starts at the box's left edge whatever the
// alignment, so it stays in sight.
TEST_F(DrawWrappedTextTest, LastLineWiderThanBoxStartsAtBoxLeft)
{
    const std::wstring strText = L"ok Supercalifragilisticexpialidocious";
    const uint16_t nBox = 60;
    const std::vector<std::wstring> arrLines =
        SplitWrappedText(strText, nBox, [&](std::wstring_view part) { return Width(std::wstring(part)); });
    ASSERT_GT(Width(arrLines.back()), nBox);
    const int nLineHeight = m_font.GetMetrics().nHeight;
    for (int nAlign : {0, 1}) {
        std::vector<std::pair<int, std::wstring>> arrExpected;
        for (const std::wstring& strLine : arrLines) {
            const int nSpare = std::max(0, nBox - Width(strLine));
            arrExpected.push_back({nAlign == 0 ? nSpare / 2 : nSpare, strLine});
        }
        ASSERT_EQ(arrExpected.back().first, 0);
        const platform::Surface drawn = Drawn(strText, 30, 0, nBox, 0, nAlign);
        EXPECT_TRUE(SamePixels(drawn, Expected(arrExpected, 30, 0, nBox, nLineHeight))) << "align " << nAlign;
        // Ink on the last line's row, inside the box.
        bool bInk = false;
        for (int y = (static_cast<int>(arrLines.size()) - 1) * nLineHeight; y < kHeight; ++y)
            for (int x = 30; x < 30 + nBox; ++x)
                bInk |= drawn.GetPixel(x, y) != 0xFFFFFFFF;
        EXPECT_TRUE(bInk) << "align " << nAlign;
    }
}

TEST_F(DrawWrappedTextTest, ZeroWideBoxDrawsNothing)
{
    EXPECT_FALSE(HasInk(Drawn(L"Installing...", 0, 0, 0, 0, 0)));
}

// --- BitmapToRegion ---

Image Bitmap(int nWidth, int nHeight, uint32_t nPixel)
{
    return *Image::Create(nWidth, nHeight, nPixel);
}

void ExpectRegionIsMask(const Region& region, const Image& bitmap, uint32_t nRgb, bool bEqual)
{
    int nWrong = 0;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) {
            const bool bMember = ((bitmap.GetPixel(x, y) & 0xFFFFFF) == nRgb) == bEqual;
            if (region.Contains(x, y) != bMember && nWrong++ < 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
        }
    EXPECT_EQ(nWrong, 0);
    EXPECT_TRUE(Rect::Intersect(region.GetBox(), Rect{0, 0, bitmap.GetWidth(), bitmap.GetHeight()}) ==
                region.GetBox());
}

TEST(BitmapToRegionTest, MatchesPixelMaskInBothModes)
{
    // White with blobs of colour and stray pixels whose alpha byte differs, and one nearly white.
    Image bitmap = Bitmap(97, 61, 0xFFFFFFFF);
    std::mt19937 random(7);
    for (int i = 0; i < 40; ++i) {
        const int x0 = static_cast<int>(random() % 90), y0 = static_cast<int>(random() % 55);
        const uint32_t nColour = 0xFF000000 | (random() & 0xFFFFFF);
        for (int y = y0; y < y0 + 6; ++y)
            for (int x = x0; x < x0 + static_cast<int>(random() % 7); ++x)
                bitmap.SetPixel(x, y, nColour);
    }
    bitmap.SetPixel(0, 0, 0x00FFFFFF);   // white, transparent alpha: still white
    bitmap.SetPixel(96, 60, 0xFFFFFFFE); // nearly white: not white
    for (int nMode : {0, 1}) {
        std::optional<Region> region = BitmapToRegion(bitmap, platform::Rgb(255, 255, 255), nMode);
        ASSERT_TRUE(region);
        ExpectRegionIsMask(*region, bitmap, 0xFFFFFF, nMode == 0);
        EXPECT_EQ(region->Contains(0, 0), nMode == 0);
        EXPECT_EQ(region->Contains(96, 60), nMode == 1);
    }
}

TEST(BitmapToRegionTest, JoinsBatchesOfRuns)
{
    // A checkerboard: one run per pixel, 6400 runs, so four partial regions.
    Image bitmap = Bitmap(160, 80, 0xFFFFFFFF);
    for (int y = 0; y < 80; ++y)
        for (int x = (y % 2); x < 160; x += 2)
            bitmap.SetPixel(x, y, 0xFF102030);
    std::optional<Region> region = BitmapToRegion(bitmap, platform::Rgb(0x10, 0x20, 0x30), 0);
    ASSERT_TRUE(region);
    ExpectRegionIsMask(*region, bitmap, 0x102030, true);
    EXPECT_EQ(region->GetRects().size(), 6400u);
}

TEST(BitmapToRegionTest, EdgeBitmaps)
{
    EXPECT_FALSE(BitmapToRegion(Image(), 0xFFFFFF, 1));

    std::optional<Region> white = BitmapToRegion(Bitmap(30, 20, 0xFFFFFFFF), 0xFFFFFF, 1);
    ASSERT_TRUE(white);
    EXPECT_TRUE(white->IsEmpty());

    std::optional<Region> all = BitmapToRegion(Bitmap(30, 20, 0xFFFFFFFF), 0xFFFFFF, 0);
    ASSERT_TRUE(all);
    EXPECT_EQ(*all, Region(Rect{0, 0, 30, 20}));
}

} // namespace
