#include "app/CGP_Registry.h"

#include "platform/registry/RegistryKey.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using platform::RegistryRoot;

namespace {

const std::wstring kLauncherKey = L"SOFTWARE\\Brevanto Launcher";
const std::wstring kGameKey = L"SOFTWARE\\Brevanto Launcher\\12";

std::optional<platform::RegistryValue> StoredValue(const std::wstring& strPath, const std::wstring& strName)
{
    std::optional<platform::RegistryKey> key =
        platform::RegistryKey::Open(RegistryRoot::LocalMachine, strPath, platform::RegistryAccess::Read);
    return key ? key->ReadValue(strName) : std::nullopt;
}

class CGP_RegistryTest : public ::testing::Test
{
protected:
    testing_support::TempDir m_dir;
    std::string m_strFile = m_dir / "state/registry.db";
    testing_support::ScopedEnv m_env{"BREVANTO_REGISTRY", m_strFile};
};

} // namespace

TEST_F(CGP_RegistryTest, MissingKeyFailsEverythingAndKeepsPresets)
{
    CGP_Registry reg(RegistryRoot::LocalMachine, kGameKey);
    EXPECT_FALSE(reg.Open());

    std::wstring strValue = L"preset";
    uint32_t nDword = 77;
    uint8_t nByte = 7;
    std::wstring strName = L"untouched";
    EXPECT_FALSE(reg.ReadString(L"Name", strValue));
    EXPECT_FALSE(reg.ReadDword(L"ContentLen", nDword));
    EXPECT_FALSE(reg.ReadByte(L"Flag", nByte));
    EXPECT_FALSE(reg.EnumKey(0, strName));
    EXPECT_FALSE(reg.WriteString(L"Name", L"x"));
    EXPECT_FALSE(reg.WriteDword(L"ContentLen", 1));
    EXPECT_FALSE(reg.WriteByte(L"Flag", 1));
    EXPECT_FALSE(reg.Close());
    EXPECT_EQ(strValue, L"preset");
    EXPECT_EQ(nDword, 77u);
    EXPECT_EQ(nByte, 7u);
    EXPECT_EQ(strName, L"untouched");
    EXPECT_FALSE(std::filesystem::exists(m_strFile)); // nothing was created along the way

    // An open key with a missing value leaves the presets too.
    ASSERT_TRUE(reg.Create());
    EXPECT_FALSE(reg.ReadString(L"Name", strValue));
    EXPECT_FALSE(reg.ReadDword(L"ContentLen", nDword));
    EXPECT_EQ(strValue, L"preset");
    EXPECT_EQ(nDword, 77u);
}

TEST_F(CGP_RegistryTest, DwordIsFourLittleEndianBinaryBytes)
{
    CGP_Registry reg(RegistryRoot::LocalMachine, kGameKey);
    ASSERT_TRUE(reg.Create());
    ASSERT_TRUE(reg.WriteDword(L"ContentLen", 1000));
    std::optional<platform::RegistryValue> stored = StoredValue(kGameKey, L"ContentLen");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->kind, platform::RegistryValueKind::Binary);
    EXPECT_EQ(stored->data, std::string("\xE8\x03\x00\x00", 4));

    uint32_t nValue = 0;
    EXPECT_TRUE(reg.ReadDword(L"ContentLen", nValue));
    EXPECT_EQ(nValue, 1000u);

    ASSERT_TRUE(reg.WriteByte(L"Flag", 0xAB));
    stored = StoredValue(kGameKey, L"Flag");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->kind, platform::RegistryValueKind::Binary);
    EXPECT_EQ(stored->data, "\xAB");
}

TEST_F(CGP_RegistryTest, ReadsAcceptValuesUpToTheirSize)
{
    CGP_Registry writer(RegistryRoot::LocalMachine, kGameKey);
    ASSERT_TRUE(writer.Create());
    ASSERT_TRUE(writer.WriteDword(L"Four", 0x11223344));
    ASSERT_TRUE(writer.WriteByte(L"One", 1));
    ASSERT_TRUE(writer.WriteString(L"Text", L"1"));

    struct Case
    {
        const wchar_t* pszName;
        uint32_t nPreset;
        bool bDwordOk;
        uint32_t nDword;
        bool bByteOk;
        uint8_t nByte;
    } cases[] = {
        {L"Four", 0, true, 0x11223344, false, 0xEE},
        {L"One", 0, true, 1, true, 1},
        {L"One", 0xFFFFFFFF, true, 0xFFFFFF01, true, 1}, // only the low byte is filled
        {L"Text", 0, true, 0x31, false, 0xEE},           // REG_SZ "1" is 31 00 00 00
    };
    CGP_Registry reg(RegistryRoot::LocalMachine, kGameKey);
    ASSERT_TRUE(reg.Open());
    for (const Case& c : cases) {
        uint32_t nDword = c.nPreset;
        uint8_t nByte = 0xEE;
        EXPECT_EQ(reg.ReadDword(c.pszName, nDword), c.bDwordOk) << c.nPreset;
        EXPECT_EQ(nDword, c.nDword) << c.nPreset;
        EXPECT_EQ(reg.ReadByte(c.pszName, nByte), c.bByteOk) << c.nPreset;
        EXPECT_EQ(nByte, c.nByte) << c.nPreset;
    }

    // Five bytes are too many for a DWORD.
    std::optional<platform::RegistryKey> raw = platform::RegistryKey::Open(
        RegistryRoot::LocalMachine, kGameKey, platform::RegistryAccess::ReadWrite);
    ASSERT_TRUE(raw);
    ASSERT_TRUE(raw->WriteValue(L"Five", {platform::RegistryValueKind::Binary, "12345"}));
    uint32_t nDword = 9;
    EXPECT_FALSE(reg.ReadDword(L"Five", nDword));
    EXPECT_EQ(nDword, 9u);
}

TEST_F(CGP_RegistryTest, WritesThroughOpenFail)
{
    CGP_Registry writer(RegistryRoot::LocalMachine, kGameKey);
    ASSERT_TRUE(writer.Create());
    ASSERT_TRUE(writer.WriteDword(L"ContentLen", 5));

    CGP_Registry reader(RegistryRoot::LocalMachine, kGameKey);
    ASSERT_TRUE(reader.Open());
    EXPECT_FALSE(reader.WriteDword(L"ContentLen", 6));
    EXPECT_FALSE(reader.WriteByte(L"Flag", 1));
    EXPECT_FALSE(reader.WriteString(L"Name", L"x"));
    uint32_t nValue = 0;
    EXPECT_TRUE(reader.ReadDword(L"ContentLen", nValue));
    EXPECT_EQ(nValue, 5u);
    EXPECT_FALSE(StoredValue(kGameKey, L"Flag"));
}

TEST_F(CGP_RegistryTest, StringsRoundTripUpTo1023Characters)
{
    CGP_Registry reg(RegistryRoot::LocalMachine, kGameKey);
    ASSERT_TRUE(reg.Create());
    const std::wstring strName = L"Игра «Brevanto» \U0001F3AE";
    ASSERT_TRUE(reg.WriteString(L"Name", strName));
    ASSERT_TRUE(reg.WriteString(L"Max", std::wstring(1023, L'x')));
    ASSERT_TRUE(reg.WriteString(L"Over", std::wstring(1024, L'y')));
    ASSERT_TRUE(reg.WriteString(L"", L"default"));
    ASSERT_TRUE(reg.WriteString(L"Empty", L""));
    EXPECT_EQ(StoredValue(kGameKey, L"Max")->data.size(), 2048u);
    EXPECT_EQ(StoredValue(kGameKey, L"Name")->kind, platform::RegistryValueKind::String);

    CGP_Registry reader(RegistryRoot::LocalMachine, kGameKey);
    ASSERT_TRUE(reader.Open());
    std::wstring strValue;
    EXPECT_TRUE(reader.ReadString(L"Name", strValue));
    EXPECT_EQ(strValue, strName);
    EXPECT_TRUE(reader.ReadString(L"Max", strValue));
    EXPECT_EQ(strValue, std::wstring(1023, L'x'));
    EXPECT_FALSE(reader.ReadString(L"Over", strValue));
    EXPECT_EQ(strValue, std::wstring(1023, L'x'));
    EXPECT_TRUE(reader.ReadString(L"", strValue));
    EXPECT_EQ(strValue, L"default");
    EXPECT_TRUE(reader.ReadString(L"Empty", strValue));
    EXPECT_EQ(strValue, L"");
}

TEST_F(CGP_RegistryTest, CreateKeyAllPermKeepsTheAccessOfAnExistingKey)
{
    CGP_Registry plain(RegistryRoot::LocalMachine, kLauncherKey);
    ASSERT_TRUE(plain.Create());
    ASSERT_TRUE(plain.WriteByte(L"Kept", 3));

    CGP_Registry again(RegistryRoot::LocalMachine, L"software\\brevanto launcher\\");
    ASSERT_TRUE(again.CreateKeyAllPerm());
    uint8_t nByte = 0;
    EXPECT_TRUE(again.ReadByte(L"Kept", nByte));
    EXPECT_EQ(nByte, 3u);
    EXPECT_TRUE(again.WriteByte(L"New", 4));
    auto key =
        platform::RegistryKey::Open(RegistryRoot::LocalMachine, kLauncherKey, platform::RegistryAccess::Read);
    ASSERT_TRUE(key);
    EXPECT_FALSE(key->HasAllAccess());

    CGP_Registry fresh(RegistryRoot::LocalMachine, kGameKey + L"\\Open");
    ASSERT_TRUE(fresh.CreateKeyAllPerm());
    key = platform::RegistryKey::Open(RegistryRoot::LocalMachine, kGameKey + L"\\Open",
                                      platform::RegistryAccess::Read);
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->HasAllAccess());
}

TEST_F(CGP_RegistryTest, CloseTwiceAndOperationsAfterClose)
{
    CGP_Registry reg(RegistryRoot::LocalMachine, kGameKey);
    ASSERT_TRUE(reg.Create());
    EXPECT_TRUE(reg.Close());
    EXPECT_FALSE(reg.Close());
    EXPECT_FALSE(reg.WriteDword(L"ContentLen", 1));
    EXPECT_FALSE(StoredValue(kGameKey, L"ContentLen"));
    ASSERT_TRUE(reg.Open()); // a closed object can be opened again
    EXPECT_TRUE(reg.Close());
}

TEST_F(CGP_RegistryTest, EnumKeyWalksSubkeysUntilItFails)
{
    for (const wchar_t* pszName : {L"7", L"12", L"b", L"A"}) {
        CGP_Registry game(RegistryRoot::LocalMachine, kLauncherKey + L"\\" + pszName);
        ASSERT_TRUE(game.Create());
    }
    const std::wstring strLong(1024, L'n');
    const std::wstring strTooLong(1025, L'o');
    CGP_Registry longName(RegistryRoot::LocalMachine, kLauncherKey + L"\\" + strLong);
    ASSERT_TRUE(longName.Create());

    CGP_Registry reg(RegistryRoot::LocalMachine, kLauncherKey);
    ASSERT_TRUE(reg.Open());
    std::vector<std::wstring> seen;
    std::wstring strName;
    for (uint32_t i = 0; reg.EnumKey(i, strName); ++i)
        seen.push_back(strName);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"12", L"7", L"A", L"b", strLong}));

    // A name longer than the launcher's buffer cannot be enumerated.
    CGP_Registry tooLong(RegistryRoot::LocalMachine, kLauncherKey + L"\\" + strTooLong);
    ASSERT_TRUE(tooLong.Create());
    EXPECT_TRUE(reg.EnumKey(0, strName));
    EXPECT_TRUE(reg.EnumKey(4, strName));
    strName = L"kept";
    EXPECT_FALSE(reg.EnumKey(5, strName));
    EXPECT_EQ(strName, L"kept");
}

TEST_F(CGP_RegistryTest, ABrokenStoreFailsEveryOperationQuietly)
{
    std::filesystem::create_directories(std::filesystem::path(m_strFile).parent_path());
    testing_support::WriteFile(m_strFile, "not a database");

    CGP_Registry reg(RegistryRoot::LocalMachine, kGameKey);
    EXPECT_FALSE(reg.Create());
    EXPECT_FALSE(reg.CreateKeyAllPerm());
    EXPECT_FALSE(reg.Open());
    uint32_t nValue = 5;
    EXPECT_FALSE(reg.ReadDword(L"ContentLen", nValue));
    EXPECT_FALSE(reg.WriteDword(L"ContentLen", 1));
    EXPECT_EQ(nValue, 5u);
    EXPECT_EQ(testing_support::ReadFile(m_strFile), "not a database");
}
