#include "platform/window/StockControls.h"

#include "platform/gdi/Canvas.h"
#include "platform/image/Image.h"
#include "platform/text/Text.h"

#include <algorithm>

namespace platform {

namespace {

constexpr COLORREF kFace = 0xE1E1E1;
constexpr COLORREF kFacePressed = 0xF7E4CC;
constexpr COLORREF kBorder = 0xADADAD;
constexpr COLORREF kBorderDefault = 0xD77800;
constexpr COLORREF kGrayText = 0x6D6D6D;
constexpr COLORREF kHighlight = 0xD77800;
constexpr COLORREF kHighlightText = 0xFFFFFF;
constexpr uintptr_t kCaretTimer = 1;
constexpr uint32_t kCaretBlink = 530;

} // namespace

bool EqualsClass(std::wstring_view a, std::wstring_view b)
{
    return EqualsNoCase(a, b);
}

void StaticControl::SetIcon(const Image* pIcon)
{
    m_pIcon = pIcon;
    Invalidate();
}

void StaticControl::OnDefaultPaint(Canvas& dc)
{
    uint32_t nStyle = GetStyle();
    if ((nStyle & 0xF) == SS_ICON) {
        if (m_pIcon)
            dc.DrawImage(0, 0, *m_pIcon);
        return;
    }
    unsigned nFormat = DT_WORDBREAK;
    if ((nStyle & 0x3) == SS_CENTER)
        nFormat |= DT_CENTER;
    else if ((nStyle & 0x3) == SS_RIGHT)
        nFormat |= DT_RIGHT;
    if (nStyle & SS_NOPREFIX)
        nFormat |= DT_NOPREFIX;
    dc.SetBkMode(BackgroundMode::Transparent);
    dc.SetTextColor(IsWindowEnabled() ? 0x000000 : kGrayText);
    Rect rc = GetClientRect();
    dc.DrawText(GetWindowText(), rc, nFormat);
}

const MessageMap& PushButton::GetMessageMap() const
{
    static const MessageMap map(&Window::GetMessageMap(),
                                {
                                    OnMouse(WM_LBUTTONDOWN, &PushButton::OnLButtonDown),
                                    OnMouse(WM_LBUTTONDBLCLK, &PushButton::OnLButtonDown),
                                    OnMouse(WM_LBUTTONUP, &PushButton::OnLButtonUp),
                                    OnMouse(WM_MOUSEMOVE, &PushButton::OnMouseMove),
                                    OnMessage(WM_KEYDOWN, &PushButton::OnKeyDown),
                                });
    return map;
}

void PushButton::OnLButtonDown(UINT, Point)
{
    m_bPressed = true;
    m_bInside = true;
    SetCapture();
    Invalidate();
}

void PushButton::OnMouseMove(UINT, Point pt)
{
    bool bInside = GetClientRect().Contains(pt);
    if (m_bPressed && bInside != m_bInside) {
        m_bInside = bInside;
        Invalidate();
    }
}

void PushButton::OnLButtonUp(UINT, Point pt)
{
    if (!m_bPressed)
        return;
    m_bPressed = false;
    ReleaseCapture();
    Invalidate();
    if (GetClientRect().Contains(pt))
        Click();
}

LRESULT PushButton::OnKeyDown(WPARAM wParam, LPARAM lParam)
{
    if (wParam == ' ' || (wParam == VK_RETURN && (GetStyle() & BS_DEFPUSHBUTTON) == 0)) {
        Click();
        return 0;
    }
    return GetParent() ? GetParent()->SendMessage(WM_KEYDOWN, wParam, lParam) : 0;
}

void PushButton::Click()
{
    if (Window* pParent = GetParent())
        pParent->SendMessage(WM_COMMAND, MakeWParam(GetDlgCtrlID(), BN_CLICKED),
                             static_cast<LPARAM>(GetSafeHwnd()));
}

void PushButton::OnDefaultPaint(Canvas& dc)
{
    Rect rc = GetClientRect();
    dc.FillSolidRect(rc, IsPressed() ? kFacePressed : kFace);
    bool bDefault = (GetStyle() & BS_DEFPUSHBUTTON) != 0 || GetFocus() == this;
    dc.FrameRect(rc, bDefault ? kBorderDefault : kBorder);
    dc.SetBkMode(BackgroundMode::Transparent);
    dc.SetTextColor(IsWindowEnabled() ? 0x000000 : kGrayText);
    if (IsPressed())
        rc.Offset(1, 1);
    dc.DrawText(GetWindowText(), rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

const MessageMap& EditControl::GetMessageMap() const
{
    static const MessageMap map(&Window::GetMessageMap(),
                                {
                                    OnMouse(WM_LBUTTONDOWN, &EditControl::OnLButtonDown),
                                    OnMouse(WM_MOUSEMOVE, &EditControl::OnMouseMove),
                                    OnMouse(WM_LBUTTONUP, &EditControl::OnLButtonUp),
                                    OnMessage(WM_KEYDOWN, &EditControl::OnKeyDown),
                                    OnMessage(WM_CHAR, &EditControl::OnChar),
                                    platform::OnTimer(&EditControl::OnTimer),
                                    OnSignal(WM_SETFOCUS, &EditControl::OnSetFocus),
                                    OnSignal(WM_KILLFOCUS, &EditControl::OnKillFocus),
                                });
    return map;
}

const Font& EditControl::CurrentFont() const
{
    static const Font fallback = Font::GetDefault();
    return GetFont() ? *GetFont() : fallback;
}

std::pair<size_t, size_t> EditControl::GetSel() const
{
    return {std::min(m_nAnchor, m_nCaret), std::max(m_nAnchor, m_nCaret)};
}

void EditControl::SetSel(size_t nStart, size_t nEnd)
{
    size_t nLength = GetWindowText().size();
    m_nAnchor = std::min(nStart, nLength);
    m_nCaret = std::min(nEnd, nLength);
    Invalidate();
}

void EditControl::MoveCaret(size_t nPos, bool bExtend)
{
    m_nCaret = std::min(nPos, GetWindowText().size());
    if (!bExtend)
        m_nAnchor = m_nCaret;
    m_bCaretOn = true;
    Invalidate();
}

void EditControl::ReplaceSelection(std::wstring_view text)
{
    auto [nStart, nEnd] = GetSel();
    std::wstring strText = GetWindowText();
    size_t nRoom = m_nLimit - std::min(m_nLimit, strText.size() - (nEnd - nStart));
    text = text.substr(0, nRoom);
    strText.replace(nStart, nEnd - nStart, text);
    SetWindowText(strText);
    MoveCaret(nStart + text.size(), false);
}

size_t EditControl::HitTestText(int x) const
{
    const std::wstring& strText = GetWindowText();
    int nTarget = x - 2 + m_nScroll;
    for (size_t i = 0; i < strText.size(); ++i) {
        int nLeft = CurrentFont().GetTextWidth(std::wstring_view(strText).substr(0, i));
        int nRight = CurrentFont().GetTextWidth(std::wstring_view(strText).substr(0, i + 1));
        if (nTarget < (nLeft + nRight) / 2)
            return i;
    }
    return strText.size();
}

void EditControl::OnLButtonDown(UINT nFlags, Point pt)
{
    SetFocus();
    MoveCaret(HitTestText(pt.x), (nFlags & MK_SHIFT) != 0);
    m_bSelecting = true;
    SetCapture();
}

void EditControl::OnMouseMove(UINT, Point pt)
{
    if (m_bSelecting)
        MoveCaret(HitTestText(pt.x), true);
}

void EditControl::OnLButtonUp(UINT, Point)
{
    if (m_bSelecting) {
        m_bSelecting = false;
        ReleaseCapture();
    }
}

LRESULT EditControl::OnKeyDown(WPARAM wParam, LPARAM lParam)
{
    bool bShift = false; // the display reports modifiers with the mouse only; Shift+arrows extend later
    size_t nLength = GetWindowText().size();
    switch (wParam) {
    case VK_LEFT:
        MoveCaret(m_nCaret > 0 ? m_nCaret - 1 : 0, bShift);
        return 0;
    case VK_RIGHT:
        MoveCaret(m_nCaret + 1, bShift);
        return 0;
    case VK_HOME:
        MoveCaret(0, bShift);
        return 0;
    case VK_END:
        MoveCaret(nLength, bShift);
        return 0;
    case VK_BACK:
        if (m_nAnchor == m_nCaret && m_nCaret > 0)
            m_nAnchor = m_nCaret - 1;
        ReplaceSelection(L"");
        return 0;
    case VK_DELETE:
        if (m_nAnchor == m_nCaret && m_nCaret < nLength)
            m_nAnchor = m_nCaret + 1;
        ReplaceSelection(L"");
        return 0;
    default:
        // Enter, Escape and the rest belong to the dialog.
        return GetParent() ? GetParent()->SendMessage(WM_KEYDOWN, wParam, lParam) : 0;
    }
}

LRESULT EditControl::OnChar(WPARAM wParam, LPARAM)
{
    auto ch = static_cast<wchar_t>(wParam);
    if (ch >= 0x20 && ch != 0x7F)
        ReplaceSelection(std::wstring_view(&ch, 1));
    return 0;
}

void EditControl::OnTimer(uintptr_t nIdEvent)
{
    if (nIdEvent == kCaretTimer) {
        m_bCaretOn = !m_bCaretOn;
        Invalidate();
    }
}

void EditControl::OnSetFocus()
{
    m_bCaretOn = true;
    SetTimer(kCaretTimer, kCaretBlink);
    Invalidate();
}

void EditControl::OnKillFocus()
{
    KillTimer(kCaretTimer);
    m_bCaretOn = false;
    Invalidate();
}

void EditControl::OnDefaultPaint(Canvas& dc)
{
    Rect rc = GetClientRect();
    dc.FillSolidRect(rc, IsWindowEnabled() ? 0xFFFFFF : 0xF0F0F0);
    dc.FrameRect(rc, GetFocus() == this ? kBorderDefault : 0x7A7A7A);
    const std::wstring& strText = GetWindowText();
    const Font& font = CurrentFont();
    int nTextHeight = font.GetMetrics().nHeight;
    int nTop = std::max(0, (rc.Height() - nTextHeight) / 2);

    // Keep the caret inside the box.
    int nCaretX = font.GetTextWidth(std::wstring_view(strText).substr(0, m_nCaret));
    int nInner = std::max(1, rc.Width() - 4);
    if (nCaretX - m_nScroll > nInner)
        m_nScroll = nCaretX - nInner;
    if (nCaretX < m_nScroll)
        m_nScroll = nCaretX;

    Canvas::StateGuard guard(dc);
    dc.IntersectClipRect(Rect{1, 1, rc.right - 1, rc.bottom - 1});
    dc.SelectFont(font);
    int x = 2 - m_nScroll;
    auto [nStart, nEnd] = GetSel();
    std::wstring_view view(strText);
    dc.SetBkMode(BackgroundMode::Transparent);
    dc.SetTextColor(0x000000);
    dc.TextOut(x, nTop, view.substr(0, nStart));
    int xSel = x + font.GetTextWidth(view.substr(0, nStart));
    if (nEnd > nStart) {
        int nSelWidth = font.GetTextWidth(view.substr(nStart, nEnd - nStart));
        dc.FillSolidRect(Rect::FromSize(xSel, nTop, nSelWidth, nTextHeight), kHighlight);
        dc.SetTextColor(kHighlightText);
        dc.TextOut(xSel, nTop, view.substr(nStart, nEnd - nStart));
        dc.SetTextColor(0x000000);
        xSel += nSelWidth;
    }
    dc.TextOut(xSel, nTop, view.substr(nEnd));
    if (m_bCaretOn && GetFocus() == this)
        dc.DrawLine(Point{nCaretX - m_nScroll + 2, nTop}, Point{nCaretX - m_nScroll + 2, nTop + nTextHeight},
                    0x000000);
}

} // namespace platform
