#pragma once

// A game's asset files in its asset folder and their loading into the game's record.

#include "catalogue/tagGames.h"

#include <cstdint>
#include <string>
#include <string_view>

// Result codes of InitStructGames.
inline constexpr int32_t kAssetsOk = 0;
inline constexpr int32_t kAssetsFailed = static_cast<int32_t>(0x80004005); // E_FAIL

// The asset folder of a game: the download folder, the id and a trailing separator. Empty when
// strId is not a game id (or there is no download folder), so nothing else becomes a path.
std::wstring GetAssetFolder(const std::wstring& strDownloadDir, std::wstring_view strId);

// Loads the three pictures (only those still empty) and the briefing from strAssetDir (ending
// in a separator) into the record. kAssetsOk when all were taken; kAssetsFailed otherwise, with
// the pictures loaded so far kept. The briefing is the name, "&&" and the description, of which
// at most 511 bytes are read, decoded as UTF-8 or else as Windows-1251; the name keeps 49
// characters, the description 500. A briefing without "&&" is deleted (the fetcher gets it
// again) and gives empty texts and success. Any thread: files are decoded outside the record's
// lock, which is held only to store into the record.
int32_t InitStructGames(tagGames* pGame, const std::wstring& strAssetDir);
