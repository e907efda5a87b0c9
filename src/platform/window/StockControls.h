#pragma once

// The few stock controls that dialog templates carry: static text, push buttons and a
// single-line edit. Skinned controls of the launcher are its own; these serve the plain dialogs.
//
// Thread rules: window thread only.

#include "platform/window/Window.h"

#include <string_view>

namespace platform {

// Static control styles.
enum : uint32_t
{
    SS_LEFT = 0x0,
    SS_CENTER = 0x1,
    SS_RIGHT = 0x2,
    SS_ICON = 0x3,
    SS_NOPREFIX = 0x80,
};

// Button styles.
enum : uint32_t
{
    BS_PUSHBUTTON = 0x0,
    BS_DEFPUSHBUTTON = 0x1,
};

bool EqualsClass(std::wstring_view a, std::wstring_view b);

class Image;

// Text on the parent's background, wrapped at words; with SS_ICON, a picture (the caller keeps
// the image alive) drawn at the control's corner with its alpha.
class StaticControl : public Window
{
public:
    void SetIcon(const Image* pIcon);
    const Image* GetIcon() const { return m_pIcon; }

protected:
    void OnDefaultPaint(Canvas& dc) override;

private:
    const Image* m_pIcon = nullptr;
};

// A push button: a click (press and release inside) sends WM_COMMAND BN_CLICKED to the parent;
// so do Space and Enter while it has the focus.
class PushButton : public Window
{
public:
    bool IsPressed() const { return m_bPressed && m_bInside; }

protected:
    const MessageMap& GetMessageMap() const override;
    void OnDefaultPaint(Canvas& dc) override;

private:
    void OnLButtonDown(UINT nFlags, Point pt);
    void OnLButtonUp(UINT nFlags, Point pt);
    void OnMouseMove(UINT nFlags, Point pt);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    void Click();

    bool m_bPressed = false;
    bool m_bInside = false;
};

// A single-line edit with a caret and a selection.
class EditControl : public Window
{
public:
    void SetSel(size_t nStart, size_t nEnd);
    size_t GetCaret() const { return m_nCaret; }
    std::pair<size_t, size_t> GetSel() const;
    void SetLimitText(size_t nMax) { m_nLimit = nMax; }

protected:
    const MessageMap& GetMessageMap() const override;
    void OnDefaultPaint(Canvas& dc) override;

private:
    void OnLButtonDown(UINT nFlags, Point pt);
    void OnMouseMove(UINT nFlags, Point pt);
    void OnLButtonUp(UINT nFlags, Point pt);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnChar(WPARAM wParam, LPARAM lParam);
    void OnTimer(uintptr_t nIdEvent);
    void OnSetFocus();
    void OnKillFocus();
    void ReplaceSelection(std::wstring_view text);
    void MoveCaret(size_t nPos, bool bExtend);
    size_t HitTestText(int x) const;
    const Font& CurrentFont() const;

    size_t m_nCaret = 0;
    size_t m_nAnchor = 0;
    size_t m_nLimit = 32767;
    int m_nScroll = 0;
    bool m_bCaretOn = false;
    bool m_bSelecting = false;
};

} // namespace platform
