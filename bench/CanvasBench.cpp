// A full repaint of the 750 x 604 main window into a memory canvas: the background picture, 20
// colour-keyed buttons of 155 x 43 and 10 runs of text. Target: a median of at most 2 ms.
// Also the window shape: a region of 604 rows with a few runs each, OR-ed in batches of 2000.
#include "platform/gdi/MemoryCanvas.h"
#include "platform/gdi/Region.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

using namespace platform;

namespace {

constexpr int kWindowWidth = 750;
constexpr int kWindowHeight = 604;
constexpr COLORREF kKey = Rgb(0xFF, 0x00, 0xFF);

Surface MakeBackground()
{
    Surface surface = *Surface::Create(kWindowWidth, kWindowHeight);
    for (int y = 0; y < kWindowHeight; ++y)
        for (int x = 0; x < kWindowWidth; ++x)
            surface.SetPixel(x, y, 0xFF000000u | (static_cast<uint32_t>((x * 7) ^ (y * 13)) & 0x3F3F3Fu));
    return surface;
}

// A button face with rounded ends: about 30% of it is the key colour.
Surface MakeButton(uint32_t nColour)
{
    constexpr int w = 155;
    constexpr int h = 43;
    Surface surface = *Surface::Create(w, h, nColour);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int nEdge = std::min(x, w - 1 - x);
            const int nBand = std::abs(y - h / 2);
            if (nEdge < 24 && (24 - nEdge) * (24 - nEdge) + nBand * nBand * 2 > 24 * 24)
                surface.SetPixel(x, y, 0xFFFF00FF);
            else if (y < 6 || y >= h - 6)
                surface.SetPixel(x, y, 0xFFFF00FF);
        }
    }
    return surface;
}

struct Scene
{
    Surface background = MakeBackground();
    std::vector<Surface> arrButtons;
    Font bold = Font::Create({.strFace = L"Verdana", .nHeight = -16, .nWeight = kFontWeightBold});
    Font regular = Font::Create({.strFace = L"Verdana", .nHeight = -13});
    Font arial =
        Font::Create({.strFace = L"Arial", .nHeight = -12, .nWeight = kFontWeightBold, .nCharSet = 204});

    Scene()
    {
        for (uint32_t n = 0; n < 4; ++n)
            arrButtons.push_back(MakeButton(0xFF204060 + n * 0x101010));
    }
};

double KeyShare(const Surface& surface)
{
    size_t nKeys = 0;
    for (uint32_t nPixel : surface.GetBits())
        nKeys += (nPixel & 0xFFFFFF) == 0xFF00FF ? 1 : 0;
    return static_cast<double>(nKeys) / static_cast<double>(surface.GetBits().size());
}

void Repaint(MemoryCanvas& canvas, const Scene& scene)
{
    canvas.BitBlt(0, 0, kWindowWidth, kWindowHeight, scene.background, 0, 0);
    for (int i = 0; i < 20; ++i) {
        const Surface& button = scene.arrButtons[static_cast<size_t>(i) % scene.arrButtons.size()];
        canvas.TransparentBlt(10 + (i % 4) * 180, 60 + (i / 4) * 100, 155, 43, button, 0, 0, 155, 43, kKey);
    }
    canvas.SetBkMode(BackgroundMode::Transparent);
    canvas.SetTextColor(Rgb(0xFF, 0xFF, 0xFF));
    canvas.SelectFont(scene.bold);
    Rect rc{10, 60, 165, 103};
    canvas.DrawText(L"Download", rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    rc = {190, 60, 345, 103};
    canvas.DrawText(L"All games", rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    canvas.TextOut(20, 20, L"The Chronicles of Brevanto III");
    rc = {370, 60, 525, 103};
    canvas.DrawText(L"&Play", rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    canvas.SetTextColor(0xB6FFFF);
    canvas.SelectFont(scene.regular);
    canvas.TextOut(20, 560, L"Downloaded 345 MB of 1.2 GB");
    canvas.TextOut(20, 580, L"Version 1.0.0.1");
    rc = {400, 520, 740, 600};
    canvas.DrawText(L"A long description of the game that wraps over a few lines in its box.", rc,
                    DT_WORDBREAK);
    rc = {550, 20, 740, 40};
    canvas.DrawText(L"A very long game name that will not fit here", rc, DT_SINGLELINE | DT_END_ELLIPSIS);
    canvas.SelectFont(scene.arial);
    canvas.TextOut(560, 160, L"Игры");
    canvas.TextOut(560, 180, L"Настройки");
}

void BM_FullRepaint(benchmark::State& state)
{
    const Scene scene;
    state.counters["key_share"] = KeyShare(scene.arrButtons[0]);
    MemoryCanvas canvas(kWindowWidth, kWindowHeight);
    Repaint(canvas, scene); // glyphs rendered once, as after the first paint
    for (auto _ : state) {
        Repaint(canvas, scene);
        benchmark::DoNotOptimize(canvas.GetSurface()->GetBits().data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_BackgroundBlit(benchmark::State& state)
{
    const Surface background = MakeBackground();
    MemoryCanvas canvas(kWindowWidth, kWindowHeight);
    for (auto _ : state) {
        canvas.BitBlt(0, 0, kWindowWidth, kWindowHeight, background, 0, 0);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BackgroundBlit)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_KeyedBlits(benchmark::State& state)
{
    const Scene scene;
    MemoryCanvas canvas(kWindowWidth, kWindowHeight);
    for (auto _ : state) {
        for (int i = 0; i < 20; ++i)
            canvas.TransparentBlt(10 + (i % 4) * 180, 60 + (i / 4) * 100, 155, 43, scene.arrButtons[0], 0, 0,
                                  155, 43, kKey);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_KeyedBlits)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The window shape as the display builds it: per row the runs of non-key pixels, 2000
// rectangles per batch, each batch OR-ed into the whole.
void BM_RegionFromRows(benchmark::State& state)
{
    std::vector<Rect> arrRuns;
    for (int y = 0; y < kWindowHeight; ++y) {
        const int nInset = y < 20 ? 20 - y : (y >= kWindowHeight - 20 ? y - (kWindowHeight - 21) : 0);
        arrRuns.push_back({nInset, y, 300, y + 1});
        arrRuns.push_back({310 + (y % 5), y, 500, y + 1});
        arrRuns.push_back({510, y, kWindowWidth - nInset, y + 1});
    }
    for (auto _ : state) {
        Region region;
        for (size_t i = 0; i < arrRuns.size(); i += 2000) {
            const size_t nCount = std::min<size_t>(2000, arrRuns.size() - i);
            region.CombineWith(Region::FromRects(std::span<const Rect>(arrRuns.data() + i, nCount)),
                               RegionOp::Or);
        }
        benchmark::DoNotOptimize(region.GetRects().data());
    }
    state.counters["rects_in"] = static_cast<double>(arrRuns.size());
}
BENCHMARK(BM_RegionFromRows)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
