// The demo installers and games as the launcher runs them: an installer with "/S /D=" into a
// games folder whose name has spaces, its key in a temporary store, the game with "ID:", and
// "Uninstall.exe /S".

#include "platform/fs/FileSystem.h"
#include "platform/image/Image.h"
#include "platform/process/Process.h"
#include "platform/registry/RegistryKey.h"
#include "platform/text/Text.h"
#include "platform/version/FileVersion.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::ReadFile;

namespace {

const std::string kDemoRoot = testing_support::BinPath("../demo-root");

class BrevantoDemoTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(platform::CreateFolders(platform::FromUtf8(m_strGames))); }

    // Runs a program the way the launcher does (one parameter string, hidden), waits, and
    // returns its exit code (-1 when it could not start).
    int RunLikeTheLauncher(const std::string& strFile, const std::string& strParameters)
    {
        platform::ProcessStartInfo info;
        info.strFile = platform::FromUtf8(strFile);
        info.strParameters = platform::FromUtf8(strParameters);
        info.strDirectory = platform::FromUtf8(m_strGames);
        info.nShow = platform::ShowMode::Hide;
        auto pProcess = platform::Process::Start(info);
        uint32_t nCode = 0;
        if (!pProcess || !pProcess->Wait(60000) || !pProcess->GetExitCode(nCode))
            return -1;
        return static_cast<int>(nCode);
    }

    // The downloaded installer as the launcher keeps it: a copy without the execute bit.
    std::string Downloaded(const std::string& strId)
    {
        std::string strCopy = m_dir / ("trialinstaller_s_" + strId + ".exe");
        std::filesystem::copy_file(kDemoRoot + "/games/" + strId + "/setup-" + strId + ".bin", strCopy,
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(strCopy, std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::owner_write);
        return strCopy;
    }

    std::optional<std::wstring> ReadKey(const std::string& strId, const wchar_t* pszName)
    {
        auto key = platform::RegistryKey::Open(platform::RegistryRoot::LocalMachine,
                                               L"SOFTWARE\\Brevanto Launcher\\" + platform::FromUtf8(strId),
                                               platform::RegistryAccess::Read);
        auto value = key ? key->ReadValue(pszName) : std::nullopt;
        if (!value)
            return std::nullopt;
        return platform::DecodeRegistryString(value->data);
    }

    testing_support::TempDir m_dir;
    std::string m_strGames = m_dir / "My Games";
    testing_support::ScopedEnv m_registry{"BREVANTO_REGISTRY", m_dir / "registry.db"};
};

TEST_F(BrevantoDemoTest, InstallerWritesGameAndKeyAndUninstallerRemovesThem)
{
    ASSERT_EQ(RunLikeTheLauncher(Downloaded("12"), "/S /D=" + m_strGames), 0);

    const std::string strFolder = m_strGames + "/Star Hopper";
    EXPECT_EQ(ReadKey("12", L""), platform::FromUtf8(strFolder));
    EXPECT_EQ(ReadKey("12", L"LaunchFile"), L"StarHopper");
    EXPECT_EQ(ReadKey("12", L"version"), L"1.2.0.0");
    auto version = platform::GetFileVersion(platform::FromUtf8(strFolder + "/StarHopper"));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->ToString(), L"1.2.0.0");

    // An update installs over the same folder.
    ASSERT_EQ(RunLikeTheLauncher(Downloaded("12"), "/S /isUpdate=1 /D=" + m_strGames), 0);
    EXPECT_TRUE(std::filesystem::exists(strFolder + "/StarHopper"));

    // A file the user put there stays, and so does the folder that holds it.
    testing_support::WriteFile(strFolder + "/savegame.dat", "progress");
    ASSERT_EQ(RunLikeTheLauncher(strFolder + "/Uninstall.exe", "/S"), 0);
    EXPECT_FALSE(std::filesystem::exists(strFolder + "/StarHopper"));
    EXPECT_FALSE(std::filesystem::exists(strFolder + "/Uninstall.exe"));
    EXPECT_FALSE(std::filesystem::exists(strFolder + "/game.ini"));
    EXPECT_EQ(ReadFile(strFolder + "/savegame.dat"), "progress");
    EXPECT_FALSE(ReadKey("12", L"LaunchFile"));
    EXPECT_FALSE(ReadKey("12", L""));

    ASSERT_EQ(RunLikeTheLauncher(Downloaded("27"), "/S /D=" + m_strGames + "/"), 0);
    ASSERT_EQ(RunLikeTheLauncher(m_strGames + "/Crystal Caverns/Uninstall.exe", "/S"), 0);
    EXPECT_FALSE(std::filesystem::exists(m_strGames + "/Crystal Caverns"));
}

TEST_F(BrevantoDemoTest, DamagedInstallerOrMissingFolderFailsWithoutWritingTheKey)
{
    std::string strInstaller = Downloaded("31");
    EXPECT_EQ(RunLikeTheLauncher(strInstaller, "/S"), 1);
    EXPECT_EQ(RunLikeTheLauncher(strInstaller, "/S /D="), 1);

    std::string strData = ReadFile(strInstaller);
    testing_support::WriteFile(strInstaller, strData.substr(0, strData.size() - 1000));
    EXPECT_EQ(RunLikeTheLauncher(strInstaller, "/S /D=" + m_strGames), 1);
    EXPECT_FALSE(ReadKey("31", L"LaunchFile"));
    EXPECT_FALSE(std::filesystem::exists(m_strGames + "/Sky Lanterns"));
}

TEST_F(BrevantoDemoTest, GameOpensAWindowShowingTheIdItWasGiven)
{
    ASSERT_EQ(RunLikeTheLauncher(Downloaded("45"), "/S /D=" + m_strGames), 0);
    testing_support::ScopedEnv video("SDL_VIDEODRIVER", "dummy");
    testing_support::ScopedEnv frames("BREVANTO_DEMO_GAME_FRAMES", "3");
    testing_support::ScopedEnv shot("BREVANTO_DEMO_GAME_SHOT", m_dir / "shot.png");
    auto result = testing_support::Run({m_strGames + "/Iron Tide/IronTide", "ID:45"});
    EXPECT_EQ(result.nExitCode, 0) << result.strErr;
    EXPECT_EQ(result.strOut, "ID:45\n");
    auto image = platform::Image::LoadFromFile(platform::FromUtf8(m_dir / "shot.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetWidth(), 640);
    // The id's text is drawn in white at the top right.
    bool bWhite = false;
    for (int y = 18; y < 44 && !bWhite; ++y) {
        for (int x = 560; x < 630 && !bWhite; ++x)
            bWhite = (image->GetPixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
    }
    EXPECT_TRUE(bWhite);
}

TEST_F(BrevantoDemoTest, CatalogueHasSixGamesWithBriefingsTheLauncherReads)
{
    size_t nGames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kDemoRoot + "/games")) {
        std::string strBrief = ReadFile((entry.path() / "brief.txt").string());
        SCOPED_TRACE(strBrief);
        size_t nSplit = strBrief.find("&&");
        ASSERT_NE(nSplit, std::string::npos);
        EXPECT_GT(nSplit, 0u);
        EXPECT_LE(nSplit, 50u);
        EXPECT_LE(strBrief.size(), 511u);
        EXPECT_TRUE(platform::IsValidUtf8(strBrief));
        ++nGames;
    }
    EXPECT_GE(nGames, 6u);
}

} // namespace
