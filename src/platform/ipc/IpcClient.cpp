#include "platform/ipc/IpcClient.h"

#include "platform/ipc/IpcProtocol.h"
#include "platform/text/Text.h"
#include "platform/thread/Thread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A wait wakes this often to pass a suspension point.
constexpr int kWaitSliceMs = 100;
// A listener whose queue is full is asked again after this pause.
constexpr uint32_t kConnectRetryMs = 10;

std::wstring ErrorText(int nErrno)
{
    return FromUtf8(std::generic_category().message(nErrno));
}

class ScopedSocket
{
public:
    explicit ScopedSocket(int hSocket) : m_hSocket(hSocket) {}
    ~ScopedSocket() { close(m_hSocket); }
    ScopedSocket(const ScopedSocket&) = delete;
    ScopedSocket& operator=(const ScopedSocket&) = delete;

    int Get() const { return m_hSocket; }

private:
    int m_hSocket;
};

// Waits until hSocket reports one of nEvents (or an error, which the next call then shows);
// false once the deadline has passed.
bool WaitFor(int hSocket, short nEvents, Clock::time_point deadline)
{
    for (;;) {
        SuspensionPoint();
        auto nLeft = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (nLeft <= 0)
            return false;
        pollfd pfd{hSocket, nEvents, 0};
        int nReady = poll(&pfd, 1, static_cast<int>(std::min<decltype(nLeft)>(nLeft, kWaitSliceMs)));
        if (nReady > 0 || (nReady < 0 && errno != EINTR))
            return true;
    }
}

int Connect(const std::wstring& strPath, Clock::time_point deadline, int& nErrno)
{
    for (;;) {
        int hSocket = ConnectIpcSocket(strPath, nErrno);
        if (hSocket >= 0 || nErrno != EAGAIN || Clock::now() >= deadline)
            return hSocket;
        Sleep(kConnectRetryMs);
    }
}

std::wstring DescribeConnectError(const std::wstring& strTitle, const std::wstring& strPath, int nErrno)
{
    switch (nErrno) {
    case ENOENT:
    case ECONNREFUSED:
        return FormatW(L"no window titled \"%ls\" is running (nothing listens at %ls)", strTitle.c_str(),
                       strPath.c_str());
    case EAGAIN:
        return FormatW(L"the window titled \"%ls\" accepts no connection (%ls is busy)", strTitle.c_str(),
                       strPath.c_str());
    default:
        return FormatW(L"cannot reach the window titled \"%ls\" at %ls: %ls", strTitle.c_str(),
                       strPath.c_str(), ErrorText(nErrno).c_str());
    }
}

// A socket that another user put at our path in the shared /tmp must not hear our messages.
bool IsPeerTrusted(int hSocket)
{
    ucred cred{};
    socklen_t nSize = sizeof(cred);
    if (getsockopt(hSocket, SOL_SOCKET, SO_PEERCRED, &cred, &nSize) != 0)
        return false;
    return cred.uid == geteuid() || cred.uid == 0;
}

bool SendAll(int hSocket, const uint8_t* pData, size_t nSize, Clock::time_point deadline, int& nErrno)
{
    while (nSize > 0) {
        ssize_t n = send(hSocket, pData, nSize, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            pData += n;
            nSize -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            nErrno = errno;
            return false;
        }
        if (!WaitFor(hSocket, POLLOUT, deadline)) {
            nErrno = ETIMEDOUT;
            return false;
        }
    }
    return true;
}

// Reads exactly nSize bytes. nErrno is 0 when the peer closed first, ETIMEDOUT at the deadline.
bool RecvAll(int hSocket, uint8_t* pData, size_t nSize, Clock::time_point deadline, int& nErrno)
{
    while (nSize > 0) {
        ssize_t n = recv(hSocket, pData, nSize, MSG_DONTWAIT);
        if (n > 0) {
            pData += n;
            nSize -= static_cast<size_t>(n);
            continue;
        }
        if (n == 0) {
            nErrno = 0;
            return false;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            nErrno = errno;
            return false;
        }
        if (!WaitFor(hSocket, POLLIN, deadline)) {
            nErrno = ETIMEDOUT;
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<intptr_t> SendIpcMessage(const std::wstring& strTitle, uint32_t nMessage, uintptr_t wParam,
                                       intptr_t lParam, std::wstring* pstrError)
{
    std::wstring strIgnored;
    std::wstring& strError = pstrError ? *pstrError : strIgnored;
    if (strTitle.empty()) {
        strError = L"no window title given";
        return std::nullopt;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kIpcSendTimeoutMs);
    const std::wstring strPath = GetIpcSocketPath(strTitle);
    const wchar_t* pszTitle = strTitle.c_str();

    int nErrno = 0;
    int hSocket = Connect(strPath, deadline, nErrno);
    if (hSocket < 0) {
        strError = DescribeConnectError(strTitle, strPath, nErrno);
        return std::nullopt;
    }
    ScopedSocket socket(hSocket);
    if (!IsPeerTrusted(hSocket)) {
        strError = FormatW(L"%ls belongs to another user; nothing was sent", strPath.c_str());
        return std::nullopt;
    }

    IpcRequest request;
    request.nMessage = nMessage;
    request.wParam = wParam;
    request.lParam = lParam;
    IpcRequestBytes requestBytes = EncodeIpcRequest(request);
    if (!SendAll(hSocket, requestBytes.data(), requestBytes.size(), deadline, nErrno)) {
        strError =
            FormatW(L"cannot send to the window titled \"%ls\": %ls", pszTitle, ErrorText(nErrno).c_str());
        return std::nullopt;
    }

    IpcReplyBytes replyBytes{};
    if (!RecvAll(hSocket, replyBytes.data(), replyBytes.size(), deadline, nErrno)) {
        if (nErrno == ETIMEDOUT)
            strError = FormatW(L"the window titled \"%ls\" did not answer within %d s", pszTitle,
                               kIpcSendTimeoutMs / 1000);
        else if (nErrno == 0)
            strError =
                FormatW(L"the window titled \"%ls\" closed the connection without an answer", pszTitle);
        else
            strError = FormatW(L"no answer from the window titled \"%ls\": %ls", pszTitle,
                               ErrorText(nErrno).c_str());
        return std::nullopt;
    }
    std::wstring strProblem;
    std::optional<IpcReply> reply = DecodeIpcReply(replyBytes, &strProblem);
    if (!reply) {
        strError = FormatW(L"bad answer from the window titled \"%ls\": %ls", pszTitle, strProblem.c_str());
        return std::nullopt;
    }
    if (reply->status != IpcStatus::Handled || reply->nVersion != kIpcVersion) {
        strError = FormatW(L"the window titled \"%ls\" speaks message version %u, this program version %u",
                           pszTitle, reply->nVersion, kIpcVersion);
        return std::nullopt;
    }
    return reply->nResult;
}

} // namespace platform
