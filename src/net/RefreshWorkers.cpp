#include "net/RefreshWorkers.h"

#include "app/CGP_LogFile.h"
#include "app/CGP_Registry.h"
#include "catalogue/GameAssets.h"
#include "net/CFetchClaim.h"
#include "net/HttpClient.h"
#include "net/NetTimings.h"
#include "net/ServerQueries.h"
#include "platform/fs/FileSystem.h"
#include "platform/thread/Thread.h"
#include "resources/StringTable.h"
#include "ui/CLauncherDlg.h"

#include <algorithm>
#include <memory>

namespace {

constexpr int kAssetAttempts = 20;
// How long a worker waits for another that is fetching the same asset file.
constexpr uint32_t kAssetClaimWaitMs = 30000;
constexpr uint32_t kIdsServerError = 119;
constexpr uint32_t kIdsConnectionProblems = 120;
const wchar_t* const kAssetNames[] = {kActionThumb, kActionFeature, kActionBanner, kActionBrief};

// Fetches one asset into strFolder + strName + "_s", unless it is there already.
void FetchAsset(CLauncherDlg& owner, const std::wstring& strId, const std::wstring& strFolder,
                const std::wstring& strName, tagGames* pGame)
{
    const std::wstring strPath = strFolder + strName;
    const std::wstring strComplete = strPath + L"_s";
    // Held across the attempts: a second worker waits, then finds the complete file. The
    // holder may be a game's download worker that the user paused; then the wait ends and this
    // worker leaves the file to it rather than wait for as long as the pause lasts.
    CFetchClaim claim(strPath, kAssetClaimWaitMs);
    if (!claim.IsHeld()) {
        SessionLog()
            ->Write(L"LoadGameInfo")
            ->Write(L"\r\n")
            ->Write(L"busy elsewhere: ")
            ->Write(strName.c_str())
            ->Write(L"\r\n");
        return;
    }
    if (platform::FileExists(strComplete))
        return;
    tagRequest request;
    request.pOwner = &owner;
    request.SetQuery(BuildServerQuery(owner.strVersion, strId, strName));
    for (int nAttempt = 0; nAttempt < kAssetAttempts; ++nAttempt) {
        int nResult = DownloadFile(&request, strId, strName);
        if (nResult == kDownloadDone) {
            platform::MoveFile(strPath, strComplete);
            return;
        }
        platform::Sleep(GetNetTimings().nRetryPauseMs);
        if (!pGame)
            continue;
        if (nResult == kDownloadConnectionProblem)
            pGame->SetError(resources::LoadString(kIdsConnectionProblems));
        else if (nResult == kDownloadServerError)
            pGame->SetError(resources::LoadString(kIdsServerError));
        else
            pGame->ClearError();
    }
}

// The game to advertise among the related ids, with "ListIdBanner" brought up to date.
std::wstring ChooseBannerGame(const std::vector<std::wstring>& arrRelated)
{
    CGP_Registry key(platform::RegistryRoot::LocalMachine, kLauncherRegistryKey);
    if (!key.Create())
        return arrRelated.front();
    std::wstring strShown;
    if (!key.ReadString(L"ListIdBanner", strShown)) {
        key.WriteString(L"ListIdBanner", arrRelated.front());
        return arrRelated.front();
    }
    std::vector<std::wstring> arrShown = SplitRelatedList(strShown);
    for (const std::wstring& strId : arrRelated) {
        if (std::find(arrShown.begin(), arrShown.end(), strId) == arrShown.end()) {
            key.WriteString(L"ListIdBanner", strShown + (strShown.empty() ? L"" : L",") + strId);
            return strId;
        }
    }
    // Every related game has been shown: the rotation begins again, and the first game is not
    // recorded, so the next run shows it once more.
    key.WriteString(L"ListIdBanner", strShown);
    key.WriteString(L"ListIdBanner", L"");
    return arrRelated.front();
}

} // namespace

void LoadGameInfo(const tagRequest* pRequest)
{
    SessionLog()->Write(L"LoadGameInfo")->Write(L"\r\n");
    if (!pRequest || !pRequest->pOwner)
        return;
    CLauncherDlg& owner = *pRequest->pOwner;
    const std::wstring strId = pRequest->GetQuery();
    if (!IsValidGameId(strId)) {
        SessionLog()->Write(L"bad game id")->Write(L"\r\n");
        return;
    }
    // Steps 2 to 4.
    tagGames* pGame = owner.arrGames.Find(strId);
    if (pGame && pGame->bAssetsLoaded)
        return;
    const std::wstring strFolder = GetAssetFolder(owner.strDownloadDir, strId);
    if (strFolder.empty() || !platform::CreateFolders(strFolder))
        return;
    // Step 5.
    for (const wchar_t* pszName : kAssetNames)
        FetchAsset(owner, strId, strFolder, pszName, pGame);
    // Step 6.
    if (pGame && InitStructGames(pGame, strFolder) == kAssetsOk)
        pGame->bAssetsLoaded = true;
}

void UpdateListGameBannerList(CLauncherDlg* pOwner)
{
    SessionLog()->Write(L"UpdateListGameBannerList")->Write(L"\r\n");
    CGP_Registry key(platform::RegistryRoot::LocalMachine, kLauncherRegistryKey);
    key.CreateKeyAllPerm();
    pOwner->arrBannerIds.clear();
    pOwner->arrRelatedIds.clear();

    // The detail page's game first, then every game key but that one. As many ids are sent as
    // keys were enumerated.
    const std::wstring strCurrent = pOwner->GetDetailGameId();
    if (IsValidGameId(strCurrent))
        pOwner->arrBannerIds.push_back(strCurrent);
    size_t nKeys = 0;
    std::wstring strName;
    for (uint32_t nIndex = 0; key.EnumKey(nIndex, strName); ++nIndex) {
        // A key that is not a game id is not a game (and would not fit into a query).
        if (!IsValidGameId(strName))
            continue;
        ++nKeys;
        if (strName != strCurrent)
            pOwner->arrBannerIds.push_back(strName);
    }
    std::vector<std::wstring> arrSent(
        pOwner->arrBannerIds.begin(),
        pOwner->arrBannerIds.begin() +
            static_cast<std::ptrdiff_t>(std::min(nKeys, pOwner->arrBannerIds.size())));

    tagRequest request;
    request.pOwner = pOwner;
    request.SetQuery(BuildRelatedListQuery(pOwner->strVersion, arrSent));
    if (std::optional<std::string> strBody = DownloadToMemory(&request))
        pOwner->arrRelatedIds = ReadRelatedListIds(*strBody);
}

uint32_t LoadGameBanner(tagRequest* pRequest)
{
    std::unique_ptr<tagRequest> pGiven(pRequest);
    if (!pGiven || !pGiven->pOwner)
        return 0;
    const tagRequest request = *pGiven;
    pGiven.reset();
    CLauncherDlg& owner = *request.pOwner;

    SessionLog()->Write(L"LoadGameBanner")->Write(L"\r\n");
    // One banner worker at a time; a second one runs after the first.
    CFetchClaim turn(L"LoadGameBanner");
    UpdateListGameBannerList(&owner);
    if (owner.arrRelatedIds.empty()) {
        owner.pBannerGame.Set(nullptr);
        owner.InvalidateFromWorker();
        return 0;
    }

    const std::wstring strChoice = ChooseBannerGame(owner.arrRelatedIds);
    tagRequest info;
    info.pOwner = &owner;
    info.SetQuery(strChoice);
    LoadGameInfo(&info);

    // The new record is complete before the window can see it.
    auto pBanner = std::make_shared<tagGames>();
    CopyToFixed(pBanner->szID, strChoice);
    if (InitStructGames(pBanner.get(), GetAssetFolder(owner.strDownloadDir, strChoice)) == kAssetsOk)
        pBanner->bAssetsLoaded = true;
    owner.pBannerGame.Set(std::move(pBanner));
    owner.InvalidateFromWorker();
    return 0;
}
