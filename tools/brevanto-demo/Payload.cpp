#include "Payload.h"

#include <cstring>

namespace demo {

namespace {

constexpr char kMagic[8] = {'B', 'R', 'V', 'D', 'E', 'M', 'O', '1'};
constexpr size_t kTrailerSize = 16;

} // namespace

bool IsPlainFileName(const std::string& strName)
{
    return !strName.empty() && strName != "." && strName != ".." && strName.find('/') == std::string::npos &&
           strName.find('\0') == std::string::npos && strName.find('\n') == std::string::npos;
}

bool IsGameIdText(const std::string& strText)
{
    return !strText.empty() && strText.size() <= 9 &&
           strText.find_first_not_of("0123456789") == std::string::npos;
}

std::string EncodePayload(const Payload& payload, uint64_t nProgramSize)
{
    std::string strOut;
    for (const auto& [strKey, strValue] : payload.mapValues)
        strOut += strKey + "=" + strValue + "\n";
    for (const PayloadFile& file : payload.arrFiles)
        strOut += "file=" + std::to_string(file.data.size()) + " " + std::to_string(file.nMode) + " " +
                  file.strName + "\n";
    strOut += '\0';
    for (const PayloadFile& file : payload.arrFiles)
        strOut += file.data;
    strOut.append(kMagic, sizeof(kMagic));
    for (int i = 0; i < 8; ++i)
        strOut += static_cast<char>((nProgramSize >> (8 * i)) & 0xFF);
    return strOut;
}

std::optional<Payload> DecodePayload(const std::string& executable, uint64_t& nProgramSize)
{
    if (executable.size() < kTrailerSize)
        return std::nullopt;
    size_t nTrailer = executable.size() - kTrailerSize;
    if (std::memcmp(executable.data() + nTrailer, kMagic, sizeof(kMagic)) != 0)
        return std::nullopt;
    nProgramSize = 0;
    for (int i = 7; i >= 0; --i)
        nProgramSize = (nProgramSize << 8) |
                       static_cast<unsigned char>(executable[nTrailer + 8 + static_cast<size_t>(i)]);
    if (nProgramSize >= nTrailer)
        return std::nullopt;
    size_t nManifestEnd = executable.find('\0', nProgramSize);
    if (nManifestEnd == std::string::npos || nManifestEnd >= nTrailer)
        return std::nullopt;

    Payload payload;
    std::string strManifest = executable.substr(nProgramSize, nManifestEnd - nProgramSize);
    size_t nData = nManifestEnd + 1;
    size_t nStart = 0;
    while (nStart < strManifest.size()) {
        size_t nEnd = strManifest.find('\n', nStart);
        std::string strLine = strManifest.substr(nStart, nEnd - nStart);
        nStart = nEnd == std::string::npos ? strManifest.size() : nEnd + 1;
        size_t nEq = strLine.find('=');
        if (nEq == std::string::npos)
            return std::nullopt;
        std::string strKey = strLine.substr(0, nEq);
        std::string strValue = strLine.substr(nEq + 1);
        if (strKey != "file") {
            payload.mapValues[strKey] = strValue;
            continue;
        }
        // "SIZE MODE NAME"; the name may hold spaces.
        size_t nSpace1 = strValue.find(' ');
        size_t nSpace2 = nSpace1 == std::string::npos ? nSpace1 : strValue.find(' ', nSpace1 + 1);
        if (nSpace2 == std::string::npos)
            return std::nullopt;
        std::string strSize = strValue.substr(0, nSpace1);
        std::string strMode = strValue.substr(nSpace1 + 1, nSpace2 - nSpace1 - 1);
        if (strSize.empty() || strSize.size() > 12 ||
            strSize.find_first_not_of("0123456789") != std::string::npos || strMode.empty() ||
            strMode.size() > 5 || strMode.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        PayloadFile file;
        file.strName = strValue.substr(nSpace2 + 1);
        file.nMode = static_cast<uint32_t>(std::stoul(strMode)) & 0777;
        uint64_t nSize = std::stoull(strSize);
        if (!IsPlainFileName(file.strName) || nSize > nTrailer - nData)
            return std::nullopt;
        file.data = executable.substr(nData, nSize);
        nData += nSize;
        payload.arrFiles.push_back(std::move(file));
    }
    if (nData != nTrailer)
        return std::nullopt;
    return payload;
}

} // namespace demo
