#pragma once

// An ordered list of game records with a lock of its own: the catalogue (`arrGames`) and the
// removed games (`arrRemovedGames`) of the main window.
//
// The list does not own its records; the main window deletes them at teardown
// (DeleteGameRecords). A record taken out of the catalogue moves to the removed list and stays
// alive until then, so a worker that still holds it never touches freed memory.
//
// Thread rules: every method may be called from any thread. The lock is held only for the
// change or the scan; pointers handed out stay valid until teardown.

#include "catalogue/tagGames.h"

#include <mutex>
#include <string_view>
#include <vector>

class CGameArray
{
public:
    CGameArray() = default;
    CGameArray(const CGameArray&) = delete;
    CGameArray& operator=(const CGameArray&) = delete;

    size_t GetSize() const;
    bool IsEmpty() const { return GetSize() == 0; }
    // The record at nIndex, or null past the end.
    tagGames* GetAt(size_t nIndex) const;
    // Inserts at nIndex (clamped to the end); InsertAt(0, ...) puts a game first.
    void InsertAt(size_t nIndex, tagGames* pGame);
    void Add(tagGames* pGame);
    // Takes the record out; false when it was not in the list.
    bool Remove(tagGames* pGame);
    // Adds pGame unless a record with its id is there already; false (nothing added) then.
    bool AddIfMissing(tagGames* pGame);

    // The first record whose id equals strId exactly, or null.
    tagGames* Find(std::wstring_view strId) const;
    // The same without regard to letter case (the HTTP client's lookup).
    tagGames* FindNoCase(std::wstring_view strId) const;
    // Position of the record, or -1.
    int IndexOf(const tagGames* pGame) const;

    // A copy of the list for a scan that may block or take long.
    std::vector<tagGames*> Snapshot() const;
    // Empties the list and returns what it held (teardown).
    std::vector<tagGames*> TakeAll();

private:
    mutable std::mutex m_lock;
    std::vector<tagGames*> m_arrGames;
};
