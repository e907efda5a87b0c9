// brevanto-demo-installer: the silent installer of a demo game, and its uninstaller.
//
// The program carries its game at the end of its own file (Payload.h). As an installer it takes
// the switches of the games' installers:
//
//   /S               silent: no output except errors
//   /isUpdate=1      an update of the installed game (files are replaced in place)
//   /D=FOLDER        the games folder; everything after "/D=" to the end of the parameters,
//                    spaces included, as the parameter string is passed whole
//
// It installs the game into FOLDER/<game folder>, writes "Uninstall.exe" there, and writes the
// game's key HKLM\SOFTWARE\Brevanto Launcher\<id>: the default value (the install folder),
// "LaunchFile" and "version". Exit code 0 on success, 1 on any failure.
//
// As "Uninstall.exe" (manifest mode "uninstall") it removes the files it lists and itself,
// the folder when that leaves it empty, and the key's values the installer wrote when they
// still name this folder. "/S" again makes it silent.

#include "Payload.h"

#include "platform/fs/FileSystem.h"
#include "platform/process/Process.h"
#include "platform/registry/RegistryKey.h"
#include "platform/text/Text.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const std::wstring kLauncherKey = L"SOFTWARE\\Brevanto Launcher\\";
constexpr char kUninstaller[] = "Uninstall.exe";

struct Switches
{
    bool bSilent = false;
    bool bUpdate = false;
    std::optional<std::string> strFolder; // the text after "/D="
};

// The parameter string as the starter gave it: BREVANTO_PARAMETERS when it matches argv (it is
// inherited by grandchildren, so a stale one is ignored), else argv joined with spaces.
std::string ParameterString(int argc, char** argv)
{
    std::vector<std::wstring> arrArgs;
    std::string strJoined;
    for (int i = 1; i < argc; ++i) {
        arrArgs.push_back(platform::FromUtf8(argv[i]));
        strJoined += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    const char* pszRaw = std::getenv("BREVANTO_PARAMETERS");
    if (pszRaw && platform::SplitParameters(platform::FromUtf8(pszRaw)) == arrArgs)
        return pszRaw;
    return strJoined;
}

Switches ParseSwitches(const std::string& strParameters)
{
    Switches switches;
    size_t nFolder = strParameters.find("/D=");
    std::string strFlags = strParameters.substr(0, nFolder);
    if (nFolder != std::string::npos) {
        std::string strFolder = strParameters.substr(nFolder + 3);
        while (!strFolder.empty() &&
               (strFolder.back() == ' ' || strFolder.back() == '\r' || strFolder.back() == '\n'))
            strFolder.pop_back();
        if (strFolder.size() > 1 && strFolder.back() == '/')
            strFolder.pop_back();
        switches.strFolder = strFolder;
    }
    size_t nStart = 0;
    while (nStart < strFlags.size()) {
        size_t nEnd = strFlags.find(' ', nStart);
        std::string strFlag = strFlags.substr(nStart, nEnd - nStart);
        nStart = nEnd == std::string::npos ? strFlags.size() : nEnd + 1;
        if (strFlag == "/S")
            switches.bSilent = true;
        else if (strFlag == "/isUpdate=1")
            switches.bUpdate = true;
    }
    return switches;
}

int Fail(const std::string& strMessage)
{
    std::fprintf(stderr, "brevanto-demo-installer: %s\n", strMessage.c_str());
    return 1;
}

// Writes a file under a temporary name and renames it, so a failure never leaves half a file
// under the real name.
bool WriteExecutable(const std::string& strPath, const std::string& data, uint32_t nMode)
{
    std::wstring strTemp = platform::FromUtf8(strPath + ".part");
    if (!platform::WriteFileBytes(strTemp, data) || chmod((strPath + ".part").c_str(), nMode) != 0)
        return false;
    return platform::MoveFile(strTemp, platform::FromUtf8(strPath));
}

int Install(const demo::Payload& payload, const std::string& self, uint64_t nProgramSize,
            const Switches& switches)
{
    if (!switches.strFolder || switches.strFolder->empty())
        return Fail("no games folder: pass /D= followed by the folder");
    std::error_code error;
    std::string strGames = std::filesystem::absolute(*switches.strFolder, error).lexically_normal().string();
    if (strGames.size() > 1 && strGames.back() == '/')
        strGames.pop_back();
    std::string strFolder = strGames + "/" + payload.Get("folder");
    if (!demo::IsPlainFileName(payload.Get("folder")) || !demo::IsGameIdText(payload.Get("id")))
        return Fail("the installer is damaged (bad game folder or id)");
    if (!platform::CreateFolders(platform::FromUtf8(strFolder)))
        return Fail("cannot create " + strFolder);
    if (!switches.bSilent)
        std::printf("%s %s %s into %s\n", switches.bUpdate ? "Updating" : "Installing",
                    payload.Get("name").c_str(), payload.Get("version").c_str(), strFolder.c_str());

    for (const demo::PayloadFile& file : payload.arrFiles) {
        if (!WriteExecutable(strFolder + "/" + file.strName, file.data, file.nMode))
            return Fail("cannot write " + strFolder + "/" + file.strName);
    }
    demo::Payload uninstall;
    uninstall.mapValues = payload.mapValues;
    uninstall.mapValues["mode"] = "uninstall";
    for (const demo::PayloadFile& file : payload.arrFiles)
        uninstall.arrFiles.push_back({file.strName, file.nMode, {}});
    // The uninstaller lists the files with their sizes as 0: it carries no data of its own.
    std::string strUninstaller = self.substr(0, nProgramSize);
    strUninstaller += demo::EncodePayload(uninstall, nProgramSize);
    if (!WriteExecutable(strFolder + "/" + kUninstaller, strUninstaller, 0755))
        return Fail("cannot write the uninstaller");

    std::wstring strKey = kLauncherKey + platform::FromUtf8(payload.Get("id"));
    platform::RegistryError regError;
    auto key = platform::RegistryKey::Create(platform::RegistryRoot::LocalMachine, strKey, true, &regError);
    auto String = [](const std::string& strText) {
        return platform::RegistryValue{platform::RegistryValueKind::String,
                                       platform::EncodeRegistryString(platform::FromUtf8(strText))};
    };
    if (!key || !key->WriteValue(L"", String(strFolder)) ||
        !key->WriteValue(L"LaunchFile", String(payload.Get("launch"))) ||
        !key->WriteValue(L"version", String(payload.Get("version"))))
        return Fail("cannot write the registry key: " +
                    platform::ToUtf8(key ? key->GetLastError().strText : regError.strText));
    if (!switches.bSilent)
        std::printf("Done.\n");
    return 0;
}

int Uninstall(const demo::Payload& payload, const Switches& switches)
{
    std::string strFolder = platform::ToUtf8(platform::GetFolderOf(platform::GetModuleFileName()));
    if (!switches.bSilent)
        std::printf("Removing %s from %s\n", payload.Get("name").c_str(), strFolder.c_str());
    bool bOk = true;
    for (const demo::PayloadFile& file : payload.arrFiles) {
        std::wstring strPath = platform::FromUtf8(strFolder + "/" + file.strName);
        if (platform::FileExists(strPath))
            bOk &= platform::DeleteFile(strPath);
    }
    bOk &= platform::DeleteFile(platform::FromUtf8(strFolder + "/" + kUninstaller));
    platform::RemoveFolder(platform::FromUtf8(strFolder)); // only when nothing else is left in it

    // The values go only when they still describe this installation: a copy of the game
    // installed elsewhere since keeps its key.
    std::wstring strKey = kLauncherKey + platform::FromUtf8(payload.Get("id"));
    if (auto key = platform::RegistryKey::Open(platform::RegistryRoot::LocalMachine, strKey,
                                               platform::RegistryAccess::ReadWrite)) {
        auto folder = key->ReadValue(L"");
        if (folder && platform::DecodeRegistryString(folder->data) == platform::FromUtf8(strFolder)) {
            key->DeleteValue(L"");
            key->DeleteValue(L"LaunchFile");
            key->DeleteValue(L"version");
        }
    }
    if (!bOk)
        return Fail("some files of " + strFolder + " could not be removed");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::wstring strSelf = platform::GetModuleFileName();
    auto self = platform::ReadFileBytes(strSelf);
    uint64_t nProgramSize = 0;
    auto payload = self ? demo::DecodePayload(*self, nProgramSize) : std::nullopt;
    if (!payload)
        return Fail("this program carries no game (the installer is damaged or incomplete)");
    Switches switches = ParseSwitches(ParameterString(argc, argv));
    if (payload->Get("mode") == "uninstall")
        return Uninstall(*payload, switches);
    return Install(*payload, *self, nProgramSize, switches);
}
