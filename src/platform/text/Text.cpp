#include "platform/text/Text.h"

#include <cstdarg>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalarValue(char32_t c)
{
    return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (!IsScalarValue(c))
        c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is malformed.
size_t DecodeOne(std::string_view text, size_t i, char32_t& c)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char b0 = byte(i);
    size_t nLen = 0;
    char32_t nMin = 0;
    if (b0 < 0x80) {
        c = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        nLen = 2;
        c = b0 & 0x1F;
        nMin = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        nLen = 3;
        c = b0 & 0x0F;
        nMin = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        nLen = 4;
        c = b0 & 0x07;
        nMin = 0x10000;
    } else {
        return 0;
    }
    if (i + nLen > text.size())
        return 0;
    for (size_t k = 1; k < nLen; ++k) {
        unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < nMin || !IsScalarValue(c))
        return 0;
    return nLen;
}

// The upper half of Windows-1251; 0x98 is unassigned and maps to U+FFFD.
constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0..0xFF: А..я in order
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436,
    0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443,
    0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

} // namespace

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t ch : text)
        AppendUtf8(out, static_cast<char32_t>(ch));
    return out;
}

std::wstring FromUtf8(std::string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        size_t nLen = DecodeOne(text, i, c);
        if (nLen == 0) {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
        } else {
            out.push_back(static_cast<wchar_t>(c));
            i += nLen;
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        size_t nLen = DecodeOne(text, i, c);
        if (nLen == 0)
            return false;
        i += nLen;
    }
    return true;
}

std::wstring FromWindows1251(std::string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        out.push_back(b < 0x80 ? static_cast<wchar_t>(b) : static_cast<wchar_t>(kCp1251High[b - 0x80]));
    }
    return out;
}

std::wstring FormatW(const wchar_t* pszFormat, ...)
{
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list args;
        va_start(args, pszFormat);
        int n = std::vswprintf(buf.data(), buf.size(), pszFormat, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buf.size())
            return std::wstring(buf.data(), static_cast<size_t>(n));
        if (buf.size() > (1u << 24))
            return std::wstring();
        buf.resize(buf.size() * 4);
    }
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z')
            x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z')
            y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y)
            return false;
    }
    return true;
}

std::wstring GetEnv(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue ? FromUtf8(pszValue) : std::wstring();
}

} // namespace platform
