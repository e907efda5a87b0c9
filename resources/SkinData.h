#pragma once

// The skin's pictures as the build links them in: a table that the skin generator writes along
// with the pictures (see Skin.cmake). FindResource looks things up here.

#include "resources/Resources.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace resources {

struct SkinResource
{
    uint32_t nId;
    std::string_view strType; // kTypeGif, kTypeBitmap or kTypeIcon
    const uint8_t* pBegin;
    const uint8_t* pEnd;
};

// Every picture of the skin, in id order.
std::span<const SkinResource> GetSkinResources();

} // namespace resources
