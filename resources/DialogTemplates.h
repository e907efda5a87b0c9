#pragma once

// The dialog templates compiled into the launcher, by resource id.

#include "platform/window/DialogTemplate.h"

#include <cstdint>

namespace resources {

inline constexpr uint32_t IDD_LAUNCHER_DIALOG = 102; // the main window
inline constexpr uint32_t IDD_PAGE_ONE = 129;        // the game page
inline constexpr uint32_t IDD_PAGE_TWO = 130;        // the games list page
inline constexpr uint32_t IDD_UNINSTALL = 184;       // the removal question
inline constexpr uint32_t IDD_UPDATE = 204;          // the launcher update progress
inline constexpr uint32_t IDD_EXCEPTION = 205;       // the error report

// Style bits the templates carry beyond those the platform names, with their classic values.
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_SYSMENU = 0x00080000;
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t DS_MODALFRAME = 0x00000080;
inline constexpr uint32_t ES_AUTOHSCROLL = 0x00000080;
inline constexpr uint32_t SS_NOTIFY = 0x00000100;
inline constexpr uint32_t LVS_REPORT = 0x00000001;
inline constexpr uint32_t LVS_ALIGNLEFT = 0x00000800;
inline constexpr uint32_t LVS_NOSCROLL = 0x00002000;
inline constexpr uint32_t LVS_NOCOLUMNHEADER = 0x00004000;

// The template with that id; null when there is none.
const platform::DialogTemplate* FindDialogTemplate(uint32_t nId);

} // namespace resources
