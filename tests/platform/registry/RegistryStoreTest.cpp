// Suite: threaded
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryKey.h"
#include "platform/text/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sqlite3.h>
#include <thread>

using namespace platform;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

const std::wstring kLauncherKey = L"SOFTWARE\\Brevanto Launcher";

RegistryValue Binary(std::string bytes)
{
    return RegistryValue{RegistryValueKind::Binary, std::move(bytes)};
}

RegistryValue String(const std::wstring& strText)
{
    return RegistryValue{RegistryValueKind::String, EncodeRegistryString(strText)};
}

// Every test has a store file of its own, in a folder whose name has a space and non-ASCII text.
class RegistryStoreTest : public ::testing::Test
{
protected:
    RegistryKey CreateKey(const std::wstring& strPath, bool bAllAccess = false)
    {
        RegistryError error;
        std::optional<RegistryKey> key =
            RegistryKey::Create(RegistryRoot::LocalMachine, strPath, bAllAccess, &error);
        EXPECT_TRUE(key) << ToUtf8(error.strText);
        return std::move(*key);
    }

    std::optional<RegistryKey> OpenKey(const std::wstring& strPath,
                                       RegistryAccess access = RegistryAccess::Read,
                                       RegistryError* pError = nullptr)
    {
        return RegistryKey::Open(RegistryRoot::LocalMachine, strPath, access, pError);
    }

    testing_support::TempDir m_dir;
    std::string m_strFile = m_dir / "Brevanto \xD0\x98\xD0\xB3\xD1\x80\xD1\x8B/registry.db";
    testing_support::ScopedEnv m_env{"BREVANTO_REGISTRY", m_strFile};
};

} // namespace

TEST(RegistryStrings, EncodeAsUtf16WithTerminator)
{
    EXPECT_EQ(EncodeRegistryString(L"1"), std::string("1\0\0\0", 4));
    EXPECT_EQ(EncodeRegistryString(L""), std::string(2, '\0'));
    EXPECT_EQ(EncodeRegistryString(L"\u0418\U0001F3AE"), std::string("\x18\x04\x3C\xD8\xAE\xDF\0\0", 8));

    EXPECT_EQ(DecodeRegistryString(EncodeRegistryString(L"\u0418\U0001F3AE x")), L"\u0418\U0001F3AE x");
    EXPECT_EQ(DecodeRegistryString(std::string("a\0b\0\0\0c\0", 8)), L"ab"); // up to the first terminator
    EXPECT_EQ(DecodeRegistryString(std::string("a\0b", 3)), L"a");           // no terminator, odd size
    EXPECT_EQ(DecodeRegistryString(std::string("\x3C\xD8", 2)), L"\uFFFD");  // lone surrogate
}

TEST(RegistryPath, FollowsTheEnvironment)
{
    testing_support::ScopedEnv noStore("BREVANTO_REGISTRY", "", true);
    {
        testing_support::ScopedEnv xdg("XDG_DATA_HOME", "/data/x");
        EXPECT_EQ(RegistryStore::GetDefaultPath(), L"/data/x/brevanto/registry.db");
    }
    testing_support::ScopedEnv noXdg("XDG_DATA_HOME", "", true);
    testing_support::ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(RegistryStore::GetDefaultPath(), L"/home/someone/.local/share/brevanto/registry.db");
    testing_support::ScopedEnv store("BREVANTO_REGISTRY", "/somewhere/r.db");
    EXPECT_EQ(RegistryStore::GetDefaultPath(), L"/somewhere/r.db");
}

TEST_F(RegistryStoreTest, ValuesKeepKindAndBytes)
{
    RegistryKey key = CreateKey(kLauncherKey + L"\\12");
    ASSERT_TRUE(std::filesystem::exists(m_strFile));

    const std::pair<std::wstring, RegistryValue> values[] = {
        {L"ContentLen", Binary(std::string("\xE8\x03\x00\x00", 4))},
        {L"Flag", Binary(std::string("\x01", 1))},
        {L"Empty", Binary("")},
        {L"Name", String(L"Игра \U0001F3AE")},
        {L"", String(L"the default value")},
    };
    for (const auto& [strName, value] : values)
        ASSERT_TRUE(key.WriteValue(strName, value)) << ToUtf8(strName);

    std::optional<RegistryKey> reader = OpenKey(kLauncherKey + L"\\12");
    ASSERT_TRUE(reader);
    for (const auto& [strName, value] : values) {
        std::optional<RegistryValue> read = reader->ReadValue(strName);
        ASSERT_TRUE(read) << ToUtf8(strName);
        EXPECT_EQ(read->kind, value.kind) << ToUtf8(strName);
        EXPECT_EQ(read->data, value.data) << ToUtf8(strName);
    }
    EXPECT_EQ(reader->ReadValue(L"Name")->data.size(), (7u + 1u) * 2u); // the emoji is two units

    // Overwriting replaces kind and bytes; values list in the order they were first written.
    ASSERT_TRUE(key.WriteValue(L"Flag", String(L"1")));
    EXPECT_EQ(reader->ReadValue(L"Flag")->data, std::string("1\0\0\0", 4));
    std::optional<std::vector<RegistryNamedValue>> all = reader->GetValues();
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 5u);
    EXPECT_EQ((*all)[1].strName, L"Flag");
    EXPECT_EQ((*all)[1].value.kind, RegistryValueKind::String);

    EXPECT_FALSE(reader->ReadValue(L"Missing"));
    EXPECT_EQ(reader->GetLastError().status, RegistryStatus::NotFound);
    ASSERT_TRUE(key.DeleteValue(L"ContentLen"));
    EXPECT_FALSE(reader->ReadValue(L"ContentLen"));
    EXPECT_FALSE(key.DeleteValue(L"ContentLen"));
    EXPECT_EQ(key.GetLastError().status, RegistryStatus::NotFound);
}

TEST_F(RegistryStoreTest, KeyAndValueNamesIgnoreCaseButKeepIt)
{
    RegistryKey key = CreateKey(L"SOFTWARE\\Brevanto Launcher\\");
    ASSERT_TRUE(key.WriteValue(L"LastGame", Binary("\x07")));

    for (const wchar_t* pszPath : {L"software\\brevanto launcher", L"SOFTWARE\\BREVANTO LAUNCHER\\"}) {
        std::optional<RegistryKey> same = OpenKey(pszPath);
        ASSERT_TRUE(same) << ToUtf8(pszPath);
        ASSERT_TRUE(same->ReadValue(L"lastgame"));
        EXPECT_EQ(same->ReadValue(L"LASTGAME")->data, "\x07");
    }
    RegistryKey again = CreateKey(L"Software\\BREVANTO launcher");
    ASSERT_TRUE(again.WriteValue(L"LASTGAME", Binary("\x08")));
    std::optional<std::vector<RegistryNamedValue>> values = key.GetValues();
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 1u);
    EXPECT_EQ((*values)[0].strName, L"LastGame");
    EXPECT_EQ((*values)[0].value.data, "\x08");

    std::optional<RegistryKey> software = OpenKey(L"SOFTWARE");
    ASSERT_TRUE(software);
    EXPECT_EQ(software->GetSubkeyNames(), std::vector<std::wstring>{L"Brevanto Launcher"});

    // The two roots are separate trees.
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, kLauncherKey, RegistryAccess::Read));
}

TEST_F(RegistryStoreTest, MalformedPathsAndNamesAreRefused)
{
    CreateKey(L"A\\B");
    const std::wstring paths[] = {L"\\A", L"A\\\\B", L"A\\B\\\\", std::wstring(L"A\0B", 3), L"A\\\xD800"};
    for (const std::wstring& strPath : paths) {
        RegistryError error;
        EXPECT_FALSE(RegistryKey::Create(RegistryRoot::LocalMachine, strPath, false, &error))
            << ToUtf8(strPath);
        EXPECT_EQ(error.status, RegistryStatus::InvalidArgument) << ToUtf8(strPath);
        EXPECT_FALSE(OpenKey(strPath)) << ToUtf8(strPath);
    }
    RegistryKey key = CreateKey(L"A");
    EXPECT_FALSE(key.WriteValue(std::wstring(L"x\0y", 3), Binary("1")));
    EXPECT_EQ(key.GetLastError().status, RegistryStatus::InvalidArgument);
    EXPECT_EQ(OpenKey(L"A")->GetSubkeyNames(), std::vector<std::wstring>{L"B"});
}

TEST_F(RegistryStoreTest, SubkeysEnumerateInCaseInsensitiveOrderFromASnapshot)
{
    // Upper-case folding puts '_' after the letters, as the platform orders names.
    for (const wchar_t* pszName : {L"b", L"Z", L"a_b", L"AB", L"12", L"3", L"A"})
        CreateKey(kLauncherKey + L"\\" + pszName);
    const std::vector<std::wstring> expected = {L"12", L"3", L"A", L"AB", L"a_b", L"b", L"Z"};

    std::optional<RegistryKey> key = OpenKey(kLauncherKey);
    ASSERT_TRUE(key);
    std::vector<std::wstring> seen;
    for (uint32_t i = 0;; ++i) {
        std::optional<std::wstring> strName = key->EnumSubkey(i);
        if (!strName)
            break;
        seen.push_back(*strName);
        if (i == 2)
            CreateKey(kLauncherKey + L"\\0 added meanwhile"); // not part of this pass
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(key->GetLastError().status, RegistryStatus::NotFound);
    EXPECT_EQ(key->EnumSubkey(0), L"0 added meanwhile"); // index 0 starts a new pass
    EXPECT_EQ(key->EnumSubkey(7), L"Z");
    EXPECT_FALSE(key->EnumSubkey(8));

    std::optional<RegistryKey> leaf = OpenKey(kLauncherKey + L"\\A");
    ASSERT_TRUE(leaf);
    EXPECT_FALSE(leaf->EnumSubkey(0));
}

TEST_F(RegistryStoreTest, ReadOnlyHandlesRefuseWrites)
{
    RegistryKey writer = CreateKey(kLauncherKey);
    ASSERT_TRUE(writer.WriteValue(L"Lang", String(L"en")));
    EXPECT_TRUE(writer.IsWritable());

    std::optional<RegistryKey> reader = OpenKey(kLauncherKey);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->IsWritable());
    EXPECT_FALSE(reader->WriteValue(L"Lang", String(L"ru")));
    EXPECT_EQ(reader->GetLastError().status, RegistryStatus::AccessDenied);
    EXPECT_FALSE(reader->WriteValue(L"New", Binary("1")));
    EXPECT_FALSE(reader->DeleteValue(L"Lang"));
    EXPECT_EQ(reader->ReadValue(L"Lang")->data, EncodeRegistryString(L"en"));
    EXPECT_FALSE(reader->ReadValue(L"New"));

    std::optional<RegistryKey> readWrite = OpenKey(kLauncherKey, RegistryAccess::ReadWrite);
    ASSERT_TRUE(readWrite);
    EXPECT_TRUE(readWrite->WriteValue(L"Lang", String(L"ru")));
    EXPECT_EQ(reader->ReadValue(L"Lang")->data, EncodeRegistryString(L"ru"));
}

TEST_F(RegistryStoreTest, ReadsAndDeletesNeverCreateTheStore)
{
    RegistryError error;
    EXPECT_FALSE(OpenKey(kLauncherKey, RegistryAccess::Read, &error));
    EXPECT_EQ(error.status, RegistryStatus::NotFound);
    EXPECT_FALSE(OpenKey(L"", RegistryAccess::ReadWrite));
    EXPECT_FALSE(RegistryKey::Delete(RegistryRoot::LocalMachine, kLauncherKey));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(m_strFile).parent_path()));

    // A zero-length file is not a store yet; a read leaves it so, a create makes it one.
    std::filesystem::create_directories(std::filesystem::path(m_strFile).parent_path());
    WriteFile(m_strFile, "");
    EXPECT_FALSE(OpenKey(L""));
    EXPECT_EQ(std::filesystem::file_size(m_strFile), 0u);
    CreateKey(kLauncherKey);
    EXPECT_TRUE(OpenKey(kLauncherKey));
}

TEST_F(RegistryStoreTest, DeletingAKeyRemovesItsTree)
{
    RegistryKey game = CreateKey(kLauncherKey + L"\\12\\Patches\\1");
    ASSERT_TRUE(game.WriteValue(L"Size", Binary("\x01\x02")));
    RegistryKey sibling = CreateKey(kLauncherKey + L"\\13");
    ASSERT_TRUE(sibling.WriteValue(L"Size", Binary("\x03")));

    ASSERT_TRUE(RegistryKey::Delete(RegistryRoot::LocalMachine, kLauncherKey + L"\\12"));
    EXPECT_FALSE(OpenKey(kLauncherKey + L"\\12"));
    EXPECT_FALSE(OpenKey(kLauncherKey + L"\\12\\Patches\\1"));
    EXPECT_EQ(OpenKey(kLauncherKey)->GetSubkeyNames(), std::vector<std::wstring>{L"13"});
    EXPECT_EQ(OpenKey(kLauncherKey + L"\\13")->ReadValue(L"Size")->data, "\x03");

    // A handle to a deleted key finds nothing and cannot write, even after the path is remade.
    EXPECT_FALSE(game.ReadValue(L"Size"));
    EXPECT_FALSE(game.WriteValue(L"Size", Binary("\x09")));
    EXPECT_EQ(game.GetLastError().status, RegistryStatus::NotFound);
    CreateKey(kLauncherKey + L"\\12\\Patches\\1");
    EXPECT_FALSE(game.WriteValue(L"Size", Binary("\x09")));
    EXPECT_FALSE(OpenKey(kLauncherKey + L"\\12\\Patches\\1")->ReadValue(L"Size"));

    RegistryError error;
    EXPECT_FALSE(RegistryKey::Delete(RegistryRoot::LocalMachine, L"", &error));
    EXPECT_EQ(error.status, RegistryStatus::AccessDenied);
    EXPECT_FALSE(RegistryKey::Delete(RegistryRoot::LocalMachine, L"NoSuchKey", &error));
    EXPECT_EQ(error.status, RegistryStatus::NotFound);
}

TEST_F(RegistryStoreTest, AllAccessIsRecordedForNewKeysAndInherited)
{
    CreateKey(L"SOFTWARE\\Plain");
    EXPECT_TRUE(CreateKey(kLauncherKey, true).HasAllAccess());
    EXPECT_TRUE(CreateKey(kLauncherKey + L"\\12").HasAllAccess()); // inherited by later subkeys
    EXPECT_TRUE(OpenKey(kLauncherKey)->HasAllAccess());
    EXPECT_FALSE(CreateKey(L"SOFTWARE\\Plain", true).HasAllAccess()); // an existing key keeps its access
    EXPECT_FALSE(OpenKey(L"SOFTWARE")->HasAllAccess());               // created before, as a parent
}

TEST_F(RegistryStoreTest, AStoreReplacedOnDiskIsOpenedAfresh)
{
    ASSERT_TRUE(CreateKey(kLauncherKey).WriteValue(L"Old", Binary("1")));
    std::filesystem::remove_all(std::filesystem::path(m_strFile).parent_path());
    EXPECT_FALSE(OpenKey(kLauncherKey));
    EXPECT_FALSE(std::filesystem::exists(m_strFile));

    ASSERT_TRUE(CreateKey(L"Fresh").WriteValue(L"New", Binary("2")));
    EXPECT_FALSE(OpenKey(kLauncherKey));
    EXPECT_EQ(OpenKey(L"Fresh")->ReadValue(L"New")->data, "2");
}

namespace {

std::string MakeSqliteFile(const std::string& strFile, const char* pszSql)
{
    sqlite3* pDb = nullptr;
    sqlite3_open(strFile.c_str(), &pDb);
    sqlite3_exec(pDb, pszSql, nullptr, nullptr, nullptr);
    sqlite3_close(pDb);
    return ReadFile(strFile);
}

// A real store at $BREVANTO_REGISTRY, made and closed on its own thread so that everything is in
// the main file, then with the pages after the first overwritten.
std::string MakeDamagedStore(const std::string& strFile)
{
    std::thread maker([] {
        for (int i = 0; i < 50; ++i) {
            std::optional<RegistryKey> key =
                RegistryKey::Create(RegistryRoot::LocalMachine, FormatW(L"SOFTWARE\\Key %d", i));
            if (key)
                key->WriteValue(L"Data", RegistryValue{RegistryValueKind::Binary, std::string(100, 'x')});
        }
    });
    maker.join();
    std::string bytes = ReadFile(strFile);
    for (size_t i = 4096; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(0xA5 ^ (i & 0xFF));
    WriteFile(strFile, bytes);
    return bytes;
}

} // namespace

TEST_F(RegistryStoreTest, FilesThatAreNotOurStoreFailEveryOperationAndStayUntouched)
{
    struct Case
    {
        const char* pszName;
        std::string (*make)(const std::string& strFile);
        const char* pszReason;
    } cases[] = {
        {"text", [](const std::string& f) { return WriteFile(f, "key=value\n"), ReadFile(f); },
         "not a SQLite"},
        {"short header",
         [](const std::string& f) { return WriteFile(f, std::string("SQLite format 3\0", 16)), ReadFile(f); },
         "not a SQLite"},
        {"foreign database",
         [](const std::string& f) {
             return MakeSqliteFile(f, "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
         },
         "another program"},
        {"foreign database with an id",
         [](const std::string& f) {
             return MakeSqliteFile(f, "PRAGMA application_id = 305419896; CREATE TABLE t(x);");
         },
         "0x12345678"},
        {"foreign database in WAL mode",
         [](const std::string& f) {
             return MakeSqliteFile(f, "PRAGMA journal_mode = WAL; CREATE TABLE t(x);");
         },
         "another program"},
        {"damaged store", MakeDamagedStore, "damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        testing_support::TempDir dir;
        const std::string strFile = dir / "not ours \xC3\xA9.db";
        testing_support::ScopedEnv env("BREVANTO_REGISTRY", strFile);
        const std::string before = c.make(strFile);
        ASSERT_FALSE(before.empty());

        RegistryError error;
        EXPECT_FALSE(RegistryKey::Create(RegistryRoot::LocalMachine, kLauncherKey, true, &error));
        EXPECT_EQ(error.status, RegistryStatus::StoreUnusable);
        EXPECT_NE(error.strText.find(FromUtf8(strFile)), std::wstring::npos) << ToUtf8(error.strText);
        EXPECT_NE(ToUtf8(error.strText).find(c.pszReason), std::string::npos) << ToUtf8(error.strText);
        EXPECT_FALSE(RegistryKey::Open(RegistryRoot::LocalMachine, L"", RegistryAccess::ReadWrite, &error));
        EXPECT_EQ(error.status, RegistryStatus::StoreUnusable);
        EXPECT_FALSE(RegistryKey::Open(RegistryRoot::LocalMachine, L"SOFTWARE\\Key 1", RegistryAccess::Read));
        EXPECT_FALSE(RegistryKey::Delete(RegistryRoot::LocalMachine, L"SOFTWARE", &error));
        EXPECT_EQ(error.status, RegistryStatus::StoreUnusable);

        EXPECT_TRUE(ReadFile(strFile) == before) << "the file was changed";
    }
}

TEST_F(RegistryStoreTest, ConcurrentWritersLoseNoValue)
{
    // The store file does not exist yet: the writers also race to create it.
    constexpr int kThreads = 4;
    constexpr int kValuesEach = 60;
    std::atomic<int> nReady{0};
    std::atomic<int> nFailures{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            nReady.fetch_add(1);
            while (nReady.load() < kThreads)
                std::this_thread::yield();
            for (int i = 0; i < kValuesEach; ++i) {
                // Each write on a handle of its own, as threads that each construct their object.
                std::optional<RegistryKey> key =
                    RegistryKey::Create(RegistryRoot::LocalMachine, kLauncherKey + L"\\12");
                std::optional<RegistryKey> own = RegistryKey::Create(
                    RegistryRoot::LocalMachine, FormatW(L"%ls\\Writer %d\\%d", kLauncherKey.c_str(), t, i));
                if (!key || !own ||
                    !key->WriteValue(FormatW(L"T%d-%d", t, i), Binary(std::string(1, char(i)))))
                    nFailures.fetch_add(1);
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(nFailures.load(), 0);

    std::optional<RegistryKey> key = OpenKey(kLauncherKey + L"\\12");
    ASSERT_TRUE(key);
    std::optional<std::vector<RegistryNamedValue>> values = key->GetValues();
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), static_cast<size_t>(kThreads * kValuesEach));
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kValuesEach; ++i) {
            std::optional<RegistryValue> value = key->ReadValue(FormatW(L"T%d-%d", t, i));
            ASSERT_TRUE(value) << t << " " << i;
            EXPECT_EQ(value->data, std::string(1, char(i)));
        }
        std::optional<RegistryKey> writer = OpenKey(FormatW(L"%ls\\Writer %d", kLauncherKey.c_str(), t));
        ASSERT_TRUE(writer);
        EXPECT_EQ(writer->GetSubkeyNames()->size(), static_cast<size_t>(kValuesEach));
    }
}
