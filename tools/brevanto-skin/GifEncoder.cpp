#include "GifEncoder.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace skin {

namespace {

constexpr int kMinCodeSize = 8;
constexpr uint32_t kMaxCode = 4095;

void Put16(std::vector<uint8_t>& out, int nValue)
{
    out.push_back(static_cast<uint8_t>(nValue & 0xFF));
    out.push_back(static_cast<uint8_t>((nValue >> 8) & 0xFF));
}

// Packs codes least significant bit first and cuts the bytes into sub-blocks of 255.
class CodeWriter
{
public:
    void Write(uint32_t nCode, int nBits)
    {
        m_nAccumulator |= nCode << m_nBitCount;
        m_nBitCount += nBits;
        while (m_nBitCount >= 8) {
            m_arrBytes.push_back(static_cast<uint8_t>(m_nAccumulator & 0xFF));
            m_nAccumulator >>= 8;
            m_nBitCount -= 8;
        }
    }

    std::vector<uint8_t> Finish()
    {
        if (m_nBitCount > 0)
            m_arrBytes.push_back(static_cast<uint8_t>(m_nAccumulator & 0xFF));
        std::vector<uint8_t> out;
        out.push_back(kMinCodeSize);
        for (size_t i = 0; i < m_arrBytes.size(); i += 255) {
            size_t n = std::min<size_t>(255, m_arrBytes.size() - i);
            out.push_back(static_cast<uint8_t>(n));
            out.insert(out.end(), m_arrBytes.begin() + static_cast<ptrdiff_t>(i),
                       m_arrBytes.begin() + static_cast<ptrdiff_t>(i + n));
        }
        out.push_back(0);
        return out;
    }

private:
    uint32_t m_nAccumulator = 0;
    int m_nBitCount = 0;
    std::vector<uint8_t> m_arrBytes;
};

} // namespace

std::vector<uint8_t> EncodeLzw(const std::vector<uint8_t>& arrIndices)
{
    const uint32_t nClear = 1u << kMinCodeSize;
    // The dictionary as a tree: the code that extends code c by index i, 0 for none.
    std::vector<uint16_t> arrTree(size_t{4096} * 256, 0);
    CodeWriter writer;
    int nCodeSize = kMinCodeSize + 1;
    uint32_t nMaxCode = nClear + 1;
    writer.Write(nClear, nCodeSize);
    if (arrIndices.empty()) {
        writer.Write(nClear + 1, nCodeSize);
        return writer.Finish();
    }
    uint32_t nCurrent = arrIndices[0];
    for (size_t i = 1; i < arrIndices.size(); ++i) {
        uint8_t nNext = arrIndices[i];
        uint16_t& nChild = arrTree[static_cast<size_t>(nCurrent) * 256 + nNext];
        if (nChild != 0) {
            nCurrent = nChild;
            continue;
        }
        writer.Write(nCurrent, nCodeSize);
        nChild = static_cast<uint16_t>(++nMaxCode);
        if (nMaxCode >= (1u << nCodeSize))
            ++nCodeSize;
        if (nMaxCode == kMaxCode) {
            writer.Write(nClear, nCodeSize);
            std::fill(arrTree.begin(), arrTree.end(), uint16_t{0});
            nCodeSize = kMinCodeSize + 1;
            nMaxCode = nClear + 1;
        }
        nCurrent = nNext;
    }
    writer.Write(nCurrent, nCodeSize);
    writer.Write(nClear + 1, nCodeSize);
    return writer.Finish();
}

std::vector<uint8_t> EncodeGif(int nWidth, int nHeight, const IndexedFrames& frames, int nDelay)
{
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, nWidth);
    Put16(out, nHeight);
    out.push_back(0xF7); // global colour table of 256 entries, 8 bits of colour resolution
    out.push_back(0);    // background colour index
    out.push_back(0);    // pixel aspect ratio
    for (size_t i = 0; i < 256; ++i) {
        uint32_t nRgb = i < frames.arrPalette.size() ? frames.arrPalette[i] : 0;
        out.push_back(static_cast<uint8_t>(nRgb >> 16));
        out.push_back(static_cast<uint8_t>(nRgb >> 8));
        out.push_back(static_cast<uint8_t>(nRgb));
    }
    const bool bAnimated = frames.arrFrames.size() > 1;
    if (bAnimated) {
        static const uint8_t kLoop[] = {0x21, 0xFF, 0x0B, 'N', 'E',  'T',  'S',  'C',  'A', 'P',
                                        'E',  '2',  '.',  '0', 0x03, 0x01, 0x00, 0x00, 0x00};
        out.insert(out.end(), std::begin(kLoop), std::end(kLoop)); // loop count 0: forever
    }
    for (const std::vector<uint8_t>& frame : frames.arrFrames) {
        if (bAnimated) {
            out.insert(out.end(), {0x21, 0xF9, 0x04, 0x04}); // disposal 1: leave the frame in place
            Put16(out, nDelay);
            out.insert(out.end(), {0x00, 0x00});
        }
        out.push_back(0x2C);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, nWidth);
        Put16(out, nHeight);
        out.push_back(0); // no local colour table, not interlaced
        std::vector<uint8_t> data = EncodeLzw(frame);
        out.insert(out.end(), data.begin(), data.end());
    }
    out.push_back(0x3B);
    return out;
}

} // namespace skin
