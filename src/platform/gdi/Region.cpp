#include "platform/gdi/Region.h"

#include <algorithm>
#include <climits>

namespace platform {

namespace {

struct Span
{
    int left;
    int right;
};

// Walks the bands of a region: [m_nBegin, m_nEnd) are the rectangles of the current band.
class BandCursor
{
public:
    explicit BandCursor(const std::vector<Rect>& arrRects) : m_arrRects(arrRects) { FindEnd(); }

    bool IsDone() const { return m_nBegin >= m_arrRects.size(); }
    int Top() const { return m_arrRects[m_nBegin].top; }
    int Bottom() const { return m_arrRects[m_nBegin].bottom; }
    std::span<const Rect> Rects() const { return {m_arrRects.data() + m_nBegin, m_nEnd - m_nBegin}; }

    void Next()
    {
        m_nBegin = m_nEnd;
        FindEnd();
    }

    // Moves past every band that ends at or above y.
    void SkipEndingBy(int y)
    {
        while (!IsDone() && Bottom() <= y)
            Next();
    }

private:
    void FindEnd()
    {
        m_nEnd = m_nBegin;
        while (m_nEnd < m_arrRects.size() && m_arrRects[m_nEnd].top == m_arrRects[m_nBegin].top)
            ++m_nEnd;
    }

    const std::vector<Rect>& m_arrRects;
    size_t m_nBegin = 0;
    size_t m_nEnd = 0;
};

bool Apply(RegionOp op, bool bInA, bool bInB)
{
    switch (op) {
    case RegionOp::And:
        return bInA && bInB;
    case RegionOp::Or:
        return bInA || bInB;
    case RegionOp::Xor:
        return bInA != bInB;
    case RegionOp::Diff:
        return bInA && !bInB;
    }
    return false;
}

// Merges the runs of two bands edge by edge, in one pass: a run of the result starts where the
// operation turns true and ends where it turns false. Runs that touch come out as one.
void CombineRuns(std::span<const Rect> a, std::span<const Rect> b, RegionOp op, std::vector<Span>& arrOut)
{
    arrOut.clear();
    size_t i = 0;
    size_t j = 0;
    bool bInA = false;
    bool bInB = false;
    int nStart = 0;
    while (i < a.size() || j < b.size()) {
        const int xa = i < a.size() ? (bInA ? a[i].right : a[i].left) : INT_MAX;
        const int xb = j < b.size() ? (bInB ? b[j].right : b[j].left) : INT_MAX;
        const int x = std::min(xa, xb);
        const bool bBefore = Apply(op, bInA, bInB);
        // INT_MAX stands for "no more edges" but is also a real right edge: only a list that still
        // has edges moves on.
        if (i < a.size() && xa == x) {
            bInA = !bInA;
            if (!bInA)
                ++i;
        }
        if (j < b.size() && xb == x) {
            bInB = !bInB;
            if (!bInB)
                ++j;
        }
        const bool bAfter = Apply(op, bInA, bInB);
        if (!bBefore && bAfter)
            nStart = x;
        else if (bBefore && !bAfter)
            arrOut.push_back({nStart, x});
    }
}

} // namespace

// Appends bands top to bottom and merges a band into the one above when they meet and have the
// same runs, which keeps the form unique.
class Region::Builder
{
public:
    void AddBand(int nTop, int nBottom, std::span<const Span> arrRuns)
    {
        if (arrRuns.empty() || nBottom <= nTop)
            return;
        if (CanExtendLast(nTop, arrRuns)) {
            for (size_t i = m_nLastBand; i < m_region.m_arrRects.size(); ++i)
                m_region.m_arrRects[i].bottom = nBottom;
            return;
        }
        m_nLastBand = m_region.m_arrRects.size();
        for (const Span& run : arrRuns)
            m_region.m_arrRects.push_back({run.left, nTop, run.right, nBottom});
    }

    Region Finish()
    {
        std::vector<Rect>& arrRects = m_region.m_arrRects;
        if (!arrRects.empty()) {
            Rect rcBox{INT_MAX, arrRects.front().top, INT_MIN, arrRects.back().bottom};
            for (const Rect& rc : arrRects) {
                rcBox.left = std::min(rcBox.left, rc.left);
                rcBox.right = std::max(rcBox.right, rc.right);
            }
            m_region.m_rcBox = rcBox;
        }
        return std::move(m_region);
    }

private:
    bool CanExtendLast(int nTop, std::span<const Span> arrRuns) const
    {
        const std::vector<Rect>& arrRects = m_region.m_arrRects;
        if (arrRects.empty() || arrRects.back().bottom != nTop ||
            arrRects.size() - m_nLastBand != arrRuns.size())
            return false;
        for (size_t i = 0; i < arrRuns.size(); ++i) {
            const Rect& rc = arrRects[m_nLastBand + i];
            if (rc.left != arrRuns[i].left || rc.right != arrRuns[i].right)
                return false;
        }
        return true;
    }

    Region m_region;
    size_t m_nLastBand = 0;
};

Region::Region(const Rect& rc)
{
    if (rc.IsEmpty())
        return;
    m_arrRects.push_back(rc);
    m_rcBox = rc;
}

Region Region::FromRects(std::span<const Rect> arrRects)
{
    std::vector<Rect> arrSorted;
    arrSorted.reserve(arrRects.size());
    std::vector<int> arrEdges;
    arrEdges.reserve(arrRects.size() * 2);
    for (const Rect& rc : arrRects) {
        if (rc.IsEmpty())
            continue;
        arrSorted.push_back(rc);
        arrEdges.push_back(rc.top);
        arrEdges.push_back(rc.bottom);
    }
    std::sort(arrSorted.begin(), arrSorted.end(), [](const Rect& a, const Rect& b) { return a.top < b.top; });
    std::sort(arrEdges.begin(), arrEdges.end());
    arrEdges.erase(std::unique(arrEdges.begin(), arrEdges.end()), arrEdges.end());

    // Between two consecutive edges the set of rectangles that cover a row does not change, so
    // each such stretch is one band: the merged runs of the rectangles active there.
    Builder builder;
    std::vector<Rect> arrActive;
    std::vector<Span> arrRuns;
    size_t nNext = 0;
    for (size_t k = 0; k + 1 < arrEdges.size(); ++k) {
        const int y = arrEdges[k];
        std::erase_if(arrActive, [y](const Rect& rc) { return rc.bottom <= y; });
        while (nNext < arrSorted.size() && arrSorted[nNext].top <= y)
            arrActive.push_back(arrSorted[nNext++]);
        if (arrActive.empty())
            continue;
        arrRuns.clear();
        for (const Rect& rc : arrActive)
            arrRuns.push_back({rc.left, rc.right});
        std::sort(arrRuns.begin(), arrRuns.end(),
                  [](const Span& a, const Span& b) { return a.left < b.left; });
        size_t nOut = 0;
        for (size_t i = 1; i < arrRuns.size(); ++i) {
            if (arrRuns[i].left <= arrRuns[nOut].right)
                arrRuns[nOut].right = std::max(arrRuns[nOut].right, arrRuns[i].right);
            else
                arrRuns[++nOut] = arrRuns[i];
        }
        arrRuns.resize(nOut + 1);
        builder.AddBand(y, arrEdges[k + 1], arrRuns);
    }
    return builder.Finish();
}

Region Region::Combine(const Region& a, const Region& b, RegionOp op)
{
    Builder builder;
    BandCursor bandA(a.m_arrRects);
    BandCursor bandB(b.m_arrRects);
    std::vector<Span> arrRuns;
    int y = INT_MIN;
    for (;;) {
        bandA.SkipEndingBy(y);
        bandB.SkipEndingBy(y);
        if (bandA.IsDone() && bandB.IsDone())
            break;
        const bool bInA = !bandA.IsDone() && bandA.Top() <= y;
        const bool bInB = !bandB.IsDone() && bandB.Top() <= y;
        if (!bInA && !bInB) {
            // A gap above both next bands: jump to the first of them.
            y = std::min(bandA.IsDone() ? INT_MAX : bandA.Top(), bandB.IsDone() ? INT_MAX : bandB.Top());
            continue;
        }
        int yNext = INT_MAX;
        if (!bandA.IsDone())
            yNext = std::min(yNext, bInA ? bandA.Bottom() : bandA.Top());
        if (!bandB.IsDone())
            yNext = std::min(yNext, bInB ? bandB.Bottom() : bandB.Top());
        CombineRuns(bInA ? bandA.Rects() : std::span<const Rect>{},
                    bInB ? bandB.Rects() : std::span<const Rect>{}, op, arrRuns);
        builder.AddBand(y, yNext, arrRuns);
        y = yNext;
    }
    return builder.Finish();
}

void Region::Offset(int dx, int dy)
{
    if (IsEmpty())
        return;
    for (Rect& rc : m_arrRects)
        rc.Offset(dx, dy);
    m_rcBox.Offset(dx, dy);
}

bool Region::Contains(int x, int y) const
{
    if (!m_rcBox.Contains(x, y))
        return false;
    // Bottoms never decrease from band to band, so the band holding row y starts at the first
    // rectangle that ends below it.
    auto itBand = std::upper_bound(m_arrRects.begin(), m_arrRects.end(), y,
                                   [](int nRow, const Rect& rc) { return nRow < rc.bottom; });
    if (itBand == m_arrRects.end() || itBand->top > y)
        return false;
    const int nTop = itBand->top;
    auto itBandEnd =
        std::find_if(itBand, m_arrRects.end(), [nTop](const Rect& rc) { return rc.top != nTop; });
    auto itRun =
        std::upper_bound(itBand, itBandEnd, x, [](int nCol, const Rect& rc) { return nCol < rc.right; });
    return itRun != itBandEnd && itRun->left <= x;
}

} // namespace platform
