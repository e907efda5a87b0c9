// Suite: threaded
#include "platform/process/Process.h"

#include "platform/text/Text.h"
#include "platform/thread/Thread.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include <sys/stat.h>

using namespace platform;
using testing_support::BinPath;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::WaitUntil;

namespace {

// What test-helper-child saw: single values by key, its arguments in order.
struct ChildReport
{
    std::map<std::string, std::string> values;
    std::vector<std::string> args;
};

ChildReport ParseReport(const std::string& strText)
{
    ChildReport report;
    std::istringstream in(strText);
    std::string strLine;
    while (std::getline(in, strLine)) {
        size_t nEquals = strLine.find('=');
        std::string strKey = strLine.substr(0, nEquals);
        std::string strValue = nEquals == std::string::npos ? "" : strLine.substr(nEquals + 1);
        if (strKey == "arg")
            report.args.push_back(strValue);
        else
            report.values[strKey] = strValue;
    }
    return report;
}

// The state letter of /proc/<pid>/stat ('Z' for a zombie); '\0' once the process is gone.
char ProcessState(int nPid)
{
    std::string strStat = ReadFile("/proc/" + std::to_string(nPid) + "/stat");
    size_t nParen = strStat.rfind(')');
    return nParen == std::string::npos || nParen + 2 >= strStat.size() ? '\0' : strStat[nParen + 2];
}

// Kills a long-running child when a test ends early, so no failure leaves one behind.
struct KillOnExit
{
    int nPid;
    ~KillOnExit()
    {
        char chState = ProcessState(nPid);
        if (chState != '\0' && chState != 'Z')
            kill(nPid, SIGKILL);
    }
};

// Runs test-helper-child with the environment of the fixture; every test gets its own folder.
class ProcessTest : public ::testing::Test
{
protected:
    ProcessStartInfo ChildInfo(const std::wstring& strParameters = L"") const
    {
        ProcessStartInfo info;
        info.strFile = FromUtf8(BinPath("test-helper-child"));
        info.strParameters = strParameters;
        return info;
    }

    // Starts the child, waits for it and returns what it reported.
    ChildReport RunChild(const ProcessStartInfo& info)
    {
        std::filesystem::remove(m_strReport);
        std::unique_ptr<Process> process = Process::Start(info);
        EXPECT_TRUE(process);
        if (!process)
            return ChildReport();
        EXPECT_TRUE(process->Wait(20000));
        return ParseReport(ReadFile(m_strReport));
    }

    TempDir m_dir;
    std::string m_strReport = m_dir / "report.txt";
    ScopedEnv m_reportEnv{"BREVANTO_TEST_CHILD_REPORT", m_strReport};
};

} // namespace

TEST_F(ProcessTest, ParametersReachTheChildSplitAndWhole)
{
    struct Case
    {
        std::wstring strParameters;
        std::vector<std::string> args;
    } cases[] = {
        {L"", {}},
        {L"/S", {"/S"}},
        {L"  a \t b  ", {"a", "b"}},
        {L"\"My Games\" x", {"My Games", "x"}},
        {L"a\"b c\"d", {"ab cd"}},
        {L"a \"\" b", {"a", "", "b"}},
        {L"\"unterminated text", {"unterminated text"}},
        {L"C:\\path\\ x\\\\y", {"C:\\path\\", "x\\\\y"}}, // backslashes without a quote stay
        {L"\\\"quoted\\\"", {"\"quoted\""}},              // \" is a literal quote
        {L"\\\\\"a b\\\\\"", {"\\a b\\"}},                // \\" is a backslash, then grouping
        {L"\\\\\\\"x", {"\\\"x"}},                        // \\\" is a backslash and a quote
        {L"/S /D=/tmp/My Games", {"/S", "/D=/tmp/My", "Games"}},
        {L"\u0418\u0433\u0440\u044B \"\u65E5 \u672C\"",
         {"\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B", "\xE6\x97\xA5 \xE6\x9C\xAC"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.strParameters));
        EXPECT_EQ(SplitParameters(c.strParameters).size(), c.args.size());
        ChildReport report = RunChild(ChildInfo(c.strParameters));
        EXPECT_EQ(report.args, c.args);
        EXPECT_EQ(report.values["parameters"], ToUtf8(c.strParameters));
    }
}

TEST_F(ProcessTest, CommandLineIsRebuiltWithProgramFirstAndSpacesQuoted)
{
    ChildReport report = RunChild(ChildInfo(L"ID:12 \"My Games\" \"\""));
    EXPECT_EQ(report.values["commandline"], BinPath("test-helper-child") + " ID:12 \"My Games\" \"\"");
}

TEST_F(ProcessTest, ChildInheritsEnvironmentAndGetsFreshShowAndParameters)
{
    ScopedEnv registry("BREVANTO_REGISTRY", m_dir / "registry.db");
    ScopedEnv staleParameters("BREVANTO_PARAMETERS", "stale");
    ScopedEnv staleShow("BREVANTO_SHOW", "stale");
    struct Case
    {
        ShowMode nShow;
        const char* pszName;
    } cases[] = {{ShowMode::Hide, "hide"},
                 {ShowMode::Normal, "normal"},
                 {ShowMode::Minimized, "minimized"},
                 {ShowMode::Maximized, "maximized"}};
    for (const Case& c : cases) {
        ProcessStartInfo info = ChildInfo(L"/S");
        info.nShow = c.nShow;
        ChildReport report = RunChild(info);
        EXPECT_EQ(report.values["show"], c.pszName);
        EXPECT_EQ(report.values["parameters"], "/S");
        EXPECT_EQ(report.values["registry"], m_dir / "registry.db");
    }
}

TEST_F(ProcessTest, WorkingFolderWithSpaceAndNonAsciiCharacters)
{
    std::string strFolder = m_dir / "My \xD0\x98\xD0\xB3\xD1\x80\xD1\x8B";
    ASSERT_TRUE(std::filesystem::create_directory(strFolder));
    ProcessStartInfo info = ChildInfo();
    info.strDirectory = FromUtf8(strFolder);
    EXPECT_EQ(RunChild(info).values["cwd"], strFolder);
}

TEST_F(ProcessTest, ExitCodesAndDeathBySignal)
{
    struct Case
    {
        const char* pszVariable;
        const char* pszValue;
        uint32_t nExpected;
    } cases[] = {
        {"BREVANTO_TEST_CHILD_EXIT", "0", 0},
        {"BREVANTO_TEST_CHILD_EXIT", "1", 1},
        {"BREVANTO_TEST_CHILD_EXIT", "42", 42},
        {"BREVANTO_TEST_CHILD_SIGNAL", "15", 128 + SIGTERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pszVariable) + "=" + c.pszValue);
        ScopedEnv env(c.pszVariable, c.pszValue);
        std::unique_ptr<Process> process = Process::Start(ChildInfo());
        ASSERT_TRUE(process);
        ASSERT_TRUE(process->Wait(20000));
        uint32_t nCode = 999;
        EXPECT_TRUE(process->GetExitCode(nCode));
        EXPECT_EQ(nCode, c.nExpected);
    }
}

TEST_F(ProcessTest, ChildDoesNotInheritBlockedOrIgnoredSignals)
{
    ScopedEnv selfKill("BREVANTO_TEST_CHILD_SIGNAL", "15");
    for (bool bBlock : {true, false}) {
        SCOPED_TRACE(bBlock ? "blocked" : "ignored");
        sigset_t term, oldMask;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        struct sigaction ignore
        {
        }, oldAction{};
        ignore.sa_handler = SIG_IGN;
        if (bBlock)
            pthread_sigmask(SIG_BLOCK, &term, &oldMask);
        else
            sigaction(SIGTERM, &ignore, &oldAction);

        std::unique_ptr<Process> process = Process::Start(ChildInfo());

        if (bBlock)
            pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
        else
            sigaction(SIGTERM, &oldAction, nullptr);
        ASSERT_TRUE(process);
        ASSERT_TRUE(process->Wait(20000));
        uint32_t nCode = 0;
        EXPECT_TRUE(process->GetExitCode(nCode));
        EXPECT_EQ(nCode, 128u + SIGTERM);
    }
}

TEST_F(ProcessTest, NothingToRunGivesNull)
{
    std::string strGarbage = m_dir / "garbage.bin";
    WriteFile(strGarbage, std::string("\x01\x02 not a program", 17));
    ScopedEnv path("PATH", m_dir.Path());
    struct Case
    {
        const char* pszWhat;
        std::string strFile;
        std::string strDirectory;
    } cases[] = {
        {"empty name", "", ""},
        {"missing file", m_dir / "missing", ""},
        {"a folder", m_dir.Path(), ""},
        {"no such program in PATH", "test-helper-child", ""},
        {"not a program even when executable", strGarbage, ""},
        {"missing working folder", BinPath("test-helper-child"), m_dir / "missing"},
    };
    for (const Case& c : cases) {
        ProcessStartInfo info;
        info.strFile = FromUtf8(c.strFile);
        info.strDirectory = FromUtf8(c.strDirectory);
        EXPECT_FALSE(Process::Start(info)) << c.pszWhat;
        EXPECT_FALSE(ShellExecute(info)) << c.pszWhat;
    }
    EXPECT_FALSE(std::filesystem::exists(m_strReport)) << "nothing may have run";
}

TEST_F(ProcessTest, ProgramWithoutExecuteBitsIsMadeExecutableAndRuns)
{
    std::string strCopy = m_dir / "installer";
    std::filesystem::copy_file(BinPath("test-helper-child"), strCopy);
    ASSERT_EQ(chmod(strCopy.c_str(), 0640), 0);

    ProcessStartInfo info = ChildInfo(L"/S");
    info.strFile = FromUtf8(strCopy);
    EXPECT_EQ(RunChild(info).args, std::vector<std::string>{"/S"});

    struct stat st
    {
    };
    ASSERT_EQ(stat(strCopy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u) << "execute bits on top of the old mode";
}

TEST_F(ProcessTest, WaitTimesOutOnARunningChildAndSeesItsKill)
{
    ScopedEnv sleep("BREVANTO_TEST_CHILD_SLEEP", "3600000");
    std::unique_ptr<Process> process = Process::Start(ChildInfo());
    ASSERT_TRUE(process);
    KillOnExit guard{process->GetPid()};

    uint32_t nCode = 999;
    EXPECT_FALSE(process->Wait(50));
    EXPECT_FALSE(process->GetExitCode(nCode));
    EXPECT_EQ(nCode, 999u);

    kill(process->GetPid(), SIGKILL);
    ASSERT_TRUE(process->Wait());
    EXPECT_TRUE(process->GetExitCode(nCode));
    EXPECT_EQ(nCode, 128u + SIGKILL);
}

TEST_F(ProcessTest, WorkerWaitingOnAChildCanBeSuspendedAndResumed)
{
    ScopedEnv sleep("BREVANTO_TEST_CHILD_SLEEP", "3600000");
    std::shared_ptr<Process> process = Process::Start(ChildInfo());
    ASSERT_TRUE(process);
    const int nPid = process->GetPid();
    KillOnExit guard{nPid};
    auto waiting = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<Thread> worker = Thread::Create([process, waiting] {
        waiting->store(true);
        uint32_t nCode = 0;
        return process->Wait() && process->GetExitCode(nCode) ? nCode : 999u;
    });
    ASSERT_TRUE(worker);
    ASSERT_TRUE(WaitUntil([&] { return waiting->load(); }));

    worker->Suspend();
    ASSERT_TRUE(WaitUntil([&] { return worker->IsParked(); }));
    kill(nPid, SIGKILL);
    // The child stays a zombie because the parked worker does not collect it.
    ASSERT_TRUE(WaitUntil([&] { return ProcessState(nPid) == 'Z'; }));
    EXPECT_TRUE(worker->IsParked());
    EXPECT_FALSE(worker->HasEnded());

    worker->Resume();
    ASSERT_TRUE(worker->Wait(20000));
    uint32_t nCode = 0;
    EXPECT_TRUE(worker->GetExitCode(nCode));
    EXPECT_EQ(nCode, 128u + SIGKILL);
}

TEST_F(ProcessTest, DestroyingARunningProcessLeavesNoZombie)
{
    ScopedEnv sleep("BREVANTO_TEST_CHILD_SLEEP", "3600000");
    std::unique_ptr<Process> process = Process::Start(ChildInfo());
    ASSERT_TRUE(process);
    const int nPid = process->GetPid();
    KillOnExit guard{nPid};

    process.reset(); // would hang for the child's hour if it waited
    EXPECT_NE(ProcessState(nPid), '\0') << "the child runs on";
    kill(nPid, SIGKILL);
    EXPECT_TRUE(WaitUntil([&] { return ProcessState(nPid) == '\0'; }));
}

TEST_F(ProcessTest, ShellExecuteRunsWithoutAHandleAndLeavesNoZombie)
{
    ASSERT_TRUE(ShellExecute(ChildInfo(L"/S x")));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(m_strReport); }));
    ChildReport report = ParseReport(ReadFile(m_strReport));
    EXPECT_EQ(report.args, (std::vector<std::string>{"/S", "x"}));
    const int nPid = std::stoi(report.values["pid"]);
    EXPECT_TRUE(WaitUntil([&] { return ProcessState(nPid) == '\0'; }));
}

TEST_F(ProcessTest, OpenUrlHandsTheUrlToXdgOpenAlone)
{
    std::string strBin = m_dir / "bin";
    std::string strOut = m_dir / "opened.txt";
    ASSERT_TRUE(std::filesystem::create_directory(strBin));
    WriteFile(strBin + "/xdg-open", "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$#\" > \"" + strOut +
                                        ".part\" && /bin/mv \"" + strOut + ".part\" \"" + strOut + "\"\n");
    ASSERT_EQ(chmod((strBin + "/xdg-open").c_str(), 0755), 0);

    {
        ScopedEnv path("PATH", m_dir.Path()); // no xdg-open there
        EXPECT_FALSE(OpenUrl(L"https://example.com/"));
    }
    ScopedEnv path("PATH", strBin);
    for (const wchar_t* pszBad : {L"", L"--manual"})
        EXPECT_FALSE(OpenUrl(pszBad)) << ToUtf8(pszBad);
    EXPECT_FALSE(std::filesystem::exists(strOut));

    EXPECT_TRUE(OpenUrl(L"https://example.com/a b?q=\"x\""));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(strOut); }));
    EXPECT_EQ(ReadFile(strOut), "https://example.com/a b?q=\"x\"|1");
}
