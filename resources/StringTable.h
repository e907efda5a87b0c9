#pragma once

// The launcher's string table: every text the windows show, by number.

#include <cstdint>
#include <string>

namespace resources {

// The text with that number; empty when the table has none.
std::wstring LoadString(uint32_t nId);

} // namespace resources
