#include "net/ServerQueries.h"

#include "app/CGP_Registry.h"
#include "catalogue/CGameArray.h"
#include "catalogue/CatalogueSettings.h"
#include "net/tagRequest.h"
#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"
#include "platform/version/FileVersion.h"

namespace {

constexpr size_t kMaxQuery = tagRequest::kQueryLength - 1;
const std::wstring kLauncherKey = L"SOFTWARE\\Brevanto Launcher\\";

std::wstring TrimBlanks(std::wstring_view text)
{
    const wchar_t* pszBlanks = L" \t\r\n";
    size_t nFirst = text.find_first_not_of(pszBlanks);
    if (nFirst == std::wstring_view::npos)
        return {};
    size_t nLast = text.find_last_not_of(pszBlanks);
    return std::wstring(text.substr(nFirst, nLast - nFirst + 1));
}

// The entry of one game for "updateproducts", or empty.
std::wstring UpdateEntry(const tagGames& game)
{
    if (game.bUpdate && !game.bInstalled)
        return {};
    CGP_Registry key(platform::RegistryRoot::LocalMachine, kLauncherKey + game.szID);
    std::wstring strLaunchFile;
    std::wstring strFolder;
    if (!key.Open() || !key.ReadString(L"LaunchFile", strLaunchFile) || !key.ReadString(L"", strFolder))
        return {};
    // Only an executable that stays inside its install folder is read.
    std::optional<std::wstring> strExecutable = GetGameExecutablePath(strFolder, strLaunchFile);
    if (!strExecutable)
        return {};
    std::optional<platform::FileVersion> version = platform::GetFileVersion(*strExecutable);
    if (!version)
        return {};
    return std::wstring(game.szID) + L"-" + version->ToString();
}

} // namespace

std::wstring BuildServerQuery(const std::wstring& strVersion, const std::wstring& strGameId,
                              const std::wstring& strAction)
{
    return L"cgi-bin/launcher_data.pl?version=" + strVersion + L"&gameid=" + strGameId + L"&action=" +
           strAction;
}

std::wstring BuildRelatedListQuery(const std::wstring& strVersion, const std::vector<std::wstring>& arrIds)
{
    const size_t nFrame = BuildServerQuery(strVersion, L"", kActionRelatedList).size();
    std::wstring strIds;
    for (const std::wstring& strId : arrIds) {
        size_t nAdded = strId.size() + (strIds.empty() ? 0 : 1);
        if (nFrame + strIds.size() + nAdded > kMaxQuery)
            break;
        if (!strIds.empty())
            strIds += L',';
        strIds += strId;
    }
    return BuildServerQuery(strVersion, strIds, kActionRelatedList);
}

std::wstring BuildUpdateProductsGameIds(const CGameArray& arrGames)
{
    std::vector<tagGames*> arrSnapshot = arrGames.Snapshot();
    std::wstring strIds;
    for (size_t i = 0; i < arrSnapshot.size(); ++i) {
        std::wstring strEntry = UpdateEntry(*arrSnapshot[i]);
        if (strEntry.empty())
            continue;
        strIds += strEntry;
        if (i + 1 < arrSnapshot.size())
            strIds += L',';
    }
    return strIds;
}

std::wstring BuildUpdateProductsQuery(const std::wstring& strVersion, const CGameArray& arrGames)
{
    std::wstring strIds = BuildUpdateProductsGameIds(arrGames);
    const size_t nFrame = BuildServerQuery(strVersion, L"", kActionUpdateProducts).size();
    if (nFrame + strIds.size() > kMaxQuery) {
        size_t nRoom = nFrame < kMaxQuery ? kMaxQuery - nFrame : 0;
        size_t nComma = nRoom > 0 ? strIds.rfind(L',', nRoom - 1) : std::wstring::npos;
        strIds = nComma == std::wstring::npos ? std::wstring() : strIds.substr(0, nComma + 1);
    }
    return BuildServerQuery(strVersion, strIds, kActionUpdateProducts);
}

std::vector<std::wstring> SplitRelatedList(std::wstring_view text)
{
    std::vector<std::wstring> arrPieces;
    for (;;) {
        size_t nComma = text.find(L',');
        if (nComma == std::wstring_view::npos || nComma == 0)
            break;
        arrPieces.emplace_back(text.substr(0, nComma));
        text.remove_prefix(nComma + 1);
    }
    if (!text.empty())
        arrPieces.emplace_back(text);
    return arrPieces;
}

std::vector<std::wstring> ReadRelatedListIds(std::string_view body)
{
    std::vector<std::wstring> arrIds;
    if (!body.empty() && body.front() == 'E')
        return arrIds;
    for (const std::wstring& strPiece : SplitRelatedList(platform::FromWindows1251(body))) {
        std::wstring strId = TrimBlanks(strPiece);
        if (IsValidGameId(strId))
            arrIds.push_back(strId);
    }
    return arrIds;
}

std::vector<std::wstring> ReadUpdateProductsIds(std::string_view bytes)
{
    std::vector<std::wstring> arrIds;
    std::wstring text = platform::FromWindows1251(bytes);
    size_t nStart = 0;
    for (size_t nComma = text.find(L','); nComma != std::wstring::npos; nComma = text.find(L',', nStart)) {
        std::wstring strId = TrimBlanks(std::wstring_view(text).substr(nStart, nComma - nStart));
        if (IsValidGameId(strId))
            arrIds.push_back(strId);
        nStart = nComma + 1;
    }
    return arrIds;
}
