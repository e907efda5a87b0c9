#pragma once

// The background work that keeps what the launcher shows in step with the server: a game's four
// asset files (LoadGameInfo) and the advertised game of the banner (LoadGameBanner, with
// UpdateListGameBannerList asking the server for the candidates).
//
// Thread rules: all three run on worker threads and block on the network. They never touch a
// window: they write records and main window fields and ask the window to repaint.
// - LoadGameInfo may run for one game on several workers at once; each asset file is fetched by
//   one of them at a time (CFetchClaim), and a file that another worker has completed is not
//   fetched again.
// - Banner workers take turns: a second one waits until the first has finished, then runs.
//   They alone write arrBannerIds and arrRelatedIds and the registry value "ListIdBanner".
// - The banner record is built in full before it goes into pBannerGame, and the record it
//   replaces lives on while the window thread paints it (CBannerSlot).

#include "net/tagRequest.h"

#include <cstdint>

class CLauncherDlg;

// The key that holds the launcher's values ("ListIdBanner", "ContentLen") and the game keys.
inline constexpr wchar_t kLauncherRegistryKey[] = L"SOFTWARE\\Brevanto Launcher\\";

// Fetches the four asset files of the game named by pRequest->szQuery (a game id) that are not
// complete yet, then loads them into the game's catalogue record, if it has one.
void LoadGameInfo(const tagRequest* pRequest);

// Fills the owner's arrBannerIds (the ids sent) and arrRelatedIds (the server's related games).
void UpdateListGameBannerList(CLauncherDlg* pOwner);

// Thread procedure of the banner worker. Takes a heap block (pOwner set), copies it and frees it.
// It does not touch hBannerThread: the window thread, which stores the handle, tells a finished
// worker by the handle's HasEnded().
uint32_t LoadGameBanner(tagRequest* pRequest);
