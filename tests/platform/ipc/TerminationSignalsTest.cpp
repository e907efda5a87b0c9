// Suite: threaded
#include "platform/ipc/TerminationSignals.h"
#include "platform/thread/Thread.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <fcntl.h>

using platform::TerminationSignals;

using testing_support::OpenDescriptors;

namespace {

// The signals the callback saw and the threads it ran on.
class SignalLog
{
public:
    TerminationSignals::Callback Callback()
    {
        return [this](int nSignal) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_arrSignals.push_back(nSignal);
                m_arrThreads.push_back(std::this_thread::get_id());
            }
            m_arrived.Set();
        };
    }

    std::vector<int> Signals()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrSignals;
    }

    std::vector<std::thread::id> Threads()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrThreads;
    }

    bool WaitForCount(size_t nCount)
    {
        for (int i = 0; i < 1000 && Signals().size() < nCount; ++i)
            m_arrived.Wait(10);
        return Signals().size() >= nCount;
    }

private:
    std::mutex m_mutex;
    std::vector<int> m_arrSignals;
    std::vector<std::thread::id> m_arrThreads;
    platform::Event m_arrived{false, false};
};

volatile std::sig_atomic_t g_nPreviousHandlerRuns = 0;

void PreviousHandler(int)
{
    g_nPreviousHandlerRuns = g_nPreviousHandlerRuns + 1;
}

// Puts a harmless handler of the test's own on SIGTERM and SIGINT for one scope, so a signal that
// slips past the code under test is counted instead of ending the test run.
class ScopedPreviousHandlers
{
public:
    ScopedPreviousHandlers()
    {
        g_nPreviousHandlerRuns = 0;
        struct sigaction action
        {
        };
        action.sa_handler = PreviousHandler;
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, &m_oldTerm);
        sigaction(SIGINT, &action, &m_oldInt);
    }
    ~ScopedPreviousHandlers()
    {
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        sigaction(SIGINT, &m_oldInt, nullptr);
    }
    ScopedPreviousHandlers(const ScopedPreviousHandlers&) = delete;
    ScopedPreviousHandlers& operator=(const ScopedPreviousHandlers&) = delete;

private:
    struct sigaction m_oldTerm
    {
    };
    struct sigaction m_oldInt
    {
    };
};

} // namespace

TEST(TerminationSignalsTest, EachSignalReachesTheCallbackOnAnotherThread)
{
    ScopedPreviousHandlers previous;
    SignalLog log;
    auto signals = TerminationSignals::Install(log.Callback());
    ASSERT_TRUE(signals);

    ASSERT_EQ(raise(SIGTERM), 0);
    ASSERT_TRUE(log.WaitForCount(1));
    ASSERT_EQ(raise(SIGINT), 0);
    ASSERT_EQ(raise(SIGTERM), 0);
    ASSERT_TRUE(log.WaitForCount(3));

    EXPECT_EQ(log.Signals(), (std::vector<int>{SIGTERM, SIGINT, SIGTERM}));
    for (std::thread::id thread : log.Threads())
        EXPECT_NE(thread, std::this_thread::get_id());
    EXPECT_EQ(g_nPreviousHandlerRuns, 0);
}

TEST(TerminationSignalsTest, UninstallPutsBackThePreviousHandlers)
{
    ScopedPreviousHandlers previous;
    SignalLog log;
    auto signals = TerminationSignals::Install(log.Callback());
    ASSERT_TRUE(signals);
    signals.reset();

    ASSERT_EQ(raise(SIGTERM), 0);
    ASSERT_EQ(raise(SIGINT), 0);
    EXPECT_EQ(g_nPreviousHandlerRuns, 2);
    EXPECT_TRUE(log.Signals().empty());
}

TEST(TerminationSignalsTest, OneInstanceAtATime)
{
    ScopedPreviousHandlers previous;
    SignalLog first, second;
    auto signals = TerminationSignals::Install(first.Callback());
    ASSERT_TRUE(signals);
    EXPECT_FALSE(TerminationSignals::Install(second.Callback()));
    EXPECT_FALSE(TerminationSignals::Install(nullptr));

    // The refused attempt changed nothing: the first still gets the signal.
    ASSERT_EQ(raise(SIGTERM), 0);
    ASSERT_TRUE(first.WaitForCount(1));
    signals.reset();

    signals = TerminationSignals::Install(second.Callback());
    ASSERT_TRUE(signals);
    ASSERT_EQ(raise(SIGINT), 0);
    ASSERT_TRUE(second.WaitForCount(1));
    EXPECT_EQ(first.Signals().size(), 1u);
    EXPECT_EQ(second.Signals(), std::vector<int>{SIGINT});
}

// Child processes must not inherit the pipe: a child holding its write end would keep it alive.
TEST(TerminationSignalsTest, DescriptorsAreCloseOnExec)
{
    ScopedPreviousHandlers previous;
    std::set<int> arrBefore = OpenDescriptors();
    SignalLog log;
    auto signals = TerminationSignals::Install(log.Callback());
    ASSERT_TRUE(signals);
    int nNew = 0;
    for (int hFile : OpenDescriptors()) {
        int nFlags = fcntl(hFile, F_GETFD);
        if (arrBefore.count(hFile) != 0 || nFlags < 0)
            continue; // not ours, or the listing's own descriptor, closed by now
        ++nNew;
        EXPECT_NE(nFlags & FD_CLOEXEC, 0) << "descriptor " << hFile;
    }
    EXPECT_GE(nNew, 2); // both ends of the pipe at least
}
