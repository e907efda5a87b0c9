#pragma once

// Dialog templates: a dialog's size, font and control list in dialog units, as resources hold
// them. Dialog units convert to pixels with the classic base units of an 8-point dialog font:
// 6 pixels per 4 horizontal units and 13 pixels per 8 vertical units.

#include "platform/gdi/Geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct DialogControlTemplate
{
    std::wstring strClass; // "BUTTON", "STATIC", "EDIT", or a class the dialog supplies itself
    std::wstring strText;
    uint32_t nId = 0;
    int x = 0, y = 0, cx = 0, cy = 0; // dialog units
    uint32_t nStyle = 0;              // WS_VISIBLE, WS_TABSTOP, and the class's own bits
};

struct DialogTemplate
{
    uint32_t nId = 0;
    uint32_t nStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0; // dialog units
    std::wstring strFont = L"MS Shell Dlg";
    int nPointSize = 8;
    std::wstring strCaption;
    std::vector<DialogControlTemplate> arrControls;
};

// A template font's point size as a character height in pixels, at 96 pixels per inch.
constexpr int DialogFontHeight(int nPoints)
{
    return -((nPoints * 96 + 36) / 72);
}

constexpr Rect DialogUnitsToPixels(int x, int y, int cx, int cy)
{
    return Rect::FromSize(x * 6 / 4, y * 13 / 8, cx * 6 / 4, cy * 13 / 8);
}

} // namespace platform
