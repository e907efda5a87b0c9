#pragma once

// The dialog templates compiled into the launcher, by resource id.

#include "platform/window/DialogTemplate.h"

#include <cstdint>

namespace resources {

inline constexpr uint32_t IDD_LAUNCHER_DIALOG = 102;

// The template with that id; null when there is none.
const platform::DialogTemplate* FindDialogTemplate(uint32_t nId);

} // namespace resources
