#pragma once

// A GIF89a writer: a global colour table of 256 entries, LZW-compressed frames of the full
// logical screen, and for animations a graphic control extension per frame and the
// NETSCAPE2.0 loop extension. The pictures use a key colour rather than GIF transparency, so
// no frame declares a transparent index.

#include "Palette.h"

#include <cstdint>
#include <vector>

namespace skin {

// nDelay in hundredths of a second; used when there is more than one frame, which then loop
// forever.
std::vector<uint8_t> EncodeGif(int nWidth, int nHeight, const IndexedFrames& frames, int nDelay);

// The LZW code stream of one frame's indices with an 8-bit minimum code size, in data sub-blocks
// with their terminator.
std::vector<uint8_t> EncodeLzw(const std::vector<uint8_t>& arrIndices);

} // namespace skin
