#pragma once

// SIGTERM and SIGINT as an ordinary call: the signal handler only writes the signal's number into
// a pipe, which is all a handler may safely do, and a thread of this object reads the pipe and
// calls the callback, where locking, allocating and posting a message to a window are allowed.
//
// Thread rules: Install may be called from any thread; one TerminationSignals exists per process
// at a time (a second Install returns null). The callback runs on the object's own thread, once per
// signal received, one call at a time. The destructor may run on any thread except that one (not
// from inside the callback): it puts back the handlers that were there before Install, calls the
// callback for signals that arrived until then, and waits for a callback in progress to return.

#include <functional>
#include <memory>

#include <signal.h>

namespace platform {

class Thread;

class TerminationSignals
{
public:
    using Callback = std::function<void(int nSignal)>;

    // Routes SIGTERM and SIGINT to onSignal. Null when another instance is installed, onSignal is
    // empty, or the pipe, the handlers or the thread cannot be set up (nothing is changed then).
    static std::unique_ptr<TerminationSignals> Install(Callback onSignal);

    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    explicit TerminationSignals(Callback onSignal);

    void Listen();

    Callback m_onSignal;
    int m_hRead = -1; // the pipe's read end; the write end belongs to the signal handler
    int m_hWrite = -1;
    int m_hWake = -1; // an eventfd: the destructor's signal to the thread
    struct sigaction m_oldTerm
    {
    };
    struct sigaction m_oldInt
    {
    };
    bool m_bHandlersSet = false;
    std::unique_ptr<Thread> m_pThread;
};

} // namespace platform
