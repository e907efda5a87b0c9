#include "controls/DrawingHelpers.h"

#include <algorithm>

namespace {

// The offset of a line in the box for the alignment. A line wider than the box (only the last
// can be) starts at the box's left edge rather than somewhere out of sight.
int AlignOffset(int nLineWidth, uint16_t nBoxWidth, int nAlign)
{
    if (nAlign < 0 || nLineWidth >= nBoxWidth)
        return 0;
    const int nSpare = nBoxWidth - nLineWidth;
    return nAlign == 0 ? nSpare / 2 : nSpare;
}

constexpr int kSingleLineHeight = 380;
constexpr size_t kRegionBatch = 2000;
constexpr size_t kRegionGrowth = 100;

} // namespace

std::vector<std::wstring> SplitWrappedText(std::wstring_view text, uint16_t nBoxWidth,
                                           const std::function<int(std::wstring_view)>& measure)
{
    const int nTextWidth = measure(text);
    if (nBoxWidth == 0 || nTextWidth < nBoxWidth)
        return {std::wstring(text)};

    const int nLines = nTextWidth / nBoxWidth + 1;
    std::vector<std::wstring> arrLines;
    arrLines.reserve(static_cast<size_t>(nLines));
    std::wstring_view rest = text;
    for (int nLine = 0; nLine < nLines; ++nLine) {
        if (nLine == nLines - 1) {
            arrLines.emplace_back(rest);
            break;
        }
        // Walk to the character that fills the box, noting the last blank on the way.
        int nSum = 0;
        size_t nStop = 0;
        size_t nBlank = 0;
        bool bBlank = false;
        for (size_t i = 0; i < rest.size(); ++i) {
            nStop = i;
            if (rest[i] == L' ') {
                nBlank = i;
                bBlank = true;
            }
            nSum += measure(rest.substr(i, 1));
            if (nSum >= nBoxWidth)
                break;
        }
        if (bBlank && nBlank > 0) {
            arrLines.emplace_back(rest.substr(0, nBlank));
            rest.remove_prefix(nBlank + 1);
        } else {
            arrLines.emplace_back(rest.substr(0, nStop));
            rest.remove_prefix(nStop);
        }
    }
    return arrLines;
}

void DrawWrappedText(platform::Canvas& dc, std::wstring_view text, uint16_t nBoxWidth,
                     const platform::Font& font, int nLeft, int nTop, uint16_t nLineGap,
                     platform::COLORREF nColor, int nAlign)
{
    dc.SelectFont(font);
    dc.SetBkMode(platform::BackgroundMode::Transparent);
    dc.SetTextColor(nColor);
    if (nBoxWidth == 0)
        return;

    const platform::Size extent = dc.GetTextExtent(text);
    if (extent.cx < nBoxWidth) {
        const int nOffset = AlignOffset(extent.cx, nBoxWidth, nAlign);
        platform::Rect rc{nLeft + nOffset, nTop, nLeft + nOffset + nBoxWidth, nTop + kSingleLineHeight};
        dc.DrawText(text, rc, 0);
        return;
    }

    const int nLineHeight = extent.cy + nLineGap;
    const std::vector<std::wstring> arrLines = SplitWrappedText(
        text, nBoxWidth, [&dc](std::wstring_view part) { return dc.GetTextExtent(part).cx; });
    for (size_t i = 0; i < arrLines.size(); ++i) {
        const int nLine = static_cast<int>(i);
        const int nOffset = AlignOffset(dc.GetTextExtent(arrLines[i]).cx, nBoxWidth, nAlign);
        platform::Rect rc{nLeft + nOffset, nTop + nLine * nLineHeight, nLeft + nOffset + nBoxWidth,
                          nTop + (nLine + 1) * nLineHeight};
        dc.DrawText(arrLines[i], rc, 0);
    }
}

std::optional<platform::Region> BitmapToRegion(const platform::Image& bitmap, platform::COLORREF nColor,
                                               int nMode)
{
    if (bitmap.IsNull())
        return std::nullopt;

    const uint32_t nKey = platform::ColorToPixel(nColor) & 0x00FFFFFF;
    const bool bWantKey = nMode == 0;
    const int nWidth = bitmap.GetWidth();
    const int nHeight = bitmap.GetHeight();
    const uint32_t* pPixels = bitmap.GetPixels().data();

    platform::Region result;
    bool bHaveResult = false;
    std::vector<platform::Rect> arrRects;
    arrRects.reserve(kRegionGrowth);
    auto flush = [&] {
        platform::Region partial = platform::Region::FromRects(arrRects);
        if (bHaveResult)
            result.CombineWith(partial, platform::RegionOp::Or);
        else
            result = std::move(partial);
        bHaveResult = true;
        arrRects.clear();
    };

    for (int y = 0; y < nHeight; ++y) {
        const uint32_t* pRow = pPixels + static_cast<size_t>(y) * static_cast<size_t>(nWidth);
        auto belongs = [&](int x) { return ((pRow[x] & 0x00FFFFFF) == nKey) == bWantKey; };
        int x = 0;
        while (x < nWidth) {
            while (x < nWidth && !belongs(x))
                ++x;
            const int nStart = x;
            while (x < nWidth && belongs(x))
                ++x;
            if (x > nStart) {
                if (arrRects.size() == arrRects.capacity())
                    arrRects.reserve(arrRects.capacity() + kRegionGrowth);
                arrRects.push_back({nStart, y, x, y + 1});
                if (arrRects.size() == kRegionBatch)
                    flush();
            }
            ++x; // past the pixel that ended the run
        }
    }
    flush();
    return result;
}
