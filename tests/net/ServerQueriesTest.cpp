#include "net/ServerQueries.h"

#include "app/CGP_Registry.h"
#include "catalogue/CGameArray.h"
#include "net/tagRequest.h"
#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using testing_support::ScopedEnv;

namespace {

using Ids = std::vector<std::wstring>;

TEST(ServerQueriesTest, QueryHasItsThreeKeys)
{
    EXPECT_EQ(BuildServerQuery(L"1.0.0.1", L"12", kActionThumb),
              L"cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=12&action=thumbimg");
    EXPECT_EQ(BuildRelatedListQuery(L"1.0.0.1", {L"5", L"12", L"7"}),
              L"cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=5,12,7&action=relatedlist");
    EXPECT_EQ(BuildRelatedListQuery(L"1.0.0.1", {}),
              L"cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=&action=relatedlist");
}

TEST(ServerQueriesTest, LongListsAreCutAtAWholeIdToFitTheRequestBlock)
{
    Ids arrIds(100, L"123456789");
    std::wstring strQuery = BuildRelatedListQuery(L"1.0.0.1", arrIds);
    EXPECT_LT(strQuery.size(), tagRequest::kQueryLength);
    EXPECT_NE(strQuery.find(L"=123456789,"), std::wstring::npos);
    EXPECT_NE(strQuery.find(L"123456789&action=relatedlist"), std::wstring::npos);
    tagRequest request;
    EXPECT_TRUE(request.SetQuery(strQuery));
    EXPECT_FALSE(request.SetQuery(std::wstring(512, L'a')));
    EXPECT_EQ(request.GetQuery(), L"");
}

TEST(ServerQueriesTest, RelatedListCuttingRule)
{
    struct Case
    {
        const wchar_t* pszText;
        Ids arrPieces;
    } cases[] = {
        {L"1,2,3", {L"1", L"2", L"3"}},
        {L"1,2,3,", {L"1", L"2", L"3"}},
        {L",1,2", {L",1,2"}},
        {L"1,,2", {L"1", L",2"}},
        {L"", {}},
        {L"42", {L"42"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitRelatedList(c.pszText), c.arrPieces) << c.pszText;
}

TEST(ServerQueriesTest, RelatedListAnswerGivesOnlyGameIds)
{
    struct Case
    {
        const char* pszBody;
        Ids arrIds;
    } cases[] = {
        {"12,7,31", {L"12", L"7", L"31"}},
        {"12,7,31,", {L"12", L"7", L"31"}},
        {"12,7,31\r\n", {L"12", L"7", L"31"}},
        {"Error: no games", {}},
        {"E", {}},
        {",12,7", {}}, // one piece, the whole body, which is no id
        {"12,../../etc,7", {L"12", L"7"}},
        {"12,1234567890,x7", {L"12"}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadRelatedListIds(c.pszBody), c.arrIds) << c.pszBody;
}

TEST(ServerQueriesTest, UpdateProductsAnswerTakesPiecesFollowedByAComma)
{
    struct Case
    {
        const char* pszBody;
        Ids arrIds;
    } cases[] = {
        {"12,7,", {L"12", L"7"}},
        {"12,7", {L"12"}},
        {"12", {}},
        {",12,", {L"12"}}, // the empty first piece is no id
        {"12,..,/x,7,", {L"12", L"7"}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadUpdateProductsIds(c.pszBody), c.arrIds) << c.pszBody;
}

// Installed games with a versioned executable in their registry key.
class UpdateProductsTest : public ::testing::Test
{
protected:
    tagGames* AddGame(const wchar_t* pszId, bool bInstalled, bool bUpdate, const char* pszLaunchFile)
    {
        auto pGame = std::make_unique<tagGames>();
        CopyToFixed(pGame->szID, pszId);
        pGame->bInstalled = bInstalled;
        pGame->bUpdate = bUpdate;
        if (pszLaunchFile) {
            CGP_Registry key(platform::RegistryRoot::LocalMachine,
                             std::wstring(L"SOFTWARE\\Brevanto Launcher\\") + pszId);
            EXPECT_TRUE(key.CreateKeyAllPerm());
            key.WriteString(L"", platform::FromUtf8(testing_support::BinPath("")));
            key.WriteString(L"LaunchFile", platform::FromUtf8(pszLaunchFile));
        }
        m_arrGames.Add(pGame.get());
        m_arrOwned.push_back(std::move(pGame));
        return m_arrOwned.back().get();
    }

    testing_support::TempDir m_dir;
    ScopedEnv m_registry{"BREVANTO_REGISTRY", m_dir / "registry.db"};
    CGameArray m_arrGames;
    std::vector<std::unique_ptr<tagGames>> m_arrOwned;
};

TEST_F(UpdateProductsTest, ListsVersionedGamesWithACommaAfterAllButTheLastGame)
{
    EXPECT_EQ(BuildUpdateProductsGameIds(m_arrGames), L"");
    AddGame(L"12", true, false, "test-helper-versioned");
    AddGame(L"13", true, false, "test-helper-child");     // no version: no entry
    AddGame(L"14", false, true, "test-helper-versioned"); // an update not installed: no entry
    AddGame(L"15", true, true, "test-helper-versioned");
    EXPECT_EQ(BuildUpdateProductsGameIds(m_arrGames), L"12-3.14.15.9265,15-3.14.15.9265");
    AddGame(L"16", true, false, nullptr); // the last game gives no entry: the comma stays
    EXPECT_EQ(BuildUpdateProductsGameIds(m_arrGames), L"12-3.14.15.9265,15-3.14.15.9265,");
    EXPECT_EQ(BuildUpdateProductsQuery(L"1.0.0.1", m_arrGames),
              L"cgi-bin/launcher_data.pl?version=1.0.0.1&gameid=12-3.14.15.9265,15-3.14.15.9265,"
              L"&action=updateproducts");
}

TEST_F(UpdateProductsTest, LongListIsCutAfterTheLastWholeEntry)
{
    for (int i = 100; i < 160; ++i)
        AddGame(std::to_wstring(i).c_str(), true, false, "test-helper-versioned");
    std::wstring strQuery = BuildUpdateProductsQuery(L"1.0.0.1", m_arrGames);
    EXPECT_LT(strQuery.size(), tagRequest::kQueryLength);
    EXPECT_NE(strQuery.find(L"-3.14.15.9265,&action=updateproducts"), std::wstring::npos);
}

} // namespace
