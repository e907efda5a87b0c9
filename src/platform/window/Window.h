#pragma once

// A window of our window system: a rectangle in a tree of windows that receives messages.
//
// Windows are C++ objects owned by their creators (members and locals, as the launcher's windows
// are); Create makes the window live and gives it a handle, DestroyWindow or the destructor ends
// it and its children. Top-level windows (no parent) own a pixel surface and a native window of
// the display; children paint into their top-level's surface, parent first, then children in
// creation order, so later siblings lie on top.
//
// Every window has no frame: its client area is the whole window.
//
// A top-level window with a title listens for messages from other programs (platform/ipc): a
// message sent to the title is handled as a SendMessage to the window, and its result returned.
//
// Thread rules: a Window is used on the window thread only. Other threads reach it through its
// handle with platform::PostMessage and platform::SendMessage (WindowSystem.h).

#include "platform/gdi/Font.h"
#include "platform/gdi/Geometry.h"
#include "platform/gdi/Region.h"
#include "platform/gdi/Surface.h"
#include "platform/window/DisplayDriver.h"
#include "platform/window/Message.h"
#include "platform/window/MessageMap.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Window style bits (the values the dialog templates carry).
enum : uint32_t
{
    WS_POPUP = 0x80000000,
    WS_CHILD = 0x40000000,
    WS_MINIMIZE = 0x20000000,
    WS_VISIBLE = 0x10000000,
    WS_DISABLED = 0x08000000,
    WS_CLIPSIBLINGS = 0x04000000,
    WS_CLIPCHILDREN = 0x02000000,
    WS_TABSTOP = 0x00010000,
    DS_SETFONT = 0x00000040,
};

// ShowWindow commands.
enum : int
{
    SW_HIDE = 0,
    SW_SHOWNORMAL = 1,
    SW_SHOWMINIMIZED = 2,
    SW_SHOWNOACTIVATE = 4,
    SW_SHOW = 5,
    SW_MINIMIZE = 6,
    SW_RESTORE = 9,
};

class Canvas;
class IpcServer;
class WindowSystem;

class Window
{
public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Makes the window live. A child's rectangle is in its parent's client coordinates, a
    // top-level window's in screen coordinates. Sends WM_CREATE; false when no window system runs.
    bool Create(Window* pParent, const Rect& rect, uint32_t nStyle, uint32_t nId,
                const std::wstring& strText = {});
    // Destroys the children, sends WM_DESTROY and ends the window. Safe to call twice.
    void DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    bool IsCreated() const { return m_hWnd != 0; }
    uint32_t GetDlgCtrlID() const { return m_nId; }
    void SetDlgCtrlID(uint32_t nId) { m_nId = nId; }
    uint32_t GetStyle() const { return m_nStyle; }
    void ModifyStyle(uint32_t nRemove, uint32_t nAdd) { m_nStyle = (m_nStyle & ~nRemove) | nAdd; }

    Window* GetParent() const { return m_pParent; }
    Window* GetOwner() const { return m_pOwner; }
    Window* GetTopLevel();
    Window* GetDlgItem(uint32_t nId) const;
    const std::vector<Window*>& GetChildren() const { return m_arrChildren; }

    // Geometry. A child's window rectangle is in its parent's client coordinates.
    Rect GetClientRect() const { return Rect{0, 0, m_rcWindow.Width(), m_rcWindow.Height()}; }
    Rect GetWindowRectInParent() const { return m_rcWindow; }
    // The window's rectangle in screen coordinates.
    Rect GetWindowRect() const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, bool bRepaint = true);
    void MoveWindow(const Rect& rect, bool bRepaint = true);
    Point ClientToScreen(Point pt) const;
    Point ScreenToClient(Point pt) const;
    // Client coordinates of this window relative to its top-level window's client area.
    Point GetOffsetInTopLevel() const;

    bool ShowWindow(int nCmdShow);
    bool IsWindowVisible() const; // visible itself and every ancestor
    bool IsIconic() const { return m_bIconic; }
    bool EnableWindow(bool bEnable);
    bool IsWindowEnabled() const { return (m_nStyle & WS_DISABLED) == 0; }

    void SetWindowText(const std::wstring& strText);
    const std::wstring& GetWindowText() const { return m_strText; }

    void SetFont(const Font* pFont, bool bRedraw = true);
    const Font* GetFont() const { return m_pFont; }

    // Marks part of the window (client coordinates; null = all of it) for repainting; the paint
    // happens once, when the window thread has nothing else to do.
    void InvalidateRect(const Rect* pRect, bool bErase = true);
    void Invalidate(bool bErase = true) { InvalidateRect(nullptr, bErase); }
    // Paints what is invalid now, without waiting for the queue to empty.
    void UpdateWindow();

    bool SetTimer(uintptr_t nIdEvent, uint32_t nElapse);
    bool KillTimer(uintptr_t nIdEvent);

    Window* SetCapture();
    static bool ReleaseCapture();
    static Window* GetCapture();
    Window* SetFocus();
    static Window* GetFocus();

    // The window's shape (top-level windows): the parts outside the region are not shown and
    // get no mouse input. The window keeps its own copy.
    bool SetWindowRgn(std::optional<Region> region, bool bRedraw = true);

    // Runs a nested message loop until EndModalLoop, with the owner window disabled meanwhile.
    // Returns the result given to EndModalLoop (or -1 when the window was destroyed).
    int RunModalLoop();
    // Ends the modal loop of this window. Safe from any thread; before the loop runs it makes
    // the loop return at once.
    void EndModalLoop(int nResult);

    // The pixels of a top-level window as last painted (null for a child).
    const Surface* GetSurface() const { return m_pParent || !IsCreated() ? nullptr : &m_surface; }
    NativeWindowId GetNativeId() const { return m_nNative; }

    LRESULT SendMessage(UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessage(UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0);

    // Sends WM_NOTIFY with the record to the parent; the record's header is filled in here.
    LRESULT NotifyParent(NMHDR& header, UINT nCode);

    // The handle's window, or null when the handle names no live window (window thread only).
    static Window* FromHandle(HWND hWnd);

    // Sees every mouse message of the window (WM_MOUSEMOVE to WM_MOUSEWHEEL, WM_MOUSELEAVE) before
    // its own handlers do; a tooltip watches its tools this way. One observer per window; an
    // empty function removes it.
    using MessageObserver = std::function<void(Window& window, UINT nMsg, WPARAM wParam, LPARAM lParam)>;
    void SetMessageObserver(MessageObserver observer) { m_observer = std::move(observer); }

    // Handles one message: the message map of the most derived class first, then its bases',
    // then DefWindowProc.
    virtual LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam);

protected:
    virtual const MessageMap& GetMessageMap() const;
    LRESULT DefWindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam);

    // Called with the canvas of a paint when the window has no WM_PAINT entry of its own.
    virtual void OnDefaultPaint(Canvas& dc);
    // Clicks deliver WM_LBUTTONDBLCLK only to windows that say they want it; others get a
    // second WM_LBUTTONDOWN, as a class without double clicks does.
    void SetWantsDoubleClicks(bool bWants) { m_bWantsDoubleClicks = bWants; }

private:
    friend class WindowSystem;
    friend class PaintDC;
    friend class Dialog;

    HWND m_hWnd = 0;
    uint32_t m_nId = 0;
    uint32_t m_nStyle = 0;
    Window* m_pParent = nullptr; // child windows
    Window* m_pOwner = nullptr;  // top-level windows made with a parent: their owner
    std::vector<Window*> m_arrChildren;
    Rect m_rcWindow;
    std::wstring m_strText;
    const Font* m_pFont = nullptr;
    bool m_bIconic = false;
    bool m_bWantsDoubleClicks = false;
    MessageObserver m_observer;
    std::atomic<bool> m_bModalEnded{false};
    std::atomic<int> m_nModalResult{0};

    // Top-level windows only.
    NativeWindowId m_nNative = 0;
    Surface m_surface;
    std::optional<Region> m_region;
    Rect m_rcInvalid; // client coordinates; empty when nothing waits for paint
    // A titled top-level window takes messages from other programs through this listener.
    std::unique_ptr<IpcServer> m_pIpc;
    std::shared_ptr<std::atomic<bool>> m_pbIpcClosing;
    void UpdateIpcListener();
    void StopIpcListener();
};

} // namespace platform
