#pragma once

// The waits of the network code. The values are the launcher's; tests shorten them in-process
// so that a suite of retries and silences runs in seconds.
//
// Thread rules: any thread may read; tests set them before starting the workers they time.

#include <cstdint>

struct tagNetTimings
{
    uint32_t nRetryPauseMs = 5000;         // between two attempts of a server exchange
    uint32_t nLauncherUpdateWaitMs = 3000; // before a new launcher is announced
    uint32_t nSilenceLimitMs = 60000;      // a connection silent this long counts as broken
};

tagNetTimings GetNetTimings();

// For tests only: replaces the waits (a default-constructed block restores the launcher's).
void SetNetTimingsForTests(const tagNetTimings& timings);
