#include "Raster.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace skin {

namespace {

float Clamp01(float v)
{
    return std::clamp(v, 0.f, 1.f);
}

float Length(float x, float y)
{
    return std::sqrt(x * x + y * y);
}

Color Sample(const std::vector<Stop>& arrStops, float t)
{
    if (arrStops.empty())
        return {};
    if (t <= arrStops.front().t)
        return arrStops.front().color;
    for (size_t i = 1; i < arrStops.size(); ++i) {
        if (t <= arrStops[i].t) {
            const Stop& a = arrStops[i - 1];
            const Stop& b = arrStops[i];
            float fSpan = b.t - a.t;
            return Mix(a.color, b.color, fSpan > 0.f ? (t - a.t) / fSpan : 1.f);
        }
    }
    return arrStops.back().color;
}

// One box-blur pass of radius r along rows (bHorizontal) or columns, with the edges clamped.
void BoxPass(std::vector<float>& arr, int w, int h, int r, bool bHorizontal)
{
    if (r <= 0)
        return;
    const int nLines = bHorizontal ? h : w;
    const int nLength = bHorizontal ? w : h;
    std::vector<float> line(static_cast<size_t>(nLength));
    for (int l = 0; l < nLines; ++l) {
        auto index = [&](int i) {
            return bHorizontal ? static_cast<size_t>(l) * static_cast<size_t>(w) + static_cast<size_t>(i)
                               : static_cast<size_t>(i) * static_cast<size_t>(w) + static_cast<size_t>(l);
        };
        auto at = [&](int i) { return arr[index(std::clamp(i, 0, nLength - 1))]; };
        float fSum = 0.f;
        for (int i = -r; i <= r; ++i)
            fSum += at(i);
        const float fScale = 1.f / static_cast<float>(2 * r + 1);
        for (int i = 0; i < nLength; ++i) {
            line[static_cast<size_t>(i)] = fSum * fScale;
            fSum += at(i + r + 1) - at(i - r);
        }
        for (int i = 0; i < nLength; ++i)
            arr[index(i)] = line[static_cast<size_t>(i)];
    }
}

} // namespace

Color Rgb(uint32_t nRgb, float a)
{
    return {static_cast<float>((nRgb >> 16) & 0xFF) / 255.f, static_cast<float>((nRgb >> 8) & 0xFF) / 255.f,
            static_cast<float>(nRgb & 0xFF) / 255.f, a};
}

Color Mix(const Color& c0, const Color& c1, float t)
{
    return {c0.r + (c1.r - c0.r) * t, c0.g + (c1.g - c0.g) * t, c0.b + (c1.b - c0.b) * t,
            c0.a + (c1.a - c0.a) * t};
}

Color WithAlpha(const Color& c, float a)
{
    return {c.r, c.g, c.b, a};
}

Color Lighten(const Color& c, float t)
{
    Color white{1.f, 1.f, 1.f, c.a};
    return Mix(c, white, t);
}

Color Darken(const Color& c, float t)
{
    Color black{0.f, 0.f, 0.f, c.a};
    return Mix(c, black, t);
}

// --- Shapes ---

Sdf RoundRect(float x0, float y0, float x1, float y1, float fRadius)
{
    const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    const float hx = (x1 - x0) * 0.5f, hy = (y1 - y0) * 0.5f;
    const float r = std::min({fRadius, hx, hy});
    return [=](float x, float y) {
        float qx = std::abs(x - cx) - (hx - r);
        float qy = std::abs(y - cy) - (hy - r);
        return Length(std::max(qx, 0.f), std::max(qy, 0.f)) + std::min(std::max(qx, qy), 0.f) - r;
    };
}

Sdf Circle(float cx, float cy, float fRadius)
{
    return [=](float x, float y) { return Length(x - cx, y - cy) - fRadius; };
}

Sdf Ellipse(float cx, float cy, float rx, float ry)
{
    // Distance approximated by the scaled circle; good enough for soft shapes.
    const float k = std::min(rx, ry);
    return [=](float x, float y) { return (Length((x - cx) / rx, (y - cy) / ry) - 1.f) * k; };
}

Sdf Polygon(std::vector<std::pair<float, float>> arrPoints)
{
    return [pts = std::move(arrPoints)](float x, float y) {
        float fDist = 1e30f;
        bool bInside = false;
        const size_t n = pts.size();
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            auto [ax, ay] = pts[j];
            auto [bx, by] = pts[i];
            float ex = bx - ax, ey = by - ay;
            float wx = x - ax, wy = y - ay;
            float t = Clamp01((wx * ex + wy * ey) / std::max(ex * ex + ey * ey, 1e-6f));
            fDist = std::min(fDist, Length(wx - ex * t, wy - ey * t));
            if ((ay > y) != (by > y) && x < ax + (y - ay) * ex / ey)
                bInside = !bInside;
        }
        return bInside ? -fDist : fDist;
    };
}

Sdf Capsule(float ax, float ay, float bx, float by, float fRadius)
{
    return [=](float x, float y) {
        float ex = bx - ax, ey = by - ay;
        float wx = x - ax, wy = y - ay;
        float t = Clamp01((wx * ex + wy * ey) / std::max(ex * ex + ey * ey, 1e-6f));
        return Length(wx - ex * t, wy - ey * t) - fRadius;
    };
}

Sdf Arc(float cx, float cy, float fRadius, float fFrom, float fTo, float fWidth)
{
    const float fHalf = fWidth * 0.5f;
    return [=](float x, float y) {
        float fAngle = std::atan2(y - cy, x - cx);
        const float fTwoPi = 2.f * std::numbers::pi_v<float>;
        float a = fAngle;
        while (a < fFrom)
            a += fTwoPi;
        while (a > fFrom + fTwoPi)
            a -= fTwoPi;
        if (a <= fTo)
            return std::abs(Length(x - cx, y - cy) - fRadius) - fHalf;
        float d0 = Length(x - (cx + fRadius * std::cos(fFrom)), y - (cy + fRadius * std::sin(fFrom)));
        float d1 = Length(x - (cx + fRadius * std::cos(fTo)), y - (cy + fRadius * std::sin(fTo)));
        return std::min(d0, d1) - fHalf;
    };
}

Sdf Union(Sdf a, Sdf b)
{
    return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Sdf Subtract(Sdf a, Sdf b)
{
    return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Sdf Intersect(Sdf a, Sdf b)
{
    return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

Sdf Outline(Sdf a, float fWidth)
{
    return [=](float x, float y) { return std::abs(a(x, y)) - fWidth * 0.5f; };
}

Sdf Grow(Sdf a, float fBy)
{
    return [=](float x, float y) { return a(x, y) - fBy; };
}

Sdf Translate(Sdf a, float dx, float dy)
{
    return [=](float x, float y) { return a(x - dx, y - dy); };
}

// --- Paints ---

Paint Solid(const Color& c)
{
    return [c](float, float) { return c; };
}

Paint Linear(float x0, float y0, float x1, float y1, std::vector<Stop> arrStops)
{
    const float dx = x1 - x0, dy = y1 - y0;
    const float fLen2 = std::max(dx * dx + dy * dy, 1e-6f);
    return [=, stops = std::move(arrStops)](float x, float y) {
        return Sample(stops, ((x - x0) * dx + (y - y0) * dy) / fLen2);
    };
}

Paint Radial(float cx, float cy, float fRadius, std::vector<Stop> arrStops)
{
    return [=, stops = std::move(arrStops)](float x, float y) {
        return Sample(stops, Length(x - cx, y - cy) / fRadius);
    };
}

Paint Vertical(float y0, float y1, std::vector<Stop> arrStops)
{
    return Linear(0.f, y0, 0.f, y1, std::move(arrStops));
}

// --- Mask ---

Mask::Mask(int nWidth, int nHeight)
    : m_nWidth(nWidth), m_nHeight(nHeight),
      m_arrCoverage(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight), 0.f)
{
}

Mask Mask::FromSdf(int nWidth, int nHeight, const Sdf& shape)
{
    Mask mask(nWidth, nHeight);
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nWidth; ++x)
            mask.Ref(x, y) =
                Clamp01(0.5f - shape(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f));
    return mask;
}

Mask Mask::FromText(int nWidth, int nHeight, const platform::Font& font, std::wstring_view text, int x, int y,
                    int nSpacing)
{
    Mask mask(nWidth, nHeight);
    std::vector<const platform::Glyph*> arrGlyphs;
    font.GetGlyphs(text, arrGlyphs);
    int nPen = x;
    for (const platform::Glyph* pGlyph : arrGlyphs) {
        if (!pGlyph)
            continue;
        const int gx = nPen + pGlyph->nLeft;
        const int gy = y - pGlyph->nTop;
        for (int row = 0; row < pGlyph->nHeight; ++row) {
            for (int col = 0; col < pGlyph->nWidth; ++col) {
                int px = gx + col, py = gy + row;
                if (px < 0 || py < 0 || px >= nWidth || py >= nHeight)
                    continue;
                float v =
                    static_cast<float>(
                        pGlyph->arrCoverage[static_cast<size_t>(row) * static_cast<size_t>(pGlyph->nWidth) +
                                            static_cast<size_t>(col)]) /
                    255.f;
                float& cell = mask.Ref(px, py);
                cell = std::max(cell, v);
            }
        }
        nPen += pGlyph->nAdvance + nSpacing;
    }
    return mask;
}

int Mask::TextWidth(const platform::Font& font, std::wstring_view text, int nSpacing)
{
    if (text.empty())
        return 0;
    return font.GetTextWidth(text) + nSpacing * static_cast<int>(text.size() - 1);
}

float Mask::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return 0.f;
    return m_arrCoverage[static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)];
}

Mask Mask::Blurred(float fRadius) const
{
    Mask out = *this;
    // Three box passes of a third of the radius each approach a Gaussian.
    int r = std::max(1, static_cast<int>(std::lround(fRadius / 1.7f)));
    for (int i = 0; i < 3; ++i) {
        BoxPass(out.m_arrCoverage, m_nWidth, m_nHeight, r, true);
        BoxPass(out.m_arrCoverage, m_nWidth, m_nHeight, r, false);
    }
    return out;
}

Mask Mask::Shifted(int dx, int dy) const
{
    Mask out(m_nWidth, m_nHeight);
    for (int y = 0; y < m_nHeight; ++y)
        for (int x = 0; x < m_nWidth; ++x)
            out.Ref(x, y) = At(x - dx, y - dy);
    return out;
}

Mask Mask::Times(const Mask& other) const
{
    Mask out = *this;
    for (size_t i = 0; i < out.m_arrCoverage.size(); ++i)
        out.m_arrCoverage[i] *= other.m_arrCoverage[i];
    return out;
}

Mask Mask::Minus(const Mask& other) const
{
    Mask out = *this;
    for (size_t i = 0; i < out.m_arrCoverage.size(); ++i)
        out.m_arrCoverage[i] = Clamp01(out.m_arrCoverage[i] - other.m_arrCoverage[i]);
    return out;
}

Mask Mask::Scaled(float f) const
{
    Mask out = *this;
    for (float& v : out.m_arrCoverage)
        v = Clamp01(v * f);
    return out;
}

// --- Raster ---

Raster::Raster(int nWidth, int nHeight, const Color& fill)
    : m_nWidth(nWidth), m_nHeight(nHeight),
      m_arrPixels(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight), fill)
{
}

const Color& Raster::At(int x, int y) const
{
    return m_arrPixels[static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)];
}

void Raster::Blend(size_t nIndex, const Color& c, float fCoverage)
{
    const float sa = Clamp01(c.a * fCoverage);
    if (sa <= 0.f)
        return;
    Color& d = m_arrPixels[nIndex];
    const float oa = sa + d.a * (1.f - sa);
    if (oa <= 0.f)
        return;
    const float fDst = d.a * (1.f - sa);
    d.r = (c.r * sa + d.r * fDst) / oa;
    d.g = (c.g * sa + d.g * fDst) / oa;
    d.b = (c.b * sa + d.b * fDst) / oa;
    d.a = oa;
}

void Raster::FillMask(const Mask& mask, const Paint& paint, float fOpacity)
{
    for (int y = 0; y < m_nHeight; ++y) {
        for (int x = 0; x < m_nWidth; ++x) {
            float m = mask.At(x, y) * fOpacity;
            if (m <= 0.f)
                continue;
            Blend(static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x),
                  paint(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f), m);
        }
    }
}

void Raster::Fill(const Sdf& shape, const Paint& paint, float fOpacity)
{
    FillMask(Mask::FromSdf(m_nWidth, m_nHeight, shape), paint, fOpacity);
}

void Raster::Glow(const Sdf& shape, const Color& c, float fRadius, float fOpacity)
{
    FillMask(Mask::FromSdf(m_nWidth, m_nHeight, shape).Blurred(fRadius), Solid(c), fOpacity);
}

void Raster::Shadow(const Sdf& shape, float dx, float dy, float fRadius, float fOpacity)
{
    FillMask(Mask::FromSdf(m_nWidth, m_nHeight, Translate(shape, dx, dy)).Blurred(fRadius),
             Solid(Rgb(0x02030A)), fOpacity);
}

void Raster::Bevel(const Sdf& shape, float fWidth, float fLight, float fDark)
{
    Mask inside = Mask::FromSdf(m_nWidth, m_nHeight, shape);
    Mask light = inside.Minus(Mask::FromSdf(m_nWidth, m_nHeight, Translate(shape, 0.f, fWidth)));
    Mask dark = inside.Minus(Mask::FromSdf(m_nWidth, m_nHeight, Translate(shape, 0.f, -fWidth)));
    FillMask(light, Solid(Rgb(0xFFFFFF)), fLight);
    FillMask(dark, Solid(Rgb(0x000000)), fDark);
}

void Raster::Draw(const Raster& src, int x, int y, float fOpacity)
{
    for (int sy = 0; sy < src.m_nHeight; ++sy) {
        int dy = y + sy;
        if (dy < 0 || dy >= m_nHeight)
            continue;
        for (int sx = 0; sx < src.m_nWidth; ++sx) {
            int dx = x + sx;
            if (dx < 0 || dx >= m_nWidth)
                continue;
            Blend(static_cast<size_t>(dy) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(dx),
                  src.At(sx, sy), fOpacity);
        }
    }
}

std::vector<uint32_t> Raster::Flatten(uint32_t nKey, uint32_t nMatte) const
{
    const Color matte = Rgb(nMatte);
    std::vector<uint32_t> arr;
    arr.reserve(m_arrPixels.size());
    for (const Color& c : m_arrPixels) {
        if (c.a < 0.5f) {
            arr.push_back(nKey);
            continue;
        }
        Color o = Mix(matte, c, c.a);
        auto channel = [](float v) { return static_cast<uint32_t>(std::lround(Clamp01(v) * 255.f)); };
        uint32_t nRgb = (channel(o.r) << 16) | (channel(o.g) << 8) | channel(o.b);
        if (nRgb == nKey)
            nRgb ^= 0x000100; // a drawn pixel must never read as the transparent colour
        arr.push_back(nRgb);
    }
    return arr;
}

} // namespace skin
