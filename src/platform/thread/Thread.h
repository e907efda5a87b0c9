#pragma once

// Worker threads with the semantics the launcher relies on: a priority at creation, suspend and
// resume from any thread, and a handle that can be closed without joining.
//
// Suspension is cooperative. Suspend() only raises the thread's suspend count and returns at
// once; the worker parks at its next suspension point and stays parked while the count is above
// zero. Every blocking call of the layer is a suspension point (Sleep, Event::Wait, socket
// connect/send/recv, process wait), and SuspensionPoint() is one on its own. A thread that
// suspends itself parks at once. Nothing parks while holding a layer lock.
//
// Thread rules: a Thread handle may be used from any thread. Closing or destroying the handle
// never waits for the worker; the worker runs on until its routine returns.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {

enum class ThreadPriority
{
    Normal,
    Lowest, // a high nice value for the thread: it runs only when nothing else wants the core
};

inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

struct ThreadControl; // shared between the handle and the running worker

class Thread
{
public:
    using Routine = std::function<uint32_t()>;

    // Starts routine on a new thread. With bStartSuspended the thread parks before the routine's
    // first instruction until Resume(). Returns null when the thread could not be created.
    static std::unique_ptr<Thread> Create(Routine routine, ThreadPriority priority = ThreadPriority::Normal,
                                          bool bStartSuspended = false);

    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Raises the suspend count; returns the previous count. Asynchronous unless called by the
    // thread itself, which then parks at once.
    uint32_t Suspend();
    // Lowers the suspend count (not below zero); returns the previous count. At zero the worker
    // runs on from where it parked.
    uint32_t Resume();

    // True while the thread is parked at a suspension point because of Suspend().
    bool IsParked() const;
    // True once the routine has returned.
    bool HasEnded() const;
    // Waits up to nMilliseconds for the routine to return; true when it has.
    bool Wait(uint32_t nMilliseconds = kInfinite) const;
    // Waits until the thread is parked or has ended, or until deadline; true when it is at rest
    // (what a caller needs before freeing what the worker uses, after Suspend()).
    bool WaitAtRest(std::chrono::steady_clock::time_point deadline) const;
    // The routine's return value once it has ended.
    bool GetExitCode(uint32_t& nExitCode) const;

private:
    explicit Thread(std::shared_ptr<ThreadControl> control);
    std::shared_ptr<ThreadControl> m_control;
};

// Suspends the calling worker (raises its suspend count and parks at once) until another
// thread resumes it through its handle. Needs no handle, so a worker may call it while the
// window thread replaces or closes the handle. Does nothing on threads that were not made by
// Thread::Create.
void SuspendCurrentThread();

// Parks the calling worker while a suspension of it is pending. Does nothing on threads that
// were not made by Thread::Create.
void SuspensionPoint();

// Sleeps for nMilliseconds; a suspension point at both ends and, for long sleeps, in between.
void Sleep(uint32_t nMilliseconds);

// A Win32-style event: manual reset stays signalled until Reset(); auto reset releases one
// waiter and clears itself.
class Event
{
public:
    explicit Event(bool bManualReset = true, bool bInitialState = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Waits up to nMilliseconds; true when signalled. A suspension point.
    bool Wait(uint32_t nMilliseconds = kInfinite);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// An unnamed mutex. Like the platform's, the owning thread may lock it again (recursive).
class Mutex
{
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    bool TryLock() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

// Locks a Mutex for one scope.
class MutexLock
{
public:
    explicit MutexLock(Mutex& mutex) : m_mutex(mutex) { m_mutex.Lock(); }
    ~MutexLock() { m_mutex.Unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& m_mutex;
};

} // namespace platform
