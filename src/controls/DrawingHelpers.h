#pragma once

// Drawing routines the launcher's windows share: text wrapped into a box, and the region of a
// bitmap's pixels that a skinned window takes as its shape.
//
// Thread rules: like the canvas they draw on, used by one thread at a time.

#include "platform/gdi/Canvas.h"
#include "platform/gdi/Font.h"
#include "platform/gdi/Geometry.h"
#include "platform/gdi/Region.h"
#include "platform/image/Image.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lines DrawWrappedText draws, with measure giving a text's width in pixels.
//
// The number of lines is fixed in advance: the text's width / nBoxWidth + 1. Each line but the
// last takes characters (each measured on its own) up to the one that brings the sum to the box
// width, or up to the end; it ends at the last blank among them when that is not the first
// character (the blank is dropped), otherwise just before the character where it stopped. The last
// line takes whatever is left, however wide. A text narrower than the box is one line.
std::vector<std::wstring> SplitWrappedText(std::wstring_view text, uint16_t nBoxWidth,
                                           const std::function<int(std::wstring_view)>& measure);

// Draws text word-wrapped into a box nBoxWidth wide with its top-left at (nLeft, nTop): lines
// nLineGap pixels apart (beyond the font's height), aligned left (nAlign < 0), centred (0) or right
// (> 0) in the box. A line wider than the box starts at the box's left. Leaves the font selected,
// the background mode transparent and the text colour set. A box 0 wide draws nothing.
void DrawWrappedText(platform::Canvas& dc, std::wstring_view text, uint16_t nBoxWidth,
                     const platform::Font& font, int nLeft, int nTop, uint16_t nLineGap,
                     platform::COLORREF nColor, int nAlign);

// The region of the bitmap's pixels that differ from nColor (nMode 1) or equal it (nMode 0); the
// alpha byte of a pixel does not count. Built from the runs of each row, 2000 rectangles at a
// time. nullopt for a null bitmap; an empty region when no pixel belongs.
std::optional<platform::Region> BitmapToRegion(const platform::Image& bitmap, platform::COLORREF nColor,
                                               int nMode);
