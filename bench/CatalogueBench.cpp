// The catalogue load at start-up: LoadSettings over 1000 game keys whose assets are not there
// yet (target: at most 100 ms), and over 100 games whose three pictures and briefing are on
// disk (target: at most 300 ms).
#include "app/CGP_LogFile.h"
#include "app/CGP_Registry.h"
#include "catalogue/CGameArray.h"
#include "catalogue/CatalogueSettings.h"
#include "platform/fs/FileSystem.h"
#include "platform/image/Image.h"
#include "platform/text/Text.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A store and a download folder of their own in a temporary folder, removed at the end.
class BenchCatalogue
{
public:
    BenchCatalogue()
    {
        char szTemplate[] = "/tmp/brevanto-bench-XXXXXX";
        if (mkdtemp(szTemplate)) {
            m_strDir = szTemplate;
            setenv("BREVANTO_REGISTRY", (m_strDir + "/registry.db").c_str(), 1);
        }
    }
    ~BenchCatalogue()
    {
        std::error_code ec;
        if (!m_strDir.empty())
            std::filesystem::remove_all(m_strDir, ec);
    }
    BenchCatalogue(const BenchCatalogue&) = delete;
    BenchCatalogue& operator=(const BenchCatalogue&) = delete;

    bool IsReady() const { return !m_strDir.empty(); }
    std::wstring DownloadDir() const { return platform::FromUtf8(m_strDir + "/download"); }

    // Installed games with their executables, every other one also named in "Order".
    bool AddGames(int nGames, bool bWithAssets)
    {
        const std::wstring strInstall = platform::FromUtf8(m_strDir + "/games");
        std::wstring strOrder;
        for (int i = 0; i < nGames; ++i) {
            const std::wstring strId = std::to_wstring(1000 + i);
            const std::wstring strGameDir = platform::JoinPath(strInstall, strId);
            CGP_Registry key(platform::RegistryRoot::LocalMachine,
                             std::wstring(kLauncherKeyPath) + L"\\" + strId);
            if (!platform::CreateFolders(strGameDir) ||
                !platform::WriteFileBytes(platform::JoinPath(strGameDir, L"game"), "#!/bin/sh\n") ||
                !key.CreateKeyAllPerm() || !key.WriteString(L"", strGameDir) ||
                !key.WriteString(L"LaunchFile", L"game") || !key.WriteByte(L"installed", 1) ||
                !key.WriteByte(L"loading", 0))
                return false;
            if (bWithAssets && !WriteAssets(platform::JoinPath(DownloadDir(), strId)))
                return false;
            if (i % 2 == 0)
                strOrder += strId + L" ";
        }
        return SaveOrder(strOrder);
    }

private:
    static bool WritePicture(const std::wstring& strPath, int nWidth, int nHeight)
    {
        std::optional<platform::Image> image = platform::Image::Create(nWidth, nHeight, 0xFF4080C0);
        if (!image)
            return false;
        for (int y = 0; y < nHeight; ++y) // some detail, so the files are not trivially small
            image->SetPixel((y * 7) % nWidth, y, 0xFFFFFFFF);
        return image->SavePng(strPath);
    }
    static bool WriteAssets(const std::wstring& strAssetDir)
    {
        return platform::CreateFolders(strAssetDir) &&
               WritePicture(platform::JoinPath(strAssetDir, L"thumbimg_s"), 80, 80) &&
               WritePicture(platform::JoinPath(strAssetDir, L"featureimg_s"), 200, 200) &&
               WritePicture(platform::JoinPath(strAssetDir, L"bannerimg_s"), 350, 90) &&
               platform::WriteFileBytes(platform::JoinPath(strAssetDir, L"briefdesc_s"),
                                        "Game name&&A short description of the game.");
    }

    std::string m_strDir;
};

void RunLoad(benchmark::State& state, int nGames, bool bWithAssets)
{
    BenchCatalogue catalogue;
    if (!catalogue.IsReady() || !catalogue.AddGames(nGames, bWithAssets)) {
        state.SkipWithError("no store");
        return;
    }
    const std::wstring strDownloadDir = catalogue.DownloadDir();
    // The launcher logs every game it loads; so does the benchmark.
    auto pLog = std::make_shared<CGP_LogFile>(platform::JoinPath(strDownloadDir, L"../Exception.log"), false);
    pLog->Open();
    SetSessionLog(pLog);
    for (auto _ : state) {
        CGameArray arrGames;
        LoadSettings(arrGames, strDownloadDir, L"brevanto-launcher");
        state.PauseTiming();
        if (arrGames.GetSize() != static_cast<size_t>(nGames))
            state.SkipWithError("games missing");
        for (tagGames* pGame : arrGames.TakeAll())
            delete pGame;
        state.ResumeTiming();
    }
    SetSessionLog(nullptr);
}

} // namespace

static void BM_LoadSettings1000GamesNoAssets(benchmark::State& state)
{
    RunLoad(state, 1000, false);
}
BENCHMARK(BM_LoadSettings1000GamesNoAssets)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

static void BM_LoadSettings100GamesWithAssets(benchmark::State& state)
{
    RunLoad(state, 100, true);
}
BENCHMARK(BM_LoadSettings100GamesWithAssets)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
