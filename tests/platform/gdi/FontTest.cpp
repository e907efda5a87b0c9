// Suite: threaded
#include "platform/gdi/Font.h"

#include "platform/gdi/MemoryCanvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <thread>

using namespace platform;

namespace {

Font Verdana(int nHeight, int nWeight = kFontWeightNormal)
{
    return Font::Create({.strFace = L"Verdana", .nHeight = nHeight, .nWeight = nWeight});
}

// Total coverage of text drawn black on white: how much ink a font puts down.
long InkOf(const Font& font, std::wstring_view text)
{
    MemoryCanvas canvas(400, 60, 0xFFFFFFFF);
    canvas.SelectFont(font);
    canvas.SetBkMode(BackgroundMode::Transparent);
    canvas.TextOut(4, 4, text);
    long nInk = 0;
    for (uint32_t nPixel : canvas.GetSurface()->GetBits())
        nInk += 255 - static_cast<long>(nPixel & 0xFF);
    return nInk;
}

// How far right the ink of an 'l' leans over ten rows: about 0 for an upright stem.
double SlantOf(const Font& font)
{
    MemoryCanvas canvas(40, font.GetMetrics().nHeight + 10, 0xFFFFFFFF);
    canvas.SelectFont(font);
    canvas.TextOut(10, 5, L"l");
    const Surface& surface = *canvas.GetSurface();
    auto InkCentre = [&](int y) {
        long nSum = 0;
        long nWeight = 0;
        for (int x = 0; x < 40; ++x) {
            const long nInk = 255 - static_cast<long>(surface.GetPixel(x, y) & 0xFF);
            nSum += nInk * x;
            nWeight += nInk;
        }
        return nWeight == 0 ? 0.0 : static_cast<double>(nSum) / static_cast<double>(nWeight);
    };
    const int nBaseline = 5 + font.GetMetrics().nAscent;
    return InkCentre(nBaseline - 12) - InkCentre(nBaseline - 2);
}

} // namespace

TEST(FontTest, FaceNamesResolveToFontsOnTheMachine)
{
    struct Case
    {
        const wchar_t* pszFace;
        bool bWideSans; // must end at a wide sans-serif like Verdana's
    };
    const Case cases[] = {
        {L"Verdana", true}, {L"Arial", false}, {L"MS Shell Dlg", false}, {L"No Such Face 7f3e", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "face \"" << std::filesystem::path(c.pszFace).string() << "\"");
        const Font font = Font::Create({.strFace = c.pszFace, .nHeight = -12});
        ASSERT_FALSE(font.IsNull());
        EXPECT_TRUE(std::filesystem::is_regular_file(font.GetFilePath())) << font.GetFilePath();
        EXPECT_FALSE(font.GetFamily().empty());
        EXPECT_TRUE(font.HasGlyph(L'A'));
        if (c.bWideSans) {
            const std::string strFamily = font.GetFamily();
            EXPECT_TRUE(strFamily == "Verdana" || strFamily == "DejaVu Sans" ||
                        strFamily == "Bitstream Vera Sans")
                << strFamily;
        }
    }
}

TEST(FontTest, HeightsFollowTheLogicalFontConvention)
{
    struct Case
    {
        int nHeight;
        int nEm; // the expected character height; 0 when only the cell is known
        int nCell;
    };
    const Case cases[] = {
        {-16, 16, 0}, {-11, 11, 0}, {-18, 18, 0}, {16, 0, 16}, {13, 0, 13}, {24, 0, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "height " << c.nHeight);
        const TextMetrics metrics = Verdana(c.nHeight).GetMetrics();
        EXPECT_EQ(metrics.nHeight, metrics.nAscent + metrics.nDescent);
        EXPECT_GT(metrics.nDescent, 0);
        EXPECT_GE(metrics.nInternalLeading, 0);
        if (c.nEm != 0) {
            EXPECT_EQ(metrics.nHeight - metrics.nInternalLeading, c.nEm);
        }
        if (c.nCell != 0) {
            EXPECT_NEAR(metrics.nHeight, c.nCell, 1);
        }
    }
    const TextMetrics def = Font::Create({.strFace = L"MS Shell Dlg"}).GetMetrics();
    const int nDefaultEm = def.nHeight - def.nInternalLeading;
    EXPECT_GE(nDefaultEm, 11);
    EXPECT_LE(nDefaultEm, 13);
    EXPECT_EQ(Font::GetDefault().GetMetrics().nHeight, def.nHeight);
}

TEST(FontTest, BoldIsWiderAndDarkerThanRegular)
{
    const Font regular = Verdana(-16);
    const Font bold = Verdana(-16, kFontWeightBold);
    EXPECT_GT(bold.GetTextWidth(L"Download"), regular.GetTextWidth(L"Download"));
    EXPECT_GT(InkOf(bold, L"Download"), InkOf(regular, L"Download") * 6 / 5);
    EXPECT_EQ(bold.GetMetrics().nWeight, kFontWeightBold);
}

TEST(FontTest, WidthScalesGlyphsHorizontally)
{
    const Font natural = Verdana(-16);
    const Font narrow = Font::Create({.strFace = L"Verdana", .nHeight = -16, .nWidth = 4});
    const Font wide = Font::Create({.strFace = L"Verdana", .nHeight = -16, .nWidth = 14});
    EXPECT_NEAR(narrow.GetMetrics().nAveCharWidth, 4, 1);
    EXPECT_NEAR(wide.GetMetrics().nAveCharWidth, 14, 1);
    const int nNatural = natural.GetTextWidth(L"Download games");
    EXPECT_LT(narrow.GetTextWidth(L"Download games"), nNatural * 2 / 3);
    EXPECT_GT(wide.GetTextWidth(L"Download games"), nNatural * 3 / 2);
    EXPECT_EQ(narrow.GetMetrics().nHeight, natural.GetMetrics().nHeight) << "only the width changes";
}

TEST(FontTest, ItalicSlantsTheGlyphs)
{
    const Font upright = Verdana(-20);
    const Font italic = Font::Create({.strFace = L"Verdana", .nHeight = -20, .bItalic = true});
    ASSERT_FALSE(italic.IsNull());
    EXPECT_NEAR(SlantOf(upright), 0.0, 0.5);
    EXPECT_GT(SlantOf(italic), 1.5);
}

TEST(FontTest, BoldAndItalicAreSynthesisedForAFaceWithoutThem)
{
    // This face comes in one style only.
    const std::wstring strFace = L"DejaVu Math TeX Gyre";
    const Font regular = Font::Create({.strFace = strFace, .nHeight = -20});
    if (regular.GetFamily() != "DejaVu Math TeX Gyre")
        GTEST_SKIP() << "the machine has no single-style face to try";
    const Font bold = Font::Create({.strFace = strFace, .nHeight = -20, .nWeight = kFontWeightBold});
    const Font italic = Font::Create({.strFace = strFace, .nHeight = -20, .bItalic = true});
    EXPECT_EQ(bold.GetFilePath(), regular.GetFilePath());
    EXPECT_EQ(italic.GetFilePath(), regular.GetFilePath());
    EXPECT_GT(InkOf(bold, L"Download"), InkOf(regular, L"Download") * 6 / 5);
    EXPECT_GT(bold.GetTextWidth(L"Download"), regular.GetTextWidth(L"Download"));
    EXPECT_NEAR(SlantOf(regular), 0.0, 0.5);
    EXPECT_GT(SlantOf(italic), 1.5);
}

TEST(FontTest, CyrillicCharacterSetChoosesAFaceWithCyrillic)
{
    for (const wchar_t* pszFace : {L"Verdana", L"Arial", L"No Such Face 7f3e"}) {
        const Font font = Font::Create({.strFace = pszFace, .nHeight = -13, .nCharSet = kRussianCharSet});
        ASSERT_FALSE(font.IsNull());
        for (wchar_t ch : std::wstring_view(L"ИгрыЖЁё"))
            EXPECT_TRUE(font.HasGlyph(ch)) << "U+" << std::hex << static_cast<int>(ch);
    }
}

TEST(FontTest, NullFontMeasuresNothing)
{
    const Font font;
    EXPECT_TRUE(font.IsNull());
    EXPECT_EQ(font.GetTextWidth(L"text"), 0);
    EXPECT_EQ(font.GetMetrics().nHeight, 0);
    EXPECT_EQ(font.GetFilePath(), "");
    EXPECT_FALSE(font.HasGlyph(L'A'));
    std::vector<const Glyph*> arrGlyphs{nullptr};
    font.GetGlyphs(L"text", arrGlyphs);
    EXPECT_TRUE(arrGlyphs.empty());
}

TEST(FontTest, OutOfRangeDescriptionsGiveUsableFonts)
{
    const FontDescription cases[] = {
        {.strFace = L"Verdana", .nHeight = INT_MIN},
        {.strFace = L"Verdana", .nHeight = INT_MAX},
        {.strFace = L"Verdana", .nHeight = -12, .nWidth = INT_MIN},
        {.strFace = L"Verdana", .nHeight = -12, .nWidth = -6},
        {.strFace = L"Verdana", .nHeight = -12, .nWeight = -5},
        {.strFace = L"Verdana", .nHeight = -12, .nWeight = 5000},
        {.strFace = std::wstring(300, L'x'), .nHeight = 1},
        {.strFace = L"Bad\xD800Name", .nHeight = -12},
    };
    for (const FontDescription& desc : cases) {
        SCOPED_TRACE(testing::Message()
                     << "height " << desc.nHeight << " width " << desc.nWidth << " weight " << desc.nWeight);
        const Font font = Font::Create(desc);
        ASSERT_FALSE(font.IsNull());
        const TextMetrics& metrics = font.GetMetrics();
        EXPECT_GT(metrics.nHeight, 0);
        EXPECT_LE(metrics.nHeight, 2000) << "sizes are limited";
        EXPECT_GT(font.GetTextWidth(L"Ag"), 0);
    }
}

TEST(FontTest, CopiesShareOneFontAndEqualDescriptionsShareGlyphs)
{
    const Font a = Verdana(-15);
    const Font copy = a;
    EXPECT_EQ(copy, a);
    std::vector<const Glyph*> arrA;
    std::vector<const Glyph*> arrB;
    a.GetGlyphs(L"xy", arrA);
    Verdana(-15).GetGlyphs(L"xy", arrB);
    EXPECT_EQ(arrA, arrB) << "the same face and size renders each glyph once";
}

TEST(FontTest, ThreadsCreateAndMeasureFontsTogether)
{
    const std::wstring text = L"The quick brown fox; Быстрая лиса";
    std::vector<int> arrExpected;
    for (int nHeight = -9; nHeight >= -20; --nHeight)
        arrExpected.push_back(Verdana(nHeight).GetTextWidth(text));
    std::vector<int> arrFailures(4, 0);
    std::vector<std::thread> arrThreads;
    for (size_t t = 0; t < arrFailures.size(); ++t) {
        arrThreads.emplace_back([&, t] {
            for (int nRound = 0; nRound < 20; ++nRound) {
                for (int nHeight = -9; nHeight >= -20; --nHeight) {
                    // Fresh sizes too (the odd widths), so the cache grows while others read it.
                    const Font font =
                        Font::Create({.strFace = L"Verdana",
                                      .nHeight = nHeight,
                                      .nWidth = nRound % 2 == 0 ? 0 : static_cast<int>(t) + nRound});
                    const int nWidth = font.GetTextWidth(text);
                    if (nRound % 2 == 0 && nWidth != arrExpected[static_cast<size_t>(-9 - nHeight)])
                        ++arrFailures[t];
                }
            }
        });
    }
    for (std::thread& thread : arrThreads)
        thread.join();
    for (int nFailures : arrFailures)
        EXPECT_EQ(nFailures, 0);
}
