#pragma once

// One game the launcher knows about: its identity, the texts and pictures shown for it, and the
// flags through which the window thread and the game's workers talk about it.
//
// Thread rules:
// - szID is written once, before the record is shared, and never changes.
// - Flags and progress numbers are atomics: any thread reads them; each has one writer at a
//   time (the game's worker writes bDownloading, bDownloaded, the progress numbers and, at the
//   end, bInstalled and bUpdate; the window thread writes bPaused, bStop, bListed and
//   bWorkerStarted).
// - szName, szBrief, szError, the three images and hThread are guarded by `lock`. Writers and
//   readers hold it only for the copy or the paint, never across a blocking call.

#include "platform/image/Image.h"
#include "platform/thread/Thread.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

struct tagGames
{
    static constexpr size_t kNameLength = 50;
    static constexpr size_t kBriefLength = 512;
    static constexpr size_t kIdLength = 10;
    static constexpr size_t kErrorLength = 512;

    tagGames() = default;
    tagGames(const tagGames&) = delete;
    tagGames& operator=(const tagGames&) = delete;

    std::atomic<bool> bWorkerStarted{false};
    wchar_t szName[kNameLength]{};
    wchar_t szBrief[kBriefLength]{};
    wchar_t szID[kIdLength]{};
    std::atomic<bool> bAssetsLoaded{false};
    std::atomic<bool> bDownloading{false};
    std::atomic<bool> bDownloaded{false};
    std::atomic<int32_t> nPercent{0};
    std::atomic<int32_t> nTotalKB{0};
    std::atomic<int32_t> nReceivedKB{0};
    std::atomic<bool> bListed{false};
    std::atomic<bool> bInstalled{false};
    std::atomic<bool> bPaused{false};
    std::atomic<bool> bUpdate{false};
    wchar_t szError[kErrorLength]{};
    platform::Image imgThumb;
    platform::Image imgFeature;
    platform::Image imgBanner;
    std::atomic<bool> bStop{false};
    std::shared_ptr<platform::Thread> hThread;

    // Guards the texts, the images and hThread (see above).
    mutable std::mutex lock;

    // Copies of the guarded texts, and the error text's writer; any thread.
    std::wstring GetName() const;
    std::wstring GetBrief() const;
    std::wstring GetError() const;
    void SetError(std::wstring_view strError);
    void ClearError() { SetError({}); }
    bool HasError() const;
};

// A game id is a decimal number of 1 to 9 digits. Anything else (from the store, the command
// line, a window message or the server) never names a record, a folder or a key.
bool IsValidGameId(std::wstring_view strId);

// Copies text into a fixed array of nCapacity characters, cutting it so the terminator fits and
// never between the two halves of a surrogate pair.
void CopyToFixed(wchar_t* pTarget, size_t nCapacity, std::wstring_view strText);
template <size_t N> void CopyToFixed(wchar_t (&szTarget)[N], std::wstring_view strText)
{
    CopyToFixed(szTarget, N, strText);
}
