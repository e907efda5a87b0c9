#pragma once

// One face at one pixel size: its metrics and the glyphs rendered so far. Instances are made,
// shared and destroyed only by the FontCache; Font holds one for its lifetime.
//
// Thread rules: the metrics are fixed at creation and may be read from any thread. GetGlyph and
// HasGlyph touch the FreeType face, which the instance shares with other sizes, so the caller
// holds the font cache's lock. A Glyph returned stays valid and unchanged while the instance
// lives; reading it needs no lock.

#include "platform/gdi/Font.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct FT_FaceRec_;
struct FT_SizeRec_;

namespace platform {

// What fontconfig chose for a description, and what must be synthesised because the face lacks it.
struct FaceChoice
{
    std::string strFile;
    int nIndex = 0;
    std::string strFamily;
    bool bEmbolden = false; // bold asked for, the face is not
    bool bOblique = false;  // italic asked for, the face is upright
};

class FontInstance
{
public:
    // Sizes the face for desc; null when FreeType refuses (a face without outlines, say).
    static std::unique_ptr<FontInstance> Create(FT_FaceRec_* pFace, const FaceChoice& choice,
                                                const FontDescription& desc);
    ~FontInstance();
    FontInstance(const FontInstance&) = delete;
    FontInstance& operator=(const FontInstance&) = delete;

    const FaceChoice& GetChoice() const { return m_choice; }
    // The size-dependent metrics; the weight, italic, underline and character set fields are left
    // for Font to fill from the description.
    const TextMetrics& GetMetrics() const { return m_metrics; }
    int GetUnderlineOffset() const { return m_nUnderlineOffset; }
    int GetUnderlineThickness() const { return m_nUnderlineThickness; }

    // The caller holds the font cache's lock.
    const Glyph& GetGlyph(char32_t ch);
    bool HasGlyph(char32_t ch) const;

private:
    FontInstance(FT_FaceRec_* pFace, FT_SizeRec_* pSize, const FaceChoice& choice);

    void ComputeMetrics(int nEm, int nEmX);
    Glyph Render(char32_t ch) const;

    // Glyphs of the first code points (Latin, Greek, Cyrillic) sit in a table, the rest in a map.
    static constexpr char32_t kTableSize = 0x500;

    FT_FaceRec_* m_pFace;
    FT_SizeRec_* m_pSize;
    FaceChoice m_choice;
    TextMetrics m_metrics;
    int m_nUnderlineOffset = 1;
    int m_nUnderlineThickness = 1;
    long m_nEmboldenStrength = 0; // 26.6 pixels
    std::vector<std::unique_ptr<Glyph>> m_arrTable;
    std::unordered_map<char32_t, std::unique_ptr<Glyph>> m_mapOther;
};

} // namespace platform
