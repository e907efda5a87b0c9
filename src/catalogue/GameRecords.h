#pragma once

// Making, moving and freeing game records: the life of a record from its creation for an id to
// the main window's teardown.
//
// Thread rules: CreateGameRecord may run on any thread (it reads files only). MoveToRemoved may
// run on any thread; the lists lock themselves. DeleteGameRecords runs once, on the window
// thread, at teardown, after the order has been saved (SaveOrder).

#include "catalogue/CBannerSlot.h"
#include "catalogue/CGameArray.h"
#include "catalogue/tagGames.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

// A new record for strId with its assets loaded from the game's asset folder under
// strDownloadDir (bAssetsLoaded when they all were). Null, with a log line, when strId is not a
// game id. The caller inserts it (InsertAt(0, ...) for a game added now, Add at the end).
std::unique_ptr<tagGames> CreateGameRecord(std::wstring_view strId, const std::wstring& strDownloadDir);

// Takes a game out of the catalogue and keeps it in the removed list until teardown, since its
// worker may still hold it. False when the record was not in the catalogue.
bool MoveToRemoved(CGameArray& arrGames, CGameArray& arrRemovedGames, tagGames* pGame);

// How long teardown waits for suspended workers to come to rest before freeing their records.
inline constexpr std::chrono::milliseconds kWorkerParkWait{2000};

// Teardown: suspends the workers of the catalogue's records and closes their handles, frees
// the records of both lists and empties the banner slot (the banner record goes when its last
// painter lets go). Suspension only takes effect at the worker's next suspension point, so a
// record is freed once its worker has parked or ended; a worker still running after nParkWait
// keeps its record (the process is about to end) and the fact is logged. A removed record whose
// worker handle is still set is treated the same way.
void DeleteGameRecords(CGameArray& arrGames, CGameArray& arrRemovedGames, CBannerSlot& pBannerGame,
                       std::chrono::milliseconds nParkWait = kWorkerParkWait);
