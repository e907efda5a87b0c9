#include "platform/gdi/FontInstance.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// Larger sizes are drawn at this em: nobody reads text that big, and the limit keeps a glyph
// bitmap from a hostile size small.
constexpr int kMaxEm = 1024;

// A slant of about 11 degrees (16.16 fixed point) for italic text in a face without an italic.
constexpr FT_Fixed kObliqueShear = 0x3800;

// Slight hinting (vertical only) keeps stems crisp without distorting the shapes; whole-pixel
// advances come with it, as the classic canvas measures text.
FT_Int32 LoadFlags()
{
    return FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT;
}

// The font's vertical and width figures in font units, as the classic metrics use them: the
// Windows ascent and descent from the OS/2 table (they enclose every glyph), else hhea's.
struct FaceUnits
{
    long nUnitsPerEm = 0;
    long nAscent = 0;
    long nDescent = 0;
    long nLineGap = 0;
    long nAveCharWidth = 0;
};

FaceUnits ReadUnits(FT_Face pFace)
{
    FaceUnits units;
    units.nUnitsPerEm = pFace->units_per_EM;
    units.nAscent = pFace->ascender;
    units.nDescent = -pFace->descender;
    units.nAveCharWidth = pFace->max_advance_width / 2;
    const long nHheaHeight = pFace->ascender - pFace->descender;
    long nLineGap = pFace->height - nHheaHeight;
    const auto* pOs2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(pFace, FT_SFNT_OS2));
    if (pOs2 != nullptr && pOs2->version != 0xFFFF) {
        if (pOs2->usWinAscent + pOs2->usWinDescent > 0) {
            units.nAscent = pOs2->usWinAscent;
            units.nDescent = pOs2->usWinDescent;
        }
        if (pOs2->xAvgCharWidth > 0)
            units.nAveCharWidth = pOs2->xAvgCharWidth;
    }
    // External leading is the line gap left over once the Windows cell is taken.
    units.nLineGap = std::max(0L, nLineGap - ((units.nAscent + units.nDescent) - nHheaHeight));
    if (units.nAscent + units.nDescent <= 0) {
        units.nAscent = units.nUnitsPerEm * 4 / 5;
        units.nDescent = units.nUnitsPerEm / 5;
    }
    if (units.nAveCharWidth <= 0)
        units.nAveCharWidth = units.nUnitsPerEm / 2;
    return units;
}

int Scale(long nUnits, int nPixelsPerEm, long nUnitsPerEm)
{
    return static_cast<int>(
        std::lround(static_cast<double>(nUnits) * nPixelsPerEm / static_cast<double>(nUnitsPerEm)));
}

int ClampEm(double dEm)
{
    return static_cast<int>(std::clamp(std::lround(dEm), 1L, static_cast<long>(kMaxEm)));
}

// The em for a height: a negative height is the em itself, a positive one the whole cell.
int EmFromHeight(int nHeight, const FaceUnits& units)
{
    if (nHeight < 0)
        return ClampEm(-static_cast<double>(nHeight));
    if (nHeight > 0)
        return ClampEm(static_cast<double>(nHeight) * static_cast<double>(units.nUnitsPerEm) /
                       static_cast<double>(units.nAscent + units.nDescent));
    return Font::kDefaultCharHeight;
}

} // namespace

FontInstance::FontInstance(FT_Face pFace, FT_Size pSize, const FaceChoice& choice)
    : m_pFace(pFace), m_pSize(pSize), m_choice(choice)
{
}

FontInstance::~FontInstance()
{
    if (m_pSize != nullptr)
        FT_Done_Size(m_pSize);
}

std::unique_ptr<FontInstance> FontInstance::Create(FT_Face pFace, const FaceChoice& choice,
                                                   const FontDescription& desc)
{
    if (pFace == nullptr || !FT_IS_SCALABLE(pFace) || pFace->units_per_EM == 0)
        return nullptr;
    const FaceUnits units = ReadUnits(pFace);
    const int nEm = EmFromHeight(desc.nHeight, units);
    int nEmX = nEm;
    if (desc.nWidth != 0) {
        // The average width scales with the horizontal em alone.
        nEmX = ClampEm(std::abs(static_cast<double>(desc.nWidth)) * static_cast<double>(units.nUnitsPerEm) /
                       static_cast<double>(units.nAveCharWidth));
    }

    FT_Size pSize = nullptr;
    if (FT_New_Size(pFace, &pSize) != 0)
        return nullptr;
    std::unique_ptr<FontInstance> instance(new FontInstance(pFace, pSize, choice));
    if (FT_Activate_Size(pSize) != 0 || FT_Set_Char_Size(pFace, nEmX * 64, nEm * 64, 72, 72) != 0)
        return nullptr;

    TextMetrics& metrics = instance->m_metrics;
    metrics.nAscent = Scale(units.nAscent, nEm, units.nUnitsPerEm);
    metrics.nDescent = Scale(units.nDescent, nEm, units.nUnitsPerEm);
    metrics.nHeight = metrics.nAscent + metrics.nDescent;
    metrics.nInternalLeading = std::max(0, metrics.nHeight - nEm);
    metrics.nExternalLeading = Scale(units.nLineGap, nEm, units.nUnitsPerEm);
    metrics.nAveCharWidth = std::max(1, Scale(units.nAveCharWidth, nEmX, units.nUnitsPerEm));
    metrics.nMaxCharWidth = std::max(1, Scale(pFace->max_advance_width, nEmX, units.nUnitsPerEm));
    if (choice.bEmbolden) {
        // The same strength FreeType's own emboldening uses, but at least half a pixel.
        instance->m_nEmboldenStrength = std::max(32L, static_cast<long>(nEm) * 64 / 24);
        const int nExtra = static_cast<int>((instance->m_nEmboldenStrength + 32) >> 6);
        metrics.nAveCharWidth += nExtra;
        metrics.nMaxCharWidth += nExtra;
    }

    // The underline sits where the face says, but always below the baseline and inside the cell.
    const int nThickness = std::max(1, Scale(pFace->underline_thickness, nEm, units.nUnitsPerEm));
    const int nCentre = Scale(-pFace->underline_position, nEm, units.nUnitsPerEm);
    instance->m_nUnderlineThickness = nThickness;
    instance->m_nUnderlineOffset =
        std::clamp(nCentre - nThickness / 2, 1, std::max(1, metrics.nDescent - nThickness));

    instance->m_arrTable.resize(kTableSize);
    return instance;
}

const Glyph& FontInstance::GetGlyph(char32_t ch)
{
    std::unique_ptr<Glyph>& slot = ch < kTableSize ? m_arrTable[ch] : m_mapOther[ch];
    if (!slot)
        slot = std::make_unique<Glyph>(Render(ch));
    return *slot;
}

bool FontInstance::HasGlyph(char32_t ch) const
{
    return FT_Get_Char_Index(m_pFace, ch) != 0;
}

Glyph FontInstance::Render(char32_t ch) const
{
    Glyph glyph;
    // Control characters take no room; the text layout deals with line breaks itself.
    if (ch < 0x20 || ch == 0x7F)
        return glyph;

    FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
    if (FT_Activate_Size(m_pSize) != 0)
        return glyph;
    FT_Set_Transform(m_pFace, m_choice.bOblique ? &shear : nullptr, nullptr);
    const FT_UInt nIndex = FT_Get_Char_Index(m_pFace, ch);
    if (FT_Load_Glyph(m_pFace, nIndex, LoadFlags()) != 0)
        return glyph;
    FT_GlyphSlot pSlot = m_pFace->glyph;
    FT_Pos nAdvance = pSlot->advance.x;
    if (m_choice.bEmbolden && pSlot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_Outline_Embolden(&pSlot->outline, m_nEmboldenStrength);
        nAdvance += m_nEmboldenStrength;
    }
    glyph.nAdvance = static_cast<int>((nAdvance + 32) >> 6);
    if (FT_Render_Glyph(pSlot, FT_RENDER_MODE_NORMAL) != 0)
        return glyph;

    const FT_Bitmap& bitmap = pSlot->bitmap;
    if (bitmap.pixel_mode != static_cast<unsigned char>(FT_PIXEL_MODE_GRAY) || bitmap.buffer == nullptr)
        return glyph;
    glyph.nLeft = pSlot->bitmap_left;
    glyph.nTop = pSlot->bitmap_top;
    glyph.nWidth = static_cast<int>(bitmap.width);
    glyph.nHeight = static_cast<int>(bitmap.rows);
    glyph.arrCoverage.resize(static_cast<size_t>(bitmap.width) * bitmap.rows);
    const size_t nPitch = static_cast<size_t>(std::abs(bitmap.pitch));
    for (unsigned y = 0; y < bitmap.rows; ++y) {
        // A negative pitch stores the rows bottom up.
        const unsigned nSourceRow = bitmap.pitch >= 0 ? y : bitmap.rows - 1 - y;
        std::memcpy(glyph.arrCoverage.data() + static_cast<size_t>(y) * bitmap.width,
                    bitmap.buffer + nSourceRow * nPitch, bitmap.width);
    }
    return glyph;
}

} // namespace platform
