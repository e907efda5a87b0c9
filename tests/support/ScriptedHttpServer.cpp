#include "support/ScriptedHttpServer.h"

#include <chrono>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

namespace {

constexpr size_t kMaxRequest = 65536;

// Waits up to nMs for the socket to become readable, looking at the stop flag every 50 ms.
bool WaitReadable(int hSocket, const std::atomic<bool>& bStop, int nMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMs);
    while (!bStop) {
        pollfd pfd{hSocket, POLLIN, 0};
        if (poll(&pfd, 1, 50) > 0)
            return true;
        if (nMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
    }
    return false;
}

void SleepUnlessStopped(uint32_t nMs, const std::atomic<bool>& bStop)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMs);
    while (!bStop && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool SendAll(int hSocket, const char* p, size_t nSize)
{
    while (nSize > 0) {
        ssize_t n = send(hSocket, p, nSize, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p += n;
        nSize -= static_cast<size_t>(n);
    }
    return true;
}

std::string WithLength(const std::string& strStatusLine, const std::string& strBody,
                       const std::string& strExtraHeaders = {})
{
    return strStatusLine + "\r\n" + strExtraHeaders + "Content-Length: " + std::to_string(strBody.size()) +
           "\r\n\r\n" + strBody;
}

} // namespace

ScriptedAnswer ScriptedAnswer::Ok(const std::string& strBody)
{
    return {WithLength("HTTP/1.0 200 OK", strBody)};
}

ScriptedAnswer ScriptedAnswer::Partial(const std::string& strFile, size_t nFirst)
{
    std::string strBody = nFirst < strFile.size() ? strFile.substr(nFirst) : std::string();
    std::string strRange = "Content-Range: bytes " + std::to_string(nFirst) + "-" +
                           std::to_string(strFile.empty() ? 0 : strFile.size() - 1) + "/" +
                           std::to_string(strFile.size()) + "\r\n";
    return {WithLength("HTTP/1.0 206 Partial Content", strBody, strRange)};
}

ScriptedAnswer ScriptedAnswer::Redirect(const std::string& strLocation)
{
    return {"HTTP/1.0 302 Found\r\nLocation: " + strLocation + "\r\nContent-Length: 0\r\n\r\n"};
}

ScriptedAnswer ScriptedAnswer::Status(const std::string& strCodeAndReason)
{
    return {"HTTP/1.0 " + strCodeAndReason + "\r\n\r\n"};
}

ScriptedAnswer ScriptedAnswer::CutAfter(size_t nBytes) const
{
    ScriptedAnswer cut = *this;
    cut.nCloseAfter = nBytes;
    return cut;
}

ScriptedAnswer ScriptedAnswer::SilentAfter(size_t nBytes) const
{
    ScriptedAnswer silent = CutAfter(nBytes);
    silent.bHoldOpen = true;
    return silent;
}

ScriptedHttpServer::ScriptedHttpServer()
{
    m_hListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof(address);
    if (m_hListen < 0 || bind(m_hListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(m_hListen, 64) != 0 ||
        getsockname(m_hListen, reinterpret_cast<sockaddr*>(&address), &nLength) != 0) {
        if (m_hListen >= 0)
            close(m_hListen);
        m_hListen = -1;
        return;
    }
    m_nPort = ntohs(address.sin_port);
    m_acceptThread = std::thread(&ScriptedHttpServer::AcceptLoop, this);
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    m_bStop = true;
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::vector<std::thread> arrConnections;
    {
        std::lock_guard guard(m_lock);
        arrConnections.swap(m_arrConnections);
    }
    for (std::thread& connection : arrConnections)
        connection.join();
    if (m_hListen >= 0)
        close(m_hListen);
}

void ScriptedHttpServer::Script(std::vector<ScriptedAnswer> arrAnswers)
{
    std::lock_guard guard(m_lock);
    for (ScriptedAnswer& answer : arrAnswers)
        m_arrScript.push_back(std::move(answer));
}

void ScriptedHttpServer::SetHandler(Handler handler)
{
    std::lock_guard guard(m_lock);
    m_handler = std::move(handler);
}

std::vector<std::string> ScriptedHttpServer::Requests() const
{
    std::lock_guard guard(m_lock);
    return m_arrRequests;
}

size_t ScriptedHttpServer::RequestCount() const
{
    std::lock_guard guard(m_lock);
    return m_arrRequests.size();
}

std::string ScriptedHttpServer::ConnectTo(const std::string& strHost, uint16_t nPort) const
{
    return strHost + ":" + std::to_string(nPort) + ":127.0.0.1:" + std::to_string(m_nPort);
}

void ScriptedHttpServer::AcceptLoop()
{
    while (!m_bStop) {
        if (!WaitReadable(m_hListen, m_bStop, 100))
            continue;
        int hClient = accept4(m_hListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (hClient < 0)
            continue;
        std::lock_guard guard(m_lock);
        m_arrConnections.emplace_back(&ScriptedHttpServer::Serve, this, hClient);
    }
}

ScriptedAnswer ScriptedHttpServer::NextAnswer(const std::string& strRequest)
{
    Handler handler;
    {
        std::lock_guard guard(m_lock);
        m_arrRequests.push_back(strRequest);
        if (m_nNextAnswer < m_arrScript.size())
            return m_arrScript[m_nNextAnswer++];
        handler = m_handler;
    }
    if (handler)
        return handler(strRequest);
    return {}; // close at once
}

void ScriptedHttpServer::Serve(int hClient)
{
    std::string strRequest;
    char buffer[4096];
    while (strRequest.find("\r\n\r\n") == std::string::npos && strRequest.size() < kMaxRequest) {
        if (!WaitReadable(hClient, m_bStop, 10000))
            break;
        ssize_t n = recv(hClient, buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;
        strRequest.append(buffer, static_cast<size_t>(n));
    }
    ScriptedAnswer answer = NextAnswer(strRequest);
    SleepUnlessStopped(answer.nSilenceMs, m_bStop);
    size_t nSend = std::min(answer.nCloseAfter, answer.strBytes.size());
    size_t nFirst = std::min(answer.nPauseAfter, nSend);
    bool bSent = !m_bStop && SendAll(hClient, answer.strBytes.data(), nFirst);
    if (bSent && nFirst < nSend) {
        SleepUnlessStopped(answer.nPauseMs, m_bStop);
        bSent = SendAll(hClient, answer.strBytes.data() + nFirst, nSend - nFirst);
    }
    if (bSent && answer.bHoldOpen) {
        // Silent until the client gives up (or the server stops).
        while (WaitReadable(hClient, m_bStop, -1) && recv(hClient, buffer, sizeof(buffer), 0) > 0) {
        }
    }
    close(hClient);
}

std::string QueryValue(const std::string& strRequest, const std::string& strKey)
{
    std::string strLine = strRequest.substr(0, strRequest.find("\r\n"));
    for (char cBefore : {'?', '&'}) {
        size_t nPos = strLine.find(cBefore + strKey + "=");
        if (nPos == std::string::npos)
            continue;
        nPos += strKey.size() + 2;
        size_t nEnd = strLine.find_first_of("& ", nPos);
        return strLine.substr(nPos, nEnd == std::string::npos ? std::string::npos : nEnd - nPos);
    }
    return {};
}

ScriptedHttpServer::Handler ScriptedHttpServer::ServeFiles(std::map<std::string, std::string> arrFiles)
{
    return [arrFiles = std::move(arrFiles)](const std::string& strRequest) -> ScriptedAnswer {
        if (strRequest.find("launcher_data.pl?") != std::string::npos) {
            std::string strKey = QueryValue(strRequest, "gameid") + "/" + QueryValue(strRequest, "action");
            if (!arrFiles.count(strKey))
                return ScriptedAnswer::Status("404 Not Found");
            return ScriptedAnswer::Redirect("../files/" + strKey);
        }
        size_t nStart = strRequest.find("/files/");
        size_t nEnd = strRequest.find(' ', nStart);
        if (nStart == std::string::npos || nEnd == std::string::npos)
            return ScriptedAnswer::Status("404 Not Found");
        auto it = arrFiles.find(strRequest.substr(nStart + 7, nEnd - nStart - 7));
        if (it == arrFiles.end())
            return ScriptedAnswer::Status("404 Not Found");
        size_t nRange = strRequest.find("\r\nRange: bytes=");
        if (nRange == std::string::npos)
            return ScriptedAnswer::Ok(it->second);
        size_t nFirst = std::stoul(strRequest.substr(nRange + 15));
        if (nFirst > it->second.size())
            return ScriptedAnswer::Status("416 Range Not Satisfiable");
        return ScriptedAnswer::Partial(it->second, nFirst);
    };
}

} // namespace testing_support
