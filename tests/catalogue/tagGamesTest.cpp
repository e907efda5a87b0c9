#include "catalogue/tagGames.h"

#include <gtest/gtest.h>

TEST(tagGamesTest, GameIdsAreOneToNineDigits)
{
    struct Case
    {
        const wchar_t* pszId;
        bool bValid;
    } cases[] = {
        {L"1", true},        {L"12", true},          {L"000000000", true}, {L"999999999", true},
        {L"", false},        {L"1234567890", false}, {L"../../x", false},  {L"12/..", false},
        {L"-1", false},      {L"+1", false},         {L" 12", false},      {L"12 ", false},
        {L"1\u0661", false}, // an Arabic-Indic digit is no decimal digit here
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidGameId(c.pszId), c.bValid) << c.pszId;
}

TEST(tagGamesTest, CopyToFixedKeepsTheTerminator)
{
    wchar_t szName[tagGames::kNameLength];
    CopyToFixed(szName, std::wstring(60, L'x'));
    EXPECT_EQ(std::wstring(szName), std::wstring(49, L'x'));
    CopyToFixed(szName, L"short");
    EXPECT_EQ(std::wstring(szName), L"short");

    // A surrogate pair cut by the limit loses both halves.
    std::wstring strPair = std::wstring(48, L'a') + L'\xD83D' + L'\xDE00';
    CopyToFixed(szName, strPair);
    EXPECT_EQ(std::wstring(szName), std::wstring(48, L'a'));
}
