#include "Catalogue.h"

#include "HttpRequest.h"
#include "RequestLog.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace server {

namespace {

constexpr const char* kAssetKeys[] = {"thumbimg", "featureimg", "bannerimg", "briefdesc", "trialinstaller"};

std::optional<std::string> Canonical(const std::string& strPath)
{
    char szResolved[PATH_MAX];
    if (!realpath(strPath.c_str(), szResolved))
        return std::nullopt;
    return std::string(szResolved);
}

bool IsRegularFile(const std::string& strPath)
{
    struct stat info
    {
    };
    return stat(strPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// key=value lines; nullopt when the file cannot be read.
std::optional<std::map<std::string, std::string>> ReadIni(const std::string& strPath)
{
    std::ifstream file(strPath);
    if (!file)
        return std::nullopt;
    std::map<std::string, std::string> mapValues;
    std::string strLine;
    while (std::getline(file, strLine)) {
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        if (strLine.empty() || strLine.front() == '#')
            continue;
        size_t nEq = strLine.find('=');
        if (nEq == std::string::npos)
            continue;
        mapValues.emplace(strLine.substr(0, nEq), strLine.substr(nEq + 1));
    }
    return mapValues;
}

std::vector<std::string> SplitCommas(const std::string& strText)
{
    std::vector<std::string> arrParts;
    size_t nStart = 0;
    while (nStart <= strText.size()) {
        size_t nComma = strText.find(',', nStart);
        if (nComma == std::string::npos)
            nComma = strText.size();
        if (nComma > nStart)
            arrParts.push_back(strText.substr(nStart, nComma - nStart));
        nStart = nComma + 1;
    }
    return arrParts;
}

} // namespace

std::optional<Version> ParseVersion(const std::string& strText)
{
    Version version{};
    size_t nPart = 0;
    size_t nStart = 0;
    while (nPart < 4) {
        size_t nDot = strText.find('.', nStart);
        std::string strPart = strText.substr(nStart, nDot == std::string::npos ? nDot : nDot - nStart);
        if (strPart.empty() || strPart.size() > 9 ||
            !std::all_of(strPart.begin(), strPart.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        version[nPart++] = static_cast<uint32_t>(std::stoul(strPart));
        if (nDot == std::string::npos)
            break;
        nStart = nDot + 1;
    }
    if (nPart != 4 || strText.find('.', nStart) != std::string::npos)
        return std::nullopt;
    return version;
}

std::string FormatVersion(const Version& version)
{
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]) +
           "." + std::to_string(version[3]);
}

bool IsGameId(const std::string& strText)
{
    return !strText.empty() && strText.size() <= 9 &&
           std::all_of(strText.begin(), strText.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool Catalogue::Load(const std::string& strRoot, RequestLog& log)
{
    auto root = Canonical(strRoot);
    if (!root || !std::filesystem::is_directory(*root)) {
        log.Note("catalogue root not found: " + strRoot);
        return false;
    }
    m_strRoot = *root;

    std::error_code error;
    std::vector<std::string> arrFolders;
    for (const auto& entry : std::filesystem::directory_iterator(m_strRoot + "/games", error)) {
        if (entry.is_directory(error))
            arrFolders.push_back(entry.path().string());
    }
    for (const std::string& strFolder : arrFolders)
        LoadGame(strFolder, log);
    std::sort(m_arrGames.begin(), m_arrGames.end(), [](const CatalogueGame& a, const CatalogueGame& b) {
        return std::stoul(a.strId) < std::stoul(b.strId);
    });
    LoadLauncher(log);
    log.Note("catalogue " + m_strRoot + ": " + std::to_string(m_arrGames.size()) + " games" +
             (m_launcherVersion ? ", launcher " + FormatVersion(*m_launcherVersion) : ""));
    return true;
}

void Catalogue::LoadGame(const std::string& strFolder, RequestLog& log)
{
    auto values = ReadIni(strFolder + "/game.ini");
    if (!values) {
        log.Note("catalogue: no game.ini in " + strFolder);
        return;
    }
    CatalogueGame game;
    game.strId = (*values)["id"];
    game.strName = (*values)["name"];
    auto version = ParseVersion((*values)["version"]);
    if (!IsGameId(game.strId) || !version || FindGame(game.strId)) {
        log.Note("catalogue: bad or repeated id or version in " + strFolder + "/game.ini");
        return;
    }
    game.version = *version;
    for (const char* pszKey : kAssetKeys) {
        auto it = values->find(pszKey);
        if (it == values->end())
            continue;
        std::string strUrl = AddFile(strFolder, it->second, log);
        if (!strUrl.empty())
            game.mapFiles[pszKey] = strUrl;
    }
    for (const std::string& strId : SplitCommas((*values)["related"])) {
        if (IsGameId(strId))
            game.arrRelated.push_back(strId);
    }
    m_arrGames.push_back(std::move(game));
}

void Catalogue::LoadLauncher(RequestLog& log)
{
    std::string strFolder = m_strRoot + "/launcher";
    auto values = ReadIni(strFolder + "/launcher.ini");
    if (!values)
        return;
    auto version = ParseVersion((*values)["version"]);
    std::string strUrl = version ? AddFile(strFolder, (*values)["installer"], log) : std::string();
    if (strUrl.empty()) {
        log.Note("catalogue: launcher.ini without a valid version and installer");
        return;
    }
    m_launcherVersion = version;
    m_strLauncherUrl = strUrl;
}

std::string Catalogue::AddFile(const std::string& strFolder, const std::string& strName, RequestLog& log)
{
    auto file = strName.empty() ? std::nullopt : Canonical(strFolder + "/" + strName);
    if (!file || !IsRegularFile(*file) || file->compare(0, m_strRoot.size() + 1, m_strRoot + "/") != 0) {
        log.Note("catalogue: file missing or outside the root: " + strFolder + "/" + strName);
        return {};
    }
    std::string strUrl = file->substr(m_strRoot.size());
    m_mapFiles[strUrl] = *file;
    return strUrl;
}

const CatalogueGame* Catalogue::FindGame(const std::string& strId) const
{
    for (const CatalogueGame& game : m_arrGames) {
        if (game.strId == strId)
            return &game;
    }
    return nullptr;
}

std::optional<std::string> Catalogue::FindFile(const std::string& strUrlPath) const
{
    auto it = m_mapFiles.find(strUrlPath);
    if (it == m_mapFiles.end())
        return std::nullopt;
    // The file may have been replaced by a link since the catalogue was read: check again.
    auto file = Canonical(it->second);
    if (!file || *file != it->second || !IsRegularFile(*file))
        return std::nullopt;
    return *file;
}

} // namespace server
