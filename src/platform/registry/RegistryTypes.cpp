#include "platform/registry/RegistryTypes.h"

namespace platform {

namespace {

void AppendUnit(std::string& out, uint32_t nUnit)
{
    out.push_back(static_cast<char>(nUnit & 0xFF));
    out.push_back(static_cast<char>((nUnit >> 8) & 0xFF));
}

} // namespace

std::string EncodeRegistryString(std::wstring_view text)
{
    std::string out;
    out.reserve((text.size() + 1) * 2);
    for (wchar_t ch : text) {
        auto c = static_cast<uint32_t>(ch);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            AppendUnit(out, 0xFFFD);
        } else if (c >= 0x10000) {
            c -= 0x10000;
            AppendUnit(out, 0xD800 + (c >> 10));
            AppendUnit(out, 0xDC00 + (c & 0x3FF));
        } else {
            AppendUnit(out, c);
        }
    }
    AppendUnit(out, 0);
    return out;
}

std::wstring DecodeRegistryString(std::string_view data)
{
    std::wstring text;
    const size_t nUnits = data.size() / 2;
    const auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(data[2 * i])) |
               (static_cast<uint32_t>(static_cast<unsigned char>(data[2 * i + 1])) << 8);
    };
    for (size_t i = 0; i < nUnits; ++i) {
        uint32_t c = unit(i);
        if (c == 0)
            break;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < nUnits && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        text.push_back(static_cast<wchar_t>(c));
    }
    return text;
}

} // namespace platform
