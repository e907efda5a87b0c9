#include "net/CFetchClaim.h"

#include "platform/thread/Thread.h"

#include <map>
#include <mutex>
#include <thread>

namespace {

struct tagHolder
{
    std::thread::id idThread;
    uint32_t nDepth = 0;
};

class CClaimRegistry
{
public:
    // True when the calling thread now holds the name.
    bool TryClaim(const std::wstring& strName)
    {
        std::lock_guard guard(m_lock);
        auto [it, bInserted] = m_arrClaims.try_emplace(strName, tagHolder{std::this_thread::get_id(), 0});
        if (!bInserted && it->second.idThread != std::this_thread::get_id())
            return false;
        ++it->second.nDepth;
        return true;
    }

    void Release(const std::wstring& strName)
    {
        std::lock_guard guard(m_lock);
        auto it = m_arrClaims.find(strName);
        if (it != m_arrClaims.end() && --it->second.nDepth == 0)
            m_arrClaims.erase(it);
    }

    bool IsClaimedElsewhere(const std::wstring& strName) const
    {
        std::lock_guard guard(m_lock);
        auto it = m_arrClaims.find(strName);
        return it != m_arrClaims.end() && it->second.idThread != std::this_thread::get_id();
    }

private:
    mutable std::mutex m_lock;
    std::map<std::wstring, tagHolder> m_arrClaims;
};

CClaimRegistry& Registry()
{
    static CClaimRegistry s_registry;
    return s_registry;
}

// How often a waiting thread looks again.
constexpr uint32_t kClaimPollMs = 20;

} // namespace

CFetchClaim::CFetchClaim(std::wstring strName) : m_strName(std::move(strName))
{
    while (!Registry().TryClaim(m_strName))
        platform::Sleep(kClaimPollMs);
    m_bHeld = true;
}

CFetchClaim::CFetchClaim(std::wstring strName, uint32_t nWaitMs) : m_strName(std::move(strName))
{
    for (uint32_t nWaited = 0;; nWaited += kClaimPollMs) {
        if (Registry().TryClaim(m_strName)) {
            m_bHeld = true;
            return;
        }
        if (nWaited >= nWaitMs)
            return;
        platform::Sleep(kClaimPollMs);
    }
}

CFetchClaim::~CFetchClaim()
{
    if (m_bHeld)
        Registry().Release(m_strName);
}

bool CFetchClaim::IsClaimedElsewhere(const std::wstring& strName)
{
    return Registry().IsClaimedElsewhere(strName);
}
