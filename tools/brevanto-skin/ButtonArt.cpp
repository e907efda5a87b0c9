#include "ButtonArt.h"

#include "ArtKit.h"

namespace skin {

namespace {

struct Shade
{
    uint32_t nTop;
    uint32_t nBottom;
};

// A glossy face: the gradient, a gloss over the upper half (or a shadow inside when pressed),
// a lighter inner rim on hover and a dark border.
void Face(Raster& r, const Sdf& shape, float y0, float y1, Shade shade, State state)
{
    const float w = static_cast<float>(r.Width());
    const float fMid = y0 + (y1 - y0) * 0.5f;
    r.Fill(shape, Vertical(y0, y1, {{0.f, Rgb(shade.nTop)}, {1.f, Rgb(shade.nBottom)}}));
    if (state == State::Pressed) {
        Sdf top = Intersect(shape, RoundRect(-1.f, y0 - 1.f, w + 1.f, y0 + 5.f, 0.f));
        r.Fill(top, Vertical(y0, y0 + 5.f, {{0.f, Rgb(0x000000, 0.35f)}, {1.f, Rgb(0x000000, 0.f)}}));
    } else {
        Sdf gloss = Intersect(Grow(shape, -1.5f), RoundRect(-1.f, y0 - 1.f, w + 1.f, fMid, 0.f));
        r.Fill(gloss, Vertical(y0, fMid, {{0.f, Rgb(0xFFFFFF, 0.42f)}, {1.f, Rgb(0xFFFFFF, 0.06f)}}));
    }
    if (state == State::Hover)
        r.Fill(Outline(Grow(shape, -1.8f), 1.6f), Lighten(Rgb(shade.nTop), 0.45f), 0.7f);
    r.Fill(Outline(Grow(shape, -0.5f), 1.f), Darken(Rgb(shade.nBottom), 0.5f), 0.9f);
}

// The icon disc at the left of the wide buttons, with a white icon in it.
void IconDisc(Raster& r, float cx, float cy, float fRadius, const Sdf& icon, uint32_t nDisc, float fDy)
{
    Sdf disc = Circle(cx, cy + fDy, fRadius);
    r.Fill(disc, Vertical(cy - fRadius, cy + fRadius,
                          {{0.f, Darken(Rgb(nDisc), 0.1f)}, {1.f, Darken(Rgb(nDisc), 0.35f)}}));
    r.Fill(Outline(Grow(disc, -0.5f), 1.f), Rgb(0xFFFFFF), 0.3f);
    r.Shadow(icon, 0.f, 1.f, 1.5f, 0.4f);
    r.Fill(icon, Rgb(0xFFFFFF));
}

Shade AccentShade(State state)
{
    switch (state) {
    case State::Normal:
        return {0x8DEBFB, 0x2CB5E0};
    case State::Hover:
        return {0x5A55EC, 0x3A2FB8};
    case State::Pressed:
        return {0x352C9C, 0x231C6E};
    }
    return {};
}

} // namespace

Raster CaptionButton(bool bClose, State state)
{
    Raster r(45, 25);
    // One clear column on either side keeps neighbouring caption buttons apart.
    Sdf shape = RoundRect(1.f, -12.f, 44.f, 24.5f, 8.f);
    Shade shade{0x2A3470, 0x1D2455};
    if (state == State::Hover)
        shade = bClose ? Shade{0xF2636A, 0xC9262D} : Shade{0x5663CC, 0x3B46A2};
    else if (state == State::Pressed)
        shade = bClose ? Shade{0xA3161B, 0x7A0F13} : Shade{0x1A2150, 0x121738};
    Face(r, shape, 0.f, 25.f, shade, state);
    const float dy = state == State::Pressed ? 1.f : 0.f;
    Sdf icon = bClose ? IconCross(22.5f, 12.f + dy, 4.6f, 2.2f) : IconBar(22.5f, 16.f + dy, 5.5f, 2.4f);
    r.Shadow(icon, 0.f, 1.f, 1.f, 0.5f);
    r.Fill(icon, Rgb(state == State::Normal ? 0xDCE3FF : 0xFFFFFF));
    return r;
}

Raster TabFace(int nWidth, bool bAllGames, bool bActive)
{
    Raster r(nWidth, 37);
    // The face spans the 165 pixels the tab button shows; a wider picture keeps the rest clear.
    Sdf shape = RoundRect(1.5f, 2.5f, 163.5f, 48.f, 11.f);
    Shade shade = bActive ? Shade{0x86E2F8, 0x2499CF} : Shade{0x6B76DA, 0x4450B0};
    r.Shadow(shape, 0.f, -1.f, 2.f, 0.4f);
    Face(r, shape, 2.5f, 37.f, shade, bActive ? State::Normal : State::Pressed);
    // A glowing edge where the active tab meets the page.
    if (bActive)
        r.Fill(RoundRect(12.f, 34.f, 153.f, 37.f, 1.5f), Rgb(0xFFFFFF), 0.75f);
    const float cx = bAllGames ? 26.f : 52.f, cy = 17.5f;
    Sdf icon;
    if (bAllGames) {
        icon = Union(Union(RoundRect(cx - 7.f, cy - 7.f, cx - 1.f, cy - 1.f, 1.5f),
                           RoundRect(cx + 1.f, cy - 7.f, cx + 7.f, cy - 1.f, 1.5f)),
                     Union(RoundRect(cx - 7.f, cy + 1.f, cx - 1.f, cy + 7.f, 1.5f),
                           RoundRect(cx + 1.f, cy + 1.f, cx + 7.f, cy + 7.f, 1.5f)));
    } else {
        icon = IconGamepad(cx, cy + 1.f, 10.f);
    }
    r.Fill(icon, Rgb(bActive ? 0x0B3A5C : 0xE4E8FF), 0.9f);
    return r;
}

Raster DownloadFace(State state)
{
    Raster r(155, 43);
    Sdf shape = RoundRect(0.5f, 0.5f, 154.5f, 42.5f, 21.f);
    Shade shade{0xFFD86B, 0xF59E0B};
    if (state == State::Hover)
        shade = {0xF7772A, 0xC2410C};
    else if (state == State::Pressed)
        shade = {0xB23A0B, 0x862C07};
    Face(r, shape, 0.5f, 42.5f, shade, state);
    const float dy = state == State::Pressed ? 1.f : 0.f;
    IconDisc(r, 22.f, 21.5f, 15.f, IconDownload(22.f, 21.5f + dy, 7.5f),
             state == State::Normal ? 0xD97706 : 0x7C2D12, dy);
    return r;
}

Raster ExitFace(State state)
{
    Raster r(155, 43);
    Sdf shape = RoundRect(0.5f, 0.5f, 154.5f, 42.5f, 21.f);
    Face(r, shape, 0.5f, 42.5f, AccentShade(state), state);
    const float dy = state == State::Pressed ? 1.f : 0.f;
    IconDisc(r, 24.f, 21.5f, 15.f, IconExit(24.f, 21.5f + dy, 7.f),
             state == State::Normal ? 0x1183B5 : 0x1E1A5E, dy);
    return r;
}

Raster DialogButton(State state)
{
    Raster r(62, 33);
    Sdf shape = RoundRect(0.5f, 0.5f, 61.5f, 32.5f, 16.f);
    Face(r, shape, 0.5f, 32.5f, AccentShade(state), state);
    return r;
}

Raster CloseBox(State state)
{
    Raster r(23, 23);
    Sdf disc = Circle(11.5f, 11.5f, 11.f);
    Shade shade{0x2F3A7C, 0x1F275C};
    if (state == State::Hover)
        shade = {0xF2636A, 0xC9262D};
    else if (state == State::Pressed)
        shade = {0xA3161B, 0x7A0F13};
    Face(r, disc, 0.5f, 22.5f, shade, state);
    const float dy = state == State::Pressed ? 0.7f : 0.f;
    r.Fill(IconCross(11.5f, 11.5f + dy, 3.8f, 2.f), Rgb(0xFFFFFF));
    return r;
}

Raster PlayFace(State state)
{
    Raster r(33, 33);
    Sdf disc = Circle(16.5f, 16.5f, 16.f);
    Shade shade{0x4ADE9B, 0x0A9C6C};
    if (state == State::Hover)
        shade = {0x86F2C3, 0x12B981};
    else if (state == State::Pressed)
        shade = {0x0A7F58, 0x065239};
    Face(r, disc, 0.5f, 32.5f, shade, state);
    const float dy = state == State::Pressed ? 1.f : 0.f;
    Sdf play = IconPlay(17.5f, 16.5f + dy, 8.f);
    r.Shadow(play, 0.f, 1.f, 1.5f, 0.45f);
    r.Fill(play, Rgb(0xFFFFFF));
    return r;
}

Raster PauseFace()
{
    Raster r(33, 33);
    Sdf disc = Circle(16.5f, 16.5f, 16.f);
    Face(r, disc, 0.5f, 32.5f, {0x6FB4FF, 0x2563EB}, State::Normal);
    Sdf bars = IconPause(16.5f, 16.5f, 8.f);
    r.Shadow(bars, 0.f, 1.f, 1.5f, 0.45f);
    r.Fill(bars, Rgb(0xFFFFFF));
    return r;
}

Raster RemoveFace(State state)
{
    Raster r(40, 40);
    Sdf disc = Circle(20.f, 20.f, 18.5f);
    const float dy = state == State::Pressed ? 1.f : 0.f;
    if (state == State::Normal) {
        Face(r, disc, 1.5f, 38.5f, {0xF4F6FD, 0xD5DCF0}, state);
        r.Fill(IconTrash(20.f, 20.5f, 9.f), Rgb(tone::kSlate));
    } else {
        Shade shade = state == State::Hover ? Shade{0xF87171, 0xDC2626} : Shade{0xB91C1C, 0x7F1212};
        Face(r, disc, 1.5f, 38.5f, shade, state);
        Sdf trash = IconTrash(20.f, 20.5f + dy, 9.f);
        r.Shadow(trash, 0.f, 1.f, 1.5f, 0.4f);
        r.Fill(trash, Rgb(0xFFFFFF));
    }
    return r;
}

Raster ScrollThumb(State state)
{
    Raster r(16, 27);
    Sdf shape = RoundRect(2.f, 0.5f, 14.f, 26.5f, 6.f);
    Shade shade{0x7BE3F8, 0x2AA8D8};
    if (state == State::Hover)
        shade = {0xB2F3FF, 0x48C8EE};
    else if (state == State::Pressed)
        shade = {0x6C63F0, 0x4338CA};
    Face(r, shape, 0.5f, 26.5f, shade, state);
    // The grip: three short lines.
    for (int i = -1; i <= 1; ++i) {
        float y = 13.5f + static_cast<float>(i) * 4.f;
        r.Fill(Capsule(5.5f, y, 10.5f, y, 0.7f), Rgb(state == State::Pressed ? 0xFFFFFF : 0x0B3A5C), 0.75f);
    }
    return r;
}

Raster ScrollTrack()
{
    // The bar beside the grid is 301 pixels high; the trough ends inside that.
    Raster r(15, 336);
    Sdf trough = RoundRect(4.f, 2.f, 11.f, 299.f, 3.5f);
    r.Fill(trough, Linear(4.f, 0.f, 11.f, 0.f, {{0.f, Rgb(0x060919)}, {1.f, Rgb(0x141A40)}}));
    r.Fill(Outline(Grow(trough, -0.5f), 1.f), Rgb(0x2F3A7C), 0.8f);
    return r;
}

} // namespace skin
