#include "platform/gdi/Font.h"

#include "platform/gdi/FontCache.h"

namespace platform {

struct Font::Data
{
    FontDescription desc;
    TextMetrics metrics;
    std::shared_ptr<FontInstance> instance;
};

namespace {

const FontDescription kNoDescription;
const TextMetrics kNoMetrics;

} // namespace

Font Font::Create(const FontDescription& desc)
{
    std::shared_ptr<FontInstance> instance = FontCache::Get().Open(desc);
    if (!instance)
        return {};
    auto data = std::make_shared<Data>();
    data->desc = desc;
    data->metrics = instance->GetMetrics();
    data->metrics.nWeight = desc.nWeight <= 0 ? kFontWeightNormal : desc.nWeight;
    data->metrics.bItalic = desc.bItalic;
    data->metrics.bUnderlined = desc.bUnderline;
    data->metrics.nCharSet = desc.nCharSet;
    data->instance = std::move(instance);
    return Font(std::move(data));
}

const Font& Font::GetDefault()
{
    // Made once; a Font is immutable, so sharing it between threads is safe.
    static const Font font = Create({.strFace = L"MS Shell Dlg"});
    return font;
}

const FontDescription& Font::GetDescription() const
{
    return m_data ? m_data->desc : kNoDescription;
}

const TextMetrics& Font::GetMetrics() const
{
    return m_data ? m_data->metrics : kNoMetrics;
}

std::string Font::GetFilePath() const
{
    return m_data ? m_data->instance->GetChoice().strFile : std::string();
}

std::string Font::GetFamily() const
{
    return m_data ? m_data->instance->GetChoice().strFamily : std::string();
}

int Font::GetUnderlineOffset() const
{
    return m_data ? m_data->instance->GetUnderlineOffset() : 0;
}

int Font::GetUnderlineThickness() const
{
    return m_data ? m_data->instance->GetUnderlineThickness() : 0;
}

bool Font::HasGlyph(wchar_t ch) const
{
    if (!m_data)
        return false;
    MutexLock lock(FontCache::Get().GetMutex());
    return m_data->instance->HasGlyph(static_cast<char32_t>(ch));
}

int Font::GetTextWidth(std::wstring_view text) const
{
    if (!m_data || text.empty())
        return 0;
    int nWidth = 0;
    MutexLock lock(FontCache::Get().GetMutex());
    for (wchar_t ch : text)
        nWidth += m_data->instance->GetGlyph(static_cast<char32_t>(ch)).nAdvance;
    return nWidth;
}

void Font::GetGlyphs(std::wstring_view text, std::vector<const Glyph*>& arrGlyphs) const
{
    arrGlyphs.clear();
    if (!m_data || text.empty())
        return;
    arrGlyphs.reserve(text.size());
    MutexLock lock(FontCache::Get().GetMutex());
    for (wchar_t ch : text)
        arrGlyphs.push_back(&m_data->instance->GetGlyph(static_cast<char32_t>(ch)));
}

} // namespace platform
