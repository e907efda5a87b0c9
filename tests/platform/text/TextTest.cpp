#include "platform/text/Text.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Text, Utf8RoundTripKeepsEveryPlane)
{
    const std::wstring text = L"Games \u0418\u0433\u0440\u044B \u65E5\u672C \U0001F3AE";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(L"\u0418"), "\xD0\x98");
}

TEST(Text, MalformedUtf8BecomesReplacementPerBadByte)
{
    struct Case
    {
        std::string strIn;
        std::wstring strOut;
        bool bValid;
    } cases[] = {
        {"abc", L"abc", true},
        {"\xD0", L"\uFFFD", false},                               // truncated sequence at the end
        {"\xC0\xAF", L"\uFFFD\uFFFD", false},                     // overlong slash
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD", false},           // surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD", false}, // above U+10FFFF
        {"a\xFFz", L"a\uFFFDz", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FromUtf8(c.strIn), c.strOut) << c.strIn;
        EXPECT_EQ(IsValidUtf8(c.strIn), c.bValid) << c.strIn;
    }
}

TEST(Text, Windows1251DecodesCyrillic)
{
    EXPECT_EQ(FromWindows1251("\xC8\xE3\xF0\xE0 ok"), L"\u0418\u0433\u0440\u0430 ok");
    EXPECT_EQ(FromWindows1251("\xA8\xB8"), L"\u0401\u0451");
}

TEST(Text, FormatGrowsPastItsFirstBuffer)
{
    std::wstring strLong(1000, L'x');
    EXPECT_EQ(FormatW(L"%ls-%d", strLong.c_str(), 42), strLong + L"-42");
}
