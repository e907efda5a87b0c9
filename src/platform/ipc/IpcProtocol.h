#pragma once

// What a sender and a running launcher agree on: where a window's socket lives and the bytes of
// one exchange. Each connection carries one request and one reply, both of fixed size, every
// field little-endian:
//
//   request (32 bytes)                      reply (24 bytes)
//   0   u32 magic "BRVM"                    0   u32 magic "BRVM"
//   4   u32 version                         4   u32 version of the replying server
//   8   u32 message                         8   u32 status (IpcStatus)
//   12  u32 reserved, zero                  12  u32 reserved, zero
//   16  u64 wParam                          16  i64 result
//   24  i64 lParam
//
// A server that gets a request of another version answers with UnsupportedVersion and its own
// version, so an old launcher and a new sender fail with a clear message instead of a guess.
//
// Thread rules: everything here is safe to call from any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

static_assert(sizeof(intptr_t) == 8 && sizeof(uintptr_t) == 8, "message parameters travel as 64-bit fields");

inline constexpr uint32_t kIpcMagic = 0x4D565242; // "BRVM" in file order
inline constexpr uint32_t kIpcVersion = 1;
inline constexpr size_t kIpcRequestSize = 32;
inline constexpr size_t kIpcReplySize = 24;

struct IpcRequest
{
    uint32_t nVersion = kIpcVersion;
    uint32_t nMessage = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

enum class IpcStatus : uint32_t
{
    Handled = 0,            // the handler ran; the result is its return value
    UnsupportedVersion = 1, // the request's version is not the server's; no handler ran
};

struct IpcReply
{
    uint32_t nVersion = kIpcVersion;
    IpcStatus status = IpcStatus::Handled;
    intptr_t nResult = 0;
};

using IpcRequestBytes = std::array<uint8_t, kIpcRequestSize>;
using IpcReplyBytes = std::array<uint8_t, kIpcReplySize>;

IpcRequestBytes EncodeIpcRequest(const IpcRequest& request);
IpcReplyBytes EncodeIpcReply(const IpcReply& reply);

// Reads a request. A request of another version comes back with only nVersion filled in, since
// the rest of its layout is unknown. nullopt with a reason for bytes that are not a request.
std::optional<IpcRequest> DecodeIpcRequest(const IpcRequestBytes& bytes, std::wstring* pstrError = nullptr);
// Reads a reply; nullopt with a reason for bytes that are not one (an unknown status included).
std::optional<IpcReply> DecodeIpcReply(const IpcReplyBytes& bytes, std::wstring* pstrError = nullptr);

// The socket of the window titled strTitle: "brevanto-TITLE.sock" in $XDG_RUNTIME_DIR, or
// "brevanto-UID-TITLE.sock" in /tmp when that variable is unset or not a writable folder. In the
// title, '/' and control characters become '_'; since that can make two titles look alike, a hash
// of the real title is added to such names, and to names that would not fit a socket address
// (the title is then shortened). Empty for an empty title.
std::wstring GetIpcSocketPath(const std::wstring& strTitle);

// One non-blocking connection attempt to the socket at strPath. Returns the connected socket
// (non-blocking, close-on-exec), or -1 with the reason in nErrno: ENOENT when there is no socket
// file, ECONNREFUSED when nobody listens on it, EAGAIN when the listener's queue is full.
int ConnectIpcSocket(const std::wstring& strPath, int& nErrno);

} // namespace platform
