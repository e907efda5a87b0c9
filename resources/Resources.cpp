#include "resources/Resources.h"

namespace resources {

std::span<const uint8_t> FindResource(uint32_t, std::string_view)
{
    return {};
}

} // namespace resources
