#include "app/CGP_Registry.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using testing_support::RunResult;

namespace {

const std::string kGameKey = "HKLM\\SOFTWARE\\Brevanto Launcher\\12";

// Runs the real tool against a store in a folder whose name has a space and non-ASCII text.
class BrevantoRegTest : public ::testing::Test
{
protected:
    RunResult Reg(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {testing_support::BinPath("brevanto-reg")};
        argv.insert(argv.end(), args.begin(), args.end());
        return testing_support::Run(argv);
    }

    testing_support::TempDir m_dir;
    std::string m_strFile = m_dir / "Brevanto \xD0\x98\xD0\xB3\xD1\x80\xD1\x8B/registry.db";
    testing_support::ScopedEnv m_env{"BREVANTO_REGISTRY", m_strFile};
};

// stderr holds exactly one line that mentions every fragment.
void ExpectOneLineError(const RunResult& result, std::initializer_list<const char*> fragments)
{
    EXPECT_EQ(result.nExitCode, 1);
    ASSERT_FALSE(result.strErr.empty());
    EXPECT_EQ(result.strErr.find('\n'), result.strErr.size() - 1) << result.strErr;
    for (const char* pszFragment : fragments)
        EXPECT_NE(result.strErr.find(pszFragment), std::string::npos) << result.strErr;
}

} // namespace

TEST_F(BrevantoRegTest, AddedBinaryValueIsQueriedAndReadByTheLauncher)
{
    RunResult added = Reg({"add", kGameKey, "/v", "ContentLen", "/t", "REG_BINARY", "/d", "e8030000", "/f"});
    ASSERT_EQ(added.nExitCode, 0) << added.strErr;

    RunResult query = Reg({"query", kGameKey});
    ASSERT_EQ(query.nExitCode, 0) << query.strErr;
    EXPECT_EQ(query.strOut, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanto Launcher\\12\n"
                            "    ContentLen    REG_BINARY    E8030000\n");

    CGP_Registry reg(platform::RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher\\12");
    ASSERT_TRUE(reg.Open());
    uint32_t nValue = 0;
    EXPECT_TRUE(reg.ReadDword(L"ContentLen", nValue));
    EXPECT_EQ(nValue, 1000u);
}

TEST_F(BrevantoRegTest, QueryShowsStringsDefaultsAndSubkeys)
{
    CGP_Registry reg(platform::RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher");
    ASSERT_TRUE(reg.Create());
    ASSERT_TRUE(reg.WriteString(L"Lang", L"Русский"));
    ASSERT_TRUE(reg.WriteString(L"", L"launcher"));
    ASSERT_EQ(
        Reg({"add", "HKEY_LOCAL_MACHINE\\software\\brevanto launcher\\7", "/ve", "/d", "Игра"}).nExitCode, 0);
    ASSERT_EQ(Reg({"add", kGameKey, "/v", "Flag", "/t", "reg_binary", "/d", "01"}).nExitCode, 0);

    RunResult list = Reg({"query", "HKLM\\SOFTWARE\\Brevanto Launcher\\"});
    ASSERT_EQ(list.nExitCode, 0) << list.strErr;
    EXPECT_EQ(list.strOut, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanto Launcher\n"
                           "    Lang    REG_SZ    Русский\n"
                           "    (Default)    REG_SZ    launcher\n"
                           "\n"
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanto Launcher\\12\n"
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanto Launcher\\7\n");

    RunResult tree = Reg({"query", "HKLM\\SOFTWARE\\Brevanto Launcher", "/s"});
    ASSERT_EQ(tree.nExitCode, 0) << tree.strErr;
    EXPECT_EQ(tree.strOut, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanto Launcher\n"
                           "    Lang    REG_SZ    Русский\n"
                           "    (Default)    REG_SZ    launcher\n"
                           "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanto Launcher\\12\n"
                           "    Flag    REG_BINARY    01\n"
                           "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanto Launcher\\7\n"
                           "    (Default)    REG_SZ    Игра\n");

    RunResult one = Reg({"query", "HKLM\\SOFTWARE\\Brevanto Launcher\\7", "/ve"});
    ASSERT_EQ(one.nExitCode, 0) << one.strErr;
    EXPECT_EQ(one.strOut,
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanto Launcher\\7\n    (Default)    REG_SZ    Игра\n");

    RunResult search = Reg({"query", "HKCU\\SOFTWARE", "/v", "Flag", "/s"});
    EXPECT_EQ(search.nExitCode, 1); // HKCU is a tree of its own
    search = Reg({"query", "HKLM\\SOFTWARE", "/v", "flag", "/s"});
    ASSERT_EQ(search.nExitCode, 0) << search.strErr;
    EXPECT_EQ(search.strOut,
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanto Launcher\\12\n    Flag    REG_BINARY    01\n");
}

TEST_F(BrevantoRegTest, AddOverwritesAndDeleteRemovesValuesAndTrees)
{
    ASSERT_EQ(Reg({"add", kGameKey, "/v", "Name", "/d", "old"}).nExitCode, 0);
    ASSERT_EQ(Reg({"add", kGameKey, "/v", "Name", "/d", "new"}).nExitCode, 0); // no /f: still overwritten
    ASSERT_EQ(Reg({"add", kGameKey + "\\Sub"}).nExitCode, 0);
    CGP_Registry reg(platform::RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher\\12");
    ASSERT_TRUE(reg.Open());
    std::wstring strName;
    EXPECT_TRUE(reg.ReadString(L"Name", strName));
    EXPECT_EQ(strName, L"new");
    EXPECT_TRUE(reg.EnumKey(0, strName));
    EXPECT_EQ(strName, L"Sub");

    ASSERT_EQ(Reg({"delete", kGameKey, "/v", "Name", "/f"}).nExitCode, 0);
    EXPECT_FALSE(reg.ReadString(L"Name", strName));
    ExpectOneLineError(Reg({"delete", kGameKey, "/v", "Name"}), {"Name", "not found"});

    ASSERT_EQ(Reg({"delete", "HKLM\\SOFTWARE\\Brevanto Launcher"}).nExitCode, 0);
    EXPECT_FALSE(
        CGP_Registry(platform::RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher\\12").Open());
    EXPECT_EQ(Reg({"query", "HKLM\\SOFTWARE"}).strOut, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\n");
}

TEST_F(BrevantoRegTest, BadInputExitsOneWithAMessageAndChangesNothing)
{
    ASSERT_EQ(Reg({"add", kGameKey, "/v", "Keep", "/t", "REG_BINARY", "/d", "01"}).nExitCode, 0);
    const std::string before = testing_support::ReadFile(m_strFile);

    struct Case
    {
        std::vector<std::string> args;
        std::initializer_list<const char*> fragments;
    } cases[] = {
        {{}, {"command"}},
        {{"query"}, {"command"}},
        {{"frob", kGameKey}, {"unknown command", "frob"}},
        {{"query", "HKXY\\SOFTWARE"}, {"invalid key", "HKXY"}},
        {{"query", kGameKey, "/v"}, {"/v"}},
        {{"query", kGameKey, "/v", "A", "/ve"}, {"/v"}},
        {{"query", kGameKey, "/d", "x"}, {"/d"}},
        {{"delete", kGameKey, "/s"}, {"/s"}},
        {{"add", kGameKey, "/v", "Keep", "/t", "REG_BINARY", "/d", "e80"}, {"e80", "hex"}},
        {{"add", kGameKey, "/v", "Keep", "/t", "REG_BINARY", "/d", "zz"}, {"zz", "hex"}},
        {{"add", kGameKey, "/v", "Keep", "/t", "REG_DWORD", "/d", "1"}, {"REG_DWORD"}},
        {{"add", "HKLM\\A\\\\B"}, {"not valid"}},
        {{"add", kGameKey, "/v", "bad \xFF"}, {"UTF-8"}},
        {{"query", "HKLM\\SOFTWARE\\Nowhere"}, {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Nowhere", "not found"}},
        {{"query", kGameKey, "/v", "Missing"}, {"Missing", "not found"}},
        {{"delete", "HKLM\\SOFTWARE\\Nowhere"}, {"Nowhere", "not found"}},
        {{"delete", "HKLM"}, {"root"}},
    };
    for (const Case& c : cases) {
        RunResult result = Reg(c.args);
        SCOPED_TRACE(c.args.empty() ? std::string("(no arguments)") : c.args[0] + " " + c.args.back());
        ExpectOneLineError(result, c.fragments);
    }
    EXPECT_TRUE(testing_support::ReadFile(m_strFile) == before);
}

TEST_F(BrevantoRegTest, QueryOfAMissingStoreCreatesNothing)
{
    ExpectOneLineError(Reg({"query", kGameKey}), {"not found"});
    ExpectOneLineError(Reg({"delete", kGameKey}), {"not found"});
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(m_strFile).parent_path()));
}

TEST_F(BrevantoRegTest, NotADatabaseIsReportedAndLeftByteForByte)
{
    std::filesystem::create_directories(std::filesystem::path(m_strFile).parent_path());
    const std::string strContent = "[Settings]\nLang=en\n";
    testing_support::WriteFile(m_strFile, strContent);

    for (const char* pszVerb : {"query", "add", "delete"}) {
        SCOPED_TRACE(pszVerb);
        RunResult result = Reg({pszVerb, kGameKey, "/v", "ContentLen"});
        ExpectOneLineError(result, {m_strFile.c_str(), "not a SQLite database"});
    }
    EXPECT_TRUE(testing_support::ReadFile(m_strFile) == strContent);
    EXPECT_EQ(std::filesystem::directory_iterator(std::filesystem::path(m_strFile).parent_path())->path(),
              std::filesystem::path(m_strFile)); // no journal or WAL beside it
}

TEST_F(BrevantoRegTest, TwoProcessesWritingOneKeyLoseNothing)
{
    constexpr int kRuns = 25;
    std::vector<std::thread> writers;
    std::vector<int> failures(2, 0);
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < kRuns; ++i) {
                RunResult result = testing_support::Run(
                    {testing_support::BinPath("brevanto-reg"), "add", kGameKey, "/v",
                     "W" + std::to_string(w) + "-" + std::to_string(i), "/t", "REG_BINARY", "/d", "01"});
                failures[static_cast<size_t>(w)] += result.nExitCode != 0;
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(failures, std::vector<int>(2, 0));

    RunResult query = Reg({"query", kGameKey});
    ASSERT_EQ(query.nExitCode, 0) << query.strErr;
    for (int w = 0; w < 2; ++w) {
        for (int i = 0; i < kRuns; ++i) {
            std::string strLine =
                "    W" + std::to_string(w) + "-" + std::to_string(i) + "    REG_BINARY    01\n";
            EXPECT_NE(query.strOut.find(strLine), std::string::npos) << strLine;
        }
    }
}
