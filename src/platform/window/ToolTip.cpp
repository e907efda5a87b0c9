#include "platform/window/ToolTip.h"

#include "platform/gdi/Canvas.h"
#include "platform/window/WindowSystem.h"

#include <algorithm>

namespace platform {

namespace {

constexpr uintptr_t kInitialTimer = 1;
constexpr uintptr_t kAutoPopTimer = 2;
constexpr uintptr_t kWatchTimer = 3;
// How soon a shown tip notices that its tool was destroyed or hidden.
constexpr uint32_t kWatchInterval = 100;

} // namespace

ToolTip::ToolTip() : m_pSelf(std::make_shared<ToolTip*>(this)) {}

ToolTip::~ToolTip()
{
    m_pSelf.reset();
    for (const Tool& tool : m_arrTools) {
        if (Window* pTool = FromHandle(tool.hWnd))
            pTool->SetMessageObserver({});
    }
    m_arrTools.clear();
    DestroyWindow();
}

const MessageMap& ToolTip::GetMessageMap() const
{
    static const MessageMap map(&Window::GetMessageMap(), {platform::OnTimer(&ToolTip::OnTimer)});
    return map;
}

bool ToolTip::EnsureWindow()
{
    if (IsCreated())
        return true;
    if (m_font.IsNull())
        m_font = Font::Create(FontDescription{L"Verdana", -11});
    SetFont(m_font.IsNull() ? &Font::GetDefault() : &m_font, false);
    // No owner: the tip must not keep a pointer to a window that may go before it.
    return Create(nullptr, Rect{0, 0, 1, 1}, WS_POPUP, 0, L"");
}

ToolTip::Tool* ToolTip::FindTool(HWND hWnd)
{
    auto it = std::find_if(m_arrTools.begin(), m_arrTools.end(),
                           [hWnd](const Tool& tool) { return tool.hWnd == hWnd; });
    return it == m_arrTools.end() ? nullptr : &*it;
}

void ToolTip::ForgetDeadTools()
{
    std::erase_if(m_arrTools, [](const Tool& tool) { return FromHandle(tool.hWnd) == nullptr; });
}

bool ToolTip::AddTool(Window& tool, const std::wstring& strText)
{
    if (!tool.IsCreated() || !EnsureWindow())
        return false;
    ForgetDeadTools();
    HWND hTool = tool.GetSafeHwnd();
    if (FindTool(hTool))
        UpdateTipText(tool, strText);
    else
        m_arrTools.push_back(Tool{hTool, strText});
    std::weak_ptr<ToolTip*> pLink = m_pSelf;
    tool.SetMessageObserver([pLink](Window& window, UINT nMsg, WPARAM wParam, LPARAM lParam) {
        if (auto pSelf = pLink.lock())
            (*pSelf)->OnToolMessage(window, nMsg, wParam, lParam);
    });
    return true;
}

void ToolTip::RemoveTool(Window& tool)
{
    HWND hTool = tool.GetSafeHwnd();
    if (!FindTool(hTool))
        return;
    std::erase_if(m_arrTools, [hTool](const Tool& entry) { return entry.hWnd == hTool; });
    tool.SetMessageObserver({});
    if (m_hHoverTool == hTool)
        Hide(State::Idle);
}

void ToolTip::UpdateTipText(Window& tool, const std::wstring& strText)
{
    Tool* pTool = FindTool(tool.GetSafeHwnd());
    if (!pTool)
        return;
    pTool->strText = strText;
    if (m_state == State::Shown && m_hHoverTool == pTool->hWnd) {
        if (strText.empty())
            Hide(State::Done);
        else
            Show(*pTool);
    }
}

void ToolTip::SetTipBkColor(COLORREF nColor)
{
    m_nBkColor = nColor;
    Invalidate();
}

void ToolTip::SetTipTextColor(COLORREF nColor)
{
    m_nTextColor = nColor;
    Invalidate();
}

void ToolTip::Activate(bool bActivate)
{
    m_bActive = bActivate;
    if (!bActivate)
        Hide(State::Idle);
}

void ToolTip::OnToolMessage(Window& tool, UINT nMsg, WPARAM, LPARAM lParam)
{
    HWND hTool = tool.GetSafeHwnd();
    if (!m_bActive || !FindTool(hTool))
        return;
    switch (nMsg) {
    case WM_MOUSEMOVE:
        if (hTool != m_hHoverTool)
            StartWaiting(hTool);
        if (m_state == State::Waiting)
            m_ptCursor = tool.ClientToScreen(Point{GetXParam(lParam), GetYParam(lParam)});
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        if (hTool == m_hHoverTool)
            Hide(State::Done);
        break;
    case WM_MOUSELEAVE:
        if (hTool == m_hHoverTool)
            Hide(State::Idle);
        break;
    default:
        break;
    }
}

void ToolTip::StartWaiting(HWND hTool)
{
    Hide(State::Idle);
    if (!EnsureWindow())
        return;
    m_hHoverTool = hTool;
    m_state = State::Waiting;
    SetTimer(kInitialTimer, kInitialDelay);
}

const ToolTip::Tool* ToolTip::LiveHoverTool()
{
    Window* pTool = FromHandle(m_hHoverTool);
    if (!pTool || !pTool->IsWindowVisible())
        return nullptr;
    return FindTool(m_hHoverTool);
}

void ToolTip::OnTimer(uintptr_t nIdEvent)
{
    switch (nIdEvent) {
    case kInitialTimer: {
        KillTimer(kInitialTimer);
        if (m_state != State::Waiting)
            break;
        const Tool* pTool = LiveHoverTool();
        if (!pTool)
            Hide(State::Idle);
        else if (pTool->strText.empty())
            Hide(State::Done);
        else
            Show(*pTool);
        break;
    }
    case kAutoPopTimer:
        Hide(State::Done);
        break;
    case kWatchTimer:
        if (!LiveHoverTool())
            Hide(State::Idle);
        break;
    default:
        break;
    }
}

Rect ToolTip::PlaceTip(Size size) const
{
    Point pt{m_ptCursor.x, m_ptCursor.y + kCursorOffsetY};
    Size screen{1024, 768};
    if (auto pSystem = WindowSystem::Get())
        screen = pSystem->GetDriver().GetScreenSize();
    if (pt.x + size.cx > screen.cx)
        pt.x = screen.cx - size.cx;
    // No room below the pointer: the tip goes above it instead of covering it.
    if (pt.y + size.cy > screen.cy)
        pt.y = m_ptCursor.y - size.cy;
    pt.x = std::max(pt.x, 0);
    pt.y = std::max(pt.y, 0);
    return Rect::FromSize(pt.x, pt.y, size.cx, size.cy);
}

void ToolTip::Show(const Tool& tool)
{
    m_strShown = tool.strText;
    const Font& font = GetFont() ? *GetFont() : Font::GetDefault();
    int nInset = kFrame + kPadding;
    Size size{font.GetTextWidth(m_strShown) + 2 * nInset, font.GetMetrics().nHeight + 2 * nInset};
    // The pointer's place is kept from the moment the tip shows, so a new text for the shown tip
    // leaves it where it is, unless its new size needs moving it back onto the screen.
    MoveWindow(PlaceTip(size));
    Invalidate();
    if (m_state != State::Shown) {
        m_state = State::Shown;
        ShowWindow(SW_SHOWNOACTIVATE);
        SetTimer(kAutoPopTimer, kAutoPopDelay);
        SetTimer(kWatchTimer, kWatchInterval);
    }
}

void ToolTip::Hide(State next)
{
    if (IsCreated()) {
        KillTimer(kInitialTimer);
        KillTimer(kAutoPopTimer);
        KillTimer(kWatchTimer);
        if (IsWindowVisible())
            ShowWindow(SW_HIDE);
    }
    m_strShown.clear();
    m_state = next;
    if (next == State::Idle)
        m_hHoverTool = 0;
}

void ToolTip::OnDefaultPaint(Canvas& dc)
{
    Rect rc = GetClientRect();
    dc.FillSolidRect(rc, m_nBkColor);
    dc.FrameRect(rc, kToolTipFrame);
    dc.SetBkMode(BackgroundMode::Transparent);
    dc.SetTextColor(m_nTextColor);
    dc.TextOut(kFrame + kPadding, kFrame + kPadding, m_strShown);
}

} // namespace platform
