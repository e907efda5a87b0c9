#include "app/CLauncherApp.h"

#include "app/CGP_LogFile.h"
#include "platform/display/SdlDisplay.h"
#include "platform/fs/FileSystem.h"
#include "platform/ipc/TerminationSignals.h"
#include "platform/sync/InstanceLock.h"
#include "platform/text/Text.h"
#include "platform/window/WindowSystem.h"
#include "platform/process/Process.h"
#include "ui/CLauncherDlg.h"

#include <cstdio>
#include <optional>

int CLauncherApp::Run()
{
    // Step 1: one launcher at a time. A second one ends at once and silently.
    bool bAlreadyRunning = false;
    auto pInstanceLock = platform::InstanceLock::Acquire(kInstanceName, bAlreadyRunning);
    if (!pInstanceLock)
        return 0;

    // Step 4: the executable's folder.
    std::wstring strFolder = platform::GetFolderOf(platform::GetModuleFileName());

    // Step 5: the session log, framed.
    auto pLog = std::make_shared<CGP_LogFile>(platform::JoinPath(strFolder, L"Exception.log"), false);
    SetSessionLog(pLog);
    pLog->Open();

    int nExitCode = 0;
    std::string strError;
    std::unique_ptr<platform::DisplayDriver> pDriver = platform::OpenSdlDisplay(strError);
    std::shared_ptr<platform::WindowSystem> pSystem;
    if (pDriver)
        pSystem = platform::WindowSystem::Start(std::move(pDriver));
    if (!pSystem) {
        std::fprintf(stderr, "brevanto-launcher: no display: %s\n", strError.c_str());
        SessionLog()->Write(L"No display: ")->Write(platform::FromUtf8(strError))->Write(L"\r\n");
        nExitCode = 1;
    } else {
        pSystem->SetLog([](const std::wstring& strLine) { SessionLog()->Write(strLine); });
        // SIGTERM and SIGINT close the main window as its close command does.
        auto pSignals = platform::TerminationSignals::Install(
            [](int) { platform::PostMessage(CLauncherDlg::GetMainHandle(), platform::WM_CLOSE); });
        {
            // Step 6: the main window.
            std::optional<CLauncherDlg> dlg;
            dlg.emplace();
            dlg->strCommandLine = platform::GetCommandLine();
            // Step 7.
            SessionLog()->Write(L"Do modal CLauncherDlg")->Write(L"\r\n");
            // Step 8.
            RunMainWindow(*dlg);

            // Shutdown, in its order: the log's footer, the lock, then the main window.
            SetSessionLog(nullptr);
            pLog->Close();
            pInstanceLock.reset();
            dlg.reset();
        }
        pSignals.reset();
        pSystem->Stop();
        return nExitCode;
    }

    SetSessionLog(nullptr);
    pLog->Close();
    return nExitCode;
}

void CLauncherApp::RunMainWindow(CLauncherDlg& dlg)
{
    // The crash capture hooks in here: it installs its handlers before the modal run and turns
    // a crash inside it into a report and a normal end of the run.
    dlg.DoModal();
}
