#pragma once

// The publisher's server host, in its two forms. The bare domain goes into the absolute URIs
// sent to a proxy; the www form is connected to and named in every Host header.
//
// The value comes from $BREVANTO_SERVER_HOST, else the built-in default. A value that is not a
// plain host name (letters, digits, dots, hyphens) is ignored, because it goes into request
// lines and headers as it stands.
//
// Thread rules: any thread.

#include <string>

inline constexpr wchar_t kDefaultServerHost[] = L"brevanto.games";

std::wstring GetServerHost();
std::wstring GetServerWwwHost();
