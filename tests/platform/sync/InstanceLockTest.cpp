#include "platform/sync/InstanceLock.h"

#include "platform/text/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace platform;
using testing_support::BinPath;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

// test-helper-hold-lock running as a real child, its stdin and stdout on pipes.
class LockHolder
{
public:
    explicit LockHolder(const std::string& strName)
    {
        int inPipe[2] = {-1, -1};
        int outPipe[2] = {-1, -1};
        if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        std::string strPath = BinPath("test-helper-hold-lock");
        char* argv[] = {strPath.data(), const_cast<char*>(strName.c_str()), nullptr};
        if (posix_spawn(&m_nPid, argv[0], &actions, nullptr, argv, environ) != 0)
            m_nPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(inPipe[0]);
        close(outPipe[1]);
        m_hStdin = inPipe[1];
        m_hStdout = outPipe[0];
    }

    ~LockHolder()
    {
        Kill();
        close(m_hStdin);
        close(m_hStdout);
    }

    // The child's first line of output, or "" when none comes within ten seconds.
    std::string ReadLine()
    {
        std::string strLine;
        char ch = 0;
        while (true) {
            pollfd pfd{m_hStdout, POLLIN, 0};
            if (poll(&pfd, 1, 10000) <= 0 || read(m_hStdout, &ch, 1) != 1 || ch == '\n')
                return strLine;
            strLine += ch;
        }
    }

    // SIGKILL: the child gets no chance to release anything itself.
    void Kill()
    {
        if (m_nPid <= 0)
            return;
        kill(m_nPid, SIGKILL);
        while (waitpid(m_nPid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_nPid = -1;
    }

private:
    pid_t m_nPid = -1;
    int m_hStdin = -1;
    int m_hStdout = -1;
};

// Every test gets its own runtime folder, so parallel runs never share a lock file.
class InstanceLockTest : public ::testing::Test
{
protected:
    TempDir m_runtimeDir;
    ScopedEnv m_env{"XDG_RUNTIME_DIR", m_runtimeDir.Path()};
};

} // namespace

TEST_F(InstanceLockTest, HeldByAnotherProcessUntilTheKernelReleasesItOnKill)
{
    LockHolder holder("Brevanto Launcher");
    ASSERT_EQ(holder.ReadLine(), "held");

    bool bAlreadyHeld = false;
    EXPECT_FALSE(InstanceLock::Acquire(L"Brevanto Launcher", bAlreadyHeld));
    EXPECT_TRUE(bAlreadyHeld);
    EXPECT_TRUE(InstanceLock::Acquire(L"Another Name", bAlreadyHeld)) << "names are independent";
    EXPECT_FALSE(bAlreadyHeld);

    holder.Kill();
    bAlreadyHeld = true;
    std::unique_ptr<InstanceLock> lock = InstanceLock::Acquire(L"Brevanto Launcher", bAlreadyHeld);
    ASSERT_TRUE(lock);
    EXPECT_FALSE(bAlreadyHeld);
    EXPECT_EQ(lock->GetPath(), FromUtf8(m_runtimeDir / "Brevanto Launcher.lock"));
}

TEST_F(InstanceLockTest, SecondAcquireInTheSameProcessIsHeldUntilTheFirstGoes)
{
    bool bAlreadyHeld = true;
    std::unique_ptr<InstanceLock> first = InstanceLock::Acquire(L"Brevanto Launcher", bAlreadyHeld);
    ASSERT_TRUE(first);

    EXPECT_FALSE(InstanceLock::Acquire(L"Brevanto Launcher", bAlreadyHeld));
    EXPECT_TRUE(bAlreadyHeld);

    first.reset();
    bAlreadyHeld = true;
    EXPECT_TRUE(InstanceLock::Acquire(L"Brevanto Launcher", bAlreadyHeld));
    EXPECT_FALSE(bAlreadyHeld);
}

TEST_F(InstanceLockTest, ChildrenDoNotInheritTheLock)
{
    bool bAlreadyHeld = false;
    std::unique_ptr<InstanceLock> lock = InstanceLock::Acquire(L"Brevanto Launcher", bAlreadyHeld);
    ASSERT_TRUE(lock);
    LockHolder child("Unrelated"); // a program started while we hold the lock, still running
    ASSERT_EQ(child.ReadLine(), "held");

    lock.reset();
    EXPECT_TRUE(InstanceLock::Acquire(L"Brevanto Launcher", bAlreadyHeld))
        << "an inherited descriptor would keep it locked";
}

TEST_F(InstanceLockTest, NamesBecomeOneFileInTheRuntimeFolder)
{
    struct Case
    {
        std::wstring strName;
        std::string strFile;
    } cases[] = {
        {L"Brevanto Launcher", "Brevanto Launcher.lock"},
        {L"../escape/a", ".._escape_a.lock"},
        {L"line\nbreak\ttab", "line_break_tab.lock"},
        {L"\u0418\u0433\u0440\u044B", "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B.lock"},
    };
    for (const Case& c : cases) {
        bool bAlreadyHeld = false;
        std::unique_ptr<InstanceLock> lock = InstanceLock::Acquire(c.strName, bAlreadyHeld);
        ASSERT_TRUE(lock) << c.strFile;
        EXPECT_EQ(lock->GetPath(), FromUtf8(m_runtimeDir / c.strFile));
        EXPECT_TRUE(std::filesystem::is_regular_file(m_runtimeDir / c.strFile)) << c.strFile;
    }
}

TEST_F(InstanceLockTest, UnusableRuntimeFolderFallsBackToTmpPerUser)
{
    const std::string strSuffix = "-" + std::to_string(getuid()) + ".lock";
    const std::wstring strName = L"brevanto-test-" + std::to_wstring(getpid());
    for (const char* pszValue : {"", "relative/folder", "/nonexistent/brevanto"}) {
        ScopedEnv env("XDG_RUNTIME_DIR", pszValue);
        std::wstring strPath = InstanceLock::GetLockPath(strName);
        EXPECT_EQ(strPath, L"/tmp/" + strName + FromUtf8(strSuffix)) << pszValue;
    }
    ScopedEnv unset("XDG_RUNTIME_DIR", "", true);
    bool bAlreadyHeld = false;
    std::unique_ptr<InstanceLock> lock = InstanceLock::Acquire(strName, bAlreadyHeld);
    ASSERT_TRUE(lock);
    EXPECT_EQ(lock->GetPath(), L"/tmp/" + strName + FromUtf8(strSuffix));
    unlink(ToUtf8(lock->GetPath()).c_str());
}

TEST_F(InstanceLockTest, UnexpectedErrorsAreNotReportedAsHeld)
{
    std::filesystem::create_directory(m_runtimeDir / "Folder.lock");
    std::filesystem::create_symlink(m_runtimeDir / "target", m_runtimeDir / "Link.lock");
    for (const wchar_t* pszName : {L"", L"Folder", L"Link"}) {
        bool bAlreadyHeld = true;
        EXPECT_FALSE(InstanceLock::Acquire(pszName, bAlreadyHeld)) << pszName;
        EXPECT_FALSE(bAlreadyHeld) << pszName;
    }
    EXPECT_FALSE(std::filesystem::exists(m_runtimeDir / "target")) << "a planted link must not be followed";
}
