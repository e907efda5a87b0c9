#include "DialogTemplates.h"

#include "platform/window/StockControls.h"
#include "platform/window/Window.h"

namespace resources {

namespace {

using platform::DialogControlTemplate;
using platform::DialogTemplate;

constexpr uint32_t kVisible = platform::WS_VISIBLE;
constexpr uint32_t kChild = kVisible | platform::WS_TABSTOP;

DialogControlTemplate Control(uint32_t nId, const wchar_t* pszClass, const wchar_t* pszText, int x, int y,
                              int cx, int cy, uint32_t nStyle)
{
    DialogControlTemplate control;
    control.strClass = pszClass;
    control.strText = pszText;
    control.nId = nId;
    control.x = x;
    control.y = y;
    control.cx = cx;
    control.cy = cy;
    control.nStyle = nStyle;
    return control;
}

// The main window's controls are placed in pixels when it initialises; the template holds the
// same rectangles (left, top, right, bottom in pixels) in dialog units, rounded to the nearest.
DialogControlTemplate PixelControl(uint32_t nId, const wchar_t* pszClass, const wchar_t* pszText, int nLeft,
                                   int nTop, int nRight, int nBottom, uint32_t nStyle)
{
    auto horizontal = [](int px) { return (px * 4 + 3) / 6; };
    auto vertical = [](int px) { return (px * 8 + 6) / 13; };
    return Control(nId, pszClass, pszText, horizontal(nLeft), vertical(nTop), horizontal(nRight - nLeft),
                   vertical(nBottom - nTop), nStyle);
}

// The main window: a borderless popup; it sizes itself to 750 x 604 pixels and takes its shape
// from its outline when it initialises.
DialogTemplate MakeLauncherDialog()
{
    DialogTemplate dlg;
    dlg.nId = IDD_LAUNCHER_DIALOG;
    dlg.nStyle = platform::WS_POPUP | platform::WS_VISIBLE | platform::DS_SETFONT;
    dlg.cx = 499;
    dlg.cy = 338;
    dlg.strFont = L"Microsoft Sans Serif";
    dlg.arrControls = {
        PixelControl(1024, L"BUTTON", L"", 4, 4, 165, 65, kChild),
        PixelControl(1004, L"BUTTON", L"Game", 385, 31, 550, 68, kChild),
        PixelControl(1005, L"BUTTON", L"All games", 550, 31, 715, 68, kChild),
        PixelControl(1026, L"BUTTON", L"", 635, 0, 680, 25, kChild),
        PixelControl(1025, L"BUTTON", L"", 680, 0, 725, 25, kChild),
        PixelControl(1015, L"BUTTON", L"Download", 550, 450, 705, 493, kChild),
        PixelControl(1027, L"BUTTON", L"", 10, 526, 210, 546, kChild),
        PixelControl(1029, L"STATIC", L"Contact support", 630, 526, 750, 546,
                     kVisible | platform::SS_LEFT | SS_NOTIFY),
    };
    return dlg;
}

// The two pages: hidden children without a caption.
DialogTemplate MakePage(uint32_t nId)
{
    DialogTemplate dlg;
    dlg.nId = nId;
    dlg.nStyle = platform::WS_CHILD | platform::DS_SETFONT;
    dlg.cx = 499;
    dlg.cy = 210;
    if (nId == IDD_PAGE_ONE) {
        dlg.arrControls = {
            Control(1006, L"BUTTON", L"", 356, 43, 132, 123, kChild),
            Control(1007, L"BUTTON", L"Exit", 125, 87, 103, 27, kChild),
        };
    } else {
        dlg.arrControls = {
            Control(1014, L"SysListView32", L"", 14, 19, 471, 187,
                    kChild | LVS_REPORT | LVS_ALIGNLEFT | LVS_NOSCROLL | LVS_NOCOLUMNHEADER),
        };
    }
    return dlg;
}

// The removal question and the update progress: skinned popups without a caption, shaped and
// sized to 320 x 230 pixels when they initialise.
DialogTemplate MakeSmallDialog(uint32_t nId)
{
    DialogTemplate dlg;
    dlg.nId = nId;
    dlg.nStyle = platform::WS_POPUP | platform::DS_SETFONT;
    dlg.cx = 213;
    dlg.cy = 141;
    if (nId == IDD_UNINSTALL) {
        dlg.arrControls = {
            Control(platform::IDOK, L"BUTTON", L"OK", 58, 106, 40, 20, kChild | platform::BS_DEFPUSHBUTTON),
            Control(platform::IDCANCEL, L"BUTTON", L"Cancel", 117, 106, 40, 20, kChild),
            Control(1025, L"BUTTON", L"", 190, 7, 14, 13, kChild),
        };
    } else {
        dlg.arrControls = {
            Control(platform::IDCANCEL, L"BUTTON", L"Close", 85, 111, 40, 20, kChild),
            Control(1025, L"BUTTON", L"", 190, 7, 14, 13, kChild),
        };
    }
    return dlg;
}

// The error report: a plain dialog with a caption and a system menu.
DialogTemplate MakeExceptionDialog()
{
    constexpr uint32_t kStatic = kVisible | platform::SS_LEFT;
    constexpr uint32_t kEdit = kChild | WS_BORDER | ES_AUTOHSCROLL;
    DialogTemplate dlg;
    dlg.nId = IDD_EXCEPTION;
    dlg.nStyle = platform::WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | platform::DS_SETFONT;
    dlg.cx = 261;
    dlg.cy = 161;
    dlg.strCaption = L"Application error";
    // Static controls without an id of their own carry the classic "no id", 0xFFFF.
    dlg.arrControls = {
        Control(platform::IDCANCEL, L"BUTTON", L"Don't send", 204, 140, 50, 14, kChild),
        // The application icon (icon resource 128); the dialog gives the control its picture.
        Control(0xFFFF, L"STATIC", L"#128", 7, 7, 20, 20, kVisible | platform::SS_ICON),
        Control(0xFFFF, L"STATIC", L"An error occured while running Brevanto Games Launcher.", 40, 15, 199, 8,
                kStatic),
        Control(0xFFFF, L"STATIC", L"Would you like a bug report to be composed and sent to the developer?",
                21, 32, 232, 8, kStatic),
        Control(1037, L"EDIT", L"", 7, 59, 247, 14, kEdit),
        Control(1038, L"EDIT", L"", 7, 89, 247, 47, kEdit),
        Control(0xFFFF, L"STATIC", L"Your email address (optional) - for us to get back to you:", 7, 49, 232,
                8, kStatic),
        Control(0xFFFF, L"STATIC", L"Problem description (what you were doing when it happened):", 8, 79, 232,
                8, kStatic),
        Control(1039, L"STATIC", L"System report attached.", 7, 146, 128, 8, kStatic),
        Control(3, L"BUTTON", L"Send", 152, 140, 50, 14, kChild | platform::BS_DEFPUSHBUTTON),
    };
    return dlg;
}

} // namespace

const platform::DialogTemplate* FindDialogTemplate(uint32_t nId)
{
    static const DialogTemplate launcher = MakeLauncherDialog();
    static const DialogTemplate pageOne = MakePage(IDD_PAGE_ONE);
    static const DialogTemplate pageTwo = MakePage(IDD_PAGE_TWO);
    static const DialogTemplate uninstall = MakeSmallDialog(IDD_UNINSTALL);
    static const DialogTemplate update = MakeSmallDialog(IDD_UPDATE);
    static const DialogTemplate exception = MakeExceptionDialog();
    switch (nId) {
    case IDD_LAUNCHER_DIALOG:
        return &launcher;
    case IDD_PAGE_ONE:
        return &pageOne;
    case IDD_PAGE_TWO:
        return &pageTwo;
    case IDD_UNINSTALL:
        return &uninstall;
    case IDD_UPDATE:
        return &update;
    case IDD_EXCEPTION:
        return &exception;
    default:
        return nullptr;
    }
}

} // namespace resources
