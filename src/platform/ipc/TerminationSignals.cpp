#include "platform/ipc/TerminationSignals.h"

#include "platform/thread/Thread.h"

#include <atomic>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

namespace {

// The process-wide state the signal handler needs, and nothing more: the write end of the
// installed instance's pipe (-1 when there is none), and how many handlers are between reading
// it and finishing their write, so that the pipe is closed only when no handler can still use
// it. Lock-free atomics are safe to touch in a signal handler.
std::atomic<int> g_hSignalPipe{-1};
std::atomic<int> g_nHandlersRunning{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Claimed by the one installed instance.
std::atomic<bool> g_bInstalled{false};

void OnTerminationSignal(int nSignal)
{
    const int nSavedErrno = errno;
    g_nHandlersRunning.fetch_add(1);
    int hPipe = g_hSignalPipe.load();
    if (hPipe >= 0) {
        // Non-blocking: a full pipe drops the byte, and its reader has plenty to act on already.
        unsigned char nByte = static_cast<unsigned char>(nSignal);
        ssize_t nWritten = write(hPipe, &nByte, 1);
        static_cast<void>(nWritten);
    }
    g_nHandlersRunning.fetch_sub(1);
    errno = nSavedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(Callback onSignal) : m_onSignal(std::move(onSignal)) {}

std::unique_ptr<TerminationSignals> TerminationSignals::Install(Callback onSignal)
{
    if (!onSignal)
        return nullptr;
    bool bFree = false;
    if (!g_bInstalled.compare_exchange_strong(bFree, true))
        return nullptr;
    // From here on the destructor undoes whatever part was set up, the claim included.
    std::unique_ptr<TerminationSignals> signals(new TerminationSignals(std::move(onSignal)));
    int arrPipe[2];
    if (pipe2(arrPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    signals->m_hRead = arrPipe[0];
    signals->m_hWrite = arrPipe[1];
    signals->m_hWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (signals->m_hWake < 0)
        return nullptr;
    TerminationSignals* pSignals = signals.get();
    signals->m_pThread = Thread::Create([pSignals] {
        pSignals->Listen();
        return 0u;
    });
    if (!signals->m_pThread)
        return nullptr;

    g_hSignalPipe.store(signals->m_hWrite);
    struct sigaction action
    {
    };
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGINT);
    action.sa_flags = SA_RESTART; // the rest of the program never sees EINTR because of us
    if (sigaction(SIGTERM, &action, &signals->m_oldTerm) != 0)
        return nullptr;
    if (sigaction(SIGINT, &action, &signals->m_oldInt) != 0) {
        sigaction(SIGTERM, &signals->m_oldTerm, nullptr);
        return nullptr;
    }
    signals->m_bHandlersSet = true;
    return signals;
}

TerminationSignals::~TerminationSignals()
{
    if (m_bHandlersSet) {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    // No handler starts using the pipe after this; one that already has finishes its one write.
    g_hSignalPipe.store(-1);
    while (g_nHandlersRunning.load() != 0)
        std::this_thread::yield();
    if (m_pThread) {
        uint64_t nOne = 1;
        while (write(m_hWake, &nOne, sizeof(nOne)) < 0 && errno == EINTR) {
        }
        m_pThread->Wait(kInfinite);
    }
    for (int hFile : {m_hRead, m_hWrite, m_hWake})
        if (hFile >= 0)
            close(hFile);
    g_bInstalled.store(false);
}

void TerminationSignals::Listen()
{
    auto deliver = [this] {
        unsigned char arrSignals[64];
        ssize_t n;
        while ((n = read(m_hRead, arrSignals, sizeof(arrSignals))) > 0 || (n < 0 && errno == EINTR)) {
            for (ssize_t i = 0; i < n; ++i) {
                try {
                    m_onSignal(arrSignals[i]);
                } catch (...) {
                    // A callback that throws loses only its own signal.
                }
            }
        }
    };
    for (;;) {
        pollfd arrPoll[2] = {{m_hRead, POLLIN, 0}, {m_hWake, POLLIN, 0}};
        if (poll(arrPoll, 2, -1) < 0) {
            if (errno != EINTR)
                Sleep(100); // never seen in practice; keeps a broken poll from spinning
            continue;
        }
        deliver();
        if (arrPoll[1].revents != 0)
            return;
    }
}

} // namespace platform
