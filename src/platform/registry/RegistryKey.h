#pragma once

// A handle to one key of the store, read-only or read-write.
//
// Keys are addressed by backslash paths below a root ("SOFTWARE\Brevanto Launcher\12"); a
// trailing backslash is allowed, an empty path is the root itself, and names compare
// case-insensitively (ASCII) while keeping the case they were created with. Value names follow
// the same rule, and the empty name is the key's unnamed default value.
//
// The handle names its store file from the moment it was opened, like a handle on the platform:
// a later change of $BREVANTO_REGISTRY does not move it. A key deleted while a handle is open
// makes the handle's reads find nothing and its writes fail.
//
// Thread rules: one thread at a time may use a handle; a handle may be passed to another thread,
// which then works through its own connection. Threads and processes may hold handles to the same
// key and write it at once without losing a value.

#include "platform/registry/RegistryTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class RegistryStore;

class RegistryKey
{
public:
    // Opens an existing key; a missing key or store file fails, and nothing is created.
    static std::optional<RegistryKey> Open(RegistryRoot root, std::wstring_view strPath,
                                           RegistryAccess access, RegistryError* pError = nullptr);
    // Opens a key for reading and writing, creating it and its missing parents (and the store
    // file) first. With bAllAccess, keys that this call creates record full access for everyone,
    // which their future subkeys inherit; a key that already exists keeps what it has.
    static std::optional<RegistryKey> Create(RegistryRoot root, std::wstring_view strPath,
                                             bool bAllAccess = false, RegistryError* pError = nullptr);
    // Deletes a key with its subkeys and values. A root cannot be deleted.
    static bool Delete(RegistryRoot root, std::wstring_view strPath, RegistryError* pError = nullptr);

    bool IsWritable() const { return m_bWritable; }
    // True when the key was created with full access for everyone (or below such a key).
    bool HasAllAccess() const { return m_bAllAccess; }

    std::optional<RegistryValue> ReadValue(std::wstring_view strName);
    // Adds or replaces a value. Fails on a read-only handle.
    bool WriteValue(std::wstring_view strName, const RegistryValue& value);
    bool DeleteValue(std::wstring_view strName);

    // The subkey at nIndex in case-insensitive name order; nullopt past the last one. Index 0 takes
    // a snapshot of the names that later indexes read, so enumerating n subkeys costs one query.
    std::optional<std::wstring> EnumSubkey(uint32_t nIndex);
    // All subkey names in enumeration order.
    std::optional<std::vector<std::wstring>> GetSubkeyNames();
    // All values in the order they were first written.
    std::optional<std::vector<RegistryNamedValue>> GetValues();

    // Why the last operation on this handle failed (status Ok after a success).
    const RegistryError& GetLastError() const { return m_lastError; }

private:
    RegistryKey(std::wstring strFile, int64_t nId, bool bWritable, bool bAllAccess);
    // The checks before a value changes (writable key, valid name) and this thread's store;
    // null with m_lastError set when the change cannot be made.
    RegistryStore* StoreForValueChange(std::wstring_view strName);

    std::wstring m_strFile;
    int64_t m_nId = 0;
    bool m_bWritable = false;
    bool m_bAllAccess = false;
    std::vector<std::wstring> m_arrSubkeys; // the snapshot EnumSubkey reads
    bool m_bHasSnapshot = false;
    RegistryError m_lastError;
};

} // namespace platform
