#include "ui/CLauncherDlg.h"

#include "app/CGP_LogFile.h"
#include "catalogue/CatalogueSettings.h"
#include "catalogue/GameRecords.h"
#include "controls/CPictureEx.h"
#include "controls/DrawingHelpers.h"
#include "net/RefreshWorkers.h"
#include "net/tagRequest.h"
#include "platform/fs/FileSystem.h"
#include "platform/window/PaintDC.h"
#include "platform/window/WindowSystem.h"
#include "resources/DialogTemplates.h"
#include "resources/Resources.h"
#include "resources/StringTable.h"

#include <chrono>
#include <cwchar>

namespace {

constexpr uint32_t kIconId = 128;
constexpr uint32_t kBackgroundId = 138;
constexpr uint32_t kPanelEmptyId = 139;
constexpr uint32_t kOutlineId = 140;
constexpr uint32_t kPanelBannerId = 202;

} // namespace

std::atomic<CLauncherDlg*> CLauncherDlg::s_pMainWindow{nullptr};
std::atomic<platform::HWND> CLauncherDlg::s_hMainWindow{0};

CLauncherDlg::CLauncherDlg(platform::Window* pParent)
    : platform::Dialog(*resources::FindDialogTemplate(resources::IDD_LAUNCHER_DIALOG), pParent)
{
    // The members start empty, the port at 80. Then the window is published.
    s_pMainWindow = this;
    // The version text; without a version it stays empty.
    strVersion = GetOwnVersionText().value_or(std::wstring());
    // The application icon.
    std::span<const uint8_t> icon = resources::FindResource(kIconId, resources::kTypeIcon);
    if (auto image = platform::Image::Decode(icon.data(), icon.size()))
        imgIcon = std::move(*image);
}

CLauncherDlg::~CLauncherDlg()
{
    s_hMainWindow = 0;
    SaveAndFreeCatalogue();
    pPanelEmpty.reset();
    pPanelBanner.reset();
    pBackground.reset();
    pLauncherKey.reset();
    DestroyWindow();
    s_pMainWindow = nullptr;
}

bool CLauncherDlg::OnInitDialog()
{
    bDragging = false;
    SessionLog()->Write(L"Start Init CLauncherDlg")->Write(L"\r\n");
    ReadProxySettings();

    pLauncherKey = std::make_unique<CGP_Registry>(platform::RegistryRoot::LocalMachine, kLauncherKeyPath);
    pLauncherKey->CreateKeyAllPerm();

    platform::FontDescription bold{.strFace = L"Arial", .nWeight = 700};
    fontBoldArial = platform::Font::Create(bold);
    platform::FontDescription header{
        .strFace = L"Verdana", .nHeight = 16, .nWeight = 700, .nCharSet = platform::kRussianCharSet};
    fontHeader = platform::Font::Create(header);
    header.nWeight = 400;
    fontPlain = platform::Font::Create(header);

    // The panel pictures; animated ones run from the start.
    auto load = [this](uint32_t nId) {
        auto pPicture = std::make_unique<CPictureEx>(this);
        if (pPicture->LoadFromResource(nId, resources::kTypeGif))
            pPicture->Start();
        return pPicture;
    };
    pPanelEmpty = load(kPanelEmptyId);
    pPanelBanner = load(kPanelBannerId);
    pBackground = load(kBackgroundId);
    // The template's buttons and link wait for their skinned classes; until those take them
    // over, stock controls would only cover the artwork.
    for (platform::Window* pChild : GetChildren())
        pChild->ShowWindow(platform::SW_HIDE);
    SessionLog()->Write(L"Init Button")->Write(L"\r\n");

    MakeFolders();
    pLauncherKey->WriteString(L"", strExecutablePath);

    SessionLog()->Write(L"Loading Sets")->Write(L"\r\n");
    LoadSettings(strCommandLine);
    SessionLog()->Write(L"Sets Loaded")->Write(L"\r\n");

    InitGames();
    SetWindowText(L"Brevanto Games");
    ApplyWindowShape();
    RequestCommandLineGame(strCommandLine, strDownloadDir);
    StartBannerWorker();

    // Centred on the screen, computed in floating point and truncated.
    auto pSystem = platform::WindowSystem::Get();
    platform::Size screen = pSystem->GetDriver().GetScreenSize();
    int x = static_cast<int>((screen.cx - kWidth) * 0.5);
    int y = static_cast<int>((screen.cy - kHeight) * 0.5);
    MoveWindow(x, y, kWidth, kHeight);

    s_hMainWindow = GetSafeHwnd();
    return true;
}

void CLauncherDlg::LoadSettings(const std::wstring& strLine)
{
    ::LoadSettings(arrGames, strDownloadDir, strLine);
    m_bSettingsLoaded = true;
}

void CLauncherDlg::ReadProxySettings()
{
    SessionLog()->Write(L"Get Params Proxy")->Write(L"\r\n");
    CGP_Registry key(platform::RegistryRoot::CurrentUser,
                     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
    if (!key.Create())
        return;
    uint32_t nEnable = 0;
    key.ReadDword(L"ProxyEnable", nEnable);
    bProxyEnable = nEnable;
    if (bProxyEnable == 0)
        return;
    std::wstring strServer;
    key.ReadString(L"ProxyServer", strServer);
    size_t nColon = strServer.find(L':');
    strProxyHost = strServer.substr(0, nColon);
    // One host:port pair; without a colon the port reads as 0, as the integer conversion gives.
    nPort = nColon == std::wstring::npos
                ? 0
                : static_cast<uint16_t>(std::wcstol(strServer.c_str() + nColon + 1, nullptr, 10));
}

void CLauncherDlg::MakeFolders()
{
    strExecutablePath = platform::GetModuleFileName();
    strLauncherDir = platform::GetFolderOf(strExecutablePath);
    strReportDir = strLauncherDir;
    strDownloadDir = platform::JoinPath(strLauncherDir, L"download");
    platform::CreateFolder(strDownloadDir);
    SessionLog()->Write(L"Download Dir")->Write(strDownloadDir.c_str())->Write(L"\r\n");
    std::wstring strGames;
    if (pLauncherKey->ReadString(L"GamesInstallPath", strGames))
        strInstallDir = strGames;
    if (!strInstallDir.empty())
        platform::CreateFolder(strInstallDir);
}

void CLauncherDlg::InitGames()
{
    SessionLog()->Write(L"Init games")->Write(L"\r\n");
    std::vector<tagGames*> arrSnapshot = arrGames.Snapshot();
    SessionLog()->Write(L"games count:")->Write(std::to_wstring(arrSnapshot.size()).c_str())->Write(L"\r\n");
    for (tagGames* pGame : arrSnapshot)
        RefreshGameState(*pGame);
    // Each game's download and install worker starts here once that worker exists.
}

void CLauncherDlg::ApplyWindowShape()
{
    std::span<const uint8_t> data = resources::FindResource(kOutlineId, resources::kTypeBitmap);
    auto outline = platform::Image::Decode(data.data(), data.size());
    if (!outline)
        return;
    // White is the outside of the window.
    if (auto region = BitmapToRegion(*outline, 0xFFFFFF, 1))
        SetWindowRgn(std::move(*region), true);
}

void CLauncherDlg::StartBannerWorker()
{
    auto pRequest = new tagRequest;
    pRequest->pOwner = this;
    // Started suspended so the handle is stored before the worker can look at it.
    hBannerThread = platform::Thread::Create([pRequest] { return LoadGameBanner(pRequest); },
                                             platform::ThreadPriority::Lowest, true);
    if (!hBannerThread) {
        delete pRequest;
        return;
    }
    hBannerThread->Resume();
}

void CLauncherDlg::SaveAndFreeCatalogue()
{
    // The order first: it is built from the records that teardown frees.
    if (m_bSettingsLoaded)
        SaveOrder(arrGames);

    // Suspension takes effect at a worker's next blocking call, and the banner and update
    // workers hold records and this window until then: free nothing before they have parked.
    bool bWorkersAtRest = true;
    for (platform::Thread* pThread : {hBannerThread.get(), hUpdateThread.get()}) {
        if (!pThread)
            continue;
        pThread->Suspend();
        bWorkersAtRest =
            pThread->WaitAtRest(std::chrono::steady_clock::now() + kWorkerParkWait) && bWorkersAtRest;
    }
    if (!bWorkersAtRest) {
        // The process ends right after; a leak is better than a worker on freed records.
        SessionLog()->Write(L"Worker still running, catalogue kept")->Write(L"\r\n");
        return;
    }
    hBannerThread.reset();
    hUpdateThread.reset();
    DeleteGameRecords(arrGames, arrRemovedGames, pBannerGame);
}

void CLauncherDlg::OnPaint()
{
    platform::PaintDC dc(this);
    constexpr platform::COLORREF kKey = 0xFF00FF;
    if (pBackground)
        pBackground->Draw(dc, kKey);

    std::shared_ptr<tagGames> pBanner = pBannerGame.Get();
    if (pBanner) {
        if (pPanelBanner)
            pPanelBanner->DrawAt(dc, kKey, -1, 417);
        std::wstring strName, strBrief;
        {
            std::lock_guard guard(pBanner->lock);
            if (!pBanner->imgBanner.IsNull())
                dc.DrawImage(191, 425, pBanner->imgBanner);
            strName = pBanner->szName;
            strBrief = pBanner->szBrief;
        }
        DrawWrappedText(dc, strName, 400, fontHeader, 289, 430, 2, 0x000000, -1);
        DrawWrappedText(dc, strBrief, 250, fontPlain, 289, 460, 2, 0x000000, -1);
    } else if (pPanelEmpty) {
        pPanelEmpty->DrawAt(dc, kKey, -1, 417);
    }

    if (!bLauncherUpdate && !bGamesUpdate) {
        std::wstring strLine = resources::LoadString(151) + L" " + strVersion;
        DrawWrappedText(dc, strLine, 350, fontPlain, 10, 526, 2, 0xFFFFFF, -1);
    }
}

const platform::MessageMap& CLauncherDlg::GetMessageMap() const
{
    static const platform::MessageMap map(
        &Dialog::GetMessageMap(),
        {
            platform::OnPaint(&CLauncherDlg::OnPaint),
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
