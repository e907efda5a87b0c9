#include "Palette.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <unordered_map>

namespace skin {

namespace {

constexpr size_t kMaxColours = 255; // plus the transparent colour

struct Entry
{
    uint32_t nRgb;
    uint32_t nCount;
};

int Channel(uint32_t nRgb, int c)
{
    return static_cast<int>((nRgb >> (16 - 8 * c)) & 0xFF);
}

struct Box
{
    size_t nBegin;
    size_t nEnd;
    uint64_t nPopulation = 0;
    int nAxis = 0;
    int nRange = 0;
};

void Measure(const std::vector<Entry>& arrEntries, Box& box)
{
    std::array<int, 3> lo{255, 255, 255}, hi{0, 0, 0};
    box.nPopulation = 0;
    for (size_t i = box.nBegin; i < box.nEnd; ++i) {
        for (int c = 0; c < 3; ++c) {
            lo[static_cast<size_t>(c)] = std::min(lo[static_cast<size_t>(c)], Channel(arrEntries[i].nRgb, c));
            hi[static_cast<size_t>(c)] = std::max(hi[static_cast<size_t>(c)], Channel(arrEntries[i].nRgb, c));
        }
        box.nPopulation += arrEntries[i].nCount;
    }
    box.nAxis = 0;
    box.nRange = -1;
    // Green weighs most for the eye, blue least.
    constexpr std::array<int, 3> kWeight{3, 4, 2};
    for (int c = 0; c < 3; ++c) {
        int nRange =
            (hi[static_cast<size_t>(c)] - lo[static_cast<size_t>(c)]) * kWeight[static_cast<size_t>(c)];
        if (nRange > box.nRange) {
            box.nRange = nRange;
            box.nAxis = c;
        }
    }
}

double Score(const Box& box)
{
    if (box.nEnd - box.nBegin < 2)
        return -1.0;
    return static_cast<double>(box.nRange) * std::sqrt(static_cast<double>(box.nPopulation));
}

std::vector<uint32_t> MedianCut(std::vector<Entry> arrEntries)
{
    std::vector<Box> arrBoxes;
    Box first{0, arrEntries.size()};
    Measure(arrEntries, first);
    arrBoxes.push_back(first);
    while (arrBoxes.size() < kMaxColours) {
        auto it = std::max_element(arrBoxes.begin(), arrBoxes.end(),
                                   [](const Box& a, const Box& b) { return Score(a) < Score(b); });
        if (Score(*it) < 0.0)
            break;
        Box box = *it;
        auto begin = arrEntries.begin() + static_cast<ptrdiff_t>(box.nBegin);
        auto end = arrEntries.begin() + static_cast<ptrdiff_t>(box.nEnd);
        std::sort(begin, end, [&](const Entry& a, const Entry& b) {
            int ca = Channel(a.nRgb, box.nAxis), cb = Channel(b.nRgb, box.nAxis);
            return ca != cb ? ca < cb : a.nRgb < b.nRgb;
        });
        uint64_t nHalf = box.nPopulation / 2, nSum = 0;
        size_t nSplit = box.nBegin;
        while (nSplit < box.nEnd - 1 && nSum + arrEntries[nSplit].nCount <= nHalf)
            nSum += arrEntries[nSplit++].nCount;
        nSplit = std::clamp(nSplit, box.nBegin + 1, box.nEnd - 1);
        Box a{box.nBegin, nSplit}, b{nSplit, box.nEnd};
        Measure(arrEntries, a);
        Measure(arrEntries, b);
        *it = a;
        arrBoxes.push_back(b);
    }
    std::vector<uint32_t> arrPalette;
    for (const Box& box : arrBoxes) {
        std::array<double, 3> sum{};
        for (size_t i = box.nBegin; i < box.nEnd; ++i)
            for (int c = 0; c < 3; ++c)
                sum[static_cast<size_t>(c)] +=
                    Channel(arrEntries[i].nRgb, c) * static_cast<double>(arrEntries[i].nCount);
        uint32_t nRgb = 0;
        for (int c = 0; c < 3; ++c)
            nRgb = (nRgb << 8) | static_cast<uint32_t>(std::lround(sum[static_cast<size_t>(c)] /
                                                                   static_cast<double>(box.nPopulation)));
        arrPalette.push_back(nRgb);
    }
    return arrPalette;
}

// Nearest palette colour (never index 0, the transparent colour), cached by 6 bits a channel.
class Matcher
{
public:
    Matcher(const std::vector<uint32_t>& arrPalette, uint32_t nKey) : m_arrPalette(arrPalette), m_nKey(nKey)
    {
        m_arrCache.assign(size_t{1} << 18, -1);
    }

    uint8_t Nearest(int r, int g, int b)
    {
        r = std::clamp(r, 0, 255);
        g = std::clamp(g, 0, 255);
        b = std::clamp(b, 0, 255);
        size_t nSlot = (static_cast<size_t>(r >> 2) << 12) | (static_cast<size_t>(g >> 2) << 6) |
                       static_cast<size_t>(b >> 2);
        int16_t& cached = m_arrCache[nSlot];
        if (cached >= 0)
            return static_cast<uint8_t>(cached);
        int cr = (r & ~3) | 2, cg = (g & ~3) | 2, cb = (b & ~3) | 2;
        int64_t nBest = INT64_MAX;
        size_t nIndex = 1;
        for (size_t i = 1; i < m_arrPalette.size(); ++i) {
            if (m_arrPalette[i] == m_nKey)
                continue;
            int64_t dr = Channel(m_arrPalette[i], 0) - cr, dg = Channel(m_arrPalette[i], 1) - cg,
                    db = Channel(m_arrPalette[i], 2) - cb;
            int64_t d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (d < nBest) {
                nBest = d;
                nIndex = i;
            }
        }
        cached = static_cast<int16_t>(nIndex);
        return static_cast<uint8_t>(nIndex);
    }

private:
    const std::vector<uint32_t>& m_arrPalette;
    uint32_t m_nKey;
    std::vector<int16_t> m_arrCache;
};

std::vector<uint8_t> Diffuse(const std::vector<uint32_t>& arrPixels, int w, int h, uint32_t nKey,
                             const std::vector<uint32_t>& arrPalette, Matcher& matcher)
{
    std::vector<uint8_t> arrOut(arrPixels.size(), 0);
    // Error of the current and the next row (alternating halves), three channels a pixel, with a
    // margin of one pixel on both sides.
    const size_t nRow = static_cast<size_t>(w + 2) * 3;
    std::vector<float> arrError(nRow * 2, 0.f);
    for (int y = 0; y < h; ++y) {
        const size_t nCur = static_cast<size_t>(y & 1) * nRow, nNext = nRow - nCur;
        std::fill_n(arrError.begin() + static_cast<ptrdiff_t>(nNext), nRow, 0.f);
        for (int x = 0; x < w; ++x) {
            size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
            if (arrPixels[i] == nKey)
                continue;
            const size_t nAt = static_cast<size_t>(x) * 3;
            int want[3];
            for (int c = 0; c < 3; ++c)
                want[c] = Channel(arrPixels[i], c) +
                          static_cast<int>(std::lround(
                              std::clamp(arrError[nCur + nAt + 3 + static_cast<size_t>(c)], -24.f, 24.f)));
            uint8_t nIndex = matcher.Nearest(want[0], want[1], want[2]);
            arrOut[i] = nIndex;
            for (int c = 0; c < 3; ++c) {
                const size_t k = static_cast<size_t>(c);
                float err = static_cast<float>(std::clamp(want[c], 0, 255) - Channel(arrPalette[nIndex], c));
                arrError[nCur + nAt + 6 + k] += err * 7.f / 16.f;
                arrError[nNext + nAt + k] += err * 3.f / 16.f;
                arrError[nNext + nAt + 3 + k] += err * 5.f / 16.f;
                arrError[nNext + nAt + 6 + k] += err * 1.f / 16.f;
            }
        }
    }
    return arrOut;
}

std::vector<uint8_t> Ordered(const std::vector<uint32_t>& arrPixels, int w, int h, uint32_t nKey,
                             Matcher& matcher)
{
    static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    std::vector<uint8_t> arrOut(arrPixels.size(), 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
            if (arrPixels[i] == nKey)
                continue;
            int d = (kBayer[y & 3][x & 3] - 8) / 2; // -4 to +3 levels
            arrOut[i] = matcher.Nearest(Channel(arrPixels[i], 0) + d, Channel(arrPixels[i], 1) + d,
                                        Channel(arrPixels[i], 2) + d);
        }
    }
    return arrOut;
}

} // namespace

IndexedFrames Quantize(const std::vector<std::vector<uint32_t>>& arrFrames, int nWidth, int nHeight,
                       uint32_t nKey)
{
    std::unordered_map<uint32_t, uint32_t> histogram;
    for (const auto& frame : arrFrames)
        for (uint32_t nRgb : frame)
            if (nRgb != nKey)
                ++histogram[nRgb];
    std::vector<Entry> arrEntries;
    arrEntries.reserve(histogram.size());
    for (auto [nRgb, nCount] : histogram)
        arrEntries.push_back({nRgb, nCount});
    std::sort(arrEntries.begin(), arrEntries.end(),
              [](const Entry& a, const Entry& b) { return a.nRgb < b.nRgb; });

    IndexedFrames out;
    out.arrPalette.push_back(nKey);
    if (arrEntries.size() <= kMaxColours) {
        std::unordered_map<uint32_t, uint8_t> index;
        for (const Entry& e : arrEntries) {
            index[e.nRgb] = static_cast<uint8_t>(out.arrPalette.size());
            out.arrPalette.push_back(e.nRgb);
        }
        for (const auto& frame : arrFrames) {
            std::vector<uint8_t> arr(frame.size(), 0);
            for (size_t i = 0; i < frame.size(); ++i)
                if (frame[i] != nKey)
                    arr[i] = index[frame[i]];
            out.arrFrames.push_back(std::move(arr));
        }
        return out;
    }
    for (uint32_t nRgb : MedianCut(std::move(arrEntries)))
        out.arrPalette.push_back(nRgb);
    Matcher matcher(out.arrPalette, nKey);
    for (const auto& frame : arrFrames) {
        if (arrFrames.size() > 1)
            out.arrFrames.push_back(Ordered(frame, nWidth, nHeight, nKey, matcher));
        else
            out.arrFrames.push_back(Diffuse(frame, nWidth, nHeight, nKey, out.arrPalette, matcher));
    }
    return out;
}

} // namespace skin
