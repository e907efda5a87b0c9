#pragma once

// A tooltip: a small borderless popup that shows a one-line text beside the pointer when it rests
// on one of the tooltip's tools (any windows), the way the launcher's buttons explain themselves.
//
// The tooltip watches each tool through the tool's message observer, so a tool needs no code of
// its own. Its popup is a top-level window made on the first AddTool; it has no title, so it does
// not listen for other programs' messages.
//
// What the tip does, by the pointer's way over a tool T (a state per column, the new state or
// action in each cell; "-" keeps the state):
//
//     event                          Idle        Waiting(T)   Shown(T)          Done(T)
//     WM_MOUSEMOVE over T            Waiting(T)  -            -                 -
//     WM_MOUSEMOVE over another U    Waiting(U)  Waiting(U)   hide, Waiting(U)  Waiting(U)
//     initial delay (500 ms) ends    -           Shown(T)     -                 -
//     button press on T              -           Done(T)      hide, Done(T)     -
//     WM_MOUSELEAVE of T             -           Idle         hide, Idle        Idle
//     auto-pop (5 s) ends            -           -            hide, Done(T)     -
//     T destroyed, hidden, removed   -           Idle         hide, Idle        Idle
//
// Done(T) keeps the tip away until the pointer leaves T, so a click or an expired tip does not
// come back while the pointer stays. A destroyed or hidden tool is noticed when the delay ends
// and, while the tip shows, by a short watch timer: such a tool sends no message that says so.
//
// Tools are held by handle, never by pointer: a tool destroyed first leaves only a stale handle,
// which names no window. The tooltip removes its observer from the tools still alive when it goes;
// an observer left on a tool it could not reach (destroyed before, created again later) does
// nothing, since it only holds a weak link to the tooltip.
//
// A window has one observer: a tool belongs to one tooltip at a time.
//
// Thread rules: window thread only.

#include "platform/gdi/Font.h"
#include "platform/window/Window.h"

#include <memory>
#include <string>
#include <vector>

namespace platform {

inline constexpr COLORREF kToolTipBackground = 0xE1FFFF; // the classic pale yellow
inline constexpr COLORREF kToolTipText = 0x000000;
inline constexpr COLORREF kToolTipFrame = 0x646464;

class ToolTip : public Window
{
public:
    static constexpr uint32_t kInitialDelay = 500;  // ms the pointer rests before the tip shows
    static constexpr uint32_t kAutoPopDelay = 5000; // ms the tip stays
    static constexpr int kCursorOffsetY = 20;       // the tip's top below the pointer
    static constexpr int kPadding = 4;              // between the frame and the text
    static constexpr int kFrame = 1;

    ToolTip();
    ~ToolTip() override;

    // Registers the tool with its text, or replaces the text of a registered tool (the shown tip
    // too). Makes the popup on first use. False when the tool is not a live window or no window
    // system runs.
    bool AddTool(Window& tool, const std::wstring& strText);
    // Forgets the tool and takes the observer off it; hides the tip if it was the tool's.
    void RemoveTool(Window& tool);
    // Replaces a registered tool's text; nothing for a tool that is not registered.
    void UpdateTipText(Window& tool, const std::wstring& strText);

    void SetTipBkColor(COLORREF nColor);
    void SetTipTextColor(COLORREF nColor);
    COLORREF GetTipBkColor() const { return m_nBkColor; }
    COLORREF GetTipTextColor() const { return m_nTextColor; }

    // An inactive tooltip hides and ignores its tools until activated again.
    void Activate(bool bActivate);

    bool IsShowing() const { return IsCreated() && IsWindowVisible(); }
    // The text of the tip on screen; empty while none shows.
    const std::wstring& GetShownText() const { return m_strShown; }

protected:
    const MessageMap& GetMessageMap() const override;
    void OnDefaultPaint(Canvas& dc) override;

private:
    enum class State
    {
        Idle,
        Waiting,
        Shown,
        Done,
    };
    struct Tool
    {
        HWND hWnd = 0;
        std::wstring strText;
    };

    bool EnsureWindow();
    Tool* FindTool(HWND hWnd);
    void ForgetDeadTools();
    void OnToolMessage(Window& tool, UINT nMsg, WPARAM wParam, LPARAM lParam);
    void OnTimer(uintptr_t nIdEvent);
    // The tool under the pointer, if it is still registered, alive and visible.
    const Tool* LiveHoverTool();
    void StartWaiting(HWND hTool);
    void Show(const Tool& tool);
    void Hide(State next);
    Rect PlaceTip(Size size) const;

    // The observers' link to this object; they hold it weakly and do nothing once it is gone.
    std::shared_ptr<ToolTip*> m_pSelf;
    std::vector<Tool> m_arrTools;
    Font m_font;
    COLORREF m_nBkColor = kToolTipBackground;
    COLORREF m_nTextColor = kToolTipText;
    bool m_bActive = true;

    State m_state = State::Idle;
    HWND m_hHoverTool = 0; // the tool T of the state
    Point m_ptCursor;      // the pointer on the tool (screen), frozen once the tip shows
    std::wstring m_strShown;
};

} // namespace platform
