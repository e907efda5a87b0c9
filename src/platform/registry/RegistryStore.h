#pragma once

// One SQLite connection to one store file, and every statement the store runs.
//
// The file holds a tree of keys below two roots. A key row has its parent, its name as it was
// given and that name folded to upper case; the folded name is the key's identity among its
// siblings and the order in which they are enumerated, because the platform compares key names
// case-insensitively and lists them in that order. Values belong to a key, are named the same
// way, and keep their kind and raw bytes.
//
// Other people's files: a file that is neither empty nor one of our stores is refused from its
// header alone, before SQLite opens it, so nothing is ever written, rolled back or checkpointed
// into it. Only a missing or zero-length file is made into a store. A store that turns out to be
// damaged is closed without a checkpoint and every later operation on it fails.
//
// Thread rules: a RegistryStore belongs to the thread that ForThread() handed it to and is never
// shared; each thread gets its own connection, kept until the thread ends. The pointer is valid
// until the same thread's next ForThread() call for the same file, which reopens a file that was
// replaced or found damaged. Several threads and processes may write one file at once: the file
// is in WAL mode and a connection waits for a busy lock rather than failing at once.

#include "platform/registry/RegistryTypes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

class RegistryStore
{
public:
    struct KeyRow
    {
        int64_t nId = 0;
        bool bAllAccess = false; // made by a create with all permissions, or below such a key
    };

    // $BREVANTO_REGISTRY when set, else $XDG_DATA_HOME/brevanto/registry.db, else
    // ~/.local/share/brevanto/registry.db. Read anew on every call.
    static std::wstring GetDefaultPath();

    // The calling thread's connection to strFile, opened and checked on first use. With bCreate a
    // missing or zero-length file becomes a fresh store (its folder is made first); without it
    // such a file is NotFound and stays as it is. Null with error filled on failure.
    static RegistryStore* ForThread(const std::wstring& strFile, bool bCreate, RegistryError& error);

    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // The key at arrNames below root (an empty list is the root itself).
    std::optional<KeyRow> FindKey(RegistryRoot root, const std::vector<std::wstring>& arrNames,
                                  RegistryError& error);
    // Finds the key or creates it with its missing parents in one transaction. Keys that already
    // exist keep the access they have; new ones get bAllAccess or inherit it from their parent.
    std::optional<KeyRow> CreateKey(RegistryRoot root, const std::vector<std::wstring>& arrNames,
                                    bool bAllAccess, RegistryError& error);
    // Deletes the key with all its subkeys and values.
    bool DeleteKey(int64_t nKey, RegistryError& error);

    std::optional<RegistryValue> ReadValue(int64_t nKey, const std::wstring& strName, RegistryError& error);
    // Adds or replaces a value; fails when the key has been deleted meanwhile.
    bool WriteValue(int64_t nKey, const std::wstring& strName, const RegistryValue& value,
                    RegistryError& error);
    bool DeleteValue(int64_t nKey, const std::wstring& strName, RegistryError& error);

    // Subkey names in enumeration order.
    std::optional<std::vector<std::wstring>> ListSubkeys(int64_t nKey, RegistryError& error);
    // Values in the order they were first written.
    std::optional<std::vector<RegistryNamedValue>> ListValues(int64_t nKey, RegistryError& error);

private:
    enum class Sql : size_t;
    class Reset;

    explicit RegistryStore(const std::wstring& strFile);

    bool Connect(bool bFresh, RegistryError& error);
    bool Initialise(RegistryError& error);
    bool Verify(RegistryError& error);
    bool IsSameFileAs(uint64_t nDevice, uint64_t nInode) const;

    sqlite3_stmt* Prepare(Sql id, RegistryError& error);
    bool Execute(Sql id, RegistryError& error);
    bool Fail(int nCode, RegistryError& error);
    std::optional<int64_t> QueryNumber(const char* pszSql, RegistryError& error);
    std::optional<KeyRow> FindChild(int64_t nParent, const std::wstring& strName, RegistryError& error);

    std::wstring m_strFile;
    sqlite3* m_pDb = nullptr;
    uint64_t m_nDevice = 0;
    uint64_t m_nInode = 0;
    bool m_bDamaged = false;
    std::array<sqlite3_stmt*, 16> m_arrStatements{};
};

} // namespace platform
