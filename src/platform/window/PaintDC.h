#pragma once

// The canvas of a window: its top-level window's surface with the origin at the window's
// client corner and the clip at the window (and, inside WM_PAINT, at the part being painted).
// Like the platform's paint and window contexts, it is made on the stack for one paint.
//
// Thread rules: window thread only.

#include "platform/gdi/Canvas.h"

namespace platform {

class Window;

class PaintDC : public Canvas
{
public:
    explicit PaintDC(Window* pWindow);

    // The part of the window being painted, in client coordinates (all of it outside WM_PAINT).
    const Rect& GetPaintRect() const { return m_rcPaint; }

private:
    Rect m_rcPaint;
};

} // namespace platform
