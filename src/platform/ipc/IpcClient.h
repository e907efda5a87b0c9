#pragma once

// The sending end of window messages between processes: finds the window by its title, hands it
// a message with two parameters and waits for the handler's result, the way a synchronous send
// does. The wait is bounded (kIpcSendTimeoutMs), so a launcher that hangs does not hang the sender.
//
// The peer must run as the same user (or as root): in the shared /tmp, a socket another user put
// at the window's path is refused rather than told anything.
//
// Thread rules: safe to call from any thread, any number at once. On a worker thread every wait
// inside is a suspension point.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// How long a send waits for the window to take the message and answer it.
inline constexpr int kIpcSendTimeoutMs = 10000;

// Sends nMessage with wParam and lParam to the window titled strTitle and returns what its
// handler returned. nullopt, with a one-line reason in *pstrError, when no such window runs or
// the exchange fails (time-out, connection closed, a reply that makes no sense).
std::optional<intptr_t> SendIpcMessage(const std::wstring& strTitle, uint32_t nMessage, uintptr_t wParam,
                                       intptr_t lParam, std::wstring* pstrError = nullptr);

} // namespace platform
