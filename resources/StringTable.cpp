#include "resources/StringTable.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace resources {
namespace {

constexpr std::pair<uint32_t, const wchar_t*> kStrings[] = {
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

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const auto& a, const auto& b) { return a.first < b.first; }));

} // namespace

std::wstring LoadString(uint32_t nId)
{
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), nId,
                               [](const auto& entry, uint32_t n) { return entry.first < n; });
    if (it == std::end(kStrings) || it->first != nId)
        return {};
    return it->second;
}

} // namespace resources
