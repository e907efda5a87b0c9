#pragma once

// The launcher's skin: every picture with its id, kind, size, frame count and transparent colour,
// and the drawing of each.

#include "Raster.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace skin {

enum class Kind
{
    Gif,     // a GIF file under the type "GIF"
    Bitmap,  // a 24-bit bitmap file under the type "GIF"
    Outline, // a window outline under the type "BITMAP": white outside, indexed colours
    Icon,    // the application icon under the type "ICON", a PNG with alpha
};

inline constexpr uint32_t kKeyMagenta = 0xFF00FF;
// The Download button keys on the COLORREF 0xE600FF (0x00BBGGRR), which is this RGB colour.
inline constexpr uint32_t kKeyDownload = 0xFF00E6;
inline constexpr uint32_t kOutside = 0xFFFFFF; // the outside of a window outline
inline constexpr int kAnimationFrames = 16;
inline constexpr int kAnimationDelay = 7; // hundredths of a second

struct Picture
{
    uint32_t nId = 0;
    Kind kind = Kind::Gif;
    int nWidth = 0;
    int nHeight = 0;
    int nFrames = 1;
    uint32_t nKey = kKeyMagenta;
    // The colour the picture mostly lies on: its soft edges are blended over it.
    uint32_t nMatte = 0x141B42;
    int nOutlineBits = 0; // 4 or 1 for outlines
    std::function<Raster(int nFrame)> draw;
};

// Every picture of the skin, in id order.
std::vector<Picture> SkinPictures();

} // namespace skin
