#include "catalogue/GameAssets.h"

#include "app/CGP_LogFile.h"
#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"

#include <cstdio>
#include <optional>
#include <string_view>

namespace {

// The briefing file is read into a 512-byte buffer whose last byte stays 0.
constexpr uint64_t kBriefingMaxBytes = 511;
// szName keeps its terminator, so at most 49 characters; the description keeps 500.
constexpr size_t kNameChars = tagGames::kNameLength - 1;
constexpr size_t kBriefChars = 500;

bool IsContinuationByte(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// The length of a UTF-8 sequence cut short at the end of bytes, 0 when the last sequence is
// whole (or not UTF-8 at all).
size_t CutSequenceLength(std::string_view bytes)
{
    size_t nBack = 0;
    while (nBack < bytes.size() && nBack < 3 &&
           IsContinuationByte(static_cast<unsigned char>(bytes[bytes.size() - 1 - nBack])))
        ++nBack;
    if (nBack == bytes.size())
        return 0;
    const unsigned char lead = static_cast<unsigned char>(bytes[bytes.size() - 1 - nBack]);
    size_t nNeeded = 0;
    if ((lead & 0xE0) == 0xC0)
        nNeeded = 2;
    else if ((lead & 0xF0) == 0xE0)
        nNeeded = 3;
    else if ((lead & 0xF8) == 0xF0)
        nNeeded = 4;
    return nNeeded > nBack + 1 ? nBack + 1 : 0;
}

// Briefings come from the server in UTF-8, older ones in the Cyrillic ANSI code page. Bytes that
// are UTF-8 decode as such; a last character cut off by the read limit is dropped from them.
// Anything else is Windows-1251, where every byte is a character. Returns whether the bytes are
// UTF-8, after dropping such a cut character.
bool MakeWholeUtf8(std::string& bytes, bool bCutByLimit)
{
    if (platform::IsValidUtf8(bytes))
        return true;
    if (!bCutByLimit)
        return false;
    const size_t nCut = CutSequenceLength(bytes);
    if (nCut == 0 || !platform::IsValidUtf8(std::string_view(bytes).substr(0, bytes.size() - nCut)))
        return false;
    bytes.resize(bytes.size() - nCut);
    return true;
}

std::wstring Decode(std::string_view bytes, bool bUtf8)
{
    return bUtf8 ? platform::FromUtf8(bytes) : platform::FromWindows1251(bytes);
}

std::wstring FirstChars(std::wstring strText, size_t nChars)
{
    if (strText.size() > nChars)
        strText.resize(nChars);
    return strText;
}

// Loads one picture into pImage unless it holds one already. The file is decoded outside the
// record's lock; a picture another thread stored meanwhile is kept.
bool LoadPictureIfEmpty(tagGames& game, platform::Image tagGames::*pImage, const std::wstring& strPath)
{
    {
        std::lock_guard guard(game.lock);
        if (!(game.*pImage).IsNull())
            return true;
    }
    std::optional<platform::Image> image = platform::Image::LoadFromFile(strPath);
    if (!image || image->IsNull())
        return false;
    std::lock_guard guard(game.lock);
    if ((game.*pImage).IsNull())
        game.*pImage = std::move(*image);
    return true;
}

int32_t Fail(const wchar_t* pszFile)
{
    SessionLog()->Write(L"InitStructGames failed:")->Write(pszFile)->Write(L"\r\n");
    return kAssetsFailed;
}

} // namespace

std::wstring GetAssetFolder(const std::wstring& strDownloadDir, std::wstring_view strId)
{
    // An id that is not a game id never becomes a path: "../x" must not leave the folder.
    if (strDownloadDir.empty() || !IsValidGameId(strId))
        return {};
    return platform::JoinPath(strDownloadDir, std::wstring(strId)) + platform::kPathSeparator;
}

int32_t InitStructGames(tagGames* pGame, const std::wstring& strAssetDir)
{
    if (!pGame)
        return kAssetsFailed;
    tagGames& game = *pGame;
    // 1.
    SessionLog()->Write(L"InitStructGames")->Write(L"\r\n")->Write(game.szID)->Write(L"\r\n");
    if (strAssetDir.empty())
        return Fail(L"(no asset folder)");

    // 2. and 3. The thumbnail and the feature picture must be there even when already loaded.
    const std::wstring strThumb = platform::JoinPath(strAssetDir, L"thumbimg_s");
    if (!platform::CanOpenForReading(strThumb) || !LoadPictureIfEmpty(game, &tagGames::imgThumb, strThumb))
        return Fail(L"thumbimg_s");
    const std::wstring strFeature = platform::JoinPath(strAssetDir, L"featureimg_s");
    if (!platform::CanOpenForReading(strFeature) ||
        !LoadPictureIfEmpty(game, &tagGames::imgFeature, strFeature))
        return Fail(L"featureimg_s");
    // 4.
    if (!LoadPictureIfEmpty(game, &tagGames::imgBanner, platform::JoinPath(strAssetDir, L"bannerimg_s")))
        return Fail(L"bannerimg_s");

    // 5. and 6. One byte more than the limit tells whether the file went on past it.
    const std::wstring strBriefing = platform::JoinPath(strAssetDir, L"briefdesc_s");
    std::optional<std::string> bytes;
    if (platform::FileExists(strBriefing))
        bytes = platform::ReadFileBytes(strBriefing, kBriefingMaxBytes + 1);
    if (!bytes || bytes->empty())
        return Fail(L"briefdesc_s");
    bool bCutByLimit = bytes->size() > kBriefingMaxBytes;
    bytes->resize(std::min<size_t>(bytes->size(), kBriefingMaxBytes));
    // The text ends at the first zero byte, as in a zero-terminated buffer.
    if (size_t nZero = bytes->find('\0'); nZero != std::string::npos) {
        bytes->resize(nZero);
        bCutByLimit = false;
    }

    // 7.
    const bool bUtf8 = MakeWholeUtf8(*bytes, bCutByLimit);
    const std::wstring strText = Decode(*bytes, bUtf8);
    SessionLog()->Write(L"Load Brifing ID:")->Write(game.szID)->Write(L"\r\n");
    SessionLog()->Write(L"TmpBuffer:")->Write(strText)->Write(L"\r\n");

    // 8. The split is made on the bytes: "&&" never occurs inside a UTF-8 sequence.
    std::wstring strName;
    std::wstring strBrief;
    if (!bytes->empty()) {
        const size_t nSplit = bytes->find("&&");
        if (nSplit != std::string::npos) {
            const std::string_view all = *bytes;
            strName = Decode(all.substr(0, nSplit), bUtf8);
            strBrief = Decode(all.substr(nSplit + 2), bUtf8);
        } else {
            // Deleted so that the asset fetcher fetches it again at the next start.
            SessionLog()->Write(L"Briefing without name, deleted:")->Write(game.szID)->Write(L"\r\n");
            platform::DeleteFile(strBriefing);
        }
    }

    // 9.
    strName = FirstChars(std::move(strName), kNameChars);
    strBrief = FirstChars(std::move(strBrief), kBriefChars);
    std::lock_guard guard(game.lock);
    CopyToFixed(game.szName, strName);
    CopyToFixed(game.szBrief, strBrief);
    return kAssetsOk;
}
