#include "app/CGP_LogFile.h"

#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"
#include "platform/time/DateTime.h"
#include "platform/version/FileVersion.h"

#include <atomic>
#include <string>

namespace {

constexpr char kFramingLine[] = "---------------------------------------------------------\r\n";

std::atomic<std::shared_ptr<CGP_LogFile>>& SessionLogSlot()
{
    static std::atomic<std::shared_ptr<CGP_LogFile>> slot;
    return slot;
}

} // namespace

CGP_LogFile::CGP_LogFile(const std::wstring& strPath, bool bNoBanner)
    : CGP_LogFile(strPath, bNoBanner, GetOwnVersionText())
{
}

CGP_LogFile::CGP_LogFile(const std::wstring& strPath, bool bNoBanner, std::optional<std::wstring> strVersion)
    : m_bNoBanner(bNoBanner), m_strPath(strPath), m_strVersion(std::move(strVersion))
{
}

CGP_LogFile::~CGP_LogFile()
{
    Close();
}

void CGP_LogFile::Open()
{
    platform::MutexLock lock(m_lock);
    if (m_bOpened)
        return;
    m_bOpened = true;

    // Step 1: a file over the limit is started afresh; the test is greater-than.
    const char* pszMode = "w";
    if (auto nSize = platform::GetFileSize(m_strPath); nSize && *nSize <= static_cast<uint64_t>(kMaxSize))
        pszMode = "a";

    // Step 2: the stream may stay null; every write then does nothing.
    m_pFile = std::fopen(platform::ToNativePath(m_strPath).c_str(), pszMode);
    if (!m_pFile)
        return;

    // Step 3: the session header.
    if (!m_bNoBanner) {
        Put(kFramingLine);
        WriteFraming("BEGIN SESSION");
    }
}

void CGP_LogFile::WriteFraming(const char* pszWhat)
{
    std::wstring strLine = platform::FromUtf8(pszWhat) + L": ";
    if (m_strVersion)
        strLine += *m_strVersion + L" ";
    strLine += GetDateTimeString(true) + L"\r\n";
    Put(platform::ToUtf8(strLine));
}

CGP_LogFile* CGP_LogFile::Write(const wchar_t* pszText)
{
    if (!pszText)
        return this;
    std::string strPiece = platform::ToUtf8(pszText);
    platform::MutexLock lock(m_lock);
    WriteLocked(strPiece);
    return this;
}

CGP_LogFile* CGP_LogFile::WriteInt(int32_t nValue)
{
    std::string strPiece = std::to_string(nValue);
    platform::MutexLock lock(m_lock);
    WriteLocked(strPiece);
    return this;
}

void CGP_LogFile::WriteLocked(const std::string& strPiece)
{
    if (!m_pFile)
        return;
    if (std::ftell(m_pFile) > kMaxSize) {
        // Started afresh without a header: the piece stands at the start of the file.
        std::fclose(m_pFile);
        m_pFile = std::fopen(platform::ToNativePath(m_strPath).c_str(), "w");
    }
    Put(strPiece);
}

void CGP_LogFile::Put(const std::string& strPiece)
{
    if (!m_pFile)
        return;
    std::fwrite(strPiece.data(), 1, strPiece.size(), m_pFile);
    std::fflush(m_pFile);
}

void CGP_LogFile::Close()
{
    platform::MutexLock lock(m_lock);
    if (m_bClosed)
        return;
    m_bClosed = true;
    if (!m_pFile)
        return;
    if (!m_bNoBanner) {
        WriteFraming("END SESSION");
        Put(kFramingLine);
    }
    std::fclose(m_pFile);
    m_pFile = nullptr;
}

std::wstring GetDateTimeString(bool bWithSeconds)
{
    std::tm now = platform::GetLocalTimeNow();
    return platform::FormatShortDate(now) + L"   " + platform::FormatTime(now, bWithSeconds);
}

std::optional<std::wstring> GetOwnVersionText()
{
    auto version = platform::GetOwnFileVersion();
    if (!version)
        return std::nullopt;
    return version->ToString();
}

std::shared_ptr<CGP_LogFile> SessionLog()
{
    if (auto pLog = SessionLogSlot().load())
        return pLog;
    // Never opened, so every write to it does nothing.
    static const auto pInert = std::make_shared<CGP_LogFile>(std::wstring(), true, std::nullopt);
    return pInert;
}

void SetSessionLog(std::shared_ptr<CGP_LogFile> pLog)
{
    SessionLogSlot().store(std::move(pLog));
}
