// brevanto-demo-gen: builds the demo catalogue root for brevanto-server from the text sources
// in demo/: per game the artwork (rendered here), the briefing, the server's game.ini and a
// self-contained installer (the installer program, stamped with the game's version, with the
// game program and its settings appended).
//
//   brevanto-demo-gen SOURCE_DIR OUT_ROOT INSTALLER_PROGRAM GAME_PROGRAM
//
// OUT_ROOT/games is made afresh; OUT_ROOT/reports (error reports a demo run received) stays.

#include "Art.h"
#include "Payload.h"

#include "platform/fs/FileSystem.h"
#include "platform/gdi/MemoryCanvas.h"
#include "platform/image/Image.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

// The banner picture sits in the lower panel left of the game's name and briefing.
constexpr int kBannerWidth = 90;
constexpr int kBannerHeight = 88;

struct DemoGame
{
    std::map<std::string, std::string> mapValues;
    std::string Get(const std::string& strKey) const
    {
        auto it = mapValues.find(strKey);
        return it == mapValues.end() ? std::string() : it->second;
    }
};

std::optional<DemoGame> ReadGame(const std::string& strPath)
{
    std::ifstream file(strPath);
    if (!file)
        return std::nullopt;
    DemoGame game;
    std::string strLine;
    while (std::getline(file, strLine)) {
        if (strLine.empty() || strLine[0] == '#')
            continue;
        size_t nEq = strLine.find('=');
        if (nEq != std::string::npos)
            game.mapValues[strLine.substr(0, nEq)] = strLine.substr(nEq + 1);
    }
    return game;
}

// Four version words, or nullopt.
std::optional<std::vector<uint32_t>> ParseVersion(const std::string& strText)
{
    std::vector<uint32_t> arrParts;
    size_t nStart = 0;
    while (arrParts.size() < 5) {
        size_t nDot = strText.find('.', nStart);
        std::string strPart = strText.substr(nStart, nDot == std::string::npos ? nDot : nDot - nStart);
        if (strPart.empty() || strPart.size() > 9 ||
            strPart.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        arrParts.push_back(static_cast<uint32_t>(std::stoul(strPart)));
        if (nDot == std::string::npos)
            break;
        nStart = nDot + 1;
    }
    if (arrParts.size() != 4)
        return std::nullopt;
    return arrParts;
}

// Rewrites the version note that brevanto_stamp_version linked into the program.
bool StampVersion(std::string& program, const std::vector<uint32_t>& arrVersion)
{
    static const unsigned char kHeader[] = {9,   0,   0,   0,   16,  0,   0,   0,   1, 0, 0, 0,
                                            'B', 'r', 'e', 'v', 'a', 'n', 't', 'o', 0, 0, 0, 0};
    auto it = std::search(program.begin(), program.end(), std::begin(kHeader), std::end(kHeader),
                          [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
    if (it == program.end())
        return false;
    size_t nDesc = static_cast<size_t>(it - program.begin()) + sizeof(kHeader);
    for (size_t i = 0; i < 4; ++i) {
        for (size_t b = 0; b < 4; ++b)
            program[nDesc + i * 4 + b] = static_cast<char>((arrVersion[i] >> (8 * b)) & 0xFF);
    }
    return true;
}

bool SavePicture(platform::MemoryCanvas& canvas, const std::string& strPath)
{
    return canvas.GetSurface() && canvas.GetSurface()->ToImage().SavePng(platform::FromUtf8(strPath));
}

// A darker line around the picture, so it stands out on any background.
void Frame(platform::Surface& surface, uint32_t nColour)
{
    for (int x = 0; x < surface.GetWidth(); ++x) {
        surface.SetPixel(x, 0, 0xFF000000 | nColour);
        surface.SetPixel(x, surface.GetHeight() - 1, 0xFF000000 | nColour);
    }
    for (int y = 0; y < surface.GetHeight(); ++y) {
        surface.SetPixel(0, y, 0xFF000000 | nColour);
        surface.SetPixel(surface.GetWidth() - 1, y, 0xFF000000 | nColour);
    }
}

uint32_t Darker(uint32_t nRgb)
{
    return ((nRgb >> 1) & 0x7F7F7F);
}

bool RenderThumbnail(const demo::Look& look, const std::wstring& strName, const std::string& strPath)
{
    platform::MemoryCanvas canvas(80, 80);
    platform::Surface& surface = *canvas.GetSurface();
    demo::FillGradient(surface, {0, 0, 80, 80}, look.nFrom, look.nTo, false);
    demo::DrawGlow(surface, 40, 32, 34, 0xFFFFFF, 0.35);
    demo::DrawEmblemWithShadow(surface, look.strEmblem, 40, 32, 21);
    std::wstring strShort = strName.substr(0, strName.find(L' '));
    demo::DrawShadowedText(canvas, strShort, {2, 58, 78, 76}, 11,
                           platform::DT_CENTER | platform::DT_SINGLELINE);
    Frame(surface, Darker(look.nTo));
    return SavePicture(canvas, strPath);
}

bool RenderFeature(const demo::Look& look, const std::wstring& strName, const std::string& strPath)
{
    platform::MemoryCanvas canvas(200, 200);
    platform::Surface& surface = *canvas.GetSurface();
    demo::FillGradient(surface, {0, 0, 200, 200}, look.nFrom, look.nTo, false);
    demo::DrawGlow(surface, 100, 80, 90, 0xFFFFFF, 0.3);
    demo::DrawEmblem(surface, look.strEmblem, 100, 80, 78, 0xFFFFFF, 0.08); // a faint echo behind
    demo::DrawEmblemWithShadow(surface, look.strEmblem, 100, 80, 50);
    demo::DrawShadowedText(canvas, strName, {6, 144, 194, 196}, 18,
                           platform::DT_CENTER | platform::DT_WORDBREAK);
    Frame(surface, Darker(look.nTo));
    return SavePicture(canvas, strPath);
}

// The banner picture stands left of the name and briefing the launcher draws beside it, so it
// carries only the game's emblem.
bool RenderBanner(const demo::Look& look, const std::string& strPath)
{
    platform::MemoryCanvas canvas(kBannerWidth, kBannerHeight);
    platform::Surface& surface = *canvas.GetSurface();
    demo::FillGradient(surface, {0, 0, kBannerWidth, kBannerHeight}, look.nFrom, look.nTo, true);
    demo::DrawGlow(surface, kBannerWidth / 2, kBannerHeight / 2, 40, 0xFFFFFF, 0.35);
    demo::DrawEmblemWithShadow(surface, look.strEmblem, kBannerWidth / 2, kBannerHeight / 2, 27);
    Frame(surface, Darker(look.nFrom));
    return SavePicture(canvas, strPath);
}

std::string WithoutSpaces(const std::string& strText)
{
    std::string strOut;
    for (char c : strText) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            strOut += c;
    }
    return strOut;
}

int Fail(const std::string& strMessage)
{
    std::fprintf(stderr, "brevanto-demo-gen: %s\n", strMessage.c_str());
    return 1;
}

bool WriteText(const std::string& strPath, const std::string& strText)
{
    return platform::WriteFileBytes(platform::FromUtf8(strPath), strText);
}

int BuildGame(const DemoGame& game, const std::string& strOut, const std::string& installer,
              const std::string& gameProgram)
{
    std::string strId = game.Get("id");
    auto version = ParseVersion(game.Get("version"));
    std::string strName = game.Get("name");
    if (!demo::IsGameIdText(strId) || !version || strName.empty() || strName.size() > 50)
        return Fail("game " + strId +
                    ": needs an id of 1 to 9 digits, a name of at most 50 bytes and a.b.c.d");
    std::string strBrief = strName + "&&" + game.Get("description");
    if (strBrief.size() > 511)
        return Fail("game " + strId + ": the briefing is longer than the launcher reads (511 bytes)");

    std::string strFolder = strOut + "/games/" + strId;
    std::filesystem::create_directories(strFolder);
    demo::Look look = demo::MakeLook(game.Get("colours"), game.Get("emblem"));
    std::wstring strWideName = platform::FromUtf8(strName);
    if (!RenderThumbnail(look, strWideName, strFolder + "/thumb.png") ||
        !RenderFeature(look, strWideName, strFolder + "/feature.png") ||
        !RenderBanner(look, strFolder + "/banner.png"))
        return Fail("game " + strId + ": cannot render its pictures");

    std::string strInstallerProgram = installer;
    std::string strGameProgram = gameProgram;
    if (!StampVersion(strInstallerProgram, *version) || !StampVersion(strGameProgram, *version))
        return Fail("the installer or game program carries no version note");
    demo::Payload payload;
    std::string strLaunch = WithoutSpaces(strName);
    payload.mapValues = {{"id", strId},       {"name", strName},     {"version", game.Get("version")},
                         {"folder", strName}, {"launch", strLaunch}, {"mode", "install"}};
    payload.arrFiles.push_back({strLaunch, 0755, strGameProgram});
    payload.arrFiles.push_back({"game.ini", 0644,
                                "id=" + strId + "\nname=" + strName + "\ncolours=" + game.Get("colours") +
                                    "\nemblem=" + look.strEmblem + "\n"});
    std::string strInstaller = strInstallerProgram + demo::EncodePayload(payload, strInstallerProgram.size());

    std::string strIni =
        "# Made by brevanto-demo-gen from demo/games/" + strId + "/game.ini\n" + "id=" + strId +
        "\nname=" + strName + "\nversion=" + game.Get("version") +
        "\nthumbimg=thumb.png\nfeatureimg=feature.png\nbannerimg=banner.png\nbriefdesc=brief.txt\n"
        "trialinstaller=setup-" +
        strId + ".bin\n";
    if (!game.Get("related").empty())
        strIni += "related=" + game.Get("related") + "\n";
    if (!WriteText(strFolder + "/brief.txt", strBrief) ||
        !WriteText(strFolder + "/setup-" + strId + ".bin", strInstaller) ||
        !WriteText(strFolder + "/game.ini", strIni))
        return Fail("cannot write the files of game " + strId);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return Fail("usage: brevanto-demo-gen SOURCE_DIR OUT_ROOT INSTALLER_PROGRAM GAME_PROGRAM");
    std::string strSource = argv[1];
    std::string strOut = argv[2];
    auto installer = platform::ReadFileBytes(platform::FromUtf8(argv[3]));
    auto gameProgram = platform::ReadFileBytes(platform::FromUtf8(argv[4]));
    if (!installer || !gameProgram)
        return Fail("cannot read the installer or game program");

    std::error_code error;
    std::filesystem::remove_all(strOut + "/games", error);
    std::filesystem::create_directories(strOut + "/games", error);
    std::vector<std::string> arrFiles;
    for (const auto& entry : std::filesystem::directory_iterator(strSource + "/games", error)) {
        if (std::filesystem::exists(entry.path() / "game.ini"))
            arrFiles.push_back((entry.path() / "game.ini").string());
    }
    std::sort(arrFiles.begin(), arrFiles.end());
    if (arrFiles.empty())
        return Fail("no games under " + strSource + "/games");
    for (const std::string& strFile : arrFiles) {
        auto game = ReadGame(strFile);
        if (!game)
            return Fail("cannot read " + strFile);
        if (int nResult = BuildGame(*game, strOut, *installer, *gameProgram))
            return nResult;
    }
    std::printf("brevanto-demo-gen: %zu games in %s\n", arrFiles.size(), strOut.c_str());
    return WriteText(strOut + "/.generated", "") ? 0 : 1;
}
