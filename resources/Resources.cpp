#include "resources/Resources.h"

#include "resources/SkinData.h"

#include <algorithm>
#include <cctype>

namespace resources {

namespace {

// Resource type names compare without regard to case, as resource compilers treat them.
bool SameType(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

std::span<const uint8_t> FindResource(uint32_t nId, std::string_view strType)
{
    for (const SkinResource& resource : GetSkinResources()) {
        if (resource.nId == nId && SameType(resource.strType, strType))
            return {resource.pBegin, static_cast<size_t>(resource.pEnd - resource.pBegin)};
    }
    return {};
}

} // namespace resources
