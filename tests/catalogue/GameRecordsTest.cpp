// Suite: threaded
#include "catalogue/GameRecords.h"

#include "CatalogueTestSupport.h"
#include "catalogue/GameAssets.h"
#include "platform/thread/Thread.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace catalogue_test;

namespace {

class GameRecordsTest : public ::testing::Test
{
protected:
    testing_support::TempDir m_dir;
    ScopedLog m_log{m_dir / "Exception.log"};
    std::wstring m_strDownload = W(m_dir / "download");
};

// A record with a worker that keeps writing its progress and passes a suspension point on every
// round, as the download worker does between chunks.
tagGames* NewGameWithWorker(const wchar_t* pszId, std::atomic<int>& nRounds)
{
    auto* pGame = new tagGames;
    CopyToFixed(pGame->szID, pszId);
    std::shared_ptr<platform::Thread> hThread = platform::Thread::Create([pGame, &nRounds] {
        for (;;) {
            pGame->nPercent = pGame->nPercent + 1;
            nRounds++;
            platform::SuspensionPoint();
        }
        return 0u;
    });
    std::lock_guard guard(pGame->lock);
    pGame->hThread = std::move(hThread);
    return pGame;
}

} // namespace

TEST_F(GameRecordsTest, NewRecordIsBlankWithItsIdAndAssets)
{
    std::unique_ptr<tagGames> pBare = CreateGameRecord(L"12", m_strDownload);
    ASSERT_TRUE(pBare);
    EXPECT_EQ(std::wstring(pBare->szID), L"12");
    EXPECT_FALSE(pBare->bAssetsLoaded || pBare->bInstalled || pBare->bDownloaded || pBare->bWorkerStarted ||
                 pBare->bUpdate || pBare->bStop || pBare->bPaused || pBare->bListed);
    EXPECT_EQ(pBare->GetName(), L"");
    EXPECT_EQ(pBare->hThread, nullptr);

    WriteAssets(m_dir / "download/7", "Seven&&A game");
    std::unique_ptr<tagGames> pLoaded = CreateGameRecord(L"7", m_strDownload);
    ASSERT_TRUE(pLoaded);
    EXPECT_TRUE(pLoaded->bAssetsLoaded);
    EXPECT_EQ(pLoaded->GetName(), L"Seven");

    for (const wchar_t* pszId : {L"", L"../../x", L"1234567890", L"12a"})
        EXPECT_EQ(CreateGameRecord(pszId, m_strDownload), nullptr) << pszId;
    EXPECT_NE(m_log.Text().find("Ignored game id:../../x\r\n"), std::string::npos);
}

TEST_F(GameRecordsTest, RemovedGameStaysReachableUntilTeardown)
{
    CGameArray arrGames;
    CGameArray arrRemoved;
    CBannerSlot banner;
    tagGames* pFirst = CreateGameRecord(L"1", m_strDownload).release();
    tagGames* pSecond = CreateGameRecord(L"2", m_strDownload).release();
    arrGames.Add(pFirst);
    arrGames.InsertAt(0, pSecond);

    EXPECT_TRUE(MoveToRemoved(arrGames, arrRemoved, pFirst));
    EXPECT_FALSE(MoveToRemoved(arrGames, arrRemoved, pFirst));
    EXPECT_EQ(arrGames.Find(L"1"), nullptr);
    EXPECT_EQ(arrRemoved.Find(L"1"), pFirst);

    // The banner record lives on while a painter holds it.
    std::shared_ptr<tagGames> pBanner = std::make_shared<tagGames>();
    banner.Set(pBanner);
    DeleteGameRecords(arrGames, arrRemoved, banner);
    EXPECT_TRUE(arrGames.IsEmpty());
    EXPECT_TRUE(arrRemoved.IsEmpty());
    EXPECT_TRUE(banner.IsEmpty());
    EXPECT_EQ(pBanner.use_count(), 1);
}

TEST_F(GameRecordsTest, TeardownFreesRecordsOnlyOnceTheirWorkersRest)
{
    std::atomic<int> nRounds{0};
    std::atomic<int> nRemovedRounds{0};
    CGameArray arrGames;
    CGameArray arrRemoved;
    CBannerSlot banner;
    tagGames* pGame = NewGameWithWorker(L"1", nRounds);
    arrGames.Add(pGame);
    arrRemoved.Add(NewGameWithWorker(L"2", nRemovedRounds));
    ASSERT_TRUE(testing_support::WaitUntil([&] { return nRounds > 10 && nRemovedRounds > 10; }));

    // Freed while the workers still ran, the records would be written after free (ASan).
    DeleteGameRecords(arrGames, arrRemoved, banner);
    EXPECT_TRUE(arrGames.IsEmpty());
    const int nAfter = nRounds;
    platform::Sleep(20);
    EXPECT_EQ(nRounds, nAfter);
}

TEST_F(GameRecordsTest, RecordOfAWorkerThatNeverRestsIsKept)
{
    std::atomic<bool> bQuit{false};
    std::atomic<bool> bStarted{false};
    auto* pGame = new tagGames;
    CopyToFixed(pGame->szID, L"5");
    // No suspension point: the worker runs on after Suspend.
    std::shared_ptr<platform::Thread> hThread = platform::Thread::Create([pGame, &bQuit, &bStarted] {
        bStarted = true;
        while (!bQuit)
            pGame->nReceivedKB = pGame->nReceivedKB + 1;
        return 0u;
    });
    pGame->hThread = hThread;
    CGameArray arrGames;
    CGameArray arrRemoved;
    CBannerSlot banner;
    arrGames.Add(pGame);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return bStarted.load(); }));

    DeleteGameRecords(arrGames, arrRemoved, banner, std::chrono::milliseconds(50));
    EXPECT_TRUE(arrGames.IsEmpty());
    EXPECT_NE(m_log.Text().find("Worker still running, record kept ID:5\r\n"), std::string::npos);
    EXPECT_EQ(pGame->hThread, nullptr);
    bQuit = true;
    ASSERT_TRUE(hThread->Wait(10000));
    delete pGame;
}
