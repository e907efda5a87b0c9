#pragma once

// The head of one HTTP/1.0 or HTTP/1.1 request, parsed from the bytes a client sent, and the
// small text helpers the handlers share (query strings, percent coding).
//
// Parsing never trusts the input: every function returns an empty result or false for bytes it
// cannot read, and the caller answers 400.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace server {

struct HttpRequest
{
    std::string strMethod;
    std::string strTarget;     // as sent: origin form "/path?query" or absolute "http://host/path"
    std::string strPath;       // decoded path of the target, always starting with '/'
    std::string strRawQuery;   // the text after '?', still encoded
    std::string strHostInForm; // the authority of an absolute-form target (a proxy request)
    int nMinorVersion = 0;     // 0 for HTTP/1.0, 1 for HTTP/1.1
    std::map<std::string, std::string> mapHeaders; // names in lower case, values trimmed

    // The header's value, or nullopt.
    std::optional<std::string> Header(const std::string& strLowerName) const;
    // Whether the connection stays open after the answer: HTTP/1.1 unless "Connection: close",
    // HTTP/1.0 only with "Connection: keep-alive".
    bool WantsKeepAlive() const;
};

// Parses a request head (request line and headers, without the blank line). nullopt with a
// reason for a malformed head: a bad request line, a version other than HTTP/1.0 or 1.1, a
// header line without a colon, control bytes, or a target that is not a path.
std::optional<HttpRequest> ParseRequestHead(std::string_view head, std::string& strReason);

// Decodes %XX escapes (and '+' as a space when bPlusIsSpace). nullopt for a bad escape or a
// decoded NUL byte.
std::optional<std::string> PercentDecode(std::string_view text, bool bPlusIsSpace);
// Escapes every byte outside the unreserved set and '/', so the result is safe in a request
// line and in a Location header.
std::string PercentEncodePath(std::string_view path);

// The key=value pairs of a query string, decoded. A key given twice keeps its first value.
// nullopt for a pair with a bad escape.
std::optional<std::map<std::string, std::string>> ParseQuery(std::string_view query);

// One byte range: "bytes=N-" (to the end) or "bytes=N-M" (M included).
struct ByteRange
{
    uint64_t nFirst = 0;
    std::optional<uint64_t> nLast;
};

// nullopt for any other form (several ranges, suffix ranges, M below N, garbage), which the
// caller answers with 416.
std::optional<ByteRange> ParseRange(std::string_view value);

// Replaces control bytes and quotes for a log line and cuts it to nMax bytes.
std::string PrintableForLog(std::string_view text, size_t nMax = 300);

} // namespace server
