#include "resources/Resources.h"

#include "platform/image/Image.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace resources;

namespace {

enum class Kind
{
    Gif,
    Bitmap,
};

struct Picture
{
    uint32_t nId;
    Kind kind;
    int nWidth;
    int nHeight;
    int nFrames;
};

// Every picture the windows draw, as the skin defines them.
const Picture kPictures[] = {
    {134, Kind::Gif, 161, 61, 16},    {135, Kind::Gif, 748, 342, 1},   {136, Kind::Gif, 670, 88, 1},
    {137, Kind::Gif, 670, 88, 1},     {138, Kind::Gif, 748, 76, 1},    {139, Kind::Gif, 750, 131, 1},
    {141, Kind::Gif, 45, 25, 1},      {142, Kind::Gif, 45, 25, 1},     {143, Kind::Gif, 45, 25, 1},
    {144, Kind::Gif, 45, 25, 1},      {145, Kind::Gif, 45, 25, 1},     {146, Kind::Gif, 45, 25, 1},
    {147, Kind::Gif, 178, 37, 1},     {151, Kind::Gif, 178, 37, 1},    {148, Kind::Gif, 748, 342, 1},
    {152, Kind::Gif, 165, 37, 1},     {153, Kind::Gif, 165, 37, 1},    {155, Kind::Bitmap, 40, 40, 1},
    {156, Kind::Bitmap, 40, 40, 1},   {157, Kind::Bitmap, 40, 40, 1},  {158, Kind::Gif, 155, 43, 1},
    {159, Kind::Gif, 30, 30, 16},     {160, Kind::Gif, 155, 43, 1},    {161, Kind::Gif, 155, 43, 1},
    {162, Kind::Gif, 155, 43, 1},     {169, Kind::Bitmap, 33, 33, 1},  {170, Kind::Bitmap, 33, 33, 1},
    {171, Kind::Bitmap, 33, 33, 1},   {172, Kind::Gif, 670, 88, 1},    {180, Kind::Gif, 15, 336, 1},
    {181, Kind::Gif, 16, 27, 1},      {182, Kind::Bitmap, 16, 27, 1},  {183, Kind::Bitmap, 16, 27, 1},
    {186, Kind::Bitmap, 320, 230, 1}, {187, Kind::Bitmap, 62, 33, 1},  {188, Kind::Bitmap, 62, 33, 1},
    {190, Kind::Gif, 23, 23, 1},      {191, Kind::Gif, 23, 23, 1},     {192, Kind::Gif, 23, 23, 1},
    {198, Kind::Bitmap, 155, 43, 1},  {199, Kind::Bitmap, 155, 43, 1}, {200, Kind::Bitmap, 155, 43, 1},
    {201, Kind::Bitmap, 33, 33, 1},   {202, Kind::Gif, 750, 131, 1},   {203, Kind::Gif, 670, 88, 1},
};

std::string AsString(std::span<const uint8_t> data)
{
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

std::optional<platform::Image> Decode(std::span<const uint8_t> data)
{
    return platform::Image::Decode(data.data(), data.size());
}

// What a walk over a GIF's blocks finds: the frames' delays (-1 without a graphic control
// extension), the loop extension, and each frame's image data.
struct GifInfo
{
    std::vector<int> arrDelays;
    bool bLoopsForever = false;
    std::vector<std::string> arrFrameData;
};

// Walks the blocks the way the animated picture parses them; nullopt for data that runs past
// its end or holds an unknown block before the trailer.
std::optional<GifInfo> ParseGif(const std::string& gif)
{
    if (gif.size() < 13 || gif.compare(0, 6, "GIF89a") != 0)
        return std::nullopt;
    auto byte = [&](size_t i) { return static_cast<uint8_t>(gif[i]); };
    size_t nPos = 13;
    if (byte(10) & 0x80)
        nPos += 3u * (2u << (byte(10) & 7));
    // Skips data sub-blocks from nPos; returns the position after the terminator, or 0.
    auto skipSubBlocks = [&](size_t n) -> size_t {
        while (n < gif.size()) {
            size_t nLen = byte(n);
            if (nLen == 0)
                return n + 1;
            n += nLen + 1;
        }
        return 0;
    };
    GifInfo info;
    int nPendingDelay = -1;
    while (nPos < gif.size()) {
        uint8_t nBlock = byte(nPos);
        if (nBlock == 0x3B)
            return info;
        if (nBlock == 0x21 && nPos + 2 < gif.size()) {
            uint8_t nLabel = byte(nPos + 1);
            if (nLabel == 0xF9 && nPos + 8 <= gif.size()) {
                nPendingDelay = byte(nPos + 4) | (byte(nPos + 5) << 8);
                nPos += 8;
                continue;
            }
            if (nLabel == 0xFF && gif.compare(nPos + 3, 11, "NETSCAPE2.0") == 0 && nPos + 18 < gif.size())
                info.bLoopsForever = byte(nPos + 14) == 3 && byte(nPos + 15) == 1 && byte(nPos + 16) == 0 &&
                                     byte(nPos + 17) == 0;
            nPos = skipSubBlocks(nPos + 2);
        } else if (nBlock == 0x2C && nPos + 10 < gif.size()) {
            size_t nStart = nPos;
            nPos += 10;
            if (byte(nPos - 1) & 0x80)
                nPos += 3u * (2u << (byte(nPos - 1) & 7));
            nPos = skipSubBlocks(nPos + 1);
            if (nPos == 0)
                return std::nullopt;
            info.arrDelays.push_back(nPendingDelay);
            info.arrFrameData.push_back(gif.substr(nStart + 10, nPos - nStart - 10));
            nPendingDelay = -1;
            continue;
        } else {
            return std::nullopt;
        }
        if (nPos == 0)
            return std::nullopt;
    }
    return std::nullopt;
}

TEST(ResourcesTest, EveryPictureHasItsKindSizeAndFrames)
{
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE("picture " + std::to_string(picture.nId));
        std::span<const uint8_t> data = FindResource(picture.nId, kTypeGif);
        ASSERT_FALSE(data.empty());
        std::optional<platform::Image> image = Decode(data);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetWidth(), picture.nWidth);
        EXPECT_EQ(image->GetHeight(), picture.nHeight);
        if (picture.kind == Kind::Bitmap) {
            EXPECT_EQ(AsString(data).substr(0, 2), "BM");
            continue;
        }
        std::optional<GifInfo> gif = ParseGif(AsString(data));
        ASSERT_TRUE(gif) << "the GIF's blocks do not parse";
        ASSERT_EQ(static_cast<int>(gif->arrDelays.size()), picture.nFrames);
        if (picture.nFrames > 1) {
            EXPECT_TRUE(gif->bLoopsForever);
            for (int nDelay : gif->arrDelays)
                EXPECT_EQ(nDelay, 7);
            std::set<std::string> distinct(gif->arrFrameData.begin(), gif->arrFrameData.end());
            EXPECT_EQ(distinct.size(), gif->arrFrameData.size()) << "an animation repeats a frame";
        }
    }
}

TEST(ResourcesTest, FacesAreTransparentAtTheirCornersInTheirOwnKey)
{
    // The Download faces key on the COLORREF 0xE600FF: red 255, green 0, blue 230.
    constexpr uint32_t kMagenta = 0xFFFF00FF;
    constexpr uint32_t kDownload = 0xFFFF00E6;
    const uint32_t faces[] = {136, 137, 141, 142, 143, 144, 145, 146, 147, 151, 152, 153, 155,
                              156, 157, 158, 159, 160, 161, 162, 169, 170, 171, 172, 180, 181,
                              182, 183, 186, 187, 188, 190, 191, 192, 198, 199, 200, 201, 203};
    for (uint32_t nId : faces) {
        SCOPED_TRACE("picture " + std::to_string(nId));
        std::optional<platform::Image> image = Decode(FindResource(nId, kTypeGif));
        ASSERT_TRUE(image);
        const bool bDownload = nId >= 160 && nId <= 162;
        const uint32_t nKey = bDownload ? kDownload : kMagenta;
        const int w = image->GetWidth(), h = image->GetHeight();
        EXPECT_EQ(image->GetPixel(0, 0), nKey);
        EXPECT_EQ(image->GetPixel(w - 1, h - 1), nKey);
        if (nId != 159) { // the busy indicator is a ring with a clear middle
            EXPECT_NE(image->GetPixel(w / 2, h / 2), nKey) << "the face's middle is drawn";
        }
        if (bDownload) {
            for (uint32_t nPixel : image->GetPixels())
                ASSERT_NE(nPixel, kMagenta) << "a Download face must not use the other key";
        }
    }
}

TEST(ResourcesTest, OutlinesAreWhiteOutsideTheRoundedCorners)
{
    struct Outline
    {
        uint32_t nId;
        int nWidth, nHeight, nBitsPerPixel;
    };
    for (const Outline& outline : {Outline{140, 748, 547, 4}, Outline{185, 320, 230, 1}}) {
        SCOPED_TRACE("outline " + std::to_string(outline.nId));
        std::span<const uint8_t> data = FindResource(outline.nId, kTypeBitmap);
        ASSERT_GT(data.size(), 30u);
        EXPECT_EQ(AsString(data).substr(0, 2), "BM");
        EXPECT_EQ(data[28], outline.nBitsPerPixel);
        std::optional<platform::Image> image = Decode(data);
        ASSERT_TRUE(image);
        ASSERT_EQ(image->GetWidth(), outline.nWidth);
        ASSERT_EQ(image->GetHeight(), outline.nHeight);
        constexpr uint32_t kWhite = 0xFFFFFFFF;
        const int w = outline.nWidth, h = outline.nHeight;
        for (auto [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {2, 2}, {w - 3, h - 3}})
            EXPECT_EQ(image->GetPixel(x, y), kWhite) << x << ", " << y;
        for (auto [x, y] : {std::pair{w / 2, h / 2}, {w / 2, 0}, {0, h / 2}, {w - 1, h / 2}, {w / 2, h - 1}})
            EXPECT_NE(image->GetPixel(x, y), kWhite) << x << ", " << y;
    }
}

TEST(ResourcesTest, IconIsASquarePictureWithTransparentCorners)
{
    std::optional<platform::Image> icon = Decode(FindResource(128, kTypeIcon));
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->GetWidth(), icon->GetHeight());
    EXPECT_GE(icon->GetWidth(), 32);
    EXPECT_EQ(icon->GetPixel(0, 0) >> 24, 0u);
    EXPECT_EQ(icon->GetPixel(icon->GetWidth() / 2, icon->GetHeight() / 2) >> 24, 0xFFu);
}

TEST(ResourcesTest, LookupNeedsTheRightIdAndType)
{
    EXPECT_TRUE(FindResource(999, kTypeGif).empty());
    EXPECT_TRUE(FindResource(140, kTypeGif).empty());
    EXPECT_TRUE(FindResource(134, kTypeBitmap).empty());
    EXPECT_TRUE(FindResource(134, "").empty());
    // Type names compare without regard to case.
    EXPECT_EQ(FindResource(134, "gif").data(), FindResource(134, kTypeGif).data());
    EXPECT_FALSE(FindResource(185, "Bitmap").empty());
}

} // namespace
