// Suite: threaded
#include "catalogue/CGameArray.h"

#include "platform/thread/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::unique_ptr<tagGames>> MakeGames(int nCount, int nFirstId)
{
    std::vector<std::unique_ptr<tagGames>> arrGames;
    for (int i = 0; i < nCount; ++i) {
        arrGames.push_back(std::make_unique<tagGames>());
        CopyToFixed(arrGames.back()->szID, std::to_wstring(nFirstId + i));
    }
    return arrGames;
}

} // namespace

TEST(CGameArrayTest, LookupIsExactAndInsertionKeepsOrder)
{
    std::vector<std::unique_ptr<tagGames>> arrOwned = MakeGames(3, 10);
    CGameArray arrGames;
    arrGames.Add(arrOwned[0].get());
    arrGames.InsertAt(0, arrOwned[1].get());
    arrGames.InsertAt(99, arrOwned[2].get()); // past the end: appended
    EXPECT_EQ(arrGames.Snapshot(),
              (std::vector<tagGames*>{arrOwned[1].get(), arrOwned[0].get(), arrOwned[2].get()}));
    EXPECT_EQ(arrGames.Find(L"10"), arrOwned[0].get());
    EXPECT_EQ(arrGames.Find(L"1"), nullptr);
    EXPECT_EQ(arrGames.Find(L"100"), nullptr);
    EXPECT_EQ(arrGames.IndexOf(arrOwned[2].get()), 2);
    EXPECT_FALSE(arrGames.AddIfMissing(arrOwned[0].get()));
    EXPECT_EQ(arrGames.GetAt(3), nullptr);
}

// The window thread inserts games while a worker scans for its own and appends it when missing.
TEST(CGameArrayTest, ConcurrentInsertAndScan)
{
    constexpr int kGames = 300;
    std::vector<std::unique_ptr<tagGames>> arrWindow = MakeGames(kGames, 1000);
    std::vector<std::unique_ptr<tagGames>> arrWorker = MakeGames(kGames, 5000);
    CGameArray arrGames;
    std::atomic<int> nFound{0};

    std::unique_ptr<platform::Thread> hWorker = platform::Thread::Create([&] {
        for (const auto& pGame : arrWorker) {
            arrGames.AddIfMissing(pGame.get());
            for (tagGames* pSeen : arrGames.Snapshot())
                pSeen->nPercent.store(1, std::memory_order_relaxed);
            if (arrGames.Find(pGame->szID))
                nFound++;
        }
        return 0u;
    });
    ASSERT_TRUE(hWorker);
    for (const auto& pGame : arrWindow)
        arrGames.InsertAt(0, pGame.get());
    ASSERT_TRUE(hWorker->Wait(30000));

    EXPECT_EQ(nFound, kGames);
    EXPECT_EQ(arrGames.GetSize(), static_cast<size_t>(2 * kGames));
    EXPECT_EQ(arrGames.Find(L"1000"), arrWindow[0].get());
    EXPECT_EQ(arrGames.Find(L"5299"), arrWorker.back().get());
    EXPECT_EQ(arrGames.TakeAll().size(), static_cast<size_t>(2 * kGames));
    EXPECT_TRUE(arrGames.IsEmpty());
}
