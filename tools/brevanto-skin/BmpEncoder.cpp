#include "BmpEncoder.h"

#include <cstddef>

namespace skin {

namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t nValue, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        out.push_back(static_cast<uint8_t>((nValue >> (8 * i)) & 0xFF));
}

// The file header and a BITMAPINFOHEADER for a bottom-up picture.
std::vector<uint8_t> Headers(int nWidth, int nHeight, int nBits, uint32_t nColours, uint32_t nImageSize)
{
    const uint32_t nOffset = 14 + 40 + nColours * 4;
    std::vector<uint8_t> out = {'B', 'M'};
    PutLe(out, nOffset + nImageSize, 4);
    PutLe(out, 0, 4);
    PutLe(out, nOffset, 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<uint32_t>(nWidth), 4);
    PutLe(out, static_cast<uint32_t>(nHeight), 4);
    PutLe(out, 1, 2);
    PutLe(out, static_cast<uint32_t>(nBits), 2);
    PutLe(out, 0, 4); // BI_RGB
    PutLe(out, nImageSize, 4);
    PutLe(out, 3780, 4); // 96 pixels per inch
    PutLe(out, 3780, 4);
    PutLe(out, nColours, 4);
    PutLe(out, nColours, 4);
    return out;
}

} // namespace

std::vector<uint8_t> EncodeBmp24(int nWidth, int nHeight, const std::vector<uint32_t>& arrPixels)
{
    const uint32_t nStride = (static_cast<uint32_t>(nWidth) * 3 + 3) & ~3u;
    std::vector<uint8_t> out = Headers(nWidth, nHeight, 24, 0, nStride * static_cast<uint32_t>(nHeight));
    for (int y = nHeight - 1; y >= 0; --y) {
        size_t nRowStart = out.size();
        for (int x = 0; x < nWidth; ++x) {
            uint32_t nRgb =
                arrPixels[static_cast<size_t>(y) * static_cast<size_t>(nWidth) + static_cast<size_t>(x)];
            out.push_back(static_cast<uint8_t>(nRgb));
            out.push_back(static_cast<uint8_t>(nRgb >> 8));
            out.push_back(static_cast<uint8_t>(nRgb >> 16));
        }
        out.resize(nRowStart + nStride, 0);
    }
    return out;
}

std::vector<uint8_t> EncodeBmpIndexed(int nWidth, int nHeight, int nBits,
                                      const std::vector<uint32_t>& arrPalette,
                                      const std::vector<uint8_t>& arrIndices)
{
    const uint32_t nStride = ((static_cast<uint32_t>(nWidth) * static_cast<uint32_t>(nBits) + 31) / 32) * 4;
    const uint32_t nColours = 1u << nBits;
    std::vector<uint8_t> out =
        Headers(nWidth, nHeight, nBits, nColours, nStride * static_cast<uint32_t>(nHeight));
    for (uint32_t i = 0; i < nColours; ++i) {
        uint32_t nRgb = i < arrPalette.size() ? arrPalette[i] : 0;
        PutLe(out, nRgb & 0xFFFFFF, 4); // blue, green, red, reserved
    }
    const int nPerByte = 8 / nBits;
    for (int y = nHeight - 1; y >= 0; --y) {
        std::vector<uint8_t> row(nStride, 0);
        for (int x = 0; x < nWidth; ++x) {
            uint8_t v =
                arrIndices[static_cast<size_t>(y) * static_cast<size_t>(nWidth) + static_cast<size_t>(x)];
            int nShift = 8 - nBits * (x % nPerByte + 1); // the leftmost pixel in the high bits
            row[static_cast<size_t>(x / nPerByte)] |= static_cast<uint8_t>(v << nShift);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

} // namespace skin
