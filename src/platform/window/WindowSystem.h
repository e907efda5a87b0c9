#pragma once

// The window system: the one message loop of the program's window thread, the handle table,
// the queue of posted and sent messages, timers, paint scheduling and input routing.
//
// One runs per process, on the thread that starts it (the window thread); it is the layer's one
// process-wide object, because any thread must be able to reach a window by its handle.
//
// Thread rules: Get, PostMessage, SendMessage, Wake, InjectInput and Window::EndModalLoop are
// safe from any thread. Everything else runs on the window thread. A SendMessage from another
// thread waits until the window thread has handled the message (it handles sent messages in
// every loop, nested modal loops included); once the system stops, sends return 0 at once.

#include "platform/gdi/Geometry.h"
#include "platform/window/DisplayDriver.h"
#include "platform/window/Message.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace platform {

class Window;

class WindowSystem
{
public:
    // Starts the window system on the calling thread with the display driver. Null when one
    // already runs or the driver is missing.
    static std::shared_ptr<WindowSystem> Start(std::unique_ptr<DisplayDriver> pDriver);
    // The running window system, or null. Any thread.
    static std::shared_ptr<WindowSystem> Get();

    ~WindowSystem();
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    // Ends the window system: pending and later sends return 0, posts are dropped.
    void Stop();

    bool IsWindowThread() const { return std::this_thread::get_id() == m_windowThread; }
    DisplayDriver& GetDriver() { return *m_pDriver; }

    // Any thread.
    bool PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    // With pbAbandon, a sender on another thread stops waiting (and gets 0) once the flag is
    // set: a thread that the window thread may wait for must never wait for it in turn.
    LRESULT SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                        const std::atomic<bool>* pbAbandon = nullptr);
    void InjectInput(const InputEvent& event);
    void Wake();

    // Where the layer's own log lines go (the program's session log); any thread may log.
    void SetLog(std::function<void(const std::wstring& strLine)> log) { m_log = std::move(log); }
    void Log(const std::wstring& strLine) const
    {
        if (m_log)
            m_log(strLine);
    }

    // Runs the loop until bDone() is true; bDone is checked after every piece of work.
    void RunUntil(const std::function<bool()>& bDone);
    // Does everything that is waiting (input, messages, due timers, paint) without blocking.
    // Returns true when it did anything.
    bool PumpPending();

    // For Window (window thread).
    HWND Register(Window* pWindow);
    void Unregister(Window* pWindow);
    Window* Lookup(HWND hWnd) const;
    void AddTopLevel(Window* pWindow);
    void SetTimer(Window* pWindow, uintptr_t nIdEvent, uint32_t nElapse);
    bool KillTimer(Window* pWindow, uintptr_t nIdEvent);
    void InvalidateTopLevel(Window* pTop, const Rect& rc);
    void PaintTopLevel(Window* pTop);
    Window* m_pCapture = nullptr;
    Window* m_pFocus = nullptr;
    // The window whose WM_PAINT runs now and its clip in top-level coordinates (for PaintDC).
    Window* m_pPainting = nullptr;
    Rect m_rcPaintClip;

private:
    struct PendingSend;
    struct QueuedMessage
    {
        HWND hWnd;
        UINT nMsg;
        WPARAM wParam;
        LPARAM lParam;
        std::shared_ptr<PendingSend> pSend; // null for a posted message
    };
    struct Timer
    {
        uint32_t nElapse;
        std::chrono::steady_clock::time_point due;
    };

    explicit WindowSystem(std::unique_ptr<DisplayDriver> pDriver);

    bool ProcessInput();
    bool ProcessMessages();
    bool ProcessTimers();
    bool ProcessPaint();
    void WaitForWork();
    void RouteInput(const InputEvent& event);
    void RouteMouse(Window* pTop, const InputEvent& event);
    void RouteKey(Window* pTop, const InputEvent& event);
    Window* TopLevelOf(NativeWindowId nNative) const;
    void SetHover(Window* pWindow);
    void PaintTree(Window* pWindow, const Rect& rcClip);

    std::unique_ptr<DisplayDriver> m_pDriver;
    std::function<void(const std::wstring&)> m_log; // set before other threads use the system
    std::thread::id m_windowThread;
    int m_hWakeFd = -1;

    std::mutex m_queueLock; // guards m_queue, m_arrInjected and m_bStopped
    std::deque<QueuedMessage> m_queue;
    std::vector<InputEvent> m_arrInjected;
    bool m_bStopped = false;

    // Window thread only.
    HWND m_hNext = 1;
    std::unordered_map<HWND, Window*> m_windows;
    std::vector<Window*> m_arrTopLevels;
    std::map<std::pair<HWND, uintptr_t>, Timer> m_timers;
    Window* m_pHover = nullptr;
    WPARAM m_nButtons = 0;
};

// Any thread: the window system's queue, or nothing (false / 0) when none runs.
bool PostMessage(HWND hWnd, UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0);
LRESULT SendMessage(HWND hWnd, UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0);

} // namespace platform
