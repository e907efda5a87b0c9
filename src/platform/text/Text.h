#pragma once

// Text inside the program is wide (std::wstring); every boundary (files, sockets, the store,
// argv, the environment) is UTF-8. These are the conversions between the two.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Wide text to UTF-8. Characters that are not valid code points become U+FFFD.
std::string ToUtf8(std::wstring_view text);

// UTF-8 to wide text. Malformed sequences become U+FFFD, one per bad byte; nothing is dropped
// silently and nothing is read past the input.
std::wstring FromUtf8(std::string_view text);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Windows-1251 (Cyrillic) bytes to wide text.
std::wstring FromWindows1251(std::string_view text);

// printf-style formatting into a wide string, with the C library's wide conventions: "%ls" takes
// a const wchar_t*, "%s" a narrow char*, "%d" an int.
std::wstring FormatW(const wchar_t* pszFormat, ...);

// ASCII case-insensitive comparison, as the store and the platform's file names compare.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// An environment variable as wide text; empty when unset.
std::wstring GetEnv(const char* pszName);

} // namespace platform
