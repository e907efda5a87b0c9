#include "platform/image/Image.h"

#include "platform/text/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

using namespace platform;
using namespace testing_support;

namespace {

// The four-colour fixture: red, green on the top row; blue, white below.
const std::vector<uint32_t> kFourColours = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};

void PutLe(std::string& bytes, uint32_t nValue, size_t nWidth)
{
    for (size_t i = 0; i < nWidth; ++i)
        bytes += static_cast<char>((nValue >> (8 * i)) & 0xFF);
}

void PutBe32(std::string& bytes, uint32_t nValue)
{
    for (int nShift = 24; nShift >= 0; nShift -= 8)
        bytes += static_cast<char>((nValue >> nShift) & 0xFF);
}

// A 24-bit uncompressed BMP; rows are stored bottom-up unless bTopDown (a negative height).
// With arrPixels empty only the headers are written.
std::string Bmp(int32_t nWidth, int32_t nHeight, bool bTopDown, const std::vector<uint32_t>& arrPixels)
{
    const uint32_t nRowSize = (static_cast<uint32_t>(nWidth) * 3 + 3) / 4 * 4;
    const uint32_t nImageSize = arrPixels.empty() ? 0 : nRowSize * static_cast<uint32_t>(nHeight);
    std::string bmp = "BM";
    PutLe(bmp, 54 + nImageSize, 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 54, 4);
    PutLe(bmp, 40, 4);
    PutLe(bmp, static_cast<uint32_t>(nWidth), 4);
    PutLe(bmp, static_cast<uint32_t>(bTopDown ? -nHeight : nHeight), 4);
    PutLe(bmp, 1, 2);
    PutLe(bmp, 24, 2);
    PutLe(bmp, 0, 4); // BI_RGB
    PutLe(bmp, nImageSize, 4);
    PutLe(bmp, 2835, 4);
    PutLe(bmp, 2835, 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 0, 4);
    if (arrPixels.empty())
        return bmp;
    for (int32_t nRow = 0; nRow < nHeight; ++nRow) {
        int32_t y = bTopDown ? nRow : nHeight - 1 - nRow;
        std::string row;
        for (int32_t x = 0; x < nWidth; ++x) {
            uint32_t c = arrPixels[static_cast<size_t>(y * nWidth + x)];
            row += static_cast<char>(c & 0xFF);
            row += static_cast<char>((c >> 8) & 0xFF);
            row += static_cast<char>((c >> 16) & 0xFF);
        }
        row.resize(nRowSize, '\0');
        bmp += row;
    }
    return bmp;
}

// A GIF with a four-entry palette (the four colours). Each frame lists palette indices; its
// LZW data sends a clear code before every index, so every code stays 3 bits wide.
std::string Gif(uint16_t nWidth, uint16_t nHeight, const std::vector<std::vector<uint8_t>>& frames)
{
    std::string gif = "GIF89a";
    PutLe(gif, nWidth, 2);
    PutLe(gif, nHeight, 2);
    gif += '\xF1'; // global palette of 4 entries
    gif += '\0';
    gif += '\0';
    for (uint32_t c : kFourColours) {
        gif += static_cast<char>((c >> 16) & 0xFF);
        gif += static_cast<char>((c >> 8) & 0xFF);
        gif += static_cast<char>(c & 0xFF);
    }
    for (const std::vector<uint8_t>& indices : frames) {
        gif += '\x2C';
        PutLe(gif, 0, 4);
        PutLe(gif, nWidth, 2);
        PutLe(gif, nHeight, 2);
        gif += '\0';
        gif += '\x02'; // minimum code size: clear is 4, end is 5
        std::vector<uint32_t> codes;
        for (uint8_t n : indices) {
            codes.push_back(4);
            codes.push_back(n);
        }
        codes.push_back(5);
        std::string data;
        uint32_t nBits = 0, nCount = 0;
        for (uint32_t code : codes) {
            nBits |= code << nCount;
            nCount += 3;
            while (nCount >= 8) {
                data += static_cast<char>(nBits & 0xFF);
                nBits >>= 8;
                nCount -= 8;
            }
        }
        if (nCount > 0)
            data += static_cast<char>(nBits & 0xFF);
        gif += static_cast<char>(data.size());
        gif += data;
        gif += '\0';
    }
    gif += '\x3B';
    return gif;
}

uint32_t Crc32(const std::string& bytes)
{
    uint32_t nCrc = 0xFFFFFFFF;
    for (char c : bytes) {
        nCrc ^= static_cast<uint8_t>(c);
        for (int i = 0; i < 8; ++i)
            nCrc = (nCrc >> 1) ^ (0xEDB88320u & (0u - (nCrc & 1)));
    }
    return ~nCrc;
}

// The PNG signature and an IHDR chunk for an 8-bit RGBA image, and nothing else.
std::string PngHeader(uint32_t nWidth, uint32_t nHeight)
{
    std::string chunk = "IHDR";
    PutBe32(chunk, nWidth);
    PutBe32(chunk, nHeight);
    chunk += std::string("\x08\x06\x00\x00\x00", 5);
    std::string png("\x89PNG\r\n\x1A\n", 8);
    PutBe32(png, 13);
    png += chunk;
    PutBe32(png, Crc32(chunk));
    return png;
}

// The four colours as a JPEG at full quality without chroma subsampling.
const std::string kFourColoursJpeg(
    "\xFF\xD8\xFF\xE0\x00\x10\x4A\x46\x49\x46\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xDB\x00\x84"
    "\x00\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01"
    "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\xFF\xC0\x00\x11\x08\x00\x02\x00\x02\x03\x01\x11\x00\x02"
    "\x11\x01\x03\x11\x01\xFF\xC4\x01\xA2\x00\x00\x01\x05\x01\x01\x01\x01\x01\x01\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x10\x00\x02\x01\x03\x03\x02\x04\x03\x05"
    "\x05\x04\x04\x00\x00\x01\x7D\x01\x02\x03\x00\x04\x11\x05\x12\x21\x31\x41\x06\x13\x51\x61\x07\x22"
    "\x71\x14\x32\x81\x91\xA1\x08\x23\x42\xB1\xC1\x15\x52\xD1\xF0\x24\x33\x62\x72\x82\x09\x0A\x16\x17"
    "\x18\x19\x1A\x25\x26\x27\x28\x29\x2A\x34\x35\x36\x37\x38\x39\x3A\x43\x44\x45\x46\x47\x48\x49\x4A"
    "\x53\x54\x55\x56\x57\x58\x59\x5A\x63\x64\x65\x66\x67\x68\x69\x6A\x73\x74\x75\x76\x77\x78\x79\x7A"
    "\x83\x84\x85\x86\x87\x88\x89\x8A\x92\x93\x94\x95\x96\x97\x98\x99\x9A\xA2\xA3\xA4\xA5\xA6\xA7\xA8"
    "\xA9\xAA\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xD2\xD3\xD4\xD5"
    "\xD6\xD7\xD8\xD9\xDA\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9"
    "\xFA\x01\x00\x03\x01\x01\x01\x01\x01\x01\x01\x01\x01\x00\x00\x00\x00\x00\x00\x01\x02\x03\x04\x05"
    "\x06\x07\x08\x09\x0A\x0B\x11\x00\x02\x01\x02\x04\x04\x03\x04\x07\x05\x04\x04\x00\x01\x02\x77\x00"
    "\x01\x02\x03\x11\x04\x05\x21\x31\x06\x12\x41\x51\x07\x61\x71\x13\x22\x32\x81\x08\x14\x42\x91\xA1"
    "\xB1\xC1\x09\x23\x33\x52\xF0\x15\x62\x72\xD1\x0A\x16\x24\x34\xE1\x25\xF1\x17\x18\x19\x1A\x26\x27"
    "\x28\x29\x2A\x35\x36\x37\x38\x39\x3A\x43\x44\x45\x46\x47\x48\x49\x4A\x53\x54\x55\x56\x57\x58\x59"
    "\x5A\x63\x64\x65\x66\x67\x68\x69\x6A\x73\x74\x75\x76\x77\x78\x79\x7A\x82\x83\x84\x85\x86\x87\x88"
    "\x89\x8A\x92\x93\x94\x95\x96\x97\x98\x99\x9A\xA2\xA3\xA4\xA5\xA6\xA7\xA8\xA9\xAA\xB2\xB3\xB4\xB5"
    "\xB6\xB7\xB8\xB9\xBA\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xE2"
    "\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFF\xDA\x00\x0C\x03\x01\x00"
    "\x02\x11\x03\x11\x00\x3F\x00\xFE\xB0\x3F\xE0\x9C\x1F\x01\xFE\x07\x78\x97\xFE\x09\xE3\xFB\x06\x78"
    "\x8F\xC4\x7F\x06\xBE\x14\xEB\xFE\x21\xD7\xFF\x00\x63\x0F\xD9\x73\x5A\xD7\x75\xDD\x6B\xE1\xDF\x84"
    "\x35\x5D\x67\x5A\xD6\x75\x5F\x81\xFE\x06\xBE\xD5\x35\x6D\x5B\x54\xBE\xD1\xE7\xBD\xD4\xB5\x3D\x4A"
    "\xF6\x79\xEF\x2F\xEF\xEF\x27\x9A\xEA\xF2\xEA\x69\x6E\x2E\x25\x92\x69\x1D\xCF\xD0\x7D\x28\xBE\x8F"
    "\x7E\x01\xE5\x5F\x49\x9F\xA4\x4E\x59\x96\x78\x1F\xE1\x06\x5B\x96\xE5\xBE\x3A\xF8\xB9\x80\xCB\xB2"
    "\xEC\x07\x86\x9C\x17\x83\xC0\xE0\x30\x38\x3E\x3F\xE2\x0C\x3E\x13\x05\x82\xC2\x61\xF2\x5A\x78\x7C"
    "\x2E\x13\x0B\x87\xA7\x4E\x86\x1F\x0F\x42\x9C\x28\xD0\xA3\x08\x52\xA5\x08\xC2\x31\x8A\xFC\x7F\x1F"
    "\xE0\xBF\x83\xBC\x7B\x8F\xC6\xF1\xD7\x1D\x78\x4F\xE1\xA7\x1A\x71\xB7\x1A\x62\xF1\x3C\x59\xC6\x3C"
    "\x63\xC5\x9C\x09\xC2\xDC\x47\xC5\x5C\x59\xC5\x5C\x47\x5A\x79\xC7\x10\xF1\x2F\x12\xF1\x0E\x71\x95"
    "\x63\x33\x7C\xF7\x88\x33\xDC\xDF\x19\x8B\xCD\x33\x9C\xE7\x34\xC5\xE2\xB3\x1C\xD3\x31\xC5\x62\x71"
    "\xD8\xEC\x4D\x7C\x4D\x7A\xB5\x65\xFF\xD9",
    850);

std::string PngOf(const Image& image)
{
    TempDir dir;
    EXPECT_TRUE(image.SavePng(FromUtf8(dir / "fixture.png")));
    return ReadFile(dir / "fixture.png");
}

Image FourColourImage(const std::vector<uint32_t>& arrColours)
{
    std::optional<Image> image = Image::Create(2, 2);
    EXPECT_TRUE(image);
    for (int i = 0; i < 4; ++i)
        image->SetPixel(i % 2, i / 2, arrColours[static_cast<size_t>(i)]);
    return *image;
}

struct Fixture
{
    const char* pszName;
    std::string bytes;
    std::vector<uint32_t> arrExpected;
    int nTolerance; // per channel
};

std::vector<Fixture> Fixtures()
{
    const std::vector<uint32_t> arrTranslucent = {0xFFFF0000, 0x8000FF00, 0x000000FF, 0x40FFFFFF};
    return {
        {"bmp bottom-up", Bmp(2, 2, false, kFourColours), kFourColours, 0},
        {"bmp top-down", Bmp(2, 2, true, kFourColours), kFourColours, 0},
        // The second frame is all white: only the first may show.
        {"gif", Gif(2, 2, {{0, 1, 2, 3}, {3, 3, 3, 3}}), kFourColours, 0},
        {"png", PngOf(FourColourImage(arrTranslucent)), arrTranslucent, 0},
        {"jpeg", kFourColoursJpeg, kFourColours, 8},
    };
}

bool IsNear(uint32_t nActual, uint32_t nExpected, int nTolerance)
{
    for (int nShift = 0; nShift < 32; nShift += 8) {
        int nA = static_cast<int>((nActual >> nShift) & 0xFF);
        int nE = static_cast<int>((nExpected >> nShift) & 0xFF);
        if (std::abs(nA - nE) > nTolerance)
            return false;
    }
    return true;
}

// Decodes from a heap copy of exactly the given bytes, so AddressSanitizer sees any read past them.
std::optional<Image> DecodeExact(const std::string& bytes, size_t nLength)
{
    std::vector<uint8_t> copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(nLength));
    return Image::Decode(copy.data(), copy.size());
}

void ExpectWholeImage(const std::optional<Image>& image, int nWidth, int nHeight, const std::string& strWhat)
{
    if (!image)
        return;
    EXPECT_EQ(image->GetWidth(), nWidth) << strWhat;
    EXPECT_EQ(image->GetHeight(), nHeight) << strWhat;
    EXPECT_EQ(image->GetPixels().size(), static_cast<size_t>(image->GetWidth()) * image->GetHeight())
        << strWhat;
}

} // namespace

TEST(Image, EachFormatDecodesFourKnownColours)
{
    for (const Fixture& f : Fixtures()) {
        SCOPED_TRACE(f.pszName);
        std::optional<Image> image = Image::Decode(f.bytes.data(), f.bytes.size());
        ASSERT_TRUE(image);
        ASSERT_EQ(image->GetWidth(), 2);
        ASSERT_EQ(image->GetHeight(), 2);
        for (int i = 0; i < 4; ++i) {
            uint32_t nActual = image->GetPixel(i % 2, i / 2);
            EXPECT_TRUE(IsNear(nActual, f.arrExpected[static_cast<size_t>(i)], f.nTolerance))
                << "pixel " << i << ": " << std::hex << nActual;
        }
    }
}

TEST(Image, TruncatedDataGivesNothingOrAWholeImage)
{
    for (const Fixture& f : Fixtures()) {
        for (size_t n = 0; n < f.bytes.size(); ++n)
            ExpectWholeImage(DecodeExact(f.bytes, n), 2, 2,
                             std::string(f.pszName) + " cut to " + std::to_string(n));
        // A header cut short of its pixels must not decode.
        EXPECT_FALSE(DecodeExact(f.bytes, 8)) << f.pszName;
    }
}

TEST(Image, RandomBytesGiveNothing)
{
    std::mt19937 rng(20261231);
    const std::string signatures[] = {"", "BM", "GIF89a", std::string("\x89PNG\r\n\x1A\n", 8),
                                      "\xFF\xD8\xFF"};
    for (int nRound = 0; nRound < 400; ++nRound) {
        for (const std::string& strSignature : signatures) {
            std::string bytes = strSignature;
            size_t nLength = 1 + rng() % 600;
            for (size_t i = 0; i < nLength; ++i)
                bytes += static_cast<char>(rng());
            std::optional<Image> image = DecodeExact(bytes, bytes.size());
            if (strSignature.empty()) {
                EXPECT_FALSE(image) << "round " << nRound;
            } else if (image) { // a valid signature before noise may still describe some small image
                EXPECT_EQ(image->GetPixels().size(),
                          static_cast<size_t>(image->GetWidth()) * image->GetHeight());
            }
        }
    }
    const std::string strText = "This is not an image at all.\n";
    EXPECT_FALSE(Image::Decode(strText.data(), strText.size()));
    EXPECT_FALSE(Image::Decode(nullptr, 100));
}

// Headers alone: if any of them passed, the decoder would allocate for the size it claims.
TEST(Image, HeadersWithZeroOrOversizedSidesAreRefused)
{
    struct Case
    {
        const char* pszName;
        std::string bytes;
    } cases[] = {
        {"bmp zero width", Bmp(0, 2, false, {})},
        {"bmp zero height", Bmp(2, 0, false, {})},
        {"bmp too wide", Bmp(16385, 1, false, {})},
        {"bmp too tall", Bmp(1, 16385, true, {})},
        {"bmp too many pixels", Bmp(8192, 8193, false, {})},
        {"gif zero width", Gif(0, 2, {})},
        {"gif too wide", Gif(16385, 1, {})},
        {"gif too many pixels", Gif(8200, 8200, {})},
        {"png zero height", PngHeader(2, 0)},
        {"png too tall", PngHeader(1, 16385)},
        {"png too many pixels", PngHeader(16384, 4097)},
        {"png beyond 2^31", PngHeader(0x80000001u, 1)},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(Image::Decode(c.bytes.data(), c.bytes.size())) << c.pszName;

    // The largest side itself is allowed.
    std::vector<uint32_t> arrRow(16384, 0xFF102030);
    std::string wide = Bmp(16384, 1, false, arrRow);
    std::optional<Image> image = Image::Decode(wide.data(), wide.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetWidth(), 16384);
    EXPECT_EQ(image->GetPixel(16383, 0), 0xFF102030u);
}

// A Huffman table with more than 256 codes would make the decoder write past its table
// (UndefinedBehaviorSanitizer reports the index); it must be refused before decoding starts.
TEST(Image, JpegWithOverfullHuffmanTableIsRefused)
{
    const size_t nDht = kFourColoursJpeg.find("\xFF\xC4");
    ASSERT_NE(nDht, std::string::npos);
    for (int nExtra : {1, 255 * 16 - 256}) {
        std::string jpeg = kFourColoursJpeg;
        // Counts of codes per length follow the marker, the length and the class/id byte.
        for (size_t i = 0; i < 16; ++i)
            jpeg[nDht + 5 + i] = '\0';
        int nCodes = 256 + nExtra;
        for (size_t i = 0; i < 16 && nCodes > 0; ++i) {
            int nHere = std::min(nCodes, 255);
            jpeg[nDht + 5 + i] = static_cast<char>(nHere);
            nCodes -= nHere;
        }
        EXPECT_FALSE(DecodeExact(jpeg, jpeg.size())) << 256 + nExtra << " codes";
    }
}

TEST(Image, CreateAndPixelAccessStayInsideTheImage)
{
    std::optional<Image> image = Image::Create(3, 2, 0xFF000000);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->IsNull());
    image->SetPixel(2, 1, 0xFFABCDEF);
    image->SetPixel(3, 0, 0xFFFFFFFF); // outside: ignored
    image->SetPixel(-1, 0, 0xFFFFFFFF);
    EXPECT_EQ(image->GetPixel(2, 1), 0xFFABCDEFu);
    EXPECT_EQ(image->GetPixels()[5], 0xFFABCDEFu); // row-major, top-down
    EXPECT_EQ(image->GetPixel(0, 2), 0u);
    EXPECT_EQ(image->GetPixel(-1, -1), 0u);
    EXPECT_EQ(std::count(image->GetPixels().begin(), image->GetPixels().end(), 0xFF000000u), 5);

    EXPECT_TRUE(Image().IsNull());
    EXPECT_FALSE(Image::Create(0, 5));
    EXPECT_FALSE(Image::Create(-1, 5));
    EXPECT_FALSE(Image::Create(Image::kMaxSide + 1, 1));
    EXPECT_FALSE(Image::Create(8192, 8193));
}

TEST(Image, FilesLoadAndSaveUnderUtf8Names)
{
    TempDir dir;
    const std::wstring strPath = FromUtf8(dir / "shot \xC3\xA4 \xE6\x97\xA5\xE6\x9C\xAC.png");
    const Image original = FourColourImage(kFourColours);
    ASSERT_TRUE(original.SavePng(strPath));
    std::optional<Image> loaded = Image::LoadFromFile(strPath);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetPixels(), original.GetPixels());

    WriteFile(dir / "notes.png", "plain text with an image's name");
    WriteFile(dir / "empty.gif", "");
    EXPECT_FALSE(Image::LoadFromFile(FromUtf8(dir / "notes.png")));
    EXPECT_FALSE(Image::LoadFromFile(FromUtf8(dir / "empty.gif")));
    EXPECT_FALSE(Image::LoadFromFile(FromUtf8(dir / "missing.png")));
    EXPECT_FALSE(Image::LoadFromFile(FromUtf8(dir.Path())));
    EXPECT_FALSE(Image().SavePng(FromUtf8(dir / "null.png")));
    EXPECT_FALSE(original.SavePng(FromUtf8(dir / "no-such-folder/shot.png")));
}
