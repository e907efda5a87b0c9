#pragma once

// Colour reduction for the GIF pictures: one palette of at most 256 colours for all frames of a
// picture, with the transparent colour kept exact at index 0, and the frames mapped onto it.

#include <cstdint>
#include <vector>

namespace skin {

struct IndexedFrames
{
    std::vector<uint32_t> arrPalette;            // 0xRRGGBB; index 0 is the transparent colour
    std::vector<std::vector<uint8_t>> arrFrames; // one index per pixel, rows top to bottom
};

// Reduces frames of 0xRRGGBB pixels (all nWidth x nHeight). Pixels equal to nKey map to index 0
// and no other pixel does. Pictures with few colours keep them exactly; others get a median-cut
// palette and are dithered: by error diffusion for stills, by an ordered pattern for
// animations, so that pixels which do not change between frames do not flicker.
IndexedFrames Quantize(const std::vector<std::vector<uint32_t>>& arrFrames, int nWidth, int nHeight,
                       uint32_t nKey);

} // namespace skin
