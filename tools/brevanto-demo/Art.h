#pragma once

// The demo games' look, shared by the artwork generator and the games: vertical or horizontal
// gradients, an emblem per game drawn with anti-aliased edges, and shadowed text.

#include "platform/gdi/Canvas.h"
#include "platform/gdi/Surface.h"

#include <cstdint>
#include <optional>
#include <string>

namespace demo {

struct Look
{
    uint32_t nFrom = 0x203060; // 0xRRGGBB
    uint32_t nTo = 0x601040;
    std::string strEmblem = "star"; // star, diamond, circle, hexagon, crescent, arrow
};

// "#RRGGBB" as 0xRRGGBB.
std::optional<uint32_t> ParseColour(const std::string& strText);
// "#RRGGBB,#RRGGBB" and an emblem name; unknown parts keep the defaults.
Look MakeLook(const std::string& strColours, const std::string& strEmblem);

// Fills rc with a gradient from nFrom to nTo (0xRRGGBB), top to bottom or left to right.
void FillGradient(platform::Surface& surface, const platform::Rect& rc, uint32_t nFrom, uint32_t nTo,
                  bool bHorizontal);
// Blends a disc of soft light (alpha falls to 0 at the edge) centred at (cx, cy).
void DrawGlow(platform::Surface& surface, double cx, double cy, double dRadius, uint32_t nColour,
              double dAlpha);
// Draws the emblem centred at (cx, cy) with the given radius, blended with dAlpha.
void DrawEmblem(platform::Surface& surface, const std::string& strEmblem, double cx, double cy,
                double dRadius, uint32_t nColour, double dAlpha);
// The emblem with a soft drop shadow, in white.
void DrawEmblemWithShadow(platform::Surface& surface, const std::string& strEmblem, double cx, double cy,
                          double dRadius);
// A bold text with a dark shadow, laid out by DrawText's nFormat in rc.
void DrawShadowedText(platform::Canvas& canvas, const std::wstring& strText, platform::Rect rc,
                      int nPixelHeight, unsigned nFormat, uint32_t nColour = 0xFFFFFF, int nWeight = 700);

// 0xRRGGBB to the canvas's COLORREF (0x00BBGGRR).
inline uint32_t ToColorRef(uint32_t nRgb)
{
    return ((nRgb & 0xFF) << 16) | (nRgb & 0xFF00) | ((nRgb >> 16) & 0xFF);
}

} // namespace demo
