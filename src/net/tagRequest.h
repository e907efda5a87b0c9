#pragma once

// The request block of the network workers and of DownloadFile: the main window whose settings,
// folders and catalogue the request uses, and the request text (a server path and query without
// its leading "/", or a game id for the workers).
//
// Thread rules: a block belongs to one thread. A worker given a heap block copies it and frees
// the original at once.

#include "catalogue/tagGames.h"

#include <string>
#include <string_view>

class CLauncherDlg;

struct tagRequest
{
    static constexpr size_t kQueryLength = 512;

    CLauncherDlg* pOwner = nullptr;
    wchar_t szQuery[kQueryLength]{};

    // Copies the text into szQuery; false (and szQuery empty) when it does not fit.
    bool SetQuery(std::wstring_view strQuery)
    {
        if (strQuery.size() >= kQueryLength) {
            szQuery[0] = L'\0';
            return false;
        }
        CopyToFixed(szQuery, strQuery);
        return true;
    }
    std::wstring GetQuery() const { return szQuery; }
};
