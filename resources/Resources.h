#pragma once

// The pictures compiled into the launcher, found by id and type name like the platform's
// resources: "GIF" (GIF data, or bitmap-file data stored under that type), "BITMAP" (the window
// outlines) and "ICON".

#include <cstdint>
#include <span>
#include <string_view>

namespace resources {

inline constexpr std::string_view kTypeGif = "GIF";
inline constexpr std::string_view kTypeBitmap = "BITMAP";
inline constexpr std::string_view kTypeIcon = "ICON";

// The bytes of the resource; empty when there is none. The data lives as long as the program.
std::span<const uint8_t> FindResource(uint32_t nId, std::string_view strType);

} // namespace resources
