// The registry calls the launcher makes most: CGP_Registry::ReadDword on an open key, and opening
// the launcher key to enumerate its game subkeys (1000 here) with EnumKey.
#include "app/CGP_Registry.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

const std::wstring kLauncherKey = L"SOFTWARE\\Brevanto Launcher";

// A store of its own in a temporary folder, removed at the end.
class BenchStore
{
public:
    BenchStore()
    {
        char szTemplate[] = "/tmp/brevanto-bench-XXXXXX";
        if (mkdtemp(szTemplate)) {
            m_strDir = szTemplate;
            setenv("BREVANTO_REGISTRY", (m_strDir + "/registry.db").c_str(), 1);
        }
    }
    ~BenchStore()
    {
        std::error_code ec;
        if (!m_strDir.empty())
            std::filesystem::remove_all(m_strDir, ec);
    }
    BenchStore(const BenchStore&) = delete;
    BenchStore& operator=(const BenchStore&) = delete;

    bool IsReady() const { return !m_strDir.empty(); }

private:
    std::string m_strDir;
};

} // namespace

static void BM_ReadDword(benchmark::State& state)
{
    BenchStore store;
    CGP_Registry writer(platform::RegistryRoot::LocalMachine, kLauncherKey + L"\\12");
    if (!store.IsReady() || !writer.Create() || !writer.WriteDword(L"ContentLen", 1000)) {
        state.SkipWithError("no store");
        return;
    }
    CGP_Registry reg(platform::RegistryRoot::LocalMachine, kLauncherKey + L"\\12");
    reg.Open();
    for (auto _ : state) {
        uint32_t nValue = 0;
        benchmark::DoNotOptimize(reg.ReadDword(L"ContentLen", nValue));
        benchmark::DoNotOptimize(nValue);
    }
}
BENCHMARK(BM_ReadDword)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Counts the subkeys of the launcher key by index, as the launcher walks them.
static uint32_t EnumerateLauncherKey()
{
    CGP_Registry reg(platform::RegistryRoot::LocalMachine, kLauncherKey);
    reg.Open();
    std::wstring strName;
    uint32_t nCount = 0;
    while (reg.EnumKey(nCount, strName))
        ++nCount;
    return nCount;
}

static bool AddGames(int nGames)
{
    for (int i = 0; i < nGames; ++i) {
        CGP_Registry game(platform::RegistryRoot::LocalMachine, kLauncherKey + L"\\" + std::to_wstring(i));
        if (!game.Create() || !game.WriteDword(L"ContentLen", static_cast<uint32_t>(i)))
            return false;
    }
    return true;
}

static void BM_OpenAndEnumerate1000Subkeys(benchmark::State& state)
{
    BenchStore store;
    if (!store.IsReady() || !AddGames(1000)) {
        state.SkipWithError("no store");
        return;
    }
    for (auto _ : state) {
        if (EnumerateLauncherKey() != 1000)
            state.SkipWithError("wrong subkey count");
    }
}
BENCHMARK(BM_OpenAndEnumerate1000Subkeys)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The same on a thread that has no connection yet: opening and checking the store file included.
static void BM_OpenAndEnumerate1000SubkeysOnANewThread(benchmark::State& state)
{
    BenchStore store;
    if (!store.IsReady() || !AddGames(1000)) {
        state.SkipWithError("no store");
        return;
    }
    for (auto _ : state) {
        uint32_t nCount = 0;
        std::thread worker([&] { nCount = EnumerateLauncherKey(); });
        worker.join();
        if (nCount != 1000)
            state.SkipWithError("wrong subkey count");
    }
}
BENCHMARK(BM_OpenAndEnumerate1000SubkeysOnANewThread)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
