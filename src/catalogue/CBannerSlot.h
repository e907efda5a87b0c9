#pragma once

// The main window's banner record (`pBannerGame`): the advertised game, outside the catalogue.
//
// The banner worker replaces the record while the window thread may be painting it. Readers
// take a shared reference for the length of their paint, so a replaced record lives on until
// the last painter lets go of it.
//
// Thread rules: any thread.

#include "catalogue/tagGames.h"

#include <memory>
#include <mutex>

class CBannerSlot
{
public:
    std::shared_ptr<tagGames> Get() const
    {
        std::lock_guard guard(m_lock);
        return m_pGame;
    }
    // Replaces the record (null empties the slot) and returns the one it held.
    std::shared_ptr<tagGames> Set(std::shared_ptr<tagGames> pGame)
    {
        std::lock_guard guard(m_lock);
        m_pGame.swap(pGame);
        return pGame;
    }
    bool IsEmpty() const { return Get() == nullptr; }

private:
    mutable std::mutex m_lock;
    std::shared_ptr<tagGames> m_pGame;
};
