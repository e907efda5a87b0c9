#pragma once

// The device context: draws on a Surface it does not own.
//
// Drawing coordinates are logical: the origin (a point on the surface) is added to them, the way
// a child window paints inside its parent's surface. Everything drawn is clipped to the clip
// rectangle, which is kept in surface (device) coordinates and never reaches outside the surface.
// The state that drawing reads (origin, clip, font, text colour, background mode and colour) can
// be saved and restored as a whole.
//
// Colours are COLORREF values (0x00BBGGRR). Fills, lines, copies and text write opaque pixels;
// DrawImage blends by the image's alpha.
//
// Thread rules: a Canvas, like its Surface, is used by one thread at a time. Canvases on different
// surfaces may draw on different threads at once; fonts are shared safely.

#include "platform/gdi/Font.h"
#include "platform/gdi/Geometry.h"
#include "platform/gdi/Surface.h"
#include "platform/gdi/TextLayout.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

class Image;

// DrawText formats, with the values callers know them by.
inline constexpr unsigned DT_TOP = 0x0;
inline constexpr unsigned DT_LEFT = 0x0;
inline constexpr unsigned DT_CENTER = 0x1;
inline constexpr unsigned DT_RIGHT = 0x2;
inline constexpr unsigned DT_VCENTER = 0x4; // with DT_SINGLELINE only
inline constexpr unsigned DT_BOTTOM = 0x8;  // with DT_SINGLELINE only
inline constexpr unsigned DT_WORDBREAK = 0x10;
inline constexpr unsigned DT_SINGLELINE = 0x20;
inline constexpr unsigned DT_NOCLIP = 0x100;
inline constexpr unsigned DT_CALCRECT = 0x400;
inline constexpr unsigned DT_NOPREFIX = 0x800;
inline constexpr unsigned DT_END_ELLIPSIS = 0x8000;

enum class BackgroundMode
{
    Transparent = 1, // text is drawn over what is there
    Opaque = 2,      // the text cell is filled with the background colour first
};

class Canvas
{
public:
    // Draws on surface, which must outlive the canvas. The clip starts as the whole surface.
    explicit Canvas(Surface& surface);
    virtual ~Canvas() = default;
    Canvas(Canvas&&) noexcept = default;
    Canvas& operator=(Canvas&&) noexcept = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Null for a canvas without a surface (a MemoryCanvas of a bad size); drawing then does nothing.
    Surface* GetSurface() { return m_pSurface; }
    const Surface* GetSurface() const { return m_pSurface; }

    // --- State ---

    Point GetOrigin() const { return m_state.ptOrigin; }
    void SetOrigin(Point ptDevice) { m_state.ptOrigin = ptDevice; }
    void OffsetOrigin(int dx, int dy);

    // The clip in device coordinates.
    Rect GetClipRect() const { return m_state.rcClip; }
    // Replaces the clip (device coordinates); it is cut to the surface.
    void SetClipRect(const Rect& rcDevice);
    // Narrows the clip to a rectangle in logical coordinates.
    void IntersectClipRect(const Rect& rc);
    // The clip in logical coordinates.
    Rect GetClipBox() const;

    // The selected font; the default GUI font until another is selected. Returns the previous one.
    const Font& GetFont() const;
    Font SelectFont(const Font& font);
    COLORREF GetTextColor() const { return m_state.nTextColor; }
    COLORREF SetTextColor(COLORREF nColor);
    BackgroundMode GetBkMode() const { return m_state.bkMode; }
    BackgroundMode SetBkMode(BackgroundMode mode);
    COLORREF GetBkColor() const { return m_state.nBkColor; }
    COLORREF SetBkColor(COLORREF nColor);

    // Pushes the state; returns how many states are saved now.
    int SaveState();
    // Pops the last saved state; false when none is saved.
    bool RestoreState();

    // Saves the state for one scope.
    class StateGuard
    {
    public:
        explicit StateGuard(Canvas& canvas) : m_canvas(canvas) { m_canvas.SaveState(); }
        ~StateGuard() { m_canvas.RestoreState(); }
        StateGuard(const StateGuard&) = delete;
        StateGuard& operator=(const StateGuard&) = delete;

    private:
        Canvas& m_canvas;
    };

    // --- Shapes and pixels (logical coordinates) ---

    // Empty or inverted rectangles draw nothing.
    void FillSolidRect(const Rect& rc, COLORREF nColor);
    // A 1-pixel outline just inside the rectangle.
    void FrameRect(const Rect& rc, COLORREF nColor);
    // An outline, and a fill of the inside when one is given.
    void Rectangle(const Rect& rc, COLORREF nBorder, std::optional<COLORREF> fill = std::nullopt);
    // A line from one point up to, but not including, the other.
    void DrawLine(Point ptFrom, Point ptTo, COLORREF nColor);
    // False when the point is outside the clip.
    bool SetPixel(int x, int y, COLORREF nColor);
    // kInvalidColor outside the clip.
    COLORREF GetPixel(int x, int y) const;

    // --- Copies ---

    // Copies w x h pixels from (sx, sy) of the source. A canvas source adds its own origin; only
    // pixels inside both surfaces and the clip are copied. The source may be this canvas's own
    // surface, overlapping or not. False for a negative size.
    bool BitBlt(int x, int y, int w, int h, const Canvas& source, int sx, int sy);
    bool BitBlt(int x, int y, int w, int h, const Surface& source, int sx, int sy);
    // Copies the source rectangle (sx, sy, sw, sh) into (x, y, w, h), stretching by nearest
    // neighbour, and skips every source pixel whose colour is nKey. False for a negative size.
    bool TransparentBlt(int x, int y, int w, int h, const Canvas& source, int sx, int sy, int sw, int sh,
                        COLORREF nKey);
    bool TransparentBlt(int x, int y, int w, int h, const Surface& source, int sx, int sy, int sw, int sh,
                        COLORREF nKey);
    // Draws an image with its top-left at (x, y), blending by its alpha (source over).
    void DrawImage(int x, int y, const Image& image);

    // --- Text ---

    TextMetrics GetTextMetrics() const { return GetFont().GetMetrics(); }
    // The advance of the text and the font's height. Null text measures as empty.
    Size GetTextExtent(std::wstring_view text) const;
    Size GetTextExtent(const wchar_t* pszText) const;
    // Draws one line with its cell's top-left at (x, y); no prefix or line break handling.
    void TextOut(int x, int y, std::wstring_view text);
    void TextOut(int x, int y, const wchar_t* pszText);
    // Lays text out in rc by nFormat (the DT_ flags) and draws it, or with DT_CALCRECT only
    // measures it and sets rc's right and bottom. Returns the text's height; with DT_VCENTER or
    // DT_BOTTOM the offset from rc.top to the bottom of the text. Empty text returns 0.
    int DrawText(std::wstring_view text, Rect& rc, unsigned nFormat);
    int DrawText(const wchar_t* pszText, Rect& rc, unsigned nFormat);

protected:
    // For MemoryCanvas, which owns its surface and attaches it once made.
    Canvas() = default;
    void Attach(Surface* pSurface);

private:
    struct State
    {
        Point ptOrigin;
        Rect rcClip;
        Font font;
        COLORREF nTextColor = 0x000000;
        BackgroundMode bkMode = BackgroundMode::Opaque;
        COLORREF nBkColor = 0xFFFFFF;
    };

    // The clip as a device rectangle limited to rc (logical); empty when nothing can be drawn.
    Rect ClipLogical(const Rect& rc) const;
    void FillDevice(const Rect& rcDevice, uint32_t nPixel);
    bool CopyFrom(int x, int y, int w, int h, const Surface& source, int64_t sx, int64_t sy);
    bool KeyedCopyFrom(int x, int y, int w, int h, const Surface& source, int64_t sx, int64_t sy, int sw,
                       int sh, COLORREF nKey);
    // Draws one line of glyphs with the top-left of its cell at (x, y) in device coordinates,
    // limited to rcClip (inside the surface). nUnderlined is the index of a character to
    // underline, or -1.
    void DrawGlyphRun(std::wstring_view text, int64_t x, int64_t y, const Rect& rcClip, int nUnderlined);
    void DrawGlyph(const Glyph& glyph, int64_t x, int64_t y, const Rect& rcClip, uint32_t nPixel);

    Surface* m_pSurface = nullptr;
    State m_state;
    std::vector<State> m_arrSaved;
    // Scratch space reused by every text call, so drawing text does not allocate.
    std::vector<const Glyph*> m_arrGlyphs;
    std::vector<int> m_arrColumns;
    TextLayout m_layout;
};

} // namespace platform
