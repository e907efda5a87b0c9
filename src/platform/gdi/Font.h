#pragma once

// A font as the drawing calls use it: a face found through fontconfig at one pixel size, with
// its metrics and its rendered glyphs.
//
// The description follows the classic logical font. nHeight < 0 asks for a character height of
// -nHeight pixels (the em, without internal leading); nHeight > 0 for a cell height (ascent plus
// descent); 0 for the default GUI size. nWidth 0 keeps the face's proportions, any other value is
// the wanted average character width and scales glyphs horizontally. nWeight 400 is normal and
// 700 bold: a bold face is used when the machine has one, otherwise the outlines are emboldened.
// nCharSet 204 (Cyrillic) makes sure the face covers Cyrillic.
//
// The face name goes through fontconfig with a few fallbacks for the names Windows programs ask
// for ("Verdana", "Arial", "MS Shell Dlg"); an unknown name ends at sans-serif, so Create only
// returns a null font on a machine without any usable font.
//
// Thread rules: a Font is immutable and cheap to copy (it shares its data). Any thread may use any
// Font at any time. Faces and glyphs live in one process-wide cache guarded by its own lock; glyph
// lookups take it briefly, and a glyph once returned stays valid and unchanged while any copy of
// the Font that returned it exists.

#include "platform/gdi/Geometry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

inline constexpr int kFontWeightNormal = 400;
inline constexpr int kFontWeightBold = 700;
inline constexpr uint8_t kAnsiCharSet = 0;
inline constexpr uint8_t kDefaultCharSet = 1;
inline constexpr uint8_t kRussianCharSet = 204;

struct FontDescription
{
    std::wstring strFace;
    int nHeight = 0;
    int nWidth = 0;
    int nWeight = kFontWeightNormal; // 0 counts as normal
    bool bItalic = false;
    bool bUnderline = false;
    uint8_t nCharSet = kDefaultCharSet;
};

// The metrics of a font in pixels; nHeight = nAscent + nDescent, and the em (the character
// height) is nHeight - nInternalLeading.
struct TextMetrics
{
    int nHeight = 0;
    int nAscent = 0;
    int nDescent = 0;
    int nInternalLeading = 0;
    int nExternalLeading = 0;
    int nAveCharWidth = 0;
    int nMaxCharWidth = 0;
    int nWeight = 0;
    bool bItalic = false;
    bool bUnderlined = false;
    uint8_t nCharSet = 0;
};

// One rendered glyph: 8-bit coverage, nWidth x nHeight, placed nLeft pixels right of the pen and
// with its top row nTop pixels above the baseline.
struct Glyph
{
    int nLeft = 0;
    int nTop = 0;
    int nWidth = 0;
    int nHeight = 0;
    int nAdvance = 0;
    std::vector<uint8_t> arrCoverage;
};

class Font
{
public:
    // Used when the description says nothing of the size.
    static constexpr int kDefaultCharHeight = 11;

    // A null font: text in it measures zero wide and draws nothing.
    Font() = default;

    static Font Create(const FontDescription& desc);
    // The default GUI font: "MS Shell Dlg" at the default size.
    static const Font& GetDefault();

    bool IsNull() const { return m_data == nullptr; }
    const FontDescription& GetDescription() const;
    const TextMetrics& GetMetrics() const;
    // The face file (UTF-8 path) and family fontconfig chose; empty for a null font.
    std::string GetFilePath() const;
    std::string GetFamily() const;
    // True when the face has a glyph of its own for ch (not the missing-glyph box).
    bool HasGlyph(wchar_t ch) const;

    // The distance from the baseline to the underline's top row, and its thickness.
    int GetUnderlineOffset() const;
    int GetUnderlineThickness() const;

    // The sum of the characters' advances.
    int GetTextWidth(std::wstring_view text) const;
    // The glyphs of text, one per character, into arrGlyphs (its storage is reused). The cache is
    // locked once for the whole run.
    void GetGlyphs(std::wstring_view text, std::vector<const Glyph*>& arrGlyphs) const;

    // Fonts are equal when they share their data (copies of one Create).
    friend bool operator==(const Font& a, const Font& b) { return a.m_data == b.m_data; }

private:
    struct Data;
    explicit Font(std::shared_ptr<const Data> data) : m_data(std::move(data)) {}

    std::shared_ptr<const Data> m_data;
};

} // namespace platform
