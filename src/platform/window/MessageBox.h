#pragma once

// The message box: a modal dialog with a caption, an icon, a text and a row of buttons, and the
// beep that goes with it.
//
// The box is a Dialog built from a template made for its text: the text wraps at
// kMessageBoxTextWidth pixels, the box grows to hold it, and the buttons sit centred at the
// bottom. Like every window of ours it has no frame, so it draws its own caption bar. It is owned
// by the owner's top-level window, which stays disabled while the box runs, and shows centred on
// that window (on the screen without one).
//
// Keys: Enter gives the first button. Escape and a close request give IDCANCEL where there is a
// Cancel button, IDOK for a box with OK alone, and nothing for Yes/No, which must be answered.
//
// Thread rules: window thread only. MessageBox returns 0 at once on any other thread.

#include "platform/gdi/Font.h"
#include "platform/window/Dialog.h"

#include <string>

namespace platform {

// Button sets (the low four bits of a type) and icons (the next four).
enum : UINT
{
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_TYPEMASK = 0xF,
    MB_ICONHAND = 0x10,
    MB_ICONERROR = MB_ICONHAND,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONWARNING = MB_ICONEXCLAMATION,
    MB_ICONINFORMATION = 0x40,
    MB_ICONMASK = 0xF0,
};

inline constexpr int kMessageBoxTextWidth = 360; // pixels; a multiple of 3, so whole dialog units

// Shows the box modally and returns the button's id: IDOK, IDCANCEL, IDYES or IDNO. 0 when it
// could not be shown (no window system, not the window thread).
int MessageBox(Window* pOwner, const std::wstring& strText, const std::wstring& strCaption, UINT nType);

// The display's beep; the type says which sound the caller means, the display has one.
void MessageBeep(UINT nType);

class MessageBoxWindow : public Dialog
{
public:
    // The controls besides the buttons, whose ids are the answers.
    static constexpr UINT kIconId = 20;
    static constexpr UINT kTextId = 0xFFFF;

    ~MessageBoxWindow() override;

    // The box that opened last and is still open, or null. Tests and nested code find it here.
    static MessageBoxWindow* GetOpen();

    UINT GetType() const { return m_nType; }
    // The button Enter gives.
    UINT GetDefaultButton() const;

protected:
    const MessageMap& GetMessageMap() const override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDefaultPaint(Canvas& dc) override;

private:
    friend int MessageBox(Window*, const std::wstring&, const std::wstring&, UINT);

    MessageBoxWindow(const DialogTemplate& dialogTemplate, UINT nType, Window* pOwner);

    LRESULT OnCommandMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    void CenterOnOwner();
    void DrawIcon(Canvas& dc, const Rect& rc) const;

    UINT m_nType;
    Font m_fontCaption;
    Font m_fontGlyph;
};

} // namespace platform
