#pragma once

// The launcher's main window: a borderless skinned popup of 750 x 604 pixels titled
// "Brevanto Games", and the owner of almost all run-time state: folders, proxy settings,
// version text, the catalogue, the pages and the worker threads.
//
// Thread rules: the window itself lives on the window thread. Workers read the settings and
// folders (written before any worker starts) and write the atomic flags; they reach the window
// through its handle or the process-wide pointer, never by calling its methods.

#include "app/CGP_Registry.h"
#include "catalogue/CBannerSlot.h"
#include "catalogue/CGameArray.h"
#include "platform/gdi/Font.h"
#include "platform/gdi/Geometry.h"
#include "platform/image/Image.h"
#include "platform/thread/Thread.h"
#include "platform/window/Dialog.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CPictureEx;
struct tagRequest;

class CLauncherDlg : public platform::Dialog
{
public:
    static constexpr int kWidth = 750;
    static constexpr int kHeight = 604;

    explicit CLauncherDlg(platform::Window* pParent = nullptr);
    ~CLauncherDlg() override;

    // The main window while one exists, for the HTTP client and the crash capture. Any thread.
    static CLauncherDlg* GetMainWindow() { return s_pMainWindow.load(); }
    // Its handle once it is on screen (0 before): what other threads post to. Any thread.
    static platform::HWND GetMainHandle() { return s_hMainWindow.load(); }

    // Asks the window thread to repaint the whole window. Any thread; without a window on
    // screen it does nothing.
    void InvalidateFromWorker();
    // Shows the update button and starts its blink for 4000 ms, then repaints. Any thread; a
    // worker's call is handed to the window thread.
    void AnnounceUpdate();

    // The id of the game the detail page shows; empty when it shows none. Any thread (the
    // banner worker reads it when it asks for related games).
    std::wstring GetDetailGameId() const;
    void SetDetailGameId(std::wstring strId);

    // The private message the window posts to itself for its workers.
    static constexpr platform::UINT WM_WORKER_ANNOUNCE_UPDATE = platform::WM_APP + 1;

    // The launcher's file version, "major.minor.build.revision"; empty without a version.
    std::wstring strVersion;
    CBannerSlot pBannerGame;
    // Panel pictures: the banner panel without a banner game, behind a banner game, and the
    // window background.
    std::unique_ptr<CPictureEx> pPanelEmpty;
    std::unique_ptr<CPictureEx> pPanelBanner;
    std::unique_ptr<CPictureEx> pBackground;
    std::wstring strLauncherDir;
    std::wstring strExecutablePath;
    std::wstring strDownloadDir;
    std::wstring strInstallDir;
    std::wstring strReportDir;
    std::unique_ptr<platform::Thread> hBannerThread;
    std::unique_ptr<platform::Thread> hUpdateThread;
    std::atomic<bool> bLauncherUpdate{false};
    std::atomic<bool> bGamesUpdate{false};
    std::atomic<int32_t> nUpdatePercent{0};
    // The update button's state until the skinned button takes its place: shown, and the
    // number of blinks started.
    std::atomic<bool> bUpdateButtonShown{false};
    std::atomic<int32_t> nUpdateBlinks{0};
    uint32_t bProxyEnable = 0;
    std::wstring strProxyHost;
    uint16_t nPort = 80;
    std::vector<platform::Dialog*> arrPages;
    CGameArray arrGames;
    CGameArray arrRemovedGames;
    std::vector<std::wstring> arrUpdateIds;
    std::vector<std::wstring> arrBannerIds;
    std::vector<std::wstring> arrRelatedIds;
    bool bDragging = false;
    platform::Point ptLastCursor;
    std::unique_ptr<CGP_Registry> pLauncherKey;
    platform::Image imgIcon;
    platform::Font fontBoldArial;
    // The games list page's header and plain fonts, which the banner and the version line
    // borrow until the page exists.
    platform::Font fontHeader;
    platform::Font fontPlain;
    // The process command line, as LoadSettings and the command-line request read it; set by
    // the application object before the window runs.
    std::wstring strCommandLine;

    // The catalogue from the store and the command line.
    void LoadSettings(const std::wstring& strCommandLine);

protected:
    bool OnInitDialog() override;
    void OnPaint();
    const platform::MessageMap& GetMessageMap() const override;

    platform::LRESULT OnWorkerAnnounceUpdate(platform::WPARAM, platform::LPARAM);

private:
    void ReadProxySettings();
    void MakeFolders();
    void InitGames();
    void ApplyWindowShape();
    void StartBannerWorker();
    void SaveAndFreeCatalogue();

    // The catalogue came from the store: only then does closing write "Order" back, so a window
    // that never loaded it cannot wipe the stored order.
    bool m_bSettingsLoaded = false;

    mutable std::mutex m_detailLock;
    std::wstring m_strDetailGameId;

    static std::atomic<CLauncherDlg*> s_pMainWindow;
    static std::atomic<platform::HWND> s_hMainWindow;
};
