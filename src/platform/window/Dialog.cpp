#include "platform/window/Dialog.h"

#include "platform/gdi/Canvas.h"
#include "platform/window/StockControls.h"
#include "platform/window/WindowSystem.h"

#include <algorithm>

namespace platform {

namespace {

std::unique_ptr<Window> MakeStockControl(const std::wstring& strClass)
{
    if (EqualsClass(strClass, L"BUTTON"))
        return std::make_unique<PushButton>();
    if (EqualsClass(strClass, L"STATIC"))
        return std::make_unique<StaticControl>();
    if (EqualsClass(strClass, L"EDIT"))
        return std::make_unique<EditControl>();
    // A class the dialog supplies itself: a plain window holds the place until SubclassDlgItem.
    return std::make_unique<Window>();
}

} // namespace

Dialog::Dialog(const DialogTemplate& dialogTemplate, Window* pParent)
    : m_template(dialogTemplate), m_pParentWindow(pParent)
{
}

Dialog::~Dialog()
{
    DestroyWindow();
}

const MessageMap& Dialog::GetMessageMap() const
{
    static const MessageMap map(&Window::GetMessageMap(),
                                {
                                    OnMessage(WM_COMMAND, &Dialog::OnCommandMessage),
                                    OnMessage(WM_KEYDOWN, &Dialog::OnKeyDown),
                                    OnSignal(WM_CLOSE, &Dialog::OnClose),
                                });
    return map;
}

bool Dialog::CreateFromTemplate(Window* pParent)
{
    m_font = Font::Create(FontDescription{m_template.strFont, DialogFontHeight(m_template.nPointSize)});
    SetFont(&m_font, false);
    Rect rc = DialogUnitsToPixels(m_template.x, m_template.y, m_template.cx, m_template.cy);
    uint32_t nStyle = m_template.nStyle;
    // Controls come first and the dialog shows itself after OnInitDialog, as templates expect.
    if (!Create(pParent, rc, nStyle & ~WS_VISIBLE, m_template.nId, m_template.strCaption))
        return false;
    for (const DialogControlTemplate& control : m_template.arrControls) {
        std::unique_ptr<Window> pControl = MakeStockControl(control.strClass);
        Rect rcControl = DialogUnitsToPixels(control.x, control.y, control.cx, control.cy);
        if (pControl->Create(this, rcControl, control.nStyle | WS_CHILD, control.nId, control.strText))
            m_arrTemplateControls.push_back(std::move(pControl));
    }
    HWND hSelf = GetSafeHwnd();
    OnInitDialog();
    if (!WindowSystem::Get() || !WindowSystem::Get()->Lookup(hSelf))
        return false;
    if (nStyle & WS_VISIBLE)
        ShowWindow(SW_SHOW);
    return true;
}

int Dialog::DoModal()
{
    if (IsCreated())
        return -1;
    if (!CreateFromTemplate(m_pParentWindow ? m_pParentWindow->GetTopLevel() : nullptr))
        return -1;
    if (!(GetStyle() & WS_VISIBLE))
        ShowWindow(SW_SHOW);
    int nResult = RunModalLoop();
    DestroyWindow();
    m_arrTemplateControls.clear();
    return nResult;
}

bool Dialog::CreateModeless(Window* pParent)
{
    return !IsCreated() && CreateFromTemplate(pParent);
}

bool Dialog::SubclassDlgItem(uint32_t nId, Window& control)
{
    auto it = std::find_if(m_arrTemplateControls.begin(), m_arrTemplateControls.end(),
                           [nId](const auto& pControl) { return pControl->GetDlgCtrlID() == nId; });
    if (it == m_arrTemplateControls.end() || control.IsCreated())
        return false;
    Window& placeholder = **it;
    size_t nIndex = static_cast<size_t>(std::find(m_arrChildren.begin(), m_arrChildren.end(), &placeholder) -
                                        m_arrChildren.begin());
    Rect rc = placeholder.GetWindowRectInParent();
    uint32_t nStyle = placeholder.GetStyle();
    std::wstring strText = placeholder.GetWindowText();
    placeholder.DestroyWindow();
    m_arrTemplateControls.erase(it);
    if (!control.Create(this, rc, nStyle & ~WS_VISIBLE, nId, strText))
        return false;
    // Keep the template's order, which is the controls' z-order.
    std::erase(m_arrChildren, &control);
    m_arrChildren.insert(
        m_arrChildren.begin() + static_cast<ptrdiff_t>(std::min(nIndex, m_arrChildren.size())), &control);
    if (nStyle & WS_VISIBLE)
        control.ShowWindow(SW_SHOW);
    return true;
}

LRESULT Dialog::OnCommandMessage(WPARAM wParam, LPARAM)
{
    if (HighWord(wParam) != BN_CLICKED)
        return 0;
    if (LowWord(wParam) == IDOK)
        OnOK();
    else if (LowWord(wParam) == IDCANCEL)
        OnCancel();
    return 0;
}

LRESULT Dialog::OnKeyDown(WPARAM wParam, LPARAM)
{
    if (wParam == VK_RETURN)
        SendMessage(WM_COMMAND, MakeWParam(IDOK, BN_CLICKED), 0);
    else if (wParam == VK_ESCAPE)
        SendMessage(WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
    else if (GetParent())
        return GetParent()->SendMessage(WM_KEYDOWN, wParam, 0);
    return 0;
}

void Dialog::OnClose()
{
    OnCancel();
}

void Dialog::OnDefaultPaint(Canvas& dc)
{
    dc.FillSolidRect(GetClientRect(), kDialogBackground);
}

} // namespace platform
