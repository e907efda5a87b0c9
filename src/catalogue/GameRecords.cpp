#include "catalogue/GameRecords.h"

#include "app/CGP_LogFile.h"
#include "catalogue/GameAssets.h"

#include <utility>
#include <vector>

namespace {

// Ids from outside may be anything; only a short piece goes into the log.
std::wstring ForLog(std::wstring_view strText)
{
    constexpr size_t kMaxLogged = 32;
    return std::wstring(strText.substr(0, kMaxLogged)) + (strText.size() > kMaxLogged ? L"..." : L"");
}

struct Teardown
{
    tagGames* pGame;
    std::shared_ptr<platform::Thread> hThread; // null when the record had no worker
};

// Takes the record's worker handle out of it and suspends the worker.
Teardown SuspendWorker(tagGames* pGame)
{
    std::shared_ptr<platform::Thread> hThread;
    {
        std::lock_guard guard(pGame->lock);
        hThread = std::exchange(pGame->hThread, nullptr);
    }
    if (hThread)
        hThread->Suspend();
    return {pGame, std::move(hThread)};
}

} // namespace

std::unique_ptr<tagGames> CreateGameRecord(std::wstring_view strId, const std::wstring& strDownloadDir)
{
    if (!IsValidGameId(strId)) {
        SessionLog()->Write(L"Ignored game id:")->Write(ForLog(strId))->Write(L"\r\n");
        return nullptr;
    }
    auto pGame = std::make_unique<tagGames>();
    CopyToFixed(pGame->szID, strId);
    if (InitStructGames(pGame.get(), GetAssetFolder(strDownloadDir, strId)) == kAssetsOk)
        pGame->bAssetsLoaded = true;
    return pGame;
}

bool MoveToRemoved(CGameArray& arrGames, CGameArray& arrRemovedGames, tagGames* pGame)
{
    if (!pGame || !arrGames.Remove(pGame))
        return false;
    arrRemovedGames.Add(pGame);
    return true;
}

void DeleteGameRecords(CGameArray& arrGames, CGameArray& arrRemovedGames, CBannerSlot& pBannerGame,
                       std::chrono::milliseconds nParkWait)
{
    pBannerGame.Set(nullptr);

    // Every worker is asked to stop first, so they all come to rest within one wait.
    std::vector<Teardown> arrRecords;
    for (tagGames* pGame : arrGames.TakeAll())
        arrRecords.push_back(SuspendWorker(pGame));
    for (tagGames* pGame : arrRemovedGames.TakeAll())
        arrRecords.push_back(SuspendWorker(pGame));

    const auto deadline = std::chrono::steady_clock::now() + nParkWait;
    for (Teardown& record : arrRecords) {
        if (record.hThread) {
            if (!record.hThread->WaitAtRest(deadline)) {
                SessionLog()
                    ->Write(L"Worker still running, record kept ID:")
                    ->Write(record.pGame->szID)
                    ->Write(L"\r\n");
                continue;
            }
        }
        delete record.pGame;
    }
}
