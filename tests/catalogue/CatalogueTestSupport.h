#pragma once

// Shared by the catalogue suites: a session log in a temporary file, picture and briefing files
// in a game's asset folder, and game keys in the store as the installers leave them.

#include "app/CGP_LogFile.h"
#include "app/CGP_Registry.h"
#include "catalogue/CGameArray.h"
#include "platform/image/Image.h"
#include "platform/text/Text.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace catalogue_test {

inline std::wstring W(const std::string& strText)
{
    return platform::FromUtf8(strText);
}

// The session log goes to a file of its own for one scope.
class ScopedLog
{
public:
    explicit ScopedLog(const std::string& strPath) : m_strPath(strPath)
    {
        m_pLog = std::make_shared<CGP_LogFile>(W(strPath), true, std::nullopt);
        m_pLog->Open();
        SetSessionLog(m_pLog);
    }
    ~ScopedLog() { SetSessionLog(nullptr); }
    ScopedLog(const ScopedLog&) = delete;
    ScopedLog& operator=(const ScopedLog&) = delete;

    std::string Text() const { return testing_support::ReadFile(m_strPath); }

private:
    std::string m_strPath;
    std::shared_ptr<CGP_LogFile> m_pLog;
};

inline bool WritePng(const std::string& strPath, int nWidth, int nHeight, uint32_t nColor = 0xFF336699)
{
    std::optional<platform::Image> image = platform::Image::Create(nWidth, nHeight, nColor);
    return image && image->SavePng(W(strPath));
}

// The three pictures of a game, in the sizes the server sends.
inline void WritePictures(const std::string& strAssetDir)
{
    std::filesystem::create_directories(strAssetDir);
    WritePng(strAssetDir + "/thumbimg_s", 80, 80);
    WritePng(strAssetDir + "/featureimg_s", 200, 200);
    WritePng(strAssetDir + "/bannerimg_s", 350, 90);
}

inline void WriteAssets(const std::string& strAssetDir, const std::string& strBriefing)
{
    WritePictures(strAssetDir);
    testing_support::WriteFile(strAssetDir + "/briefdesc_s", strBriefing);
}

inline std::wstring GameKey(const std::string& strId)
{
    return L"SOFTWARE\\Brevanto Launcher\\" + W(strId);
}

// A game key as its installer and the launcher leave it.
inline void WriteGameKey(const std::string& strId, uint8_t nInstalled, uint8_t nLoading, uint8_t nUpdate = 0,
                         const std::string& strInstallDir = "", const std::string& strLaunchFile = "")
{
    CGP_Registry key(platform::RegistryRoot::LocalMachine, GameKey(strId));
    key.CreateKeyAllPerm();
    key.WriteByte(L"installed", nInstalled);
    key.WriteByte(L"loading", nLoading);
    key.WriteByte(L"UpdateProtuct", nUpdate);
    if (!strInstallDir.empty())
        key.WriteString(L"", W(strInstallDir));
    if (!strLaunchFile.empty())
        key.WriteString(L"LaunchFile", W(strLaunchFile));
}

// The records of a catalogue, freed with it.
class OwnedGames
{
public:
    OwnedGames() = default;
    ~OwnedGames()
    {
        for (tagGames* pGame : arrGames.TakeAll())
            delete pGame;
    }
    OwnedGames(const OwnedGames&) = delete;
    OwnedGames& operator=(const OwnedGames&) = delete;

    std::vector<std::wstring> Ids() const
    {
        std::vector<std::wstring> arrIds;
        for (const tagGames* pGame : arrGames.Snapshot())
            arrIds.emplace_back(pGame->szID);
        return arrIds;
    }

    CGameArray arrGames;
};

} // namespace catalogue_test
