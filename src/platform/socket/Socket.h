#pragma once

// Blocking TCP for the launcher's HTTP client, over IPv4 or IPv6.
//
// Every blocking call (connect, send, receive) waits in slices of at most 100 ms and passes a
// suspension point between them, so a worker that is suspended while it waits on the network
// parks there and carries on after Resume(). There is no overall time-out: callers set none.
//
// The environment variable BREVANTO_CONNECT_TO redirects connections, like curl's --connect-to:
// "HOST1:PORT1:HOST2:PORT2[,...]" sends a connection meant for HOST1:PORT1 to HOST2:PORT2 while
// the caller still speaks to HOST1 (its request bytes are not touched).
//
// Thread rules: a Socket belongs to the thread that uses it; its methods are called by one thread
// at a time. Connect and ResolveConnectTarget are safe to call from any thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

struct ConnectTarget
{
    std::wstring strHost; // a name or an address; an IPv6 address without brackets
    uint16_t nPort = 0;

    bool operator==(const ConnectTarget&) const = default;
};

// Where a connection to strHost:nPort goes under the override text (the value of
// BREVANTO_CONNECT_TO). Entries are separated by commas, and the first one that matches wins:
//  - HOST1 matches case-insensitively, PORT1 exactly; an empty HOST1 or PORT1 matches any;
//  - an empty HOST2 or PORT2 keeps the original host or port;
//  - IPv6 addresses are written in brackets ("[::1]");
//  - malformed entries (wrong field count, a bad port, an unclosed bracket) are skipped.
ConnectTarget ResolveConnectTarget(const std::wstring& strHost, uint16_t nPort,
                                   std::wstring_view strOverride);

class Socket
{
public:
    // Resolves the host (after the override) and connects to its addresses in turn; null when
    // the name does not resolve or no address accepts the connection.
    static std::unique_ptr<Socket> Connect(const std::wstring& strHost, uint16_t nPort);

    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Sends all nSize bytes; false when the connection fails first (or is closed). A peer that
    // has gone away gives false, never a signal.
    bool SendAll(const void* pData, size_t nSize);

    // Waits for data and receives up to nSize bytes: the count received, 0 once the peer has
    // closed its side, -1 on an error or a closed socket. Asking for 0 bytes gives 0.
    int Recv(void* pBuffer, size_t nSize);

    // Limits how long Recv waits for the first byte: after nMilliseconds of silence it gives -1.
    // Time spent parked by a suspension does not count. 0xFFFFFFFF (the default) waits for ever.
    void SetReceiveTimeout(uint32_t nMilliseconds) { m_nReceiveTimeoutMs = nMilliseconds; }

    // Closes the connection; later calls fail. Safe to call more than once.
    void Close();

private:
    explicit Socket(int hSocket);

    int m_hSocket = -1;
    uint32_t m_nReceiveTimeoutMs = 0xFFFFFFFF;
};

} // namespace platform
