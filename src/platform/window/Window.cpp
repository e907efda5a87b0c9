#include "platform/window/Window.h"

#include "platform/gdi/Canvas.h"
#include "platform/ipc/IpcServer.h"
#include "platform/window/PaintDC.h"
#include "platform/window/WindowSystem.h"

#include <algorithm>

namespace platform {

namespace {

WindowSystem* System()
{
    // Windows live on the window thread, whose system outlives them; a plain pointer suffices.
    return WindowSystem::Get().get();
}

} // namespace

Window::Window() = default;

Window::~Window()
{
    DestroyWindow();
}

const MessageMap& Window::GetMessageMap() const
{
    static const MessageMap map(nullptr, {});
    return map;
}

bool Window::Create(Window* pParent, const Rect& rect, uint32_t nStyle, uint32_t nId,
                    const std::wstring& strText)
{
    WindowSystem* pSystem = System();
    if (!pSystem || IsCreated())
        return false;
    m_nStyle = nStyle;
    m_nId = nId;
    m_strText = strText;
    m_rcWindow = rect;
    m_bModalEnded = false;
    m_hWnd = pSystem->Register(this);

    if ((nStyle & WS_CHILD) && pParent && pParent->IsCreated()) {
        m_pParent = pParent;
        pParent->m_arrChildren.push_back(this);
        if (!m_pFont)
            m_pFont = pParent->m_pFont;
    } else {
        m_nStyle &= ~WS_CHILD;
        m_pOwner = pParent ? pParent->GetTopLevel() : nullptr;
        auto surface = Surface::Create(std::max(rect.Width(), 1), std::max(rect.Height(), 1));
        if (surface)
            m_surface = std::move(*surface);
        m_nNative = pSystem->GetDriver().CreateNativeWindow(strText, rect);
        pSystem->AddTopLevel(this);
    }
    WindowProc(WM_CREATE, 0, 0);
    if (!IsCreated())
        return false;
    UpdateIpcListener();
    if (m_nStyle & WS_VISIBLE) {
        m_nStyle &= ~WS_VISIBLE;
        ShowWindow(SW_SHOW);
    }
    return true;
}

void Window::DestroyWindow()
{
    if (!IsCreated())
        return;
    WindowSystem* pSystem = System();
    // Children first, last created first; their C++ objects stay with their owners.
    while (!m_arrChildren.empty())
        m_arrChildren.back()->DestroyWindow();
    WindowProc(WM_DESTROY, 0, 0);
    StopIpcListener();
    if (m_pParent) {
        Rect rc = m_rcWindow;
        std::erase(m_pParent->m_arrChildren, this);
        if (m_nStyle & WS_VISIBLE)
            m_pParent->InvalidateRect(&rc, true);
    }
    if (pSystem) {
        if (m_nNative)
            pSystem->GetDriver().DestroyNativeWindow(m_nNative);
        pSystem->Unregister(this);
    }
    m_nNative = 0;
    m_surface = Surface();
    m_pParent = nullptr;
    m_pOwner = nullptr;
    m_hWnd = 0;
    // A modal loop of this window ends with it.
    m_bModalEnded = true;
}

Window* Window::GetTopLevel()
{
    Window* pWindow = this;
    while (pWindow->m_pParent)
        pWindow = pWindow->m_pParent;
    return pWindow;
}

Window* Window::GetDlgItem(uint32_t nId) const
{
    for (Window* pChild : m_arrChildren) {
        if (pChild->m_nId == nId)
            return pChild;
    }
    return nullptr;
}

Point Window::GetOffsetInTopLevel() const
{
    Point pt;
    for (const Window* pWindow = this; pWindow->m_pParent; pWindow = pWindow->m_pParent) {
        pt.x += pWindow->m_rcWindow.left;
        pt.y += pWindow->m_rcWindow.top;
    }
    return pt;
}

Rect Window::GetWindowRect() const
{
    Point pt = ClientToScreen(Point{0, 0});
    return Rect::FromSize(pt.x, pt.y, m_rcWindow.Width(), m_rcWindow.Height());
}

Point Window::ClientToScreen(Point pt) const
{
    const Window* pTop = this;
    while (pTop->m_pParent)
        pTop = pTop->m_pParent;
    Point ptOffset = GetOffsetInTopLevel();
    return Point{pt.x + ptOffset.x + pTop->m_rcWindow.left, pt.y + ptOffset.y + pTop->m_rcWindow.top};
}

Point Window::ScreenToClient(Point pt) const
{
    Point ptOrigin = ClientToScreen(Point{0, 0});
    return Point{pt.x - ptOrigin.x, pt.y - ptOrigin.y};
}

void Window::MoveWindow(const Rect& rect, bool bRepaint)
{
    MoveWindow(rect.left, rect.top, rect.Width(), rect.Height(), bRepaint);
}

void Window::MoveWindow(int x, int y, int nWidth, int nHeight, bool bRepaint)
{
    if (!IsCreated())
        return;
    Rect rcOld = m_rcWindow;
    Rect rcNew = Rect::FromSize(x, y, std::max(nWidth, 0), std::max(nHeight, 0));
    if (rcOld == rcNew)
        return;
    m_rcWindow = rcNew;
    if (m_pParent) {
        if (bRepaint && (m_nStyle & WS_VISIBLE)) {
            m_pParent->InvalidateRect(&rcOld, true);
            m_pParent->InvalidateRect(&rcNew, true);
        }
    } else {
        if (rcOld.GetSize() != rcNew.GetSize()) {
            auto surface = Surface::Create(std::max(nWidth, 1), std::max(nHeight, 1));
            if (surface)
                m_surface = std::move(*surface);
            m_rcInvalid = Rect{};
            Invalidate(true);
        }
        if (WindowSystem* pSystem = System(); pSystem && m_nNative)
            pSystem->GetDriver().SetBounds(m_nNative, rcNew);
    }
    if (rcOld.GetSize() != rcNew.GetSize())
        WindowProc(WM_SIZE, 0, MakeLParam(rcNew.Width(), rcNew.Height()));
}

bool Window::ShowWindow(int nCmdShow)
{
    if (!IsCreated())
        return false;
    bool bWasVisible = (m_nStyle & WS_VISIBLE) != 0;
    WindowSystem* pSystem = System();
    switch (nCmdShow) {
    case SW_HIDE:
        m_nStyle &= ~WS_VISIBLE;
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        m_nStyle |= WS_VISIBLE;
        m_bIconic = true;
        break;
    case SW_RESTORE:
        m_nStyle |= WS_VISIBLE;
        m_bIconic = false;
        break;
    default:
        m_nStyle |= WS_VISIBLE;
        break;
    }
    bool bVisible = (m_nStyle & WS_VISIBLE) != 0;
    if (bVisible != bWasVisible)
        WindowProc(WM_SHOWWINDOW, bVisible ? 1 : 0, 0);
    if (m_pParent) {
        if (bVisible != bWasVisible) {
            Rect rc = m_rcWindow;
            m_pParent->InvalidateRect(&rc, true);
        }
    } else if (pSystem && m_nNative) {
        DisplayDriver& driver = pSystem->GetDriver();
        driver.Show(m_nNative, bVisible);
        if (nCmdShow == SW_MINIMIZE || nCmdShow == SW_SHOWMINIMIZED)
            driver.Minimize(m_nNative);
        else if (nCmdShow == SW_RESTORE)
            driver.Restore(m_nNative);
        if (bVisible)
            Invalidate(true);
    }
    return bWasVisible;
}

bool Window::IsWindowVisible() const
{
    for (const Window* pWindow = this; pWindow; pWindow = pWindow->m_pParent) {
        if (!(pWindow->m_nStyle & WS_VISIBLE))
            return false;
    }
    return IsCreated();
}

bool Window::EnableWindow(bool bEnable)
{
    bool bWasDisabled = !IsWindowEnabled();
    if (bEnable == bWasDisabled) {
        m_nStyle = bEnable ? (m_nStyle & ~WS_DISABLED) : (m_nStyle | WS_DISABLED);
        if (IsCreated()) {
            if (!bEnable) {
                WindowSystem* pSystem = System();
                if (pSystem && pSystem->m_pCapture == this)
                    ReleaseCapture();
            }
            WindowProc(WM_ENABLE, bEnable ? 1 : 0, 0);
            Invalidate(true);
        }
    }
    return bWasDisabled;
}

void Window::SetWindowText(const std::wstring& strText)
{
    if (m_strText == strText)
        return;
    m_strText = strText;
    if (!IsCreated())
        return;
    if (!m_pParent && m_nNative) {
        if (WindowSystem* pSystem = System())
            pSystem->GetDriver().SetTitle(m_nNative, strText);
        UpdateIpcListener();
    }
    Invalidate(true);
}

void Window::UpdateIpcListener()
{
    StopIpcListener();
    WindowSystem* pSystem = System();
    if (m_pParent || m_strText.empty() || !pSystem)
        return;
    auto pbClosing = std::make_shared<std::atomic<bool>>(false);
    HWND hWnd = m_hWnd;
    auto handler = [hWnd, pbClosing](uint32_t nMsg, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        auto pRunning = WindowSystem::Get();
        return pRunning ? pRunning->SendMessage(hWnd, nMsg, wParam, lParam, pbClosing.get()) : 0;
    };
    auto log = [](const std::wstring& strLine) {
        if (auto pRunning = WindowSystem::Get())
            pRunning->Log(strLine);
    };
    std::wstring strError;
    m_pIpc = IpcServer::Start(m_strText, handler, log, &strError);
    if (m_pIpc)
        m_pbIpcClosing = pbClosing;
    else
        pSystem->Log(L"IPC listener for \"" + m_strText + L"\" not started: " + strError + L"\r\n");
}

void Window::StopIpcListener()
{
    if (m_pbIpcClosing)
        *m_pbIpcClosing = true;
    m_pIpc.reset();
    m_pbIpcClosing.reset();
}

void Window::SetFont(const Font* pFont, bool bRedraw)
{
    m_pFont = pFont;
    if (bRedraw)
        Invalidate(true);
}

void Window::InvalidateRect(const Rect* pRect, bool)
{
    WindowSystem* pSystem = System();
    if (!pSystem || !IsCreated())
        return;
    Rect rc = pRect ? *pRect : GetClientRect();
    rc = Rect::Intersect(rc, GetClientRect());
    Point ptOffset = GetOffsetInTopLevel();
    rc.Offset(ptOffset.x, ptOffset.y);
    pSystem->InvalidateTopLevel(GetTopLevel(), rc);
}

void Window::UpdateWindow()
{
    WindowSystem* pSystem = System();
    if (pSystem && IsCreated() && !GetTopLevel()->m_rcInvalid.IsEmpty())
        pSystem->PaintTopLevel(GetTopLevel());
}

bool Window::SetTimer(uintptr_t nIdEvent, uint32_t nElapse)
{
    WindowSystem* pSystem = System();
    if (!pSystem || !IsCreated())
        return false;
    pSystem->SetTimer(this, nIdEvent, nElapse);
    return true;
}

bool Window::KillTimer(uintptr_t nIdEvent)
{
    WindowSystem* pSystem = System();
    return pSystem && IsCreated() && pSystem->KillTimer(this, nIdEvent);
}

Window* Window::SetCapture()
{
    WindowSystem* pSystem = System();
    if (!pSystem || !IsCreated())
        return nullptr;
    Window* pOld = pSystem->m_pCapture;
    pSystem->m_pCapture = this;
    if (pOld && pOld != this)
        pOld->WindowProc(WM_CAPTURECHANGED, 0, static_cast<LPARAM>(m_hWnd));
    return pOld;
}

bool Window::ReleaseCapture()
{
    WindowSystem* pSystem = System();
    if (!pSystem || !pSystem->m_pCapture)
        return false;
    Window* pOld = pSystem->m_pCapture;
    pSystem->m_pCapture = nullptr;
    pOld->WindowProc(WM_CAPTURECHANGED, 0, 0);
    return true;
}

Window* Window::GetCapture()
{
    WindowSystem* pSystem = System();
    return pSystem ? pSystem->m_pCapture : nullptr;
}

Window* Window::SetFocus()
{
    WindowSystem* pSystem = System();
    if (!pSystem || !IsCreated())
        return nullptr;
    Window* pOld = pSystem->m_pFocus;
    if (pOld == this)
        return pOld;
    pSystem->m_pFocus = this;
    if (pOld)
        pOld->WindowProc(WM_KILLFOCUS, m_hWnd, 0);
    if (pSystem->m_pFocus == this)
        WindowProc(WM_SETFOCUS, pOld ? pOld->m_hWnd : 0, 0);
    return pOld;
}

Window* Window::GetFocus()
{
    WindowSystem* pSystem = System();
    return pSystem ? pSystem->m_pFocus : nullptr;
}

bool Window::SetWindowRgn(std::optional<Region> region, bool bRedraw)
{
    if (!IsCreated() || m_pParent)
        return false;
    m_region = std::move(region);
    if (WindowSystem* pSystem = System(); pSystem && m_nNative)
        pSystem->GetDriver().SetShape(m_nNative, m_region ? &*m_region : nullptr);
    if (bRedraw)
        Invalidate(true);
    return true;
}

int Window::RunModalLoop()
{
    auto pSystem = WindowSystem::Get();
    if (!pSystem || !IsCreated())
        return -1;
    Window* pOwner = m_pOwner;
    HWND hOwner = pOwner ? pOwner->GetSafeHwnd() : 0;
    bool bOwnerWasEnabled = pOwner && pOwner->IsWindowEnabled();
    if (bOwnerWasEnabled)
        pOwner->EnableWindow(false);
    HWND hSelf = m_hWnd;
    pSystem->RunUntil([&] { return m_bModalEnded.load() || !pSystem->Lookup(hSelf); });
    if (bOwnerWasEnabled && pSystem->Lookup(hOwner))
        pOwner->EnableWindow(true);
    return pSystem->Lookup(hSelf) ? m_nModalResult.load() : -1;
}

void Window::EndModalLoop(int nResult)
{
    m_nModalResult = nResult;
    m_bModalEnded = true;
    if (auto pSystem = WindowSystem::Get())
        pSystem->Wake();
}

LRESULT Window::SendMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    return IsCreated() ? WindowProc(nMsg, wParam, lParam) : 0;
}

bool Window::PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    return platform::PostMessage(m_hWnd, nMsg, wParam, lParam);
}

LRESULT Window::NotifyParent(NMHDR& header, UINT nCode)
{
    header.hwndFrom = m_hWnd;
    header.idFrom = m_nId;
    header.code = nCode;
    if (!m_pParent)
        return 0;
    return m_pParent->SendMessage(WM_NOTIFY, m_nId, reinterpret_cast<LPARAM>(&header));
}

Window* Window::FromHandle(HWND hWnd)
{
    WindowSystem* pSystem = System();
    return pSystem ? pSystem->Lookup(hWnd) : nullptr;
}

LRESULT Window::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (m_observer && ((nMsg >= WM_MOUSEMOVE && nMsg <= WM_MOUSEWHEEL) || nMsg == WM_MOUSELEAVE)) {
        HWND hSelf = m_hWnd;
        m_observer(*this, nMsg, wParam, lParam);
        if (!FromHandle(hSelf))
            return 0;
    }
    LRESULT lResult = 0;
    if (GetMessageMap().Dispatch(*this, nMsg, wParam, lParam, lResult))
        return lResult;
    return DefWindowProc(nMsg, wParam, lParam);
}

void Window::OnDefaultPaint(Canvas&) {}

LRESULT Window::DefWindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_PAINT: {
        PaintDC dc(this);
        OnDefaultPaint(dc);
        return 0;
    }
    case WM_SETCURSOR:
        // The parent has the first word, as the platform's default handling does.
        if (m_pParent && m_pParent->SendMessage(WM_SETCURSOR, wParam, lParam))
            return 1;
        if (!m_pParent) {
            if (WindowSystem* pSystem = System())
                pSystem->GetDriver().SetCursor(CursorKind::Arrow);
        }
        return 0;
    case WM_MOUSEWHEEL:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        // Unhandled keys and wheel turns go up to the parent: a dialog then sees Enter and Escape.
        return m_pParent ? m_pParent->SendMessage(nMsg, wParam, lParam) : 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessage(WM_CLOSE);
        else if ((wParam & 0xFFF0) == SC_MINIMIZE)
            ShowWindow(SW_MINIMIZE);
        else if ((wParam & 0xFFF0) == SC_RESTORE)
            ShowWindow(SW_RESTORE);
        return 0;
    case WM_CLOSE:
        DestroyWindow();
        return 0;
    case WM_SETTEXT:
        SetWindowText(lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"");
        return 1;
    case WM_SETFONT:
        SetFont(reinterpret_cast<const Font*>(wParam), LowWord(static_cast<uintptr_t>(lParam)) != 0);
        return 0;
    case WM_INVALIDATE:
        Invalidate(wParam != 0);
        return 0;
    default:
        return 0;
    }
}

void WindowSystem::PaintTopLevel(Window* pTop)
{
    Rect rc = pTop->m_rcInvalid;
    pTop->m_rcInvalid = Rect{};
    if (rc.IsEmpty() || pTop->m_surface.IsNull())
        return;
    PaintTree(pTop, rc);
    if (pTop->m_nNative && (pTop->m_nStyle & WS_VISIBLE))
        m_pDriver->Present(pTop->m_nNative, pTop->m_surface, rc);
}

void WindowSystem::PaintTree(Window* pWindow, const Rect& rcClip)
{
    Point ptOffset = pWindow->GetOffsetInTopLevel();
    Rect rcWindow =
        Rect::FromSize(ptOffset.x, ptOffset.y, pWindow->m_rcWindow.Width(), pWindow->m_rcWindow.Height());
    Rect rc = Rect::Intersect(rcClip, rcWindow);
    if (rc.IsEmpty())
        return;
    HWND hWnd = pWindow->GetSafeHwnd();
    m_pPainting = pWindow;
    m_rcPaintClip = rc;
    pWindow->WindowProc(WM_PAINT, 0, 0);
    m_pPainting = nullptr;
    if (!Lookup(hWnd))
        return;
    std::vector<HWND> children;
    for (Window* pChild : pWindow->m_arrChildren)
        children.push_back(pChild->GetSafeHwnd());
    for (HWND hChild : children) {
        Window* pChild = Lookup(hChild);
        if (pChild && (pChild->m_nStyle & WS_VISIBLE))
            PaintTree(pChild, rc);
    }
}

} // namespace platform
