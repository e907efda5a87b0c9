#include "platform/window/WindowSystem.h"

#include "platform/window/Window.h"

#include <algorithm>
#include <atomic>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

namespace {

std::atomic<std::shared_ptr<WindowSystem>>& Slot()
{
    static std::atomic<std::shared_ptr<WindowSystem>> slot;
    return slot;
}

constexpr UINT HTCLIENT = 1;

} // namespace

struct WindowSystem::PendingSend
{
    std::mutex lock;
    std::condition_variable done;
    bool bDone = false;
    LRESULT lResult = 0;

    void Complete(LRESULT lValue)
    {
        std::lock_guard<std::mutex> guard(lock);
        lResult = lValue;
        bDone = true;
        done.notify_all();
    }
};

std::shared_ptr<WindowSystem> WindowSystem::Start(std::unique_ptr<DisplayDriver> pDriver)
{
    if (!pDriver || Slot().load())
        return nullptr;
    std::shared_ptr<WindowSystem> pSystem(new WindowSystem(std::move(pDriver)));
    if (pSystem->m_hWakeFd < 0)
        return nullptr;
    Slot().store(pSystem);
    return pSystem;
}

std::shared_ptr<WindowSystem> WindowSystem::Get()
{
    return Slot().load();
}

WindowSystem::WindowSystem(std::unique_ptr<DisplayDriver> pDriver)
    : m_pDriver(std::move(pDriver)), m_windowThread(std::this_thread::get_id()),
      m_hWakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

WindowSystem::~WindowSystem()
{
    Stop();
    if (m_hWakeFd >= 0)
        close(m_hWakeFd);
}

void WindowSystem::Stop()
{
    std::deque<QueuedMessage> queue;
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        m_bStopped = true;
        queue.swap(m_queue);
    }
    for (QueuedMessage& message : queue) {
        if (message.pSend)
            message.pSend->Complete(0);
    }
    std::shared_ptr<WindowSystem> pCurrent = Slot().load();
    if (pCurrent.get() == this)
        Slot().store(nullptr);
}

void WindowSystem::Wake()
{
    uint64_t nOne = 1;
    [[maybe_unused]] ssize_t n = write(m_hWakeFd, &nOne, sizeof nOne);
}

bool WindowSystem::PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (hWnd == 0)
        return false;
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (m_bStopped)
            return false;
        m_queue.push_back({hWnd, nMsg, wParam, lParam, nullptr});
    }
    Wake();
    return true;
}

LRESULT WindowSystem::SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                  const std::atomic<bool>* pbAbandon)
{
    if (IsWindowThread()) {
        Window* pWindow = Lookup(hWnd);
        return pWindow ? pWindow->WindowProc(nMsg, wParam, lParam) : 0;
    }
    auto pSend = std::make_shared<PendingSend>();
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (m_bStopped || hWnd == 0)
            return 0;
        // Sent messages go before posted ones, as the window thread handles them first.
        auto it =
            std::find_if(m_queue.begin(), m_queue.end(), [](const QueuedMessage& m) { return !m.pSend; });
        m_queue.insert(it, {hWnd, nMsg, wParam, lParam, pSend});
    }
    Wake();
    std::unique_lock<std::mutex> lock(pSend->lock);
    if (!pbAbandon) {
        pSend->done.wait(lock, [&] { return pSend->bDone; });
        return pSend->lResult;
    }
    while (!pSend->bDone) {
        if (pbAbandon->load())
            return 0;
        pSend->done.wait_for(lock, std::chrono::milliseconds(50));
    }
    return pSend->lResult;
}

void WindowSystem::InjectInput(const InputEvent& event)
{
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        m_arrInjected.push_back(event);
    }
    Wake();
}

HWND WindowSystem::Register(Window* pWindow)
{
    HWND hWnd = m_hNext++;
    m_windows[hWnd] = pWindow;
    return hWnd;
}

void WindowSystem::Unregister(Window* pWindow)
{
    HWND hWnd = pWindow->GetSafeHwnd();
    m_windows.erase(hWnd);
    std::erase(m_arrTopLevels, pWindow);
    for (auto it = m_timers.begin(); it != m_timers.end();)
        it = it->first.first == hWnd ? m_timers.erase(it) : std::next(it);
    if (m_pCapture == pWindow)
        m_pCapture = nullptr;
    if (m_pFocus == pWindow)
        m_pFocus = nullptr;
    if (m_pHover == pWindow)
        m_pHover = nullptr;
}

Window* WindowSystem::Lookup(HWND hWnd) const
{
    auto it = m_windows.find(hWnd);
    return it == m_windows.end() ? nullptr : it->second;
}

void WindowSystem::AddTopLevel(Window* pWindow)
{
    m_arrTopLevels.push_back(pWindow);
}

Window* WindowSystem::TopLevelOf(NativeWindowId nNative) const
{
    for (Window* pTop : m_arrTopLevels) {
        if (pTop->m_nNative == nNative)
            return pTop;
    }
    return nullptr;
}

void WindowSystem::SetTimer(Window* pWindow, uintptr_t nIdEvent, uint32_t nElapse)
{
    nElapse = std::max<uint32_t>(nElapse, 1);
    m_timers[{pWindow->GetSafeHwnd(), nIdEvent}] =
        Timer{nElapse, std::chrono::steady_clock::now() + std::chrono::milliseconds(nElapse)};
}

bool WindowSystem::KillTimer(Window* pWindow, uintptr_t nIdEvent)
{
    return m_timers.erase({pWindow->GetSafeHwnd(), nIdEvent}) > 0;
}

void WindowSystem::InvalidateTopLevel(Window* pTop, const Rect& rc)
{
    Rect rcClipped = Rect::Intersect(rc, pTop->GetClientRect());
    if (rcClipped.IsEmpty())
        return;
    pTop->m_rcInvalid = Rect::Union(pTop->m_rcInvalid, rcClipped);
}

void WindowSystem::RunUntil(const std::function<bool()>& bDone)
{
    while (!bDone()) {
        if (!PumpPending() && !bDone())
            WaitForWork();
    }
}

bool WindowSystem::PumpPending()
{
    bool bDid = ProcessInput();
    bDid = ProcessMessages() || bDid;
    bDid = ProcessTimers() || bDid;
    bool bQueueEmpty;
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        bQueueEmpty = m_queue.empty() && m_arrInjected.empty();
    }
    // Paint has the lowest priority: it waits until the queue has nothing else.
    if (bQueueEmpty)
        bDid = ProcessPaint() || bDid;
    return bDid;
}

bool WindowSystem::ProcessInput()
{
    std::vector<InputEvent> events;
    m_pDriver->PollEvents(events);
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        events.insert(events.end(), m_arrInjected.begin(), m_arrInjected.end());
        m_arrInjected.clear();
    }
    for (const InputEvent& event : events)
        RouteInput(event);
    return !events.empty();
}

bool WindowSystem::ProcessMessages()
{
    // Only what is queued now: a handler that posts again runs on the next turn, after timers
    // and input had theirs.
    size_t nCount;
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        nCount = m_queue.size();
    }
    size_t nDone = 0;
    for (; nDone < nCount; ++nDone) {
        QueuedMessage message;
        {
            std::lock_guard<std::mutex> guard(m_queueLock);
            if (m_queue.empty())
                break;
            message = std::move(m_queue.front());
            m_queue.pop_front();
        }
        Window* pWindow = Lookup(message.hWnd);
        LRESULT lResult = pWindow ? pWindow->WindowProc(message.nMsg, message.wParam, message.lParam) : 0;
        if (message.pSend)
            message.pSend->Complete(lResult);
    }
    return nDone > 0;
}

bool WindowSystem::ProcessTimers()
{
    auto now = std::chrono::steady_clock::now();
    std::vector<std::pair<HWND, uintptr_t>> due;
    for (auto& [key, timer] : m_timers) {
        if (timer.due <= now) {
            due.push_back(key);
            // Missed ticks do not pile up: the next one is a whole interval from now.
            timer.due = now + std::chrono::milliseconds(timer.nElapse);
        }
    }
    for (const auto& [hWnd, nIdEvent] : due) {
        if (Window* pWindow = Lookup(hWnd); pWindow && m_timers.count({hWnd, nIdEvent}))
            pWindow->WindowProc(WM_TIMER, nIdEvent, 0);
    }
    return !due.empty();
}

bool WindowSystem::ProcessPaint()
{
    bool bDid = false;
    std::vector<Window*> tops = m_arrTopLevels;
    for (Window* pTop : tops) {
        if (std::find(m_arrTopLevels.begin(), m_arrTopLevels.end(), pTop) == m_arrTopLevels.end())
            continue;
        if (!pTop->m_rcInvalid.IsEmpty()) {
            PaintTopLevel(pTop);
            bDid = true;
        }
    }
    return bDid;
}

void WindowSystem::WaitForWork()
{
    int nTimeout = -1;
    if (!m_timers.empty()) {
        auto next = std::min_element(m_timers.begin(), m_timers.end(), [](const auto& a, const auto& b) {
                        return a.second.due < b.second.due;
                    })->second.due;
        auto nMs =
            std::chrono::ceil<std::chrono::milliseconds>(next - std::chrono::steady_clock::now()).count();
        nTimeout = static_cast<int>(std::clamp<int64_t>(nMs, 0, 60000));
    }
    pollfd fds[2] = {{m_hWakeFd, POLLIN, 0}, {m_pDriver->GetEventFd(), POLLIN, 0}};
    nfds_t nFds = fds[1].fd >= 0 ? 2 : 1;
    if (poll(fds, nFds, nTimeout) > 0 && (fds[0].revents & POLLIN)) {
        uint64_t nCount = 0;
        [[maybe_unused]] ssize_t n = read(m_hWakeFd, &nCount, sizeof nCount);
    }
}

void WindowSystem::SetHover(Window* pWindow)
{
    if (m_pHover == pWindow)
        return;
    Window* pOld = m_pHover;
    m_pHover = pWindow;
    if (pOld)
        pOld->WindowProc(WM_MOUSELEAVE, 0, 0);
}

void WindowSystem::RouteInput(const InputEvent& event)
{
    Window* pTop = TopLevelOf(event.nWindow);
    if (!pTop)
        return;
    using Kind = InputEvent::Kind;
    switch (event.nKind) {
    case Kind::MouseMove:
    case Kind::MouseDown:
    case Kind::MouseUp:
    case Kind::MouseWheel:
        RouteMouse(pTop, event);
        break;
    case Kind::MouseLeave:
        if (!m_pCapture)
            SetHover(nullptr);
        break;
    case Kind::KeyDown:
    case Kind::KeyUp:
    case Kind::Text:
        RouteKey(pTop, event);
        break;
    case Kind::Close:
        pTop->SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Kind::Exposed:
        pTop->Invalidate(false);
        break;
    case Kind::Minimized:
        pTop->m_bIconic = true;
        break;
    case Kind::Restored:
        pTop->m_bIconic = false;
        pTop->Invalidate(false);
        break;
    }
}

namespace {

// The deepest visible child under the point (client coordinates of pWindow), later siblings
// first since they lie on top.
Window* HitTest(Window* pWindow, Point pt)
{
    const auto& children = pWindow->GetChildren();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        Window* pChild = *it;
        Rect rc = pChild->GetWindowRectInParent();
        if ((pChild->GetStyle() & WS_VISIBLE) && rc.Contains(pt))
            return HitTest(pChild, Point{pt.x - rc.left, pt.y - rc.top});
    }
    return pWindow;
}

bool IsEnabledChain(Window* pWindow)
{
    for (; pWindow; pWindow = pWindow->GetParent()) {
        if (!pWindow->IsWindowEnabled())
            return false;
    }
    return true;
}

} // namespace

void WindowSystem::RouteMouse(Window* pTop, const InputEvent& event)
{
    using Kind = InputEvent::Kind;
    if (event.nKind == Kind::MouseDown || event.nKind == Kind::MouseUp) {
        WPARAM nFlag = event.nButton == 1   ? WPARAM{MK_LBUTTON}
                       : event.nButton == 3 ? WPARAM{MK_RBUTTON}
                                            : WPARAM{0};
        m_nButtons = event.nKind == Kind::MouseDown ? (m_nButtons | nFlag) : (m_nButtons & ~nFlag);
    }
    Point ptScreen = pTop->ClientToScreen(event.pt);
    Window* pTarget = m_pCapture;
    if (!pTarget) {
        if (pTop->m_region && !pTop->m_region->Contains(event.pt)) {
            SetHover(nullptr);
            return;
        }
        pTarget = HitTest(pTop, event.pt);
        if (!IsEnabledChain(pTarget)) {
            SetHover(nullptr);
            m_pDriver->SetCursor(CursorKind::Arrow);
            return;
        }
    }
    SetHover(pTarget);
    Point pt = pTarget->ScreenToClient(ptScreen);
    LPARAM lPos = MakeLParam(pt.x, pt.y);
    WPARAM wFlags = m_nButtons | event.nModifiers;

    UINT nMsg = WM_MOUSEMOVE;
    switch (event.nKind) {
    case Kind::MouseMove:
        nMsg = WM_MOUSEMOVE;
        break;
    case Kind::MouseDown:
        if (event.nButton == 1)
            nMsg = event.nClicks >= 2 && pTarget->m_bWantsDoubleClicks ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
        else if (event.nButton == 3)
            nMsg = event.nClicks >= 2 && pTarget->m_bWantsDoubleClicks ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN;
        else
            return;
        if (pTarget->GetStyle() & WS_TABSTOP)
            pTarget->SetFocus();
        break;
    case Kind::MouseUp:
        if (event.nButton != 1 && event.nButton != 3)
            return;
        nMsg = event.nButton == 1 ? WM_LBUTTONUP : WM_RBUTTONUP;
        break;
    case Kind::MouseWheel: {
        Window* pWheel = m_pFocus && m_pFocus->GetTopLevel() == pTop ? m_pFocus : pTarget;
        WPARAM wParam = MakeWParam(static_cast<unsigned>(wFlags), static_cast<unsigned>(event.nWheel * 120));
        pWheel->WindowProc(WM_MOUSEWHEEL, wParam, MakeLParam(ptScreen.x, ptScreen.y));
        return;
    }
    default:
        return;
    }
    // A window may be destroyed by any handler: go through the handle between the two sends.
    HWND hTarget = pTarget->GetSafeHwnd();
    pTarget->WindowProc(WM_SETCURSOR, hTarget, MakeLParam(HTCLIENT, static_cast<int>(nMsg)));
    if (Window* pStill = Lookup(hTarget))
        pStill->WindowProc(nMsg, wFlags, lPos);
}

void WindowSystem::RouteKey(Window* pTop, const InputEvent& event)
{
    if (!pTop->IsWindowEnabled())
        return;
    Window* pTarget = m_pFocus && m_pFocus->GetTopLevel() == pTop ? m_pFocus : pTop;
    using Kind = InputEvent::Kind;
    if (event.nKind == Kind::Text) {
        HWND hTarget = pTarget->GetSafeHwnd();
        for (wchar_t ch : event.strText) {
            Window* pStill = Lookup(hTarget);
            if (!pStill)
                break;
            pStill->WindowProc(WM_CHAR, static_cast<WPARAM>(ch), 0);
        }
        return;
    }
    pTarget->WindowProc(event.nKind == Kind::KeyDown ? WM_KEYDOWN : WM_KEYUP, event.nKey, 0);
}

bool PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    auto pSystem = WindowSystem::Get();
    return pSystem && pSystem->PostMessage(hWnd, nMsg, wParam, lParam);
}

LRESULT SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    auto pSystem = WindowSystem::Get();
    return pSystem ? pSystem->SendMessage(hWnd, nMsg, wParam, lParam) : 0;
}

} // namespace platform
