#include "ui/CLauncherDlg.h"

#include "app/CGP_LogFile.h"
#include "platform/window/WindowSystem.h"
#include "resources/DialogTemplates.h"

std::atomic<CLauncherDlg*> CLauncherDlg::s_pMainWindow{nullptr};
std::atomic<platform::HWND> CLauncherDlg::s_hMainWindow{0};

CLauncherDlg::CLauncherDlg(platform::Window* pParent)
    : platform::Dialog(*resources::FindDialogTemplate(resources::IDD_LAUNCHER_DIALOG), pParent)
{
    // Step 1 is the member initialisers. Step 2: publish the window.
    s_pMainWindow = this;
    // Step 3: the version text; without a version it stays empty.
    strVersion = GetOwnVersionText().value_or(std::wstring());
    // Step 4 (the application icon) comes with the skin's resources.
}

CLauncherDlg::~CLauncherDlg()
{
    s_hMainWindow = 0;
    DestroyWindow();
    s_pMainWindow = nullptr;
}

bool CLauncherDlg::OnInitDialog()
{
    SessionLog()->Write(L"Start Init CLauncherDlg")->Write(L"\r\n");
    SetWindowText(L"Brevanto Games");

    // Centred on the screen, computed in floating point and truncated.
    auto pSystem = platform::WindowSystem::Get();
    platform::Size screen = pSystem->GetDriver().GetScreenSize();
    int x = static_cast<int>((screen.cx - kWidth) * 0.5);
    int y = static_cast<int>((screen.cy - kHeight) * 0.5);
    MoveWindow(x, y, kWidth, kHeight);

    s_hMainWindow = GetSafeHwnd();
    return true;
}

const platform::MessageMap& CLauncherDlg::GetMessageMap() const
{
    static const platform::MessageMap map(
        &Dialog::GetMessageMap(),
        {
            platform::OnMessage(WM_WORKER_ANNOUNCE_UPDATE, &CLauncherDlg::OnWorkerAnnounceUpdate),
        });
    return map;
}

void CLauncherDlg::InvalidateFromWorker()
{
    if (platform::HWND hWnd = s_hMainWindow.load(); hWnd && GetMainWindow() == this)
        platform::PostMessage(hWnd, platform::WM_INVALIDATE, 1);
}

void CLauncherDlg::AnnounceUpdate()
{
    bUpdateButtonShown = true;
    ++nUpdateBlinks;
    if (platform::HWND hWnd = s_hMainWindow.load(); hWnd && GetMainWindow() == this)
        platform::PostMessage(hWnd, WM_WORKER_ANNOUNCE_UPDATE);
}

platform::LRESULT CLauncherDlg::OnWorkerAnnounceUpdate(platform::WPARAM, platform::LPARAM)
{
    // The skinned update button is shown and set blinking here once it exists.
    Invalidate();
    return 0;
}

std::wstring CLauncherDlg::GetDetailGameId() const
{
    std::lock_guard guard(m_detailLock);
    return m_strDetailGameId;
}

void CLauncherDlg::SetDetailGameId(std::wstring strId)
{
    std::lock_guard guard(m_detailLock);
    m_strDetailGameId = std::move(strId);
}
