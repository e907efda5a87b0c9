#include "LauncherQuery.h"

#include "Catalogue.h"
#include "HttpRequest.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace server {

namespace {

constexpr const char* kFileActions[] = {"thumbimg", "featureimg", "bannerimg", "briefdesc", "trialinstaller"};

HttpAnswer Error(int nStatus, const std::string& strText)
{
    return HttpAnswer::Text(nStatus, "E " + strText, strText);
}

std::vector<std::string> SplitCommas(const std::string& strText)
{
    std::vector<std::string> arrParts;
    size_t nStart = 0;
    while (nStart <= strText.size()) {
        size_t nComma = strText.find(',', nStart);
        if (nComma == std::string::npos)
            nComma = strText.size();
        arrParts.push_back(strText.substr(nStart, nComma - nStart));
        nStart = nComma + 1;
    }
    return arrParts;
}

HttpAnswer RedirectTo(const std::string& strUrlPath)
{
    return HttpAnswer::Redirect(".." + PercentEncodePath(strUrlPath));
}

HttpAnswer AnswerFile(const Catalogue& catalogue, const std::string& strAction, const std::string& strId)
{
    if (!IsGameId(strId))
        return Error(400, "bad game id");
    const CatalogueGame* pGame = catalogue.FindGame(strId);
    if (!pGame)
        return Error(404, "unknown game " + strId);
    auto it = pGame->mapFiles.find(strAction);
    if (it == pGame->mapFiles.end())
        return Error(404, "game " + strId + " has no " + strAction);
    return RedirectTo(it->second);
}

HttpAnswer AnswerUpdateLauncher(const Catalogue& catalogue, const std::string& strVersion)
{
    auto version = ParseVersion(strVersion);
    if (!version)
        return Error(400, "bad version");
    const auto& latest = catalogue.GetLauncherVersion();
    if (latest && *latest > *version)
        return RedirectTo(catalogue.GetLauncherUrl());
    return HttpAnswer::Text(200, {});
}

// Entries "id-a.b.c.d"; empty and malformed entries (a trailing comma, a game without a
// readable version) are passed over, as the launcher may send them.
HttpAnswer AnswerUpdateProducts(const Catalogue& catalogue, const std::string& strList)
{
    std::string strBody;
    std::vector<std::string> arrListed;
    size_t nSkipped = 0;
    for (const std::string& strEntry : SplitCommas(strList)) {
        size_t nDash = strEntry.find('-');
        std::string strId = strEntry.substr(0, nDash);
        auto version = nDash == std::string::npos ? std::nullopt : ParseVersion(strEntry.substr(nDash + 1));
        if (!IsGameId(strId) || !version) {
            nSkipped += strEntry.empty() ? 0 : 1;
            continue;
        }
        const CatalogueGame* pGame = catalogue.FindGame(strId);
        if (pGame && pGame->version > *version &&
            std::find(arrListed.begin(), arrListed.end(), strId) == arrListed.end()) {
            arrListed.push_back(strId);
            strBody += strId + ",";
        }
    }
    HttpAnswer answer = HttpAnswer::Text(200, strBody);
    if (nSkipped)
        answer.strNote = std::to_string(nSkipped) + " malformed entries skipped";
    return answer;
}

// The first id is the game the user looks at: its own related games come first when it names
// any, else the whole catalogue. Games the user already has (every id sent) are left out.
HttpAnswer AnswerRelatedList(const Catalogue& catalogue, const std::string& strList)
{
    std::vector<std::string> arrKnown = SplitCommas(strList);
    std::vector<std::string> arrCandidates;
    const CatalogueGame* pCurrent = arrKnown.empty() ? nullptr : catalogue.FindGame(arrKnown.front());
    if (pCurrent && !pCurrent->arrRelated.empty()) {
        arrCandidates = pCurrent->arrRelated;
    } else {
        for (const CatalogueGame& game : catalogue.GetGames())
            arrCandidates.push_back(game.strId);
    }
    std::string strBody;
    for (const std::string& strId : arrCandidates) {
        if (!catalogue.FindGame(strId) ||
            std::find(arrKnown.begin(), arrKnown.end(), strId) != arrKnown.end())
            continue;
        strBody += (strBody.empty() ? "" : ",") + strId;
    }
    if (strBody.empty())
        return HttpAnswer::Text(200, "E no related games", "no related games");
    return HttpAnswer::Text(200, strBody);
}

} // namespace

HttpAnswer AnswerLauncherQuery(const Catalogue& catalogue, const std::map<std::string, std::string>& mapQuery)
{
    for (const char* pszKey : {"version", "gameid", "action"}) {
        if (mapQuery.find(pszKey) == mapQuery.end())
            return Error(400, std::string("missing key ") + pszKey);
    }
    auto resume = mapQuery.find("resume");
    if (resume != mapQuery.end() && resume->second != "0" && resume->second != "1")
        return Error(400, "bad resume flag");

    const std::string& strAction = mapQuery.at("action");
    const std::string& strGameId = mapQuery.at("gameid");
    for (const char* pszAction : kFileActions) {
        if (strAction == pszAction)
            return AnswerFile(catalogue, strAction, strGameId);
    }
    if (strAction == "updatelauncher")
        return AnswerUpdateLauncher(catalogue, mapQuery.at("version"));
    if (strAction == "updateproducts")
        return AnswerUpdateProducts(catalogue, strGameId);
    if (strAction == "relatedlist")
        return AnswerRelatedList(catalogue, strGameId);
    return Error(400, "unknown action");
}

} // namespace server
