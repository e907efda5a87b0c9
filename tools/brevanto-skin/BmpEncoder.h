#pragma once

// Windows bitmap files: 24 bits per pixel for the pictures, and 4 or 1 bits per pixel with a
// colour table for the window outlines.

#include <cstdint>
#include <vector>

namespace skin {

// 0xRRGGBB pixels, rows top to bottom; written bottom-up as bitmap files store them.
std::vector<uint8_t> EncodeBmp24(int nWidth, int nHeight, const std::vector<uint32_t>& arrPixels);

// Indexed pixels (each below arrPalette.size()) with nBits 1 or 4 per pixel; the palette holds
// 0xRRGGBB colours, at most 2^nBits of them.
std::vector<uint8_t> EncodeBmpIndexed(int nWidth, int nHeight, int nBits,
                                      const std::vector<uint32_t>& arrPalette,
                                      const std::vector<uint8_t>& arrIndices);

} // namespace skin
