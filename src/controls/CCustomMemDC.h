#pragma once

// An off-screen canvas that collects a paint and puts it on its target in one copy, so a control
// that draws in many steps does not flicker.
//
// It covers a rectangle of the target (its clip box when none is given) and takes the target's
// logical coordinates: drawing at (x, y) here lands at (x, y) of the target once copied. The copy
// happens when the object goes away; until then the target is untouched.
//
// Thread rules: like Canvas, used by one thread at a time, the target's.

#include "platform/gdi/Canvas.h"
#include "platform/gdi/Geometry.h"
#include "platform/gdi/MemoryCanvas.h"

class CCustomMemDC : public platform::MemoryCanvas
{
public:
    // pTarget must outlive the object. With bCopyBackground the target's pixels of the rectangle
    // are copied in first, for a paint that only draws over part of it.
    explicit CCustomMemDC(platform::Canvas* pTarget, const platform::Rect* pRect = nullptr,
                          bool bCopyBackground = false);
    ~CCustomMemDC() override;
    CCustomMemDC(const CCustomMemDC&) = delete;
    CCustomMemDC& operator=(const CCustomMemDC&) = delete;

    // The area covered, in the target's logical coordinates.
    const platform::Rect& GetRect() const { return m_rect; }

private:
    platform::Canvas* m_pTarget;
    platform::Rect m_rect;
};
