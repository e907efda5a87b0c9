#pragma once

// The local date and time in the user's formats. The formats come from the locale that the
// environment names (LC_ALL, LC_TIME, LANG), read afresh on every call and never installed as the
// process's global locale; when that locale is not installed, the "C" formats are used.
// All functions are safe to call from any thread.

#include <ctime>
#include <string>
#include <string_view>

namespace platform {

// The current local time, broken down.
std::tm GetLocalTimeNow();

// The date in the user's short format, e.g. "12/31/26" in the C locale, "31.12.2026" in German.
std::wstring FormatShortDate(const std::tm& time);

// The time of day in the user's format, e.g. "23:59:58" or "11:59:58 PM"; without seconds the
// same format minus its seconds field ("23:59", "11:59 PM").
std::wstring FormatTime(const std::tm& time, bool bWithSeconds);

// A strftime time format without its seconds field and the separator or unit that belongs to it:
// "%H:%M:%S" -> "%H:%M", "%I:%M:%S %p" -> "%I:%M %p", "%Hh%Mm%Ss" -> "%Hh%Mm". "%T" counts as
// "%H:%M:%S"; the locale-dependent "%r" and "%X" must be expanded by the caller first.
std::string RemoveSecondsField(std::string_view strFormat);

} // namespace platform
