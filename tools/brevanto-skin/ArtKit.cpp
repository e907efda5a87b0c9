#include "ArtKit.h"

#include <cmath>
#include <numbers>

namespace skin {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// A small deterministic generator for star fields.
class Lcg
{
public:
    explicit Lcg(uint32_t nSeed) : m_nState(nSeed * 2654435761u + 1u) {}
    float Next()
    {
        m_nState = m_nState * 1664525u + 1013904223u;
        return static_cast<float>(m_nState >> 8) / static_cast<float>(1u << 24);
    }

private:
    uint32_t m_nState;
};

} // namespace

Sdf IconCross(float cx, float cy, float s, float fStroke)
{
    return Union(Capsule(cx - s, cy - s, cx + s, cy + s, fStroke * 0.5f),
                 Capsule(cx - s, cy + s, cx + s, cy - s, fStroke * 0.5f));
}

Sdf IconBar(float cx, float cy, float s, float fStroke)
{
    return Capsule(cx - s, cy, cx + s, cy, fStroke * 0.5f);
}

Sdf IconPlay(float cx, float cy, float s)
{
    // The triangle's centroid sits a little right of the centre, so it looks centred.
    const float r = s * 0.18f;
    Sdf tri = Polygon({{cx - s * 0.55f + r, cy - s * 0.85f + r * 1.4f},
                       {cx + s * 0.95f - r * 1.6f, cy},
                       {cx - s * 0.55f + r, cy + s * 0.85f - r * 1.4f}});
    return Grow(tri, r);
}

Sdf IconPause(float cx, float cy, float s)
{
    const float w = s * 0.32f;
    return Union(
        RoundRect(cx - s * 0.62f, cy - s * 0.8f, cx - s * 0.62f + w * 1.9f, cy + s * 0.8f, w * 0.5f),
        RoundRect(cx + s * 0.62f - w * 1.9f, cy - s * 0.8f, cx + s * 0.62f, cy + s * 0.8f, w * 0.5f));
}

Sdf IconTrash(float cx, float cy, float s)
{
    Sdf body = Polygon({{cx - s * 0.62f, cy - s * 0.45f},
                        {cx + s * 0.62f, cy - s * 0.45f},
                        {cx + s * 0.5f, cy + s * 0.95f},
                        {cx - s * 0.5f, cy + s * 0.95f}});
    body = Grow(body, s * 0.06f);
    Sdf slits = Union(Capsule(cx - s * 0.22f, cy - s * 0.15f, cx - s * 0.2f, cy + s * 0.65f, s * 0.07f),
                      Capsule(cx + s * 0.22f, cy - s * 0.15f, cx + s * 0.2f, cy + s * 0.65f, s * 0.07f));
    body = Subtract(body, slits);
    Sdf lid = Capsule(cx - s * 0.85f, cy - s * 0.68f, cx + s * 0.85f, cy - s * 0.68f, s * 0.1f);
    Sdf handle =
        Outline(RoundRect(cx - s * 0.3f, cy - s * 1.0f, cx + s * 0.3f, cy - s * 0.62f, s * 0.12f), s * 0.16f);
    handle = Intersect(handle, RoundRect(cx - s, cy - s * 1.2f, cx + s, cy - s * 0.7f, 0.f));
    return Union(Union(body, lid), handle);
}

Sdf IconDownload(float cx, float cy, float s)
{
    const float w = s * 0.13f;
    Sdf shaft = Capsule(cx, cy - s * 0.95f, cx, cy + s * 0.3f, w);
    Sdf head = Union(Capsule(cx - s * 0.5f, cy - s * 0.15f, cx, cy + s * 0.35f, w),
                     Capsule(cx + s * 0.5f, cy - s * 0.15f, cx, cy + s * 0.35f, w));
    Sdf tray = Union(Capsule(cx - s * 0.9f, cy + s * 0.45f, cx - s * 0.9f, cy + s * 0.9f, w),
                     Union(Capsule(cx - s * 0.9f, cy + s * 0.9f, cx + s * 0.9f, cy + s * 0.9f, w),
                           Capsule(cx + s * 0.9f, cy + s * 0.45f, cx + s * 0.9f, cy + s * 0.9f, w)));
    return Union(Union(shaft, head), tray);
}

Sdf IconExit(float cx, float cy, float s)
{
    const float w = s * 0.13f;
    // A door frame open to the right, and an arrow leaving through it.
    Sdf frame = Union(Capsule(cx + s * 0.1f, cy - s * 0.9f, cx - s * 0.85f, cy - s * 0.9f, w),
                      Union(Capsule(cx - s * 0.85f, cy - s * 0.9f, cx - s * 0.85f, cy + s * 0.9f, w),
                            Capsule(cx - s * 0.85f, cy + s * 0.9f, cx + s * 0.1f, cy + s * 0.9f, w)));
    Sdf arrow = Union(Capsule(cx - s * 0.35f, cy, cx + s * 0.95f, cy, w),
                      Union(Capsule(cx + s * 0.5f, cy - s * 0.45f, cx + s * 0.95f, cy, w),
                            Capsule(cx + s * 0.5f, cy + s * 0.45f, cx + s * 0.95f, cy, w)));
    return Union(frame, arrow);
}

Sdf IconGamepad(float cx, float cy, float s)
{
    Sdf body = Union(RoundRect(cx - s * 0.8f, cy - s * 0.5f, cx + s * 0.8f, cy + s * 0.25f, s * 0.35f),
                     Union(Circle(cx - s * 0.62f, cy + s * 0.18f, s * 0.38f),
                           Circle(cx + s * 0.62f, cy + s * 0.18f, s * 0.38f)));
    const float w = s * 0.08f;
    Sdf pad = Union(Capsule(cx - s * 0.72f, cy - s * 0.1f, cx - s * 0.38f, cy - s * 0.1f, w),
                    Capsule(cx - s * 0.55f, cy - s * 0.27f, cx - s * 0.55f, cy + s * 0.07f, w));
    Sdf buttons = Union(Circle(cx + s * 0.45f, cy - s * 0.02f, s * 0.09f),
                        Circle(cx + s * 0.66f, cy - s * 0.2f, s * 0.09f));
    return Subtract(body, Union(pad, buttons));
}

Sdf Star(float cx, float cy, float fOuter, float fInner)
{
    std::vector<std::pair<float, float>> pts;
    for (int i = 0; i < 10; ++i) {
        float a = -kPi / 2.f + static_cast<float>(i) * kPi / 5.f;
        float r = (i % 2 == 0) ? fOuter : fInner;
        pts.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
    }
    return Polygon(std::move(pts));
}

Sdf Hexagon(float cx, float cy, float r, float fRound)
{
    std::vector<std::pair<float, float>> pts;
    const float rr = r - fRound;
    for (int i = 0; i < 6; ++i) {
        float a = -kPi / 2.f + static_cast<float>(i) * kPi / 3.f;
        pts.emplace_back(cx + rr * std::cos(a), cy + rr * std::sin(a));
    }
    return Grow(Polygon(std::move(pts)), fRound);
}

void DrawEmblem(Raster& r, float x, float y, float fSize, float fGlow)
{
    const float cx = x + fSize * 0.5f, cy = y + fSize * 0.5f, rad = fSize * 0.48f;
    Sdf hex = Hexagon(cx, cy, rad, fSize * 0.09f);
    if (fGlow > 0.f)
        r.Glow(hex, Rgb(tone::kCyan), fSize * 0.16f, fGlow);
    r.Fill(hex, Linear(x, y, x + fSize, y + fSize,
                       {{0.f, Rgb(0x5EEBFF)}, {0.45f, Rgb(tone::kCyanDeep)}, {1.f, Rgb(tone::kVioletDeep)}}));
    // The gloss: the upper half of the hexagon, lighter, fading downward.
    Sdf upper = Intersect(Grow(hex, -fSize * 0.05f), RoundRect(x - 1.f, y - 1.f, x + fSize + 1.f, cy, 0.f));
    r.Fill(upper, Vertical(y, cy, {{0.f, Rgb(0xFFFFFF, 0.45f)}, {1.f, Rgb(0xFFFFFF, 0.05f)}}));
    r.Fill(Outline(hex, fSize * 0.035f), Rgb(0xFFFFFF), 0.35f);
    Sdf play = IconPlay(cx + fSize * 0.02f, cy, fSize * 0.24f);
    r.Shadow(play, 0.f, fSize * 0.03f, fSize * 0.04f, 0.45f);
    r.Fill(play,
           Vertical(cy - fSize * 0.2f, cy + fSize * 0.2f, {{0.f, Rgb(0xFFFFFF)}, {1.f, Rgb(0xD6F6FF)}}));
}

void DrawChrome(Raster& r, float y0, float y1)
{
    const float w = static_cast<float>(r.Width());
    Sdf band = RoundRect(-10.f, y0, w + 10.f, y1, 0.f);
    r.Fill(band, Vertical(y0, y1, {{0.f, Rgb(0x18204E)}, {1.f, Rgb(tone::kNavy)}}));
    // Two soft coloured lights, violet on the left and cyan on the right.
    r.Fill(band, Radial(w * 0.12f, y0, w * 0.35f,
                        {{0.f, Rgb(tone::kViolet, 0.22f)}, {1.f, Rgb(tone::kViolet, 0.f)}}));
    r.Fill(band,
           Radial(w * 0.85f, y1, w * 0.4f, {{0.f, Rgb(tone::kCyan, 0.13f)}, {1.f, Rgb(tone::kCyan, 0.f)}}));
    // A faint diagonal weave.
    Sdf weave = [y0, y1](float x, float y) {
        if (y < y0 || y > y1)
            return 1.f;
        float u = std::fmod(x + y + 4000.f, 14.f);
        return std::min(std::abs(u - 0.5f), std::abs(u - 14.5f)) - 0.45f;
    };
    r.Fill(weave, Rgb(0xFFFFFF), 0.025f);
}

void DrawCard(Raster& r, float x0, float y0, float x1, float y1, float fRadius, uint32_t nTop,
              uint32_t nBottom)
{
    Sdf card = RoundRect(x0, y0, x1, y1, fRadius);
    r.Shadow(card, 0.f, 2.f, 4.f, 0.45f);
    r.Fill(card, Vertical(y0, y1, {{0.f, Rgb(nTop)}, {1.f, Rgb(nBottom)}}));
    r.Fill(Outline(Grow(card, -0.5f), 1.f), Rgb(tone::kCardEdge), 0.9f);
    // Rim light along the top edge.
    Sdf rim = Intersect(Outline(Grow(card, -1.5f), 1.f), RoundRect(x0, y0, x1, y0 + fRadius, 0.f));
    r.Fill(rim, Rgb(0xFFFFFF), 0.8f);
}

void DrawScenery(Raster& r, float y0, float y1, int nSeed)
{
    const float w = static_cast<float>(r.Width());
    const float h = y1 - y0;
    Lcg rng(static_cast<uint32_t>(nSeed));
    // Stars: small dots of varied brightness in the upper part.
    for (int i = 0; i < 60; ++i) {
        float sx = rng.Next() * w, sy = y0 + rng.Next() * h * 0.7f;
        float sr = 0.5f + rng.Next() * 0.9f;
        r.Fill(Circle(sx, sy, sr), Rgb(i % 5 == 0 ? tone::kCyan : 0xDDE6FF), 0.25f + rng.Next() * 0.45f);
    }
    // Three layers of hills, far ones lighter and bluer.
    struct Layer
    {
        float fBase, fAmp, fFreq, fPhase;
        uint32_t nTop, nBottom;
    };
    const Layer layers[] = {
        {0.45f, 0.16f, 0.011f, 0.6f, 0x29337A, 0x1B2358},
        {0.62f, 0.14f, 0.017f, 2.1f, 0x1E2762, 0x141B46},
        {0.78f, 0.1f, 0.023f, 4.0f, 0x151C4A, 0x0E1436},
    };
    for (const Layer& l : layers) {
        Sdf hill = [=](float x, float y) {
            float top = y0 + h * (l.fBase - l.fAmp * (std::sin(x * l.fFreq + l.fPhase) * 0.6f +
                                                      std::sin(x * l.fFreq * 2.3f + l.fPhase * 1.7f) * 0.4f));
            return top - y;
        };
        r.Fill(hill, Vertical(y0 + h * (l.fBase - l.fAmp), y1, {{0.f, Rgb(l.nTop)}, {1.f, Rgb(l.nBottom)}}));
        // A rim of accent light along each crest.
        Sdf crest = [=](float x, float y) {
            float top = y0 + h * (l.fBase - l.fAmp * (std::sin(x * l.fFreq + l.fPhase) * 0.6f +
                                                      std::sin(x * l.fFreq * 2.3f + l.fPhase * 1.7f) * 0.4f));
            return std::abs(y - top - 0.5f) - 0.6f;
        };
        r.Fill(crest, Linear(0.f, 0.f, w, 0.f, {{0.f, Rgb(tone::kViolet)}, {1.f, Rgb(tone::kCyan)}}), 0.35f);
    }
}

platform::Font SkinFont(int nPixels, int nWeight, bool bCondensed)
{
    platform::FontDescription desc;
    desc.strFace = bCondensed ? L"DejaVu Sans Condensed" : L"DejaVu Sans";
    desc.nHeight = -nPixels;
    desc.nWeight = nWeight;
    return platform::Font::Create(desc);
}

} // namespace skin
