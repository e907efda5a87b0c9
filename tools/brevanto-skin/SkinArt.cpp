#include "SkinArt.h"

#include "ArtKit.h"
#include "ButtonArt.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace skin {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// --- Logo and busy indicator ---

// Frame 0 is the resting logo (the launcher holds it between passes); frames 1 to 15 sweep a
// shine across it while the emblem's glow swells and settles.
Raster Header();

Raster Logo(int nFrame)
{
    // The logo stands at (4, 4) on the header and carries that part of the header behind it,
    // so that its glow can spread beyond the letters.
    Raster r(161, 61);
    r.Draw(Header(), -4, -4);
    const float t = static_cast<float>(nFrame) / static_cast<float>(kAnimationFrames);
    const float fPulse = std::sin(t * kPi);
    DrawEmblem(r, 3.f, 6.f, 48.f, 0.35f + 0.55f * fPulse);

    // The wordmark: the largest condensed bold size that fits beside the emblem.
    const std::wstring_view word = L"Brevanto";
    int nSize = 27;
    platform::Font font = SkinFont(nSize, platform::kFontWeightBold, true);
    while (nSize > 14 && Mask::TextWidth(font, word) > 102)
        font = SkinFont(--nSize, platform::kFontWeightBold, true);
    const int x = 56, nBase = 32;
    Mask text = Mask::FromText(161, 61, font, word, x, nBase);
    r.FillMask(text.Shifted(0, 2).Blurred(2.f), Solid(Rgb(0x000000)), 0.8f);
    r.FillMask(text.Blurred(3.f), Solid(Rgb(tone::kCyan)), 0.25f + 0.5f * fPulse);
    r.FillMask(text, Vertical(static_cast<float>(nBase - nSize), static_cast<float>(nBase + 2),
                              {{0.f, Rgb(0xEAF5FF)}, {0.5f, Rgb(0xB9DDFA)}, {1.f, Rgb(0x4FA9E0)}}));

    platform::Font small = SkinFont(10, platform::kFontWeightBold);
    const std::wstring_view games = L"GAMES";
    const int nSpacing = 5;
    Mask sub = Mask::FromText(161, 61, small, games, x + 2, 47, nSpacing);
    r.FillMask(
        sub, Linear(static_cast<float>(x), 0.f, 158.f, 0.f, {{0.f, Rgb(tone::kCyan)}, {1.f, Rgb(0xB49CFF)}}));
    const float fLineX = static_cast<float>(x + 4 + Mask::TextWidth(small, games, nSpacing));
    r.Fill(Capsule(fLineX, 43.5f, 156.f, 43.5f, 0.8f),
           Linear(fLineX, 0.f, 156.f, 0.f, {{0.f, Rgb(0xB49CFF)}, {1.f, Rgb(0xB49CFF, 0.f)}}));

    if (nFrame > 0) {
        // The shine: a slanted bright band, only where the logo is drawn.
        const float fCentre = -20.f + 215.f * t;
        Paint band = [fCentre](float px, float py) {
            float d = std::abs((px + py * 0.45f) - fCentre);
            float a = std::clamp(1.f - d / 15.f, 0.f, 1.f);
            return Rgb(0xFFFFFF, a * (0.5f + 0.5f * a));
        };
        Mask logo = text;
        Mask emblem = Mask::FromSdf(161, 61, Hexagon(27.f, 30.f, 23.f, 4.3f));
        for (int yy = 0; yy < 61; ++yy)
            for (int xx = 0; xx < 161; ++xx)
                logo.Ref(xx, yy) = std::max({logo.At(xx, yy), emblem.At(xx, yy), sub.At(xx, yy)});
        r.FillMask(logo.Blurred(3.f), band, 0.6f);
        r.FillMask(logo, band);
    }
    return r;
}

Raster Busy(int nFrame)
{
    Raster r(30, 30);
    const float cx = 15.f, cy = 15.f, fRadius = 10.5f;
    r.Fill(Outline(Circle(cx, cy, fRadius), 4.f), Rgb(0x24306E));
    // A comet: an arc whose colour runs from the frame's navy at its tail to cyan at its head.
    const float fHead = static_cast<float>(nFrame) * 2.f * kPi / 16.f - kPi / 2.f;
    const float fSpan = 1.6f * kPi;
    Paint comet = [=](float px, float py) {
        float a = std::atan2(py - cy, px - cx);
        float behind = std::fmod(fHead - a + 4.f * kPi, 2.f * kPi) / fSpan; // 0 at the head
        float k = std::clamp(1.f - behind, 0.f, 1.f);
        return Mix(Rgb(0x24306E), Mix(Rgb(tone::kCyan), Rgb(0xE8FDFF), k * k), k);
    };
    r.Fill(Arc(cx, cy, fRadius, fHead - fSpan, fHead, 4.f), comet);
    r.Fill(Circle(cx + fRadius * std::cos(fHead), cy + fRadius * std::sin(fHead), 2.6f), Rgb(0xFFFFFF));
    return r;
}

// --- Window backgrounds ---

// The header: chrome, a lit line at the bottom edge and a thin rim at the top.
Raster Header()
{
    Raster r(748, 76, Rgb(tone::kNavy));
    DrawChrome(r, 0.f, 76.f);
    r.Fill(RoundRect(-2.f, 0.f, 750.f, 1.f, 0.f), Rgb(0xFFFFFF), 0.12f);
    Sdf line = RoundRect(0.f, 74.f, 748.f, 76.f, 0.f);
    r.Fill(line, Linear(0.f, 0.f, 748.f, 0.f,
                        {{0.f, Rgb(tone::kViolet, 0.1f)},
                         {0.3f, Rgb(tone::kViolet)},
                         {0.75f, Rgb(tone::kCyan)},
                         {1.f, Rgb(tone::kCyan, 0.2f)}}));
    r.Glow(line, Rgb(tone::kCyan), 4.f, 0.35f);
    return r;
}

// The page behind both pages' content: deep navy, a vignette and a dotted grid.
void PageBase(Raster& r, bool bHeaderBand)
{
    r.Fill(RoundRect(-2.f, -2.f, 750.f, 344.f, 0.f),
           Vertical(0.f, 342.f, {{0.f, Rgb(0x0F1538)}, {1.f, Rgb(0x0A0F2A)}}));
    r.Fill(RoundRect(-2.f, -2.f, 750.f, 344.f, 0.f),
           Radial(374.f, 120.f, 460.f, {{0.f, Rgb(tone::kIndigo, 0.35f)}, {1.f, Rgb(tone::kIndigo, 0.f)}}));
    Sdf dots = [](float x, float y) {
        float u = std::fmod(x, 16.f) - 8.f, v = std::fmod(y, 16.f) - 8.f;
        return std::sqrt(u * u + v * v) - 0.7f;
    };
    r.Fill(dots, Rgb(0x8090FF), 0.07f);
    if (bHeaderBand) {
        Sdf band = RoundRect(16.f, 4.f, 732.f, 31.f, 8.f);
        r.Fill(band, Vertical(4.f, 31.f, {{0.f, Rgb(0x27306E)}, {1.f, Rgb(0x1C2456)}}));
        r.Fill(Outline(Grow(band, -0.5f), 1.f), Rgb(0x3B4794), 0.8f);
        r.Fill(RoundRect(24.f, 30.f, 724.f, 31.f, 0.f), Linear(24.f, 0.f, 724.f, 0.f,
                                                               {{0.f, Rgb(tone::kViolet, 0.f)},
                                                                {0.5f, Rgb(tone::kCyan, 0.8f)},
                                                                {1.f, Rgb(tone::kViolet, 0.f)}}));
    }
}

Raster ListPage()
{
    Raster r(748, 342, Rgb(tone::kNavy));
    PageBase(r, true);
    return r;
}

Raster DetailPage()
{
    Raster r(748, 342, Rgb(tone::kNavy));
    PageBase(r, false);
    // The greeting card on the left; the greeting and the Exit button stand on it.
    DrawCard(r, 24.f, 34.f, 516.f, 226.f, 16.f);
    Sdf card = RoundRect(24.f, 34.f, 516.f, 226.f, 16.f);
    r.Fill(card, Radial(270.f, 34.f, 260.f, {{0.f, Rgb(0xFFFFFF, 0.6f)}, {1.f, Rgb(0xFFFFFF, 0.f)}}));
    r.Fill(RoundRect(120.f, 112.f, 420.f, 114.f, 1.f), Linear(120.f, 0.f, 420.f, 0.f,
                                                              {{0.f, Rgb(tone::kViolet, 0.f)},
                                                               {0.5f, Rgb(tone::kViolet, 0.9f)},
                                                               {1.f, Rgb(tone::kViolet, 0.f)}}));
    // Stars scattered in the card's corners.
    const float stars[][3] = {
        {56.f, 66.f, 7.f}, {80.f, 190.f, 5.f}, {470.f, 70.f, 6.f}, {490.f, 192.f, 8.f}, {448.f, 168.f, 4.f}};
    for (const auto& s : stars)
        r.Fill(Star(s[0], s[1], s[2], s[2] * 0.45f), Rgb(tone::kAmber), 0.85f);
    // The frame of the 200 x 200 feature picture at (532, 70), lit like a screen.
    Sdf frame = RoundRect(524.f, 62.f, 740.f, 278.f, 14.f);
    r.Glow(frame, Rgb(tone::kCyan), 10.f, 0.55f);
    r.Fill(frame, Linear(524.f, 62.f, 740.f, 278.f, {{0.f, Rgb(0x5EEBFF)}, {1.f, Rgb(tone::kVioletDeep)}}));
    r.Fill(RoundRect(530.f, 68.f, 734.f, 272.f, 9.f),
           Vertical(68.f, 272.f, {{0.f, Rgb(0x141B44)}, {1.f, Rgb(0x0A0E26)}}));
    DrawEmblem(r, 600.f, 138.f, 64.f, 0.f);
    // The screen's light falling on the floor under the frame.
    r.Fill(Ellipse(632.f, 306.f, 110.f, 14.f),
           Radial(632.f, 306.f, 110.f, {{0.f, Rgb(tone::kCyan, 0.3f)}, {1.f, Rgb(tone::kCyan, 0.f)}}));
    return r;
}

// The lower panel: scenery above a darker status strip where the version and the support link
// are written.
void PanelBase(Raster& r)
{
    r.Fill(RoundRect(-2.f, -2.f, 752.f, 133.f, 0.f),
           Vertical(0.f, 131.f, {{0.f, Rgb(0x121944)}, {1.f, Rgb(0x0B1030)}}));
    DrawScenery(r, 4.f, 100.f, 7);
    r.Fill(RoundRect(-2.f, 100.f, 752.f, 133.f, 0.f),
           Vertical(100.f, 131.f, {{0.f, Rgb(0x0A0E28)}, {1.f, Rgb(0x060918)}}));
    r.Fill(RoundRect(-2.f, 100.f, 752.f, 101.f, 0.f), Rgb(0x2A3580));
    Sdf line = RoundRect(0.f, 0.f, 750.f, 2.f, 0.f);
    r.Fill(line, Linear(0.f, 0.f, 750.f, 0.f,
                        {{0.f, Rgb(tone::kCyan, 0.2f)},
                         {0.3f, Rgb(tone::kCyan)},
                         {0.7f, Rgb(tone::kViolet)},
                         {1.f, Rgb(tone::kViolet, 0.2f)}}));
    r.Glow(line, Rgb(tone::kViolet), 4.f, 0.4f);
}

Raster PanelEmpty()
{
    Raster r(750, 131, Rgb(tone::kNavy));
    PanelBase(r);
    // A moon over the hills and a large faint emblem.
    r.Glow(Circle(612.f, 30.f, 14.f), Rgb(0xBFD4FF), 12.f, 0.5f);
    r.Fill(Circle(612.f, 30.f, 14.f),
           Radial(606.f, 24.f, 20.f, {{0.f, Rgb(0xFFFFFF)}, {1.f, Rgb(0xB9C8F5)}}));
    r.Fill(Circle(618.f, 26.f, 12.f), Rgb(0x9FB2EA), 0.35f);
    DrawEmblem(r, 351.f, 22.f, 48.f, 0.5f);
    return r;
}

Raster PanelBanner()
{
    Raster r(750, 131, Rgb(tone::kNavy));
    PanelBase(r);
    // The "featured" badge on the left: a glowing star.
    Sdf star = Star(90.f, 50.f, 30.f, 13.f);
    r.Glow(star, Rgb(tone::kAmber), 10.f, 0.7f);
    r.Fill(Grow(star, 1.f),
           Radial(84.f, 40.f, 36.f,
                  {{0.f, Rgb(0xFFF3C4)}, {0.5f, Rgb(tone::kAmber)}, {1.f, Rgb(tone::kOrange)}}));
    r.Fill(Outline(star, 1.2f), Rgb(0xFFFFFF), 0.6f);
    // The card with the banner picture (at 192, 8), the name and the brief (from 290) and the
    // Download button (551, 33 to 706, 76).
    DrawCard(r, 180.f, 4.f, 722.f, 97.f, 12.f);
    r.Fill(RoundRect(187.f, 5.f, 286.f, 96.f, 8.f),
           Vertical(5.f, 96.f, {{0.f, Rgb(0xC9D1EE)}, {1.f, Rgb(0xB6C0E4)}}));
    r.Fill(IconGamepad(236.5f, 50.f, 22.f), Rgb(0x8C98C6));
    return r;
}

// --- Rows of the games list ---

enum class RowKind
{
    Installed,
    Loading,
    Error,
    NoThumb,
};

Raster Row(RowKind kind)
{
    Raster r(670, 88);
    uint32_t nTop = tone::kCard, nBottom = tone::kCardShade, nAccent = 0x3B82F6;
    switch (kind) {
    case RowKind::Installed:
        nAccent = 0x10B981;
        break;
    case RowKind::Loading:
        break;
    case RowKind::Error:
        nTop = 0xFFF1F2;
        nBottom = 0xF6DCE0;
        nAccent = tone::kRed;
        break;
    case RowKind::NoThumb:
        nAccent = 0x94A3B8;
        break;
    }
    Sdf card = RoundRect(0.5f, 0.5f, 669.5f, 87.5f, 12.f);
    r.Fill(card, Vertical(0.f, 88.f, {{0.f, Rgb(nTop)}, {1.f, Rgb(nBottom)}}));
    r.Fill(card, Radial(60.f, 0.f, 420.f, {{0.f, Rgb(0xFFFFFF, 0.55f)}, {1.f, Rgb(0xFFFFFF, 0.f)}}));
    r.Fill(Intersect(card, RoundRect(0.f, 0.f, 6.f, 88.f, 0.f)),
           Vertical(0.f, 88.f, {{0.f, Lighten(Rgb(nAccent), 0.25f)}, {1.f, Rgb(nAccent)}}));
    r.Fill(Outline(Grow(card, -0.5f), 1.f), Rgb(tone::kCardEdge));
    r.Fill(Intersect(Outline(Grow(card, -1.5f), 1.f), RoundRect(0.f, 0.f, 670.f, 12.f, 0.f)), Rgb(0xFFFFFF),
           0.9f);
    // The thumbnail's place (the picture is copied at 17, 5).
    Sdf slot = RoundRect(13.f, 3.f, 111.f, 85.f, 8.f);
    r.Fill(slot, Vertical(3.f, 85.f, {{0.f, Rgb(0xC6CEEC)}, {1.f, Rgb(0xB3BDE2)}}));
    r.Fill(Outline(Grow(slot, -0.5f), 1.f), Rgb(0x9AA6D6));
    if (kind == RowKind::NoThumb)
        r.Fill(IconGamepad(62.f, 46.f, 24.f), Rgb(0x8591C2));
    // The divider before the remove button.
    r.Fill(
        RoundRect(598.f, 16.f, 599.f, 72.f, 0.f),
        Vertical(16.f, 72.f, {{0.f, Rgb(0xB8C2E6, 0.f)}, {0.5f, Rgb(0xB8C2E6)}, {1.f, Rgb(0xB8C2E6, 0.f)}}));
    if (kind == RowKind::Installed) {
        // A soft pill behind the play button and its caption.
        Sdf pill = RoundRect(457.f, 27.f, 572.f, 62.f, 17.5f);
        r.Fill(pill, Vertical(27.f, 62.f, {{0.f, Rgb(0xC8F3DF)}, {1.f, Rgb(0x9FE0C3)}}));
        r.Fill(Outline(Grow(pill, -0.5f), 1.f), Rgb(0x7FD3B1));
    }
    if (kind == RowKind::Error) {
        // A warning mark beside the error text.
        Sdf warn = Grow(Polygon({{345.f, 33.f}, {356.f, 53.f}, {334.f, 53.f}}), 1.5f);
        r.Fill(warn, Rgb(tone::kRed));
        r.Fill(Union(Capsule(345.f, 39.f, 345.f, 46.f, 1.1f), Circle(345.f, 50.f, 1.2f)), Rgb(0xFFFFFF));
    }
    return r;
}

Raster ProgressFrame()
{
    Raster r(155, 43);
    Sdf pill = RoundRect(0.5f, 0.5f, 154.5f, 42.5f, 21.f);
    r.Fill(pill, Vertical(0.f, 43.f, {{0.f, Rgb(0x222B5E)}, {1.f, Rgb(0x111740)}}));
    r.Fill(Outline(Grow(pill, -0.5f), 1.f), Rgb(0x0A0E26));
    r.Fill(Intersect(Outline(Grow(pill, -1.5f), 1.f), RoundRect(0.f, 0.f, 155.f, 14.f, 0.f)), Rgb(0x6E7BD6),
           0.7f);
    // The indicator's well (indicator at 5, 6) and the bar's trough (bar at 40, 9, 74 x 24).
    r.Fill(Circle(20.f, 21.f, 17.f), Vertical(4.f, 38.f, {{0.f, Rgb(0x0B1030)}, {1.f, Rgb(0x1A2152)}}));
    Sdf trough = RoundRect(37.5f, 6.5f, 116.5f, 35.5f, 5.f);
    r.Fill(trough, Vertical(6.f, 36.f, {{0.f, Rgb(0x05081A)}, {1.f, Rgb(0x151B46)}}));
    r.Fill(Outline(Grow(trough, -0.5f), 1.f), Rgb(0x3A4596), 0.7f);
    return r;
}

// --- Small dialogs ---

// The body of the update and removal dialogs: a dark header with the emblem and the close box
// (at 290, 10), a light body for the texts and a footer for the buttons (at y 180).
Raster DialogBody()
{
    Raster r(320, 230);
    Sdf body = RoundRect(0.f, 0.f, 320.f, 230.f, 16.f);
    r.Fill(body, Vertical(36.f, 230.f, {{0.f, Rgb(0xF6F8FF)}, {1.f, Rgb(0xDDE3F6)}}));
    r.Fill(body, Radial(160.f, 36.f, 200.f, {{0.f, Rgb(0xFFFFFF, 0.6f)}, {1.f, Rgb(0xFFFFFF, 0.f)}}));
    Sdf header = Intersect(body, RoundRect(-1.f, -1.f, 321.f, 36.f, 0.f));
    r.Fill(header, Vertical(0.f, 36.f, {{0.f, Rgb(0x222B62)}, {1.f, Rgb(0x141A45)}}));
    r.Fill(header,
           Radial(40.f, 0.f, 160.f, {{0.f, Rgb(tone::kViolet, 0.3f)}, {1.f, Rgb(tone::kViolet, 0.f)}}));
    Sdf line = RoundRect(0.f, 35.f, 320.f, 37.f, 0.f);
    r.Fill(line, Linear(0.f, 0.f, 320.f, 0.f, {{0.f, Rgb(tone::kViolet)}, {1.f, Rgb(tone::kCyan)}}));
    DrawEmblem(r, 10.f, 6.f, 24.f, 0.3f);
    platform::Font font = SkinFont(12, platform::kFontWeightBold, true);
    Mask word = Mask::FromText(320, 230, font, L"Brevanto", 40, 23, 1);
    r.FillMask(word, Solid(Rgb(0xE6EEFF)));
    Sdf footer = Intersect(body, RoundRect(-1.f, 168.f, 321.f, 231.f, 0.f));
    r.Fill(footer, Vertical(168.f, 230.f, {{0.f, Rgb(0xD8DFF4)}, {1.f, Rgb(0xC9D1EE)}}));
    r.Fill(RoundRect(16.f, 168.f, 304.f, 169.f, 0.f),
           Linear(16.f, 0.f, 304.f, 0.f,
                  {{0.f, Rgb(0xAAB5E0, 0.f)}, {0.5f, Rgb(0xAAB5E0)}, {1.f, Rgb(0xAAB5E0, 0.f)}}));
    r.Fill(Outline(Grow(body, -0.5f), 1.f), Rgb(0x0E1336));
    return r;
}

// --- Outlines and icon ---

Raster OutlineShape(int nWidth, int nHeight, float fRadius)
{
    Raster r(nWidth, nHeight);
    r.Fill(RoundRect(0.f, 0.f, static_cast<float>(nWidth), static_cast<float>(nHeight), fRadius),
           Rgb(tone::kNavy));
    return r;
}

Raster AppIcon()
{
    Raster r(64, 64);
    Sdf tile = RoundRect(2.f, 2.f, 62.f, 62.f, 14.f);
    r.Fill(tile, Linear(2.f, 2.f, 62.f, 62.f, {{0.f, Rgb(0x27307A)}, {1.f, Rgb(0x0B1030)}}));
    r.Fill(tile,
           Radial(20.f, 10.f, 50.f, {{0.f, Rgb(tone::kViolet, 0.45f)}, {1.f, Rgb(tone::kViolet, 0.f)}}));
    r.Fill(Outline(Grow(tile, -0.5f), 1.f), Rgb(0x5563C8), 0.8f);
    DrawEmblem(r, 10.f, 10.f, 44.f, 0.6f);
    return r;
}

Picture Gif(uint32_t nId, int w, int h, std::function<Raster(int)> draw, uint32_t nMatte = 0x141B42)
{
    Picture p;
    p.nId = nId;
    p.nWidth = w;
    p.nHeight = h;
    p.nMatte = nMatte;
    p.draw = std::move(draw);
    return p;
}

Picture Still(uint32_t nId, int w, int h, std::function<Raster()> draw, uint32_t nMatte = 0x141B42)
{
    return Gif(
        nId, w, h, [d = std::move(draw)](int) { return d(); }, nMatte);
}

Picture Bmp(uint32_t nId, int w, int h, std::function<Raster()> draw, uint32_t nMatte)
{
    Picture p = Still(nId, w, h, std::move(draw), nMatte);
    p.kind = Kind::Bitmap;
    return p;
}

} // namespace

std::vector<Picture> SkinPictures()
{
    constexpr uint32_t kOnCard = 0xE4E9F8; // the light rows and cards
    constexpr uint32_t kOnChrome = 0x1A2252;
    std::vector<Picture> arr;
    Picture icon = Still(128, 64, 64, AppIcon);
    icon.kind = Kind::Icon;
    arr.push_back(icon);
    Picture logo = Gif(134, 161, 61, Logo);
    logo.nFrames = kAnimationFrames;
    arr.push_back(logo);
    arr.push_back(Still(135, 748, 342, ListPage));
    arr.push_back(Still(
        136, 670, 88, [] { return Row(RowKind::Installed); }, 0x0F1538));
    arr.push_back(Still(
        137, 670, 88, [] { return Row(RowKind::Loading); }, 0x0F1538));
    arr.push_back(Still(138, 748, 76, Header));
    arr.push_back(Still(139, 750, 131, PanelEmpty));
    Picture outline = Still(140, 748, 547, [] { return OutlineShape(748, 547, 14.f); });
    outline.kind = Kind::Outline;
    outline.nOutlineBits = 4;
    arr.push_back(outline);
    arr.push_back(Still(
        141, 45, 25, [] { return CaptionButton(true, State::Normal); }, kOnChrome));
    arr.push_back(Still(
        142, 45, 25, [] { return CaptionButton(true, State::Hover); }, kOnChrome));
    arr.push_back(Still(
        143, 45, 25, [] { return CaptionButton(true, State::Pressed); }, kOnChrome));
    arr.push_back(Still(
        144, 45, 25, [] { return CaptionButton(false, State::Normal); }, kOnChrome));
    arr.push_back(Still(
        145, 45, 25, [] { return CaptionButton(false, State::Hover); }, kOnChrome));
    arr.push_back(Still(
        146, 45, 25, [] { return CaptionButton(false, State::Pressed); }, kOnChrome));
    arr.push_back(Still(
        147, 178, 37, [] { return TabFace(178, true, true); }, kOnChrome));
    arr.push_back(Still(148, 748, 342, DetailPage));
    arr.push_back(Still(
        151, 178, 37, [] { return TabFace(178, true, false); }, kOnChrome));
    arr.push_back(Still(
        152, 165, 37, [] { return TabFace(165, false, true); }, kOnChrome));
    arr.push_back(Still(
        153, 165, 37, [] { return TabFace(165, false, false); }, kOnChrome));
    arr.push_back(Bmp(
        155, 40, 40, [] { return RemoveFace(State::Normal); }, kOnCard));
    arr.push_back(Bmp(
        156, 40, 40, [] { return RemoveFace(State::Pressed); }, kOnCard));
    arr.push_back(Bmp(
        157, 40, 40, [] { return RemoveFace(State::Hover); }, kOnCard));
    arr.push_back(Still(158, 155, 43, ProgressFrame, kOnCard));
    Picture busy = Gif(159, 30, 30, Busy, 0x0E1434);
    busy.nFrames = kAnimationFrames;
    arr.push_back(busy);
    const State states[] = {State::Normal, State::Hover, State::Pressed};
    for (uint32_t i = 0; i < 3; ++i) {
        Picture face = Still(
            160 + i, 155, 43, [s = states[i]] { return DownloadFace(s); }, kOnCard);
        face.nKey = kKeyDownload;
        arr.push_back(face);
    }
    arr.push_back(Bmp(
        169, 33, 33, [] { return PlayFace(State::Normal); }, 0xCDEFE1));
    arr.push_back(Bmp(
        170, 33, 33, [] { return PlayFace(State::Hover); }, 0xCDEFE1));
    arr.push_back(Bmp(
        171, 33, 33, [] { return PlayFace(State::Pressed); }, 0xCDEFE1));
    arr.push_back(Still(
        172, 670, 88, [] { return Row(RowKind::Error); }, 0x0F1538));
    arr.push_back(Still(180, 15, 336, ScrollTrack, 0x0D1231));
    arr.push_back(Still(
        181, 16, 27, [] { return ScrollThumb(State::Normal); }, 0x0D1231));
    arr.push_back(Bmp(
        182, 16, 27, [] { return ScrollThumb(State::Pressed); }, 0x0D1231));
    arr.push_back(Bmp(
        183, 16, 27, [] { return ScrollThumb(State::Hover); }, 0x0D1231));
    Picture dialogOutline = Still(185, 320, 230, [] { return OutlineShape(320, 230, 16.f); });
    dialogOutline.kind = Kind::Outline;
    dialogOutline.nOutlineBits = 1;
    arr.push_back(dialogOutline);
    arr.push_back(Bmp(186, 320, 230, DialogBody, 0x0E1336));
    arr.push_back(Bmp(
        187, 62, 33, [] { return DialogButton(State::Normal); }, 0xD3DAF1));
    arr.push_back(Bmp(
        188, 62, 33, [] { return DialogButton(State::Hover); }, 0xD3DAF1));
    arr.push_back(Still(
        190, 23, 23, [] { return CloseBox(State::Normal); }, 0x1A2150));
    arr.push_back(Still(
        191, 23, 23, [] { return CloseBox(State::Hover); }, 0x1A2150));
    arr.push_back(Still(
        192, 23, 23, [] { return CloseBox(State::Pressed); }, 0x1A2150));
    arr.push_back(Bmp(
        198, 155, 43, [] { return ExitFace(State::Normal); }, kOnCard));
    arr.push_back(Bmp(
        199, 155, 43, [] { return ExitFace(State::Hover); }, kOnCard));
    arr.push_back(Bmp(
        200, 155, 43, [] { return ExitFace(State::Pressed); }, kOnCard));
    arr.push_back(Bmp(201, 33, 33, PauseFace, 0x1A2150));
    arr.push_back(Still(202, 750, 131, PanelBanner));
    arr.push_back(Still(
        203, 670, 88, [] { return Row(RowKind::NoThumb); }, 0x0F1538));
    return arr;
}

} // namespace skin
