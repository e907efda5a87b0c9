#include "catalogue/CatalogueSettings.h"

#include "app/CGP_LogFile.h"
#include "app/CGP_Registry.h"
#include "catalogue/GameAssets.h"
#include "catalogue/GameRecords.h"
#include "platform/fs/FileSystem.h"
#include "platform/registry/RegistryKey.h"

#include <cstdio>
#include <memory>
#include <unordered_map>
#include <vector>

using platform::RegistryRoot;

namespace {

// "Order" longer than a string read takes (1023 characters, about 100 games) is read whole up to
// this size, so a large catalogue keeps its order; anything larger is damage and is ignored.
constexpr size_t kMaxOrderBytes = 1024 * 1024;

std::wstring ForLog(std::wstring_view strText)
{
    constexpr size_t kMaxLogged = 32;
    return std::wstring(strText.substr(0, kMaxLogged)) + (strText.size() > kMaxLogged ? L"..." : L"");
}

// "Order" as stored; empty when it is missing or cannot be used.
std::wstring ReadOrder(CGP_Registry& launcherKey)
{
    std::wstring strOrder;
    if (launcherKey.ReadString(L"Order", strOrder))
        return strOrder;
    std::optional<platform::RegistryKey> key = platform::RegistryKey::Open(
        RegistryRoot::LocalMachine, kLauncherKeyPath, platform::RegistryAccess::Read);
    std::optional<platform::RegistryValue> value = key ? key->ReadValue(L"Order") : std::nullopt;
    if (!value)
        return {};
    if (value->data.size() > kMaxOrderBytes) {
        SessionLog()
            ->Write(L"Order too long, ignored:")
            ->WriteInt(static_cast<int32_t>(value->data.size()))
            ->Write(L"\r\n");
        return {};
    }
    return platform::DecodeRegistryString(value->data);
}

// Ids at single spaces: the text before the first space, as long as that space is not the
// first character; what is left at the end, if anything, is one more id.
std::vector<std::wstring_view> SplitOrder(std::wstring_view strOrder)
{
    std::vector<std::wstring_view> arrIds;
    size_t nSpace;
    while ((nSpace = strOrder.find(L' ')) != std::wstring_view::npos && nSpace > 0) {
        arrIds.push_back(strOrder.substr(0, nSpace));
        strOrder.remove_prefix(nSpace + 1);
    }
    if (!strOrder.empty())
        arrIds.push_back(strOrder);
    return arrIds;
}

struct GameKeyState
{
    uint8_t nInstalled = 0;
    uint8_t nUpdate = 0;
    uint8_t nLoading = 0;
    bool bExecutableFound = false;
};

// What the load reads of a game key; a key that cannot be opened reads as all zero.
GameKeyState ReadGameKey(const std::wstring& strId)
{
    GameKeyState state;
    CGP_Registry gameKey(RegistryRoot::LocalMachine, GetGameKeyPath(strId));
    gameKey.Open();
    std::wstring strInstallDir;
    std::wstring strLaunchFile;
    gameKey.ReadString(L"", strInstallDir);
    gameKey.ReadString(L"LaunchFile", strLaunchFile);
    gameKey.ReadByte(L"installed", state.nInstalled);
    gameKey.ReadByte(L"UpdateProtuct", state.nUpdate);
    gameKey.ReadByte(L"loading", state.nLoading);
    if (state.nInstalled != 0) {
        std::optional<std::wstring> strExecutable = GetGameExecutablePath(strInstallDir, strLaunchFile);
        if (!strExecutable)
            SessionLog()->Write(L"Bad LaunchFile ID:")->Write(strId)->Write(L"\r\n");
        state.bExecutableFound = strExecutable && platform::CanOpenForReading(*strExecutable);
    }
    return state;
}

void MarkInstalled(tagGames& game)
{
    game.bInstalled = true;
    game.bDownloaded = true;
}

} // namespace

std::wstring GetGameKeyPath(std::wstring_view strId)
{
    if (!IsValidGameId(strId))
        return {};
    return std::wstring(kLauncherKeyPath) + L"\\" + std::wstring(strId);
}

std::optional<std::wstring> GetCommandLineGameId(std::wstring_view strCommandLine)
{
    const size_t nAt = strCommandLine.find(L"ID:");
    if (nAt == std::wstring_view::npos)
        return std::nullopt;
    std::wstring_view strId = strCommandLine.substr(nAt + 3);
    if (strId.empty())
        return std::nullopt;
    if (!IsValidGameId(strId)) {
        SessionLog()->Write(L"Ignored game id:")->Write(ForLog(strId))->Write(L"\r\n");
        return std::nullopt;
    }
    return std::wstring(strId);
}

std::optional<std::wstring> GetGameExecutablePath(const std::wstring& strInstallDir,
                                                  const std::wstring& strLaunchFile)
{
    if (strInstallDir.empty() || strInstallDir[0] != platform::kPathSeparator || strLaunchFile.empty() ||
        strLaunchFile[0] == platform::kPathSeparator)
        return std::nullopt;
    std::wstring_view rest = strLaunchFile;
    while (!rest.empty()) {
        const size_t nEnd = std::min(rest.find(platform::kPathSeparator), rest.size());
        if (rest.substr(0, nEnd) == L"..")
            return std::nullopt;
        rest.remove_prefix(std::min(nEnd + 1, rest.size()));
    }
    return platform::JoinPath(strInstallDir, strLaunchFile);
}

void LoadSettings(CGameArray& arrGames, const std::wstring& strDownloadDir,
                  const std::wstring& strCommandLine)
{
    SessionLog()->Write(L"LoadSettings")->Write(L"\r\n");
    std::vector<std::unique_ptr<tagGames>> arrTemp;

    // 1. The command-line game.
    const std::optional<std::wstring> strCommandLineId = GetCommandLineGameId(strCommandLine);
    if (strCommandLineId)
        arrTemp.push_back(CreateGameRecord(*strCommandLineId, strDownloadDir));

    // 2.
    CGP_Registry launcherKey(RegistryRoot::LocalMachine, kLauncherKeyPath);
    launcherKey.CreateKeyAllPerm();
    const std::wstring strOrder = ReadOrder(launcherKey);

    // 3.
    std::wstring strName;
    for (uint32_t nIndex = 0; launcherKey.EnumKey(nIndex, strName); ++nIndex) {
        if (!IsValidGameId(strName)) {
            SessionLog()->Write(L"Ignored game key:")->Write(ForLog(strName))->Write(L"\r\n");
            continue;
        }
        const GameKeyState state = ReadGameKey(strName);
        if (state.nInstalled == 0 && state.nLoading == 0)
            continue;
        if (state.nInstalled != 0 && !state.bExecutableFound)
            continue; // the game's files are gone; the key stays as it is
        if (strCommandLineId && *strCommandLineId == strName) {
            if (state.nInstalled != 0)
                MarkInstalled(*arrTemp.front());
            continue;
        }
        std::unique_ptr<tagGames> pGame = CreateGameRecord(strName, strDownloadDir);
        pGame->bUpdate = state.nUpdate != 0;
        if (state.nInstalled != 0)
            MarkInstalled(*pGame);
        arrTemp.push_back(std::move(pGame));
    }

    // 4.
    launcherKey.Close();

    // 5. and 6. Ids are unique in the temporary list, so one map finds each record's place.
    std::unordered_map<std::wstring_view, size_t> mapIndex;
    for (size_t i = 0; i < arrTemp.size(); ++i)
        mapIndex.emplace(arrTemp[i]->szID, i);
    for (std::wstring_view strId : SplitOrder(strOrder)) {
        auto it = mapIndex.find(strId);
        if (it == mapIndex.end() || !arrTemp[it->second])
            continue;
        arrGames.Add(arrTemp[it->second].release());
    }

    // 7. and 8.
    for (std::unique_ptr<tagGames>& pGame : arrTemp) {
        if (pGame)
            arrGames.InsertAt(0, pGame.release());
    }
}

std::wstring BuildOrderText(const CGameArray& arrGames)
{
    std::wstring strOrder;
    for (const tagGames* pGame : arrGames.Snapshot())
        strOrder.append(pGame->szID).push_back(L' ');
    return strOrder;
}

bool SaveOrder(const CGameArray& arrGames)
{
    return SaveOrder(BuildOrderText(arrGames));
}

bool SaveOrder(const std::wstring& strOrder)
{
    CGP_Registry launcherKey(RegistryRoot::LocalMachine, kLauncherKeyPath);
    return launcherKey.Create() && launcherKey.WriteString(L"Order", strOrder);
}

void RefreshGameState(tagGames& game)
{
    uint8_t nInstalled = 0;
    uint8_t nLoading = 0;
    const std::wstring strPath = GetGameKeyPath(game.szID);
    if (!strPath.empty()) {
        CGP_Registry gameKey(RegistryRoot::LocalMachine, strPath);
        gameKey.Open();
        gameKey.ReadByte(L"installed", nInstalled);
        gameKey.ReadByte(L"loading", nLoading);
    }
    game.bInstalled = nInstalled != 0;
    SessionLog()
        ->Write(L"ID:")
        ->Write(game.szID)
        ->Write(L"   ")
        ->Write(L"Name:")
        ->Write(game.GetName())
        ->Write(L"\r\n");
    SessionLog()
        ->Write(L"instaled:")
        ->WriteInt(nInstalled)
        ->Write(L"   ")
        ->Write(L"loading:")
        ->WriteInt(nLoading)
        ->Write(L"\r\n");
}

DownloadRequest MarkDownloadRequested(std::wstring_view strId)
{
    const std::wstring strPath = GetGameKeyPath(strId);
    if (strPath.empty())
        return DownloadRequest::Failed;
    CGP_Registry gameKey(RegistryRoot::LocalMachine, strPath);
    if (!gameKey.CreateKeyAllPerm())
        return DownloadRequest::Failed;
    uint32_t nInstalled = 0;
    gameKey.ReadDword(L"installed", nInstalled);
    if (nInstalled == 1)
        return DownloadRequest::AlreadyInstalled;
    if (!gameKey.WriteByte(L"installed", 0) || !gameKey.WriteByte(L"loading", 1))
        return DownloadRequest::Failed;
    return DownloadRequest::Marked;
}

std::optional<std::wstring> RequestCommandLineGame(const std::wstring& strCommandLine,
                                                   const std::wstring& strDownloadDir)
{
    std::optional<std::wstring> strId = GetCommandLineGameId(strCommandLine);
    if (strId && MarkDownloadRequested(*strId) == DownloadRequest::Marked) {
        const std::wstring strAssetDir = GetAssetFolder(strDownloadDir, *strId);
        if (!strAssetDir.empty())
            platform::DeleteFile(platform::JoinPath(strAssetDir, L"trialinstaller_c"));
    }
    return strId;
}
