#include "platform/time/DateTime.h"

#include "platform/text/Text.h"

#include <cctype>
#include <cstring>
#include <vector>

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

namespace platform {

namespace {

// The environment's time locale, made for one call. Its character set comes along (LC_CTYPE), so
// the bytes strftime_l writes can be turned into wide text.
class TimeLocale
{
public:
    TimeLocale()
    {
        m_hLocale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", nullptr);
        if (!m_hLocale) // the environment names a locale that is not installed
            m_hLocale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", nullptr);
    }
    ~TimeLocale()
    {
        if (m_hLocale)
            freelocale(m_hLocale);
    }
    TimeLocale(const TimeLocale&) = delete;
    TimeLocale& operator=(const TimeLocale&) = delete;

    // A format string of the locale; pszDefault when there is no locale or it leaves the item empty.
    std::string Info(nl_item nItem, const char* pszDefault) const
    {
        const char* psz = m_hLocale ? nl_langinfo_l(nItem, m_hLocale) : nullptr;
        return psz && *psz ? psz : pszDefault;
    }

    std::wstring Format(const std::string& strFormat, const std::tm& time) const
    {
        if (strFormat.empty() || !m_hLocale)
            return std::wstring();
        // strftime_l gives 0 both for "too small" and for an empty result, hence the cap.
        for (size_t nCapacity = 64; nCapacity <= 4096; nCapacity *= 4) {
            std::vector<char> buffer(nCapacity);
            size_t n = strftime_l(buffer.data(), buffer.size(), strFormat.c_str(), &time, m_hLocale);
            if (n > 0)
                return ToWide(std::string(buffer.data(), n));
        }
        return std::wstring();
    }

private:
    std::wstring ToWide(const std::string& strBytes) const
    {
        const char* pszCodeset = nl_langinfo_l(CODESET, m_hLocale);
        if (!pszCodeset || std::strcmp(pszCodeset, "UTF-8") == 0 ||
            std::strcmp(pszCodeset, "ANSI_X3.4-1968") == 0)
            return FromUtf8(strBytes);
        return FromUtf8(ConvertToUtf8(strBytes, pszCodeset));
    }

    // Text in a legacy character set (e.g. ISO-8859-1 month names) to UTF-8; the bytes as they are
    // when the conversion is not available, so FromUtf8 marks what it cannot read.
    static std::string ConvertToUtf8(const std::string& strBytes, const char* pszCodeset)
    {
        iconv_t hConv = iconv_open("UTF-8", pszCodeset);
        if (hConv == reinterpret_cast<iconv_t>(-1))
            return strBytes;
        std::string strOut(strBytes.size() * 4 + 4, '\0');
        std::string strIn = strBytes;
        char* pIn = strIn.data();
        size_t nInLeft = strIn.size();
        char* pOut = strOut.data();
        size_t nOutLeft = strOut.size();
        size_t nResult = iconv(hConv, &pIn, &nInLeft, &pOut, &nOutLeft);
        iconv_close(hConv);
        if (nResult == static_cast<size_t>(-1))
            return strBytes;
        strOut.resize(strOut.size() - nOutLeft);
        return strOut;
    }

    locale_t m_hLocale = nullptr;
};

// One piece of a strftime format: a conversion ("%H", "%-S", "%OS") or a run of literal text.
struct FormatToken
{
    bool bConversion;
    std::string strText;

    char Conversion() const { return bConversion ? strText.back() : '\0'; }
};

std::vector<FormatToken> Tokenize(std::string_view strFormat)
{
    std::vector<FormatToken> tokens;
    auto addLiteral = [&tokens](std::string_view text) {
        if (tokens.empty() || tokens.back().bConversion)
            tokens.push_back({false, std::string()});
        tokens.back().strText += text;
    };
    size_t i = 0;
    while (i < strFormat.size()) {
        if (strFormat[i] != '%') {
            addLiteral(strFormat.substr(i, 1));
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < strFormat.size() && std::strchr("_-0^#", strFormat[j]))
            ++j;
        while (j < strFormat.size() && std::isdigit(static_cast<unsigned char>(strFormat[j])))
            ++j;
        if (j < strFormat.size() && (strFormat[j] == 'E' || strFormat[j] == 'O'))
            ++j;
        if (j >= strFormat.size()) { // a stray '%' at the end
            addLiteral(strFormat.substr(i));
            break;
        }
        std::string_view conversion = strFormat.substr(i, j + 1 - i);
        if (strFormat[j] == '%') // "%%" is literal text
            addLiteral(conversion);
        else if (strFormat[j] == 'T') {
            tokens.push_back({true, "%H"});
            addLiteral(":");
            tokens.push_back({true, "%M"});
            addLiteral(":");
            tokens.push_back({true, "%S"});
        } else
            tokens.push_back({true, std::string(conversion)});
        i = j + 1;
    }
    return tokens;
}

// A separator between fields (":", ".", " ") as opposed to a unit that names one ("m", a CJK sign).
bool IsSeparator(const std::string& strText)
{
    for (char c : strText) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x80 || std::isalnum(u))
            return false;
    }
    return true;
}

bool IsUnitByte(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x80 || std::isalpha(u);
}

// Replaces "%r" and "%X", whose meaning depends on the locale, with the formats they stand for.
std::string ExpandLocaleTimeFormats(const std::string& strFormat, const TimeLocale& locale, int nDepth = 0)
{
    std::string strOut;
    for (const FormatToken& token : Tokenize(strFormat)) {
        if (token.Conversion() == 'r')
            strOut += locale.Info(T_FMT_AMPM, "%I:%M:%S %p");
        else if (token.Conversion() == 'X' && nDepth == 0)
            strOut += ExpandLocaleTimeFormats(locale.Info(T_FMT, "%H:%M:%S"), locale, 1);
        else
            strOut += token.strText;
    }
    return strOut;
}

} // namespace

std::string RemoveSecondsField(std::string_view strFormat)
{
    std::vector<FormatToken> tokens = Tokenize(strFormat);
    size_t i = 0;
    while (i < tokens.size()) {
        if (tokens[i].Conversion() != 'S') {
            ++i;
            continue;
        }
        const bool bHasPrevious = i >= 2 && !tokens[i - 1].bConversion && tokens[i - 2].bConversion;
        if (bHasPrevious && IsSeparator(tokens[i - 1].strText)) {
            // "%M:%S": the separator goes with the seconds.
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i - 1),
                         tokens.begin() + static_cast<std::ptrdiff_t>(i + 1));
            --i;
            continue;
        }
        // "%Mm%Ss", or a CJK unit sign after each field: the unit after the seconds goes with them.
        tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i));
        if (i < tokens.size() && !tokens[i].bConversion) {
            std::string& strNext = tokens[i].strText;
            size_t nUnit = 0;
            while (nUnit < strNext.size() && IsUnitByte(strNext[nUnit]))
                ++nUnit;
            if (nUnit == 0 && !bHasPrevious && IsSeparator(strNext))
                nUnit = strNext.size(); // seconds first: "%S:%M"
            strNext.erase(0, nUnit);
        }
    }
    std::string strOut;
    for (const FormatToken& token : tokens)
        strOut += token.strText;
    while (!strOut.empty() && strOut.back() == ' ')
        strOut.pop_back();
    return strOut;
}

std::tm GetLocalTimeNow()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::wstring FormatShortDate(const std::tm& time)
{
    TimeLocale locale;
    return locale.Format(locale.Info(D_FMT, "%m/%d/%y"), time);
}

std::wstring FormatTime(const std::tm& time, bool bWithSeconds)
{
    TimeLocale locale;
    std::string strFormat = locale.Info(T_FMT, "%H:%M:%S");
    if (!bWithSeconds)
        strFormat = RemoveSecondsField(ExpandLocaleTimeFormats(strFormat, locale));
    return locale.Format(strFormat, time);
}

} // namespace platform
