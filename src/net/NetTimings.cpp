#include "net/NetTimings.h"

#include <atomic>

namespace {

// Process-wide because every worker reads them; the launcher itself never changes them.
std::atomic<uint32_t> g_nRetryPauseMs{tagNetTimings{}.nRetryPauseMs};
std::atomic<uint32_t> g_nLauncherUpdateWaitMs{tagNetTimings{}.nLauncherUpdateWaitMs};
std::atomic<uint32_t> g_nSilenceLimitMs{tagNetTimings{}.nSilenceLimitMs};

} // namespace

tagNetTimings GetNetTimings()
{
    return {g_nRetryPauseMs.load(), g_nLauncherUpdateWaitMs.load(), g_nSilenceLimitMs.load()};
}

void SetNetTimingsForTests(const tagNetTimings& timings)
{
    g_nRetryPauseMs = timings.nRetryPauseMs;
    g_nLauncherUpdateWaitMs = timings.nLauncherUpdateWaitMs;
    g_nSilenceLimitMs = timings.nSilenceLimitMs;
}
