#include "catalogue/CGameArray.h"

#include "platform/text/Text.h"

#include <algorithm>
#include <utility>

size_t CGameArray::GetSize() const
{
    std::lock_guard guard(m_lock);
    return m_arrGames.size();
}

tagGames* CGameArray::GetAt(size_t nIndex) const
{
    std::lock_guard guard(m_lock);
    return nIndex < m_arrGames.size() ? m_arrGames[nIndex] : nullptr;
}

void CGameArray::InsertAt(size_t nIndex, tagGames* pGame)
{
    std::lock_guard guard(m_lock);
    nIndex = std::min(nIndex, m_arrGames.size());
    m_arrGames.insert(m_arrGames.begin() + static_cast<std::ptrdiff_t>(nIndex), pGame);
}

void CGameArray::Add(tagGames* pGame)
{
    std::lock_guard guard(m_lock);
    m_arrGames.push_back(pGame);
}

bool CGameArray::Remove(tagGames* pGame)
{
    std::lock_guard guard(m_lock);
    auto it = std::find(m_arrGames.begin(), m_arrGames.end(), pGame);
    if (it == m_arrGames.end())
        return false;
    m_arrGames.erase(it);
    return true;
}

bool CGameArray::AddIfMissing(tagGames* pGame)
{
    std::lock_guard guard(m_lock);
    std::wstring_view strId = pGame->szID;
    for (const tagGames* pExisting : m_arrGames) {
        if (strId == pExisting->szID)
            return false;
    }
    m_arrGames.push_back(pGame);
    return true;
}

tagGames* CGameArray::Find(std::wstring_view strId) const
{
    std::lock_guard guard(m_lock);
    for (tagGames* pGame : m_arrGames) {
        if (strId == pGame->szID)
            return pGame;
    }
    return nullptr;
}

tagGames* CGameArray::FindNoCase(std::wstring_view strId) const
{
    std::lock_guard guard(m_lock);
    for (tagGames* pGame : m_arrGames) {
        if (platform::EqualsNoCase(strId, pGame->szID))
            return pGame;
    }
    return nullptr;
}

int CGameArray::IndexOf(const tagGames* pGame) const
{
    std::lock_guard guard(m_lock);
    auto it = std::find(m_arrGames.begin(), m_arrGames.end(), pGame);
    return it == m_arrGames.end() ? -1 : static_cast<int>(it - m_arrGames.begin());
}

std::vector<tagGames*> CGameArray::Snapshot() const
{
    std::lock_guard guard(m_lock);
    return m_arrGames;
}

std::vector<tagGames*> CGameArray::TakeAll()
{
    std::lock_guard guard(m_lock);
    return std::exchange(m_arrGames, {});
}
