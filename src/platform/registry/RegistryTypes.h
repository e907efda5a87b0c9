#pragma once

// The vocabulary of the key/value store: roots, value kinds, access, results, and the byte form
// in which string values are kept.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class RegistryRoot
{
    LocalMachine, // HKEY_LOCAL_MACHINE
    CurrentUser,  // HKEY_CURRENT_USER
};

// The numbers are the platform's type codes (REG_SZ, REG_BINARY), so stored data and the
// command-line tool speak the same language.
enum class RegistryValueKind : uint32_t
{
    String = 1,
    Binary = 3,
};

enum class RegistryAccess
{
    Read, // writes through the handle fail
    ReadWrite,
};

enum class RegistryStatus
{
    Ok,
    NotFound,        // no such key or value, no store file yet, or no more subkeys
    AccessDenied,    // a write through a read-only handle, or deleting a root
    InvalidArgument, // a malformed key path or name
    StoreUnusable,   // the store file is not ours, not a database, damaged, locked or unreadable
};

// What went wrong, as a status for code and a sentence for people (the tool prints it).
struct RegistryError
{
    RegistryStatus status = RegistryStatus::Ok;
    std::wstring strText;
};

// A value as stored: its kind and its raw bytes. Reads do not check the kind, like the platform's.
struct RegistryValue
{
    RegistryValueKind kind = RegistryValueKind::Binary;
    std::string data;
};

struct RegistryNamedValue
{
    std::wstring strName; // "" is the key's unnamed default value
    RegistryValue value;
};

// REG_SZ bytes exactly as the platform keeps them: UTF-16LE with the terminating 0x0000, so a
// text of n UTF-16 units takes (n + 1) * 2 bytes.
std::string EncodeRegistryString(std::wstring_view text);

// The text of REG_SZ bytes up to the first terminator; a missing terminator ends the text at the
// end of the data and an odd last byte is ignored. Unpaired surrogates become U+FFFD.
std::wstring DecodeRegistryString(std::string_view data);

} // namespace platform
