#include "platform/window/PaintDC.h"

#include "platform/window/Window.h"
#include "platform/window/WindowSystem.h"

namespace platform {

PaintDC::PaintDC(Window* pWindow)
{
    Window* pTop = pWindow->GetTopLevel();
    Attach(&pTop->m_surface);
    Point ptOffset = pWindow->GetOffsetInTopLevel();
    Rect rcWindow =
        Rect::FromSize(ptOffset.x, ptOffset.y, pWindow->m_rcWindow.Width(), pWindow->m_rcWindow.Height());
    Rect rcClip = rcWindow;
    auto pSystem = WindowSystem::Get();
    if (pSystem && pSystem->m_pPainting == pWindow)
        rcClip = Rect::Intersect(rcClip, pSystem->m_rcPaintClip);
    SetOrigin(ptOffset);
    SetClipRect(rcClip);
    m_rcPaint = rcClip;
    m_rcPaint.Offset(-ptOffset.x, -ptOffset.y);
    if (const Font* pFont = pWindow->GetFont())
        SelectFont(*pFont);
}

} // namespace platform
