#pragma once

// Reading the head of a server's HTTP answer: the status line and the header block up to the
// first empty line. Pure functions over bytes, so every rule here can be tested and fuzzed
// without a socket.
//
// The rules follow what the launcher's server sends: header names are matched in their exact
// case ("Content-Length:", "Location: ", "Content-Range:"), at the start of a header line.
//
// Thread rules: none; every function is safe from any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A head that grows past this without its empty line is not an answer we read.
inline constexpr size_t kMaxHeadBytes = 65536;
// Redirect paths are sent back in a request of their own; longer ones are refused.
inline constexpr size_t kMaxRedirectPath = 511;

// The offset just past the first "\r\n\r\n", or npos while the head is incomplete.
size_t FindHeadEnd(std::string_view data);

// The status code: the text between the first space of the status line and the next space (or
// the line's end). Empty when the first line has no space.
std::string GetStatusCode(std::string_view head);

// The value of "Content-Length:" as a size in bytes. nullopt when the header is missing, empty,
// not a plain decimal number, or 2 GiB or more (files that large are not supported).
std::optional<int32_t> GetContentLength(std::string_view head);

// The path of a redirect: the value of "Location: " without its first three characters (the
// server sends "../" and a path relative to its script folder), up to the line's end. Only the
// path is used; a scheme and host in the value end up inside it, never as a place to connect.
// nullopt when the header is missing, its value has fewer than three characters, the path is
// longer than kMaxRedirectPath, or it holds anything but printable ASCII without spaces (which
// would change the request it goes into).
std::optional<std::string> GetRedirectPath(std::string_view head);

// True when a header line starts with strName (the name with its colon).
bool HasHeader(std::string_view head, std::string_view strName);

// The first byte position of "Content-Range: bytes FIRST-LAST/TOTAL"; nullopt when the header is
// missing or malformed.
std::optional<int64_t> GetContentRangeStart(std::string_view head);

// Everything above, read once from a head.
struct tagHttpHead
{
    std::string strStatus;
    std::optional<int32_t> nContentLength;
    std::optional<std::string> strRedirectPath;
    bool bHasContentRange = false;
    std::optional<int64_t> nRangeStart;
};
tagHttpHead ParseHttpHead(std::string_view head);
