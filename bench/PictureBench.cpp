// Pictures of the skin: loading and starting all of them (target: 50 ms in total), the window
// outline's region (target: 5 ms), and the processor share of one running 16-frame animation
// (target: under 0.5% of a core).

#include "controls/CPictureEx.h"
#include "controls/DrawingHelpers.h"
#include "platform/image/Image.h"
#include "resources/Resources.h"
#include "tests/controls/GifBuilder.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every picture the skin loads with type "GIF".
constexpr uint32_t kSkinPictures[] = {134, 135, 136, 137, 138, 139, 141, 142, 143, 144, 145, 146,
                                      147, 148, 151, 152, 153, 155, 156, 157, 158, 159, 160, 161,
                                      162, 169, 170, 171, 172, 180, 181, 182, 183, 186, 187, 188,
                                      190, 191, 192, 198, 199, 200, 201, 202, 203};

void BM_LoadAndStartSkinPictures(benchmark::State& state)
{
    std::string strMissing;
    for (uint32_t nId : kSkinPictures)
        if (resources::FindResource(nId, resources::kTypeGif).empty())
            strMissing += (strMissing.empty() ? "" : " ") + std::to_string(nId);
    if (!strMissing.empty()) {
        state.SkipWithError(("skin artwork missing (ids " + strMissing + "): nothing to measure").c_str());
        return;
    }
    int nAnimated = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<CPictureEx>> arrPictures;
        for (uint32_t nId : kSkinPictures) {
            auto pPicture = std::make_unique<CPictureEx>(nullptr);
            if (!pPicture->LoadFromResource(nId, resources::kTypeGif)) {
                state.SkipWithError(("picture " + std::to_string(nId) + " does not load").c_str());
                return;
            }
            pPicture->Start();
            arrPictures.push_back(std::move(pPicture));
        }
        state.PauseTiming();
        nAnimated = 0;
        for (const auto& pPicture : arrPictures)
            nAnimated += pPicture->IsAnimated() ? 1 : 0;
        arrPictures.clear(); // stopping the animations is not part of the measure
        state.ResumeTiming();
    }
    state.counters["pictures"] = static_cast<double>(std::size(kSkinPictures));
    state.counters["animated"] = nAnimated;
}
BENCHMARK(BM_LoadAndStartSkinPictures)->Unit(benchmark::kMillisecond);

// The main window's outline: white outside a rounded rectangle of 748 x 547.
platform::Image Outline()
{
    constexpr int kWidth = 748, kHeight = 547, kRadius = 24;
    platform::Image img = *platform::Image::Create(kWidth, kHeight, 0xFF404040);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int dx = x < kRadius ? kRadius - x : x >= kWidth - kRadius ? x - (kWidth - kRadius - 1) : 0;
            const int dy = y < kRadius              ? kRadius - y
                           : y >= kHeight - kRadius ? y - (kHeight - kRadius - 1)
                                                    : 0;
            if (dx * dx + dy * dy > kRadius * kRadius)
                img.SetPixel(x, y, 0xFFFFFFFF);
        }
    return img;
}

void BM_BitmapToRegionOutline(benchmark::State& state)
{
    const platform::Image outline = Outline();
    size_t nRects = 0;
    for (auto _ : state) {
        std::optional<platform::Region> region = BitmapToRegion(outline, 0xFFFFFF, 1);
        nRects = region ? region->GetRects().size() : 0;
        benchmark::DoNotOptimize(region);
    }
    state.counters["rects"] = static_cast<double>(nRects);
}
BENCHMARK(BM_BitmapToRegionOutline)->Unit(benchmark::kMillisecond);

// The logo's shape: 161 x 61, 16 frames of 7 hundredths, each a different full picture.
std::vector<uint8_t> SixteenFrames()
{
    gif_builder::Gif gif;
    gif.nWidth = 161;
    gif.nHeight = 61;
    for (uint32_t i = 0; i < 16; ++i)
        gif.arrGlobalTable.push_back((i * 0x0F0F0F) ^ 0x00FF00);
    for (int f = 0; f < 16; ++f) {
        gif_builder::Frame frame = gif_builder::SolidFrame(0, 0, 161, 61, 0, 7, 1);
        for (int y = 0; y < 61; ++y)
            for (int x = 0; x < 161; ++x)
                frame.arrPixels[static_cast<size_t>(y * 161 + x)] =
                    static_cast<uint8_t>((x / 10 + y / 10 + f) % 16);
        gif.arrFrames.push_back(std::move(frame));
    }
    return gif_builder::Build(gif);
}

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The process's processor time while this thread sleeps is the animation thread's.
void BM_AnimationCoreShare(benchmark::State& state)
{
    const std::vector<uint8_t> data = SixteenFrames();
    double nShare = 0;
    for (auto _ : state) {
        CPictureEx picture(nullptr);
        if (!picture.Load(data) || picture.GetFrameCount() != 16) {
            state.SkipWithError("the 16-frame picture does not load");
            return;
        }
        picture.Start();
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // past the start
        const auto start = std::chrono::steady_clock::now();
        const double nCpuStart = ProcessCpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(4));
        const double nCpu = ProcessCpuSeconds() - nCpuStart;
        const double nWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        picture.Stop();
        nShare = nCpu / nWall;
        state.SetIterationTime(nWall);
    }
    state.counters["core_share_pct"] = nShare * 100;
    state.SetLabel(nShare < 0.005 ? "under 0.5% of a core" : "OVER 0.5% of a core");
}
BENCHMARK(BM_AnimationCoreShare)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
