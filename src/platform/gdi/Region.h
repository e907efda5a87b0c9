#pragma once

// A set of pixels kept as rectangles in bands: the rectangles of one band share their top and
// bottom, do not touch or overlap, and run left to right; bands run top to bottom without
// overlapping, and two bands that meet with the same runs are merged into one. That form is
// unique for a pixel set, so two regions are equal exactly when their rectangle lists are, and
// GetRects() can go straight to a window system that wants sorted, non-overlapping rectangles.
//
// Every operation is a single sweep over the bands of its operands, so building a shape from a
// bitmap (a few runs per row, hundreds of rows, combined in batches) stays linear in its size.
//
// Thread rules: a Region is a plain value; one region is used by one thread at a time.

#include "platform/gdi/Geometry.h"

#include <span>
#include <vector>

namespace platform {

enum class RegionOp
{
    And,  // pixels in both
    Or,   // pixels in either
    Xor,  // pixels in exactly one
    Diff, // pixels in the first and not in the second
};

class Region
{
public:
    // The empty region.
    Region() = default;
    // The pixels of one rectangle; empty for an empty rectangle.
    explicit Region(const Rect& rc);

    // The union of any rectangles, overlapping or not, in any order; empty ones are ignored.
    static Region FromRects(std::span<const Rect> arrRects);
    static Region Combine(const Region& a, const Region& b, RegionOp op);

    // this = this op other.
    void CombineWith(const Region& other, RegionOp op) { *this = Combine(*this, other, op); }
    void Offset(int dx, int dy);

    bool IsEmpty() const { return m_arrRects.empty(); }
    bool Contains(int x, int y) const;
    bool Contains(Point pt) const { return Contains(pt.x, pt.y); }
    // The bounding rectangle; the zero rectangle when empty.
    Rect GetBox() const { return m_rcBox; }
    // The banded rectangles, top to bottom, then left to right.
    const std::vector<Rect>& GetRects() const { return m_arrRects; }

    friend bool operator==(const Region& a, const Region& b) { return a.m_arrRects == b.m_arrRects; }

private:
    class Builder;

    std::vector<Rect> m_arrRects;
    Rect m_rcBox;
};

} // namespace platform
