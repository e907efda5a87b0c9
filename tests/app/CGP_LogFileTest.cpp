// Suite: threaded
#include "app/CGP_LogFile.h"

#include "platform/text/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

const std::string kFraming = std::string(57, '-') + "\r\n";
// The C locale's short date and time with seconds, three spaces apart.
const std::string kDateTime = R"(\d\d/\d\d/\d\d   \d\d:\d\d:\d\d)";

class LogFileTest : public ::testing::Test
{
protected:
    ScopedEnv m_locale{"LC_ALL", "C"};
    TempDir m_dir;
    std::string m_strPath = m_dir / "Exception.log";
    std::wstring Path() const { return platform::FromUtf8(m_strPath); }
};

std::vector<std::string> SplitLines(const std::string& strText)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = strText.find("\r\n", nStart)) != std::string::npos; nStart = nEnd + 2)
        lines.push_back(strText.substr(nStart, nEnd - nStart));
    if (nStart < strText.size())
        lines.push_back(strText.substr(nStart));
    return lines;
}

} // namespace

TEST_F(LogFileTest, SessionIsFramedWithVersionAndDateTime)
{
    {
        CGP_LogFile log(Path(), false, std::wstring(L"1.2.3.4"));
        log.Open();
        log.Write(L"LoadSettings")->Write(L"\r\n")->Write(L"ID:")->WriteInt(42)->Write(L"\r\n");
    }
    std::regex expected(kFraming + "BEGIN SESSION: 1\\.2\\.3\\.4 " + kDateTime +
                        "\r\nLoadSettings\r\nID:42\r\nEND SESSION: 1\\.2\\.3\\.4 " + kDateTime + "\r\n" +
                        kFraming);
    EXPECT_TRUE(std::regex_match(ReadFile(m_strPath), expected)) << ReadFile(m_strPath);
}

TEST_F(LogFileTest, WithoutVersionTheFramingHasOnlyTheDateTime)
{
    {
        CGP_LogFile log(Path(), false, std::nullopt);
        log.Open();
    }
    std::regex expected(kFraming + "BEGIN SESSION: " + kDateTime + "\r\nEND SESSION: " + kDateTime + "\r\n" +
                        kFraming);
    EXPECT_TRUE(std::regex_match(ReadFile(m_strPath), expected)) << ReadFile(m_strPath);
}

TEST_F(LogFileTest, TheRunningExecutablesVersionIsInTheHeader)
{
    {
        CGP_LogFile log(Path(), false);
        log.Open();
    }
    EXPECT_TRUE(
        std::regex_search(ReadFile(m_strPath), std::regex("BEGIN SESSION: 1\\.0\\.0\\.1 " + kDateTime)));
}

TEST_F(LogFileTest, SecondSessionIsAppended)
{
    for (const wchar_t* pszRun : {L"first", L"second"}) {
        CGP_LogFile log(Path(), false, std::nullopt);
        log.Open();
        log.Write(pszRun)->Write(L"\r\n");
    }
    std::vector<std::string> lines = SplitLines(ReadFile(m_strPath));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[2], "first");
    EXPECT_EQ(lines[7], "second");
}

TEST_F(LogFileTest, SizeRuleAtOpenIsGreaterThan)
{
    struct Case
    {
        size_t nExisting;
        bool bKept;
    } cases[] = {{99999, true}, {100000, true}, {100001, false}, {250000, false}};
    for (const Case& c : cases) {
        WriteFile(m_strPath, std::string(c.nExisting, 'o'));
        {
            CGP_LogFile log(Path(), false, std::nullopt);
            log.Open();
        }
        std::string strText = ReadFile(m_strPath);
        EXPECT_EQ(strText.compare(0, c.nExisting, std::string(c.nExisting, 'o')) == 0, c.bKept)
            << c.nExisting;
        if (!c.bKept) {
            EXPECT_EQ(strText.substr(0, kFraming.size()), kFraming) << c.nExisting;
        }
    }
}

TEST_F(LogFileTest, WritePastTheLimitStartsTheFileAfreshWithoutHeader)
{
    CGP_LogFile log(Path(), true, std::nullopt);
    log.Open();
    log.Write(std::wstring(100000, L'x'));
    log.Write(L"y"); // the position is exactly 100000: not over it
    EXPECT_EQ(ReadFile(m_strPath).size(), 100001u);
    log.Write(L"piece")->Write(L"\r\n");
    EXPECT_EQ(ReadFile(m_strPath), "piece\r\n");
}

TEST_F(LogFileTest, NoBannerWritesOnlyThePieces)
{
    {
        CGP_LogFile log(Path(), true, std::wstring(L"1.0.0.1"));
        log.Open();
        log.Write(L"Processor")->Write(L"\r\n");
    }
    EXPECT_EQ(ReadFile(m_strPath), "Processor\r\n");
}

TEST_F(LogFileTest, NullTextWritesNothingAndChainsOn)
{
    CGP_LogFile log(Path(), true, std::nullopt);
    log.Open();
    EXPECT_EQ(log.Write(nullptr), &log);
    log.Write(static_cast<const wchar_t*>(nullptr))->Write(L"after");
    EXPECT_EQ(ReadFile(m_strPath), "after");
}

TEST_F(LogFileTest, IntegersAndWideTextAreWrittenAsText)
{
    CGP_LogFile log(Path(), true, std::nullopt);
    log.Open();
    log.WriteInt(0)->Write(L" ")->WriteInt(-17)->Write(L" ")->WriteInt(INT_MIN)->Write(L" ")->WriteInt(
        INT_MAX);
    log.Write(L" \u0418\u0433\u0440\u0430 \u00E9");
    EXPECT_EQ(ReadFile(m_strPath), "0 -17 -2147483648 2147483647 \xD0\x98\xD0\xB3\xD1\x80\xD0\xB0 \xC3\xA9");
}

TEST_F(LogFileTest, UnwritableFolderLeavesAnInertWriter)
{
    std::wstring strPath = platform::FromUtf8(m_dir / "missing folder/Exception.log");
    CGP_LogFile log(strPath, false, std::nullopt);
    log.Open();
    EXPECT_EQ(log.Write(L"ignored")->WriteInt(1), &log);
    log.Close();
    EXPECT_FALSE(std::ifstream(platform::ToUtf8(strPath)).good());
}

TEST_F(LogFileTest, PathWithSpacesAndNonAscii)
{
    std::string strPath = m_dir / "Brevanto Игры/Exception.log";
    std::filesystem::create_directory(m_dir / "Brevanto Игры");
    {
        CGP_LogFile log(platform::FromUtf8(strPath), true, std::nullopt);
        log.Open();
        log.Write(L"ok");
    }
    EXPECT_EQ(ReadFile(strPath), "ok");
}

// Each writer logs whole lines in single calls; no line may be torn by another thread's piece.
TEST_F(LogFileTest, ConcurrentWritersNeverInterleaveInsideAPiece)
{
    constexpr int kThreads = 6, kLines = 400;
    {
        CGP_LogFile log(Path(), false, std::nullopt);
        log.Open();
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&log, t] {
                std::wstring strLine =
                    L"thread " + std::to_wstring(t) + L" " + std::wstring(30, L'a' + t) + L"\r\n";
                for (int i = 0; i < kLines; ++i)
                    log.Write(strLine);
            });
        }
        for (auto& thread : threads)
            thread.join();
    }
    std::vector<std::string> lines = SplitLines(ReadFile(m_strPath));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines + 4));
    std::vector<int> counts(kThreads);
    for (size_t i = 2; i + 2 < lines.size(); ++i) {
        int t = lines[i][7] - '0';
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(lines[i],
                  "thread " + std::to_string(t) + " " + std::string(30, static_cast<char>('a' + t)));
        ++counts[static_cast<size_t>(t)];
    }
    for (int nCount : counts)
        EXPECT_EQ(nCount, kLines);
}

// Workers still write while the main thread closes the log: the footer is the last thing in the
// file, whole, and nothing follows it.
TEST_F(LogFileTest, CloseDuringWritesLeavesTheFooterLastAndWhole)
{
    auto pLog = std::make_shared<CGP_LogFile>(Path(), false, std::nullopt);
    pLog->Open();
    std::atomic<bool> bStop{false};
    std::atomic<int> nWrites{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            while (!bStop.load()) {
                pLog->Write(L"worker piece\r\n");
                nWrites.fetch_add(1);
            }
        });
    }
    while (nWrites.load() < 300)
        std::this_thread::yield();
    pLog->Close();
    std::string strAtClose = ReadFile(m_strPath);
    while (nWrites.load() < 600)
        std::this_thread::yield();
    bStop = true;
    for (auto& thread : threads)
        thread.join();

    std::string strText = ReadFile(m_strPath);
    EXPECT_EQ(strText, strAtClose);
    std::vector<std::string> lines = SplitLines(strText);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_TRUE(std::regex_match(lines[lines.size() - 2], std::regex("END SESSION: " + kDateTime)));
    EXPECT_EQ(lines.back(), std::string(57, '-'));
    for (size_t i = 2; i + 2 < lines.size(); ++i)
        EXPECT_EQ(lines[i], "worker piece");
}

TEST_F(LogFileTest, SessionLogIsInertUntilSetAndAfterCleared)
{
    SessionLog()->Write(L"nowhere")->WriteInt(1);
    auto pLog = std::make_shared<CGP_LogFile>(Path(), true, std::nullopt);
    pLog->Open();
    SetSessionLog(pLog);
    SessionLog()->Write(L"Do modal CLauncherDlg")->Write(L"\r\n");
    EXPECT_EQ(SessionLog(), pLog);
    SetSessionLog(nullptr);
    pLog->Close();
    pLog.reset();
    SessionLog()->Write(L"after shutdown");
    EXPECT_EQ(ReadFile(m_strPath), "Do modal CLauncherDlg\r\n");
}
