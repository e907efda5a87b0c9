#include "catalogue/CatalogueSettings.h"

#include "CatalogueTestSupport.h"
#include "catalogue/GameRecords.h"
#include "platform/registry/RegistryKey.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace catalogue_test;
using platform::RegistryRoot;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

const std::wstring kLauncherKey = L"SOFTWARE\\Brevanto Launcher";

class CatalogueSettingsTest : public ::testing::Test
{
protected:
    CatalogueSettingsTest() { std::filesystem::create_directories(m_strInstall); }

    // An installed game: its key, its install folder and its executable.
    void AddInstalled(const std::string& strId, uint8_t nUpdate = 0)
    {
        std::filesystem::create_directories(m_strInstall + "/" + strId);
        WriteFile(m_strInstall + "/" + strId + "/game", "#!/bin/sh\n");
        WriteGameKey(strId, 1, 0, nUpdate, m_strInstall + "/" + strId, "game");
    }
    void AddPending(const std::string& strId) { WriteGameKey(strId, 0, 1); }
    void SetOrder(const std::wstring& strOrder)
    {
        CGP_Registry key(RegistryRoot::LocalMachine, kLauncherKey);
        ASSERT_TRUE(key.Create());
        ASSERT_TRUE(key.WriteString(L"Order", strOrder));
    }
    std::wstring StoredOrder()
    {
        std::optional<platform::RegistryKey> key = platform::RegistryKey::Open(
            RegistryRoot::LocalMachine, kLauncherKey, platform::RegistryAccess::Read);
        std::optional<platform::RegistryValue> value = key ? key->ReadValue(L"Order") : std::nullopt;
        return value ? platform::DecodeRegistryString(value->data) : L"(none)";
    }
    std::vector<std::wstring> Load(const std::wstring& strCommandLine = L"launcher")
    {
        OwnedGames games;
        LoadSettings(games.arrGames, W(m_strDownload), strCommandLine);
        return games.Ids();
    }
    uint8_t ReadStateByte(const std::string& strId, const wchar_t* pszName, uint8_t nPreset = 0xEE)
    {
        CGP_Registry key(RegistryRoot::LocalMachine, GameKey(strId));
        key.Open();
        key.ReadByte(pszName, nPreset);
        return nPreset;
    }

    testing_support::TempDir m_dir;
    testing_support::ScopedEnv m_env{"BREVANTO_REGISTRY", m_dir / "registry.db"};
    ScopedLog m_log{m_dir / "Exception.log"};
    std::string m_strDownload = m_dir / "download";
    std::string m_strInstall = m_dir / "games";
};

using Ids = std::vector<std::wstring>;

} // namespace

TEST_F(CatalogueSettingsTest, BuildsTheCatalogueInTheStoredOrder)
{
    struct Case
    {
        const char* pszWhat;
        std::wstring strOrder;
        std::wstring strCommandLine;
        Ids expected;
    } cases[] = {
        {"ordered games after the unnamed one", L"5 3 ", L"launcher", {L"8", L"5", L"3"}},
        {"no trailing space", L"5 3", L"launcher", {L"8", L"5", L"3"}},
        {"an id named twice counts once", L"5 3 5 3 ", L"launcher", {L"8", L"5", L"3"}},
        {"unknown ids are ignored", L"99 5 x 3 ", L"launcher", {L"8", L"5", L"3"}},
        {"no order: enumeration order reversed", L"", L"launcher", {L"8", L"5", L"3"}},
        {"a leading space ends the split", L" 3 5 8 ", L"launcher", {L"8", L"5", L"3"}},
        {"every game named", L"3 8 5 ", L"launcher", {L"3", L"8", L"5"}},
        {"command-line game before the ordered, after the unnamed",
         L"5 3 ",
         L"launcher ID:12",
         {L"8", L"12", L"5", L"3"}},
        {"command-line game named in the order takes its place",
         L"5 12 3 ",
         L"launcher ID:12",
         {L"8", L"5", L"12", L"3"}},
        {"command-line game that has a key", L"5 3 ", L"launcher ID:5", {L"8", L"5", L"3"}},
        {"an empty command-line id", L"5 3 ", L"launcher ID:", {L"8", L"5", L"3"}},
        {"a command-line id that is no game id", L"5 3 ", L"launcher ID:../../x", {L"8", L"5", L"3"}},
    };
    AddInstalled("3");
    AddInstalled("5");
    AddInstalled("8");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        SetOrder(c.strOrder);
        EXPECT_EQ(Load(c.strCommandLine), c.expected);
    }
    EXPECT_NE(m_log.Text().find("Ignored game id:../../x\r\n"), std::string::npos);
}

TEST_F(CatalogueSettingsTest, UnnamedGamesComeFirstInReverse)
{
    AddPending("8");
    AddPending("9");
    AddInstalled("1");
    SetOrder(L"1 ");
    EXPECT_EQ(Load(), (Ids{L"9", L"8", L"1"}));
}

TEST_F(CatalogueSettingsTest, SkipsKeysThatAreNoGame)
{
    AddInstalled("1");
    AddPending("2");
    WriteGameKey("3", 0, 0);                                      // neither installed nor pending
    WriteGameKey("4", 1, 0, 0, m_strInstall + "/4", "game");      // installed, files gone
    WriteGameKey("5", 1, 0, 0, m_strInstall + "/1", "../1/game"); // outside its folder
    WriteGameKey("6", 1, 0, 0, m_strInstall + "/1", m_strInstall + "/1/game"); // absolute
    WriteGameKey("7", 1, 0, 0, "", "bin/sh");                                  // no install folder
    WriteGameKey("8", 1, 0, 0, m_strInstall + "/1", "");                       // no executable name
    WriteGameKey("../../x", 0, 1);
    WriteGameKey("1234567890", 0, 1);
    WriteGameKey("abc", 0, 1);
    {
        CGP_Registry key(RegistryRoot::LocalMachine, GameKey("9"));
        key.Create();
    } // no values
    EXPECT_EQ(Load(), (Ids{L"2", L"1"}));

    const std::string strLog = m_log.Text();
    EXPECT_NE(strLog.find("Ignored game key:../../x\r\n"), std::string::npos);
    EXPECT_NE(strLog.find("Ignored game key:1234567890\r\n"), std::string::npos);
    EXPECT_NE(strLog.find("Bad LaunchFile ID:5\r\n"), std::string::npos);
    EXPECT_NE(strLog.find("Bad LaunchFile ID:6\r\n"), std::string::npos);
    // Skipped keys stay as they are.
    EXPECT_EQ(ReadStateByte("4", L"installed"), 1);
    EXPECT_EQ(ReadStateByte("3", L"installed"), 0);
    EXPECT_TRUE(CGP_Registry(RegistryRoot::LocalMachine, GameKey("abc")).Open());
}

TEST_F(CatalogueSettingsTest, RecordsCarryTheKeysState)
{
    AddInstalled("1");
    AddPending("2");
    AddInstalled("3", 1);
    WriteAssets(m_strDownload + "/1", "One&&The first");
    OwnedGames games;
    LoadSettings(games.arrGames, W(m_strDownload), L"launcher ID:4");
    ASSERT_EQ(games.Ids(), (Ids{L"3", L"2", L"1", L"4"}));

    tagGames* p1 = games.arrGames.Find(L"1");
    EXPECT_TRUE(p1->bInstalled && p1->bDownloaded && p1->bAssetsLoaded);
    EXPECT_FALSE(p1->bUpdate);
    EXPECT_EQ(p1->GetName(), L"One");
    tagGames* p2 = games.arrGames.Find(L"2");
    EXPECT_FALSE(p2->bInstalled || p2->bDownloaded || p2->bAssetsLoaded);
    EXPECT_TRUE(games.arrGames.Find(L"3")->bUpdate);
    tagGames* p4 = games.arrGames.Find(L"4");
    EXPECT_FALSE(p4->bInstalled || p4->bWorkerStarted || p4->bAssetsLoaded);
    EXPECT_EQ(m_log.Text().rfind("LoadSettings\r\n", 0), 0u);

    // The command-line game takes only the installed state from its key.
    OwnedGames again;
    LoadSettings(again.arrGames, W(m_strDownload), L"launcher ID:3");
    tagGames* p3 = again.arrGames.Find(L"3");
    EXPECT_TRUE(p3->bInstalled && p3->bDownloaded);
    EXPECT_FALSE(p3->bUpdate);
}

TEST_F(CatalogueSettingsTest, UnusableStoreGivesOnlyTheCommandLineGame)
{
    const std::string strStore = m_dir / "not-a-store.db";
    WriteFile(strStore, std::string(4096, 'x'));
    testing_support::ScopedEnv env("BREVANTO_REGISTRY", strStore);
    EXPECT_EQ(Load(L"launcher ID:12"), (Ids{L"12"}));
    EXPECT_FALSE(SaveOrder(L"12 "));
    EXPECT_EQ(ReadFile(strStore), std::string(4096, 'x'));
}

TEST_F(CatalogueSettingsTest, OversizedOrderIsIgnoredAndLong)
{
    AddInstalled("3");
    AddInstalled("5");
    AddInstalled("8");
    // Ids repeated a thousand times: far beyond a string read, still read and split once.
    std::wstring strRepeated;
    for (int i = 0; i < 1000; ++i)
        strRepeated += L"5 3 ";
    SetOrder(strRepeated);
    EXPECT_EQ(Load(), (Ids{L"8", L"5", L"3"}));

    // A megabyte of text is damage: the order is dropped, the games are all there.
    SetOrder(std::wstring(1024 * 1024, L'7'));
    EXPECT_EQ(Load(), (Ids{L"8", L"5", L"3"}));
    EXPECT_NE(m_log.Text().find("Order too long, ignored:"), std::string::npos);
}

TEST_F(CatalogueSettingsTest, OrderSurvivesARoundTrip)
{
    // 120 nine-digit ids: the order text is longer than a plain string read takes.
    for (int i = 0; i < 120; ++i)
        AddPending(std::to_string(100000000 + i * 7919));
    AddPending("42");
    AddPending("43");
    OwnedGames games;
    LoadSettings(games.arrGames, W(m_strDownload), L"launcher");
    ASSERT_EQ(games.arrGames.GetSize(), 122u);

    // Changes of a run: a new game first, one moved to the end, one removed.
    AddPending("77");
    games.arrGames.InsertAt(0, CreateGameRecord(L"77", W(m_strDownload)).release());
    tagGames* p43 = games.arrGames.Find(L"43");
    ASSERT_TRUE(games.arrGames.Remove(p43));
    games.arrGames.Add(p43);
    CGameArray arrRemoved;
    ASSERT_TRUE(MoveToRemoved(games.arrGames, arrRemoved, games.arrGames.Find(L"42")));
    const Ids expected = games.Ids();
    ASSERT_TRUE(SaveOrder(games.arrGames));
    EXPECT_EQ(StoredOrder(), BuildOrderText(games.arrGames));
    for (tagGames* pGame : arrRemoved.TakeAll())
        delete pGame;

    WriteGameKey("42", 0, 0); // removed: neither installed nor pending
    EXPECT_EQ(Load(), expected);
}

TEST_F(CatalogueSettingsTest, OrderTextEndsEveryIdWithASpace)
{
    OwnedGames games;
    for (const wchar_t* pszId : {L"12", L"7", L"31"}) {
        auto pGame = std::make_unique<tagGames>();
        CopyToFixed(pGame->szID, pszId);
        games.arrGames.Add(pGame.release());
    }
    EXPECT_EQ(BuildOrderText(games.arrGames), L"12 7 31 ");
    ASSERT_TRUE(SaveOrder(games.arrGames));
    EXPECT_EQ(StoredOrder(), L"12 7 31 ");

    OwnedGames none;
    ASSERT_TRUE(SaveOrder(none.arrGames));
    EXPECT_EQ(StoredOrder(), L"");
}

TEST_F(CatalogueSettingsTest, StartUpRefreshSetsInstalledAndLogs)
{
    AddInstalled("12");
    AddPending("7");
    struct Case
    {
        const wchar_t* pszId;
        bool bInstalledBefore;
        bool bInstalledAfter;
        const char* pszLog;
    } cases[] = {
        {L"12", false, true, "ID:12   Name:Twelve\r\ninstaled:1   loading:0\r\n"},
        {L"7", true, false, "ID:7   Name:Twelve\r\ninstaled:0   loading:1\r\n"},
        {L"99", true, false, "ID:99   Name:Twelve\r\ninstaled:0   loading:0\r\n"}, // no key
    };
    for (const Case& c : cases) {
        tagGames game;
        CopyToFixed(game.szID, c.pszId);
        CopyToFixed(game.szName, L"Twelve");
        game.bInstalled = c.bInstalledBefore;
        const size_t nBefore = m_log.Text().size();
        RefreshGameState(game);
        EXPECT_EQ(game.bInstalled, c.bInstalledAfter) << c.pszId;
        EXPECT_EQ(m_log.Text().substr(nBefore), c.pszLog);
    }
}

TEST_F(CatalogueSettingsTest, CommandLineRequestMarksTheDownload)
{
    AddInstalled("5");
    for (const char* pszId : {"5", "12"}) {
        std::filesystem::create_directories(m_strDownload + "/" + pszId);
        WriteFile(m_strDownload + "/" + pszId + "/trialinstaller_c", "");
    }

    // A new game: its key is made and marked, its old installed marker goes.
    EXPECT_EQ(RequestCommandLineGame(L"launcher ID:12", W(m_strDownload)), L"12");
    EXPECT_EQ(ReadStateByte("12", L"installed"), 0);
    EXPECT_EQ(ReadStateByte("12", L"loading"), 1);
    EXPECT_FALSE(std::filesystem::exists(m_strDownload + "/12/trialinstaller_c"));
    EXPECT_TRUE(
        platform::RegistryKey::Open(RegistryRoot::LocalMachine, GameKey("12"), platform::RegistryAccess::Read)
            ->HasAllAccess());

    // An installed game is left alone.
    EXPECT_EQ(RequestCommandLineGame(L"launcher ID:5", W(m_strDownload)), L"5");
    EXPECT_EQ(ReadStateByte("5", L"installed"), 1);
    EXPECT_EQ(ReadStateByte("5", L"loading"), 0);
    EXPECT_TRUE(std::filesystem::exists(m_strDownload + "/5/trialinstaller_c"));

    // No request, or one for something that is no game id: nothing is made.
    EXPECT_EQ(RequestCommandLineGame(L"launcher", W(m_strDownload)), std::nullopt);
    EXPECT_EQ(RequestCommandLineGame(L"launcher ID:../../x", W(m_strDownload)), std::nullopt);
    EXPECT_EQ(RequestCommandLineGame(L"launcher ID:12 --verbose", W(m_strDownload)), std::nullopt);
    EXPECT_EQ(MarkDownloadRequested(L"1234567890"), DownloadRequest::Failed);
    std::optional<platform::RegistryKey> launcher =
        platform::RegistryKey::Open(RegistryRoot::LocalMachine, kLauncherKey, platform::RegistryAccess::Read);
    ASSERT_TRUE(launcher);
    EXPECT_EQ(launcher->GetSubkeyNames(), (std::vector<std::wstring>{L"12", L"5"}));
}

TEST_F(CatalogueSettingsTest, ExecutablePathStaysInsideTheInstallFolder)
{
    struct Case
    {
        const wchar_t* pszDir;
        const wchar_t* pszFile;
        std::optional<std::wstring> expected;
    } cases[] = {
        {L"/games/12", L"game", L"/games/12/game"},
        {L"/games/12/", L"bin/game.x86_64", L"/games/12/bin/game.x86_64"},
        {L"/games/12", L"..game", L"/games/12/..game"},
        {L"/games/12", L"../../bin/sh", std::nullopt},
        {L"/games/12", L"bin/../../x", std::nullopt},
        {L"/games/12", L"..", std::nullopt},
        {L"/games/12", L"/bin/sh", std::nullopt},
        {L"/games/12", L"", std::nullopt},
        {L"", L"game", std::nullopt},
        {L"games/12", L"game", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetGameExecutablePath(c.pszDir, c.pszFile), c.expected) << c.pszDir << " " << c.pszFile;
}
