#include "platform/time/DateTime.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <locale.h>

using namespace platform;
using testing_support::ScopedEnv;

namespace {

// 2026-12-31 23:59:58, a Thursday.
std::tm LastSecondsOf2026()
{
    std::tm time{};
    time.tm_year = 2026 - 1900;
    time.tm_mon = 11;
    time.tm_mday = 31;
    time.tm_hour = 23;
    time.tm_min = 59;
    time.tm_sec = 58;
    time.tm_wday = 4;
    time.tm_yday = 364;
    return time;
}

bool IsLocaleInstalled(const char* pszName)
{
    locale_t hLocale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, pszName, nullptr);
    if (!hLocale)
        return false;
    freelocale(hLocale);
    return true;
}

struct Expected
{
    std::wstring strDate;
    std::wstring strTime;
    std::wstring strShortTime;
};

void ExpectFormats(const Expected& expected)
{
    const std::tm time = LastSecondsOf2026();
    EXPECT_EQ(FormatShortDate(time), expected.strDate);
    EXPECT_EQ(FormatTime(time, true), expected.strTime);
    EXPECT_EQ(FormatTime(time, false), expected.strShortTime);
}

} // namespace

TEST(DateTime, CLocaleFormats)
{
    ScopedEnv lcAll("LC_ALL", "C");
    ExpectFormats({L"12/31/26", L"23:59:58", L"23:59"});
}

TEST(DateTime, LocaleThatIsNotInstalledFallsBackToC)
{
    ScopedEnv lcAll("LC_ALL", "xx_NOWHERE.UTF-8");
    ExpectFormats({L"12/31/26", L"23:59:58", L"23:59"});
}

// The formats follow the environment at the time of the call, not the process's global locale.
TEST(DateTime, InstalledLocalesUseTheirOwnFormats)
{
    struct Case
    {
        const char* pszLocale;
        Expected expected;
    } cases[] = {
        {"de_DE.UTF-8", {L"31.12.2026", L"23:59:58", L"23:59"}},
        {"en_US.UTF-8", {L"12/31/2026", L"11:59:58 PM", L"11:59 PM"}},
    };
    int nChecked = 0;
    for (const Case& c : cases) {
        if (!IsLocaleInstalled(c.pszLocale))
            continue;
        SCOPED_TRACE(c.pszLocale);
        ScopedEnv lcAll("LC_ALL", c.pszLocale);
        ExpectFormats(c.expected);
        ++nChecked;
    }
    if (nChecked == 0)
        GTEST_SKIP() << "neither de_DE.UTF-8 nor en_US.UTF-8 is installed";
}

TEST(DateTime, SecondsFieldIsRemovedWithItsSeparatorOrUnit)
{
    struct Case
    {
        const char* pszIn;
        const char* pszOut;
    } cases[] = {
        {"%H:%M:%S", "%H:%M"},
        {"%T", "%H:%M"},
        {"%I:%M:%S %p", "%I:%M %p"},
        {"%p %I:%M:%S", "%p %I:%M"},
        {"%H.%M.%S", "%H.%M"},
        {"%k:%M:%OS %Z", "%k:%M %Z"},
        {"%Hh%Mm%Ss", "%Hh%Mm"},
        {"%H\u65F6%M\u5206%S\u79D2", "%H\u65F6%M\u5206"},
        {"%p %I\uC2DC %M\uBD84 %S\uCD08", "%p %I\uC2DC %M\uBD84"},
        {"%H:%M", "%H:%M"},
        {"%H%%S", "%H%%S"}, // a literal "%S", not a field
        {"%H:%M:%", "%H:%M:%"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RemoveSecondsField(c.pszIn), c.pszOut) << c.pszIn;
}

TEST(DateTime, LocalTimeNowIsAPlausibleDate)
{
    std::tm now = GetLocalTimeNow();
    EXPECT_GE(now.tm_year, 2020 - 1900);
    EXPECT_GE(now.tm_mday, 1);
    EXPECT_LE(now.tm_mday, 31);
}
