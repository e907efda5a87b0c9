#include "platform/image/Image.h"

#include "platform/fs/FileSystem.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

// stb_image is compiled here and nowhere else, with only the formats we read, without its file
// functions (we read files ourselves so that UTF-8 paths work) and with its functions static to
// this file. Failure strings are off: they live in a per-thread global, and our callers only need
// to know that an image could not be read.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace platform {

namespace {

static_assert(STBI_MAX_DIMENSIONS == Image::kMaxSide);

// The largest file LoadFromFile reads: a 64-megapixel image as an uncompressed 32-bit BMP, and some.
constexpr uint64_t kMaxFileSize = 320ull * 1024 * 1024;

struct StbFree
{
    void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

void AppendBytes(void* pContext, void* pData, int nSize)
{
    auto* pOut = static_cast<std::string*>(pContext);
    pOut->append(static_cast<const char*>(pData), static_cast<size_t>(nSize));
}

// The stb_image in Debian's libstb-dev (2.27) builds a JPEG Huffman table without checking that
// its code counts add up to at most 256, and then writes past the table. Later versions refuse
// such a table; here every table that stb would read is checked first, by the same walk over the
// segments that stb's decoder takes. Where that walk and stb could part (junk, broken lengths),
// stb gives up on the image, so nothing it reads afterwards matters.
class JpegGuard
{
public:
    JpegGuard(const stbi_uc* pData, size_t nSize) : m_pData(pData), m_nSize(nSize) {}

    // False when the data holds a Huffman table that would overflow stb's.
    bool HuffmanTablesFit()
    {
        // stb takes the data for a JPEG when it starts with fill bytes (0xFF) and SOI.
        if (Next() != 0xFF)
            return true;
        int nMarker = SkipFill();
        if (nMarker != 0xD8)
            return true;
        for (;;) {
            int c;
            do // junk between segments, as stb skips it before the frame header
                c = Next();
            while (c >= 0 && c != 0xFF);
            nMarker = SkipFill();
            if (nMarker < 0 || nMarker == 0xD9) // end of data, or EOI: stb stops reading here
                return true;
            if (nMarker == 0x00 || nMarker == 0x01 || (nMarker >= 0xD0 && nMarker <= 0xD8))
                continue; // markers without a segment
            const size_t nSegment = m_nPos;
            const int nHigh = Next();
            const int nLow = Next();
            const int nLength = nHigh * 256 + nLow;
            if (nLow < 0 || nLength < 2) // we ran out of data, or stb refuses the image
                return true;
            if (nMarker == 0xC4 && !DhtFits(nSegment + 2, nLength - 2))
                return false;
            m_nPos = nSegment + static_cast<size_t>(nLength);
            if (nMarker == 0xDA)
                SkipEntropyCodedData();
        }
    }

private:
    int Next() { return m_nPos < m_nSize ? m_pData[m_nPos++] : -1; }
    int At(size_t nPos) const { return nPos < m_nSize ? m_pData[nPos] : 0; } // stb reads zeros past the end

    // Reads the byte after a run of 0xFF.
    int SkipFill()
    {
        int c;
        do
            c = Next();
        while (c == 0xFF);
        return c;
    }

    // Moves to the 0xFF of the first marker after a scan: 0xFF 0x00 is a data byte and restart
    // markers belong to the scan.
    void SkipEntropyCodedData()
    {
        while (m_nPos < m_nSize) {
            if (m_pData[m_nPos] != 0xFF) {
                ++m_nPos;
                continue;
            }
            size_t nNext = m_nPos + 1;
            while (nNext < m_nSize && m_pData[nNext] == 0xFF)
                ++nNext;
            if (nNext < m_nSize &&
                (m_pData[nNext] == 0x00 || (m_pData[nNext] >= 0xD0 && m_pData[nNext] <= 0xD7))) {
                m_nPos = nNext + 1;
                continue;
            }
            return;
        }
    }

    // The tables of one DHT segment, read the way stb reads them (it trusts the counts over the
    // segment's length).
    bool DhtFits(size_t nPos, int nLeft) const
    {
        while (nLeft > 0) {
            const int nClassAndId = At(nPos);
            if ((nClassAndId >> 4) > 1 || (nClassAndId & 15) > 3)
                return true; // stb refuses the image
            int nCodes = 0;
            for (size_t i = 1; i <= 16; ++i)
                nCodes += At(nPos + i);
            if (nCodes > 256)
                return false;
            nPos += 17 + static_cast<size_t>(nCodes);
            nLeft -= 17 + nCodes;
            if (nPos > m_nSize)
                return true;
        }
        return true;
    }

    const stbi_uc* m_pData;
    size_t m_nSize;
    size_t m_nPos = 0;
};

} // namespace

Image::Image(int nWidth, int nHeight, std::vector<uint32_t> arrPixels)
    : m_nWidth(nWidth), m_nHeight(nHeight), m_arrPixels(std::move(arrPixels))
{
}

bool Image::IsSizeAllowed(int64_t nWidth, int64_t nHeight)
{
    return nWidth > 0 && nHeight > 0 && nWidth <= kMaxSide && nHeight <= kMaxSide &&
           nWidth * nHeight <= kMaxPixels;
}

std::optional<Image> Image::Create(int nWidth, int nHeight, uint32_t nColor)
{
    if (!IsSizeAllowed(nWidth, nHeight))
        return std::nullopt;
    return Image(nWidth, nHeight, std::vector<uint32_t>(static_cast<size_t>(nWidth) * nHeight, nColor));
}

std::optional<Image> Image::Decode(const void* pData, size_t nSize)
{
    if (!pData || nSize == 0 || nSize > INT_MAX)
        return std::nullopt;
    const auto* pBytes = static_cast<const stbi_uc*>(pData);
    const int nLength = static_cast<int>(nSize);

    if (!JpegGuard(pBytes, nSize).HuffmanTablesFit())
        return std::nullopt;

    // The header alone first, so an image beyond the limits is refused before stb allocates.
    // For a top-down BMP stb reports the header's negative height as it stands.
    int nInfoWidth = 0, nInfoHeight = 0, nChannels = 0;
    if (!stbi_info_from_memory(pBytes, nLength, &nInfoWidth, &nInfoHeight, &nChannels))
        return std::nullopt;
    const int64_t nWidth = std::abs(static_cast<int64_t>(nInfoWidth));
    const int64_t nHeight = std::abs(static_cast<int64_t>(nInfoHeight));
    if (!IsSizeAllowed(nWidth, nHeight))
        return std::nullopt;

    int nDecodedWidth = 0, nDecodedHeight = 0;
    std::unique_ptr<stbi_uc, StbFree> pRgba(
        stbi_load_from_memory(pBytes, nLength, &nDecodedWidth, &nDecodedHeight, &nChannels, 4));
    if (!pRgba || nDecodedWidth != nWidth || nDecodedHeight != nHeight)
        return std::nullopt;

    std::vector<uint32_t> arrPixels(static_cast<size_t>(nWidth) * nHeight);
    const stbi_uc* p = pRgba.get();
    for (uint32_t& nPixel : arrPixels) {
        nPixel = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16 |
                 static_cast<uint32_t>(p[1]) << 8 | p[2];
        p += 4;
    }
    return Image(nDecodedWidth, nDecodedHeight, std::move(arrPixels));
}

std::optional<Image> Image::LoadFromFile(const std::wstring& strPath)
{
    std::optional<uint64_t> nFileSize = GetFileSize(strPath);
    if (!nFileSize || *nFileSize == 0 || *nFileSize > kMaxFileSize)
        return std::nullopt;
    std::optional<std::string> data = ReadFileBytes(strPath, kMaxFileSize);
    if (!data)
        return std::nullopt;
    return Decode(data->data(), data->size());
}

bool Image::SavePng(const std::wstring& strPath) const
{
    if (IsNull())
        return false;
    std::vector<stbi_uc> arrRgba(m_arrPixels.size() * 4);
    stbi_uc* p = arrRgba.data();
    for (uint32_t nPixel : m_arrPixels) {
        p[0] = static_cast<stbi_uc>(nPixel >> 16);
        p[1] = static_cast<stbi_uc>(nPixel >> 8);
        p[2] = static_cast<stbi_uc>(nPixel);
        p[3] = static_cast<stbi_uc>(nPixel >> 24);
        p += 4;
    }
    std::string strPng;
    if (!stbi_write_png_to_func(AppendBytes, &strPng, m_nWidth, m_nHeight, 4, arrRgba.data(), m_nWidth * 4))
        return false;
    return WriteFileBytes(strPath, strPng);
}

uint32_t Image::GetPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return 0;
    return m_arrPixels[static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)];
}

void Image::SetPixel(int x, int y, uint32_t nColor)
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return;
    m_arrPixels[static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)] = nColor;
}

} // namespace platform
