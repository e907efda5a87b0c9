#pragma once

// The catalogue in the store: the launcher key "SOFTWARE\Brevanto Launcher" under
// HKEY_LOCAL_MACHINE with one game key per game (the key's name is the game id), and the moves
// of the catalogue between the store and memory.
//
// Game keys are shared with the games' installers: they write the install folder (the default
// value), "LaunchFile" and "version"; the launcher writes the state bytes "installed",
// "loading" and "UpdateProtuct". Game keys are never deleted here.
//
// Thread rules: LoadSettings, SaveOrder and RequestCommandLineGame run on the window thread.
// The other functions open keys of their own and may run on any thread.

#include "catalogue/CGameArray.h"
#include "catalogue/tagGames.h"

#include <optional>
#include <string>
#include <string_view>

inline constexpr const wchar_t* kLauncherKeyPath = L"SOFTWARE\\Brevanto Launcher";

// "SOFTWARE\Brevanto Launcher\" + id; empty when strId is not a game id, so nothing from
// outside ever becomes a key path.
std::wstring GetGameKeyPath(std::wstring_view strId);

// The game id that "ID:" asks for on the command line: all the text after it. Nullopt when
// there is none; an id that is not a game id is ignored with a log line.
std::optional<std::wstring> GetCommandLineGameId(std::wstring_view strCommandLine);

// The game's executable: the install folder, a separator and "LaunchFile". Nullopt unless the
// install folder is an absolute path and "LaunchFile" a relative one that stays inside it (no
// ".." step), so a damaged or hostile key never makes the launcher open or run something else.
std::optional<std::wstring> GetGameExecutablePath(const std::wstring& strInstallDir,
                                                  const std::wstring& strLaunchFile);

// Builds the catalogue from the store and the command line: the command-line game first in
// the temporary list, then every game key that is installed (with its executable there) or
// has a pending download; games named in "Order" are appended in that order, the others put
// first in reverse. Assets come from each game's asset folder under strDownloadDir. Logs
// "LoadSettings".
void LoadSettings(CGameArray& arrGames, const std::wstring& strDownloadDir,
                  const std::wstring& strCommandLine);

// "Order": every catalogue id followed by one space, the last one included.
std::wstring BuildOrderText(const CGameArray& arrGames);
// Writes BuildOrderText(arrGames) as "Order" of the launcher key; false when it cannot be
// written, which keeps the order stored before.
bool SaveOrder(const CGameArray& arrGames);
bool SaveOrder(const std::wstring& strOrder);

// The start-up refresh of one record: "installed" decides bInstalled, and the record's state
// goes into the log ("ID:", "Name:", then "instaled:" and "loading:").
void RefreshGameState(tagGames& game);

enum class DownloadRequest
{
    Failed,           // not a game id, or the key could not be made or written
    AlreadyInstalled, // "installed" is 1: nothing written
    Marked,           // installed = 0 and loading = 1 written
};

// Marks a download of strId as requested: creates its game key and, unless "installed" (read
// with the 4-byte read) is 1, writes installed = 0 and loading = 1.
DownloadRequest MarkDownloadRequested(std::wstring_view strId);

// The command line's download request: the "ID:" game's key marked as above and, when it was
// not installed, its installed marker "trialinstaller_c" deleted. Returns the id, which the
// caller looks up in the catalogue to start its worker; nullopt without an "ID:" game.
std::optional<std::wstring> RequestCommandLineGame(const std::wstring& strCommandLine,
                                                   const std::wstring& strDownloadDir);
