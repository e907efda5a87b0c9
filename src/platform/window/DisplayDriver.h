#pragma once

// What the window system needs from a display: native top-level windows to present surfaces in,
// input from them, cursors and the screen's size. The SDL driver (display module) is the real
// one; the window system itself never includes SDL.
//
// Thread rules: every call is made on the window thread.

#include "platform/gdi/Geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class Region;
class Surface;

using NativeWindowId = uint32_t; // 0: none

enum class CursorKind
{
    Arrow,
    Hand,
};

struct InputEvent
{
    enum class Kind
    {
        MouseMove,
        MouseDown,
        MouseUp,
        MouseWheel,
        MouseLeave, // the pointer left the native window
        KeyDown,
        KeyUp,
        Text,    // typed characters, after the keyboard layout
        Close,   // the user asked the window manager to close the window
        Exposed, // the native window lost its pixels and must be presented again
        Minimized,
        Restored,
    };

    Kind nKind = Kind::MouseMove;
    NativeWindowId nWindow = 0;
    Point pt;                // mouse position inside the native window
    int nButton = 0;         // 1 left, 2 middle, 3 right
    int nClicks = 1;         // 2 for the second press of a double click
    int nWheel = 0;          // wheel steps, positive away from the user
    uint32_t nKey = 0;       // virtual key code
    uint32_t nModifiers = 0; // MK_SHIFT | MK_CONTROL
    std::wstring strText;
};

class DisplayDriver
{
public:
    virtual ~DisplayDriver() = default;

    virtual NativeWindowId CreateNativeWindow(const std::wstring& strTitle, const Rect& rcScreen) = 0;
    virtual void DestroyNativeWindow(NativeWindowId nWindow) = 0;
    virtual void SetBounds(NativeWindowId nWindow, const Rect& rcScreen) = 0;
    virtual void SetTitle(NativeWindowId nWindow, const std::wstring& strTitle) = 0;
    virtual void Show(NativeWindowId nWindow, bool bShow) = 0;
    virtual void Minimize(NativeWindowId nWindow) = 0;
    virtual void Restore(NativeWindowId nWindow) = 0;
    // Clips the window to the region (window coordinates); null makes it rectangular again.
    virtual void SetShape(NativeWindowId nWindow, const Region* pRegion) = 0;
    // Shows the part rcDirty of the window's pixels.
    virtual void Present(NativeWindowId nWindow, const Surface& surface, const Rect& rcDirty) = 0;

    virtual void SetCursor(CursorKind nCursor) = 0;
    virtual Point GetCursorPos() = 0; // screen coordinates
    virtual Size GetScreenSize() = 0;
    virtual void Beep() = 0;

    // Appends every input event that is waiting, without blocking.
    virtual void PollEvents(std::vector<InputEvent>& events) = 0;
    // A file descriptor that becomes readable when input arrives, or -1 when the driver has none
    // (headless): the window system then waits on its own wake-up and timers alone.
    virtual int GetEventFd() = 0;
};

} // namespace platform
