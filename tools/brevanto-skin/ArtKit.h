#pragma once

// The palette and the small pieces the skin's pictures share: icons, the emblem, panels.

#include "Raster.h"

#include "platform/gdi/Font.h"

namespace skin {

// Deep navy and indigo for the chrome, a cyan-to-violet accent, amber for the main action, and
// a cool light tone for the cards that carry the launcher's dark texts.
namespace tone {
inline constexpr uint32_t kNight = 0x090D22;
inline constexpr uint32_t kNavy = 0x10163A;
inline constexpr uint32_t kNavyLight = 0x18204C;
inline constexpr uint32_t kIndigo = 0x232C66;
inline constexpr uint32_t kIndigoLight = 0x3A4596;
inline constexpr uint32_t kCyan = 0x2ED3F0;
inline constexpr uint32_t kCyanDeep = 0x0E8FC0;
inline constexpr uint32_t kViolet = 0x8B5CF6;
inline constexpr uint32_t kVioletDeep = 0x5B3BD1;
inline constexpr uint32_t kAmber = 0xFFC940;
inline constexpr uint32_t kOrange = 0xF59E0B;
inline constexpr uint32_t kOrangeDeep = 0xC2410C;
inline constexpr uint32_t kGreen = 0x34D399;
inline constexpr uint32_t kGreenDeep = 0x059669;
inline constexpr uint32_t kRed = 0xEF4444;
inline constexpr uint32_t kRedDeep = 0xA3161B;
inline constexpr uint32_t kCard = 0xF1F4FF;
inline constexpr uint32_t kCardShade = 0xDCE2F6;
inline constexpr uint32_t kCardEdge = 0xA9B4DE;
inline constexpr uint32_t kSlate = 0x64748B;
} // namespace tone

// Icons, centred at (cx, cy), s the half size.
Sdf IconCross(float cx, float cy, float s, float fStroke);
Sdf IconBar(float cx, float cy, float s, float fStroke);
Sdf IconPlay(float cx, float cy, float s);
Sdf IconPause(float cx, float cy, float s);
Sdf IconTrash(float cx, float cy, float s);
Sdf IconDownload(float cx, float cy, float s);
Sdf IconExit(float cx, float cy, float s);
Sdf IconGamepad(float cx, float cy, float s);
Sdf Star(float cx, float cy, float fOuter, float fInner);
Sdf Hexagon(float cx, float cy, float r, float fRound);

// The brand's emblem: a glossy hexagon with a play mark, fitted in a square of side fSize.
void DrawEmblem(Raster& r, float x, float y, float fSize, float fGlow);

// A band of the navy chrome: vertical gradient, soft accent lights and a faint diagonal weave.
void DrawChrome(Raster& r, float y0, float y1);
// A card of the light tone with a rim light and a soft shadow.
void DrawCard(Raster& r, float x0, float y0, float x1, float y1, float fRadius, uint32_t nTop = tone::kCard,
              uint32_t nBottom = tone::kCardShade);
// Rolling hills and stars: the scenery of the lower panel.
void DrawScenery(Raster& r, float y0, float y1, int nSeed);

platform::Font SkinFont(int nPixels, int nWeight, bool bCondensed = false);

} // namespace skin
