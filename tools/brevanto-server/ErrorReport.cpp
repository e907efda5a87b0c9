#include "ErrorReport.h"

#include <cctype>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace server {

namespace {

constexpr size_t kMaxUnpacked = 256u * 1024 * 1024;

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value of name="..." in a Content-Disposition header.
std::optional<std::string> DispositionName(std::string_view headers)
{
    std::string strLower = Lower(std::string(headers));
    size_t nHeader = strLower.find("content-disposition:");
    if (nHeader == std::string::npos)
        return std::nullopt;
    size_t nLineEnd = strLower.find("\r\n", nHeader);
    std::string_view line =
        headers.substr(nHeader, nLineEnd == std::string::npos ? nLineEnd : nLineEnd - nHeader);
    std::string strLine = Lower(std::string(line));
    size_t nName = strLine.find(" name=\"");
    if (nName == std::string::npos)
        nName = strLine.find(";name=\"");
    if (nName == std::string::npos)
        return std::nullopt;
    size_t nStart = nName + 7;
    size_t nEnd = line.find('"', nStart);
    if (nEnd == std::string_view::npos)
        return std::nullopt;
    return std::string(line.substr(nStart, nEnd - nStart));
}

bool WriteWhole(const std::string& strPath, std::string_view data)
{
    std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(file);
}

} // namespace

std::optional<std::string> MultipartBoundary(const std::string& strContentType)
{
    std::string strLower = Lower(strContentType);
    if (strLower.rfind("multipart/form-data", 0) != 0)
        return std::nullopt;
    size_t nParam = strLower.find("boundary=");
    if (nParam == std::string::npos)
        return std::nullopt;
    std::string strBoundary = strContentType.substr(nParam + 9);
    size_t nEnd = strBoundary.find(';');
    if (nEnd != std::string::npos)
        strBoundary.resize(nEnd);
    while (!strBoundary.empty() && (strBoundary.back() == ' ' || strBoundary.back() == '\t'))
        strBoundary.pop_back();
    if (strBoundary.size() >= 2 && strBoundary.front() == '"' && strBoundary.back() == '"')
        strBoundary = strBoundary.substr(1, strBoundary.size() - 2);
    if (strBoundary.empty() || strBoundary.size() > 200)
        return std::nullopt;
    return strBoundary;
}

std::optional<std::map<std::string, std::string>>
ParseMultipart(std::string_view body, const std::string& strBoundary, std::string& strReason)
{
    const std::string strDelimiter = "--" + strBoundary;
    const std::string strNext = "\r\n" + strDelimiter;
    std::map<std::string, std::string> mapFields;

    // The body opens with the first delimiter (a preamble before it is allowed).
    size_t nPos = body.rfind(strDelimiter, 0) == 0 ? 0 : body.find(strNext);
    if (nPos == std::string_view::npos) {
        strReason = "no multipart delimiter";
        return std::nullopt;
    }
    nPos += body.compare(nPos, 2, "\r\n") == 0 ? strNext.size() : strDelimiter.size();
    for (;;) {
        if (body.compare(nPos, 2, "--") == 0)
            return mapFields; // the closing delimiter
        if (body.compare(nPos, 2, "\r\n") != 0) {
            strReason = "malformed delimiter line";
            return std::nullopt;
        }
        size_t nHeaders = nPos + 2;
        size_t nHeadersEnd = body.find("\r\n\r\n", nHeaders);
        if (nHeadersEnd == std::string_view::npos) {
            strReason = "part without a header end";
            return std::nullopt;
        }
        size_t nContent = nHeadersEnd + 4;
        size_t nContentEnd = body.find(strNext, nContent);
        if (nContentEnd == std::string_view::npos) {
            strReason = "truncated multipart body";
            return std::nullopt;
        }
        auto name = DispositionName(body.substr(nHeaders, nHeadersEnd - nHeaders + 2));
        if (!name) {
            strReason = "part without a form-data name";
            return std::nullopt;
        }
        mapFields.emplace(*name, std::string(body.substr(nContent, nContentEnd - nContent)));
        nPos = nContentEnd + strNext.size();
    }
}

std::optional<std::string> Uncompress(std::string_view data, size_t nMaxSize)
{
    size_t nCapacity = std::min(nMaxSize, std::max<size_t>(4096, data.size() * 4));
    for (;;) {
        std::string strOut(nCapacity, '\0');
        uLongf nLength = static_cast<uLongf>(strOut.size());
        int nResult =
            uncompress(reinterpret_cast<Bytef*>(strOut.data()), &nLength,
                       reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()));
        if (nResult == Z_OK) {
            strOut.resize(nLength);
            return strOut;
        }
        if (nResult != Z_BUF_ERROR || nCapacity >= nMaxSize)
            return std::nullopt;
        nCapacity = std::min(nMaxSize, nCapacity * 4);
    }
}

std::string ErrorReportStore::MakeIncomingFolder(std::string& strFinalName)
{
    std::error_code error;
    std::filesystem::create_directories(m_strFolder, error);
    std::time_t now = std::time(nullptr);
    std::tm tmNow{};
    localtime_r(&now, &tmNow);
    char szTime[32];
    std::strftime(szTime, sizeof(szTime), "%Y%m%d-%H%M%S", &tmNow);
    for (int nTry = 0; nTry < 100; ++nTry) {
        strFinalName =
            std::string(szTime) + "-" + std::to_string(getpid()) + "-" + std::to_string(++m_nSequence);
        std::string strIncoming = m_strFolder + "/." + strFinalName;
        if (std::filesystem::create_directory(strIncoming, error) && !error)
            return strIncoming;
    }
    return {};
}

HttpAnswer ErrorReportStore::Store(const std::string& strContentType, std::string_view body)
{
    auto boundary = MultipartBoundary(strContentType);
    if (!boundary)
        return HttpAnswer::Text(400, "Expected multipart/form-data with a boundary\n", "not multipart");
    std::string strReason;
    auto fields = ParseMultipart(body, *boundary, strReason);
    if (!fields)
        return HttpAnswer::Text(400, "Malformed multipart body: " + strReason + "\n", strReason);
    if (fields->find("project_id") == fields->end())
        return HttpAnswer::Text(400, "Missing field project_id\n", "no project_id");

    std::string strName;
    std::string strIncoming = MakeIncomingFolder(strName);
    if (strIncoming.empty())
        return HttpAnswer::Text(500, "Cannot store the report\n", "cannot make a report folder");

    bool bWritten = true;
    std::string strBad;
    for (const char* pszText : {"project_id", "email", "description"})
        bWritten &= WriteWhole(strIncoming + "/" + pszText + ".txt", (*fields)[pszText]);
    const std::pair<const char*, const char*> packed[] = {{"log", "ext.log"}, {"dump", "launcher.dmp"}};
    for (const auto& [pszField, pszFile] : packed) {
        auto it = fields->find(pszField);
        if (it == fields->end())
            continue;
        auto unpacked = Uncompress(it->second, kMaxUnpacked);
        if (unpacked) {
            bWritten &= WriteWhole(strIncoming + "/" + pszFile, *unpacked);
        } else {
            bWritten &= WriteWhole(strIncoming + "/" + pszField + ".zlib", it->second);
            strBad += strBad.empty() ? pszField : std::string(" and ") + pszField;
        }
    }
    std::error_code error;
    std::filesystem::rename(strIncoming, m_strFolder + "/" + strName, error);
    if (!bWritten || error)
        return HttpAnswer::Text(500, "Cannot store the report\n", "write failed in " + strIncoming);
    if (!strBad.empty())
        return HttpAnswer::Text(400, "Stored as " + strName + ", but " + strBad + " is not zlib data\n",
                                "report " + strName + ": " + strBad + " not zlib data");
    return HttpAnswer::Text(200, "Stored as " + strName + "\n", "report " + strName);
}

} // namespace server
