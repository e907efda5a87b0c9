#include "platform/gdi/Canvas.h"

#include "platform/image/Image.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform {

namespace {

// Stretched copies work in 64-bit products of sizes; beyond this they could overflow.
constexpr int kMaxStretchSide = 1 << 24;

// Diagonal lines are stepped pixel by pixel; longer ones are not drawn.
constexpr int64_t kMaxDiagonalLength = 1 << 16;

int ClampInt(int64_t n)
{
    return static_cast<int>(std::clamp<int64_t>(n, INT_MIN, INT_MAX));
}

// A rectangle given in 64 bits (coordinates plus an origin can leave int) cut to rcClip; the
// zero rectangle when nothing is left.
Rect ClipWide(int64_t nLeft, int64_t nTop, int64_t nRight, int64_t nBottom, const Rect& rcClip)
{
    Rect rc{ClampInt(std::max<int64_t>(nLeft, rcClip.left)), ClampInt(std::max<int64_t>(nTop, rcClip.top)),
            ClampInt(std::min<int64_t>(nRight, rcClip.right)),
            ClampInt(std::min<int64_t>(nBottom, rcClip.bottom))};
    return rc.IsEmpty() ? Rect{} : rc;
}

// d + (s - d) * a / 255 on all four channels at once, rounded: two channels per 32-bit word,
// each product below 65536.
inline uint32_t Lerp(uint32_t d, uint32_t s, uint32_t a)
{
    const uint32_t na = 255 - a;
    uint32_t rb = (s & 0x00FF00FF) * a + (d & 0x00FF00FF) * na + 0x00800080;
    rb = ((rb + ((rb >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
    uint32_t ag = ((s >> 8) & 0x00FF00FF) * a + ((d >> 8) & 0x00FF00FF) * na + 0x00800080;
    ag = (ag + ((ag >> 8) & 0x00FF00FF)) & 0xFF00FF00;
    return rb | ag;
}

// Where a destination pixel samples a stretched source: the source pixel under its centre.
int64_t SampleOf(int64_t nDest, int nDestSize, int nSourceSize)
{
    return ((2 * nDest + 1) * nSourceSize) / (2 * static_cast<int64_t>(nDestSize));
}

} // namespace

Canvas::Canvas(Surface& surface)
{
    Attach(&surface);
}

void Canvas::Attach(Surface* pSurface)
{
    m_pSurface = pSurface;
    m_state.rcClip = pSurface != nullptr ? pSurface->GetBounds() : Rect{};
}

// --- State ---

void Canvas::OffsetOrigin(int dx, int dy)
{
    m_state.ptOrigin.x = ClampInt(static_cast<int64_t>(m_state.ptOrigin.x) + dx);
    m_state.ptOrigin.y = ClampInt(static_cast<int64_t>(m_state.ptOrigin.y) + dy);
}

void Canvas::SetClipRect(const Rect& rcDevice)
{
    m_state.rcClip = m_pSurface != nullptr ? Rect::Intersect(rcDevice, m_pSurface->GetBounds()) : Rect{};
}

void Canvas::IntersectClipRect(const Rect& rc)
{
    m_state.rcClip = ClipLogical(rc);
}

Rect Canvas::GetClipBox() const
{
    const Rect& rc = m_state.rcClip;
    const Point pt = m_state.ptOrigin;
    if (rc.IsEmpty())
        return {};
    return {ClampInt(static_cast<int64_t>(rc.left) - pt.x), ClampInt(static_cast<int64_t>(rc.top) - pt.y),
            ClampInt(static_cast<int64_t>(rc.right) - pt.x),
            ClampInt(static_cast<int64_t>(rc.bottom) - pt.y)};
}

Rect Canvas::ClipLogical(const Rect& rc) const
{
    const Point pt = m_state.ptOrigin;
    return ClipWide(static_cast<int64_t>(rc.left) + pt.x, static_cast<int64_t>(rc.top) + pt.y,
                    static_cast<int64_t>(rc.right) + pt.x, static_cast<int64_t>(rc.bottom) + pt.y,
                    m_state.rcClip);
}

const Font& Canvas::GetFont() const
{
    return m_state.font.IsNull() ? Font::GetDefault() : m_state.font;
}

Font Canvas::SelectFont(const Font& font)
{
    Font previous = GetFont();
    m_state.font = font;
    return previous;
}

COLORREF Canvas::SetTextColor(COLORREF nColor)
{
    return std::exchange(m_state.nTextColor, nColor);
}

BackgroundMode Canvas::SetBkMode(BackgroundMode mode)
{
    return std::exchange(m_state.bkMode, mode);
}

COLORREF Canvas::SetBkColor(COLORREF nColor)
{
    return std::exchange(m_state.nBkColor, nColor);
}

int Canvas::SaveState()
{
    m_arrSaved.push_back(m_state);
    return static_cast<int>(m_arrSaved.size());
}

bool Canvas::RestoreState()
{
    if (m_arrSaved.empty())
        return false;
    m_state = std::move(m_arrSaved.back());
    m_arrSaved.pop_back();
    return true;
}

// --- Shapes and pixels ---

void Canvas::FillDevice(const Rect& rcDevice, uint32_t nPixel)
{
    if (m_pSurface == nullptr || rcDevice.IsEmpty())
        return;
    const size_t nWidth = static_cast<size_t>(rcDevice.Width());
    for (int y = rcDevice.top; y < rcDevice.bottom; ++y)
        std::fill_n(m_pSurface->GetRow(y) + rcDevice.left, nWidth, nPixel);
}

void Canvas::FillSolidRect(const Rect& rc, COLORREF nColor)
{
    FillDevice(ClipLogical(rc), ColorToPixel(nColor));
}

void Canvas::FrameRect(const Rect& rc, COLORREF nColor)
{
    if (rc.IsEmpty())
        return;
    FillSolidRect({rc.left, rc.top, rc.right, rc.top + 1}, nColor);
    FillSolidRect({rc.left, rc.bottom - 1, rc.right, rc.bottom}, nColor);
    FillSolidRect({rc.left, rc.top + 1, rc.left + 1, rc.bottom - 1}, nColor);
    FillSolidRect({rc.right - 1, rc.top + 1, rc.right, rc.bottom - 1}, nColor);
}

void Canvas::Rectangle(const Rect& rc, COLORREF nBorder, std::optional<COLORREF> fill)
{
    if (rc.IsEmpty())
        return;
    FrameRect(rc, nBorder);
    if (fill)
        FillSolidRect({rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1}, *fill);
}

void Canvas::DrawLine(Point ptFrom, Point ptTo, COLORREF nColor)
{
    const uint32_t nPixel = ColorToPixel(nColor);
    const int64_t x0 = static_cast<int64_t>(ptFrom.x) + m_state.ptOrigin.x;
    const int64_t y0 = static_cast<int64_t>(ptFrom.y) + m_state.ptOrigin.y;
    const int64_t x1 = static_cast<int64_t>(ptTo.x) + m_state.ptOrigin.x;
    const int64_t y1 = static_cast<int64_t>(ptTo.y) + m_state.ptOrigin.y;
    if (y0 == y1) {
        FillDevice(ClipWide(x0 <= x1 ? x0 : x1 + 1, y0, x0 <= x1 ? x1 : x0 + 1, y0 + 1, m_state.rcClip),
                   nPixel);
        return;
    }
    if (x0 == x1) {
        FillDevice(ClipWide(x0, y0 <= y1 ? y0 : y1 + 1, x0 + 1, y0 <= y1 ? y1 : y0 + 1, m_state.rcClip),
                   nPixel);
        return;
    }
    const int64_t dx = std::abs(x1 - x0);
    const int64_t dy = -std::abs(y1 - y0);
    if (m_pSurface == nullptr || dx > kMaxDiagonalLength || -dy > kMaxDiagonalLength)
        return;
    const int64_t sx = x0 < x1 ? 1 : -1;
    const int64_t sy = y0 < y1 ? 1 : -1;
    const Rect& rcClip = m_state.rcClip;
    int64_t x = x0;
    int64_t y = y0;
    int64_t nError = dx + dy;
    while (x != x1 || y != y1) {
        if (x >= rcClip.left && x < rcClip.right && y >= rcClip.top && y < rcClip.bottom)
            m_pSurface->GetRow(static_cast<int>(y))[x] = nPixel;
        const int64_t nError2 = 2 * nError;
        if (nError2 >= dy) {
            nError += dy;
            x += sx;
        }
        if (nError2 <= dx) {
            nError += dx;
            y += sy;
        }
    }
}

bool Canvas::SetPixel(int x, int y, COLORREF nColor)
{
    const int64_t nx = static_cast<int64_t>(x) + m_state.ptOrigin.x;
    const int64_t ny = static_cast<int64_t>(y) + m_state.ptOrigin.y;
    const Rect& rc = m_state.rcClip;
    if (m_pSurface == nullptr || nx < rc.left || nx >= rc.right || ny < rc.top || ny >= rc.bottom)
        return false;
    m_pSurface->GetRow(static_cast<int>(ny))[nx] = ColorToPixel(nColor);
    return true;
}

COLORREF Canvas::GetPixel(int x, int y) const
{
    const int64_t nx = static_cast<int64_t>(x) + m_state.ptOrigin.x;
    const int64_t ny = static_cast<int64_t>(y) + m_state.ptOrigin.y;
    const Rect& rc = m_state.rcClip;
    if (m_pSurface == nullptr || nx < rc.left || nx >= rc.right || ny < rc.top || ny >= rc.bottom)
        return kInvalidColor;
    return PixelToColor(m_pSurface->GetRow(static_cast<int>(ny))[nx]);
}

// --- Copies ---

bool Canvas::BitBlt(int x, int y, int w, int h, const Canvas& source, int sx, int sy)
{
    if (source.m_pSurface == nullptr)
        return w >= 0 && h >= 0;
    return CopyFrom(x, y, w, h, *source.m_pSurface, static_cast<int64_t>(sx) + source.m_state.ptOrigin.x,
                    static_cast<int64_t>(sy) + source.m_state.ptOrigin.y);
}

bool Canvas::BitBlt(int x, int y, int w, int h, const Surface& source, int sx, int sy)
{
    return CopyFrom(x, y, w, h, source, sx, sy);
}

bool Canvas::CopyFrom(int x, int y, int w, int h, const Surface& source, int64_t sx, int64_t sy)
{
    if (w < 0 || h < 0)
        return false;
    if (m_pSurface == nullptr || source.IsNull())
        return true;
    const int64_t dx = static_cast<int64_t>(x) + m_state.ptOrigin.x;
    const int64_t dy = static_cast<int64_t>(y) + m_state.ptOrigin.y;
    // A device pixel (px, py) takes the source pixel (px + nShiftX, py + nShiftY).
    const int64_t nShiftX = sx - dx;
    const int64_t nShiftY = sy - dy;
    Rect rc = ClipWide(dx, dy, dx + w, dy + h, m_state.rcClip);
    rc = ClipWide(-nShiftX, -nShiftY, source.GetWidth() - nShiftX, source.GetHeight() - nShiftY, rc);
    if (rc.IsEmpty())
        return true;
    const size_t nBytes = static_cast<size_t>(rc.Width()) * sizeof(uint32_t);
    const int nSourceLeft = static_cast<int>(rc.left + nShiftX);
    if (&source != m_pSurface) {
        for (int py = rc.top; py < rc.bottom; ++py)
            std::memcpy(m_pSurface->GetRow(py) + rc.left,
                        source.GetRow(static_cast<int>(py + nShiftY)) + nSourceLeft, nBytes);
        return true;
    }
    // Within one surface the rows are taken in the order that reads each before it is overwritten.
    const bool bUpwards = nShiftY < 0;
    for (int i = 0; i < rc.Height(); ++i) {
        const int py = bUpwards ? rc.bottom - 1 - i : rc.top + i;
        std::memmove(m_pSurface->GetRow(py) + rc.left,
                     source.GetRow(static_cast<int>(py + nShiftY)) + nSourceLeft, nBytes);
    }
    return true;
}

bool Canvas::TransparentBlt(int x, int y, int w, int h, const Canvas& source, int sx, int sy, int sw, int sh,
                            COLORREF nKey)
{
    if (source.m_pSurface == nullptr)
        return w >= 0 && h >= 0 && sw >= 0 && sh >= 0;
    return KeyedCopyFrom(x, y, w, h, *source.m_pSurface, static_cast<int64_t>(sx) + source.m_state.ptOrigin.x,
                         static_cast<int64_t>(sy) + source.m_state.ptOrigin.y, sw, sh, nKey);
}

bool Canvas::TransparentBlt(int x, int y, int w, int h, const Surface& source, int sx, int sy, int sw, int sh,
                            COLORREF nKey)
{
    return KeyedCopyFrom(x, y, w, h, source, sx, sy, sw, sh, nKey);
}

bool Canvas::KeyedCopyFrom(int x, int y, int w, int h, const Surface& source, int64_t sx, int64_t sy, int sw,
                           int sh, COLORREF nKey)
{
    if (w < 0 || h < 0 || sw < 0 || sh < 0)
        return false;
    if (m_pSurface == nullptr || source.IsNull() || w == 0 || h == 0 || sw == 0 || sh == 0)
        return true;
    const uint32_t nKeyRgb = ColorToPixel(nKey) & 0x00FFFFFF;
    const int64_t dx = static_cast<int64_t>(x) + m_state.ptOrigin.x;
    const int64_t dy = static_cast<int64_t>(y) + m_state.ptOrigin.y;
    Rect rc = ClipWide(dx, dy, dx + w, dy + h, m_state.rcClip);

    if (w == sw && h == sh) {
        const int64_t nShiftX = sx - dx;
        const int64_t nShiftY = sy - dy;
        rc = ClipWide(-nShiftX, -nShiftY, source.GetWidth() - nShiftX, source.GetHeight() - nShiftY, rc);
        const int nWidth = rc.Width();
        for (int py = rc.top; py < rc.bottom; ++py) {
            const uint32_t* pSource = source.GetRow(static_cast<int>(py + nShiftY)) + (rc.left + nShiftX);
            uint32_t* pDest = m_pSurface->GetRow(py) + rc.left;
            for (int i = 0; i < nWidth; ++i) {
                const uint32_t nPixel = pSource[i];
                if ((nPixel & 0x00FFFFFF) != nKeyRgb)
                    pDest[i] = nPixel;
            }
        }
        return true;
    }

    if (w > kMaxStretchSide || h > kMaxStretchSide || sw > kMaxStretchSide || sh > kMaxStretchSide)
        return false;
    if (rc.IsEmpty())
        return true;
    // The source column of every destination column, or -1 where it falls outside the source.
    m_arrColumns.resize(static_cast<size_t>(rc.Width()));
    for (int px = rc.left; px < rc.right; ++px) {
        const int64_t nColumn = sx + SampleOf(px - dx, w, sw);
        m_arrColumns[static_cast<size_t>(px - rc.left)] =
            nColumn >= 0 && nColumn < source.GetWidth() ? static_cast<int>(nColumn) : -1;
    }
    for (int py = rc.top; py < rc.bottom; ++py) {
        const int64_t nRow = sy + SampleOf(py - dy, h, sh);
        if (nRow < 0 || nRow >= source.GetHeight())
            continue;
        const uint32_t* pSource = source.GetRow(static_cast<int>(nRow));
        uint32_t* pDest = m_pSurface->GetRow(py) + rc.left;
        for (size_t i = 0; i < m_arrColumns.size(); ++i) {
            if (m_arrColumns[i] < 0)
                continue;
            const uint32_t nPixel = pSource[m_arrColumns[i]];
            if ((nPixel & 0x00FFFFFF) != nKeyRgb)
                pDest[i] = nPixel;
        }
    }
    return true;
}

void Canvas::DrawImage(int x, int y, const Image& image)
{
    if (m_pSurface == nullptr || image.IsNull())
        return;
    const int64_t dx = static_cast<int64_t>(x) + m_state.ptOrigin.x;
    const int64_t dy = static_cast<int64_t>(y) + m_state.ptOrigin.y;
    const Rect rc = ClipWide(dx, dy, dx + image.GetWidth(), dy + image.GetHeight(), m_state.rcClip);
    const uint32_t* pPixels = image.GetPixels().data();
    for (int py = rc.top; py < rc.bottom; ++py) {
        const uint32_t* pSource = pPixels +
                                  static_cast<size_t>(py - dy) * static_cast<size_t>(image.GetWidth()) +
                                  static_cast<size_t>(rc.left - dx);
        uint32_t* pDest = m_pSurface->GetRow(py) + rc.left;
        for (int i = 0; i < rc.Width(); ++i) {
            const uint32_t nPixel = pSource[i];
            const uint32_t nAlpha = nPixel >> 24;
            if (nAlpha == 255)
                pDest[i] = nPixel;
            else if (nAlpha != 0)
                pDest[i] = Lerp(pDest[i], nPixel | 0xFF000000, nAlpha);
        }
    }
}

// --- Text ---

Size Canvas::GetTextExtent(std::wstring_view text) const
{
    const Font& font = GetFont();
    return {font.GetTextWidth(text), font.GetMetrics().nHeight};
}

Size Canvas::GetTextExtent(const wchar_t* pszText) const
{
    return GetTextExtent(pszText != nullptr ? std::wstring_view(pszText) : std::wstring_view());
}

void Canvas::TextOut(int x, int y, std::wstring_view text)
{
    if (m_pSurface == nullptr || text.empty())
        return;
    DrawGlyphRun(text, static_cast<int64_t>(x) + m_state.ptOrigin.x,
                 static_cast<int64_t>(y) + m_state.ptOrigin.y, m_state.rcClip, -1);
}

void Canvas::TextOut(int x, int y, const wchar_t* pszText)
{
    TextOut(x, y, pszText != nullptr ? std::wstring_view(pszText) : std::wstring_view());
}

int Canvas::DrawText(const wchar_t* pszText, Rect& rc, unsigned nFormat)
{
    return DrawText(pszText != nullptr ? std::wstring_view(pszText) : std::wstring_view(), rc, nFormat);
}

int Canvas::DrawText(std::wstring_view text, Rect& rc, unsigned nFormat)
{
    if (text.empty()) {
        if ((nFormat & DT_CALCRECT) != 0) {
            rc.right = rc.left;
            rc.bottom = rc.top;
        }
        return 0;
    }
    const Font& font = GetFont();
    const int nLineHeight = font.GetMetrics().nHeight;
    m_layout.Build(font, text, nFormat, ClampInt(static_cast<int64_t>(rc.right) - rc.left));
    const std::vector<TextLayout::Line>& arrLines = m_layout.GetLines();
    const int64_t nHeight = static_cast<int64_t>(arrLines.size()) * nLineHeight;
    if ((nFormat & DT_CALCRECT) != 0) {
        rc.right = ClampInt(static_cast<int64_t>(rc.left) + m_layout.GetWidth());
        rc.bottom = ClampInt(rc.top + nHeight);
        return ClampInt(nHeight);
    }

    const bool bSingleLine = (nFormat & DT_SINGLELINE) != 0;
    int64_t y = rc.top;
    if (bSingleLine && (nFormat & DT_VCENTER) != 0)
        y = (static_cast<int64_t>(rc.top) + rc.bottom - nHeight) >> 1;
    else if (bSingleLine && (nFormat & DT_BOTTOM) != 0)
        y = rc.bottom - nHeight;
    const int nResult = bSingleLine && (nFormat & (DT_VCENTER | DT_BOTTOM)) != 0
                            ? ClampInt(y - rc.top + nHeight)
                            : ClampInt(nHeight);
    if (m_pSurface == nullptr)
        return nResult;

    const Rect rcClip = (nFormat & DT_NOCLIP) != 0 ? m_state.rcClip : ClipLogical(rc);
    const std::wstring& strText = m_layout.GetText();
    for (const TextLayout::Line& line : arrLines) {
        int64_t x = rc.left;
        if ((nFormat & DT_CENTER) != 0)
            x = (static_cast<int64_t>(rc.left) + rc.right - line.nWidth) >> 1;
        else if ((nFormat & DT_RIGHT) != 0)
            x = static_cast<int64_t>(rc.right) - line.nWidth;
        const int64_t yDevice = y + m_state.ptOrigin.y;
        if (yDevice < rcClip.bottom && yDevice + nLineHeight > rcClip.top) {
            DrawGlyphRun(std::wstring_view(strText).substr(line.nBegin, line.nEnd - line.nBegin),
                         x + m_state.ptOrigin.x, yDevice, rcClip, line.nUnderlined);
        }
        y += nLineHeight;
    }
    return nResult;
}

void Canvas::DrawGlyphRun(std::wstring_view text, int64_t x, int64_t y, const Rect& rcClip, int nUnderlined)
{
    const Font& font = GetFont();
    if (font.IsNull() || rcClip.IsEmpty())
        return;
    font.GetGlyphs(text, m_arrGlyphs);
    const TextMetrics& metrics = font.GetMetrics();
    int64_t nWidth = 0;
    for (const Glyph* pGlyph : m_arrGlyphs)
        nWidth += pGlyph->nAdvance;
    if (m_state.bkMode == BackgroundMode::Opaque)
        FillDevice(ClipWide(x, y, x + nWidth, y + metrics.nHeight, rcClip), ColorToPixel(m_state.nBkColor));

    const uint32_t nPixel = ColorToPixel(m_state.nTextColor);
    const int64_t nBaseline = y + metrics.nAscent;
    const int64_t nUnderlineTop = nBaseline + font.GetUnderlineOffset();
    const int64_t nUnderlineBottom = nUnderlineTop + font.GetUnderlineThickness();
    int64_t nPen = x;
    for (size_t i = 0; i < m_arrGlyphs.size(); ++i) {
        const Glyph& glyph = *m_arrGlyphs[i];
        DrawGlyph(glyph, nPen + glyph.nLeft, nBaseline - glyph.nTop, rcClip, nPixel);
        if (static_cast<int>(i) == nUnderlined)
            FillDevice(ClipWide(nPen, nUnderlineTop, nPen + glyph.nAdvance, nUnderlineBottom, rcClip),
                       nPixel);
        nPen += glyph.nAdvance;
    }
    if (metrics.bUnderlined)
        FillDevice(ClipWide(x, nUnderlineTop, nPen, nUnderlineBottom, rcClip), nPixel);
}

void Canvas::DrawGlyph(const Glyph& glyph, int64_t x, int64_t y, const Rect& rcClip, uint32_t nPixel)
{
    if (glyph.nWidth == 0 || glyph.nHeight == 0)
        return;
    const Rect rc = ClipWide(x, y, x + glyph.nWidth, y + glyph.nHeight, rcClip);
    for (int py = rc.top; py < rc.bottom; ++py) {
        const uint8_t* pCoverage = glyph.arrCoverage.data() + static_cast<size_t>(py - y) * glyph.nWidth +
                                   static_cast<size_t>(rc.left - x);
        uint32_t* pDest = m_pSurface->GetRow(py) + rc.left;
        for (int i = 0; i < rc.Width(); ++i) {
            const uint32_t nCoverage = pCoverage[i];
            if (nCoverage == 255)
                pDest[i] = nPixel;
            else if (nCoverage != 0)
                pDest[i] = Lerp(pDest[i], nPixel, nCoverage);
        }
    }
}

} // namespace platform
