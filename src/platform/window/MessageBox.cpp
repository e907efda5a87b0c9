#include "platform/window/MessageBox.h"

#include "platform/gdi/Canvas.h"
#include "platform/gdi/MemoryCanvas.h"
#include "platform/window/StockControls.h"
#include "platform/window/WindowSystem.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform {

namespace {

// The layout, in dialog units.
constexpr int kMargin = 8;
constexpr int kCaptionCy = 14;
constexpr int kIconCx = 22; // 33 x 32 pixels: room for a 32-pixel icon
constexpr int kIconCy = 20;
constexpr int kIconGap = 6;
constexpr int kButtonCx = 50;
constexpr int kButtonCy = 14;
constexpr int kButtonGap = 4;
constexpr int kBandPadding = 6; // above and below the buttons, on the grey band

constexpr int kIconSize = 32; // pixels

constexpr COLORREF kContentColor = 0xFFFFFF;
constexpr COLORREF kCaptionColor = 0x6E4A2B;
constexpr COLORREF kCaptionTextColor = 0xFFFFFF;
constexpr COLORREF kFrameColor = 0x7A7A7A;
constexpr COLORREF kIconRed = 0x2D2DD9;
constexpr COLORREF kIconBlue = 0xD0661A;
constexpr COLORREF kIconYellow = 0x00C4FF;

struct BoxButton
{
    UINT nId;
    const wchar_t* pszText;
};

// The button set of a type; the sets we do not offer fall back to OK alone.
std::vector<BoxButton> ButtonsOf(UINT nType)
{
    switch (nType & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}};
    case MB_YESNO:
        return {{IDYES, L"Yes"}, {IDNO, L"No"}};
    default:
        return {{IDOK, L"OK"}};
    }
}

std::vector<MessageBoxWindow*>& OpenBoxes()
{
    static std::vector<MessageBoxWindow*> arrOpen;
    return arrOpen;
}

// Pixels to dialog units, rounded up, so a box in dialog units holds what was measured.
int PixelsToUnitsX(int nPixels)
{
    return (nPixels * 4 + 5) / 6;
}
int PixelsToUnitsY(int nPixels)
{
    return (nPixels * 8 + 12) / 13;
}

// The template's font as Dialog makes it.
Font TemplateFont(const DialogTemplate& dlg, int nWeight = kFontWeightNormal)
{
    return Font::Create(FontDescription{dlg.strFont, DialogFontHeight(dlg.nPointSize), 0, nWeight});
}

Size MeasureText(const Font& font, const std::wstring& strText, int nWidth, unsigned nFormat)
{
    MemoryCanvas measure;
    measure.SelectFont(font);
    Rect rc{0, 0, nWidth, 0};
    measure.DrawText(strText, rc, nFormat | DT_CALCRECT);
    return Size{rc.Width(), std::max(rc.Height(), font.GetMetrics().nHeight)};
}

// The whole box in dialog units: caption bar, icon and text side by side, then the button band.
DialogTemplate MakeTemplate(const std::wstring& strText, const std::wstring& strCaption, UINT nType)
{
    DialogTemplate dlg;
    dlg.nStyle = WS_POPUP | WS_VISIBLE;
    dlg.strCaption = strCaption.empty() ? L"Error" : strCaption;
    bool bIcon = (nType & MB_ICONMASK) != 0;

    Size textSize = MeasureText(TemplateFont(dlg), strText, kMessageBoxTextWidth, DT_WORDBREAK | DT_NOPREFIX);
    int nTextCx = PixelsToUnitsX(textSize.cx);
    int nTextCy = PixelsToUnitsY(textSize.cy);
    int nContentCx = (bIcon ? kIconCx + kIconGap : 0) + nTextCx;
    int nContentCy = std::max(bIcon ? kIconCy : 0, nTextCy);

    std::vector<BoxButton> arrButtons = ButtonsOf(nType);
    int nButtons = static_cast<int>(arrButtons.size());
    int nRowCx = nButtons * kButtonCx + (nButtons - 1) * kButtonGap;
    int nCaptionCx = PixelsToUnitsX(
        MeasureText(TemplateFont(dlg, kFontWeightBold), dlg.strCaption, 0, DT_SINGLELINE | DT_NOPREFIX).cx);
    int nMaxContentCx = kIconCx + kIconGap + PixelsToUnitsX(kMessageBoxTextWidth);
    dlg.cx = std::max({nContentCx, nRowCx, std::min(nCaptionCx, nMaxContentCx)}) + 2 * kMargin;

    int yContent = kCaptionCy + kMargin;
    int yButtons = yContent + nContentCy + kMargin + kBandPadding;
    dlg.cy = yButtons + kButtonCy + kBandPadding;

    int xText = kMargin;
    if (bIcon) {
        dlg.arrControls.push_back({L"STATIC", L"", MessageBoxWindow::kIconId, kMargin,
                                   yContent + (nContentCy - kIconCy) / 2, kIconCx, kIconCy, WS_VISIBLE});
        xText += kIconCx + kIconGap;
    }
    dlg.arrControls.push_back({L"STATIC", strText, MessageBoxWindow::kTextId, xText,
                               yContent + (nContentCy - nTextCy) / 2, nTextCx, nTextCy,
                               uint32_t{WS_VISIBLE} | SS_LEFT | SS_NOPREFIX});
    int x = (dlg.cx - nRowCx) / 2;
    for (const BoxButton& button : arrButtons) {
        uint32_t nStyle = WS_VISIBLE | WS_TABSTOP;
        if (button.nId == arrButtons[0].nId)
            nStyle |= BS_DEFPUSHBUTTON;
        dlg.arrControls.push_back(
            {L"BUTTON", button.pszText, button.nId, x, yButtons, kButtonCx, kButtonCy, nStyle});
        x += kButtonCx + kButtonGap;
    }
    return dlg;
}

// Scan lines of a disc or an upward triangle filling the square at rc's top-left.
void FillDisc(Canvas& dc, const Rect& rc, int nSize, COLORREF nColor)
{
    double dRadius = nSize / 2.0;
    for (int y = 0; y < nSize; ++y) {
        double dy = y + 0.5 - dRadius;
        double dHalf = std::sqrt(std::max(0.0, dRadius * dRadius - dy * dy));
        int xFrom = static_cast<int>(std::lround(dRadius - dHalf));
        int xTo = static_cast<int>(std::lround(dRadius + dHalf));
        dc.FillSolidRect(Rect{rc.left + xFrom, rc.top + y, rc.left + xTo, rc.top + y + 1}, nColor);
    }
}

void FillTriangle(Canvas& dc, const Rect& rc, int nSize, COLORREF nColor)
{
    double dRadius = nSize / 2.0;
    for (int y = 1; y < nSize; ++y) {
        double dHalf = dRadius * y / (nSize - 1);
        int xFrom = static_cast<int>(std::lround(dRadius - dHalf));
        int xTo = static_cast<int>(std::lround(dRadius + dHalf));
        dc.FillSolidRect(Rect{rc.left + xFrom, rc.top + y, rc.left + xTo, rc.top + y + 1}, nColor);
    }
}

} // namespace

int MessageBox(Window* pOwner, const std::wstring& strText, const std::wstring& strCaption, UINT nType)
{
    auto pSystem = WindowSystem::Get();
    if (!pSystem || !pSystem->IsWindowThread())
        return 0;
    DialogTemplate dlg = MakeTemplate(strText, strCaption, nType);
    Window* pFocus = Window::GetFocus();
    HWND hFocus = pFocus ? pFocus->GetSafeHwnd() : 0;
    int nResult;
    {
        MessageBoxWindow box(dlg, nType, pOwner);
        nResult = box.DoModal();
    }
    // The box took the focus; it goes back to where it was, if that window is still there.
    if (Window* pStill = Window::FromHandle(hFocus))
        pStill->SetFocus();
    return nResult < 0 ? 0 : nResult;
}

void MessageBeep(UINT)
{
    auto pSystem = WindowSystem::Get();
    if (pSystem && pSystem->IsWindowThread())
        pSystem->GetDriver().Beep();
}

MessageBoxWindow::MessageBoxWindow(const DialogTemplate& dialogTemplate, UINT nType, Window* pOwner)
    : Dialog(dialogTemplate, pOwner), m_nType(nType)
{
}

MessageBoxWindow::~MessageBoxWindow()
{
    std::erase(OpenBoxes(), this);
}

MessageBoxWindow* MessageBoxWindow::GetOpen()
{
    return OpenBoxes().empty() ? nullptr : OpenBoxes().back();
}

UINT MessageBoxWindow::GetDefaultButton() const
{
    return ButtonsOf(m_nType).front().nId;
}

const MessageMap& MessageBoxWindow::GetMessageMap() const
{
    static const MessageMap map(&Dialog::GetMessageMap(),
                                {
                                    OnMessage(WM_COMMAND, &MessageBoxWindow::OnCommandMessage),
                                    OnMessage(WM_KEYDOWN, &MessageBoxWindow::OnKeyDown),
                                    OnSignal(WM_DESTROY, &MessageBoxWindow::OnDestroy),
                                });
    return map;
}

bool MessageBoxWindow::OnInitDialog()
{
    OpenBoxes().push_back(this);
    FontDescription caption = GetDialogFont().GetDescription();
    caption.nWeight = kFontWeightBold;
    m_fontCaption = Font::Create(caption);
    m_fontGlyph = Font::Create(FontDescription{L"Verdana", -22, 0, kFontWeightBold});
    CenterOnOwner();
    if (Window* pDefault = GetDlgItem(GetDefaultButton()))
        pDefault->SetFocus();
    if (m_nType & MB_ICONMASK)
        MessageBeep(m_nType);
    return true;
}

void MessageBoxWindow::OnDestroy()
{
    std::erase(OpenBoxes(), this);
}

void MessageBoxWindow::CenterOnOwner()
{
    auto pSystem = WindowSystem::Get();
    Size screen = pSystem ? pSystem->GetDriver().GetScreenSize() : Size{1024, 768};
    Rect rcArea{0, 0, screen.cx, screen.cy};
    if (Window* pOwner = GetOwner(); pOwner && pOwner->IsWindowVisible() && !pOwner->IsIconic())
        rcArea = pOwner->GetWindowRect();
    Size size = GetWindowRect().GetSize();
    int x = rcArea.left + (rcArea.Width() - size.cx) / 2;
    int y = rcArea.top + (rcArea.Height() - size.cy) / 2;
    // Kept on the screen, its top-left corner first where the box is larger than the screen.
    x = std::max(0, std::min(x, screen.cx - size.cx));
    y = std::max(0, std::min(y, screen.cy - size.cy));
    MoveWindow(x, y, size.cx, size.cy, false);
}

LRESULT MessageBoxWindow::OnCommandMessage(WPARAM wParam, LPARAM)
{
    UINT nId = LowWord(wParam);
    if (HighWord(wParam) != BN_CLICKED)
        return 0;
    for (const BoxButton& button : ButtonsOf(m_nType)) {
        if (button.nId == nId)
            EndDialog(static_cast<int>(nId));
    }
    return 0;
}

LRESULT MessageBoxWindow::OnKeyDown(WPARAM wParam, LPARAM)
{
    if (wParam == VK_RETURN)
        OnOK();
    else if (wParam == VK_ESCAPE)
        OnCancel();
    return 0;
}

void MessageBoxWindow::OnOK()
{
    EndDialog(static_cast<int>(GetDefaultButton()));
}

void MessageBoxWindow::OnCancel()
{
    // Yes/No has no way out but its answers.
    if (GetDlgItem(IDCANCEL))
        EndDialog(IDCANCEL);
    else if (GetDefaultButton() == IDOK)
        EndDialog(IDOK);
}

void MessageBoxWindow::OnDefaultPaint(Canvas& dc)
{
    Rect rc = GetClientRect();
    dc.FillSolidRect(rc, kContentColor);
    if (Window* pButton = GetDlgItem(GetDefaultButton())) {
        int yBand =
            pButton->GetWindowRectInParent().top - DialogUnitsToPixels(0, 0, 0, kBandPadding).Height();
        dc.FillSolidRect(Rect{0, yBand, rc.right, rc.bottom}, kDialogBackground);
    }

    Rect rcCaption = DialogUnitsToPixels(0, 0, 0, kCaptionCy);
    rcCaption.right = rc.right;
    dc.FillSolidRect(rcCaption, kCaptionColor);
    Rect rcCaptionText = rcCaption;
    rcCaptionText.Inflate(-DialogUnitsToPixels(0, 0, kMargin, 0).Width(), 0);
    {
        Canvas::StateGuard guard(dc);
        if (!m_fontCaption.IsNull())
            dc.SelectFont(m_fontCaption);
        dc.SetBkMode(BackgroundMode::Transparent);
        dc.SetTextColor(kCaptionTextColor);
        dc.DrawText(GetWindowText(), rcCaptionText,
                    DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    }

    if (Window* pIcon = GetDlgItem(kIconId))
        DrawIcon(dc, pIcon->GetWindowRectInParent());
    dc.FrameRect(rc, kFrameColor);
}

void MessageBoxWindow::DrawIcon(Canvas& dc, const Rect& rc) const
{
    Rect rcIcon = Rect::FromSize(rc.left, rc.top, kIconSize, kIconSize);
    Canvas::StateGuard guard(dc);
    dc.SetBkMode(BackgroundMode::Transparent);
    if (!m_fontGlyph.IsNull())
        dc.SelectFont(m_fontGlyph);
    const unsigned nGlyphFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    switch (m_nType & MB_ICONMASK) {
    case MB_ICONERROR:
        FillDisc(dc, rcIcon, kIconSize, kIconRed);
        // The cross as two strokes three pixels thick.
        for (int d = -1; d <= 1; ++d) {
            dc.DrawLine(Point{rcIcon.left + 10 + d, rcIcon.top + 10},
                        Point{rcIcon.left + 23 + d, rcIcon.top + 23}, 0xFFFFFF);
            dc.DrawLine(Point{rcIcon.left + 22 + d, rcIcon.top + 10},
                        Point{rcIcon.left + 9 + d, rcIcon.top + 23}, 0xFFFFFF);
        }
        break;
    case MB_ICONEXCLAMATION: {
        FillTriangle(dc, rcIcon, kIconSize, kIconYellow);
        // Black on yellow: a white mark would hardly show.
        Rect rcGlyph = rcIcon;
        rcGlyph.top += 6;
        dc.SetTextColor(0x000000);
        dc.DrawText(L"!", rcGlyph, nGlyphFormat);
        break;
    }
    case MB_ICONQUESTION:
    case MB_ICONINFORMATION: {
        FillDisc(dc, rcIcon, kIconSize, kIconBlue);
        Rect rcGlyph = rcIcon;
        dc.SetTextColor(0xFFFFFF);
        dc.DrawText((m_nType & MB_ICONMASK) == MB_ICONQUESTION ? L"?" : L"i", rcGlyph, nGlyphFormat);
        break;
    }
    default:
        break;
    }
}

} // namespace platform
