#include "platform/thread/Thread.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <optional>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace platform {

// Shared by the handle and the worker; whichever lets go last frees it. Every field is guarded
// by mutex, and cv is notified on every change of the suspend count and at the routine's end.
struct ThreadControl
{
    std::mutex mutex;
    std::condition_variable cv;
    uint32_t nSuspendCount = 0;
    bool bParked = false;
    bool bEnded = false;
    uint32_t nExitCode = 0;
};

namespace {

using Clock = std::chrono::steady_clock;

// The control block of the worker running on this thread; null on threads we did not create.
thread_local ThreadControl* t_pCurrent = nullptr;

// A waiting worker wakes at least this often to notice a suspension that nobody signals to it.
constexpr std::chrono::milliseconds kSuspendCheckSlice(100);

std::optional<Clock::time_point> DeadlineAfter(uint32_t nMilliseconds)
{
    if (nMilliseconds == kInfinite)
        return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(nMilliseconds);
}

// Called with control.mutex held through lock.
void ParkWhileSuspended(ThreadControl& control, std::unique_lock<std::mutex>& lock)
{
    if (control.nSuspendCount == 0)
        return;
    control.bParked = true;
    control.cv.notify_all(); // for WaitAtRest
    control.cv.wait(lock, [&] { return control.nSuspendCount == 0; });
    control.bParked = false;
}

void RunWorker(std::shared_ptr<ThreadControl> control, Thread::Routine routine, ThreadPriority priority)
{
    t_pCurrent = control.get();
    if (priority == ThreadPriority::Lowest)
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19); // best effort: runs anyway
    SuspensionPoint();                                              // a thread created suspended parks here
    uint32_t nExitCode = routine();
    routine = nullptr; // the routine's captures go before anyone sees the thread as ended
    std::lock_guard<std::mutex> lock(control->mutex);
    control->nExitCode = nExitCode;
    control->bEnded = true;
    control->cv.notify_all();
}

} // namespace

Thread::Thread(std::shared_ptr<ThreadControl> control) : m_control(std::move(control)) {}

Thread::~Thread() = default;

std::unique_ptr<Thread> Thread::Create(Routine routine, ThreadPriority priority, bool bStartSuspended)
{
    try {
        auto control = std::make_shared<ThreadControl>();
        control->nSuspendCount = bStartSuspended ? 1 : 0;
        std::thread(RunWorker, control, std::move(routine), priority).detach();
        return std::unique_ptr<Thread>(new Thread(std::move(control)));
    } catch (const std::exception&) {
        return nullptr; // no thread (std::system_error) or no memory
    }
}

uint32_t Thread::Suspend()
{
    std::unique_lock<std::mutex> lock(m_control->mutex);
    uint32_t nPrevious = m_control->nSuspendCount;
    if (m_control->nSuspendCount < UINT32_MAX)
        ++m_control->nSuspendCount;
    m_control->cv.notify_all(); // a worker inside Sleep parks now rather than when it wakes
    if (t_pCurrent == m_control.get())
        ParkWhileSuspended(*m_control, lock);
    return nPrevious;
}

uint32_t Thread::Resume()
{
    std::lock_guard<std::mutex> lock(m_control->mutex);
    uint32_t nPrevious = m_control->nSuspendCount;
    if (nPrevious > 0) {
        --m_control->nSuspendCount;
        m_control->cv.notify_all();
    }
    return nPrevious;
}

bool Thread::IsParked() const
{
    std::lock_guard<std::mutex> lock(m_control->mutex);
    return m_control->bParked;
}

bool Thread::HasEnded() const
{
    std::lock_guard<std::mutex> lock(m_control->mutex);
    return m_control->bEnded;
}

bool Thread::Wait(uint32_t nMilliseconds) const
{
    std::optional<Clock::time_point> deadline = DeadlineAfter(nMilliseconds);
    std::unique_lock<std::mutex> lock(m_control->mutex);
    auto ended = [&] { return m_control->bEnded; };
    if (!deadline) {
        m_control->cv.wait(lock, ended);
        return true;
    }
    return m_control->cv.wait_until(lock, *deadline, ended);
}

bool Thread::WaitAtRest(std::chrono::steady_clock::time_point deadline) const
{
    std::unique_lock<std::mutex> lock(m_control->mutex);
    return m_control->cv.wait_until(lock, deadline, [&] { return m_control->bParked || m_control->bEnded; });
}

bool Thread::GetExitCode(uint32_t& nExitCode) const
{
    std::lock_guard<std::mutex> lock(m_control->mutex);
    if (!m_control->bEnded)
        return false;
    nExitCode = m_control->nExitCode;
    return true;
}

void SuspendCurrentThread()
{
    ThreadControl* pControl = t_pCurrent;
    if (!pControl)
        return;
    std::unique_lock<std::mutex> lock(pControl->mutex);
    if (pControl->nSuspendCount < UINT32_MAX)
        ++pControl->nSuspendCount;
    ParkWhileSuspended(*pControl, lock);
}

void SuspensionPoint()
{
    ThreadControl* pControl = t_pCurrent;
    if (!pControl)
        return;
    std::unique_lock<std::mutex> lock(pControl->mutex);
    ParkWhileSuspended(*pControl, lock);
}

// The deadline is fixed at the call: time spent parked counts as slept, so a worker resumed
// late does not oversleep on top of its suspension.
void Sleep(uint32_t nMilliseconds)
{
    ThreadControl* pControl = t_pCurrent;
    if (!pControl) {
        std::this_thread::sleep_for(std::chrono::milliseconds(nMilliseconds));
        return;
    }
    std::optional<Clock::time_point> deadline = DeadlineAfter(nMilliseconds);
    std::unique_lock<std::mutex> lock(pControl->mutex);
    for (;;) {
        ParkWhileSuspended(*pControl, lock);
        if (deadline && Clock::now() >= *deadline)
            return;
        auto suspended = [&] { return pControl->nSuspendCount > 0; };
        if (deadline)
            pControl->cv.wait_until(lock, *deadline, suspended);
        else
            pControl->cv.wait(lock, suspended);
    }
}

// Lock order: an Event's mutex may be held while taking the waiter's control mutex, never the
// other way round.
struct Event::State
{
    std::mutex mutex;
    std::condition_variable cv;
    bool bManualReset = true;
    bool bSignalled = false;
};

Event::Event(bool bManualReset, bool bInitialState) : m_state(std::make_unique<State>())
{
    m_state->bManualReset = bManualReset;
    m_state->bSignalled = bInitialState;
}

Event::~Event() = default;

void Event::Set()
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->bSignalled = true;
    // Every waiter rechecks: the one woken for an auto-reset signal may be about to park and
    // leave the signal to another.
    m_state->cv.notify_all();
}

void Event::Reset()
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->bSignalled = false;
}

namespace {

bool IsSuspensionPending(ThreadControl* pControl)
{
    if (!pControl)
        return false;
    std::lock_guard<std::mutex> lock(pControl->mutex);
    return pControl->nSuspendCount > 0;
}

} // namespace

// A worker waits in slices so that a Suspend, which does not know which event the worker sits
// on, parks it within one slice. It checks for a pending suspension before taking the signal,
// so a parked waiter leaves an auto-reset signal to the others.
bool Event::Wait(uint32_t nMilliseconds)
{
    ThreadControl* pControl = t_pCurrent;
    std::optional<Clock::time_point> deadline = DeadlineAfter(nMilliseconds);
    std::unique_lock<std::mutex> lock(m_state->mutex);
    for (;;) {
        if (IsSuspensionPending(pControl)) {
            lock.unlock();
            SuspensionPoint();
            lock.lock();
            continue;
        }
        if (m_state->bSignalled) {
            if (!m_state->bManualReset)
                m_state->bSignalled = false;
            return true;
        }
        Clock::time_point now = Clock::now();
        if (deadline && now >= *deadline)
            return false;
        Clock::time_point wakeAt = deadline ? *deadline : Clock::time_point::max();
        if (pControl)
            wakeAt = std::min(wakeAt, now + kSuspendCheckSlice);
        if (wakeAt == Clock::time_point::max())
            m_state->cv.wait(lock);
        else
            m_state->cv.wait_until(lock, wakeAt);
    }
}

} // namespace platform
