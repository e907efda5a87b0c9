#pragma once

// Breaks text into lines the way DrawText lays it out, without drawing: prefix characters ('&'
// underlines the next character, "&&" stands for one '&'), line breaks at "\n", "\r\n" and "\r",
// word wrapping at spaces to a width, and an ellipsis at the end of lines that do not fit.
//
// Thread rules: a TextLayout is a scratch object for one thread.

#include "platform/gdi/Font.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform {

class TextLayout
{
public:
    struct Line
    {
        size_t nBegin = 0; // into GetText()
        size_t nEnd = 0;
        int nWidth = 0;
        int nUnderlined = -1; // index of the character under a prefix, from nBegin; -1 for none
    };

    // nFormat takes the DT_ flags; only DT_WORDBREAK, DT_SINGLELINE, DT_NOPREFIX and
    // DT_END_ELLIPSIS change the layout. nBoxWidth is the width lines wrap or end at.
    void Build(const Font& font, std::wstring_view text, unsigned nFormat, int nBoxWidth);

    // The text of all lines one after the other, prefixes removed and ellipses put in.
    const std::wstring& GetText() const { return m_strOut; }
    const std::vector<Line>& GetLines() const { return m_arrLines; }
    // The widest line.
    int GetWidth() const { return m_nWidth; }

private:
    void RemovePrefixes(std::wstring_view text, bool bPrefixes);
    void BreakHardLine(size_t nBegin, size_t nEnd, bool bWrap, int nBoxWidth);
    void AddLine(size_t nBegin, size_t nEnd);
    int WidthOf(size_t nBegin, size_t nEnd) const { return m_arrOffsets[nEnd] - m_arrOffsets[nBegin]; }
    void EndWithEllipsis(Line& line, int nBoxWidth);

    const Font* m_pFont = nullptr;
    std::wstring m_strText;           // the text without prefixes
    std::vector<bool> m_arrUnderline; // per character of m_strText
    std::vector<int> m_arrOffsets;    // pen position before each character, and after the last
    std::vector<const Glyph*> m_arrGlyphs;
    std::wstring m_strOut;
    std::vector<Line> m_arrLines;
    int m_nWidth = 0;
};

} // namespace platform
