// Suite: threaded
#include "net/RefreshWorkers.h"

#include "app/CGP_Registry.h"
#include "net/NetTimings.h"
#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"
#include "platform/thread/Thread.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"
#include "ui/CLauncherDlg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::ScriptedAnswer;
using testing_support::ScriptedHttpServer;

namespace {

const std::wstring kKey = L"SOFTWARE\\Brevanto Launcher";

std::string Picture()
{
    return ReadFile(std::string(BREVANTO_TEST_FIXTURES) + "/net/picture.png");
}

// The four assets of a game as the server keeps them.
void AddAssets(std::map<std::string, std::string>& arrFiles, const std::string& strId)
{
    for (const char* pszName : {"thumbimg", "featureimg", "bannerimg"})
        arrFiles[strId + "/" + pszName] = Picture();
    arrFiles[strId + "/briefdesc"] = "Game " + strId + "&&About game " + strId;
}

class RefreshWorkersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.IsListening());
        SetNetTimingsForTests({10, 10, 2000});
        m_owner.strDownloadDir = platform::FromUtf8(m_dir / "download");
        m_owner.strVersion = L"1.0.0.1";
        ASSERT_TRUE(platform::CreateFolders(m_owner.strDownloadDir));
    }
    void TearDown() override
    {
        SetNetTimingsForTests({});
        m_owner.arrGames.TakeAll();
    }

    tagGames* AddGame(const wchar_t* pszId)
    {
        m_arrOwned.push_back(std::make_unique<tagGames>());
        CopyToFixed(m_arrOwned.back()->szID, pszId);
        m_owner.arrGames.Add(m_arrOwned.back().get());
        return m_arrOwned.back().get();
    }
    void LoadInfo(const wchar_t* pszId)
    {
        tagRequest request;
        request.pOwner = &m_owner;
        request.SetQuery(pszId);
        LoadGameInfo(&request);
    }
    std::string AssetPath(const std::string& strId, const std::string& strName) const
    {
        return m_dir / ("download/" + strId + "/" + strName);
    }
    std::wstring ReadListIdBanner()
    {
        CGP_Registry key(platform::RegistryRoot::LocalMachine, kKey);
        std::wstring strValue = L"(missing)";
        if (key.Open())
            key.ReadString(L"ListIdBanner", strValue);
        return strValue;
    }
    void RunBanner() { LoadGameBanner(new tagRequest{&m_owner, {}}); }
    std::wstring BannerId() const
    {
        std::shared_ptr<tagGames> pBanner = m_owner.pBannerGame.Get();
        return pBanner ? std::wstring(pBanner->szID) : L"(none)";
    }

    testing_support::TempDir m_dir;
    ScriptedHttpServer m_server;
    ScopedEnv m_registry{"BREVANTO_REGISTRY", m_dir / "registry.db"};
    ScopedEnv m_connectTo{"BREVANTO_CONNECT_TO", m_server.ConnectTo()};
    ScopedEnv m_host{"BREVANTO_SERVER_HOST", "", true};
    CLauncherDlg m_owner;
    std::vector<std::unique_ptr<tagGames>> m_arrOwned;
};

TEST_F(RefreshWorkersTest, LoadGameInfoFetchesTheFourAssetsOnceAndLoadsTheRecord)
{
    std::map<std::string, std::string> arrFiles;
    AddAssets(arrFiles, "12");
    m_server.SetHandler(ScriptedHttpServer::ServeFiles(arrFiles));
    tagGames* pGame = AddGame(L"12");

    LoadInfo(L"12");
    EXPECT_TRUE(pGame->bAssetsLoaded);
    EXPECT_EQ(pGame->GetName(), L"Game 12");
    EXPECT_EQ(pGame->GetBrief(), L"About game 12");
    for (const char* pszName : {"thumbimg", "featureimg", "bannerimg", "briefdesc"}) {
        EXPECT_EQ(ReadFile(AssetPath("12", std::string(pszName) + "_s")),
                  arrFiles["12/" + std::string(pszName)]);
        EXPECT_FALSE(std::filesystem::exists(AssetPath("12", pszName)));
    }
    std::vector<std::string> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
              "GET /cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=12&action=thumbimg&resume=0 HTTP/1.0");

    // Complete files are never fetched again, even for a record whose assets are not loaded.
    pGame->bAssetsLoaded = false;
    LoadInfo(L"12");
    EXPECT_EQ(m_server.RequestCount(), 8u);
    EXPECT_TRUE(pGame->bAssetsLoaded);
}

TEST_F(RefreshWorkersTest, FailedAssetFetchesShowTheirErrorAndGiveUpAfterTwentyAttempts)
{
    struct Case
    {
        const char* pszStatus;
        const wchar_t* pszError;
    } cases[] = {{"404 Not Found", L"Server error"}, {"403 Forbidden", L"Connection problems"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszStatus);
        ScriptedHttpServer server;
        ScopedEnv connectTo("BREVANTO_CONNECT_TO", server.ConnectTo());
        server.SetHandler([&](const std::string&) { return ScriptedAnswer::Status(c.pszStatus); });
        tagGames* pGame = AddGame(L"31");
        LoadInfo(L"31");
        EXPECT_EQ(server.RequestCount(), 4u * 20u);
        EXPECT_EQ(pGame->GetError(), c.pszError);
        EXPECT_FALSE(pGame->bAssetsLoaded);
        m_owner.arrGames.TakeAll();
    }
}

TEST_F(RefreshWorkersTest, BadGameIdFetchesNothing)
{
    LoadInfo(L"../12");
    LoadInfo(L"");
    EXPECT_EQ(m_server.RequestCount(), 0u);
}

TEST_F(RefreshWorkersTest, TwoWorkersOnOneGameFetchEachFileOnce)
{
    std::map<std::string, std::string> arrFiles;
    AddAssets(arrFiles, "12");
    auto serve = ScriptedHttpServer::ServeFiles(arrFiles);
    // Slow answers, so that the two workers overlap.
    m_server.SetHandler([serve](const std::string& strRequest) {
        ScriptedAnswer answer = serve(strRequest);
        answer.nPauseAfter = answer.strBytes.size() / 2;
        answer.nPauseMs = 30;
        return answer;
    });
    tagGames* pGame = AddGame(L"12");
    tagRequest request{&m_owner, {}};
    request.SetQuery(L"12");
    auto worker = [request] {
        LoadGameInfo(&request);
        return 0u;
    };
    std::unique_ptr<platform::Thread> first = platform::Thread::Create(worker);
    std::unique_ptr<platform::Thread> second = platform::Thread::Create(worker);
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(first->Wait(20000) && second->Wait(20000));

    EXPECT_EQ(m_server.RequestCount(), 8u);
    EXPECT_TRUE(pGame->bAssetsLoaded);
    for (const char* pszName : {"thumbimg", "featureimg", "bannerimg", "briefdesc"})
        EXPECT_EQ(ReadFile(AssetPath("12", std::string(pszName) + "_s")),
                  arrFiles["12/" + std::string(pszName)]);
}

TEST_F(RefreshWorkersTest, BannerRotatesThroughTheRelatedGames)
{
    std::map<std::string, std::string> arrFiles;
    for (const char* pszId : {"21", "22", "23"})
        AddAssets(arrFiles, pszId);
    auto serve = ScriptedHttpServer::ServeFiles(arrFiles);
    m_server.SetHandler([serve](const std::string& strRequest) {
        if (strRequest.find("action=relatedlist") != std::string::npos)
            return ScriptedAnswer::Ok("21,22,23");
        return serve(strRequest);
    });
    struct Step
    {
        const wchar_t* pszShown;
        const wchar_t* pszStored;
    } steps[] = {{L"21", L"21"}, {L"22", L"21,22"}, {L"23", L"21,22,23"}, {L"21", L""}, {L"21", L"21"}};
    for (const Step& step : steps) {
        RunBanner();
        EXPECT_EQ(BannerId(), step.pszShown);
        EXPECT_EQ(ReadListIdBanner(), step.pszStored);
    }
    std::shared_ptr<tagGames> pBanner = m_owner.pBannerGame.Get();
    ASSERT_TRUE(pBanner);
    EXPECT_TRUE(pBanner->bAssetsLoaded);
    EXPECT_EQ(pBanner->GetName(), L"Game 21");
}

TEST_F(RefreshWorkersTest, BannerDisappearsWithoutRelatedGames)
{
    auto pOld = std::make_shared<tagGames>();
    m_owner.pBannerGame.Set(pOld);
    struct Case
    {
        const char* pszName;
        ScriptedAnswer answer;
    } cases[] = {
        {"error body", ScriptedAnswer::Ok("Error: unknown version")},
        {"not found", ScriptedAnswer::Status("404 Not Found")},
        {"nothing but junk", ScriptedAnswer::Ok(",../x")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        m_owner.pBannerGame.Set(std::make_shared<tagGames>());
        m_server.Script({c.answer});
        RunBanner();
        EXPECT_TRUE(m_owner.pBannerGame.IsEmpty());
        EXPECT_TRUE(m_owner.arrRelatedIds.empty());
    }
    EXPECT_EQ(pOld.use_count(), 1); // a painter's copy outlives the slot
}

TEST_F(RefreshWorkersTest, RelatedListSendsTheDetailGameThenTheGameKeys)
{
    for (const wchar_t* pszId : {L"5", L"7", L"not-a-game"}) {
        CGP_Registry key(platform::RegistryRoot::LocalMachine, kKey + L"\\" + pszId);
        ASSERT_TRUE(key.CreateKeyAllPerm());
    }
    struct Case
    {
        const wchar_t* pszDetail;
        const char* pszGameIds;
    } cases[] = {
        {L"", "5,7"},
        {L"7", "7,5"},
        {L"9", "9,5"}, // as many ids as game keys: the detail game takes a key's place
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszGameIds);
        m_owner.SetDetailGameId(c.pszDetail);
        ScriptedHttpServer server;
        ScopedEnv connectTo("BREVANTO_CONNECT_TO", server.ConnectTo());
        server.Script({ScriptedAnswer::Ok("5,7,")});
        UpdateListGameBannerList(&m_owner);
        std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0],
                  "GET /cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=" + std::string(c.pszGameIds) +
                      "&action=relatedlist HTTP/1.0\r\nUser-Agent: Brevanto Game Launcher\r\n"
                      "Host: www.brevanto.games\r\nAccept: */*\r\n\r\n");
        EXPECT_EQ(m_owner.arrRelatedIds, (std::vector<std::wstring>{L"5", L"7"}));
    }
}

TEST_F(RefreshWorkersTest, BannerWorkersTakeTurns)
{
    std::map<std::string, std::string> arrFiles;
    for (const char* pszId : {"21", "22"})
        AddAssets(arrFiles, pszId);
    auto serve = ScriptedHttpServer::ServeFiles(arrFiles);
    m_server.SetHandler([serve](const std::string& strRequest) {
        ScriptedAnswer answer = strRequest.find("action=relatedlist") != std::string::npos
                                    ? ScriptedAnswer::Ok("21,22")
                                    : serve(strRequest);
        answer.nSilenceMs = 5;
        return answer;
    });
    auto banner = [this] { return LoadGameBanner(new tagRequest{&m_owner, {}}); };
    std::unique_ptr<platform::Thread> first =
        platform::Thread::Create(banner, platform::ThreadPriority::Lowest);
    std::unique_ptr<platform::Thread> second =
        platform::Thread::Create(banner, platform::ThreadPriority::Lowest);
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(first->Wait(20000) && second->Wait(20000));
    // Overlapping runs would both have chosen 21.
    EXPECT_EQ(ReadListIdBanner(), L"21,22");
    EXPECT_EQ(BannerId(), L"22");
}

} // namespace
