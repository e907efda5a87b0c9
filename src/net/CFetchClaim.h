#pragma once

// A claim on a file being fetched (or on any other piece of work named by a text): while one
// thread holds the claim for a name, other threads that ask for it wait until it is let go.
// The thread that holds a claim may claim the same name again (the claims nest).
//
// Two workers may fetch the same game's files at once (the banner worker and the game's own
// download worker); the claim keeps their bytes from interleaving in one file. The registry of
// claims is process-wide because the files are: every claim made anywhere in the process sees
// every other.
//
// Waiting sleeps in short steps through the platform, so a waiting worker can still be
// suspended; no lock is held while it waits or while the claim is held.
//
// Thread rules: a claim object is made and destroyed on the same thread.

#include <cstdint>
#include <string>

class CFetchClaim
{
public:
    explicit CFetchClaim(std::wstring strName);
    // Waits at most nWaitMs for the claim; IsHeld() tells whether it was taken.
    CFetchClaim(std::wstring strName, uint32_t nWaitMs);
    ~CFetchClaim();
    CFetchClaim(const CFetchClaim&) = delete;
    CFetchClaim& operator=(const CFetchClaim&) = delete;

    bool IsHeld() const { return m_bHeld; }

    // True while another thread holds a claim on the name (for tests and diagnostics).
    static bool IsClaimedElsewhere(const std::wstring& strName);

private:
    std::wstring m_strName;
    bool m_bHeld = false;
};
