#include "controls/CGifParser.h"

namespace {

constexpr size_t kHeaderSize = 13; // signature and version (6), logical screen descriptor (7)
constexpr size_t kControlExtLen = 8;

// The bytes of a colour table whose packed byte has the table flag (bit 7) and size bits n (low
// three): 3 x 2^(n+1).
size_t ColourTableSize(uint8_t nPacked)
{
    if ((nPacked & 0x80) == 0)
        return 0;
    return 3u * (2u << (nPacked & 0x07));
}

} // namespace

bool CGifParser::Open(std::span<const uint8_t> data)
{
    m_data = {};
    m_nParsePos = 0;
    m_nGlobalTableSize = 0;
    m_nWidth = m_nHeight = 0;
    if (data.size() < kHeaderSize || data[0] != 'G' || data[1] != 'I' || data[2] != 'F')
        return false;
    const size_t nTable = ColourTableSize(data[10]);
    if (data.size() < kHeaderSize + nTable)
        return false;
    const int nWidth = data[6] | (data[7] << 8);
    const int nHeight = data[8] | (data[9] << 8);
    if (nWidth == 0 || nHeight == 0)
        return false;
    m_data = data;
    m_nGlobalTableSize = nTable;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nParsePos = FirstBlockPos();
    return true;
}

CGifParser::Block CGifParser::GetNextBlock() const
{
    if (m_nParsePos >= m_data.size())
        return Block::Unknown;
    switch (m_data[m_nParsePos]) {
    case ',':
        return Block::Image;
    case ';':
        return Block::Trailer;
    case '!':
        if (m_nParsePos + 1 >= m_data.size())
            return Block::Unknown;
        switch (m_data[m_nParsePos + 1]) {
        case 0xFF:
            return Block::ApplicationExt;
        case 0xFE:
            return Block::CommentExt;
        case 0xF9:
            return Block::ControlExt;
        case 0x01:
            return Block::PlainTextExt;
        default:
            return Block::Unknown;
        }
    default:
        return Block::Unknown;
    }
}

size_t CGifParser::SubBlocksLen(size_t nPos) const
{
    size_t nLen = 0;
    for (;;) {
        if (nPos + nLen >= m_data.size())
            return 0;
        const size_t nSize = m_data[nPos + nLen];
        nLen += nSize + 1;
        if (nSize == 0)
            return nLen;
    }
}

size_t CGifParser::GetNextBlockLen() const
{
    // The fixed part of each kind, then its sub-blocks where it has them.
    size_t nFixed = 0;
    bool bSubBlocks = true;
    switch (GetNextBlock()) {
    case Block::ApplicationExt:
        nFixed = 14;
        break;
    case Block::CommentExt:
        nFixed = 2;
        break;
    case Block::ControlExt:
        nFixed = kControlExtLen;
        bSubBlocks = false;
        break;
    case Block::PlainTextExt:
        nFixed = 15;
        break;
    case Block::Image:
        if (m_nParsePos + 10 > m_data.size())
            return 0;
        nFixed = 11 + ColourTableSize(m_data[m_nParsePos + 9]);
        break;
    case Block::Trailer:
        nFixed = 1;
        bSubBlocks = false;
        break;
    case Block::Unknown:
        return 0;
    }
    if (nFixed > m_data.size() - m_nParsePos)
        return 0;
    if (!bSubBlocks)
        return nFixed;
    const size_t nSubBlocks = SubBlocksLen(m_nParsePos + nFixed);
    return nSubBlocks == 0 ? 0 : nFixed + nSubBlocks;
}

bool CGifParser::SkipNextBlock()
{
    const size_t nLen = GetNextBlockLen();
    if (nLen == 0)
        return false;
    m_nParsePos += nLen;
    return true;
}

bool CGifParser::SkipNextGraphicBlock(tagGifFrameData* pFrame, size_t* pnStart)
{
    // Up to a graphic control extension or an image.
    Block block = GetNextBlock();
    while (block != Block::ControlExt && block != Block::Image) {
        if (block == Block::Unknown || block == Block::Trailer || !SkipNextBlock())
            return false;
        block = GetNextBlock();
    }
    if (pnStart)
        *pnStart = m_nParsePos;

    if (block == Block::ControlExt) {
        if (GetNextBlockLen() == 0)
            return false;
        if (pFrame) {
            pFrame->nDisposal = (m_data[m_nParsePos + 3] >> 2) & 0x07;
            pFrame->nDelay = Read16(m_nParsePos + 4);
        }
        m_nParsePos += kControlExtLen;
        // The extension applies to the next image, or to a plain text extension, which ends the
        // search as well.
        block = GetNextBlock();
        while (block != Block::Image && block != Block::PlainTextExt) {
            if (block == Block::Unknown || block == Block::Trailer || !SkipNextBlock())
                return false;
            block = GetNextBlock();
        }
    }

    if (block == Block::Image && pFrame && GetNextBlockLen() != 0) {
        pFrame->nLeft = Read16(m_nParsePos + 1);
        pFrame->nTop = Read16(m_nParsePos + 3);
        pFrame->nWidth = Read16(m_nParsePos + 5);
        pFrame->nHeight = Read16(m_nParsePos + 7);
    }
    return SkipNextBlock();
}

int CGifParser::CountGraphicBlocks()
{
    if (m_data.empty())
        return 0;
    Rewind();
    int nCount = 0;
    while (SkipNextGraphicBlock(nullptr, nullptr))
        ++nCount;
    Rewind();
    return nCount;
}

std::optional<tagGifFrameData> CGifParser::ExtractNextFrame()
{
    if (m_data.empty())
        return std::nullopt;
    tagGifFrameData frame;
    size_t nStart = 0;
    if (!SkipNextGraphicBlock(&frame, &nStart))
        return std::nullopt;
    const size_t nHeader = FirstBlockPos();
    const size_t nBlocks = m_nParsePos - nStart;
    frame.arrGif.reserve(nHeader + nBlocks + 1);
    frame.arrGif.insert(frame.arrGif.end(), m_data.begin(), m_data.begin() + static_cast<ptrdiff_t>(nHeader));
    frame.arrGif.insert(frame.arrGif.end(), m_data.begin() + static_cast<ptrdiff_t>(nStart),
                        m_data.begin() + static_cast<ptrdiff_t>(m_nParsePos));
    frame.arrGif.push_back(';');
    return frame;
}
