#include "controls/CFrameComposer.h"

#include "controls/CGifParser.h"
#include "controls/GifBuilder.h"
#include "platform/image/Image.h"
#include "platform/text/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using gif_builder::SolidFrame;
using platform::Image;

const std::vector<uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                        0xFFFF00, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

std::unique_ptr<CFrameComposer> ComposerOf(const std::vector<uint8_t>& data)
{
    CGifParser parser;
    if (!parser.Open(data))
        return nullptr;
    std::vector<tagGifFrame> arrFrames = CFrameComposer::DecodeFrames(parser, parser.CountGraphicBlocks());
    return CFrameComposer::Create(parser.GetWidth(), parser.GetHeight(), std::move(arrFrames));
}

// A frame with a pattern of two indices, a checkerboard of 1-pixel cells, so a transparent index
// lets every other pixel through.
gif_builder::Frame Checkered(int nLeft, int nTop, int nWidth, int nHeight, uint8_t nA, uint8_t nB,
                             int nDisposal)
{
    gif_builder::Frame frame = SolidFrame(nLeft, nTop, nWidth, nHeight, nA, 5, nDisposal);
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nWidth; ++x)
            frame.arrPixels[static_cast<size_t>(y * nWidth + x)] = (x + y) % 2 ? nB : nA;
    return frame;
}

struct ComposeCase
{
    const char* pszName;
    gif_builder::Gif gif;
};

std::vector<ComposeCase> ComposeCases()
{
    std::vector<ComposeCase> arrCases;
    {
        // Disposal 1: every frame stays; later ones show earlier ones through their holes.
        gif_builder::Gif gif{16, 12, kPalette, true, false, false, {}};
        gif.arrFrames.push_back(SolidFrame(0, 0, 16, 12, 1, 5, 1));
        gif.arrFrames.push_back(Checkered(2, 2, 8, 6, 2, 0, 1));
        gif.arrFrames.back().nTransparent = 0;
        gif.arrFrames.push_back(SolidFrame(6, 5, 9, 6, 3, 5, 1));
        gif.arrFrames.push_back(Checkered(0, 0, 5, 5, 4, 0, 1));
        gif.arrFrames.back().nTransparent = 0;
        arrCases.push_back({"keep", gif});
    }
    {
        // Disposal 2: a frame's area goes back to the background before the next; the first frame
        // leaves every other pixel of the screen as it was.
        gif_builder::Gif gif{16, 12, kPalette, true, false, false, {}};
        gif.arrFrames.push_back(Checkered(0, 0, 16, 12, 1, 0, 1));
        gif.arrFrames.back().nTransparent = 0;
        gif.arrFrames.push_back(SolidFrame(3, 3, 6, 5, 2, 5, 2));
        gif.arrFrames.push_back(Checkered(5, 4, 10, 8, 3, 0, 2));
        gif.arrFrames.back().nTransparent = 0;
        gif.arrFrames.push_back(SolidFrame(1, 1, 3, 3, 4, 5, 1));
        arrCases.push_back({"background", gif});
    }
    {
        // Disposal 3: a frame's area goes back to what was under it.
        gif_builder::Gif gif{16, 12, kPalette, true, false, false, {}};
        gif.arrFrames.push_back(Checkered(0, 0, 16, 12, 1, 5, 1));
        gif.arrFrames.push_back(SolidFrame(2, 2, 7, 5, 2, 5, 3));
        gif.arrFrames.push_back(Checkered(6, 4, 8, 7, 3, 0, 3));
        gif.arrFrames.back().nTransparent = 0;
        gif.arrFrames.push_back(SolidFrame(4, 3, 4, 4, 6, 5, 1));
        gif.arrFrames.push_back(SolidFrame(0, 8, 16, 4, 7, 5, 3));
        arrCases.push_back({"previous", gif});
    }
    {
        // All three, local colour tables, and a frame without a control extension.
        gif_builder::Gif gif{20, 10, kPalette, true, true, false, {}};
        gif.arrFrames.push_back(SolidFrame(0, 0, 20, 10, 6, -1, 0));
        gif.arrFrames.push_back(Checkered(1, 1, 10, 8, 1, 2, 3));
        gif.arrFrames.back().arrLocalTable = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
        gif.arrFrames.back().nTransparent = 2;
        gif.arrFrames.push_back(SolidFrame(8, 2, 11, 7, 0, 5, 2));
        gif.arrFrames.back().arrLocalTable = {0x336699, 0x000000};
        gif.arrFrames.push_back(Checkered(0, 5, 20, 5, 4, 5, 1));
        arrCases.push_back({"mixed", gif});
    }
    return arrCases;
}

// ImageMagick's coalesced frames, each flattened over the colour our surfaces start with.
std::vector<Image> PeerFrames(const testing_support::TempDir& dir, const std::vector<uint8_t>& data)
{
    const std::string strGif = dir / "in.gif";
    testing_support::WriteFile(strGif, std::string(data.begin(), data.end()));
    const testing_support::RunResult result =
        testing_support::Run({"/usr/bin/convert", strGif, "-coalesce", "+repage", "-background", "#F0F0F0",
                              "-alpha", "remove", "-alpha", "off", "+adjoin", dir / "frame-%d.png"});
    EXPECT_EQ(result.nExitCode, 0) << result.strErr;
    std::vector<Image> arrFrames;
    for (int i = 0;; ++i) {
        std::optional<Image> img =
            Image::LoadFromFile(platform::FromUtf8(dir / ("frame-" + std::to_string(i) + ".png")));
        if (!img)
            break;
        arrFrames.push_back(std::move(*img));
    }
    return arrFrames;
}

TEST(CFrameComposerTest, ComposedFramesMatchPeerDecoder)
{
    static_assert(CFrameComposer::kColorMenu == CFrameComposer::kColorBtnFace);
    for (const ComposeCase& c : ComposeCases()) {
        SCOPED_TRACE(c.pszName);
        const std::vector<uint8_t> data = gif_builder::Build(c.gif);
        testing_support::TempDir dir;
        const std::vector<Image> arrPeer = PeerFrames(dir, data);
        ASSERT_EQ(arrPeer.size(), c.gif.arrFrames.size());

        std::unique_ptr<CFrameComposer> pComposer = ComposerOf(data);
        ASSERT_TRUE(pComposer);
        ASSERT_EQ(pComposer->GetFrames().size(), c.gif.arrFrames.size());
        pComposer->BeginAnimation();
        // Two passes: the second starts from a cleared surface, as the first did.
        for (size_t nShown = 0; nShown < 2 * arrPeer.size(); ++nShown) {
            const size_t nFrame = nShown % arrPeer.size();
            ASSERT_EQ(pComposer->GetCurrentFrame(), nFrame);
            ASSERT_TRUE(pComposer->ShowFrame().bRendered);
            const platform::Surface display = pComposer->GetDisplay();
            const Image& peer = arrPeer[nFrame];
            ASSERT_EQ(display.GetWidth(), peer.GetWidth());
            ASSERT_EQ(display.GetHeight(), peer.GetHeight());
            int nDiffering = 0;
            for (int y = 0; y < peer.GetHeight(); ++y)
                for (int x = 0; x < peer.GetWidth(); ++x)
                    if ((display.GetPixel(x, y) & 0xFFFFFF) != (peer.GetPixel(x, y) & 0xFFFFFF) &&
                        nDiffering++ < 3)
                        ADD_FAILURE()
                            << "frame " << nFrame << " pixel (" << x << ", " << y << "): ours " << std::hex
                            << display.GetPixel(x, y) << ", peer " << peer.GetPixel(x, y);
            EXPECT_EQ(nDiffering, 0) << "frame " << nFrame;
            pComposer->EndFrame(0);
        }
    }
}

// With a loop pause of 2, the first frame is shown three times after every pass; the owner is
// worth repainting when it first appears and when its hold runs out, not in between.
TEST(CFrameComposerTest, LoopPauseHoldsFirstFrame)
{
    gif_builder::Gif gif{4, 4, kPalette, true, false, false, {}};
    for (uint8_t i = 1; i <= 3; ++i)
        gif.arrFrames.push_back(SolidFrame(0, 0, 4, 4, i, 7, 0));
    std::unique_ptr<CFrameComposer> pComposer = ComposerOf(gif_builder::Build(gif));
    ASSERT_TRUE(pComposer);

    struct Step
    {
        size_t nFrame;
        bool bNewFrame;
    };
    const Step arrSteps[] = {
        {0, true}, {1, true},  {2, true},                       // the first pass is not held
        {0, true}, {0, false}, {0, true}, {1, true}, {2, true}, // then frame 0 three times
        {0, true}, {0, false}, {0, true}, {1, true},
    };
    pComposer->BeginAnimation();
    for (size_t i = 0; i < std::size(arrSteps); ++i) {
        ASSERT_EQ(pComposer->GetCurrentFrame(), arrSteps[i].nFrame) << "step " << i;
        const CFrameComposer::tagShown shown = pComposer->ShowFrame();
        EXPECT_TRUE(shown.bRendered);
        EXPECT_EQ(shown.bNewFrame, arrSteps[i].bNewFrame) << "step " << i;
        EXPECT_EQ(shown.nDelayMs, 70u);
        // What is shown is the frame's colour.
        EXPECT_EQ(pComposer->GetDisplay().GetPixel(1, 1) & 0xFFFFFF, kPalette[arrSteps[i].nFrame + 1])
            << "step " << i;
        pComposer->EndFrame(2);
    }
}

TEST(CFrameComposerTest, ShortDelaysWaitTheFloor)
{
    const std::pair<int, uint32_t> arrCases[] = {{-1, 100}, {0, 100}, {1, 100},   {4, 100},
                                                 {5, 50},   {7, 70},  {250, 2500}};
    for (const auto& [nDelay, nMs] : arrCases)
        EXPECT_EQ(CFrameComposer::DelayMs(nDelay), nMs) << "delay " << nDelay;
}

} // namespace
