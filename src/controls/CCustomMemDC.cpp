#include "controls/CCustomMemDC.h"

CCustomMemDC::CCustomMemDC(platform::Canvas* pTarget, const platform::Rect* pRect, bool bCopyBackground)
    : m_pTarget(pTarget)
{
    if (!m_pTarget)
        return;
    m_rect = pRect ? *pRect : m_pTarget->GetClipBox();
    if (m_rect.IsEmpty() || !Resize(m_rect.Width(), m_rect.Height()))
        return;
    // The rectangle's top-left is the bitmap's first pixel.
    SetOrigin({-m_rect.left, -m_rect.top});
    if (bCopyBackground)
        BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), *m_pTarget, m_rect.left, m_rect.top);
}

CCustomMemDC::~CCustomMemDC()
{
    // From the bitmap itself, so whatever origin or clip the paint left behind does not matter.
    if (m_pTarget && !IsNull())
        m_pTarget->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), *GetSurface(), 0, 0);
}
