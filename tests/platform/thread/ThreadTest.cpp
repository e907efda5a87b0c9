// Suite: threaded
#include "platform/thread/Thread.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

using namespace platform;

using testing_support::WaitUntil;

namespace {

// A worker that counts its turns through a short sleep until told to stop.
class CountingWorker
{
public:
    CountingWorker()
    {
        auto counter = m_counter;
        auto stop = m_stop;
        m_thread = Thread::Create([counter, stop] {
            while (!stop->load()) {
                counter->fetch_add(1);
                Sleep(1);
            }
            return 0u;
        });
    }
    ~CountingWorker()
    {
        m_stop->store(true);
        while (m_thread && m_thread->Resume() > 0) {
        }
        if (m_thread)
            m_thread->Wait(10000);
    }

    Thread& Get() { return *m_thread; }
    uint64_t Count() const { return m_counter->load(); }
    bool IsRunning() const { return m_thread != nullptr; }

    // True when the counter moves again within the polling limit.
    bool Advances()
    {
        uint64_t nBefore = Count();
        return WaitUntil([&] { return Count() > nBefore; });
    }

private:
    std::shared_ptr<std::atomic<uint64_t>> m_counter = std::make_shared<std::atomic<uint64_t>>(0);
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<Thread> m_thread;
};

} // namespace

TEST(Thread, SuspendParksWorkerAndResumeLetsItContinue)
{
    CountingWorker worker;
    ASSERT_TRUE(worker.IsRunning());
    ASSERT_TRUE(worker.Advances());

    EXPECT_EQ(worker.Get().Suspend(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return worker.Get().IsParked(); }));
    uint64_t nParkedAt = worker.Count();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(worker.Count(), nParkedAt) << "a parked worker must not run";

    EXPECT_EQ(worker.Get().Resume(), 1u);
    EXPECT_TRUE(worker.Advances());
    EXPECT_FALSE(worker.Get().IsParked());
}

TEST(Thread, SuspendCountsNestAndResumeStopsAtZero)
{
    CountingWorker worker;
    ASSERT_TRUE(worker.IsRunning());

    EXPECT_EQ(worker.Get().Resume(), 0u) << "resuming a running thread changes nothing";
    EXPECT_EQ(worker.Get().Suspend(), 0u);
    EXPECT_EQ(worker.Get().Suspend(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return worker.Get().IsParked(); }));

    EXPECT_EQ(worker.Get().Resume(), 2u);
    uint64_t nParkedAt = worker.Count();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(worker.Get().IsParked()) << "one suspension is still pending";
    EXPECT_EQ(worker.Count(), nParkedAt);

    EXPECT_EQ(worker.Get().Resume(), 1u);
    EXPECT_TRUE(worker.Advances());
    EXPECT_EQ(worker.Get().Resume(), 0u);
}

TEST(Thread, WorkerThatSuspendsItselfParksUntilResumedByAnother)
{
    auto handleReady = std::make_shared<Event>();
    auto self = std::make_shared<Thread*>(nullptr);
    auto previousCount = std::make_shared<std::atomic<uint32_t>>(99);
    auto pastSuspend = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<Thread> thread = Thread::Create([=] {
        handleReady->Wait();
        previousCount->store((*self)->Suspend());
        pastSuspend->store(true);
        return 5u;
    });
    ASSERT_TRUE(thread);
    *self = thread.get();
    handleReady->Set();

    ASSERT_TRUE(WaitUntil([&] { return thread->IsParked(); }));
    EXPECT_FALSE(pastSuspend->load());
    EXPECT_EQ(thread->Resume(), 1u);
    ASSERT_TRUE(thread->Wait(10000));
    EXPECT_TRUE(pastSuspend->load());
    EXPECT_EQ(previousCount->load(), 0u);
}

TEST(Thread, StartSuspendedRunsNothingUntilResumed)
{
    auto ran = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<Thread> thread = Thread::Create(
        [ran] {
            ran->store(true);
            return 3u;
        },
        ThreadPriority::Normal, true);
    ASSERT_TRUE(thread);

    ASSERT_TRUE(WaitUntil([&] { return thread->IsParked(); }));
    EXPECT_FALSE(ran->load());
    EXPECT_FALSE(thread->Wait(20));

    EXPECT_EQ(thread->Resume(), 1u);
    ASSERT_TRUE(thread->Wait(10000));
    EXPECT_TRUE(ran->load());
    uint32_t nExitCode = 0;
    EXPECT_TRUE(thread->GetExitCode(nExitCode));
    EXPECT_EQ(nExitCode, 3u);
}

TEST(Thread, DestroyingHandleNeitherJoinsNorStopsTheWorker)
{
    auto release = std::make_shared<Event>();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<Thread> thread = Thread::Create([release, finished] {
        release->Wait();
        finished->store(true);
        return 0u;
    });
    ASSERT_TRUE(thread);

    thread.reset(); // would hang here if destroying the handle joined the worker
    EXPECT_FALSE(finished->load());
    release->Set();
    EXPECT_TRUE(WaitUntil([&] { return finished->load(); }));
}

TEST(Thread, WaitTimesOutWhileRunningThenReportsExitCode)
{
    auto release = std::make_shared<Event>();
    std::unique_ptr<Thread> thread = Thread::Create([release] {
        release->Wait();
        return 42u;
    });
    ASSERT_TRUE(thread);

    uint32_t nExitCode = 7;
    EXPECT_FALSE(thread->Wait(30));
    EXPECT_FALSE(thread->HasEnded());
    EXPECT_FALSE(thread->GetExitCode(nExitCode));
    EXPECT_EQ(nExitCode, 7u) << "untouched while running";

    release->Set();
    ASSERT_TRUE(thread->Wait());
    EXPECT_TRUE(thread->HasEnded());
    EXPECT_TRUE(thread->GetExitCode(nExitCode));
    EXPECT_EQ(nExitCode, 42u);
}

TEST(Thread, LongSleepParksPromptlyOnSuspend)
{
    auto asleep = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<Thread> thread = Thread::Create([asleep] {
        asleep->store(true);
        Sleep(20000); // longer than the polling limit below: only an interrupted sleep parks in time
        return 0u;
    });
    ASSERT_TRUE(thread);
    ASSERT_TRUE(WaitUntil([&] { return asleep->load(); }));

    thread->Suspend();
    EXPECT_TRUE(WaitUntil([&] { return thread->IsParked(); }));
    thread->Resume();
    EXPECT_TRUE(WaitUntil([&] { return !thread->IsParked(); }));
}

TEST(Thread, LowestPrioritySetsTheThreadsNiceValue)
{
    errno = 0;
    int nProcessNice = getpriority(PRIO_PROCESS, 0);
    ASSERT_EQ(errno, 0);
    struct Case
    {
        ThreadPriority priority;
        int nExpectedNice;
    } cases[] = {{ThreadPriority::Normal, nProcessNice}, {ThreadPriority::Lowest, 19}};

    for (const Case& c : cases) {
        std::unique_ptr<Thread> thread = Thread::Create(
            [] {
                return static_cast<uint32_t>(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())) + 100);
            },
            c.priority);
        ASSERT_TRUE(thread);
        ASSERT_TRUE(thread->Wait(10000));
        uint32_t nExitCode = 0;
        ASSERT_TRUE(thread->GetExitCode(nExitCode));
        EXPECT_EQ(static_cast<int>(nExitCode) - 100, c.nExpectedNice);
    }
}

TEST(Event, ManualAndAutoResetOnOneThread)
{
    Event manual(true, true);
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0)) << "manual reset stays signalled";
    manual.Reset();
    EXPECT_FALSE(manual.Wait(20));

    Event automatic(false, true);
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(20)) << "auto reset clears on release";
    automatic.Set();
    automatic.Set(); // signals do not add up
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(0));

    Event initiallyClear;
    EXPECT_FALSE(initiallyClear.Wait(0));
}

TEST(Event, ManualResetReleasesEveryWaiterAutoResetOnePerSet)
{
    for (bool bManual : {true, false}) {
        Event event(bManual, false);
        std::atomic<int> nReleased{0};
        std::thread waiters[2];
        for (std::thread& waiter : waiters)
            waiter = std::thread([&] {
                if (event.Wait(20000))
                    nReleased.fetch_add(1);
            });

        event.Set();
        ASSERT_TRUE(WaitUntil([&] { return nReleased.load() >= 1; }));
        if (bManual) {
            EXPECT_TRUE(WaitUntil([&] { return nReleased.load() == 2; }));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_EQ(nReleased.load(), 1) << "one Set of an auto-reset event releases one waiter";
            event.Set();
            EXPECT_TRUE(WaitUntil([&] { return nReleased.load() == 2; }));
        }
        for (std::thread& waiter : waiters)
            waiter.join();
    }
}

TEST(Event, SuspendedWaiterParksAndLeavesTheSignalToOthers)
{
    auto event = std::make_shared<Event>(false, false);
    auto waiting = std::make_shared<std::atomic<bool>>(false);
    auto nTaken = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<Thread> thread = Thread::Create([=] {
        waiting->store(true);
        while (event->Wait())
            if (nTaken->fetch_add(1) + 1 == 2)
                return 0u;
        return 1u;
    });
    ASSERT_TRUE(thread);
    ASSERT_TRUE(WaitUntil([&] { return waiting->load(); }));

    thread->Suspend();
    ASSERT_TRUE(WaitUntil([&] { return thread->IsParked(); }));
    event->Set();
    EXPECT_TRUE(event->Wait(10000)) << "the parked worker must not have taken the signal";
    EXPECT_EQ(nTaken->load(), 0);

    thread->Resume();
    event->Set();
    EXPECT_TRUE(WaitUntil([&] { return nTaken->load() == 1; }));
    event->Set();
    EXPECT_TRUE(thread->Wait(10000));
}
