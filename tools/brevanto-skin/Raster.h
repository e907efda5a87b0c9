#pragma once

// The drawing kit of the skin generator: coverage masks made from signed distance functions or
// text, paints (solid colours and gradients) and a floating-point RGBA raster that composites
// masks with paints, source over. Everything is plain and deterministic, so the same generator
// always writes the same bytes.

#include "platform/gdi/Font.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

namespace skin {

struct Color
{
    float r = 0.f, g = 0.f, b = 0.f, a = 1.f;
};

// 0xRRGGBB as a colour with the given opacity.
Color Rgb(uint32_t nRgb, float a = 1.f);
Color Mix(const Color& c0, const Color& c1, float t);
Color WithAlpha(const Color& c, float a);
Color Lighten(const Color& c, float t); // toward white
Color Darken(const Color& c, float t);  // toward black

// A shape: the signed distance of a point to its outline, negative inside.
using Sdf = std::function<float(float, float)>;
// A colour for every point.
using Paint = std::function<Color(float, float)>;

Sdf RoundRect(float x0, float y0, float x1, float y1, float fRadius);
Sdf Circle(float cx, float cy, float fRadius);
Sdf Ellipse(float cx, float cy, float rx, float ry);
// A closed polygon, corners in order.
Sdf Polygon(std::vector<std::pair<float, float>> arrPoints);
// A line segment with round ends, fRadius half its width.
Sdf Capsule(float ax, float ay, float bx, float by, float fRadius);
// An arc of a ring: angles in radians (clockwise from the positive x axis in image
// coordinates), fWidth the ring's width, round ends.
Sdf Arc(float cx, float cy, float fRadius, float fFrom, float fTo, float fWidth);
Sdf Union(Sdf a, Sdf b);
Sdf Subtract(Sdf a, Sdf b);
Sdf Intersect(Sdf a, Sdf b);
// The band of width fWidth centred on the outline.
Sdf Outline(Sdf a, float fWidth);
// The shape grown by fBy pixels (shrunk for a negative value).
Sdf Grow(Sdf a, float fBy);
Sdf Translate(Sdf a, float dx, float dy);

struct Stop
{
    float t;
    Color color;
};

Paint Solid(const Color& c);
Paint Linear(float x0, float y0, float x1, float y1, std::vector<Stop> arrStops);
Paint Radial(float cx, float cy, float fRadius, std::vector<Stop> arrStops);
Paint Vertical(float y0, float y1, std::vector<Stop> arrStops);

// Coverage, 0 to 1 per pixel.
class Mask
{
public:
    Mask() = default;
    Mask(int nWidth, int nHeight);
    static Mask FromSdf(int nWidth, int nHeight, const Sdf& shape);
    // Text of one line with its baseline at y and its pen starting at x; nSpacing extra pixels
    // between the characters.
    static Mask FromText(int nWidth, int nHeight, const platform::Font& font, std::wstring_view text, int x,
                         int y, int nSpacing = 0);
    // The advance of the text in that font with that spacing.
    static int TextWidth(const platform::Font& font, std::wstring_view text, int nSpacing = 0);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    float At(int x, int y) const;
    float& Ref(int x, int y)
    {
        return m_arrCoverage[static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)];
    }

    // A Gaussian-like blur (three box passes) of radius fRadius.
    Mask Blurred(float fRadius) const;
    Mask Shifted(int dx, int dy) const;
    Mask Times(const Mask& other) const;
    Mask Minus(const Mask& other) const;
    Mask Scaled(float f) const;

private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<float> m_arrCoverage;
};

class Raster
{
public:
    Raster() = default;
    Raster(int nWidth, int nHeight, const Color& fill = Color{0.f, 0.f, 0.f, 0.f});

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    const Color& At(int x, int y) const;

    // Composites the paint through the mask, source over, scaled by fOpacity.
    void FillMask(const Mask& mask, const Paint& paint, float fOpacity = 1.f);
    void Fill(const Sdf& shape, const Paint& paint, float fOpacity = 1.f);
    void Fill(const Sdf& shape, const Color& c, float fOpacity = 1.f) { Fill(shape, Solid(c), fOpacity); }
    // A soft light of colour c around the shape: its blurred mask.
    void Glow(const Sdf& shape, const Color& c, float fRadius, float fOpacity = 1.f);
    // A soft shadow under the shape, offset by (dx, dy).
    void Shadow(const Sdf& shape, float dx, float dy, float fRadius, float fOpacity);
    // A shape's outline lit from above: a light rim along its top and a dark one along its bottom.
    void Bevel(const Sdf& shape, float fWidth, float fLight, float fDark);
    // Paints src over this raster with its top-left at (x, y).
    void Draw(const Raster& src, int x, int y, float fOpacity = 1.f);

    // The pixels as 0xRRGGBB: a pixel less than half covered becomes nKey, the others are
    // blended over nMatte (the colour the picture is usually drawn on) and never equal nKey.
    std::vector<uint32_t> Flatten(uint32_t nKey, uint32_t nMatte) const;

private:
    void Blend(size_t nIndex, const Color& c, float fCoverage);

    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<Color> m_arrPixels;
};

} // namespace skin
