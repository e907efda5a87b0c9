// CGP_LogFile::Write of a 40-character piece, with the flush every write does.
#include "app/CGP_LogFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

static void BM_LogFileWrite40(benchmark::State& state)
{
    char szTemplate[] = "/tmp/brevanto-bench-XXXXXX";
    int fd = mkstemp(szTemplate);
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    close(fd);
    {
        CGP_LogFile log(std::wstring(szTemplate, szTemplate + sizeof szTemplate - 1), true, std::nullopt);
        log.Open();
        const std::wstring strPiece(40, L'x');
        for (auto _ : state)
            log.Write(strPiece);
    }
    unlink(szTemplate);
}
BENCHMARK(BM_LogFileWrite40)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
