// Suite: threaded
#include "net/HttpClient.h"

#include "app/CGP_LogFile.h"
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
using testing_support::WriteFile;

namespace {

const std::string kQuery = "cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=12&action=trialinstaller";
const std::string kTail =
    "User-Agent: Brevanto Game Launcher\r\nHost: www.brevanto.games\r\nAccept: */*\r\n\r\n";

std::string FirstRequest(const std::string& strFlag)
{
    return "GET /" + kQuery + "&resume=" + strFlag + " HTTP/1.0\r\n" + kTail;
}

std::string RangeRequest(const std::string& strPath, size_t nOffset)
{
    return "GET /" + strPath + " HTTP/1.0\r\nRange: bytes=" + std::to_string(nOffset) + "-\r\n" + kTail;
}

// Bytes that differ at every position, so a misplaced byte shows.
std::string Pattern(size_t nSize)
{
    std::string data(nSize, '\0');
    for (size_t i = 0; i < nSize; ++i)
        data[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return data;
}

size_t HeadSize(const ScriptedAnswer& answer)
{
    return answer.strBytes.find("\r\n\r\n") + 4;
}

class HttpClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.IsListening());
        SetNetTimingsForTests({20, 20, 300});
        m_owner.strDownloadDir = platform::FromUtf8(m_dir / "download");
        ASSERT_TRUE(platform::CreateFolders(m_owner.strDownloadDir + L"/12"));
        m_request.pOwner = &m_owner;
        m_request.SetQuery(platform::FromUtf8(kQuery));
    }
    void TearDown() override { SetNetTimingsForTests({}); }

    int Download(const std::wstring& strGameId = L"12", const std::wstring& strFile = L"trialinstaller")
    {
        return DownloadFile(&m_request, strGameId, strFile);
    }
    std::string FilePath(const std::string& strName = "12/trialinstaller") const
    {
        return m_dir / ("download/" + strName);
    }
    bool FileExists(const std::string& strName = "12/trialinstaller") const
    {
        return std::filesystem::exists(FilePath(strName));
    }
    // A catalogue record for game 12, owned by the test.
    tagGames* AddGame()
    {
        // The window owns the records of its catalogue and frees them when it goes.
        m_pGame = new tagGames;
        CopyToFixed(m_pGame->szID, L"12");
        m_owner.arrGames.Add(m_pGame);
        return m_pGame;
    }
    void Remove() { m_owner.arrGames.TakeAll(); }

    testing_support::TempDir m_dir;
    ScriptedHttpServer m_server;
    ScopedEnv m_registry{"BREVANTO_REGISTRY", m_dir / "registry.db"};
    ScopedEnv m_connectTo{"BREVANTO_CONNECT_TO",
                          m_server.ConnectTo() + "," + m_server.ConnectTo("proxy.lan", 3128)};
    ScopedEnv m_host{"BREVANTO_SERVER_HOST", "", true};
    CLauncherDlg m_owner;
    tagRequest m_request;
    tagGames* m_pGame = nullptr;
};

TEST_F(HttpClientTest, SendsTheRequestBytesDirectAndThroughTheProxy)
{
    const std::string strFile = Pattern(3000);
    struct Case
    {
        const char* pszName;
        bool bProxy;
        const char* pszHost; // BREVANTO_SERVER_HOST, or null for the default
        int nExisting;       // bytes of a partial file, or -1 for none
        std::string strFirst;
        std::string strRange;
    } cases[] = {
        {"direct, no file", false, nullptr, -1, FirstRequest("0"), RangeRequest("files/12/setup.bin", 0)},
        {"direct, empty file", false, nullptr, 0, FirstRequest("1"), RangeRequest("files/12/setup.bin", 0)},
        {"proxy, partial file", true, nullptr, 700,
         "GET http://brevanto.games/" + kQuery + "&resume=1 HTTP/1.0\r\n" + kTail,
         "GET http://brevanto.games/files/12/setup.bin HTTP/1.0\r\nRange: bytes=700-\r\n" + kTail},
        {"direct, own host", false, "example.org", -1,
         "GET /" + kQuery +
             "&resume=0 HTTP/1.0\r\nUser-Agent: Brevanto Game Launcher\r\n"
             "Host: www.example.org\r\nAccept: */*\r\n\r\n",
         "GET /files/12/setup.bin HTTP/1.0\r\nRange: bytes=0-\r\nUser-Agent: Brevanto Game Launcher\r\n"
         "Host: www.example.org\r\nAccept: */*\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        ScriptedHttpServer server;
        ScopedEnv connectTo("BREVANTO_CONNECT_TO", server.ConnectTo() + "," +
                                                       server.ConnectTo("proxy.lan", 3128) + "," +
                                                       server.ConnectTo("www.example.org"));
        std::unique_ptr<ScopedEnv> host;
        if (c.pszHost)
            host = std::make_unique<ScopedEnv>("BREVANTO_SERVER_HOST", c.pszHost);
        m_owner.bProxyEnable = c.bProxy ? 1 : 0;
        m_owner.strProxyHost = L"proxy.lan";
        m_owner.nPort = c.bProxy ? 3128 : 80;
        std::filesystem::remove(FilePath());
        if (c.nExisting >= 0)
            WriteFile(FilePath(), strFile.substr(0, static_cast<size_t>(c.nExisting)));
        size_t nOffset = c.nExisting > 0 ? static_cast<size_t>(c.nExisting) : 0;
        server.Script(
            {ScriptedAnswer::Redirect("../files/12/setup.bin"), ScriptedAnswer::Partial(strFile, nOffset)});

        EXPECT_EQ(Download(), kDownloadDone);
        EXPECT_EQ(ReadFile(FilePath()), strFile);
        std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0], c.strFirst);
        EXPECT_EQ(requests[1], c.strRange);
    }
}

TEST_F(HttpClientTest, RedirectKeepsOnlyThePathAndTheSameServer)
{
    const std::string strFile = Pattern(500);
    m_server.Script({ScriptedAnswer::Redirect("http://elsewhere.example:8080/files/a"),
                     ScriptedAnswer::Partial(strFile, 0)});
    EXPECT_EQ(Download(), kDownloadDone);
    std::vector<std::string> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], RangeRequest("p://elsewhere.example:8080/files/a", 0));
    EXPECT_EQ(ReadFile(FilePath()), strFile);
}

TEST_F(HttpClientTest, FirstAnswerStatusGivesTheResultCode)
{
    struct Case
    {
        const char* pszFile;
        ScriptedAnswer answer;
        int nResult;
    } cases[] = {
        {"trialinstaller", ScriptedAnswer::Status("500 Internal Server Error"), kDownloadServerError},
        {"trialinstaller", ScriptedAnswer::Status("404 Not Found"), kDownloadServerError},
        {"trialinstaller", ScriptedAnswer::Status("403 Forbidden"), kDownloadConnectionProblem},
        {"trialinstaller", ScriptedAnswer::Status("504 Gateway Timeout"), kDownloadConnectionProblem},
        {"trialinstaller", ScriptedAnswer::Status("301 Moved"), kDownloadServerError},
        {"trialinstaller", ScriptedAnswer{"garbage without a status\r\n\r\n"}, kDownloadServerError},
        {"trialinstaller", ScriptedAnswer{}, kDownloadServerError}, // closes at once
        {"updatelauncher", ScriptedAnswer::Ok("new launcher bytes"), kDownloadDone},
        {"updatelauncher", ScriptedAnswer::Status("418 Teapot"), kDownloadDone},
        {"updatelauncher", ScriptedAnswer::Status("404 Not Found"), kDownloadServerError},
        {"updatelauncher", ScriptedAnswer::Status("504 Gateway Timeout"), kDownloadConnectionProblem},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pszFile) + ": " + c.answer.strBytes);
        m_server.Script({c.answer});
        const bool bLauncher = std::string(c.pszFile) == "updatelauncher";
        EXPECT_EQ(Download(bLauncher ? L"" : L"12", platform::FromUtf8(c.pszFile)), c.nResult);
        EXPECT_FALSE(FileExists(bLauncher ? "updatelauncher" : "12/trialinstaller"));
        EXPECT_FALSE(m_owner.bLauncherUpdate);
    }
}

TEST_F(HttpClientTest, RangeAnswerStatusGivesTheResultCodeAndKeepsThePartialFile)
{
    struct Case
    {
        ScriptedAnswer answer;
        int nResult;
    } cases[] = {
        {ScriptedAnswer::Status("500 Internal Server Error"), kDownloadServerError},
        {ScriptedAnswer::Status("404 Not Found"), kDownloadServerError},
        {ScriptedAnswer::Status("403 Forbidden"), kDownloadConnectionProblem},
        {ScriptedAnswer::Status("504 Gateway Timeout"), kDownloadConnectionProblem},
        {ScriptedAnswer::Status("418 Teapot"), kDownloadServerError},
        {ScriptedAnswer{"\x01\x02 binary junk\r\n\r\n"}, kDownloadServerError},
        {ScriptedAnswer{}, kDownloadServerError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.strBytes);
        WriteFile(FilePath(), "prefix");
        m_server.Script({ScriptedAnswer::Redirect("../files/x"), c.answer});
        EXPECT_EQ(Download(), c.nResult);
        EXPECT_EQ(ReadFile(FilePath()), "prefix");
    }
}

TEST_F(HttpClientTest, RangeNotSatisfiableStartsTheFileAgain)
{
    const std::string strFile = Pattern(2000);
    WriteFile(FilePath(), "stale partial bytes");
    m_server.Script({ScriptedAnswer::Redirect("../files/x"),
                     ScriptedAnswer::Status("416 Range Not Satisfiable"),
                     ScriptedAnswer::Partial(strFile, 0)});
    EXPECT_EQ(Download(), kDownloadDone);
    EXPECT_EQ(ReadFile(FilePath()), strFile);
    std::vector<std::string> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1], RangeRequest("files/x", 19));
    EXPECT_EQ(requests[2], RangeRequest("files/x", 0));
}

TEST_F(HttpClientTest, RangeNotSatisfiableForTheWholeFileIsAServerError)
{
    m_server.Script(
        {ScriptedAnswer::Redirect("../files/x"), ScriptedAnswer::Status("416 Range Not Satisfiable")});
    EXPECT_EQ(Download(), kDownloadServerError);
    EXPECT_EQ(m_server.RequestCount(), 2u);
}

TEST_F(HttpClientTest, InstallerOfAnotherSizeIsFetchedAgainFromTheStart)
{
    AddGame();
    const std::string strFile = Pattern(4000);
    struct Case
    {
        const char* pszName;
        uint32_t nStored;
        size_t nRequests;
    } cases[] = {{"same total resumes", 4000, 2}, {"other total restarts", 9999, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        CGP_Registry key(platform::RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher\\12");
        ASSERT_TRUE(key.CreateKeyAllPerm());
        ASSERT_TRUE(key.WriteDword(L"ContentLen", c.nStored));
        // The partial bytes match the new file only when the total matched.
        WriteFile(FilePath(), c.nStored == 4000 ? strFile.substr(0, 1000) : std::string(1000, 'x'));
        ScriptedHttpServer server;
        ScopedEnv connectTo("BREVANTO_CONNECT_TO", server.ConnectTo());
        server.Script({ScriptedAnswer::Redirect("../files/x"), ScriptedAnswer::Partial(strFile, 1000),
                       ScriptedAnswer::Partial(strFile, 0)});

        EXPECT_EQ(Download(), kDownloadDone);
        EXPECT_EQ(ReadFile(FilePath()), strFile);
        std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), c.nRequests);
        EXPECT_EQ(requests.back(), RangeRequest("files/x", c.nRequests == 2 ? 1000 : 0));
        uint32_t nStored = 0;
        EXPECT_TRUE(key.ReadDword(L"ContentLen", nStored));
        EXPECT_EQ(nStored, 4000u);
        EXPECT_EQ(m_pGame->nTotalKB, 4);
    }
}

TEST_F(HttpClientTest, StreamBrokenThreeTimesIsResumedThreeTimes)
{
    const std::string strFile = Pattern(250000);
    const size_t arrCuts[] = {0, 1, 90000, 200000};
    std::vector<ScriptedAnswer> script{ScriptedAnswer::Redirect("../files/x")};
    for (size_t i = 0; i + 1 < std::size(arrCuts); ++i) {
        ScriptedAnswer answer = ScriptedAnswer::Partial(strFile, arrCuts[i]);
        script.push_back(answer.CutAfter(HeadSize(answer) + arrCuts[i + 1] - arrCuts[i]));
    }
    script.push_back(ScriptedAnswer::Partial(strFile, arrCuts[3]));
    m_server.Script(script);

    EXPECT_EQ(Download(), kDownloadDone);
    EXPECT_EQ(ReadFile(FilePath()), strFile);
    std::vector<std::string> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    for (size_t i = 0; i < std::size(arrCuts); ++i)
        EXPECT_EQ(requests[i + 1], RangeRequest("files/x", arrCuts[i]));
}

TEST_F(HttpClientTest, ProgressGoesIntoTheRecordAndClearsItsError)
{
    tagGames* pGame = AddGame();
    pGame->bDownloading = true;
    pGame->SetError(L"Server error");
    const std::string strFile = Pattern(345678);
    ScriptedAnswer answer = ScriptedAnswer::Partial(strFile, 0);
    answer.nPauseAfter = HeadSize(answer) + 1000; // so that at least one chunk follows the head
    answer.nPauseMs = 50;
    m_server.Script({ScriptedAnswer::Redirect("../files/x"), answer});

    EXPECT_EQ(Download(), kDownloadDone);
    EXPECT_EQ(pGame->nPercent, 100);
    EXPECT_EQ(pGame->nTotalKB, 345);
    EXPECT_EQ(pGame->nReceivedKB, 345);
    EXPECT_FALSE(pGame->HasError());
}

TEST_F(HttpClientTest, StopEndsTheTransferOnlyWhileDownloading)
{
    tagGames* pGame = AddGame();
    pGame->bStop = true;
    const std::string strFile = Pattern(300000);
    struct Case
    {
        bool bDownloading;
        int nResult;
    } cases[] = {{true, kDownloadStopped}, {false, kDownloadDone}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bDownloading);
        std::filesystem::remove(FilePath());
        pGame->bDownloading = c.bDownloading;
        ScriptedAnswer answer = ScriptedAnswer::Partial(strFile, 0);
        answer.nPauseAfter = HeadSize(answer) + 10;
        answer.nPauseMs = 30;
        m_server.Script({ScriptedAnswer::Redirect("../files/x"), answer});
        EXPECT_EQ(Download(), c.nResult);
        std::string strPartial = ReadFile(FilePath());
        EXPECT_EQ(strPartial, strFile.substr(0, strPartial.size()));
        if (c.nResult == kDownloadStopped) {
            EXPECT_LT(strPartial.size(), strFile.size());
        }
    }
}

TEST_F(HttpClientTest, AssetWithEmptyBodyLeavesTheFileAsItWas)
{
    WriteFile(FilePath("12/thumbimg"), "abc");
    m_server.Script({ScriptedAnswer::Redirect("../files/x"),
                     {"HTTP/1.0 206 Partial Content\r\nContent-Length: 0\r\n\r\n"}});
    EXPECT_EQ(Download(L"12", L"thumbimg"), kDownloadDone);
    EXPECT_EQ(ReadFile(FilePath("12/thumbimg")), "abc");
}

// Answers that a careless client would mishandle or turn into a damaged file.
TEST_F(HttpClientTest, AwkwardAnswersGiveAClearResultAndAConsistentFile)
{
    const std::string strFile = Pattern(60000);
    const std::string strPartial = strFile.substr(0, 100);
    ScriptedAnswer split = ScriptedAnswer::Partial(strFile, 100);
    split.nPauseAfter = 12; // the status line arrives on its own
    split.nPauseMs = 60;
    ScriptedAnswer longer = ScriptedAnswer::Partial(strFile, 100);
    longer.strBytes += "trailing bytes beyond the announced length";
    const std::string strTooLongPath = "../" + std::string(600, 'a');
    struct Case
    {
        const char* pszName;
        std::vector<ScriptedAnswer> script;
        int nResult;
        std::string strFileAfter;
        size_t nRequests;
    } cases[] = {
        {"head over several reads", {ScriptedAnswer::Redirect("../x"), split}, kDownloadDone, strFile, 2},
        {"302 without Location",
         {{"HTTP/1.0 302 Found\r\nContent-Length: 0\r\n\r\n"}},
         kDownloadServerError,
         strPartial,
         1},
        {"Location too short", {ScriptedAnswer::Redirect("..")}, kDownloadServerError, strPartial, 1},
        {"Location too long",
         {ScriptedAnswer::Redirect(strTooLongPath)},
         kDownloadServerError,
         strPartial,
         1},
        {"Location with a line break",
         {{"HTTP/1.0 302 Found\r\nLocation: ../a\nHost: x\r\n\r\n"}},
         kDownloadServerError,
         strPartial,
         1},
        {"no Content-Length",
         {ScriptedAnswer::Redirect("../x"), {"HTTP/1.0 206 Partial\r\n\r\nbody"}},
         kDownloadServerError,
         strPartial,
         2},
        {"negative Content-Length",
         {ScriptedAnswer::Redirect("../x"), {"HTTP/1.0 206 Partial\r\nContent-Length: -5\r\n\r\nbody"}},
         kDownloadServerError,
         strPartial,
         2},
        {"Content-Length not a number",
         {ScriptedAnswer::Redirect("../x"), {"HTTP/1.0 206 Partial\r\nContent-Length: 12ab\r\n\r\nbody"}},
         kDownloadServerError,
         strPartial,
         2},
        {"Content-Length of 2 GiB",
         {ScriptedAnswer::Redirect("../x"),
          {"HTTP/1.0 206 Partial\r\nContent-Length: 2147483648\r\n\r\nbody"}},
         kDownloadServerError,
         strPartial,
         2},
        {"range ignored",
         {ScriptedAnswer::Redirect("../x"), ScriptedAnswer::Ok(strFile)},
         kDownloadDone,
         strFile,
         2},
        {"206 for another range",
         {ScriptedAnswer::Redirect("../x"), ScriptedAnswer::Partial(strFile, 50),
          ScriptedAnswer::Partial(strFile, 0)},
         kDownloadDone,
         strFile,
         3},
        {"body longer than announced", {ScriptedAnswer::Redirect("../x"), longer}, kDownloadDone, strFile, 2},
        {"header flood",
         {ScriptedAnswer::Redirect("../x"), {"HTTP/1.0 206 Partial\r\n" + std::string(70000, 'h')}},
         kDownloadServerError,
         strPartial,
         2},
        {"first answer 200 to a resume", {ScriptedAnswer::Ok(strFile)}, kDownloadDone, strFile, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        ScriptedHttpServer server;
        ScopedEnv connectTo("BREVANTO_CONNECT_TO", server.ConnectTo());
        WriteFile(FilePath(), strPartial);
        server.Script(c.script);
        EXPECT_EQ(Download(), c.nResult);
        EXPECT_EQ(ReadFile(FilePath()), c.strFileAfter);
        EXPECT_EQ(server.RequestCount(), c.nRequests);
    }
}

TEST_F(HttpClientTest, ResumeAfterAFirst200RepeatsTheQueryWithARange)
{
    const std::string strFile = Pattern(5000);
    ScriptedAnswer first = ScriptedAnswer::Ok(strFile);
    m_server.Script({first.CutAfter(HeadSize(first) + 1234), ScriptedAnswer::Partial(strFile, 1234)});
    EXPECT_EQ(Download(), kDownloadDone);
    EXPECT_EQ(ReadFile(FilePath()), strFile);
    std::vector<std::string> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], RangeRequest(kQuery + "&resume=1", 1234));
}

TEST_F(HttpClientTest, SilentConnectionCountsAsBroken)
{
    const std::string strFile = Pattern(8000);
    ScriptedAnswer answer = ScriptedAnswer::Partial(strFile, 0);
    m_server.Script({ScriptedAnswer::Redirect("../x"), answer.SilentAfter(HeadSize(answer) + 3000),
                     ScriptedAnswer::Partial(strFile, 3000)});
    EXPECT_EQ(Download(), kDownloadDone);
    EXPECT_EQ(ReadFile(FilePath()), strFile);
    EXPECT_EQ(m_server.Requests().back(), RangeRequest("x", 3000));
}

TEST_F(HttpClientTest, SilentRangeAnswerIsAConnectionProblemAndLogged)
{
    auto pLog = std::make_shared<CGP_LogFile>(platform::FromUtf8(m_dir / "session.log"), true);
    pLog->Open();
    SetSessionLog(pLog);
    ScriptedAnswer silent;
    silent.bHoldOpen = true;
    m_server.Script({ScriptedAnswer::Redirect("../x"), silent});
    EXPECT_EQ(Download(), kDownloadConnectionProblem);
    SetSessionLog(nullptr);
    pLog->Close();
    EXPECT_NE(ReadFile(m_dir / "session.log").find("recv SOCKET_ERROR 302\r\n"), std::string::npos);
}

TEST_F(HttpClientTest, BadGameIdOrFileNameSendsNothing)
{
    EXPECT_EQ(Download(L"../12", L"trialinstaller"), kDownloadServerError);
    EXPECT_EQ(Download(L"12", L"../../escape"), kDownloadServerError);
    EXPECT_EQ(m_server.RequestCount(), 0u);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "escape"));
}

TEST_F(HttpClientTest, LauncherRedirectSuspendsTheUpdateThreadUntilResumed)
{
    SetNetTimingsForTests({20, 100, 300});
    const std::string strFile = Pattern(120000);
    m_server.Script({ScriptedAnswer::Redirect("../files/launcher.bin"), ScriptedAnswer::Partial(strFile, 0)});
    std::wstring strQuery = L"cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=0&action=updatelauncher";
    m_request.SetQuery(strQuery);
    tagRequest request = m_request;
    // Stored before the thread runs, as the window does it: created suspended, then resumed.
    m_owner.hUpdateThread = platform::Thread::Create(
        [request] { return static_cast<uint32_t>(DownloadFile(&request, L"", L"updatelauncher")); },
        platform::ThreadPriority::Normal, true);
    ASSERT_TRUE(m_owner.hUpdateThread);
    m_owner.hUpdateThread->Resume();

    // Parked at its start until the resume takes effect, so wait for the announcement as well.
    ASSERT_TRUE(testing_support::WaitUntil(
        [&] { return m_owner.bLauncherUpdate && m_owner.hUpdateThread->IsParked(); }));
    EXPECT_TRUE(m_owner.bUpdateButtonShown);
    EXPECT_EQ(m_owner.nUpdateBlinks, 1);
    EXPECT_EQ(m_server.RequestCount(), 1u);
    EXPECT_FALSE(FileExists("updatelauncher"));

    m_owner.hUpdateThread->Resume(); // the user asked for the update
    ASSERT_TRUE(m_owner.hUpdateThread->Wait(10000));
    uint32_t nResult = 99;
    EXPECT_TRUE(m_owner.hUpdateThread->GetExitCode(nResult));
    EXPECT_EQ(nResult, static_cast<uint32_t>(kDownloadDone));
    EXPECT_EQ(ReadFile(FilePath("updatelauncher")), strFile);
    EXPECT_EQ(m_owner.nUpdatePercent, 100);
    std::vector<std::string> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], RangeRequest("files/launcher.bin", 0));
    uint32_t nStored = 0;
    CGP_Registry key(platform::RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher");
    EXPECT_TRUE(key.Open() && key.ReadDword(L"ContentLen", nStored));
    EXPECT_EQ(nStored, strFile.size());
}

TEST_F(HttpClientTest, LauncherRedirectIsAnnouncedOnlyOnce)
{
    m_owner.bLauncherUpdate = true;
    const std::string strFile = Pattern(100);
    m_server.Script({ScriptedAnswer::Redirect("../l"), ScriptedAnswer::Partial(strFile, 0)});
    EXPECT_EQ(Download(L"", L"updatelauncher"), kDownloadDone); // no update thread: it would park here
    EXPECT_EQ(m_owner.nUpdateBlinks, 0);
}

TEST_F(HttpClientTest, TextAnswerIsReadWholeWithoutAResumeFlag)
{
    const std::string strLong = Pattern(5000);
    ScriptedAnswer cut = ScriptedAnswer::Ok(strLong);
    struct Case
    {
        const char* pszName;
        std::vector<ScriptedAnswer> script;
        std::optional<std::string> strBody;
        size_t nRequests;
    } cases[] = {
        {"short", {ScriptedAnswer::Ok("12,13,14")}, "12,13,14", 1},
        {"longer than 1023 bytes", {ScriptedAnswer::Ok(strLong)}, strLong, 1},
        {"cut once", {cut.CutAfter(HeadSize(cut) + 10), ScriptedAnswer::Ok(strLong)}, strLong, 2},
        {"not 200", {ScriptedAnswer::Status("404 Not Found")}, std::nullopt, 1},
        {"no Content-Length", {{"HTTP/1.0 200 OK\r\n\r\n12,13"}}, std::nullopt, 1},
        {"longer than 64 KB", {ScriptedAnswer::Ok(std::string(70000, '1'))}, std::nullopt, 1},
        {"closed at once", {ScriptedAnswer{}}, std::nullopt, 1},
    };
    m_request.SetQuery(L"cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=12,13&action=relatedlist");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        ScriptedHttpServer server;
        ScopedEnv connectTo("BREVANTO_CONNECT_TO", server.ConnectTo());
        server.Script(c.script);
        EXPECT_EQ(DownloadToMemory(&m_request), c.strBody);
        std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), c.nRequests);
        EXPECT_EQ(requests[0],
                  "GET /cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=12,13&action=relatedlist "
                  "HTTP/1.0\r\n" +
                      kTail);
    }
}

} // namespace
