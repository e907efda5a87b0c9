#include "catalogue/GameAssets.h"

#include "CatalogueTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include <unistd.h>

using namespace catalogue_test;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

class GameAssetsTest : public ::testing::Test
{
protected:
    GameAssetsTest() { CopyToFixed(game.szID, L"12"); }

    int32_t Load() { return InitStructGames(&game, GetAssetFolder(W(m_dir.Path()), L"12")); }
    bool BriefingExists() const { return std::filesystem::exists(m_strAssets + "/briefdesc_s"); }

    testing_support::TempDir m_dir;
    std::string m_strAssets = m_dir / "12";
    ScopedLog m_log{m_dir / "Exception.log"};
    tagGames game;
};

std::string Repeat(const std::string& strPiece, size_t nTimes)
{
    std::string strText;
    for (size_t i = 0; i < nTimes; ++i)
        strText += strPiece;
    return strText;
}

} // namespace

TEST_F(GameAssetsTest, LoadsThePicturesAndLogsTheBriefing)
{
    WriteAssets(m_strAssets, "Space Rangers&&Fly to the stars");
    EXPECT_EQ(Load(), kAssetsOk);
    EXPECT_EQ(game.imgThumb.GetWidth(), 80);
    EXPECT_EQ(game.imgFeature.GetWidth(), 200);
    EXPECT_EQ(game.imgBanner.GetHeight(), 90);
    EXPECT_EQ(game.GetName(), L"Space Rangers");
    EXPECT_EQ(game.GetBrief(), L"Fly to the stars");
    EXPECT_EQ(m_log.Text(), "InitStructGames\r\n12\r\n"
                            "Load Brifing ID:12\r\n"
                            "TmpBuffer:Space Rangers&&Fly to the stars\r\n");
}

TEST_F(GameAssetsTest, SplitsAndCutsBriefings)
{
    const std::string strUtf8Name = "\xD0\x98\xD0\xB3\xD1\x80\xD0\xB0";    // "Игра" in UTF-8
    const std::string strCp1251Name = "\xC8\xE3\xF0\xE0";                  // "Игра" in Windows-1251
    const std::string strCp1251Brief = "\xCE\xEF\xE8\xF1\xE0\xED\xE8\xE5"; // "Описание"
    const std::string strCyrillic = "\xD0\xB6";                            // "ж", 2 bytes
    struct Case
    {
        const char* pszWhat;
        std::string strBriefing;
        std::wstring strName;
        std::wstring strBrief;
    } cases[] = {
        {"starts with the separator", "&&Only a description", L"", L"Only a description"},
        {"only the first separator splits", "A&&B&&C", L"A", L"B&&C"},
        {"600 bytes, separator at 100: cut at byte 511", Repeat("n", 100) + "&&" + Repeat("d", 498),
         std::wstring(49, L'n'), std::wstring(409, L'd')},
        {"a name of 50 characters keeps 49", Repeat("x", 50) + "&&b", std::wstring(49, L'x'), L"b"},
        {"a description over 500 characters keeps 500", "N&&" + Repeat("d", 508), L"N",
         std::wstring(500, L'd')},
        {"UTF-8", strUtf8Name + "&&" + strUtf8Name, L"Игра", L"Игра"},
        {"Windows-1251 when not UTF-8", strCp1251Name + "&&" + strCp1251Brief, L"Игра", L"Описание"},
        // 4 + 253 * 2 = 510: the 254th character's first byte is the last one read and is dropped.
        {"a UTF-8 character cut by the limit is dropped", "NN&&" + Repeat(strCyrillic, 300), L"NN",
         std::wstring(253, L'ж')},
        {"50 Cyrillic characters count as characters", Repeat(strCyrillic, 50) + "&&b",
         std::wstring(49, L'ж'), L"b"},
        {"the text ends at a zero byte", std::string("Name&&Brief\0junk&&x", 19), L"Name", L"Brief"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        tagGames record;
        CopyToFixed(record.szID, L"12");
        WriteAssets(m_strAssets, c.strBriefing);
        EXPECT_EQ(InitStructGames(&record, GetAssetFolder(W(m_dir.Path()), L"12")), kAssetsOk);
        EXPECT_EQ(record.GetName(), c.strName);
        EXPECT_EQ(record.GetBrief(), c.strBrief);
        EXPECT_TRUE(BriefingExists());
    }
}

TEST_F(GameAssetsTest, BriefingWithoutSeparatorIsDeletedAndStillSucceeds)
{
    std::mt19937 random(7);
    std::string strRandom(511, '\0');
    for (char& c : strRandom)
        c = static_cast<char>(random() % 255 + 1); // no zero byte...
    for (size_t i = 0; i + 1 < strRandom.size(); ++i) {
        if (strRandom[i] == '&' && strRandom[i + 1] == '&')
            strRandom[i + 1] = 'x'; // ...and no separator
    }
    for (const std::string& strBriefing : {std::string("Just a name"), strRandom}) {
        tagGames record;
        CopyToFixed(record.szID, L"12");
        CopyToFixed(record.szName, L"old name");
        WriteAssets(m_strAssets, strBriefing);
        EXPECT_EQ(InitStructGames(&record, GetAssetFolder(W(m_dir.Path()), L"12")), kAssetsOk);
        EXPECT_EQ(record.GetName(), L"");
        EXPECT_EQ(record.GetBrief(), L"");
        EXPECT_FALSE(record.imgBanner.IsNull());
        EXPECT_FALSE(BriefingExists());
        EXPECT_TRUE(std::filesystem::exists(m_strAssets + "/thumbimg_s")); // nothing else goes
    }
}

TEST_F(GameAssetsTest, EmptyOrMissingBriefingFailsAndStaysInPlace)
{
    WriteAssets(m_strAssets, "");
    EXPECT_EQ(Load(), kAssetsFailed);
    EXPECT_TRUE(BriefingExists());
    EXPECT_FALSE(game.imgBanner.IsNull()); // the pictures taken so far stay

    std::filesystem::remove(m_strAssets + "/briefdesc_s");
    EXPECT_EQ(Load(), kAssetsFailed);
}

TEST_F(GameAssetsTest, HugeBriefingIsReadOnlyToTheLimit)
{
    WriteAssets(m_strAssets, "Name&&" + Repeat("b", 600));
    // 100 MB, sparse: only the first bytes hold data.
    ASSERT_EQ(truncate((m_strAssets + "/briefdesc_s").c_str(), 100L * 1024 * 1024), 0);
    EXPECT_EQ(Load(), kAssetsOk);
    EXPECT_EQ(game.GetName(), L"Name");
    EXPECT_EQ(game.GetBrief(), std::wstring(500, L'b'));
}

TEST_F(GameAssetsTest, MissingOrDamagedPicturesFailInOrder)
{
    struct Case
    {
        const char* pszFile;
        bool bRemove; // removed, or else overwritten with bytes that are no picture
        bool bThumb, bFeature, bBanner;
    } cases[] = {
        {"thumbimg_s", true, false, false, false},  {"thumbimg_s", false, false, false, false},
        {"featureimg_s", true, true, false, false}, {"featureimg_s", false, true, false, false},
        {"bannerimg_s", true, true, true, false},   {"bannerimg_s", false, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pszFile) + (c.bRemove ? " missing" : " damaged"));
        tagGames record;
        WriteAssets(m_strAssets, "Name&&Brief");
        if (c.bRemove)
            std::filesystem::remove(m_strAssets + "/" + c.pszFile);
        else
            WriteFile(m_strAssets + "/" + c.pszFile, "\x89PNG\r\n\x1a\n garbage, not a picture");
        EXPECT_EQ(InitStructGames(&record, GetAssetFolder(W(m_dir.Path()), L"12")), kAssetsFailed);
        EXPECT_EQ(!record.imgThumb.IsNull(), c.bThumb);
        EXPECT_EQ(!record.imgFeature.IsNull(), c.bFeature);
        EXPECT_EQ(!record.imgBanner.IsNull(), c.bBanner);
        EXPECT_EQ(record.GetName(), L"");
        EXPECT_TRUE(BriefingExists());
    }
    EXPECT_NE(m_log.Text().find("InitStructGames failed:bannerimg_s\r\n"), std::string::npos);
}

TEST_F(GameAssetsTest, SecondCallLoadsOnlyWhatIsMissing)
{
    WriteAssets(m_strAssets, "First&&One");
    std::filesystem::remove(m_strAssets + "/bannerimg_s");
    ASSERT_EQ(Load(), kAssetsFailed);

    // New files for the loaded pictures are not read again; the banner and briefing are.
    WritePng(m_strAssets + "/thumbimg_s", 10, 10);
    WritePng(m_strAssets + "/featureimg_s", 10, 10);
    WritePng(m_strAssets + "/bannerimg_s", 350, 90);
    WriteFile(m_strAssets + "/briefdesc_s", "Second&&Two");
    ASSERT_EQ(Load(), kAssetsOk);
    EXPECT_EQ(game.imgThumb.GetWidth(), 80);
    EXPECT_EQ(game.imgFeature.GetWidth(), 200);
    EXPECT_EQ(game.imgBanner.GetWidth(), 350);
    EXPECT_EQ(game.GetName(), L"Second");

    // The thumbnail and the feature picture must still be there, loaded or not.
    std::filesystem::remove(m_strAssets + "/featureimg_s");
    EXPECT_EQ(Load(), kAssetsFailed);
}

TEST_F(GameAssetsTest, AssetFolderOnlyForGameIds)
{
    EXPECT_EQ(GetAssetFolder(L"/dl", L"12"), L"/dl/12/");
    EXPECT_EQ(GetAssetFolder(L"/dl/", L"12"), L"/dl/12/");
    for (const wchar_t* pszId : {L"", L"../../x", L"12/..", L"1234567890", L"-1", L"12 "})
        EXPECT_EQ(GetAssetFolder(L"/dl", pszId), L"") << pszId;
    EXPECT_EQ(InitStructGames(&game, L""), kAssetsFailed);
    EXPECT_EQ(InitStructGames(nullptr, L"/dl/12/"), kAssetsFailed);
}
