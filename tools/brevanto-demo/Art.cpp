#include "Art.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace demo {

namespace {

struct Vec
{
    double x;
    double y;
};

uint32_t Mix(uint32_t nA, uint32_t nB, double t)
{
    auto Channel = [&](int nShift) {
        double a = (nA >> nShift) & 0xFF;
        double b = (nB >> nShift) & 0xFF;
        return static_cast<uint32_t>(std::lround(a + (b - a) * t)) << nShift;
    };
    return Channel(16) | Channel(8) | Channel(0);
}

void Blend(platform::Surface& surface, int x, int y, uint32_t nColour, double dAlpha)
{
    if (x < 0 || y < 0 || x >= surface.GetWidth() || y >= surface.GetHeight() || dAlpha <= 0)
        return;
    uint32_t nOld = surface.GetPixel(x, y);
    surface.SetPixel(x, y, 0xFF000000 | Mix(nOld & 0xFFFFFF, nColour, std::min(dAlpha, 1.0)));
}

bool InPolygon(const std::vector<Vec>& arrPoints, double x, double y)
{
    bool bInside = false;
    for (size_t i = 0, j = arrPoints.size() - 1; i < arrPoints.size(); j = i++) {
        const Vec& a = arrPoints[i];
        const Vec& b = arrPoints[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)
            bInside = !bInside;
    }
    return bInside;
}

std::vector<Vec> RegularPolygon(int nCorners, double dInner, double dRotation)
{
    std::vector<Vec> arrPoints;
    int nPoints = dInner > 0 ? nCorners * 2 : nCorners;
    for (int i = 0; i < nPoints; ++i) {
        double dAngle = dRotation + i * 2 * std::numbers::pi / nPoints;
        double dRadius = (dInner > 0 && i % 2 == 1) ? dInner : 1.0;
        arrPoints.push_back({dRadius * std::cos(dAngle), dRadius * std::sin(dAngle)});
    }
    return arrPoints;
}

// Whether the unit-sized emblem covers the point (x, y), both in [-1, 1].
bool EmblemCovers(const std::string& strEmblem, double x, double y)
{
    static const std::vector<Vec> star = RegularPolygon(5, 0.45, -std::numbers::pi / 2);
    static const std::vector<Vec> hexagon = RegularPolygon(6, 0, 0);
    static const std::vector<Vec> arrow = {{-0.8, 0.9}, {0.0, -0.95}, {0.8, 0.9}, {0.0, 0.45}};
    if (strEmblem == "diamond")
        return std::abs(x) * 1.25 + std::abs(y) <= 1.0;
    if (strEmblem == "circle") {
        // A sun: a disc with a ring of rays.
        double d = std::hypot(x, y);
        double dAngle = std::atan2(y, x);
        return d <= 0.6 || (d >= 0.72 && d <= 1.0 && std::cos(dAngle * 12) > 0.35);
    }
    if (strEmblem == "hexagon")
        return InPolygon(hexagon, x, y) && !(std::hypot(x, y) < 0.42);
    if (strEmblem == "crescent")
        return std::hypot(x, y) <= 1.0 && std::hypot(x - 0.42, y + 0.25) > 0.82;
    if (strEmblem == "arrow")
        return InPolygon(arrow, x, y);
    return InPolygon(star, x, y);
}

} // namespace

std::optional<uint32_t> ParseColour(const std::string& strText)
{
    if (strText.size() != 7 || strText[0] != '#' ||
        strText.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
        return std::nullopt;
    return static_cast<uint32_t>(std::stoul(strText.substr(1), nullptr, 16));
}

Look MakeLook(const std::string& strColours, const std::string& strEmblem)
{
    Look look;
    size_t nComma = strColours.find(',');
    if (auto from = ParseColour(strColours.substr(0, nComma)))
        look.nFrom = *from;
    if (nComma != std::string::npos) {
        if (auto to = ParseColour(strColours.substr(nComma + 1)))
            look.nTo = *to;
    }
    if (!strEmblem.empty())
        look.strEmblem = strEmblem;
    return look;
}

void FillGradient(platform::Surface& surface, const platform::Rect& rc, uint32_t nFrom, uint32_t nTo,
                  bool bHorizontal)
{
    int nSpan = std::max(1, (bHorizontal ? rc.Width() : rc.Height()) - 1);
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            double t = static_cast<double>(bHorizontal ? x - rc.left : y - rc.top) / nSpan;
            // A slight diagonal sheen keeps large areas from looking flat.
            double dSheen = 0.06 * std::sin((x + y) * 0.02);
            surface.SetPixel(x, y, 0xFF000000 | Mix(nFrom, nTo, std::clamp(t + dSheen, 0.0, 1.0)));
        }
    }
}

void DrawGlow(platform::Surface& surface, double cx, double cy, double dRadius, uint32_t nColour,
              double dAlpha)
{
    for (int y = static_cast<int>(cy - dRadius); y <= static_cast<int>(cy + dRadius); ++y) {
        for (int x = static_cast<int>(cx - dRadius); x <= static_cast<int>(cx + dRadius); ++x) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / dRadius;
            if (d < 1.0)
                Blend(surface, x, y, nColour, dAlpha * (1.0 - d) * (1.0 - d));
        }
    }
}

void DrawEmblem(platform::Surface& surface, const std::string& strEmblem, double cx, double cy,
                double dRadius, uint32_t nColour, double dAlpha)
{
    constexpr int kSamples = 4; // 4 x 4 samples per pixel smooth the edges
    for (int y = static_cast<int>(cy - dRadius) - 1; y <= static_cast<int>(cy + dRadius) + 1; ++y) {
        for (int x = static_cast<int>(cx - dRadius) - 1; x <= static_cast<int>(cx + dRadius) + 1; ++x) {
            int nHits = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    double px = (x + (sx + 0.5) / kSamples - cx) / dRadius;
                    double py = (y + (sy + 0.5) / kSamples - cy) / dRadius;
                    nHits += EmblemCovers(strEmblem, px, py) ? 1 : 0;
                }
            }
            Blend(surface, x, y, nColour, dAlpha * nHits / (kSamples * kSamples));
        }
    }
}

void DrawEmblemWithShadow(platform::Surface& surface, const std::string& strEmblem, double cx, double cy,
                          double dRadius)
{
    double dOffset = std::max(1.0, dRadius / 14);
    DrawEmblem(surface, strEmblem, cx + dOffset, cy + dOffset * 1.5, dRadius, 0x000000, 0.35);
    DrawEmblem(surface, strEmblem, cx, cy, dRadius, 0xFFFFFF, 0.95);
}

void DrawShadowedText(platform::Canvas& canvas, const std::wstring& strText, platform::Rect rc,
                      int nPixelHeight, unsigned nFormat, uint32_t nColour, int nWeight)
{
    platform::Canvas::StateGuard guard(canvas);
    platform::FontDescription desc;
    desc.strFace = L"DejaVu Sans";
    desc.nHeight = -nPixelHeight;
    desc.nWeight = nWeight;
    canvas.SelectFont(platform::Font::Create(desc));
    canvas.SetBkMode(platform::BackgroundMode::Transparent);
    platform::Rect rcShadow = rc;
    rcShadow.left += 1;
    rcShadow.right += 1;
    rcShadow.top += 2;
    rcShadow.bottom += 2;
    canvas.SetTextColor(0x000000);
    canvas.DrawText(strText, rcShadow, nFormat);
    canvas.SetTextColor(ToColorRef(nColour));
    canvas.DrawText(strText, rc, nFormat);
}

} // namespace demo
