#pragma once

// The server's query interface: the query strings the launcher sends and the readers of the
// server's text answers.
//
// Every query is "cgi-bin/launcher_data.pl?version=V&gameid=G&action=A". A query must fit into
// a request block (tagRequest::kQueryLength - 1 characters); the list-valued gameids are cut at
// a whole entry so that it does.
//
// Ids read from the server name folders and registry keys, so only decimal game ids
// (IsValidGameId) are taken from its answers; anything else is dropped.
//
// Thread rules: every function may be called from any thread.

#include <string>
#include <string_view>
#include <vector>

class CGameArray;

inline constexpr wchar_t kActionUpdateLauncher[] = L"updatelauncher";
inline constexpr wchar_t kActionUpdateProducts[] = L"updateproducts";
inline constexpr wchar_t kActionThumb[] = L"thumbimg";
inline constexpr wchar_t kActionFeature[] = L"featureimg";
inline constexpr wchar_t kActionBanner[] = L"bannerimg";
inline constexpr wchar_t kActionBrief[] = L"briefdesc";
inline constexpr wchar_t kActionInstaller[] = L"trialinstaller";
inline constexpr wchar_t kActionRelatedList[] = L"relatedlist";

// The common query with its three keys.
std::wstring BuildServerQuery(const std::wstring& strVersion, const std::wstring& strGameId,
                              const std::wstring& strAction);

// The "relatedlist" query: the ids joined with commas, as many whole ids as fit.
std::wstring BuildRelatedListQuery(const std::wstring& strVersion, const std::vector<std::wstring>& arrIds);

// The "updateproducts" gameid: for each catalogue game, in display order, whose record has
// bUpdate clear or bInstalled set and whose registry key holds "LaunchFile" and an install
// folder, "id-major.minor.build.revision" of that executable (no entry without a version). A
// comma follows every entry but the one made for the catalogue's last game.
std::wstring BuildUpdateProductsGameIds(const CGameArray& arrGames);
// The "updateproducts" query, its gameid cut after the last whole entry that fits.
std::wstring BuildUpdateProductsQuery(const std::wstring& strVersion, const CGameArray& arrGames);

// The cutting rule of comma lists ("relatedlist" answers, "ListIdBanner"): cut at each comma as
// long as the comma is not the first character of what remains; what remains, when not empty,
// is the last piece. "1,2,3" and "1,2,3," give 1, 2, 3; ",1,2" gives one piece, ",1,2".
std::vector<std::wstring> SplitRelatedList(std::wstring_view text);

// The ids of a "relatedlist" body (ANSI code page): none when it begins with "E" (an error
// answer); otherwise the pieces of SplitRelatedList, blanks trimmed, that are game ids.
std::vector<std::wstring> ReadRelatedListIds(std::string_view body);

// The ids of an "updateproducts" file (ANSI code page): every piece followed by a comma, blanks
// trimmed, that is a game id; text after the last comma is ignored.
std::vector<std::wstring> ReadUpdateProductsIds(std::string_view bytes);
