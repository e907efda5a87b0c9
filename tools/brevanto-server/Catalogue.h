#pragma once

// The publisher's catalogue as the server reads it from its root folder at start:
//
//   ROOT/games/<folder>/game.ini    one game: id, name, version and its files (below)
//   ROOT/launcher/launcher.ini      optional: the newest launcher's version and installer
//   ROOT/reports/                   error reports, one folder each (made by the server)
//
// game.ini and launcher.ini hold "key=value" lines; '#' starts a comment line. Keys of a game:
// "id" (decimal, 1 to 9 digits), "name", "version" (a.b.c.d), "thumbimg", "featureimg",
// "bannerimg", "briefdesc", "trialinstaller" (file names relative to the game's folder) and,
// optionally, "related" (ids, comma-separated, the games to advertise next to this one).
// launcher.ini has "version" and "installer". Games are listed in ascending id order.
//
// Only the files named there are ever served. Each is canonicalised at load time and must lie
// inside the root; anything else is left out with a log line.
//
// Thread rules: loaded once before the server starts; read-only afterwards, so any thread may
// read it without a lock.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace server {

class RequestLog;

using Version = std::array<uint32_t, 4>;

// "a.b.c.d" with four decimal parts; nullopt otherwise.
std::optional<Version> ParseVersion(const std::string& strText);
std::string FormatVersion(const Version& version);

// True for a game id: 1 to 9 decimal digits and nothing else.
bool IsGameId(const std::string& strText);

struct CatalogueGame
{
    std::string strId;
    std::string strName;
    Version version{};
    std::map<std::string, std::string> mapFiles; // action word -> URL path ("/games/12/thumb.png")
    std::vector<std::string> arrRelated;
};

class Catalogue
{
public:
    // Reads the root; games with errors are skipped and logged. False when the root is missing.
    bool Load(const std::string& strRoot, RequestLog& log);

    const std::string& GetRoot() const { return m_strRoot; }
    const std::vector<CatalogueGame>& GetGames() const { return m_arrGames; }
    const CatalogueGame* FindGame(const std::string& strId) const;
    // The launcher's installer, when the root offers one.
    const std::optional<Version>& GetLauncherVersion() const { return m_launcherVersion; }
    const std::string& GetLauncherUrl() const { return m_strLauncherUrl; }

    // The canonical file behind a served URL path; nullopt for anything the catalogue does not
    // name.
    std::optional<std::string> FindFile(const std::string& strUrlPath) const;

private:
    // Registers a file of the catalogue and returns its URL path; empty when it is missing or
    // outside the root.
    std::string AddFile(const std::string& strFolder, const std::string& strName, RequestLog& log);
    void LoadGame(const std::string& strFolder, RequestLog& log);
    void LoadLauncher(RequestLog& log);

    std::string m_strRoot; // canonical, without a trailing slash
    std::vector<CatalogueGame> m_arrGames;
    std::optional<Version> m_launcherVersion;
    std::string m_strLauncherUrl;
    std::map<std::string, std::string> m_mapFiles; // URL path -> canonical file
};

} // namespace server
