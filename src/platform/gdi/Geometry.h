#pragma once

// Points, sizes and rectangles in pixels, and the colour values the drawing calls take.
//
// A Rect includes its left and top edges and excludes its right and bottom ones, so a rectangle
// from (0, 0) to (2, 3) covers 2 x 3 pixels. A rectangle whose right is not beyond its left (or
// bottom beyond top) is empty.
//
// Colours are COLORREF values, 0x00BBGGRR: red in the low byte. Surfaces store 0xAARRGGBB, so
// colours pass through ColorToPixel on the way in and PixelToColor on the way out.

#include <algorithm>
#include <cstdint>

namespace platform {

struct Point
{
    int x = 0;
    int y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

struct Size
{
    int cx = 0;
    int cy = 0;

    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr Rect FromSize(int x, int y, int nWidth, int nHeight)
    {
        return {x, y, x + nWidth, y + nHeight};
    }

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr Size GetSize() const { return {Width(), Height()}; }
    constexpr Point TopLeft() const { return {left, top}; }
    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }

    constexpr bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    constexpr bool Contains(Point pt) const { return Contains(pt.x, pt.y); }

    constexpr void Offset(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }

    // Grows every side outwards by dx or dy; negative values shrink it.
    constexpr void Inflate(int dx, int dy)
    {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
    }

    // The common part of two rectangles; an empty result is the zero rectangle.
    static constexpr Rect Intersect(const Rect& a, const Rect& b)
    {
        Rect rc{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
        return rc.IsEmpty() ? Rect{} : rc;
    }

    // The smallest rectangle holding both; an empty side does not count.
    static constexpr Rect Union(const Rect& a, const Rect& b)
    {
        if (a.IsEmpty())
            return b.IsEmpty() ? Rect{} : b;
        if (b.IsEmpty())
            return a;
        return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
    }

    friend bool operator==(const Rect&, const Rect&) = default;
};

using COLORREF = uint32_t;

constexpr COLORREF Rgb(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}

constexpr uint8_t GetR(COLORREF c)
{
    return static_cast<uint8_t>(c & 0xFF);
}
constexpr uint8_t GetG(COLORREF c)
{
    return static_cast<uint8_t>((c >> 8) & 0xFF);
}
constexpr uint8_t GetB(COLORREF c)
{
    return static_cast<uint8_t>((c >> 16) & 0xFF);
}

// The opaque surface pixel of a colour.
constexpr uint32_t ColorToPixel(COLORREF c)
{
    return 0xFF000000u | (static_cast<uint32_t>(GetR(c)) << 16) | (static_cast<uint32_t>(GetG(c)) << 8) |
           GetB(c);
}

// The colour of a surface pixel; its alpha is dropped.
constexpr COLORREF PixelToColor(uint32_t nPixel)
{
    return Rgb(static_cast<uint8_t>((nPixel >> 16) & 0xFF), static_cast<uint8_t>((nPixel >> 8) & 0xFF),
               static_cast<uint8_t>(nPixel & 0xFF));
}

// What GetPixel answers for a point outside the surface or the clip.
inline constexpr COLORREF kInvalidColor = 0xFFFFFFFF;

} // namespace platform
