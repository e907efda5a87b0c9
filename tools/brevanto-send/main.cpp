// brevanto-send: hands a window message to a running launcher and prints the handler's result,
// for installers, the browser helper, tests and people. Arguments and output are UTF-8.

#include "platform/ipc/IpcClient.h"
#include "platform/text/Text.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char kUsage[] =
    "Usage: brevanto-send [--title TEXT] MESSAGE WPARAM [LPARAM]\n"
    "Sends a window message to the running window titled TEXT (default \"Brevanto Games\"),\n"
    "waits for it to be handled and prints the result as a decimal number.\n"
    "  MESSAGE  a number (1224 or 0x4C8) or a name: WM_NULL, WM_CLOSE, WM_COMMAND, WM_USER, WM_APP,\n"
    "           optionally with an offset (WM_USER+200, WM_APP+0x10)\n"
    "  WPARAM   a number from 0, decimal or hex\n"
    "  LPARAM   a number, decimal or hex, may be negative; hex up to 64 bits is taken as the bit\n"
    "           pattern (0xFFFFFFFFFFFFFFFF is -1); 0 when left out\n"
    "Exit status: 0 when the message was handled, 1 otherwise (no such window, bad arguments, a\n"
    "failed exchange), with one line on stderr.\n";

constexpr char kDefaultTitle[] = "Brevanto Games";

struct MessageName
{
    const char* pszName;
    uint32_t nValue;
};

constexpr MessageName kMessageNames[] = {
    {"WM_NULL", 0x0000}, {"WM_CLOSE", 0x0010}, {"WM_COMMAND", 0x0111},
    {"WM_USER", 0x0400}, {"WM_APP", 0x8000},
};

// Every failure ends here: one line on stderr and exit code 1.
int Fail(const std::string& strMessage)
{
    std::fprintf(stderr, "brevanto-send: %s\n", strMessage.c_str());
    return 1;
}

struct Number
{
    bool bNegative = false;
    bool bHex = false;
    uint64_t nMagnitude = 0;
};

// "[-]DIGITS" or "[-]0xHEXDIGITS" with no other characters; nullopt on anything else or overflow.
std::optional<Number> ParseNumber(std::string_view strText)
{
    Number number;
    if (!strText.empty() && strText.front() == '-') {
        number.bNegative = true;
        strText.remove_prefix(1);
    }
    if (strText.size() > 2 && strText[0] == '0' && (strText[1] == 'x' || strText[1] == 'X')) {
        number.bHex = true;
        strText.remove_prefix(2);
    }
    if (strText.empty())
        return std::nullopt;
    const uint64_t nBase = number.bHex ? 16 : 10;
    for (char c : strText) {
        uint64_t nDigit;
        if (c >= '0' && c <= '9')
            nDigit = static_cast<uint64_t>(c - '0');
        else if (number.bHex && c >= 'a' && c <= 'f')
            nDigit = static_cast<uint64_t>(c - 'a' + 10);
        else if (number.bHex && c >= 'A' && c <= 'F')
            nDigit = static_cast<uint64_t>(c - 'A' + 10);
        else
            return std::nullopt;
        if (number.nMagnitude > (UINT64_MAX - nDigit) / nBase)
            return std::nullopt;
        number.nMagnitude = number.nMagnitude * nBase + nDigit;
    }
    return number;
}

std::optional<uint64_t> ParseUnsigned(std::string_view strText, uint64_t nMax)
{
    std::optional<Number> number = ParseNumber(strText);
    if (!number || (number->bNegative && number->nMagnitude != 0) || number->nMagnitude > nMax)
        return std::nullopt;
    return number->nMagnitude;
}

std::optional<intptr_t> ParseLParam(std::string_view strText)
{
    std::optional<Number> number = ParseNumber(strText);
    if (!number)
        return std::nullopt;
    constexpr uint64_t kMaxPositive = static_cast<uint64_t>(INTPTR_MAX);
    if (number->bNegative) {
        if (number->nMagnitude > kMaxPositive + 1)
            return std::nullopt;
        return static_cast<intptr_t>(0 - number->nMagnitude); // two's complement, INTPTR_MIN included
    }
    if (!number->bHex && number->nMagnitude > kMaxPositive)
        return std::nullopt;
    return static_cast<intptr_t>(number->nMagnitude);
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b)
{
    return platform::EqualsNoCase(platform::FromUtf8(a), platform::FromUtf8(b));
}

// A number, a name, or a name plus an offset.
std::optional<uint32_t> ParseMessage(std::string_view strText)
{
    std::string_view strName = strText.substr(0, strText.find('+'));
    for (const MessageName& name : kMessageNames) {
        if (!EqualsAsciiNoCase(strName, name.pszName))
            continue;
        uint64_t nOffset = 0;
        if (strName.size() < strText.size()) {
            std::optional<uint64_t> offset = ParseUnsigned(strText.substr(strName.size() + 1), UINT32_MAX);
            if (!offset)
                return std::nullopt;
            nOffset = *offset;
        }
        if (name.nValue + nOffset > UINT32_MAX)
            return std::nullopt;
        return static_cast<uint32_t>(name.nValue + nOffset);
    }
    std::optional<uint64_t> value = ParseUnsigned(strText, UINT32_MAX);
    if (!value)
        return std::nullopt;
    return static_cast<uint32_t>(*value);
}

} // namespace

int main(int argc, char** argv)
{
    std::string strTitle = kDefaultTitle;
    std::vector<std::string> arrArgs;
    bool bOptions = true;
    for (int i = 1; i < argc; ++i) {
        std::string_view strArg = argv[i];
        if (bOptions && (strArg == "--help" || strArg == "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (bOptions && strArg == "--") {
            bOptions = false;
        } else if (bOptions && strArg == "--title") {
            if (i + 1 >= argc)
                return Fail("--title needs a window title (see --help)");
            strTitle = argv[++i];
        } else if (bOptions && strArg.starts_with("--title=")) {
            strTitle = strArg.substr(8);
        } else if (bOptions && strArg.size() > 1 && strArg[0] == '-' && !ParseNumber(strArg)) {
            return Fail("unknown option \"" + std::string(strArg) + "\" (see --help)");
        } else {
            arrArgs.emplace_back(strArg);
        }
    }
    if (arrArgs.size() < 2 || arrArgs.size() > 3)
        return Fail("expected MESSAGE WPARAM [LPARAM] (see --help)");
    if (strTitle.empty())
        return Fail("the window title is empty");
    if (!platform::IsValidUtf8(strTitle))
        return Fail("the window title is not valid UTF-8");

    std::optional<uint32_t> message = ParseMessage(arrArgs[0]);
    if (!message)
        return Fail("MESSAGE \"" + arrArgs[0] +
                    "\" is neither a number from 0 to 0xFFFFFFFF nor a known name");
    std::optional<uint64_t> wParam = ParseUnsigned(arrArgs[1], UINTPTR_MAX);
    if (!wParam)
        return Fail("WPARAM \"" + arrArgs[1] + "\" is not a number from 0 to 0xFFFFFFFFFFFFFFFF");
    std::optional<intptr_t> lParam = arrArgs.size() > 2 ? ParseLParam(arrArgs[2]) : intptr_t{0};
    if (!lParam)
        return Fail("LPARAM \"" + arrArgs[2] + "\" is not a 64-bit number");

    std::wstring strError;
    std::optional<intptr_t> result = platform::SendIpcMessage(
        platform::FromUtf8(strTitle), *message, static_cast<uintptr_t>(*wParam), *lParam, &strError);
    if (!result)
        return Fail(platform::ToUtf8(strError));
    std::printf("%lld\n", static_cast<long long>(*result));
    return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the result");
}
