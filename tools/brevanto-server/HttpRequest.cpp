#include "HttpRequest.h"

#include <algorithm>
#include <cctype>

namespace server {

namespace {

std::string Lower(std::string_view text)
{
    std::string strOut(text);
    for (char& c : strOut)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return strOut;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool HasControlBytes(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        auto n = static_cast<unsigned char>(c);
        return (n < 0x20 && n != '\t') || n == 0x7F;
    });
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseDecimal(std::string_view text, uint64_t& nValue)
{
    if (text.empty() || text.size() > 19)
        return false;
    nValue = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        nValue = nValue * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

// Splits the target into path and query; an absolute-form target (sent to a proxy) gives up its
// scheme and authority first.
bool SplitTarget(HttpRequest& request, std::string& strReason)
{
    std::string_view target = request.strTarget;
    if (target.size() > 7 && Lower(target.substr(0, 7)) == "http://") {
        target.remove_prefix(7);
        size_t nSlash = target.find('/');
        request.strHostInForm = std::string(target.substr(0, nSlash));
        target = nSlash == std::string_view::npos ? std::string_view("/") : target.substr(nSlash);
        if (request.strHostInForm.empty()) {
            strReason = "absolute target without a host";
            return false;
        }
    }
    if (target.empty() || target.front() != '/') {
        strReason = "target is not a path";
        return false;
    }
    size_t nQuery = target.find('?');
    if (nQuery != std::string_view::npos)
        request.strRawQuery = std::string(target.substr(nQuery + 1));
    auto path = PercentDecode(target.substr(0, nQuery), false);
    if (!path) {
        strReason = "bad escape in the path";
        return false;
    }
    request.strPath = *path;
    return true;
}

} // namespace

std::optional<std::string> HttpRequest::Header(const std::string& strLowerName) const
{
    auto it = mapHeaders.find(strLowerName);
    if (it == mapHeaders.end())
        return std::nullopt;
    return it->second;
}

bool HttpRequest::WantsKeepAlive() const
{
    std::string strConnection = Lower(Header("connection").value_or(""));
    if (nMinorVersion >= 1)
        return strConnection.find("close") == std::string::npos;
    return strConnection.find("keep-alive") != std::string::npos;
}

std::optional<HttpRequest> ParseRequestHead(std::string_view head, std::string& strReason)
{
    HttpRequest request;
    size_t nEnd = head.find('\n');
    std::string_view line = head.substr(0, nEnd);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (HasControlBytes(line)) {
        strReason = "control bytes in the request line";
        return std::nullopt;
    }
    size_t nSpace1 = line.find(' ');
    size_t nSpace2 = nSpace1 == std::string_view::npos ? nSpace1 : line.find(' ', nSpace1 + 1);
    if (nSpace1 == 0 || nSpace2 == std::string_view::npos ||
        line.find(' ', nSpace2 + 1) != std::string_view::npos || nSpace2 == nSpace1 + 1) {
        strReason = "malformed request line";
        return std::nullopt;
    }
    request.strMethod = std::string(line.substr(0, nSpace1));
    request.strTarget = std::string(line.substr(nSpace1 + 1, nSpace2 - nSpace1 - 1));
    std::string_view version = line.substr(nSpace2 + 1);
    if (version == "HTTP/1.0") {
        request.nMinorVersion = 0;
    } else if (version == "HTTP/1.1") {
        request.nMinorVersion = 1;
    } else {
        strReason = "unsupported protocol version";
        return std::nullopt;
    }
    if (!std::all_of(request.strMethod.begin(), request.strMethod.end(),
                     [](char c) { return c >= 'A' && c <= 'Z'; })) {
        strReason = "malformed method";
        return std::nullopt;
    }
    if (!SplitTarget(request, strReason))
        return std::nullopt;

    while (nEnd != std::string_view::npos) {
        size_t nStart = nEnd + 1;
        nEnd = head.find('\n', nStart);
        std::string_view header = head.substr(nStart, nEnd == std::string_view::npos ? nEnd : nEnd - nStart);
        if (!header.empty() && header.back() == '\r')
            header.remove_suffix(1);
        if (header.empty())
            continue;
        size_t nColon = header.find(':');
        if (nColon == 0 || nColon == std::string_view::npos || HasControlBytes(header)) {
            strReason = "malformed header line";
            return std::nullopt;
        }
        std::string strName = Lower(Trim(header.substr(0, nColon)));
        request.mapHeaders.emplace(strName, std::string(Trim(header.substr(nColon + 1))));
    }
    return request;
}

std::optional<std::string> PercentDecode(std::string_view text, bool bPlusIsSpace)
{
    std::string strOut;
    strOut.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            int nHigh = HexValue(text[i + 1]);
            int nLow = HexValue(text[i + 2]);
            if (nHigh < 0 || nLow < 0)
                return std::nullopt;
            c = static_cast<char>(nHigh * 16 + nLow);
            i += 2;
        } else if (c == '+' && bPlusIsSpace) {
            c = ' ';
        }
        if (c == '\0')
            return std::nullopt;
        strOut += c;
    }
    return strOut;
}

std::string PercentEncodePath(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    for (char c : path) {
        auto n = static_cast<unsigned char>(c);
        if (std::isalnum(n) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            strOut += c;
        } else {
            strOut += '%';
            strOut += kHex[n >> 4];
            strOut += kHex[n & 15];
        }
    }
    return strOut;
}

std::optional<std::map<std::string, std::string>> ParseQuery(std::string_view query)
{
    std::map<std::string, std::string> mapPairs;
    while (!query.empty()) {
        size_t nAmp = query.find('&');
        std::string_view pair = query.substr(0, nAmp);
        query = nAmp == std::string_view::npos ? std::string_view() : query.substr(nAmp + 1);
        if (pair.empty())
            continue;
        size_t nEq = pair.find('=');
        auto key = PercentDecode(pair.substr(0, nEq), true);
        auto value =
            PercentDecode(nEq == std::string_view::npos ? std::string_view() : pair.substr(nEq + 1), true);
        if (!key || !value)
            return std::nullopt;
        mapPairs.emplace(*key, *value);
    }
    return mapPairs;
}

std::optional<ByteRange> ParseRange(std::string_view value)
{
    value = Trim(value);
    if (value.size() < 6 || Lower(value.substr(0, 6)) != "bytes=")
        return std::nullopt;
    value.remove_prefix(6);
    size_t nDash = value.find('-');
    if (nDash == std::string_view::npos)
        return std::nullopt;
    ByteRange range;
    if (!ParseDecimal(Trim(value.substr(0, nDash)), range.nFirst))
        return std::nullopt;
    std::string_view last = Trim(value.substr(nDash + 1));
    if (!last.empty()) {
        uint64_t nLast = 0;
        if (!ParseDecimal(last, nLast) || nLast < range.nFirst)
            return std::nullopt;
        range.nLast = nLast;
    }
    return range;
}

std::string PrintableForLog(std::string_view text, size_t nMax)
{
    std::string strOut;
    for (char c : text.substr(0, nMax)) {
        auto n = static_cast<unsigned char>(c);
        if (n < 0x20 || n == 0x7F || c == '"' || c == '\\') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            strOut += "\\x";
            strOut += kHex[n >> 4];
            strOut += kHex[n & 15];
        } else {
            strOut += c;
        }
    }
    if (text.size() > nMax)
        strOut += "...";
    return strOut;
}

} // namespace server
