#include "platform/socket/Socket.h"

#include "platform/text/Text.h"
#include "platform/thread/Thread.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <climits>
#include <optional>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// The longest a blocking call waits before it passes a suspension point.
constexpr int kWaitSliceMs = 100;

struct ConnectEntry
{
    std::wstring strFromHost; // empty: any host
    std::optional<uint16_t> nFromPort;
    std::wstring strToHost; // empty: keep the host
    std::optional<uint16_t> nToPort;
};

std::wstring_view StripBrackets(std::wstring_view strHost)
{
    if (strHost.size() >= 2 && strHost.front() == L'[' && strHost.back() == L']')
        return strHost.substr(1, strHost.size() - 2);
    return strHost;
}

std::wstring_view Trim(std::wstring_view text)
{
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t'))
        text.remove_suffix(1);
    return text;
}

// A host field at nPos: "[address]" or the text up to the next ':'.
bool ReadHostField(std::wstring_view entry, size_t& nPos, std::wstring& strHost)
{
    if (nPos < entry.size() && entry[nPos] == L'[') {
        size_t nClose = entry.find(L']', nPos);
        if (nClose == std::wstring_view::npos || nClose == nPos + 1)
            return false;
        strHost = entry.substr(nPos + 1, nClose - nPos - 1);
        nPos = nClose + 1;
        return true;
    }
    size_t nEnd = std::min(entry.find(L':', nPos), entry.size());
    strHost = entry.substr(nPos, nEnd - nPos);
    nPos = nEnd;
    return true;
}

// A port field at nPos: empty (nullopt) or a number from 1 to 65535.
bool ReadPortField(std::wstring_view entry, size_t& nPos, std::optional<uint16_t>& nPort)
{
    size_t nEnd = std::min(entry.find(L':', nPos), entry.size());
    std::wstring_view digits = entry.substr(nPos, nEnd - nPos);
    nPos = nEnd;
    nPort.reset();
    if (digits.empty())
        return true;
    if (digits.size() > 5)
        return false;
    uint32_t nValue = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            return false;
        nValue = nValue * 10 + static_cast<uint32_t>(c - L'0');
    }
    if (nValue == 0 || nValue > 65535)
        return false;
    nPort = static_cast<uint16_t>(nValue);
    return true;
}

bool ReadColon(std::wstring_view entry, size_t& nPos)
{
    if (nPos >= entry.size() || entry[nPos] != L':')
        return false;
    ++nPos;
    return true;
}

// "HOST1:PORT1:HOST2:PORT2"; nullopt when the entry is malformed.
std::optional<ConnectEntry> ParseEntry(std::wstring_view entry)
{
    ConnectEntry parsed;
    size_t nPos = 0;
    if (!ReadHostField(entry, nPos, parsed.strFromHost) || !ReadColon(entry, nPos) ||
        !ReadPortField(entry, nPos, parsed.nFromPort) || !ReadColon(entry, nPos) ||
        !ReadHostField(entry, nPos, parsed.strToHost) || !ReadColon(entry, nPos) ||
        !ReadPortField(entry, nPos, parsed.nToPort) || nPos != entry.size())
        return std::nullopt;
    return parsed;
}

// Waits until the socket is ready for events, in slices with a suspension point between them.
// True when it is ready (or has an error that the next call will report); false on an error or
// once the slices have waited nBudgetMs in all (0xFFFFFFFF: no limit).
bool WaitReady(int hSocket, short nEvents, uint32_t nBudgetMs = 0xFFFFFFFF)
{
    using Clock = std::chrono::steady_clock;
    Clock::duration waited{};
    for (;;) {
        pollfd pfd{hSocket, nEvents, 0};
        const Clock::time_point start = Clock::now();
        int n = poll(&pfd, 1, kWaitSliceMs);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
        waited += Clock::now() - start;
        if (nBudgetMs != 0xFFFFFFFF && waited >= std::chrono::milliseconds(nBudgetMs))
            return false;
        SuspensionPoint();
    }
}

// Connects to one address; the connected socket in blocking mode, or -1.
int ConnectToAddress(const addrinfo& address)
{
    int hSocket =
        socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address.ai_protocol);
    if (hSocket < 0)
        return -1;
    // Non-blocking only while connecting, so the wait can pass suspension points.
    if (connect(hSocket, address.ai_addr, address.ai_addrlen) != 0) {
        int nError = 0;
        socklen_t nLength = sizeof(nError);
        if ((errno != EINPROGRESS && errno != EINTR) || !WaitReady(hSocket, POLLOUT) ||
            getsockopt(hSocket, SOL_SOCKET, SO_ERROR, &nError, &nLength) != 0 || nError != 0) {
            close(hSocket);
            return -1;
        }
    }
    int nFlags = fcntl(hSocket, F_GETFL);
    if (nFlags < 0 || fcntl(hSocket, F_SETFL, nFlags & ~O_NONBLOCK) != 0) {
        close(hSocket);
        return -1;
    }
    return hSocket;
}

struct AddressListFree
{
    void operator()(addrinfo* p) const { freeaddrinfo(p); }
};

} // namespace

ConnectTarget ResolveConnectTarget(const std::wstring& strHost, uint16_t nPort, std::wstring_view strOverride)
{
    const std::wstring_view strBareHost = StripBrackets(strHost);
    size_t nStart = 0;
    while (nStart <= strOverride.size()) {
        size_t nComma = std::min(strOverride.find(L',', nStart), strOverride.size());
        std::optional<ConnectEntry> entry = ParseEntry(Trim(strOverride.substr(nStart, nComma - nStart)));
        nStart = nComma + 1;
        if (!entry)
            continue;
        if (!entry->strFromHost.empty() && !EqualsNoCase(entry->strFromHost, strBareHost))
            continue;
        if (entry->nFromPort && *entry->nFromPort != nPort)
            continue;
        return {entry->strToHost.empty() ? strHost : entry->strToHost, entry->nToPort.value_or(nPort)};
    }
    return {strHost, nPort};
}

Socket::Socket(int hSocket) : m_hSocket(hSocket) {}

Socket::~Socket()
{
    Close();
}

std::unique_ptr<Socket> Socket::Connect(const std::wstring& strHost, uint16_t nPort)
{
    SuspensionPoint();
    const ConnectTarget target = ResolveConnectTarget(strHost, nPort, GetEnv("BREVANTO_CONNECT_TO"));
    const std::string strName = ToUtf8(StripBrackets(target.strHost));
    if (strName.empty() || target.nPort == 0)
        return nullptr;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC; // IPv4 and IPv6, in the order the resolver prefers
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* pList = nullptr;
    if (getaddrinfo(strName.c_str(), std::to_string(target.nPort).c_str(), &hints, &pList) != 0)
        return nullptr;
    std::unique_ptr<addrinfo, AddressListFree> list(pList);

    for (const addrinfo* p = list.get(); p; p = p->ai_next) {
        int hSocket = ConnectToAddress(*p);
        if (hSocket >= 0)
            return std::unique_ptr<Socket>(new Socket(hSocket));
        SuspensionPoint();
    }
    return nullptr;
}

bool Socket::SendAll(const void* pData, size_t nSize)
{
    if (m_hSocket < 0)
        return false;
    SuspensionPoint();
    const char* p = static_cast<const char*>(pData);
    while (nSize > 0) {
        // MSG_NOSIGNAL: a peer that has gone away is an error result, not SIGPIPE.
        ssize_t n = send(m_hSocket, p, nSize, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            p += n;
            nSize -= static_cast<size_t>(n);
            if (nSize > 0)
                SuspensionPoint();
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitReady(m_hSocket, POLLOUT))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

int Socket::Recv(void* pBuffer, size_t nSize)
{
    if (m_hSocket < 0)
        return -1;
    if (nSize == 0)
        return 0;
    nSize = std::min<size_t>(nSize, INT_MAX);
    SuspensionPoint();
    for (;;) {
        ssize_t n = recv(m_hSocket, pBuffer, nSize, MSG_DONTWAIT);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if ((errno != EAGAIN && errno != EWOULDBLOCK) || !WaitReady(m_hSocket, POLLIN, m_nReceiveTimeoutMs))
            return -1;
    }
}

void Socket::Close()
{
    if (m_hSocket >= 0) {
        close(m_hSocket);
        m_hSocket = -1;
    }
}

} // namespace platform
