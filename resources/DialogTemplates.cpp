#include "DialogTemplates.h"

#include "platform/window/Window.h"

namespace resources {

namespace {

// The main window: a borderless popup of 750 x 604 pixels (500 x 372 dialog units).
platform::DialogTemplate MakeLauncherDialog()
{
    platform::DialogTemplate dlg;
    dlg.nId = IDD_LAUNCHER_DIALOG;
    dlg.nStyle = platform::WS_POPUP | platform::WS_VISIBLE | platform::DS_SETFONT;
    dlg.cx = 500;
    dlg.cy = 372;
    return dlg;
}

} // namespace

const platform::DialogTemplate* FindDialogTemplate(uint32_t nId)
{
    static const platform::DialogTemplate launcher = MakeLauncherDialog();
    switch (nId) {
    case IDD_LAUNCHER_DIALOG:
        return &launcher;
    default:
        return nullptr;
    }
}

} // namespace resources
