// The real launcher, started as a child process, headless (SDL's dummy driver), from a copy in
// a folder of its own, so its session log and instance lock belong to this test alone.

#include "app/CGP_Registry.h"
#include "platform/fs/FileSystem.h"
#include "platform/ipc/IpcClient.h"
#include "platform/process/Process.h"
#include "platform/text/Text.h"
#include "platform/window/Message.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <regex>
#include <thread>

using namespace platform;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

const std::wstring kTitle = L"Brevanto Games";

class LauncherAppTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CopyFile(FromUtf8(testing_support::BinPath("brevanto-launcher")), Launcher()));
        ASSERT_TRUE(MakeExecutable(Launcher()));
    }

    std::wstring Launcher() const { return FromUtf8(m_dir / "brevanto-launcher"); }
    std::string Log() const { return ReadFile(m_dir / "Exception.log"); }

    std::unique_ptr<Process> Start(const std::wstring& strParameters = L"") const
    {
        return Process::Start(
            ProcessStartInfo{Launcher(), strParameters, FromUtf8(m_dir.Path()), ShowMode::Normal});
    }

    // Waits until the launcher's window answers messages from other programs.
    static bool WaitForWindow()
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (SendIpcMessage(kTitle, WM_NULL, 0, 0))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    static int Count(const std::string& strText, const std::string& strWhat)
    {
        int nCount = 0;
        for (size_t nPos = 0; (nPos = strText.find(strWhat, nPos)) != std::string::npos;
             nPos += strWhat.size())
            ++nCount;
        return nCount;
    }

    static void ExpectOneClosedSession(const std::string& strLog)
    {
        EXPECT_EQ(Count(strLog, "BEGIN SESSION: "), 1) << strLog;
        EXPECT_NE(strLog.find("Do modal CLauncherDlg\r\n"), std::string::npos) << strLog;
        EXPECT_TRUE(std::regex_search(strLog, std::regex("END SESSION: [^\r\n]+\r\n-{57}\r\n$"))) << strLog;
    }

    TempDir m_dir;
    TempDir m_runtime;
    // The launcher's store lives with it, and its server requests end at a closed local port.
    ScopedEnv m_registry{"BREVANTO_REGISTRY", m_dir / "registry.db"};
    ScopedEnv m_connectTo{"BREVANTO_CONNECT_TO", "www.brevanto.games:80:127.0.0.1:1"};
    ScopedEnv m_runtimeEnv{"XDG_RUNTIME_DIR", m_runtime.Path()};
    ScopedEnv m_video{"SDL_VIDEODRIVER", "dummy"};
};

} // namespace

TEST_F(LauncherAppTest, SecondLauncherEndsSilentlyAndCloseMessageEndsTheFirst)
{
    auto pFirst = Start();
    ASSERT_TRUE(pFirst);
    ASSERT_TRUE(WaitForWindow());

    auto pSecond = Start();
    ASSERT_TRUE(pSecond);
    ASSERT_TRUE(pSecond->Wait(20000));
    uint32_t nCode = 99;
    ASSERT_TRUE(pSecond->GetExitCode(nCode));
    EXPECT_EQ(nCode, 0u);
    EXPECT_EQ(Count(Log(), "BEGIN SESSION: "), 1);

    EXPECT_TRUE(SendIpcMessage(kTitle, WM_CLOSE, 0, 0));
    ASSERT_TRUE(pFirst->Wait(20000));
    ASSERT_TRUE(pFirst->GetExitCode(nCode));
    EXPECT_EQ(nCode, 0u);
    ExpectOneClosedSession(Log());
}

TEST_F(LauncherAppTest, TerminationSignalClosesTheWindowAndFramesTheLog)
{
    auto pLauncher = Start();
    ASSERT_TRUE(pLauncher);
    ASSERT_TRUE(WaitForWindow());
    kill(pLauncher->GetPid(), SIGTERM);
    ASSERT_TRUE(pLauncher->Wait(20000));
    uint32_t nCode = 99;
    ASSERT_TRUE(pLauncher->GetExitCode(nCode));
    EXPECT_EQ(nCode, 0u);
    ExpectOneClosedSession(Log());
}

TEST_F(LauncherAppTest, MissingDisplayIsReportedAndTheLogStillEnds)
{
    ScopedEnv noVideo("SDL_VIDEODRIVER", "no-such-driver");
    auto result = testing_support::Run({ToUtf8(Launcher())});
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_EQ(Count(result.strErr, "\n"), 1) << result.strErr;
    EXPECT_NE(result.strErr.find("no display"), std::string::npos) << result.strErr;
    EXPECT_EQ(Count(Log(), "BEGIN SESSION: "), 1);
    EXPECT_TRUE(std::regex_search(Log(), std::regex("END SESSION: [^\r\n]+\r\n-{57}\r\n$"))) << Log();
}

TEST_F(LauncherAppTest, CatalogueIsLoadedFromTheStoreAndItsOrderSavedAtClose)
{
    // Game 5 is a pending download named in the stored order; game 12 comes from the command line.
    {
        CGP_Registry game(RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher\\5");
        ASSERT_TRUE(game.CreateKeyAllPerm());
        ASSERT_TRUE(game.WriteByte(L"installed", 0));
        ASSERT_TRUE(game.WriteByte(L"loading", 1));
        CGP_Registry launcher(RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher");
        ASSERT_TRUE(launcher.Create());
        ASSERT_TRUE(launcher.WriteString(L"Order", L"5 "));
    }

    auto pLauncher = Start(L"ID:12");
    ASSERT_TRUE(pLauncher);
    ASSERT_TRUE(WaitForWindow());
    EXPECT_TRUE(SendIpcMessage(kTitle, WM_CLOSE, 0, 0));
    ASSERT_TRUE(pLauncher->Wait(20000));

    EXPECT_NE(Log().find("games count:2\r\n"), std::string::npos) << Log();
    CGP_Registry launcher(RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher");
    ASSERT_TRUE(launcher.Open());
    std::wstring strOrder, strExecutable;
    EXPECT_TRUE(launcher.ReadString(L"Order", strOrder));
    EXPECT_EQ(strOrder, L"12 5 ");
    EXPECT_TRUE(launcher.ReadString(L"", strExecutable));
    EXPECT_EQ(strExecutable, Launcher());

    // The command-line game was asked for: its key says a download is pending.
    CGP_Registry game(RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher\\12");
    ASSERT_TRUE(game.Open());
    uint8_t nInstalled = 9, nLoading = 9;
    EXPECT_TRUE(game.ReadByte(L"installed", nInstalled));
    EXPECT_TRUE(game.ReadByte(L"loading", nLoading));
    EXPECT_EQ(nInstalled, 0);
    EXPECT_EQ(nLoading, 1);
}
