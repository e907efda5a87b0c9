#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <cstdint>

// Every text the windows show, by the number their code loads it with.
TEST(StringTable, EveryTextLoadsByItsNumber)
{
    const struct
    {
        uint32_t nId;
        const wchar_t* pszText;
    } table[] = {
        {102, L"More Funny Games"},
        {103, L"Minimize"},
        {104, L"Close"},
        {105, L"All games"},
        {106, L"Title"},
        {107, L"Status"},
        {108, L"Remove this game"},
        {109, L"Contact support"},
        {110, L"of"},
        {111, L"connecting..."},
        {112, L"Download"},
        {113, L"Play now"},
        {116, L"Installing..."},
        {119, L"Server error"},
        {120, L"Connection problems"},
        {129, L"Yes"},
        {130, L"No"},
        {131, L"Remove"},
        {132, L"Are you sure you want to remove this game?"},
        {133, L"Abort download and remove this game?"},
        {142, L"Close"},
        {144, L"Thank you for playing"},
        {145, L"Exit"},
        {146, L"Pause"},
        {147, L"Resume"},
        {148, L"Paused"},
        {149, L"Game"},
        {150, L"Update found! Click to update"},
        {151, L"Ver"},
        {152, L"Downloading update..."},
        {154, L"update found"},
        {155, L"Do you want to update the game?"},
        {156, L"Cancel update"},
        {157, L"Abort download and cancel update?"},
    };
    for (const auto& entry : table)
        EXPECT_EQ(resources::LoadString(entry.nId), entry.pszText) << entry.nId;
}

TEST(StringTable, MissingNumberLoadsAsEmptyText)
{
    for (uint32_t nId : {0u, 101u, 114u, 115u, 117u, 118u, 121u, 143u, 153u, 158u, 0xFFFFFFFFu})
        EXPECT_EQ(resources::LoadString(nId), L"") << nId;
}
