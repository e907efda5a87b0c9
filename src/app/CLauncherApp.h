#pragma once

// The application object: one launcher at a time, a framed session log, the modal main window
// under a guard, and the shutdown in its order.
//
// Thread rules: main thread only.

#include <string>

class CLauncherDlg;

class CLauncherApp
{
public:
    // The name of the single-instance lock.
    static constexpr const wchar_t* kInstanceName = L"Brevanto Launcher";

    // Runs the launcher; returns the process exit code: 0 after a normal run and for a second
    // launcher, which ends at once; 1 when there is no display.
    int Run();

private:
    // Sets up the crash capture and runs the window modally inside the guard.
    void RunMainWindow(CLauncherDlg& dlg);
};
