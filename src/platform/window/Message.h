#pragma once

// Window messages: the numbers, parameter types and records that windows, controls, worker
// threads and other programs exchange. The numbers are those the launcher's callers (and the
// programs that send to it) already use, so they are kept as they are.

#include <cstdint>

namespace platform {

using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

// A window handle: a number that names a window for as long as it exists and is never reused
// within one run, so a message to a window that is gone is simply dropped. 0 is no window.
using HWND = uintptr_t;

enum : UINT
{
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_ENABLE = 0x000A,
    WM_SETTEXT = 0x000C,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_SHOWWINDOW = 0x0018,
    WM_SETCURSOR = 0x0020,
    WM_SETFONT = 0x0030,
    WM_QUERYDRAGICON = 0x0037,
    WM_NOTIFY = 0x004E,
    WM_SETICON = 0x0080,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_INITDIALOG = 0x0110,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_TIMER = 0x0113,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_RBUTTONDBLCLK = 0x0206,
    WM_MOUSEWHEEL = 0x020A,
    WM_CAPTURECHANGED = 0x0215,
    WM_MOUSELEAVE = 0x02A3,
    // The layer's own: a worker thread, which may not touch a window, posts it to have the window
    // thread invalidate the whole client area (wParam nonzero: erase).
    WM_INVALIDATE = 0x03F0,
    WM_USER = 0x0400,
    WM_APP = 0x8000,
};

// Command identifiers of the standard dialog buttons.
enum : UINT
{
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

// WM_SYSCOMMAND codes.
enum : WPARAM
{
    SC_MINIMIZE = 0xF020,
    SC_RESTORE = 0xF120,
    SC_CLOSE = 0xF060,
};

// Button notification carried in WM_COMMAND.
enum : UINT
{
    BN_CLICKED = 0,
};

// Mouse key state flags of the mouse messages' wParam.
enum : WPARAM
{
    MK_LBUTTON = 0x0001,
    MK_RBUTTON = 0x0002,
    MK_SHIFT = 0x0004,
    MK_CONTROL = 0x0008,
};

// Virtual key codes the windows react to.
enum : WPARAM
{
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_ESCAPE = 0x1B,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_DELETE = 0x2E,
};

// The header of every WM_NOTIFY record: who sent it and what happened.
struct NMHDR
{
    HWND hwndFrom = 0;
    uintptr_t idFrom = 0;
    UINT code = 0;
};

// Packing of two 16-bit values into one parameter, as mouse positions and commands travel.
constexpr LPARAM MakeLParam(int nLow, int nHigh)
{
    return static_cast<LPARAM>(static_cast<uint32_t>(static_cast<uint16_t>(nLow)) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(nHigh)) << 16));
}
constexpr WPARAM MakeWParam(unsigned nLow, unsigned nHigh)
{
    return static_cast<WPARAM>((nLow & 0xFFFF) | ((nHigh & 0xFFFF) << 16));
}
// Signed halves: positions left of or above a window are negative.
constexpr int GetXParam(LPARAM lParam)
{
    return static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFF));
}
constexpr int GetYParam(LPARAM lParam)
{
    return static_cast<int16_t>(static_cast<uint16_t>((lParam >> 16) & 0xFFFF));
}
constexpr unsigned LowWord(uintptr_t nValue)
{
    return static_cast<unsigned>(nValue & 0xFFFF);
}
constexpr unsigned HighWord(uintptr_t nValue)
{
    return static_cast<unsigned>((nValue >> 16) & 0xFFFF);
}

} // namespace platform
