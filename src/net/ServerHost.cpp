#include "net/ServerHost.h"

#include "platform/text/Text.h"

namespace {

bool IsPlainHostName(const std::wstring& strHost)
{
    if (strHost.empty() || strHost.size() > 253)
        return false;
    for (wchar_t c : strHost) {
        bool bAllowed = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                        c == L'.' || c == L'-';
        if (!bAllowed)
            return false;
    }
    return true;
}

} // namespace

std::wstring GetServerHost()
{
    std::wstring strHost = platform::GetEnv("BREVANTO_SERVER_HOST");
    return IsPlainHostName(strHost) ? strHost : kDefaultServerHost;
}

std::wstring GetServerWwwHost()
{
    return L"www." + GetServerHost();
}
