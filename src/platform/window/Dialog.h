#pragma once

// A dialog: a window built from a template, run modally (DoModal, with its own nested loop) or
// created modeless (pages inside another window).
//
// Enter and Escape reach the dialog as the commands IDOK and IDCANCEL; their default handlers
// and the close command end the dialog with IDOK or IDCANCEL.
//
// Thread rules: window thread, except EndDialog, which any thread may call.

#include "platform/gdi/Font.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Window.h"

#include <memory>
#include <vector>

namespace platform {

inline constexpr COLORREF kDialogBackground = 0xF0F0F0; // the button-face grey

class Dialog : public Window
{
public:
    Dialog(const DialogTemplate& dialogTemplate, Window* pParent = nullptr);
    ~Dialog() override;

    // Creates the dialog as a top-level window owned by the parent, runs it modally and
    // destroys it. Returns the EndDialog result, or -1 when it could not be created.
    int DoModal();
    // Creates the dialog without a modal loop: a child of pParent for a child template
    // (WS_CHILD), a top-level window otherwise.
    bool CreateModeless(Window* pParent);
    // Ends the modal run with nResult. Any thread.
    void EndDialog(int nResult) { EndModalLoop(nResult); }

    // Puts a control object of the dialog's own in the place of the template's control nId: it
    // takes the id, rectangle, text, style and z-order of the template's control, which goes.
    bool SubclassDlgItem(uint32_t nId, Window& control);

    const Font& GetDialogFont() const { return m_font; }

protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    const MessageMap& GetMessageMap() const override;
    void OnDefaultPaint(Canvas& dc) override;

private:
    bool CreateFromTemplate(Window* pParent);
    LRESULT OnCommandMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    void OnClose();

    const DialogTemplate& m_template;
    Window* m_pParentWindow;
    Font m_font;
    std::vector<std::unique_ptr<Window>> m_arrTemplateControls;
};

} // namespace platform
