#include "platform/gdi/MemoryCanvas.h"

#include <optional>
#include <utility>

namespace platform {

MemoryCanvas::MemoryCanvas(int nWidth, int nHeight, uint32_t nPixel)
{
    Resize(nWidth, nHeight, nPixel);
}

bool MemoryCanvas::Resize(int nWidth, int nHeight, uint32_t nPixel)
{
    std::optional<Surface> surface = Surface::Create(nWidth, nHeight, nPixel);
    if (!surface)
        return false;
    m_surface = std::make_unique<Surface>(std::move(*surface));
    Attach(m_surface.get());
    return true;
}

} // namespace platform
