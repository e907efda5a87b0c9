#include "platform/gdi/FontCache.h"

#include "platform/text/Text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace platform {

namespace {

// Faces that Windows programs name and Linux machines rarely have, with what stands in for them
// best. Whatever the name, sans-serif comes last, so an unknown face still finds a font.
struct FaceAlias
{
    const char* pszFace; // lower case
    const char* pszFallback1;
    const char* pszFallback2;
};

constexpr FaceAlias kAliases[] = {
    {"verdana", "DejaVu Sans", "Bitstream Vera Sans"},
    {"tahoma", "DejaVu Sans", "Bitstream Vera Sans"},
    {"arial", "Liberation Sans", "Arimo"},
    {"microsoft sans serif", "Liberation Sans", "Arimo"},
    {"times new roman", "Liberation Serif", "serif"},
    {"courier new", "Liberation Mono", "monospace"},
};

std::string AsciiLower(std::string str)
{
    std::transform(str.begin(), str.end(), str.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return str;
}

const FcChar8* FcText(const char* psz)
{
    return reinterpret_cast<const FcChar8*>(psz);
}

int NormalWeight(int nWeight)
{
    return nWeight <= 0 ? kFontWeightNormal : std::min(nWeight, 1000);
}

// True when the face can show the text its character set is meant for.
bool Covers(FcPattern* pFont, bool bCyrillic)
{
    FcCharSet* pCharSet = nullptr;
    if (FcPatternGetCharSet(pFont, FC_CHARSET, 0, &pCharSet) != FcResultMatch)
        return !bCyrillic;
    if (!FcCharSetHasChar(pCharSet, 'A') || !FcCharSetHasChar(pCharSet, 'a'))
        return false;
    return !bCyrillic || (FcCharSetHasChar(pCharSet, 0x0416) && FcCharSetHasChar(pCharSet, 0x044F));
}

struct PatternFree
{
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};

struct FontSetFree
{
    void operator()(FcFontSet* p) const { FcFontSetDestroy(p); }
};

} // namespace

FontCache& FontCache::Get()
{
    // Never destroyed: Fonts in static objects may be released after any destructor of ours ran.
    static FontCache* pCache = new FontCache();
    return *pCache;
}

FontCache::FontCache()
{
    if (FT_Init_FreeType(&m_pLibrary) != 0)
        m_pLibrary = nullptr;
    m_bFontconfig = FcInit() == FcTrue;
    // fontconfig keeps its configuration behind offsets rather than pointers, so a leak checker
    // sees it as lost unless it is released; nothing of it is needed once the process exits.
    if (m_bFontconfig)
        std::atexit(&FontCache::ReleaseFontconfig);
}

void FontCache::ReleaseFontconfig()
{
    FontCache& cache = Get();
    MutexLock lock(cache.m_mutex);
    if (cache.m_bFontconfig) {
        // Faces already chosen stay usable; new descriptions find no font from now on.
        FcFini();
        cache.m_bFontconfig = false;
    }
}

std::shared_ptr<FontInstance> FontCache::Open(const FontDescription& desc)
{
    MutexLock lock(m_mutex);
    if (m_pLibrary == nullptr)
        return nullptr;
    std::optional<FaceChoice> choice = Choose(desc);
    if (!choice)
        return nullptr;
    InstanceKey key{choice->strFile,  choice->nIndex, choice->bEmbolden,
                    choice->bOblique, desc.nHeight,   desc.nWidth};
    auto it = m_mapInstances.find(key);
    if (it != m_mapInstances.end())
        return it->second;
    std::shared_ptr<FontInstance> instance =
        FontInstance::Create(m_mapFaces[{choice->strFile, choice->nIndex}], *choice, desc);
    if (!instance)
        return nullptr;
    DropIdleInstances();
    m_mapInstances.emplace(std::move(key), instance);
    return instance;
}

std::optional<FaceChoice> FontCache::Choose(const FontDescription& desc)
{
    const std::string strFace = ToUtf8(desc.strFace);
    const int nWeight = NormalWeight(desc.nWeight);
    const bool bCyrillic = desc.nCharSet == kRussianCharSet;
    ChoiceKey key{AsciiLower(strFace), nWeight, desc.bItalic, bCyrillic};
    auto it = m_mapChoices.find(key);
    if (it != m_mapChoices.end())
        return it->second;
    std::optional<FaceChoice> choice = QueryFontconfig(strFace, nWeight, desc.bItalic, bCyrillic);
    if (choice)
        m_mapChoices.emplace(std::move(key), *choice);
    return choice;
}

std::optional<FaceChoice> FontCache::QueryFontconfig(const std::string& strFace, int nWeight, bool bItalic,
                                                     bool bCyrillic)
{
    if (!m_bFontconfig)
        return std::nullopt;
    std::unique_ptr<FcPattern, PatternFree> pattern(FcPatternCreate());
    if (!pattern)
        return std::nullopt;
    const std::string strLower = AsciiLower(strFace);
    if (!strFace.empty())
        FcPatternAddString(pattern.get(), FC_FAMILY, FcText(strFace.c_str()));
    for (const FaceAlias& alias : kAliases) {
        if (strLower == alias.pszFace) {
            FcPatternAddString(pattern.get(), FC_FAMILY, FcText(alias.pszFallback1));
            FcPatternAddString(pattern.get(), FC_FAMILY, FcText(alias.pszFallback2));
        }
    }
    FcPatternAddString(pattern.get(), FC_FAMILY, FcText("sans-serif"));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(nWeight));
    FcPatternAddInteger(pattern.get(), FC_SLANT, bItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    if (bCyrillic)
        FcPatternAddString(pattern.get(), FC_LANG, FcText("ru"));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());

    // The whole list in order of preference: the best match may be a file FreeType cannot open
    // or a face without the needed script, and then the next one serves.
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcFontSet, FontSetFree> fonts(
        FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result));
    if (!fonts)
        return std::nullopt;
    for (int i = 0; i < fonts->nfont; ++i) {
        FcPattern* pFont = fonts->fonts[i];
        FcChar8* pszFile = nullptr;
        FcBool bScalable = FcFalse;
        if (FcPatternGetString(pFont, FC_FILE, 0, &pszFile) != FcResultMatch ||
            (FcPatternGetBool(pFont, FC_SCALABLE, 0, &bScalable) == FcResultMatch && !bScalable) ||
            !Covers(pFont, bCyrillic))
            continue;
        FaceChoice choice;
        choice.strFile = reinterpret_cast<const char*>(pszFile);
        FcPatternGetInteger(pFont, FC_INDEX, 0, &choice.nIndex);
        FcChar8* pszFamily = nullptr;
        if (FcPatternGetString(pFont, FC_FAMILY, 0, &pszFamily) == FcResultMatch)
            choice.strFamily = reinterpret_cast<const char*>(pszFamily);
        int nFcWeight = FC_WEIGHT_REGULAR;
        FcPatternGetInteger(pFont, FC_WEIGHT, 0, &nFcWeight);
        int nSlant = FC_SLANT_ROMAN;
        FcPatternGetInteger(pFont, FC_SLANT, 0, &nSlant);
        choice.bEmbolden = nWeight >= 600 && nFcWeight < FC_WEIGHT_DEMIBOLD;
        choice.bOblique = bItalic && nSlant == FC_SLANT_ROMAN;
        if (OpenFace(choice.strFile, choice.nIndex) != nullptr)
            return choice;
    }
    return std::nullopt;
}

FT_Face FontCache::OpenFace(const std::string& strFile, int nIndex)
{
    auto [it, bInserted] = m_mapFaces.try_emplace({strFile, nIndex}, nullptr);
    if (bInserted) {
        FT_Face pFace = nullptr;
        if (FT_New_Face(m_pLibrary, strFile.c_str(), nIndex, &pFace) == 0) {
            if (FT_IS_SCALABLE(pFace) && pFace->units_per_EM != 0)
                it->second = pFace;
            else
                FT_Done_Face(pFace);
        }
    }
    return it->second;
}

void FontCache::DropIdleInstances()
{
    if (m_mapInstances.size() < kMaxIdleInstances)
        return;
    // The cache's own reference is the last one when no Font holds the instance.
    std::erase_if(m_mapInstances, [](const auto& entry) { return entry.second.use_count() == 1; });
}

} // namespace platform
