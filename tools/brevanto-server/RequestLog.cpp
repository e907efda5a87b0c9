#include "RequestLog.h"

#include "HttpRequest.h"

#include <ctime>

namespace server {

namespace {

std::string Now()
{
    std::time_t now = std::time(nullptr);
    std::tm tmNow{};
    localtime_r(&now, &tmNow);
    char szTime[32];
    std::strftime(szTime, sizeof(szTime), "%Y-%m-%d %H:%M:%S", &tmNow);
    return szTime;
}

} // namespace

bool RequestLog::Open(const std::string& strPath)
{
    if (strPath.empty()) {
        m_pFile = stderr;
        return true;
    }
    m_pFile = std::fopen(strPath.c_str(), "a");
    m_bOwned = m_pFile != nullptr;
    return m_pFile != nullptr;
}

RequestLog::~RequestLog()
{
    if (m_bOwned)
        std::fclose(m_pFile);
}

void RequestLog::Write(const std::string& strPeer, const std::string& strRequestLine, int nStatus,
                       uint64_t nBytes, const std::string& strNote)
{
    std::string strLine = Now() + " " + strPeer + " \"" + PrintableForLog(strRequestLine) + "\" " +
                          std::to_string(nStatus) + " " + std::to_string(nBytes);
    if (!strNote.empty())
        strLine += " " + PrintableForLog(strNote);
    Emit(strLine);
}

void RequestLog::Note(const std::string& strText)
{
    Emit(Now() + " " + PrintableForLog(strText, 1000));
}

void RequestLog::Emit(const std::string& strLine)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_pFile)
        return;
    std::fputs((strLine + "\n").c_str(), m_pFile);
    std::fflush(m_pFile);
}

} // namespace server
