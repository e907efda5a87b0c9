#include "controls/CGifParser.h"

#include "controls/GifBuilder.h"
#include "platform/image/Image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using gif_builder::SolidFrame;

const std::vector<uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

// Four graphic blocks with every kind of block around them: the loop extension and a plain text
// extension before the first, comments between frames and between a control extension and its
// image, a local colour table, and a frame without a control extension.
gif_builder::Gif RichGif()
{
    gif_builder::Gif gif;
    gif.nWidth = 12;
    gif.nHeight = 8;
    gif.arrGlobalTable = kPalette;
    gif.bCommentBetweenFrames = true;
    gif.bPlainTextBeforeFrames = true;
    gif.arrFrames.push_back(SolidFrame(0, 0, 12, 8, 1, 10, 1));
    gif.arrFrames.push_back(SolidFrame(2, 1, 4, 3, 2, 3, 2));
    gif.arrFrames.back().bCommentBeforeImage = true;
    gif.arrFrames.push_back(SolidFrame(5, 4, 6, 2, 0, -1, 0));
    gif.arrFrames.back().arrLocalTable = {0x123456, 0xABCDEF, 0x00FF00, 0xFFFFFF, 0x111111};
    gif.arrFrames.push_back(SolidFrame(1, 1, 1, 1, 3, 0, 3));
    return gif;
}

TEST(CGifParserTest, ReadsEachGraphicBlockWithItsControlData)
{
    const std::vector<uint8_t> data = gif_builder::Build(RichGif());
    CGifParser parser;
    ASSERT_TRUE(parser.Open(data));
    EXPECT_EQ(parser.GetWidth(), 12);
    EXPECT_EQ(parser.GetHeight(), 8);
    EXPECT_EQ(parser.GetGlobalTableSize(), 12u);
    ASSERT_EQ(parser.CountGraphicBlocks(), 4);

    struct Expected
    {
        int nLeft, nTop, nWidth, nHeight, nDelay, nDisposal;
    };
    const Expected arrExpected[] = {
        {0, 0, 12, 8, 10, 1},
        {2, 1, 4, 3, 3, 2},
        {5, 4, 6, 2, -1, 0},
        {1, 1, 1, 1, 0, 3},
    };
    for (const Expected& expected : arrExpected) {
        std::optional<tagGifFrameData> frame = parser.ExtractNextFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->nLeft, expected.nLeft);
        EXPECT_EQ(frame->nTop, expected.nTop);
        EXPECT_EQ(frame->nWidth, expected.nWidth);
        EXPECT_EQ(frame->nHeight, expected.nHeight);
        EXPECT_EQ(frame->nDelay, expected.nDelay);
        EXPECT_EQ(frame->nDisposal, expected.nDisposal);
    }
    EXPECT_FALSE(parser.ExtractNextFrame());
}

TEST(CGifParserTest, FrameIsStandaloneGifOfHeaderItsBlocksAndTrailer)
{
    gif_builder::Gif gif = RichGif();
    const std::vector<uint8_t> data = gif_builder::Build(gif);
    CGifParser parser;
    ASSERT_TRUE(parser.Open(data));
    ASSERT_TRUE(parser.ExtractNextFrame());
    std::optional<tagGifFrameData> frame = parser.ExtractNextFrame(); // the one with a comment inside
    ASSERT_TRUE(frame);

    // The same blocks written on their own: control extension, comment, image.
    gif_builder::Gif single = gif;
    single.bLoopExtension = false;
    single.bPlainTextBeforeFrames = false;
    single.arrFrames = {gif.arrFrames[1]};
    EXPECT_EQ(frame->arrGif, gif_builder::Build(single));

    std::optional<platform::Image> img = platform::Image::Decode(frame->arrGif.data(), frame->arrGif.size());
    ASSERT_TRUE(img);
    EXPECT_EQ(img->GetWidth(), 12);
    EXPECT_EQ(img->GetPixel(2, 1), 0xFF00FF00u); // the frame's green, at its position
}

TEST(CGifParserTest, RefusesDataWithoutWholeHeader)
{
    // A header and one whole 1 x 1 image, so only the header can be at fault.
    auto gif = [](uint8_t nFirst, uint8_t nWidth, uint8_t nHeight, uint8_t nPacked) {
        return std::vector<uint8_t>{nFirst,  'I', 'F', '8', '9', 'a', nWidth, 0, nHeight, 0,
                                    nPacked, 0,   0,   ',', 0,   0,   0,      0, 1,       0,
                                    1,       0,   0,   8,   2,   0,   0,      0, ';'};
    };
    struct Case
    {
        const char* pszName;
        std::vector<uint8_t> data;
    };
    const Case arrCases[] = {
        {"empty", {}},
        {"signature only", {'G', 'I', 'F', '8', '9', 'a'}},
        {"not GIF", gif('B', 4, 4, 0)},
        {"zero width", gif('G', 0, 4, 0)},
        {"zero height", gif('G', 4, 0, 0)},
        // The flag asks for 768 bytes of table that are not there.
        {"table flag without table", gif('G', 4, 4, 0xF7)},
    };
    for (const Case& c : arrCases) {
        // An exact-size copy, so a read past the end is caught under AddressSanitizer.
        const std::vector<uint8_t> data(c.data.begin(), c.data.end());
        CGifParser parser;
        EXPECT_FALSE(parser.Open(data)) << c.pszName;
        EXPECT_EQ(parser.CountGraphicBlocks(), 0) << c.pszName;
        EXPECT_FALSE(parser.ExtractNextFrame()) << c.pszName;
    }
    const std::vector<uint8_t> whole = gif('G', 4, 4, 0);
    CGifParser parser;
    ASSERT_TRUE(parser.Open(whole));
    EXPECT_EQ(parser.CountGraphicBlocks(), 1);
}

// Every cut of the data ends the walk at the last whole frame: a truncated download, or a frame
// whose blocks run past the data.
TEST(CGifParserTest, TruncatedDataKeepsOnlyWholeFrames)
{
    const gif_builder::Gif gif = RichGif();
    const std::vector<uint8_t> full = gif_builder::Build(gif);
    // Where each frame's image ends: the size of the file with that many frames, less its trailer.
    std::vector<size_t> arrFrameEnds;
    for (size_t n = 1; n <= gif.arrFrames.size(); ++n) {
        gif_builder::Gif part = gif;
        part.arrFrames.resize(n);
        arrFrameEnds.push_back(gif_builder::Build(part).size() - 1);
    }

    for (size_t nSize = 0; nSize <= full.size(); ++nSize) {
        const std::vector<uint8_t> data(full.begin(), full.begin() + static_cast<ptrdiff_t>(nSize));
        int nWhole = 0;
        for (size_t nEnd : arrFrameEnds)
            nWhole += nEnd <= nSize ? 1 : 0;
        CGifParser parser;
        if (!parser.Open(data)) {
            EXPECT_LT(nSize, 13u + 12u);
            continue;
        }
        ASSERT_EQ(parser.CountGraphicBlocks(), nWhole) << "size " << nSize;
        int nExtracted = 0;
        while (std::optional<tagGifFrameData> frame = parser.ExtractNextFrame()) {
            EXPECT_EQ(frame->arrGif.back(), ';');
            ++nExtracted;
        }
        EXPECT_EQ(nExtracted, nWhole) << "size " << nSize;
    }
}

TEST(CGifParserTest, StopsAtBlocksThatDoNotFit)
{
    gif_builder::Gif gif;
    gif.nWidth = 4;
    gif.nHeight = 4;
    gif.arrGlobalTable = kPalette;
    gif.bLoopExtension = false;
    gif.arrFrames = {SolidFrame(0, 0, 4, 4, 1), SolidFrame(0, 0, 2, 2, 2)};
    const std::vector<uint8_t> valid = gif_builder::Build(gif);
    const size_t nSecond =
        gif_builder::Build({4, 4, kPalette, false, false, false, {gif.arrFrames[0]}}).size() - 1;
    ASSERT_EQ(valid[nSecond], '!');
    const size_t nSecondImage = nSecond + 8;
    ASSERT_EQ(valid[nSecondImage], ',');

    struct Case
    {
        const char* pszName;
        size_t nPos;
        uint8_t nValue;
    };
    const Case arrCases[] = {
        {"unrecognised block between frames", nSecond, 0x42},
        {"unknown extension label", nSecond + 1, 0x77},
        {"first data sub-block longer than the data", nSecondImage + 11, 0xFF},
        {"local table flag with no table", nSecondImage + 9, 0x87},
    };
    for (const Case& c : arrCases) {
        std::vector<uint8_t> data = valid;
        data[c.nPos] = c.nValue;
        if (c.nValue == 0xFF) // the sub-block now runs past the end: drop the rest of the file
            data.resize(c.nPos + 20);
        const std::vector<uint8_t> exact(data.begin(), data.end());
        CGifParser parser;
        ASSERT_TRUE(parser.Open(exact)) << c.pszName;
        EXPECT_EQ(parser.CountGraphicBlocks(), 1) << c.pszName;
    }
}

TEST(CGifParserTest, MeasuresEachBlockKind)
{
    struct Case
    {
        const char* pszName;
        std::vector<uint8_t> block; // placed right after a header without a global table
        CGifParser::Block kind;
        size_t nLen;
    };
    const std::vector<uint8_t> kSubBlocks = {2, 'a', 'b', 1, 'c', 0}; // 6 bytes
    auto with = [&](std::vector<uint8_t> head) {
        head.insert(head.end(), kSubBlocks.begin(), kSubBlocks.end());
        return head;
    };
    const Case arrCases[] = {
        {"application", with({'!', 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'}),
         CGifParser::Block::ApplicationExt, 14 + 6},
        {"comment", with({'!', 0xFE}), CGifParser::Block::CommentExt, 2 + 6},
        {"control", {'!', 0xF9, 4, 0, 7, 0, 0, 0}, CGifParser::Block::ControlExt, 8},
        {"plain text", with({'!', 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0}),
         CGifParser::Block::PlainTextExt, 15 + 6},
        {"image", with({',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 8}), CGifParser::Block::Image, 11 + 6},
        {"image with local table",
         with({',', 0, 0, 0, 0, 1, 0, 1, 0, 0x81, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 8}),
         CGifParser::Block::Image, 11 + 12 + 6},
        {"trailer", {';'}, CGifParser::Block::Trailer, 1},
        {"unrecognised", {0x00, 1, 2}, CGifParser::Block::Unknown, 0},
        {"extension cut after its introducer", {'!'}, CGifParser::Block::Unknown, 0},
        {"control cut short", {'!', 0xF9, 4, 0, 7}, CGifParser::Block::ControlExt, 0},
        {"sub-blocks without terminator", {'!', 0xFE, 2, 'a', 'b'}, CGifParser::Block::CommentExt, 0},
        {"image cut in its descriptor", {',', 0, 0, 0, 0, 1}, CGifParser::Block::Image, 0},
    };
    for (const Case& c : arrCases) {
        std::vector<uint8_t> data = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
        data.insert(data.end(), c.block.begin(), c.block.end());
        CGifParser parser;
        ASSERT_TRUE(parser.Open(data)) << c.pszName;
        EXPECT_EQ(parser.GetNextBlock(), c.kind) << c.pszName;
        EXPECT_EQ(parser.GetNextBlockLen(), c.nLen) << c.pszName;
    }
}

} // namespace
