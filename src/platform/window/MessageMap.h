#pragma once

// Message maps: each window class states, in one table, which messages and notifications it
// handles and by which of its methods. A class's map chains to its base class's map; what no
// map handles goes to the window's default handling.
//
//     const platform::MessageMap& CLauncherDlg::GetMessageMap() const
//     {
//         static const platform::MessageMap map(&Dialog::GetMessageMap(), {
//             platform::OnPaint(&CLauncherDlg::OnPaint),
//             platform::OnMessage(0x4C8, &CLauncherDlg::OnMessage_Nsis_Start_download),
//             platform::OnNotify(BMPBN_CLICKED, 1025, &CLauncherDlg::OnBnClickedClose),
//         });
//         return map;
//     }

#include "platform/gdi/Geometry.h"
#include "platform/window/Message.h"

#include <functional>
#include <initializer_list>
#include <vector>

namespace platform {

class Window;

class MessageMap
{
public:
    // True when the entry took the message; its result then goes to lResult.
    using Entry =
        std::function<bool(Window& window, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)>;

    MessageMap(const MessageMap* pBase, std::initializer_list<Entry> entries)
        : m_pBase(pBase), m_arrEntries(entries)
    {
    }

    bool Dispatch(Window& window, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) const
    {
        for (const MessageMap* pMap = this; pMap; pMap = pMap->m_pBase) {
            for (const Entry& entry : pMap->m_arrEntries) {
                if (entry(window, nMsg, wParam, lParam, lResult))
                    return true;
            }
        }
        return false;
    }

private:
    const MessageMap* m_pBase;
    std::vector<Entry> m_arrEntries;
};

// Any message, with its raw parameters.
template <class T> MessageMap::Entry OnMessage(UINT nMessage, LRESULT (T::*pfn)(WPARAM, LPARAM))
{
    return [nMessage, pfn](Window& window, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
        if (nMsg != nMessage)
            return false;
        lResult = (static_cast<T&>(window).*pfn)(wParam, lParam);
        return true;
    };
}

// A message without parameters (WM_PAINT, WM_CLOSE, WM_DESTROY ...).
template <class T> MessageMap::Entry OnSignal(UINT nMessage, void (T::*pfn)())
{
    return [nMessage, pfn](Window& window, UINT nMsg, WPARAM, LPARAM, LRESULT& lResult) {
        if (nMsg != nMessage)
            return false;
        (static_cast<T&>(window).*pfn)();
        lResult = 0;
        return true;
    };
}

template <class T> MessageMap::Entry OnPaint(void (T::*pfn)())
{
    return OnSignal(WM_PAINT, pfn);
}

template <class T> MessageMap::Entry OnTimer(void (T::*pfn)(uintptr_t nIdEvent))
{
    return [pfn](Window& window, UINT nMsg, WPARAM wParam, LPARAM, LRESULT& lResult) {
        if (nMsg != WM_TIMER)
            return false;
        (static_cast<T&>(window).*pfn)(wParam);
        lResult = 0;
        return true;
    };
}

// Mouse messages: the key-state flags and the position in client coordinates.
template <class T> MessageMap::Entry OnMouse(UINT nMessage, void (T::*pfn)(UINT nFlags, Point pt))
{
    return [nMessage, pfn](Window& window, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
        if (nMsg != nMessage)
            return false;
        (static_cast<T&>(window).*pfn)(static_cast<UINT>(wParam),
                                       Point{GetXParam(lParam), GetYParam(lParam)});
        lResult = 0;
        return true;
    };
}

// WM_SETCURSOR: return true when the handler set the cursor, so the parents are not asked.
template <class T>
MessageMap::Entry OnSetCursor(bool (T::*pfn)(HWND hWndUnder, UINT nHitTest, UINT nMouseMsg))
{
    return [pfn](Window& window, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
        if (nMsg != WM_SETCURSOR)
            return false;
        lResult =
            (static_cast<T&>(window).*pfn)(static_cast<HWND>(wParam), LowWord(static_cast<uintptr_t>(lParam)),
                                           HighWord(static_cast<uintptr_t>(lParam)))
                ? 1
                : 0;
        return true;
    };
}

// WM_COMMAND from a control or a menu id, with a notification code (BN_CLICKED by default).
template <class T> MessageMap::Entry OnCommand(UINT nId, void (T::*pfn)(), UINT nCode = BN_CLICKED)
{
    return [nId, nCode, pfn](Window& window, UINT nMsg, WPARAM wParam, LPARAM, LRESULT& lResult) {
        if (nMsg != WM_COMMAND || LowWord(wParam) != nId || HighWord(wParam) != nCode)
            return false;
        (static_cast<T&>(window).*pfn)();
        lResult = 0;
        return true;
    };
}

// WM_NOTIFY with a code from the control nId.
template <class T>
MessageMap::Entry OnNotify(UINT nCode, UINT nId, void (T::*pfn)(NMHDR* pHeader, LRESULT* pResult))
{
    return [nCode, nId, pfn](Window& window, UINT nMsg, WPARAM, LPARAM lParam, LRESULT& lResult) {
        if (nMsg != WM_NOTIFY)
            return false;
        auto* pHeader = reinterpret_cast<NMHDR*>(lParam);
        if (!pHeader || pHeader->code != nCode || pHeader->idFrom != nId)
            return false;
        lResult = 0;
        (static_cast<T&>(window).*pfn)(pHeader, &lResult);
        return true;
    };
}

} // namespace platform
