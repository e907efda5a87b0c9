#pragma once

// Writes small GIF files for tests and benchmarks: a logical screen, colour tables, frames with
// or without a graphic control extension, and extension blocks where a test wants them.
//
// Pixels are stored with an 8-bit LZW code size and a clear code every 250 codes, so every code is
// 9 bits wide: bigger than compressed data, but trivially right for any decoder.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace gif_builder {

struct Frame
{
    int nLeft = 0;
    int nTop = 0;
    int nWidth = 0;
    int nHeight = 0;
    int nDelay = -1; // hundredths of a second; -1 writes no graphic control extension
    int nDisposal = 0;
    int nTransparent = -1;               // colour index, or -1
    std::vector<uint32_t> arrLocalTable; // 0xRRGGBB; empty: none
    std::vector<uint8_t> arrPixels;      // nWidth x nHeight colour indices, rows top first
    bool bCommentBeforeImage = false;    // a comment between the control extension and the image
};

struct Gif
{
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint32_t> arrGlobalTable; // 0xRRGGBB; empty: none
    bool bLoopExtension = true;           // the NETSCAPE2.0 block that makes viewers loop
    bool bCommentBetweenFrames = false;
    bool bPlainTextBeforeFrames = false;
    std::vector<Frame> arrFrames;
};

inline void Put16(std::vector<uint8_t>& out, int n)
{
    out.push_back(static_cast<uint8_t>(n & 0xFF));
    out.push_back(static_cast<uint8_t>((n >> 8) & 0xFF));
}

// The packed-byte size bits of a table and the table padded to its power of two.
inline int TableBits(const std::vector<uint32_t>& arrTable)
{
    int nBits = 0;
    while ((2u << nBits) < arrTable.size())
        ++nBits;
    return nBits;
}

inline void PutTable(std::vector<uint8_t>& out, const std::vector<uint32_t>& arrTable)
{
    const size_t nEntries = 2u << TableBits(arrTable);
    for (size_t i = 0; i < nEntries; ++i) {
        const uint32_t c = i < arrTable.size() ? arrTable[i] : 0;
        out.push_back(static_cast<uint8_t>(c >> 16));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c));
    }
}

inline void PutSubBlocks(std::vector<uint8_t>& out, const std::vector<uint8_t>& arrData)
{
    for (size_t i = 0; i < arrData.size(); i += 255) {
        const size_t n = std::min<size_t>(255, arrData.size() - i);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), arrData.begin() + static_cast<ptrdiff_t>(i),
                   arrData.begin() + static_cast<ptrdiff_t>(i + n));
    }
    out.push_back(0);
}

inline std::vector<uint8_t> EncodePixels(const std::vector<uint8_t>& arrPixels)
{
    constexpr int kClear = 256;
    constexpr int kEnd = 257;
    std::vector<uint8_t> arrBytes;
    uint32_t nBuffer = 0;
    int nBits = 0;
    auto put = [&](int nCode) {
        nBuffer |= static_cast<uint32_t>(nCode) << nBits;
        nBits += 9;
        while (nBits >= 8) {
            arrBytes.push_back(static_cast<uint8_t>(nBuffer & 0xFF));
            nBuffer >>= 8;
            nBits -= 8;
        }
    };
    for (size_t i = 0; i < arrPixels.size(); ++i) {
        if (i % 250 == 0)
            put(kClear);
        put(arrPixels[i]);
    }
    put(kEnd);
    if (nBits > 0)
        arrBytes.push_back(static_cast<uint8_t>(nBuffer & 0xFF));
    return arrBytes;
}

inline void PutComment(std::vector<uint8_t>& out, const std::string& strText)
{
    out.push_back('!');
    out.push_back(0xFE);
    PutSubBlocks(out, std::vector<uint8_t>(strText.begin(), strText.end()));
}

inline std::vector<uint8_t> Build(const Gif& gif)
{
    std::vector<uint8_t> out{'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, gif.nWidth);
    Put16(out, gif.nHeight);
    out.push_back(gif.arrGlobalTable.empty() ? 0x00
                                             : static_cast<uint8_t>(0xF0 | TableBits(gif.arrGlobalTable)));
    out.push_back(0); // background colour index
    out.push_back(0); // aspect ratio
    if (!gif.arrGlobalTable.empty())
        PutTable(out, gif.arrGlobalTable);
    if (gif.bLoopExtension) {
        const uint8_t arrNetscape[] = {'!', 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                       'E', '2',  '.', '0', 3,   1,   0,   0,   0};
        out.insert(out.end(), std::begin(arrNetscape), std::end(arrNetscape));
    }
    if (gif.bPlainTextBeforeFrames) {
        const uint8_t arrPlain[] = {'!', 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 2, 'h', 'i', 0};
        out.insert(out.end(), std::begin(arrPlain), std::end(arrPlain));
    }
    for (size_t f = 0; f < gif.arrFrames.size(); ++f) {
        const Frame& frame = gif.arrFrames[f];
        if (gif.bCommentBetweenFrames && f > 0)
            PutComment(out, "between frames");
        if (frame.nDelay >= 0) {
            out.push_back('!');
            out.push_back(0xF9);
            out.push_back(4);
            out.push_back(
                static_cast<uint8_t>(((frame.nDisposal & 7) << 2) | (frame.nTransparent >= 0 ? 1 : 0)));
            Put16(out, frame.nDelay);
            out.push_back(static_cast<uint8_t>(frame.nTransparent >= 0 ? frame.nTransparent : 0));
            out.push_back(0);
        }
        if (frame.bCommentBeforeImage)
            PutComment(out, "before the image");
        out.push_back(',');
        Put16(out, frame.nLeft);
        Put16(out, frame.nTop);
        Put16(out, frame.nWidth);
        Put16(out, frame.nHeight);
        out.push_back(
            frame.arrLocalTable.empty() ? 0x00 : static_cast<uint8_t>(0x80 | TableBits(frame.arrLocalTable)));
        if (!frame.arrLocalTable.empty())
            PutTable(out, frame.arrLocalTable);
        out.push_back(8); // LZW minimum code size
        PutSubBlocks(out, EncodePixels(frame.arrPixels));
    }
    out.push_back(';');
    return out;
}

// A frame of one colour index.
inline Frame SolidFrame(int nLeft, int nTop, int nWidth, int nHeight, uint8_t nIndex, int nDelay = 10,
                        int nDisposal = 0)
{
    Frame frame;
    frame.nLeft = nLeft;
    frame.nTop = nTop;
    frame.nWidth = nWidth;
    frame.nHeight = nHeight;
    frame.nDelay = nDelay;
    frame.nDisposal = nDisposal;
    frame.arrPixels.assign(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight), nIndex);
    return frame;
}

} // namespace gif_builder
