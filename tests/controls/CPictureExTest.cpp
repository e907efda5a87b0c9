// Suite: threaded
#include "controls/CPictureEx.h"

#include "controls/GifBuilder.h"
#include "platform/gdi/MemoryCanvas.h"
#include "platform/window/Window.h"
#include "support/HeadlessWindowTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <vector>

namespace {

using gif_builder::SolidFrame;
using platform::COLORREF;
using platform::MemoryCanvas;
using platform::Rgb;

constexpr COLORREF kMagenta = Rgb(255, 0, 255);
constexpr COLORREF kPaper = Rgb(1, 2, 3);
const std::vector<uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF00FF, 0xFFFFFF};

// A 24-bit bottom-up Windows bitmap file, as the launcher stores some pictures under "GIF".
std::vector<uint8_t> Bmp24(int nWidth, int nHeight, const std::function<COLORREF(int, int)>& colour)
{
    const int nStride = (nWidth * 3 + 3) & ~3;
    const uint32_t nImage = static_cast<uint32_t>(nStride * nHeight);
    std::vector<uint8_t> out;
    auto put32 = [&](uint32_t n) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(n >> (8 * i)));
    };
    out = {'B', 'M'};
    put32(54 + nImage);
    put32(0);
    put32(54);
    put32(40);
    put32(static_cast<uint32_t>(nWidth));
    put32(static_cast<uint32_t>(nHeight));
    put32(1 | (24 << 16));
    put32(0);
    put32(nImage);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = nHeight - 1; y >= 0; --y) {
        for (int x = 0; x < nWidth; ++x) {
            const COLORREF c = colour(x, y);
            out.push_back(platform::GetB(c));
            out.push_back(platform::GetG(c));
            out.push_back(platform::GetR(c));
        }
        out.resize(out.size() + static_cast<size_t>(nStride - nWidth * 3), 0);
    }
    return out;
}

// Three frames of one colour each (red, green, blue) over the whole screen.
gif_builder::Gif ThreeColours(int nDelay)
{
    gif_builder::Gif gif{8, 6, kPalette, true, false, false, {}};
    for (uint8_t i = 1; i <= 3; ++i)
        gif.arrFrames.push_back(SolidFrame(0, 0, 8, 6, i, nDelay, 1));
    return gif;
}

COLORREF ColourAt(const platform::Surface& surface, int x, int y)
{
    return platform::PixelToColor(surface.GetPixel(x, y));
}

MemoryCanvas Paper(int nWidth = 20, int nHeight = 16)
{
    MemoryCanvas dc(nWidth, nHeight);
    dc.FillSolidRect({0, 0, nWidth, nHeight}, kPaper);
    return dc;
}

// --- Loading ---

TEST(CPictureExTest, MissingResourceLoadsEmptyPictureThatDrawsNothing)
{
    CPictureEx picture(nullptr);
    EXPECT_FALSE(picture.LoadFromResource(0xFFFF, "GIF"));
    EXPECT_FALSE(picture.IsLoaded());
    EXPECT_EQ(picture.GetFrameCount(), 0u);
    EXPECT_FALSE(picture.Start());
    MemoryCanvas dc = Paper();
    picture.Draw(dc, kMagenta);
    picture.DrawAt(dc, CPictureEx::kNoTransparency, 2, 2, 0, 0, 1, 1, 5, 5);
    for (uint32_t nPixel : dc.GetSurface()->GetBits())
        ASSERT_EQ(platform::PixelToColor(nPixel), kPaper);
}

TEST(CPictureExTest, StillPicturesShowWithoutThread)
{
    const auto bitmap = Bmp24(5, 4, [](int x, int y) {
        return Rgb(static_cast<uint8_t>(40 * x), static_cast<uint8_t>(50 * y), 7);
    });
    gif_builder::Gif oneFrame{5, 4, kPalette, false, false, false, {SolidFrame(0, 0, 5, 4, 2, 7)}};
    oneFrame.arrFrames[0].arrPixels[0] = 3;
    // A GIF with more graphic blocks of which only one can be decoded (the other lies off the
    // screen) shows that one.
    gif_builder::Gif oneGood = oneFrame;
    oneGood.arrFrames.push_back(SolidFrame(9, 9, 2, 2, 1, 7));

    struct Case
    {
        const char* pszName;
        std::vector<uint8_t> data;
        bool bGif;
        COLORREF nTopLeft;
        COLORREF nBottomRight;
    };
    const Case arrCases[] = {
        {"bitmap stored as GIF", bitmap, false, Rgb(0, 0, 7), Rgb(160, 150, 7)},
        {"GIF of one frame", gif_builder::Build(oneFrame), true, Rgb(0, 0, 255), Rgb(0, 255, 0)},
        {"GIF of one good frame", gif_builder::Build(oneGood), true, Rgb(0, 0, 255), Rgb(0, 255, 0)},
    };
    for (const Case& c : arrCases) {
        CPictureEx picture(nullptr);
        ASSERT_TRUE(picture.Load(c.data)) << c.pszName;
        EXPECT_EQ(picture.IsGif(), c.bGif) << c.pszName;
        EXPECT_EQ(picture.GetWidth(), 5) << c.pszName;
        EXPECT_EQ(picture.GetHeight(), 4) << c.pszName;
        EXPECT_EQ(picture.GetFrameCount(), 1u) << c.pszName;
        EXPECT_FALSE(picture.IsAnimated()) << c.pszName;
        EXPECT_TRUE(picture.Start()) << c.pszName;
        EXPECT_FALSE(picture.IsRunning()) << c.pszName;
        MemoryCanvas dc = Paper();
        picture.Draw(dc, CPictureEx::kNoTransparency);
        EXPECT_EQ(dc.GetPixel(0, 0), c.nTopLeft) << c.pszName;
        EXPECT_EQ(dc.GetPixel(4, 3), c.nBottomRight) << c.pszName;
        EXPECT_EQ(dc.GetPixel(5, 3), kPaper) << c.pszName;
    }
}

// Damaged data loads what is whole or fails; nothing reads outside the data (AddressSanitizer
// watches the exact-size copies).
TEST(CPictureExTest, DamagedGifsLoadWholeFramesOrFail)
{
    const std::vector<uint8_t> three = gif_builder::Build(ThreeColours(7));
    gif_builder::Gif firstTwo = ThreeColours(7);
    firstTwo.arrFrames.resize(2);
    const size_t nTwoFrames = gif_builder::Build(firstTwo).size() - 1;
    gif_builder::Gif offScreen = ThreeColours(7);
    offScreen.arrFrames[1].nLeft = 4; // 8 wide from 4 on a screen 8 wide
    gif_builder::Gif zeroScreen = ThreeColours(7);
    zeroScreen.nWidth = 0;
    std::vector<uint8_t> noTable = {'G', 'I', 'F', '8', '9', 'a', 8, 0, 6, 0, 0xF7, 0, 0};
    noTable.insert(noTable.end(), three.begin() + 13 + 24, three.end());

    struct Case
    {
        const char* pszName;
        std::vector<uint8_t> data;
        bool bLoads;
        size_t nFrames;
    };
    const Case arrCases[] = {
        {"cut inside the third frame",
         {three.begin(), three.begin() + static_cast<ptrdiff_t>(nTwoFrames + 20)},
         true,
         2},
        {"a frame off the logical screen", gif_builder::Build(offScreen), true, 2},
        {"zero-sized logical screen", gif_builder::Build(zeroScreen), false, 0},
        {"colour table flag without table", noTable, false, 0},
        {"signature only", {'G', 'I', 'F'}, false, 0},
        {"neither GIF nor bitmap", {'h', 'e', 'l', 'l', 'o'}, false, 0},
    };
    for (const Case& c : arrCases) {
        const std::vector<uint8_t> exact(c.data.begin(), c.data.end());
        CPictureEx picture(nullptr);
        EXPECT_EQ(picture.Load(exact), c.bLoads) << c.pszName;
        EXPECT_EQ(picture.IsLoaded(), c.bLoads) << c.pszName;
        EXPECT_EQ(picture.GetFrameCount(), c.nFrames) << c.pszName;
    }

    // Every cut of the file: a clean result with no more frames than are whole.
    for (size_t nSize = 0; nSize < three.size(); ++nSize) {
        const std::vector<uint8_t> exact(three.begin(), three.begin() + static_cast<ptrdiff_t>(nSize));
        CPictureEx picture(nullptr);
        if (picture.Load(exact)) {
            const size_t nWhole = nSize < nTwoFrames ? 1 : nSize < three.size() - 1 ? 2 : 3;
            EXPECT_LE(picture.GetFrameCount(), nWhole) << "size " << nSize;
            EXPECT_EQ(picture.GetWidth(), 8);
        } else {
            EXPECT_FALSE(picture.IsLoaded());
        }
    }
}

// --- Drawing ---

class CPictureExDrawTest : public ::testing::Test
{
protected:
    // 4 x 3: column x has red 60 x, row y green 80 y; the pixel (1, 1) is magenta.
    void SetUp() override
    {
        const auto data = Bmp24(4, 3, [](int x, int y) {
            return x == 1 && y == 1 ? kMagenta
                                    : Rgb(static_cast<uint8_t>(60 * x), static_cast<uint8_t>(80 * y), 9);
        });
        ASSERT_TRUE(m_picture.Load(data));
        ASSERT_TRUE(m_picture.Start());
    }

    static COLORREF Source(int x, int y)
    {
        return x == 1 && y == 1 ? kMagenta
                                : Rgb(static_cast<uint8_t>(60 * x), static_cast<uint8_t>(80 * y), 9);
    }

    CPictureEx m_picture{nullptr};
};

TEST_F(CPictureExDrawTest, DrawCopiesToOriginWithOrWithoutKey)
{
    for (COLORREF nKey : {kMagenta, CPictureEx::kNoTransparency}) {
        MemoryCanvas dc = Paper();
        dc.SetOrigin({3, 2});
        m_picture.Draw(dc, nKey);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                const COLORREF nExpected =
                    nKey == kMagenta && Source(x, y) == kMagenta ? kPaper : Source(x, y);
                EXPECT_EQ(dc.GetPixel(x, y), nExpected) << x << ", " << y;
            }
        EXPECT_EQ(dc.GetPixel(4, 0), kPaper);
        EXPECT_EQ(dc.GetPixel(0, 3), kPaper);
    }
}

TEST_F(CPictureExDrawTest, DrawAtPlacesWithSourceOffsetAndExtras)
{
    // Plain copy: (width + 2) x (height + 1) pixels from (1, 0) to (5 + 1, 4 + 2); past the
    // picture's edge nothing is copied.
    MemoryCanvas dc = Paper();
    m_picture.DrawAt(dc, CPictureEx::kNoTransparency, 5, 4, 1, 0, 1, 2, 2, 1);
    EXPECT_EQ(dc.GetPixel(6, 6), Source(1, 0));
    EXPECT_EQ(dc.GetPixel(8, 8), Source(3, 2));
    EXPECT_EQ(dc.GetPixel(9, 8), kPaper);
    EXPECT_EQ(dc.GetPixel(5, 6), kPaper);

    // Keyed: the whole picture stretched to 8 x 6, magenta left out.
    MemoryCanvas keyed = Paper();
    m_picture.DrawAt(keyed, kMagenta, 1, 1, 0, 0, 0, 0, 4, 3);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const COLORREF nSource = Source(x / 2, y / 2);
            EXPECT_EQ(keyed.GetPixel(1 + x, 1 + y), nSource == kMagenta ? kPaper : nSource) << x << ", " << y;
        }
    EXPECT_EQ(keyed.GetPixel(9, 1), kPaper);
}

TEST_F(CPictureExDrawTest, PaintRectangleCopiesOnlyThatPart)
{
    m_picture.SetPaintRect({2, 1, 4, 3});
    MemoryCanvas dc = Paper();
    m_picture.Draw(dc, kMagenta);
    m_picture.DrawAt(dc, kMagenta, 10, 10);
    EXPECT_EQ(dc.GetPixel(0, 0), Source(2, 1));
    EXPECT_EQ(dc.GetPixel(1, 1), Source(3, 2));
    EXPECT_EQ(dc.GetPixel(2, 0), kPaper);
    EXPECT_EQ(dc.GetPixel(10, 10), kPaper);
}

// --- The animation thread ---

// A top-level window that counts the repaint requests it gets from other threads.
class OwnerWindow : public platform::Window
{
public:
    platform::LRESULT WindowProc(platform::UINT nMsg, platform::WPARAM wParam,
                                 platform::LPARAM lParam) override
    {
        if (nMsg == platform::WM_INVALIDATE)
            ++nInvalidations;
        return Window::WindowProc(nMsg, wParam, lParam);
    }

    int nInvalidations = 0; // window thread only
};

class CPictureExAnimationTest : public testing_support::HeadlessWindowTest
{
protected:
    void SetUp() override
    {
        HeadlessWindowTest::SetUp();
        ASSERT_TRUE(m_owner.Create(nullptr, {0, 0, 40, 30}, platform::WS_POPUP, 0));
    }

    void TearDown() override
    {
        m_owner.DestroyWindow();
        HeadlessWindowTest::TearDown();
    }

    // Pumps until the picture has shown each of the three colours.
    bool SeesEveryColour(const CPictureEx& picture)
    {
        std::set<COLORREF> seen;
        return PumpUntil([&] {
            seen.insert(ColourAt(picture.GetDisplay(), 3, 3));
            return seen.count(Rgb(255, 0, 0)) && seen.count(Rgb(0, 255, 0)) && seen.count(Rgb(0, 0, 255));
        });
    }

    OwnerWindow m_owner;
};

TEST_F(CPictureExAnimationTest, FramesAdvanceAndOwnerIsRepainted)
{
    CPictureEx picture(&m_owner);
    ASSERT_TRUE(picture.Load(gif_builder::Build(ThreeColours(5))));
    ASSERT_TRUE(picture.IsAnimated());
    EXPECT_EQ(picture.GetFrameCount(), 3u);
    EXPECT_FALSE(picture.Start()); // an animation reports 0, as callers know it
    EXPECT_TRUE(PumpUntil([&] { return picture.IsRunning(); }));
    EXPECT_TRUE(SeesEveryColour(picture));
    EXPECT_TRUE(PumpUntil([&] { return m_owner.nInvalidations >= 4; }));

    picture.Stop();
    EXPECT_FALSE(picture.IsRunning());
    PumpFor(std::chrono::milliseconds(20)); // requests posted before the stop
    const int nAfterStop = m_owner.nInvalidations;
    const COLORREF nShown = ColourAt(picture.GetDisplay(), 3, 3);
    PumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(m_owner.nInvalidations, nAfterStop);
    EXPECT_EQ(ColourAt(picture.GetDisplay(), 3, 3), nShown);

    // Started again, it goes on.
    picture.Start();
    EXPECT_TRUE(SeesEveryColour(picture));
    EXPECT_GT(m_owner.nInvalidations, nAfterStop);
}

TEST_F(CPictureExAnimationTest, StopWakesThreadInsteadOfWaitingOutTheDelay)
{
    CPictureEx picture(&m_owner);
    ASSERT_TRUE(picture.Load(gif_builder::Build(ThreeColours(3000)))); // 30 seconds a frame
    picture.Start();
    ASSERT_TRUE(PumpUntil([&] { return m_owner.nInvalidations >= 1; }));
    const auto start = std::chrono::steady_clock::now();
    picture.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(CPictureEx::kStopTimeoutMs));
    EXPECT_FALSE(picture.IsRunning());
}

TEST_F(CPictureExAnimationTest, WithoutInvalidateOwnerItAnimatesQuietly)
{
    CPictureEx picture(&m_owner);
    picture.SetInvalidateOwner(false);
    ASSERT_TRUE(picture.Load(gif_builder::Build(ThreeColours(5))));
    picture.Start();
    EXPECT_TRUE(SeesEveryColour(picture));
    EXPECT_EQ(m_owner.nInvalidations, 0);
    picture.SetInvalidateOwner(true); // and switched on while it runs
    EXPECT_TRUE(PumpUntil([&] { return m_owner.nInvalidations >= 1; }));
}

TEST_F(CPictureExAnimationTest, PaintsWhileAnimatingAndUnloadsWhileRunning)
{
    auto pPicture = std::make_unique<CPictureEx>(&m_owner);
    ASSERT_TRUE(pPicture->Load(gif_builder::Build(ThreeColours(5))));
    pPicture->Start();
    // The window thread copies frames while the animation thread writes them.
    MemoryCanvas dc = Paper();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < deadline) {
        pPicture->Draw(dc, CPictureEx::kNoTransparency);
        const COLORREF nColour = dc.GetPixel(2, 2);
        ASSERT_TRUE(nColour == Rgb(255, 0, 0) || nColour == Rgb(0, 255, 0) || nColour == Rgb(0, 0, 255) ||
                    nColour == Rgb(240, 240, 240));
        // A frame is copied whole: every pixel has the colour of the first.
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(dc.GetPixel(x, y), nColour);
        m_pSystem->PumpPending();
    }
    // Loading anew and destroying stop the thread first.
    EXPECT_TRUE(pPicture->Load(gif_builder::Build(ThreeColours(5))));
    EXPECT_FALSE(pPicture->IsRunning());
    pPicture->Start();
    pPicture.reset();
    PumpFor(std::chrono::milliseconds(50));
}

} // namespace
