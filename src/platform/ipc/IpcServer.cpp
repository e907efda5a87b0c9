#include "platform/ipc/IpcServer.h"

#include "platform/fs/FileSystem.h"
#include "platform/ipc/IpcProtocol.h"
#include "platform/text/Text.h"
#include "platform/thread/Thread.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <system_error>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Connections still delivering their request. Beyond this many the oldest is dropped, so a
// crowd of silent connections cannot keep a real sender out.
constexpr size_t kMaxPending = 32;
// After accept() fails for want of descriptors, the listener rests this long instead of spinning.
constexpr std::chrono::milliseconds kAcceptPause(100);

struct PendingConnection
{
    int hSocket = -1;
    std::array<uint8_t, kIpcRequestSize + 1> buffer{}; // one byte more, to notice a request that runs on
    size_t nHave = 0;
    Clock::time_point deadline;
};

enum class ReadState
{
    Waiting,  // more bytes to come
    Complete, // exactly one request
    Left,     // closed without a byte: a liveness probe, or a sender that gave up
    Bad,      // anything else; the reason is in strProblem
};

std::wstring ErrorText(int nErrno)
{
    return FromUtf8(std::generic_category().message(nErrno));
}

ReadState ReadMore(PendingConnection& conn, std::wstring& strProblem)
{
    for (;;) {
        ssize_t n = recv(conn.hSocket, conn.buffer.data() + conn.nHave, conn.buffer.size() - conn.nHave,
                         MSG_DONTWAIT);
        if (n > 0) {
            conn.nHave += static_cast<size_t>(n);
            if (conn.nHave > kIpcRequestSize) {
                strProblem = FormatW(L"more than the %zu bytes of a request", kIpcRequestSize);
                return ReadState::Bad;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return conn.nHave == kIpcRequestSize ? ReadState::Complete : ReadState::Waiting;
        // The sender closed its side (it may still read the reply) or the connection broke.
        if (n == 0 && conn.nHave == kIpcRequestSize)
            return ReadState::Complete;
        if (conn.nHave == 0)
            return ReadState::Left;
        strProblem = n == 0 ? FormatW(L"a short request (%zu of %zu bytes)", conn.nHave, kIpcRequestSize)
                            : ErrorText(errno);
        return ReadState::Bad;
    }
}

// Milliseconds until the earliest of the deadlines, for poll(); -1 for none.
int TimeoutMs(const std::vector<PendingConnection>& arrPending, Clock::time_point acceptResume,
              Clock::time_point now)
{
    std::optional<Clock::time_point> next;
    if (acceptResume > now)
        next = acceptResume;
    for (const PendingConnection& conn : arrPending)
        if (!next || conn.deadline < *next)
            next = conn.deadline;
    if (!next)
        return -1;
    auto nMs = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
    return static_cast<int>(std::clamp<decltype(nMs)>(nMs, 0, kIpcReadTimeoutMs));
}

// Makes way for a new socket at strPath: there is nothing there, or a socket of ours that nobody
// listens on, which is removed. Returns the reason when the path is not free; empty otherwise.
std::wstring ClearStaleSocket(const std::wstring& strPath)
{
    const std::string strNative = ToNativePath(strPath);
    struct stat st
    {
    };
    if (lstat(strNative.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return std::wstring();
        return FormatW(L"cannot check %ls: %ls", strPath.c_str(), ErrorText(errno).c_str());
    }
    if (!S_ISSOCK(st.st_mode))
        return FormatW(L"%ls exists and is not a socket; it is left alone", strPath.c_str());
    if (st.st_uid != geteuid())
        return FormatW(L"%ls belongs to another user", strPath.c_str());
    int nErrno = 0;
    int hProbe = ConnectIpcSocket(strPath, nErrno);
    if (hProbe >= 0) {
        close(hProbe);
        return FormatW(L"another window already listens on %ls", strPath.c_str());
    }
    if (nErrno == EAGAIN)
        return FormatW(L"another window already listens on %ls (its queue is full)", strPath.c_str());
    if (nErrno == ENOENT)
        return std::wstring(); // removed meanwhile
    if (nErrno != ECONNREFUSED)
        return FormatW(L"cannot check %ls: %ls", strPath.c_str(), ErrorText(nErrno).c_str());
    if (unlink(strNative.c_str()) != 0 && errno != ENOENT)
        return FormatW(L"cannot remove the stale socket %ls: %ls", strPath.c_str(), ErrorText(errno).c_str());
    return std::wstring();
}

void SetError(std::wstring* pstrError, const std::wstring& strError)
{
    if (pstrError)
        *pstrError = strError;
}

} // namespace

IpcServer::IpcServer(Handler handler, Log log, std::wstring strPath)
    : m_handler(std::move(handler)), m_log(std::move(log)), m_strPath(std::move(strPath))
{
}

std::unique_ptr<IpcServer> IpcServer::Start(const std::wstring& strTitle, Handler handler, Log log,
                                            std::wstring* pstrError)
{
    if (strTitle.empty() || !handler) {
        SetError(pstrError, strTitle.empty()
                                ? L"a window without a title takes no messages from other processes"
                                : L"no message handler");
        return nullptr;
    }
    std::unique_ptr<IpcServer> server(
        new IpcServer(std::move(handler), std::move(log), GetIpcSocketPath(strTitle)));
    const std::wstring& strPath = server->m_strPath;
    const std::string strNative = ToNativePath(strPath);
    auto fail = [&](const std::wstring& strWhat, int nErrno) {
        SetError(pstrError,
                 FormatW(L"%ls %ls: %ls", strWhat.c_str(), strPath.c_str(), ErrorText(nErrno).c_str()));
        return nullptr;
    };

    std::wstring strProblem = ClearStaleSocket(strPath);
    if (!strProblem.empty()) {
        SetError(pstrError, strProblem);
        return nullptr;
    }

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, strNative.c_str(), strNative.size() + 1); // GetIpcSocketPath made it fit
    server->m_hListen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (server->m_hListen < 0)
        return fail(L"cannot make a socket for", errno);
    if (bind(server->m_hListen, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        if (errno == EADDRINUSE)
            SetError(pstrError, FormatW(L"another window has just taken %ls", strPath.c_str()));
        else
            fail(L"cannot bind", errno);
        return nullptr;
    }
    // The mode is set before listen(), so nobody else can connect in between.
    struct stat st
    {
    };
    if (chmod(strNative.c_str(), 0600) != 0 || lstat(strNative.c_str(), &st) != 0) {
        int nErrno = errno;
        unlink(strNative.c_str());
        return fail(L"cannot protect", nErrno);
    }
    server->m_nDevice = st.st_dev;
    server->m_nInode = st.st_ino;
    if (listen(server->m_hListen, SOMAXCONN) != 0) {
        int nErrno = errno;
        unlink(strNative.c_str());
        return fail(L"cannot listen on", nErrno);
    }
    server->m_hWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (server->m_hWake < 0)
        return fail(L"no wake-up descriptor for", errno); // the destructor removes the file
    IpcServer* pServer = server.get();
    server->m_pThread = Thread::Create([pServer] {
        pServer->Serve();
        return 0u;
    });
    if (!server->m_pThread) {
        SetError(pstrError, L"cannot start the message thread");
        return nullptr;
    }
    return server;
}

IpcServer::~IpcServer()
{
    if (m_pThread) {
        uint64_t nOne = 1;
        while (write(m_hWake, &nOne, sizeof(nOne)) < 0 && errno == EINTR) {
        }
        m_pThread->Wait(kInfinite);
    }
    // Removed only while it is still ours: a newer server may sit at the same path.
    if (m_hListen >= 0) {
        const std::string strNative = ToNativePath(m_strPath);
        struct stat st
        {
        };
        if (m_nInode != 0 && lstat(strNative.c_str(), &st) == 0 && st.st_dev == m_nDevice &&
            st.st_ino == m_nInode)
            unlink(strNative.c_str());
        close(m_hListen);
    }
    if (m_hWake >= 0)
        close(m_hWake);
}

void IpcServer::LogLine(const std::wstring& strLine) const
{
    if (m_log)
        m_log(L"ipc: " + strLine);
}

void IpcServer::Serve()
{
    std::vector<PendingConnection> arrPending;
    std::vector<pollfd> arrPoll;
    Clock::time_point acceptResume;

    // Reads what a connection has sent and answers it once complete; false when it is finished.
    auto progress = [&](PendingConnection& conn) {
        std::wstring strProblem;
        switch (ReadMore(conn, strProblem)) {
        case ReadState::Waiting:
            return true;
        case ReadState::Complete:
            Answer(conn.hSocket, conn.buffer.data());
            break;
        case ReadState::Left:
            break;
        case ReadState::Bad:
            LogLine(L"dropped a connection: " + strProblem);
            break;
        }
        close(conn.hSocket);
        conn.hSocket = -1;
        return false;
    };

    for (;;) {
        Clock::time_point now = Clock::now();
        arrPoll.clear();
        arrPoll.push_back({m_hWake, POLLIN, 0});
        arrPoll.push_back({now >= acceptResume ? m_hListen : -1, POLLIN, 0}); // poll skips a negative fd
        for (const PendingConnection& conn : arrPending)
            arrPoll.push_back({conn.hSocket, POLLIN, 0});
        int nReady = poll(arrPoll.data(), arrPoll.size(), TimeoutMs(arrPending, acceptResume, now));
        if (nReady < 0) {
            if (errno != EINTR) {
                LogLine(L"poll failed: " + ErrorText(errno));
                Sleep(static_cast<uint32_t>(kAcceptPause.count()));
            }
            continue;
        }
        if (arrPoll[0].revents != 0)
            break;

        // Those waiting longest first; poll's entries line up with arrPending until it changes.
        for (size_t i = 0; i < arrPending.size(); ++i)
            if (arrPoll[i + 2].revents != 0)
                progress(arrPending[i]);
        std::erase_if(arrPending, [](const PendingConnection& conn) { return conn.hSocket < 0; });

        while (arrPoll[1].revents != 0) {
            int hSocket = accept4(m_hListen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (hSocket < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    LogLine(L"cannot accept a connection: " + ErrorText(errno));
                    acceptResume = Clock::now() + kAcceptPause;
                }
                break;
            }
            PendingConnection conn;
            conn.hSocket = hSocket;
            conn.deadline = Clock::now() + std::chrono::milliseconds(kIpcReadTimeoutMs);
            // A sender writes right after connecting, so its request is usually here already.
            if (!progress(conn))
                continue;
            if (arrPending.size() >= kMaxPending) {
                LogLine(L"too many connections without a request; dropped the oldest");
                close(arrPending.front().hSocket);
                arrPending.erase(arrPending.begin());
            }
            arrPending.push_back(conn);
        }

        now = Clock::now();
        for (PendingConnection& conn : arrPending) {
            if (now < conn.deadline)
                continue;
            LogLine(FormatW(L"dropped a connection that sent %zu of %zu bytes in %d ms", conn.nHave,
                            kIpcRequestSize, kIpcReadTimeoutMs));
            close(conn.hSocket);
            conn.hSocket = -1;
        }
        std::erase_if(arrPending, [](const PendingConnection& conn) { return conn.hSocket < 0; });
    }
    for (const PendingConnection& conn : arrPending)
        close(conn.hSocket);
}

void IpcServer::Answer(int hSocket, const uint8_t* pRequest)
{
    IpcRequestBytes bytes;
    std::copy_n(pRequest, kIpcRequestSize, bytes.begin());
    std::wstring strProblem;
    std::optional<IpcRequest> request = DecodeIpcRequest(bytes, &strProblem);
    if (!request) {
        LogLine(L"dropped a connection: " + strProblem);
        return;
    }
    IpcReply reply;
    if (request->nVersion != kIpcVersion) {
        reply.status = IpcStatus::UnsupportedVersion;
        LogLine(
            FormatW(L"refused a request of version %u (this is version %u)", request->nVersion, kIpcVersion));
    } else {
        try {
            reply.nResult = m_handler(request->nMessage, request->wParam, request->lParam);
        } catch (...) {
            LogLine(FormatW(L"the handler of message 0x%X failed; no reply", request->nMessage));
            return;
        }
    }
    // The reply fits an empty socket buffer, so it goes out whole or not at all; MSG_NOSIGNAL
    // turns a sender that has left into an error here instead of SIGPIPE.
    IpcReplyBytes out = EncodeIpcReply(reply);
    ssize_t n;
    do {
        n = send(hSocket, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(out.size()))
        LogLine(FormatW(L"the sender of message 0x%X left before its reply", request->nMessage));
}

} // namespace platform
