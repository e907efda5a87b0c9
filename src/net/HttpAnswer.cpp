#include "net/HttpAnswer.h"

#include <limits>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The value of the header whose name (with its colon) starts a line of the head: the text after
// the name up to the line's end, or nullopt. The status line is not a header line.
std::optional<std::string_view> FindHeader(std::string_view head, std::string_view strName)
{
    size_t nPos = 0;
    for (;;) {
        nPos = head.find("\r\n", nPos);
        if (nPos == std::string_view::npos)
            return std::nullopt;
        nPos += 2;
        if (head.substr(nPos, strName.size()) == strName) {
            size_t nStart = nPos + strName.size();
            size_t nEnd = head.find('\r', nStart);
            if (nEnd == std::string_view::npos)
                nEnd = head.size();
            return head.substr(nStart, nEnd - nStart);
        }
    }
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A plain decimal number; nullopt for anything else or a value above nLimit.
std::optional<int64_t> ReadDecimal(std::string_view text, int64_t nLimit)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    int64_t nValue = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return std::nullopt;
        nValue = nValue * 10 + (c - '0');
    }
    if (nValue > nLimit)
        return std::nullopt;
    return nValue;
}

} // namespace

size_t FindHeadEnd(std::string_view data)
{
    size_t nPos = data.find("\r\n\r\n");
    return nPos == std::string_view::npos ? nPos : nPos + 4;
}

std::string GetStatusCode(std::string_view head)
{
    std::string_view line = head.substr(0, head.find_first_of("\r\n"));
    size_t nSpace = line.find(' ');
    if (nSpace == std::string_view::npos)
        return {};
    std::string_view rest = line.substr(nSpace + 1);
    return std::string(rest.substr(0, rest.find(' ')));
}

std::optional<int32_t> GetContentLength(std::string_view head)
{
    std::optional<std::string_view> value = FindHeader(head, "Content-Length:");
    if (!value)
        return std::nullopt;
    std::optional<int64_t> nLength = ReadDecimal(TrimBlanks(*value), std::numeric_limits<int32_t>::max());
    if (!nLength)
        return std::nullopt;
    return static_cast<int32_t>(*nLength);
}

std::optional<std::string> GetRedirectPath(std::string_view head)
{
    std::optional<std::string_view> value = FindHeader(head, "Location: ");
    if (!value || value->size() < 3)
        return std::nullopt;
    std::string_view path = value->substr(3);
    if (path.size() > kMaxRedirectPath)
        return std::nullopt;
    for (char c : path) {
        if (c <= ' ' || c >= 0x7F)
            return std::nullopt;
    }
    return std::string(path);
}

bool HasHeader(std::string_view head, std::string_view strName)
{
    return FindHeader(head, strName).has_value();
}

std::optional<int64_t> GetContentRangeStart(std::string_view head)
{
    std::optional<std::string_view> value = FindHeader(head, "Content-Range:");
    if (!value)
        return std::nullopt;
    std::string_view text = TrimBlanks(*value);
    if (text.substr(0, 6) != "bytes ")
        return std::nullopt;
    text.remove_prefix(6);
    size_t nDash = text.find('-');
    if (nDash == std::string_view::npos)
        return std::nullopt;
    return ReadDecimal(text.substr(0, nDash), std::numeric_limits<int64_t>::max() / 16);
}

tagHttpHead ParseHttpHead(std::string_view head)
{
    tagHttpHead parsed;
    parsed.strStatus = GetStatusCode(head);
    parsed.nContentLength = GetContentLength(head);
    parsed.strRedirectPath = GetRedirectPath(head);
    parsed.bHasContentRange = HasHeader(head, "Content-Range:");
    parsed.nRangeStart = GetContentRangeStart(head);
    return parsed;
}
