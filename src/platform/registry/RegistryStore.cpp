#include "platform/registry/RegistryStore.h"

#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <map>
#include <thread>

#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// ---- The SQL, all of it -------------------------------------------------------------------------

namespace {

// "BREG" in the header's application id field marks a file as ours.
constexpr uint32_t kApplicationId = 0x42524547;
constexpr int64_t kSchemaVersion = 1;
// Writers queue behind each other for at most this long before an operation gives up.
constexpr int kBusyTimeoutMs = 10000;

constexpr int64_t kLocalMachineId = 1;
constexpr int64_t kCurrentUserId = 2;

// Runs inside the creating transaction, so the header carries the application id from the very
// first write and no other process ever sees a half-made store as a foreign database.
constexpr const char kSchema[] = R"sql(
PRAGMA application_id = 1112687943;
PRAGMA user_version = 1;
CREATE TABLE registry_keys (
    id         INTEGER PRIMARY KEY AUTOINCREMENT,
    parent     INTEGER REFERENCES registry_keys(id) ON DELETE CASCADE,
    name       TEXT NOT NULL,
    fold       TEXT NOT NULL,
    all_access INTEGER NOT NULL DEFAULT 0,
    UNIQUE (parent, fold)
);
CREATE TABLE registry_values (
    key  INTEGER NOT NULL REFERENCES registry_keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    fold TEXT NOT NULL,
    kind INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE (key, fold)
);
INSERT INTO registry_keys (id, parent, name, fold) VALUES
    (1, NULL, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),
    (2, NULL, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER');
)sql";
static_assert(kApplicationId == 1112687943u, "kSchema spells the application id in decimal");

// WAL with synchronous NORMAL survives a crash of any process; like the platform's lazily flushed
// registry, a power cut may lose the last writes but never damages the file.
constexpr const char kConnectionSettings[] = "PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL;";

// Opening and checking a file, run once per connection.
constexpr const char kBeginCreation[] = "BEGIN EXCLUSIVE";
constexpr const char kCountTables[] = "SELECT count(*) FROM sqlite_schema";
constexpr const char kReadApplicationId[] = "PRAGMA application_id";
constexpr const char kReadSchemaVersion[] = "PRAGMA user_version";
constexpr const char kQuickCheck[] = "PRAGMA quick_check";
constexpr const char kEnterWal[] = "PRAGMA journal_mode = WAL";
constexpr const char kCommitCreation[] = "COMMIT";
constexpr const char kRollbackCreation[] = "ROLLBACK";

} // namespace

enum class RegistryStore::Sql : size_t
{
    Begin,
    Commit,
    Rollback,
    FindChild,
    InsertKey,
    DeleteTreeValues,
    DeleteTreeKeys,
    ReadValue,
    WriteValue,
    DeleteValue,
    ListSubkeys,
    ListValues,
    Count,
};

namespace {

// In the order of RegistryStore::Sql.
constexpr const char* kStatementText[] = {
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "SELECT id, all_access FROM registry_keys WHERE parent = ?1 AND fold = ?2",
    "INSERT INTO registry_keys (parent, name, fold, all_access) VALUES (?1, ?2, ?3, ?4)",
    "WITH RECURSIVE tree(id) AS "
    "(SELECT ?1 UNION ALL SELECT k.id FROM registry_keys k JOIN tree t ON k.parent = t.id) "
    "DELETE FROM registry_values WHERE key IN tree",
    "WITH RECURSIVE tree(id) AS "
    "(SELECT ?1 UNION ALL SELECT k.id FROM registry_keys k JOIN tree t ON k.parent = t.id) "
    "DELETE FROM registry_keys WHERE id IN tree",
    "SELECT kind, data FROM registry_values WHERE key = ?1 AND fold = ?2",
    "INSERT INTO registry_values (key, name, fold, kind, data) VALUES (?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT (key, fold) DO UPDATE SET kind = excluded.kind, data = excluded.data",
    "DELETE FROM registry_values WHERE key = ?1 AND fold = ?2",
    "SELECT name FROM registry_keys WHERE parent = ?1 ORDER BY fold",
    "SELECT name, kind, data FROM registry_values WHERE key = ?1 ORDER BY rowid",
};

// ---- Helpers --------------------------------------------------------------------------------------

// The platform folds names to upper case to compare them; like EqualsNoCase, only ASCII folds.
std::string FoldName(const std::wstring& strName)
{
    std::string strFold = ToUtf8(strName);
    for (char& c : strFold) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return strFold;
}

void BindText(sqlite3_stmt* pStmt, int nIndex, const std::string& strText)
{
    sqlite3_bind_text(pStmt, nIndex, strText.data(), static_cast<int>(strText.size()), SQLITE_TRANSIENT);
}

std::wstring ColumnText(sqlite3_stmt* pStmt, int nColumn)
{
    const auto* pText = reinterpret_cast<const char*>(sqlite3_column_text(pStmt, nColumn));
    return pText
               ? FromUtf8(std::string_view(pText, static_cast<size_t>(sqlite3_column_bytes(pStmt, nColumn))))
               : std::wstring();
}

RegistryValue ColumnValue(sqlite3_stmt* pStmt, int nKindColumn)
{
    RegistryValue value;
    value.kind = sqlite3_column_int64(pStmt, nKindColumn) == static_cast<int64_t>(RegistryValueKind::String)
                     ? RegistryValueKind::String
                     : RegistryValueKind::Binary;
    const void* pData = sqlite3_column_blob(pStmt, nKindColumn + 1);
    int nSize = sqlite3_column_bytes(pStmt, nKindColumn + 1);
    if (pData && nSize > 0)
        value.data.assign(static_cast<const char*>(pData), static_cast<size_t>(nSize));
    return value;
}

bool SetError(RegistryError& error, RegistryStatus status, std::wstring strText)
{
    error.status = status;
    error.strText = std::move(strText);
    return false;
}

RegistryStore* Refuse(RegistryError& error, RegistryStatus status, std::wstring strText)
{
    SetError(error, status, std::move(strText));
    return nullptr;
}

std::wstring HomeFolder()
{
    std::wstring strHome = GetEnv("HOME");
    if (!strHome.empty())
        return strHome;
    struct passwd entry = {};
    struct passwd* pResult = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &entry, buf, sizeof(buf), &pResult) == 0 && pResult && pResult->pw_dir)
        return FromUtf8(pResult->pw_dir);
    return L"/tmp";
}

// Refuses a non-empty file unless its header is a SQLite header carrying our application id.
bool CheckHeader(const std::wstring& strFile, RegistryError& error)
{
    std::optional<std::string> header = ReadFileBytes(strFile, 100);
    if (!header)
        return SetError(error, RegistryStatus::StoreUnusable, strFile + L" cannot be read");
    static constexpr char kMagic[] = "SQLite format 3";
    if (header->size() < 100 || std::memcmp(header->data(), kMagic, sizeof(kMagic)) != 0)
        return SetError(error, RegistryStatus::StoreUnusable,
                        strFile + L" is not a SQLite database; it was left untouched");
    uint32_t nId = 0;
    for (size_t i = 68; i < 72; ++i)
        nId = (nId << 8) | static_cast<unsigned char>((*header)[i]);
    if (nId != kApplicationId)
        return SetError(error, RegistryStatus::StoreUnusable,
                        strFile +
                            FormatW(L" is a SQLite database of another program (application id 0x%08X); "
                                    L"it was left untouched",
                                    nId));
    return true;
}

std::map<std::wstring, std::unique_ptr<RegistryStore>>& ThreadStores()
{
    thread_local std::map<std::wstring, std::unique_ptr<RegistryStore>> stores;
    return stores;
}

} // namespace

// Resets a cached statement and drops its bindings when the operation using it ends.
class RegistryStore::Reset
{
public:
    explicit Reset(sqlite3_stmt* pStmt) : m_pStmt(pStmt) {}
    ~Reset()
    {
        if (m_pStmt) {
            sqlite3_reset(m_pStmt);
            sqlite3_clear_bindings(m_pStmt);
        }
    }
    Reset(const Reset&) = delete;
    Reset& operator=(const Reset&) = delete;

private:
    sqlite3_stmt* m_pStmt;
};

// ---- Opening --------------------------------------------------------------------------------------

std::wstring RegistryStore::GetDefaultPath()
{
    std::wstring strFile = GetEnv("BREVANTO_REGISTRY");
    if (!strFile.empty())
        return strFile;
    std::wstring strBase = GetEnv("XDG_DATA_HOME");
    if (strBase.empty() || strBase[0] != L'/') // relative values are invalid and ignored
        strBase = JoinPath(HomeFolder(), L".local/share");
    return JoinPath(JoinPath(strBase, L"brevanto"), L"registry.db");
}

RegistryStore* RegistryStore::ForThread(const std::wstring& strFile, bool bCreate, RegistryError& error)
{
    auto& stores = ThreadStores();
    struct stat st = {};
    const bool bExists = stat(ToNativePath(strFile).c_str(), &st) == 0;
    const int nStatError = errno;

    if (auto it = stores.find(strFile); it != stores.end()) {
        RegistryStore& store = *it->second;
        if (bExists && !store.m_bDamaged && store.IsSameFileAs(st.st_dev, st.st_ino))
            return &store;
        stores.erase(it); // removed, replaced or damaged: look at the file afresh
    }

    if (!bExists && nStatError != ENOENT)
        return Refuse(error, RegistryStatus::StoreUnusable,
                      strFile + L" cannot be reached: " + FromUtf8(std::strerror(nStatError)));
    if (bExists && !S_ISREG(st.st_mode))
        return Refuse(error, RegistryStatus::StoreUnusable, strFile + L" is not a file");
    const bool bFresh = !bExists || st.st_size == 0;
    if (bFresh && !bCreate)
        return Refuse(error, RegistryStatus::NotFound, L"there is no store at " + strFile + L" yet");
    if (!bFresh && !CheckHeader(strFile, error))
        return nullptr;
    const std::wstring strFolder = GetFolderOf(strFile);
    if (!bExists && !strFolder.empty() && !CreateFolders(strFolder))
        return Refuse(error, RegistryStatus::StoreUnusable,
                      L"the folder " + strFolder + L" cannot be created");

    std::unique_ptr<RegistryStore> store(new RegistryStore(strFile));
    if (!store->Connect(bFresh, error)) {
        store->m_bDamaged = true; // closed without touching the file
        return nullptr;
    }
    RegistryStore* pStore = store.get();
    stores.emplace(strFile, std::move(store));
    return pStore;
}

RegistryStore::RegistryStore(const std::wstring& strFile) : m_strFile(strFile) {}

RegistryStore::~RegistryStore()
{
    for (sqlite3_stmt* pStmt : m_arrStatements)
        sqlite3_finalize(pStmt);
    if (!m_pDb)
        return;
    // Closing the last connection checkpoints the WAL into the file and deletes the WAL by name.
    // Neither may happen to a damaged file, nor to a file that has since been replaced by another.
    struct stat st = {};
    bool bSameFile = stat(ToNativePath(m_strFile).c_str(), &st) == 0 && IsSameFileAs(st.st_dev, st.st_ino);
    if (m_bDamaged || !bSameFile)
        sqlite3_db_config(m_pDb, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close(m_pDb);
}

bool RegistryStore::IsSameFileAs(uint64_t nDevice, uint64_t nInode) const
{
    return m_nDevice == nDevice && m_nInode == nInode;
}

bool RegistryStore::Connect(bool bFresh, RegistryError& error)
{
    const std::string strNative = ToNativePath(m_strFile);
    int nFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (bFresh ? SQLITE_OPEN_CREATE : 0);
    if (int nCode = sqlite3_open_v2(strNative.c_str(), &m_pDb, nFlags, nullptr); nCode != SQLITE_OK)
        return m_pDb ? Fail(nCode, error)
                     : SetError(error, RegistryStatus::StoreUnusable, m_strFile + L" cannot be opened");
    struct stat st = {};
    if (stat(strNative.c_str(), &st) != 0)
        return SetError(error, RegistryStatus::StoreUnusable, m_strFile + L" vanished while it was opened");
    m_nDevice = st.st_dev;
    m_nInode = st.st_ino;

    sqlite3_busy_timeout(m_pDb, kBusyTimeoutMs);
    if (int nCode = sqlite3_exec(m_pDb, kConnectionSettings, nullptr, nullptr, nullptr); nCode != SQLITE_OK)
        return Fail(nCode, error);
    if (bFresh && !Initialise(error))
        return false;
    if (!Verify(error))
        return false;
    // Only a file proven ours goes to WAL, and only once its application id is on disk: the
    // switch is made in rollback mode, so the id is in the main file for every reader.
    if (!bFresh)
        return true;
    // The switch needs every other connection out of the file, and SQLite answers "busy" at
    // once rather than through the busy handler when one is reading; try again for a while.
    // A store left in rollback mode loses nothing, so a switch that never gets its turn is no
    // error: the file is ours and whole, only slower to share.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        int nCode = sqlite3_exec(m_pDb, kEnterWal, nullptr, nullptr, nullptr);
        if (nCode == SQLITE_OK)
            return true;
        if ((nCode & 0xFF) != SQLITE_BUSY)
            return Fail(nCode, error);
        if (std::chrono::steady_clock::now() >= deadline)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Makes a zero-length file into an empty store. Another process may be doing the same at the
// same moment; the exclusive transaction lets one of them do it and the other find it done.
bool RegistryStore::Initialise(RegistryError& error)
{
    if (int nCode = sqlite3_exec(m_pDb, kBeginCreation, nullptr, nullptr, nullptr); nCode != SQLITE_OK)
        return Fail(nCode, error);
    std::optional<int64_t> nTables = QueryNumber(kCountTables, error);
    std::optional<int64_t> nAppId = nTables ? QueryNumber(kReadApplicationId, error) : std::nullopt;
    int nCode = SQLITE_OK;
    if (nTables && nAppId && *nTables == 0 && *nAppId == 0)
        nCode = sqlite3_exec(m_pDb, kSchema, nullptr, nullptr, nullptr);
    if (!nTables || !nAppId || nCode != SQLITE_OK) {
        sqlite3_exec(m_pDb, kRollbackCreation, nullptr, nullptr, nullptr);
        return nCode != SQLITE_OK ? Fail(nCode, error) : false;
    }
    if (nCode = sqlite3_exec(m_pDb, kCommitCreation, nullptr, nullptr, nullptr); nCode != SQLITE_OK)
        return Fail(nCode, error);
    return true;
}

bool RegistryStore::Verify(RegistryError& error)
{
    std::optional<int64_t> nAppId = QueryNumber(kReadApplicationId, error);
    if (!nAppId)
        return false;
    if (*nAppId != static_cast<int64_t>(kApplicationId))
        return SetError(error, RegistryStatus::StoreUnusable,
                        m_strFile + L" is a SQLite database of another program; it was left untouched");
    std::optional<int64_t> nVersion = QueryNumber(kReadSchemaVersion, error);
    if (!nVersion)
        return false;
    if (*nVersion != kSchemaVersion)
        return SetError(error, RegistryStatus::StoreUnusable,
                        m_strFile + FormatW(L" is a store of unknown version %lld; it was left untouched",
                                            static_cast<long long>(*nVersion)));

    sqlite3_stmt* pStmt = nullptr;
    if (int nCode = sqlite3_prepare_v2(m_pDb, kQuickCheck, -1, &pStmt, nullptr); nCode != SQLITE_OK)
        return Fail(nCode, error);
    int nCode = sqlite3_step(pStmt);
    std::wstring strVerdict = nCode == SQLITE_ROW ? ColumnText(pStmt, 0) : std::wstring();
    sqlite3_finalize(pStmt);
    if (nCode != SQLITE_ROW)
        return Fail(nCode, error);
    if (strVerdict != L"ok")
        return SetError(error, RegistryStatus::StoreUnusable,
                        m_strFile + L" is damaged (" + strVerdict + L"); it was left untouched");
    return true;
}

// ---- Statements -----------------------------------------------------------------------------------

sqlite3_stmt* RegistryStore::Prepare(Sql id, RegistryError& error)
{
    static_assert(std::size(kStatementText) == static_cast<size_t>(Sql::Count));
    static_assert(static_cast<size_t>(Sql::Count) <= std::tuple_size_v<decltype(m_arrStatements)>);
    sqlite3_stmt*& pStmt = m_arrStatements.at(static_cast<size_t>(id));
    if (!pStmt) {
        int nCode = sqlite3_prepare_v3(m_pDb, kStatementText[static_cast<size_t>(id)], -1,
                                       SQLITE_PREPARE_PERSISTENT, &pStmt, nullptr);
        if (nCode != SQLITE_OK) {
            pStmt = nullptr;
            Fail(nCode, error);
        }
    }
    return pStmt;
}

bool RegistryStore::Execute(Sql id, RegistryError& error)
{
    sqlite3_stmt* pStmt = Prepare(id, error);
    if (!pStmt)
        return false;
    Reset reset(pStmt);
    int nCode = sqlite3_step(pStmt);
    return nCode == SQLITE_DONE || nCode == SQLITE_ROW || Fail(nCode, error);
}

bool RegistryStore::Fail(int nCode, RegistryError& error)
{
    const std::wstring strMessage = FromUtf8(sqlite3_errmsg(m_pDb));
    switch (nCode & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        m_bDamaged = true;
        return SetError(error, RegistryStatus::StoreUnusable,
                        m_strFile + L" is damaged (" + strMessage + L"); it was left untouched");
    case SQLITE_CONSTRAINT:
        return SetError(error, RegistryStatus::NotFound, L"the key has been deleted");
    default:
        return SetError(error, RegistryStatus::StoreUnusable, m_strFile + L": " + strMessage);
    }
}

std::optional<int64_t> RegistryStore::QueryNumber(const char* pszSql, RegistryError& error)
{
    sqlite3_stmt* pStmt = nullptr;
    int nCode = sqlite3_prepare_v2(m_pDb, pszSql, -1, &pStmt, nullptr);
    if (nCode == SQLITE_OK)
        nCode = sqlite3_step(pStmt);
    std::optional<int64_t> nResult;
    if (nCode == SQLITE_ROW)
        nResult = sqlite3_column_int64(pStmt, 0);
    sqlite3_finalize(pStmt);
    if (!nResult)
        Fail(nCode, error);
    return nResult;
}

// ---- Keys -----------------------------------------------------------------------------------------

std::optional<RegistryStore::KeyRow> RegistryStore::FindChild(int64_t nParent, const std::wstring& strName,
                                                              RegistryError& error)
{
    sqlite3_stmt* pStmt = Prepare(Sql::FindChild, error);
    if (!pStmt)
        return std::nullopt;
    Reset reset(pStmt);
    sqlite3_bind_int64(pStmt, 1, nParent);
    BindText(pStmt, 2, FoldName(strName));
    int nCode = sqlite3_step(pStmt);
    if (nCode == SQLITE_ROW)
        return KeyRow{sqlite3_column_int64(pStmt, 0), sqlite3_column_int64(pStmt, 1) != 0};
    if (nCode == SQLITE_DONE)
        SetError(error, RegistryStatus::NotFound, L"the key does not exist");
    else
        Fail(nCode, error);
    return std::nullopt;
}

std::optional<RegistryStore::KeyRow>
RegistryStore::FindKey(RegistryRoot root, const std::vector<std::wstring>& arrNames, RegistryError& error)
{
    KeyRow row{root == RegistryRoot::LocalMachine ? kLocalMachineId : kCurrentUserId, false};
    for (const std::wstring& strName : arrNames) {
        std::optional<KeyRow> child = FindChild(row.nId, strName, error);
        if (!child)
            return std::nullopt;
        row = *child;
    }
    return row;
}

std::optional<RegistryStore::KeyRow> RegistryStore::CreateKey(RegistryRoot root,
                                                              const std::vector<std::wstring>& arrNames,
                                                              bool bAllAccess, RegistryError& error)
{
    // Most calls find the key in place and need no write lock.
    if (std::optional<KeyRow> row = FindKey(root, arrNames, error);
        row || error.status != RegistryStatus::NotFound)
        return row;

    if (!Execute(Sql::Begin, error))
        return std::nullopt;
    KeyRow row{root == RegistryRoot::LocalMachine ? kLocalMachineId : kCurrentUserId, false};
    bool bOk = true;
    for (size_t i = 0; bOk && i < arrNames.size(); ++i) {
        if (std::optional<KeyRow> child = FindChild(row.nId, arrNames[i], error)) {
            row = *child;
            continue;
        }
        sqlite3_stmt* pStmt =
            error.status == RegistryStatus::NotFound ? Prepare(Sql::InsertKey, error) : nullptr;
        if (!pStmt) {
            bOk = false;
            break;
        }
        Reset reset(pStmt);
        const bool bInherited = bAllAccess || row.bAllAccess;
        sqlite3_bind_int64(pStmt, 1, row.nId);
        BindText(pStmt, 2, ToUtf8(arrNames[i]));
        BindText(pStmt, 3, FoldName(arrNames[i]));
        sqlite3_bind_int(pStmt, 4, bInherited ? 1 : 0);
        if (int nCode = sqlite3_step(pStmt); nCode != SQLITE_DONE)
            bOk = Fail(nCode, error);
        else
            row = KeyRow{sqlite3_last_insert_rowid(m_pDb), bInherited};
    }
    if (bOk && Execute(Sql::Commit, error))
        return row;
    RegistryError ignored;
    Execute(Sql::Rollback, ignored);
    return std::nullopt;
}

bool RegistryStore::DeleteKey(int64_t nKey, RegistryError& error)
{
    if (!Execute(Sql::Begin, error))
        return false;
    bool bOk = true;
    int nDeleted = 0;
    for (Sql id : {Sql::DeleteTreeValues, Sql::DeleteTreeKeys}) {
        sqlite3_stmt* pStmt = Prepare(id, error);
        if (!pStmt) {
            bOk = false;
            break;
        }
        Reset reset(pStmt);
        sqlite3_bind_int64(pStmt, 1, nKey);
        if (int nCode = sqlite3_step(pStmt); nCode != SQLITE_DONE) {
            bOk = Fail(nCode, error);
            break;
        }
        nDeleted = sqlite3_changes(m_pDb);
    }
    if (bOk && nDeleted == 0)
        bOk = SetError(error, RegistryStatus::NotFound, L"the key does not exist");
    if (bOk && Execute(Sql::Commit, error))
        return true;
    RegistryError ignored;
    Execute(Sql::Rollback, ignored);
    return false;
}

// ---- Values ---------------------------------------------------------------------------------------

std::optional<RegistryValue> RegistryStore::ReadValue(int64_t nKey, const std::wstring& strName,
                                                      RegistryError& error)
{
    sqlite3_stmt* pStmt = Prepare(Sql::ReadValue, error);
    if (!pStmt)
        return std::nullopt;
    Reset reset(pStmt);
    sqlite3_bind_int64(pStmt, 1, nKey);
    BindText(pStmt, 2, FoldName(strName));
    int nCode = sqlite3_step(pStmt);
    if (nCode == SQLITE_ROW)
        return ColumnValue(pStmt, 0);
    if (nCode == SQLITE_DONE)
        SetError(error, RegistryStatus::NotFound, L"the value does not exist");
    else
        Fail(nCode, error);
    return std::nullopt;
}

bool RegistryStore::WriteValue(int64_t nKey, const std::wstring& strName, const RegistryValue& value,
                               RegistryError& error)
{
    sqlite3_stmt* pStmt = Prepare(Sql::WriteValue, error);
    if (!pStmt)
        return false;
    Reset reset(pStmt);
    sqlite3_bind_int64(pStmt, 1, nKey);
    BindText(pStmt, 2, ToUtf8(strName));
    BindText(pStmt, 3, FoldName(strName));
    sqlite3_bind_int64(pStmt, 4, static_cast<int64_t>(value.kind));
    // A non-null pointer keeps an empty value a zero-length blob rather than NULL.
    sqlite3_bind_blob(pStmt, 5, value.data.c_str(), static_cast<int>(value.data.size()), SQLITE_TRANSIENT);
    int nCode = sqlite3_step(pStmt);
    return nCode == SQLITE_DONE || Fail(nCode, error);
}

bool RegistryStore::DeleteValue(int64_t nKey, const std::wstring& strName, RegistryError& error)
{
    sqlite3_stmt* pStmt = Prepare(Sql::DeleteValue, error);
    if (!pStmt)
        return false;
    Reset reset(pStmt);
    sqlite3_bind_int64(pStmt, 1, nKey);
    BindText(pStmt, 2, FoldName(strName));
    if (int nCode = sqlite3_step(pStmt); nCode != SQLITE_DONE)
        return Fail(nCode, error);
    return sqlite3_changes(m_pDb) > 0 ||
           SetError(error, RegistryStatus::NotFound, L"the value does not exist");
}

std::optional<std::vector<std::wstring>> RegistryStore::ListSubkeys(int64_t nKey, RegistryError& error)
{
    sqlite3_stmt* pStmt = Prepare(Sql::ListSubkeys, error);
    if (!pStmt)
        return std::nullopt;
    Reset reset(pStmt);
    sqlite3_bind_int64(pStmt, 1, nKey);
    std::vector<std::wstring> arrNames;
    int nCode = SQLITE_OK;
    while ((nCode = sqlite3_step(pStmt)) == SQLITE_ROW)
        arrNames.push_back(ColumnText(pStmt, 0));
    if (nCode != SQLITE_DONE) {
        Fail(nCode, error);
        return std::nullopt;
    }
    return arrNames;
}

std::optional<std::vector<RegistryNamedValue>> RegistryStore::ListValues(int64_t nKey, RegistryError& error)
{
    sqlite3_stmt* pStmt = Prepare(Sql::ListValues, error);
    if (!pStmt)
        return std::nullopt;
    Reset reset(pStmt);
    sqlite3_bind_int64(pStmt, 1, nKey);
    std::vector<RegistryNamedValue> arrValues;
    int nCode = SQLITE_OK;
    while ((nCode = sqlite3_step(pStmt)) == SQLITE_ROW)
        arrValues.push_back(RegistryNamedValue{ColumnText(pStmt, 0), ColumnValue(pStmt, 1)});
    if (nCode != SQLITE_DONE) {
        Fail(nCode, error);
        return std::nullopt;
    }
    return arrValues;
}

} // namespace platform
