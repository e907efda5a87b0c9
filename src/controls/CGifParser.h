#pragma once

// Walks the blocks of GIF data without decoding pixels: counts the graphic blocks (a graphic
// control extension with the image it applies to, or an image alone) and cuts each of them out as
// a standalone one-frame GIF that an image decoder can read on its own.
//
// Block kinds at a parse position and their lengths:
//
//   "!" 0xFF  application extension   14 + sub-blocks
//   "!" 0xFE  comment extension        2 + sub-blocks
//   "!" 0xF9  graphic control ext.     8
//   "!" 0x01  plain text extension    15 + sub-blocks
//   ","       image                   11 + local colour table + sub-blocks
//   ";"       trailer                  1
//   other     unrecognised             none: parsing ends there
//
// Sub-blocks are a size byte and that many bytes, repeated up to a zero size byte. A block counts
// only when it lies wholly within the data, so damaged data ends the walk at the last whole block
// and nothing is read outside the data.
//
// Thread rules: a parser is a scratch object for one thread. It does not copy the data, which
// must outlive it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// One graphic block cut out of the data.
struct tagGifFrameData
{
    // The data's 13-byte header with its global colour table, the frame's blocks from its graphic
    // control extension (or image) to the end of its image, and a trailer.
    std::vector<uint8_t> arrGif;
    int nLeft = 0;
    int nTop = 0;
    int nWidth = 0;
    int nHeight = 0;
    int nDelay = -1;   // hundredths of a second; -1 without a graphic control extension
    int nDisposal = 0; // 0 to 7, from the graphic control extension
};

class CGifParser
{
public:
    enum class Block
    {
        ApplicationExt,
        CommentExt,
        ControlExt,
        PlainTextExt,
        Image,
        Trailer,
        Unknown, // also what lies past the end of the data
    };

    // False when the data is not GIF: too short for the header and its global colour table, no
    // "GIF" signature, or a logical screen of width or height 0.
    bool Open(std::span<const uint8_t> data);

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    size_t GetGlobalTableSize() const { return m_nGlobalTableSize; }

    // Counts the graphic blocks from the first block on, stopping at the first that is not whole;
    // then rewinds.
    int CountGraphicBlocks();
    // Back to the first block after the header.
    void Rewind() { m_nParsePos = FirstBlockPos(); }
    // Cuts out the next graphic block; nullopt when there is none or it is not whole.
    std::optional<tagGifFrameData> ExtractNextFrame();

    // The kind and whole length of the block at the parse position; 0 when it is unrecognised or
    // does not lie within the data.
    Block GetNextBlock() const;
    size_t GetNextBlockLen() const;

private:
    size_t FirstBlockPos() const { return 13 + m_nGlobalTableSize; }
    // The length of the sub-blocks starting at nPos, terminator included; 0 when they run past
    // the data.
    size_t SubBlocksLen(size_t nPos) const;
    uint16_t Read16(size_t nPos) const
    {
        return static_cast<uint16_t>(m_data[nPos] | (m_data[nPos + 1] << 8));
    }
    bool SkipNextBlock();
    // Moves over the next graphic block; with pFrame, also notes what the frame needs.
    bool SkipNextGraphicBlock(tagGifFrameData* pFrame, size_t* pnStart);

    std::span<const uint8_t> m_data;
    size_t m_nParsePos = 0;
    size_t m_nGlobalTableSize = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
};
