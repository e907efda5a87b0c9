#pragma once

// The process-wide font cache: the FreeType library, every face file opened, the fontconfig
// choice for each description seen, and every sized face (FontInstance) in use.
//
// It is the only process-wide mutable state of the drawing code. FreeType objects are not safe to
// use from two threads at once, so everything here, including glyph rendering through a
// FontInstance, happens under the cache's one lock. The lock is never held across anything that
// blocks, only across fontconfig lookups and FreeType calls.
//
// Thread rules: Get() and Open() may be called from any thread. GetMutex() is the lock that
// FontInstance::GetGlyph and HasGlyph callers hold.
//
// The cache lives until the process ends and is never destroyed, so a Font kept in a static
// object can still be released safely while the process exits. Only fontconfig is shut down at
// exit; a description first seen after that gets a null font.

#include "platform/gdi/Font.h"
#include "platform/gdi/FontInstance.h"
#include "platform/thread/Thread.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

struct FT_LibraryRec_;

namespace platform {

class FontCache
{
public:
    static FontCache& Get();

    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    // The sized face for desc, shared with every other Font of the same face and size; null only
    // when no font on the machine can be opened.
    std::shared_ptr<FontInstance> Open(const FontDescription& desc);

    Mutex& GetMutex() { return m_mutex; }

private:
    // Instances beyond this many that no Font uses any more are let go.
    static constexpr size_t kMaxIdleInstances = 64;

    using ChoiceKey = std::tuple<std::string, int, bool, bool>; // face (lower case), weight, italic, Cyrillic
    using FaceKey = std::pair<std::string, int>;                // file, index
    using InstanceKey =
        std::tuple<std::string, int, bool, bool, int, int>; // file, index, bold, oblique, height, width

    FontCache();
    static void ReleaseFontconfig();

    std::optional<FaceChoice> Choose(const FontDescription& desc);
    std::optional<FaceChoice> QueryFontconfig(const std::string& strFace, int nWeight, bool bItalic,
                                              bool bCyrillic);
    FT_FaceRec_* OpenFace(const std::string& strFile, int nIndex);
    void DropIdleInstances();

    Mutex m_mutex;
    FT_LibraryRec_* m_pLibrary = nullptr;
    bool m_bFontconfig = false;
    std::map<ChoiceKey, FaceChoice> m_mapChoices;
    std::map<FaceKey, FT_FaceRec_*> m_mapFaces;
    std::map<InstanceKey, std::shared_ptr<FontInstance>> m_mapInstances;
};

} // namespace platform
