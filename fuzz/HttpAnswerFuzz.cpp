// libFuzzer target: the readers of the server's answers. Any byte string must give a clear
// result (a status text, an optional number or path, a list of game ids) without a crash, an
// overflow or a read past the input; and whatever they accept must keep its promises.

#include "catalogue/tagGames.h"
#include "net/HttpAnswer.h"
#include "net/ServerQueries.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::string_view data(reinterpret_cast<const char*>(pData), nSize);

    size_t nEnd = FindHeadEnd(data);
    std::string_view head = data.substr(0, nEnd);
    tagHttpHead parsed = ParseHttpHead(head);
    if (parsed.nContentLength && *parsed.nContentLength < 0)
        std::abort();
    if (parsed.strRedirectPath) {
        if (parsed.strRedirectPath->size() > kMaxRedirectPath)
            std::abort();
        for (char c : *parsed.strRedirectPath) {
            if (c <= ' ' || c >= 0x7F)
                std::abort();
        }
    }
    if (parsed.nRangeStart && *parsed.nRangeStart < 0)
        std::abort();
    if (parsed.strStatus.find_first_of(" \r\n") != std::string::npos)
        std::abort();

    for (const std::wstring& strId : ReadRelatedListIds(data)) {
        if (!IsValidGameId(strId))
            std::abort();
    }
    for (const std::wstring& strId : ReadUpdateProductsIds(data)) {
        if (!IsValidGameId(strId))
            std::abort();
    }
    return 0;
}
