// Suite: threaded
// The real brevanto-server process on a free loopback port, spoken to with raw sockets in the
// launcher's exact request bytes, and with curl.

#include "platform/image/Image.h"
#include "platform/process/Process.h"
#include "platform/text/Text.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <map>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

struct Response
{
    int nStatus = 0;
    std::map<std::string, std::string> mapHeaders;
    std::string strBody;
    std::string strRaw;
};

// Splits a raw answer; a status of 0 when nothing readable came back.
Response ParseResponse(const std::string& strRaw)
{
    Response response;
    response.strRaw = strRaw;
    size_t nEnd = strRaw.find("\r\n\r\n");
    if (strRaw.rfind("HTTP/1.", 0) != 0 || nEnd == std::string::npos)
        return response;
    response.nStatus = std::atoi(strRaw.c_str() + 9);
    size_t nLine = strRaw.find("\r\n") + 2;
    while (nLine < nEnd) {
        size_t nNext = strRaw.find("\r\n", nLine);
        std::string strLine = strRaw.substr(nLine, nNext - nLine);
        size_t nColon = strLine.find(": ");
        response.mapHeaders[strLine.substr(0, nColon)] = strLine.substr(nColon + 2);
        nLine = nNext + 2;
    }
    response.strBody = strRaw.substr(nEnd + 4);
    return response;
}

class Connection
{
public:
    explicit Connection(uint16_t nPort)
    {
        m_hSocket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(nPort);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        timeval timeout{10, 0};
        setsockopt(m_hSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        m_bConnected = connect(m_hSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~Connection() { close(m_hSocket); }

    bool IsConnected() const { return m_bConnected; }
    bool Send(const std::string& strData)
    {
        return send(m_hSocket, strData.data(), strData.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(strData.size());
    }
    // Everything until the server closes (or nothing arrives for 10 s).
    std::string ReadAll()
    {
        std::string strData;
        char buffer[65536];
        ssize_t nRead = 0;
        while ((nRead = recv(m_hSocket, buffer, sizeof(buffer), 0)) > 0)
            strData.append(buffer, static_cast<size_t>(nRead));
        return strData;
    }
    std::string ReadSome(size_t nBytes)
    {
        std::string strData(nBytes, '\0');
        ssize_t nRead = recv(m_hSocket, strData.data(), nBytes, MSG_WAITALL);
        strData.resize(nRead > 0 ? static_cast<size_t>(nRead) : 0);
        return strData;
    }
    void CloseWrite() { shutdown(m_hSocket, SHUT_WR); }

private:
    int m_hSocket = -1;
    bool m_bConnected = false;
};

// The launcher's first request, direct form (the query already holds every key).
std::string LauncherRequest(const std::string& strQuery, bool bProxy = false)
{
    return std::string("GET ") + (bProxy ? "http://brevanto.games" : "") + "/cgi-bin/launcher_data.pl?" +
           strQuery +
           " HTTP/1.0\r\nUser-Agent: Brevanto Game Launcher\r\nHost: www.brevanto.games\r\nAccept: "
           "*/*\r\n\r\n";
}

// The launcher's range request for a redirect path (the Location value without its first three
// characters).
std::string RangeRequest(const std::string& strPath, uint64_t nOffset, bool bProxy = false)
{
    return std::string("GET ") + (bProxy ? "http://brevanto.games" : "") + "/" + strPath +
           " HTTP/1.0\r\nRange: bytes=" + std::to_string(nOffset) +
           "-\r\nUser-Agent: Brevanto Game Launcher\r\nHost: www.brevanto.games\r\nAccept: */*\r\n\r\n";
}

std::string Query(const std::string& strGameId, const std::string& strAction,
                  const std::string& strVersion = "1.0.0.1")
{
    return "version=" + strVersion + "&gameid=" + strGameId + "&action=" + strAction;
}

std::string Pattern(size_t nSize)
{
    std::string strData(nSize, '\0');
    for (size_t i = 0; i < nSize; ++i)
        strData[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
    return strData;
}

// Bytes that do not compress.
std::string RandomBytes(size_t nSize)
{
    std::mt19937 random(7);
    std::string strData(nSize, '\0');
    for (char& c : strData)
        c = static_cast<char>(random() & 0xFF);
    return strData;
}

// A server started on a catalogue root the test fills first.
class BrevantoServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_root / "games/12");
        std::filesystem::create_directories(m_root / "games/seven");
        std::filesystem::create_directories(m_root / "games/9");
        std::filesystem::create_directories(m_root / "launcher");
        WriteFile(
            m_root / "games/12/game.ini",
            "# a comment\nid=12\nname=Twelve\nversion=1.2.0.0\nthumbimg=thumb.png\nfeatureimg=feature.png\n"
            "bannerimg=banner.png\nbriefdesc=brief.txt\ntrialinstaller=setup 12.bin\n");
        WriteFile(m_root / "games/12/thumb.png", "thumb-bytes");
        WriteFile(m_root / "games/12/feature.png", "feature-bytes");
        WriteFile(m_root / "games/12/banner.png", "banner-bytes");
        WriteFile(m_root / "games/12/brief.txt", "Twelve&&The twelfth game.");
        WriteFile(m_root / "games/12/setup 12.bin", Pattern(300000));
        // Game 7 names a link to a file outside the root and a path that climbs out of it.
        WriteFile(m_root / "games/seven/game.ini",
                  "id=7\nname=Seven\nversion=1.5.0.0\nrelated=12,404,9\ntrialinstaller=empty.bin\n"
                  "thumbimg=thumb.png\nfeatureimg=../../../../../../../../etc/hostname\n");
        WriteFile(m_root / "games/seven/empty.bin", "");
        WriteFile(m_dir / "secret.txt", "not for clients");
        std::filesystem::create_symlink(m_dir / "secret.txt", m_root / "games/seven/thumb.png");
        WriteFile(m_root / "games/9/game.ini", "id=9\nname=Nine\nversion=1.0.0.0\n");
        WriteFile(m_root / "inside.txt", "not for clients either");
        WriteFile(m_root / "launcher/launcher.ini", "version=1.0.0.5\ninstaller=setup.bin\n");
        WriteFile(m_root / "launcher/setup.bin", "launcher-installer");
    }

    void TearDown() override { Stop(); }

    void Start(const std::string& strRoot = {}, const std::string& strExtra = {})
    {
        platform::ProcessStartInfo info;
        info.strFile = platform::FromUtf8(testing_support::BinPath("brevanto-server"));
        info.strParameters = platform::FromUtf8("--root \"" + (strRoot.empty() ? m_root.Path() : strRoot) +
                                                "\" --listen 127.0.0.1:0 --idle-timeout 3000 --port-file \"" +
                                                m_strPortFile + "\" --log \"" + m_strLog + "\" " + strExtra);
        m_pServer = platform::Process::Start(info);
        ASSERT_TRUE(m_pServer);
        ASSERT_TRUE(testing_support::WaitUntil([&] { return std::filesystem::exists(m_strPortFile); }));
        m_nPort = static_cast<uint16_t>(std::stoi(ReadFile(m_strPortFile)));
    }

    // SIGTERM; the exit code, or -1 when the server did not end within the limit.
    int Stop()
    {
        if (!m_pServer)
            return -1;
        kill(m_pServer->GetPid(), SIGTERM);
        uint32_t nCode = 0;
        bool bEnded = m_pServer->Wait(10000) && m_pServer->GetExitCode(nCode);
        m_pServer.reset();
        return bEnded ? static_cast<int>(nCode) : -1;
    }

    Response Exchange(const std::string& strRequest)
    {
        Connection connection(m_nPort);
        EXPECT_TRUE(connection.IsConnected());
        connection.Send(strRequest);
        return ParseResponse(connection.ReadAll());
    }

    // The launcher's whole download: first request, redirect with the three skipped characters,
    // then the range request from nOffset.
    Response Download(const std::string& strQuery, uint64_t nOffset = 0, bool bProxy = false)
    {
        Response first = Exchange(LauncherRequest(strQuery + "&resume=" + (nOffset ? "1" : "0"), bProxy));
        EXPECT_EQ(first.nStatus, 302) << first.strRaw;
        std::string strLocation = first.mapHeaders["Location"];
        EXPECT_EQ(strLocation.substr(0, 3), "../");
        return Exchange(RangeRequest(strLocation.substr(3), nOffset, bProxy));
    }

    std::vector<std::string> LogLines()
    {
        std::vector<std::string> arrLines;
        std::string strLog = ReadFile(m_strLog);
        size_t nStart = 0;
        while (nStart < strLog.size()) {
            size_t nEnd = strLog.find('\n', nStart);
            arrLines.push_back(strLog.substr(nStart, nEnd - nStart));
            nStart = nEnd == std::string::npos ? strLog.size() : nEnd + 1;
        }
        return arrLines;
    }

    testing_support::TempDir m_dir;
    testing_support::TempDir m_root;
    std::string m_strPortFile = m_dir / "port";
    std::string m_strLog = m_dir / "requests.log";
    std::unique_ptr<platform::Process> m_pServer;
    uint16_t m_nPort = 0;
};

TEST_F(BrevantoServerTest, FileActionsRedirectToTheirFilesDirectAndThroughTheProxyForm)
{
    Start();
    const std::pair<const char*, const char*> cases[] = {{"thumbimg", "thumb.png"},
                                                         {"featureimg", "feature.png"},
                                                         {"bannerimg", "banner.png"},
                                                         {"briefdesc", "brief.txt"},
                                                         {"trialinstaller", "setup 12.bin"}};
    for (bool bProxy : {false, true}) {
        for (const auto& [pszAction, pszFile] : cases) {
            SCOPED_TRACE(std::string(pszAction) + (bProxy ? " via proxy form" : ""));
            Response first = Exchange(LauncherRequest(Query("12", pszAction) + "&resume=0", bProxy));
            ASSERT_EQ(first.nStatus, 302);
            EXPECT_EQ(first.mapHeaders["Content-Length"], "0");
            Response file = Download(Query("12", pszAction), 0, bProxy);
            EXPECT_EQ(file.nStatus, 206);
            EXPECT_EQ(file.strBody, ReadFile(m_root / "games/12/" + pszFile));
            EXPECT_EQ(file.mapHeaders["Content-Length"], std::to_string(file.strBody.size()));
        }
    }
    EXPECT_EQ(Exchange(LauncherRequest(Query("12", "trialinstaller"))).mapHeaders["Location"],
              "../games/12/setup%2012.bin");
}

TEST_F(BrevantoServerTest, RangesResumeFromTheOffsetAndPastTheEndAnswer416)
{
    Start();
    const std::string strData = Pattern(300000);
    Response resumed = Download(Query("12", "trialinstaller"), 123456);
    EXPECT_EQ(resumed.nStatus, 206);
    EXPECT_EQ(resumed.mapHeaders["Content-Range"], "bytes 123456-299999/300000");
    EXPECT_EQ(resumed.mapHeaders["Content-Length"], "176544");
    EXPECT_EQ(resumed.strBody, strData.substr(123456));

    for (uint64_t nOffset : {300000u, 300001u, 5000000u}) {
        Response past = Exchange(RangeRequest("games/12/setup%2012.bin", nOffset));
        EXPECT_EQ(past.nStatus, 416) << nOffset;
        EXPECT_EQ(past.mapHeaders["Content-Range"], "bytes */300000");
        EXPECT_EQ(past.mapHeaders["Content-Length"], std::to_string(past.strBody.size()));
    }
    Response closed =
        Exchange("GET /games/12/setup%2012.bin HTTP/1.1\r\nRange: bytes=10-19\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(closed.nStatus, 206);
    EXPECT_EQ(closed.strBody, strData.substr(10, 10));
    Response whole = Exchange("GET /games/12/setup%2012.bin HTTP/1.0\r\n\r\n");
    EXPECT_EQ(whole.nStatus, 200);
    EXPECT_EQ(whole.strBody, strData);
    Response head = Exchange("HEAD /games/12/setup%2012.bin HTTP/1.0\r\n\r\n");
    EXPECT_EQ(head.mapHeaders["Content-Length"], "300000");
    EXPECT_EQ(head.strBody, "");
    // An empty file has no satisfiable range; it comes whole, so a resume at 0 cannot loop on 416.
    Response empty = Download(Query("7", "trialinstaller"), 0);
    EXPECT_EQ(empty.nStatus, 200);
    EXPECT_EQ(empty.mapHeaders["Content-Length"], "0");
}

TEST_F(BrevantoServerTest, UpdateAndListActionsAnswerWhatTheLauncherReads)
{
    Start();
    struct Case
    {
        std::string strQuery;
        int nStatus;
        std::string strBody;
    };
    const Case cases[] = {
        {Query("0", "updatelauncher", "1.0.0.1"), 302, ""},
        {Query("0", "updatelauncher", "1.0.0.5"), 200, ""},
        {Query("0", "updatelauncher", "1.0.1.0"), 200, ""},
        {Query("0", "updatelauncher", "1.0"), 400, "E bad version"},
        {Query("12-1.0.0.0,7-1.5.0.0,", "updateproducts"), 200, "12,"},
        {Query("12-1.1.9.9,7-1.4.0.0,9-1.0.0.0", "updateproducts"), 200, "12,7,"},
        {Query("12-1.0.0.0,12-1.0.0.0,99-1.0.0.0,bad,,7-x", "updateproducts"), 200, "12,"},
        {Query("", "updateproducts"), 200, ""},
        {Query("7", "relatedlist"), 200, "12,9"},
        {Query("7,12", "relatedlist"), 200, "9"},
        {Query("9,12", "relatedlist"), 200, "7"},
        {Query("", "relatedlist"), 200, "7,9,12"},
        {Query("7,9,12", "relatedlist"), 200, "E no related games"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strQuery);
        // relatedlist comes without "&resume=", the others with it.
        bool bResume = c.strQuery.find("relatedlist") == std::string::npos;
        Response response = Exchange(LauncherRequest(c.strQuery + (bResume ? "&resume=0" : "")));
        EXPECT_EQ(response.nStatus, c.nStatus);
        EXPECT_EQ(response.strBody, c.strBody);
        EXPECT_EQ(response.mapHeaders["Content-Length"], std::to_string(c.strBody.size()));
    }
    Response launcher = Download(Query("0", "updatelauncher", "0.9.0.0"));
    EXPECT_EQ(launcher.strBody, "launcher-installer");
}

TEST_F(BrevantoServerTest, BadRequestsGetClearAnswersAndNothingOutsideTheCatalogue)
{
    Start();
    struct Case
    {
        std::string strRequest;
        int nStatus;
    };
    const std::string q = "GET /cgi-bin/launcher_data.pl?";
    const Case cases[] = {
        {"GARBAGE\r\n\r\n", 400},
        {"GET /games/12/thumb.png HTTP/2.0\r\n\r\n", 400},
        {"GET games/12/thumb.png HTTP/1.0\r\n\r\n", 400},
        {"GET /games/12/thumb.png HTTP/1.0\r\nNo colon here\r\n\r\n", 400},
        {"DELETE /games/12/thumb.png HTTP/1.1\r\n\r\n", 405},
        {q + "version=1.0.0.1&gameid=12 HTTP/1.0\r\n\r\n", 400},
        {q + "gameid=12&action=thumbimg HTTP/1.0\r\n\r\n", 400},
        {q + Query("12", "nosuchaction") + " HTTP/1.0\r\n\r\n", 400},
        {q + Query("12", "thumbimg") + "&resume=2 HTTP/1.0\r\n\r\n", 400},
        {q + Query("../12", "thumbimg") + " HTTP/1.0\r\n\r\n", 400},
        {q + Query("12%2F..", "briefdesc") + " HTTP/1.0\r\n\r\n", 400},
        {q + Query("1234567890", "thumbimg") + " HTTP/1.0\r\n\r\n", 400},
        {q + Query("-12", "thumbimg") + " HTTP/1.0\r\n\r\n", 400},
        {q + Query("12%zz", "thumbimg") + " HTTP/1.0\r\n\r\n", 400},
        {q + Query("404", "thumbimg") + " HTTP/1.0\r\n\r\n", 404},
        {q + Query("9", "thumbimg") + " HTTP/1.0\r\n\r\n", 404},
        {q + Query("7", "thumbimg") + " HTTP/1.0\r\n\r\n", 404}, // a link out of the root
        {q + Query("7", "featureimg") + " HTTP/1.0\r\n\r\n", 404},
        {"GET /games/12/../../inside.txt HTTP/1.0\r\n\r\n", 400},
        {"GET /games/12/%2e%2e/%2e%2e/inside.txt HTTP/1.0\r\n\r\n", 400},
        {"GET /inside.txt HTTP/1.0\r\n\r\n", 404},
        {"GET /games/seven/thumb.png HTTP/1.0\r\n\r\n", 404},
        {"GET /games/12/game.ini HTTP/1.0\r\n\r\n", 404},
        {"GET /etc/passwd HTTP/1.0\r\n\r\n", 404},
        {"GET /games/12/thumb.png HTTP/1.0\r\nRange: bytes=abc\r\n\r\n", 416},
        {"GET /games/12/thumb.png HTTP/1.0\r\nRange: bytes=9-3\r\n\r\n", 416},
        {"GET /games/12/thumb.png HTTP/1.0\r\nX-Big: " + std::string(20000, 'a') + "\r\n\r\n", 431},
        {"POST /cgi-bin/launcher_data.pl HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc", 404},
        {"POST /cgi-bin/error_reporting.pl HTTP/1.0\r\n\r\n", 411},
        {"POST /cgi-bin/error_reporting.pl HTTP/1.0\r\nContent-Length: -5\r\n\r\n", 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strRequest.substr(0, 120));
        Response response = Exchange(c.strRequest);
        EXPECT_EQ(response.nStatus, c.nStatus);
        EXPECT_EQ(response.mapHeaders["Content-Length"], std::to_string(response.strBody.size()));
        EXPECT_EQ(response.strRaw.find("not for clients"), std::string::npos);
        if (c.strRequest.find("launcher_data.pl?") != std::string::npos) {
            EXPECT_EQ(response.strBody.substr(0, 1), "E");
        }
    }
    // One log line per request, each with its status; the server still answers.
    EXPECT_EQ(Exchange(LauncherRequest(Query("12", "thumbimg"))).nStatus, 302);
    std::vector<std::string> arrLines = LogLines();
    size_t nRequestLines = 0;
    for (const std::string& strLine : arrLines)
        nRequestLines +=
            strLine.find(" 127.0.0.1:") != std::string::npos && strLine.find('"') != std::string::npos;
    EXPECT_EQ(nRequestLines, std::size(cases) + 1);
    EXPECT_NE(ReadFile(m_strLog).find("\"GARBAGE\" 400"), std::string::npos);
    EXPECT_EQ(Stop(), 0);
}

TEST_F(BrevantoServerTest, KeepAliveServesSeveralRequestsOnOneConnection)
{
    Start();
    Connection connection(m_nPort);
    ASSERT_TRUE(connection.Send("GET /games/12/thumb.png HTTP/1.1\r\nHost: x\r\n\r\n"
                                "GET /games/12/banner.png HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
    std::string strRaw = connection.ReadAll();
    size_t nSecond = strRaw.find("HTTP/1.1", 1);
    ASSERT_NE(nSecond, std::string::npos);
    EXPECT_EQ(ParseResponse(strRaw.substr(0, nSecond)).strBody, "thumb-bytes");
    EXPECT_EQ(ParseResponse(strRaw.substr(nSecond)).strBody, "banner-bytes");
}

std::string Compress(const std::string& strData)
{
    uLongf nLength = compressBound(static_cast<uLong>(strData.size()));
    std::string strOut(nLength, '\0');
    compress(reinterpret_cast<Bytef*>(strOut.data()), &nLength,
             reinterpret_cast<const Bytef*>(strData.data()), static_cast<uLong>(strData.size()));
    strOut.resize(nLength);
    return strOut;
}

// The upload exactly as the launcher's error report dialog sends it.
std::string ReportRequest(const std::string& strEmail, const std::string& strDescription,
                          const std::string& strLog, const std::string& strDump, int nLengthDelta = 0)
{
    const std::string strDelimiter = "------7da4e3340546d83mfj5\r\n";
    auto Disposition = [](const char* pszName) {
        return std::string("Content-Disposition: form-data; name=\"") + pszName + "\"\r\n";
    };
    std::string strBody =
        strDelimiter + Disposition("project_id") + "\r\n81\r\n" + strDelimiter + Disposition("email") +
        "\r\n" + strEmail + "\r\n" + strDelimiter + Disposition("log") +
        "Content-Type: application/octet-stream\r\n\r\n" + strLog + "\r\n" + strDelimiter +
        Disposition("description") + "\r\n" + strDescription + "\r\n" + strDelimiter + Disposition("dump") +
        "Content-Type: application/octet-stream\r\n\r\n" + strDump + "\r\n------7da4e3340546d83mfj5--\r\n";
    return "POST /cgi-bin/error_reporting.pl HTTP/1.1\r\nAccept: */*\r\n"
           "Content-Type: multipart/form-data; boundary=----7da4e3340546d83mfj5\r\n"
           "User-Agent: Brevanto Games Launcher\r\nHost: brevanto.games\r\nContent-Length: " +
           std::to_string(static_cast<long>(strBody.size()) + nLengthDelta) +
           "\r\nCache-Control: no-cache\r\n\r\n" + strBody;
}

std::vector<std::filesystem::path> Reports(const std::string& strRoot)
{
    std::vector<std::filesystem::path> arrFolders;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(strRoot + "/reports", error))
        arrFolders.push_back(entry.path());
    return arrFolders;
}

TEST_F(BrevantoServerTest, ErrorReportIsStoredWithItsPartsUnpacked)
{
    Start();
    std::string strLog = "Processor: x86\r\nMemory: 4096 MB\r\n";
    std::string strDump = Pattern(70000);
    strDump[100] = '\0';
    Response response = Exchange(ReportRequest("\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0@example.org", "",
                                               Compress(strLog), Compress(strDump)));
    EXPECT_EQ(response.nStatus, 200) << response.strRaw;
    auto arrFolders = Reports(m_root.Path());
    ASSERT_EQ(arrFolders.size(), 1u);
    const std::string strFolder = arrFolders[0].string();
    EXPECT_NE(arrFolders[0].filename().string().front(), '.');
    EXPECT_EQ(ReadFile(strFolder + "/project_id.txt"), "81");
    EXPECT_EQ(ReadFile(strFolder + "/email.txt"), "\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0@example.org");
    EXPECT_EQ(ReadFile(strFolder + "/description.txt"), "");
    EXPECT_EQ(ReadFile(strFolder + "/ext.log"), strLog);
    EXPECT_EQ(ReadFile(strFolder + "/launcher.dmp"), strDump);
}

TEST_F(BrevantoServerTest, BadReportsAreRefusedAndLoseNothingTheyCarried)
{
    Start({}, "--max-body 100000");
    // Not zlib data: kept as it came, with a 400.
    Response notPacked = Exchange(ReportRequest("a@b", "crash", "plain log", Compress("dump")));
    EXPECT_EQ(notPacked.nStatus, 400);
    auto arrFolders = Reports(m_root.Path());
    ASSERT_EQ(arrFolders.size(), 1u);
    EXPECT_EQ(ReadFile(arrFolders[0].string() + "/log.zlib"), "plain log");
    EXPECT_EQ(ReadFile(arrFolders[0].string() + "/launcher.dmp"), "dump");

    struct Case
    {
        std::string strRequest;
        int nStatus;
    };
    std::string strCut = ReportRequest("a@b", "d", Compress("l"), Compress("d"));
    strCut.resize(strCut.size() - 40); // the closing delimiter is missing
    const Case cases[] = {
        {ReportRequest("a@b", "d", Compress("l"), Compress(RandomBytes(200000))), 413},
        {strCut.substr(0, strCut.find("Content-Length")) +
             "Content-Length: " + std::to_string(strCut.size() - strCut.find("\r\n\r\n") - 4) + "\r\n\r\n" +
             strCut.substr(strCut.find("\r\n\r\n") + 4),
         400},
        {"POST /cgi-bin/error_reporting.pl HTTP/1.0\r\nContent-Type: text/plain\r\nContent-Length: "
         "2\r\n\r\nhi",
         400},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Exchange(c.strRequest).nStatus, c.nStatus) << c.strRequest.substr(0, 200);

    // A body shorter than announced: the client gives up mid-body; nothing is stored.
    {
        Connection connection(m_nPort);
        connection.Send(ReportRequest("a@b", "d", Compress("l"), Compress("d"), 50));
        connection.CloseWrite();
        EXPECT_EQ(ParseResponse(connection.ReadAll()).nStatus, 400);
    }
    // A body longer than announced: the report is read to its announced end, the rest ignored.
    EXPECT_EQ(Exchange(ReportRequest("a@b", "d", Compress("l"), Compress("d")) + "trailing junk").nStatus,
              200);
    EXPECT_EQ(Reports(m_root.Path()).size(), 2u);
    std::string strLog = ReadFile(m_strLog);
    EXPECT_NE(strLog.find("body ended after"), std::string::npos);
    EXPECT_NE(strLog.find("body longer than announced"), std::string::npos);
}

TEST_F(BrevantoServerTest, ClientLeavingMidAnswerOrStayingSilentDoesNotStopTheServer)
{
    WriteFile(m_root / "games/12/setup 12.bin", Pattern(32 * 1024 * 1024));
    Start({}, "--idle-timeout 1000");
    for (int i = 0; i < 3; ++i) {
        Connection connection(m_nPort);
        connection.Send(RangeRequest("games/12/setup%2012.bin", 0));
        EXPECT_EQ(connection.ReadSome(1000).size(), 1000u);
    }
    Connection silent(m_nPort); // sends half a head and nothing more: 408 after the idle time
    silent.Send("GET /games/12/thumb.png HTTP/1.0\r\n");
    EXPECT_EQ(Exchange(LauncherRequest(Query("12", "briefdesc"))).nStatus, 302);
    EXPECT_EQ(ParseResponse(silent.ReadAll()).nStatus, 408);
    EXPECT_TRUE(testing_support::WaitUntil(
        [&] { return ReadFile(m_strLog).find("client gone mid-answer") != std::string::npos; }));
    EXPECT_EQ(Stop(), 0);
}

TEST_F(BrevantoServerTest, ServesMoreThanAHundredConcurrentConnectionsAndStopsOnSigterm)
{
    Start();
    constexpr int kClients = 120;
    std::vector<std::unique_ptr<Connection>> arrConnections;
    for (int i = 0; i < kClients; ++i) {
        arrConnections.push_back(std::make_unique<Connection>(m_nPort));
        ASSERT_TRUE(arrConnections.back()->IsConnected());
    }
    // Every connection is open before any request goes out, so the server holds all at once.
    std::atomic<int> nGood{0};
    std::vector<std::thread> arrThreads;
    for (int i = 0; i < kClients; ++i) {
        arrThreads.emplace_back([&, i] {
            Connection& connection = *arrConnections[static_cast<size_t>(i)];
            connection.Send(i % 2 ? RangeRequest("games/12/setup%2012.bin", static_cast<uint64_t>(i))
                                  : LauncherRequest(Query("12", "relatedlist")));
            Response response = ParseResponse(connection.ReadAll());
            if (response.nStatus == (i % 2 ? 206 : 200))
                nGood.fetch_add(1);
        });
    }
    for (std::thread& thread : arrThreads)
        thread.join();
    EXPECT_EQ(nGood.load(), kClients);

    Connection idle(m_nPort); // an open keep-alive connection does not hold up the stop
    idle.Send("GET /games/12/thumb.png HTTP/1.1\r\n\r\n");
    EXPECT_EQ(idle.ReadSome(15), "HTTP/1.1 200 OK");
    EXPECT_EQ(Stop(), 0);
}

TEST_F(BrevantoServerTest, CurlFetchesEveryDemoAssetThroughTheQueryInterface)
{
    const std::string strDemo = testing_support::BinPath("../demo-root");
    Start(strDemo);
    size_t nGames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(strDemo + "/games")) {
        std::string strId = entry.path().filename().string();
        ++nGames;
        const std::pair<const char*, std::pair<int, int>> assets[] = {{"thumbimg", {80, 80}},
                                                                      {"featureimg", {200, 200}},
                                                                      {"bannerimg", {90, 88}},
                                                                      {"briefdesc", {0, 0}}};
        for (const auto& [pszAction, size] : assets) {
            SCOPED_TRACE(strId + " " + pszAction);
            std::string strBase = "http://127.0.0.1:" + std::to_string(m_nPort) + "/";
            // curl follows the redirect, resolving "../" against the script's folder; the
            // launcher's rule (skip three characters) must name the same path.
            std::string strFile = m_dir / (strId + pszAction);
            auto fetched = testing_support::Run(
                {"/usr/bin/curl", "-s", "-f", "-L", "-o", strFile, "-w", "%{url_effective}",
                 strBase + "cgi-bin/launcher_data.pl?" + Query(strId, pszAction) + "&resume=0"});
            ASSERT_EQ(fetched.nExitCode, 0);
            std::string strLocation =
                Exchange(LauncherRequest(Query(strId, pszAction))).mapHeaders["Location"];
            EXPECT_EQ(fetched.strOut, strBase + strLocation.substr(3));
            if (size.first == 0) {
                std::string strBrief = ReadFile(strFile);
                EXPECT_NE(strBrief.find("&&"), std::string::npos);
                EXPECT_LE(strBrief.size(), 511u);
                continue;
            }
            auto image = platform::Image::LoadFromFile(platform::FromUtf8(strFile));
            ASSERT_TRUE(image);
            EXPECT_EQ(image->GetWidth(), size.first);
            EXPECT_EQ(image->GetHeight(), size.second);
        }
    }
    EXPECT_GE(nGames, 6u);
}

} // namespace
