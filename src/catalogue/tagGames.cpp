#include "catalogue/tagGames.h"

std::wstring tagGames::GetName() const
{
    std::lock_guard guard(lock);
    return szName;
}

std::wstring tagGames::GetBrief() const
{
    std::lock_guard guard(lock);
    return szBrief;
}

std::wstring tagGames::GetError() const
{
    std::lock_guard guard(lock);
    return szError;
}

void tagGames::SetError(std::wstring_view strError)
{
    std::lock_guard guard(lock);
    CopyToFixed(szError, strError);
}

bool tagGames::HasError() const
{
    std::lock_guard guard(lock);
    return szError[0] != L'\0';
}

bool IsValidGameId(std::wstring_view strId)
{
    if (strId.empty() || strId.size() >= tagGames::kIdLength)
        return false;
    for (wchar_t c : strId) {
        if (c < L'0' || c > L'9')
            return false;
    }
    return true;
}

void CopyToFixed(wchar_t* pTarget, size_t nCapacity, std::wstring_view strText)
{
    if (nCapacity == 0)
        return;
    size_t nCount = std::min(strText.size(), nCapacity - 1);
    // wchar_t is 32 bits here, but text that came through UTF-16 storage may still carry a
    // surrogate pair; never keep only its first half.
    if (nCount > 0 && nCount < strText.size() && strText[nCount - 1] >= 0xD800 &&
        strText[nCount - 1] <= 0xDBFF)
        --nCount;
    strText.copy(pTarget, nCount);
    pTarget[nCount] = L'\0';
}
