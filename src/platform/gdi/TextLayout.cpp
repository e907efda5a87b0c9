#include "platform/gdi/TextLayout.h"

#include "platform/gdi/Canvas.h"

#include <algorithm>

namespace platform {

namespace {

constexpr std::wstring_view kEllipsis = L"...";

bool IsSpace(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

} // namespace

void TextLayout::Build(const Font& font, std::wstring_view text, unsigned nFormat, int nBoxWidth)
{
    m_pFont = &font;
    m_strOut.clear();
    m_arrLines.clear();
    m_nWidth = 0;
    RemovePrefixes(text, (nFormat & DT_NOPREFIX) == 0);

    font.GetGlyphs(m_strText, m_arrGlyphs);
    m_arrOffsets.resize(m_strText.size() + 1);
    m_arrOffsets[0] = 0;
    for (size_t i = 0; i < m_arrGlyphs.size(); ++i)
        m_arrOffsets[i + 1] = m_arrOffsets[i] + m_arrGlyphs[i]->nAdvance;

    const size_t nSize = m_strText.size();
    if ((nFormat & DT_SINGLELINE) != 0) {
        // Line break characters stay in the text; they have no glyph and take no room.
        if (nSize > 0)
            AddLine(0, nSize);
    } else {
        const bool bWrap = (nFormat & DT_WORDBREAK) != 0;
        size_t nStart = 0;
        for (size_t i = 0; i < nSize; ++i) {
            const wchar_t ch = m_strText[i];
            if (ch != L'\n' && ch != L'\r')
                continue;
            BreakHardLine(nStart, i, bWrap, nBoxWidth);
            if (ch == L'\r' && i + 1 < nSize && m_strText[i + 1] == L'\n')
                ++i;
            nStart = i + 1;
        }
        // A break at the very end does not start another line.
        if (nStart < nSize)
            BreakHardLine(nStart, nSize, bWrap, nBoxWidth);
    }

    // The lines are ranges of m_strText so far; now they become the output text.
    const bool bEllipsis = (nFormat & DT_END_ELLIPSIS) != 0;
    for (Line& line : m_arrLines) {
        for (size_t i = line.nBegin; i < line.nEnd; ++i) {
            if (m_arrUnderline[i]) {
                line.nUnderlined = static_cast<int>(i - line.nBegin);
                break;
            }
        }
        if (bEllipsis && line.nWidth > nBoxWidth) {
            EndWithEllipsis(line, nBoxWidth);
        } else {
            const size_t nOutBegin = m_strOut.size();
            m_strOut.append(m_strText, line.nBegin, line.nEnd - line.nBegin);
            line.nBegin = nOutBegin;
            line.nEnd = m_strOut.size();
        }
        m_nWidth = std::max(m_nWidth, line.nWidth);
    }
}

void TextLayout::RemovePrefixes(std::wstring_view text, bool bPrefixes)
{
    m_strText.clear();
    m_arrUnderline.clear();
    m_strText.reserve(text.size());
    m_arrUnderline.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (bPrefixes && text[i] == L'&') {
            // "&x" underlines x, "&&" is one '&', and a lone '&' at the end is dropped.
            if (++i < text.size()) {
                m_strText.push_back(text[i]);
                m_arrUnderline.push_back(text[i] != L'&');
            }
            continue;
        }
        m_strText.push_back(text[i]);
        m_arrUnderline.push_back(false);
    }
}

// Greedy wrapping: words go on the line while they fit; the spaces where a line breaks are
// dropped. A word wider than the box gets a line of its own and is not broken.
void TextLayout::BreakHardLine(size_t nBegin, size_t nEnd, bool bWrap, int nBoxWidth)
{
    if (!bWrap) {
        AddLine(nBegin, nEnd);
        return;
    }
    size_t nLineStart = nBegin;
    size_t nLastWordEnd = nBegin;
    bool bHasWord = false;
    size_t i = nBegin;
    for (;;) {
        size_t nWordStart = i;
        while (nWordStart < nEnd && IsSpace(m_strText[nWordStart]))
            ++nWordStart;
        size_t nWordEnd = nWordStart;
        while (nWordEnd < nEnd && !IsSpace(m_strText[nWordEnd]))
            ++nWordEnd;
        if (nWordStart == nEnd) {
            AddLine(nLineStart, bHasWord ? nLastWordEnd : nEnd);
            return;
        }
        if (bHasWord && WidthOf(nLineStart, nWordEnd) > nBoxWidth) {
            AddLine(nLineStart, nLastWordEnd);
            nLineStart = nWordStart;
        }
        bHasWord = true;
        nLastWordEnd = nWordEnd;
        i = nWordEnd;
    }
}

void TextLayout::AddLine(size_t nBegin, size_t nEnd)
{
    m_arrLines.push_back({nBegin, nEnd, WidthOf(nBegin, nEnd), -1});
}

// Keeps as many characters as fit together with the ellipsis; when not even the ellipsis fits,
// it is all that is left.
void TextLayout::EndWithEllipsis(Line& line, int nBoxWidth)
{
    const int nEllipsisWidth = m_pFont->GetTextWidth(kEllipsis);
    size_t nKeep = line.nEnd;
    while (nKeep > line.nBegin && WidthOf(line.nBegin, nKeep) + nEllipsisWidth > nBoxWidth)
        --nKeep;
    if (line.nUnderlined >= 0 && line.nBegin + static_cast<size_t>(line.nUnderlined) >= nKeep)
        line.nUnderlined = -1;
    const size_t nOutBegin = m_strOut.size();
    m_strOut.append(m_strText, line.nBegin, nKeep - line.nBegin);
    m_strOut.append(kEllipsis);
    line.nWidth = WidthOf(line.nBegin, nKeep) + nEllipsisWidth;
    line.nBegin = nOutBegin;
    line.nEnd = m_strOut.size();
}

} // namespace platform
