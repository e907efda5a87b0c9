#pragma once

// One key of the registry: a root and a subkey path given at construction, opened by Create,
// CreateKeyAllPerm or Open, with typed reads and writes of single values.
//
// Every operation answers with a boolean (true on success) and logs nothing. Operations on a key
// that is not open, or failed to open, return false and change nothing, so callers may chain them
// without checking the open result. An empty value name addresses the key's default value.
//
// Value sizes, as the launcher's stored data expects them:
//   string   REG_SZ      written with its terminator; read when at most 2048 bytes (1023 characters)
//   4 bytes  REG_BINARY  little-endian; reads accept up to 4 bytes
//   1 byte   REG_BINARY  reads accept up to 1 byte
// Reads do not look at the stored kind, and a value larger than the read accepts fails.
//
// Thread rules: an object is used by one thread at a time. Threads that touch the same key each
// construct their own object; the store keeps their writes apart.

#include "platform/registry/RegistryKey.h"

#include <cstdint>
#include <optional>
#include <string>

class CGP_Registry
{
public:
    static constexpr size_t kMaxStringBytes = 2048;
    static constexpr size_t kMaxKeyNameChars = 1024;

    // Copies the path; the key stays closed.
    CGP_Registry(platform::RegistryRoot hRoot, const std::wstring& strPath);
    // Closes the key.
    virtual ~CGP_Registry();

    CGP_Registry(const CGP_Registry&) = delete;
    CGP_Registry& operator=(const CGP_Registry&) = delete;

    // Opens the key for reading and writing, creating it (and its parents) when missing.
    bool Create();
    // The same, but keys this call creates give full access to everyone, inherited by their
    // subkeys. A key that exists already is opened with the access it has.
    bool CreateKeyAllPerm();
    // Opens an existing key for reading only; every write through it fails.
    bool Open();
    // False when no key was open.
    bool Close();

    // The text up to its first terminator. strValue is untouched on failure.
    bool ReadString(const std::wstring& strName, std::wstring& strValue);
    // Fills the low bytes of the caller's preset variable with up to 4 stored bytes.
    bool ReadDword(const std::wstring& strName, uint32_t& nValue);
    // The same with 1 byte.
    bool ReadByte(const std::wstring& strName, uint8_t& nValue);

    bool WriteString(const std::wstring& strName, const std::wstring& strValue);
    bool WriteDword(const std::wstring& strName, uint32_t nValue);
    bool WriteByte(const std::wstring& strName, uint8_t nValue);

    // The name of the subkey at nIndex (case-insensitive name order); false past the last one.
    // Index 0 takes a snapshot of the names, so enumerate 0, 1, 2, ... in one go.
    bool EnumKey(uint32_t nIndex, std::wstring& strName);

private:
    bool OpenWith(std::optional<platform::RegistryKey> hKey);
    // Reads a value of at most nMaxBytes into the low bytes of nValue.
    bool ReadSmall(const std::wstring& strName, size_t nMaxBytes, uint32_t& nValue);
    bool WriteBinary(const std::wstring& strName, uint32_t nValue, size_t nBytes);

    platform::RegistryRoot m_hRoot;
    std::optional<platform::RegistryKey> m_hKey; // empty while closed
    std::wstring m_strPath;
};
