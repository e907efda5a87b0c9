#pragma once

// A canvas that owns its surface: the off-screen bitmap a control paints into before one BitBlt
// puts the result on the window's surface.
//
// Thread rules: like Canvas, used by one thread at a time.

#include "platform/gdi/Canvas.h"
#include "platform/gdi/Surface.h"

#include <memory>

namespace platform {

class MemoryCanvas : public Canvas
{
public:
    // A canvas without a surface; drawing on it does nothing until Resize.
    MemoryCanvas() = default;
    // A surface of this size filled with nPixel (opaque black by default); without a surface when
    // the size is zero, negative or too large.
    MemoryCanvas(int nWidth, int nHeight, uint32_t nPixel = 0xFF000000);

    // Replaces the surface with a new one of this size, filled with nPixel, and resets the clip
    // to it; the rest of the state stays. False for a bad size, which keeps the old surface.
    bool Resize(int nWidth, int nHeight, uint32_t nPixel = 0xFF000000);

    bool IsNull() const { return m_surface == nullptr; }
    Size GetSize() const { return m_surface ? m_surface->GetSize() : Size{}; }

private:
    // Held by pointer so that its address, which the canvas keeps, survives moves.
    std::unique_ptr<Surface> m_surface;
};

} // namespace platform
