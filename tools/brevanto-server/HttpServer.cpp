#include "HttpServer.h"

#include "LauncherQuery.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace server {

namespace {

constexpr size_t kMaxHeadBytes = 16 * 1024;
constexpr const char* kQueryPath = "/cgi-bin/launcher_data.pl";
constexpr const char* kReportPath = "/cgi-bin/error_reporting.pl";

const char* ReasonPhrase(int nStatus)
{
    switch (nStatus) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    default:
        return "Unknown";
    }
}

std::string ContentTypeOf(const std::string& strFile)
{
    auto EndsWith = [&](const char* pszSuffix) {
        std::string strSuffix(pszSuffix);
        return strFile.size() >= strSuffix.size() &&
               strFile.compare(strFile.size() - strSuffix.size(), strSuffix.size(), strSuffix) == 0;
    };
    if (EndsWith(".png"))
        return "image/png";
    if (EndsWith(".txt"))
        return "text/plain; charset=utf-8";
    return "application/octet-stream";
}

// Dot segments never name a catalogue file; they are refused outright rather than resolved.
bool HasDotSegment(const std::string& strPath)
{
    return strPath.find("/../") != std::string::npos || strPath.find("/./") != std::string::npos ||
           strPath.ends_with("/..") || strPath.ends_with("/.") || strPath.find("//") != std::string::npos;
}

std::string PeerName(const sockaddr_storage& address)
{
    char szHost[INET6_ADDRSTRLEN] = "?";
    uint16_t nPort = 0;
    if (address.ss_family == AF_INET) {
        const auto* pIn = reinterpret_cast<const sockaddr_in*>(&address);
        inet_ntop(AF_INET, &pIn->sin_addr, szHost, sizeof(szHost));
        nPort = ntohs(pIn->sin_port);
        return std::string(szHost) + ":" + std::to_string(nPort);
    }
    const auto* pIn6 = reinterpret_cast<const sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &pIn6->sin6_addr, szHost, sizeof(szHost));
    nPort = ntohs(pIn6->sin6_port);
    return "[" + std::string(szHost) + "]:" + std::to_string(nPort);
}

} // namespace

// One connection, from its first byte to its close, on the connection's own thread.
class HttpServer::Session
{
public:
    Session(HttpServer& server, Connection& connection) : m_server(server), m_connection(connection) {}

    void Run()
    {
        for (;;) {
            std::string strHead;
            if (!ReadHead(strHead))
                return;
            std::string strRequestLine = strHead.substr(0, strHead.find_first_of("\r\n"));
            std::string strReason;
            auto request = ParseRequestHead(strHead, strReason);
            if (!request) {
                HttpAnswer answer = HttpAnswer::Text(400, "Bad request: " + strReason + "\n", strReason);
                answer.bClose = true;
                Finish(strRequestLine, answer, nullptr);
                return;
            }
            HttpAnswer answer = Dispatch(*request);
            bool bKeepAlive = request->WantsKeepAlive() && !answer.bClose;
            answer.bClose = !bKeepAlive;
            if (!Finish(strRequestLine, answer, &*request) || !bKeepAlive)
                return;
        }
    }

private:
    enum class Fill
    {
        Data,
        Closed,
        Timeout,
    };

    // Receives more bytes into m_strBuffer, waiting at most the idle time.
    Fill Receive()
    {
        pollfd entry{m_connection.hSocket, POLLIN, 0};
        int nReady = 0;
        do {
            nReady = poll(&entry, 1, m_server.m_options.nIdleTimeoutMs);
        } while (nReady < 0 && errno == EINTR);
        if (nReady == 0)
            return Fill::Timeout;
        char buffer[64 * 1024];
        ssize_t nRead = 0;
        do {
            nRead = recv(m_connection.hSocket, buffer, sizeof(buffer), 0);
        } while (nRead < 0 && errno == EINTR);
        if (nRead <= 0)
            return Fill::Closed;
        m_strBuffer.append(buffer, static_cast<size_t>(nRead));
        return Fill::Data;
    }

    // The next request head, without its blank line; false when the connection is to close
    // (answered and logged already where that was due).
    bool ReadHead(std::string& strHead)
    {
        for (;;) {
            size_t nCrlf = m_strBuffer.find("\r\n\r\n");
            size_t nLf = m_strBuffer.find("\n\n");
            size_t nEnd = std::min(nCrlf, nLf);
            if (nEnd != std::string::npos && nEnd < kMaxHeadBytes) {
                strHead = m_strBuffer.substr(0, nEnd);
                m_strBuffer.erase(0, nEnd + (nEnd == nCrlf ? 4 : 2));
                return true;
            }
            if (m_strBuffer.size() >= kMaxHeadBytes) {
                HttpAnswer answer = HttpAnswer::Text(431, "Request head too large\n", "head over 16 KiB");
                answer.bClose = true;
                Finish(m_strBuffer.substr(0, m_strBuffer.find_first_of("\r\n")), answer, nullptr);
                return false;
            }
            Fill fill = Receive();
            if (fill == Fill::Data)
                continue;
            // A keep-alive connection that ends or idles between requests is normal.
            if (m_strBuffer.empty())
                return false;
            std::string strLine = m_strBuffer.substr(0, m_strBuffer.find_first_of("\r\n"));
            if (fill == Fill::Timeout) {
                HttpAnswer answer = HttpAnswer::Text(408, "Request head incomplete\n", "head timed out");
                answer.bClose = true;
                Finish(strLine, answer, nullptr);
            } else {
                m_server.m_log.Write(m_connection.strPeer, strLine, 0, 0, "client closed mid-head");
            }
            return false;
        }
    }

    HttpAnswer Dispatch(const HttpRequest& request)
    {
        if (request.strMethod == "POST")
            return ReceiveReport(request);
        if (request.strMethod != "GET" && request.strMethod != "HEAD") {
            HttpAnswer answer = HttpAnswer::Text(405, "Method not allowed\n", "method not allowed");
            answer.arrHeaders.emplace_back("Allow", "GET, HEAD, POST");
            answer.bClose = true;
            return answer;
        }
        HttpAnswer answer = AnswerGet(request);
        // A body we did not read would be taken for the next request.
        if (request.Header("transfer-encoding") || request.Header("content-length").value_or("0") != "0")
            answer.bClose = true;
        if (!request.strHostInForm.empty())
            answer.strNote += (answer.strNote.empty() ? "" : "; ") + std::string("proxy form");
        return answer;
    }

    HttpAnswer AnswerGet(const HttpRequest& request)
    {
        if (request.strPath == kQueryPath) {
            auto query = ParseQuery(request.strRawQuery);
            if (!query)
                return HttpAnswer::Text(400, "E bad escape in the query", "bad escape in the query");
            return AnswerLauncherQuery(m_server.m_catalogue, *query);
        }
        if (HasDotSegment(request.strPath))
            return HttpAnswer::Text(400, "Bad path\n", "dot segment in the path");
        auto file = m_server.m_catalogue.FindFile(request.strPath);
        if (!file)
            return HttpAnswer::Text(404, "Not found\n", "no such file");
        HttpAnswer answer;
        answer.strFile = *file;
        answer.strContentType = ContentTypeOf(*file);
        return answer;
    }

    HttpAnswer ReceiveReport(const HttpRequest& request)
    {
        HttpAnswer refusal;
        if (request.strPath != kReportPath)
            refusal = HttpAnswer::Text(404, "Not found\n", "POST to an unknown path");
        else if (request.Header("transfer-encoding"))
            refusal = HttpAnswer::Text(501, "Chunked bodies are not supported\n", "transfer-encoding");
        auto length = request.Header("content-length");
        uint64_t nLength = 0;
        if (refusal.nStatus == 200 && !length)
            refusal = HttpAnswer::Text(411, "Content-Length required\n", "no Content-Length");
        if (refusal.nStatus == 200) {
            auto range = ParseRange("bytes=" + *length + "-"); // the same strict decimal reading
            if (!range || length->empty())
                refusal = HttpAnswer::Text(400, "Bad Content-Length\n", "bad Content-Length");
            else if ((nLength = range->nFirst) > m_server.m_options.nMaxBodyBytes)
                refusal = HttpAnswer::Text(413, "Report too large\n", "body over the limit");
        }
        if (refusal.nStatus != 200) {
            refusal.bClose = true;
            return refusal;
        }
        if (request.nMinorVersion >= 1 && request.Header("expect") && m_strBuffer.size() < nLength) {
            static constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            SendAll(kContinue, sizeof(kContinue) - 1, 0);
        }
        while (m_strBuffer.size() < nLength) {
            if (Receive() != Fill::Data) {
                HttpAnswer answer =
                    HttpAnswer::Text(400, "Body shorter than announced\n",
                                     "body ended after " + std::to_string(m_strBuffer.size()) + " of " +
                                         std::to_string(nLength) + " bytes");
                answer.bClose = true;
                return answer;
            }
        }
        std::string strExtra;
        if (m_strBuffer.size() > nLength)
            strExtra = "; body longer than announced, " + std::to_string(m_strBuffer.size() - nLength) +
                       " bytes ignored";
        HttpAnswer answer = m_server.m_reports.Store(request.Header("content-type").value_or(""),
                                                     std::string_view(m_strBuffer).substr(0, nLength));
        answer.strNote += strExtra;
        answer.bClose = true;
        m_strBuffer.clear();
        return answer;
    }

    bool SendAll(const char* pData, size_t nSize, int nFlags)
    {
        while (nSize > 0) {
            ssize_t nSent = send(m_connection.hSocket, pData, nSize, MSG_NOSIGNAL | nFlags);
            if (nSent < 0 && errno == EINTR)
                continue;
            if (nSent <= 0)
                return false;
            pData += nSent;
            nSize -= static_cast<size_t>(nSent);
        }
        return true;
    }

    bool SendFile(int hFile, uint64_t nOffset, uint64_t nCount, uint64_t& nSentTotal)
    {
        auto offset = static_cast<off_t>(nOffset);
        while (nCount > 0) {
            size_t nChunk = static_cast<size_t>(std::min<uint64_t>(nCount, 1u << 30));
            ssize_t nSent = sendfile(m_connection.hSocket, hFile, &offset, nChunk);
            if (nSent < 0 && errno == EINTR)
                continue;
            if (nSent <= 0)
                return false; // the client left, stalled past the idle time, or the file shrank
            nCount -= static_cast<uint64_t>(nSent);
            nSentTotal += static_cast<uint64_t>(nSent);
        }
        return true;
    }

    // Turns a file answer into its status and range; the file stays open in hFile.
    void PrepareFile(const HttpRequest* pRequest, HttpAnswer& answer, int& hFile, uint64_t& nOffset,
                     uint64_t& nCount)
    {
        // A file replaced since it was looked up must still be a plain file: no link is followed
        // and a pipe or device never blocks the connection.
        hFile = open(answer.strFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        struct stat info
        {
        };
        if (hFile < 0 || fstat(hFile, &info) != 0 || !S_ISREG(info.st_mode)) {
            answer = HttpAnswer::Text(404, "Not found\n", "file cannot be opened");
            return;
        }
        auto nSize = static_cast<uint64_t>(info.st_size);
        nOffset = 0;
        nCount = nSize;
        answer.arrHeaders.emplace_back("Accept-Ranges", "bytes");
        auto rangeHeader = pRequest ? pRequest->Header("range") : std::nullopt;
        // An empty file has no satisfiable range; it is sent whole (empty) instead, so a client
        // resuming at 0 is not sent into a loop of 416 answers.
        if (!rangeHeader || nSize == 0)
            return;
        auto range = ParseRange(*rangeHeader);
        if (!range || range->nFirst >= nSize) {
            std::string strNote = range ? "range past the end" : "bad range";
            answer = HttpAnswer::Text(416, "Requested range not satisfiable\n", strNote);
            answer.arrHeaders.emplace_back("Content-Range", "bytes */" + std::to_string(nSize));
            return;
        }
        uint64_t nLast = std::min(range->nLast.value_or(nSize - 1), nSize - 1);
        nOffset = range->nFirst;
        nCount = nLast - nOffset + 1;
        answer.nStatus = 206;
        answer.arrHeaders.emplace_back("Content-Range", "bytes " + std::to_string(nOffset) + "-" +
                                                            std::to_string(nLast) + "/" +
                                                            std::to_string(nSize));
    }

    // Sends the answer and writes its log line; false when the connection failed.
    bool Finish(const std::string& strRequestLine, HttpAnswer& answer, const HttpRequest* pRequest)
    {
        int hFile = -1;
        uint64_t nOffset = 0;
        uint64_t nCount = answer.strBody.size();
        if (!answer.strFile.empty())
            PrepareFile(pRequest, answer, hFile, nOffset, nCount);
        bool bFile = hFile >= 0 && (answer.nStatus == 200 || answer.nStatus == 206);
        if (!bFile)
            nCount = answer.strBody.size();
        bool bHead = pRequest && pRequest->strMethod == "HEAD";

        std::string strHeader = "HTTP/1.1 " + std::to_string(answer.nStatus) + " " +
                                ReasonPhrase(answer.nStatus) +
                                "\r\nServer: brevanto-server\r\nContent-Type: " + answer.strContentType +
                                "\r\nContent-Length: " + std::to_string(nCount) + "\r\n";
        for (const auto& [strName, strValue] : answer.arrHeaders)
            strHeader += strName + ": " + strValue + "\r\n";
        strHeader += answer.bClose ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";

        uint64_t nSent = 0;
        bool bOk = false;
        if (bHead) {
            bOk = SendAll(strHeader.data(), strHeader.size(), 0);
        } else if (bFile) {
            bOk = SendAll(strHeader.data(), strHeader.size(), nCount ? MSG_MORE : 0) &&
                  SendFile(hFile, nOffset, nCount, nSent);
        } else {
            strHeader += answer.strBody; // one send: status, headers and a short body arrive together
            bOk = SendAll(strHeader.data(), strHeader.size(), 0);
            nSent = bOk ? answer.strBody.size() : 0;
        }
        if (hFile >= 0)
            close(hFile);
        std::string strNote = answer.strNote;
        if (!bOk)
            strNote += (strNote.empty() ? "" : "; ") + std::string("client gone mid-answer");
        m_server.m_log.Write(m_connection.strPeer, strRequestLine, answer.nStatus, nSent, strNote);
        return bOk;
    }

    HttpServer& m_server;
    Connection& m_connection;
    std::string m_strBuffer; // bytes received and not yet used
};

HttpServer::HttpServer(const Catalogue& catalogue, RequestLog& log, ErrorReportStore& reports,
                       ServerOptions options)
    : m_catalogue(catalogue), m_log(log), m_reports(reports), m_options(std::move(options))
{
}

HttpServer::~HttpServer()
{
    ReapFinished(true);
    if (m_hListen >= 0)
        close(m_hListen);
}

bool HttpServer::Listen(std::string& strError)
{
    std::string strHost = m_options.strListen;
    size_t nColon = strHost.rfind(':');
    if (nColon == std::string::npos) {
        strError = "--listen wants ADDR:PORT, got " + strHost;
        return false;
    }
    std::string strPort = strHost.substr(nColon + 1);
    strHost.resize(nColon);
    if (strHost.size() >= 2 && strHost.front() == '[' && strHost.back() == ']')
        strHost = strHost.substr(1, strHost.size() - 2);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* pList = nullptr;
    if (int nError =
            getaddrinfo(strHost.empty() ? nullptr : strHost.c_str(), strPort.c_str(), &hints, &pList)) {
        strError = "cannot resolve " + m_options.strListen + ": " + gai_strerror(nError);
        return false;
    }
    int hSocket = socket(pList->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int nOne = 1;
    bool bOk = hSocket >= 0 && setsockopt(hSocket, SOL_SOCKET, SO_REUSEADDR, &nOne, sizeof(nOne)) == 0 &&
               bind(hSocket, pList->ai_addr, pList->ai_addrlen) == 0 && listen(hSocket, 1024) == 0;
    freeaddrinfo(pList);
    if (!bOk) {
        strError = "cannot listen on " + m_options.strListen + ": " + std::strerror(errno);
        if (hSocket >= 0)
            close(hSocket);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t nLength = sizeof(bound);
    getsockname(hSocket, reinterpret_cast<sockaddr*>(&bound), &nLength);
    std::string strBound = PeerName(bound);
    m_nPort = static_cast<uint16_t>(std::stoi(strBound.substr(strBound.rfind(':') + 1)));
    m_hListen = hSocket;
    m_log.Note("listening on " + strBound);
    return true;
}

void HttpServer::Run(int hStopFd)
{
    pollfd entries[2] = {{m_hListen, POLLIN, 0}, {hStopFd, POLLIN, 0}};
    for (;;) {
        int nReady = poll(entries, 2, 500);
        if (nReady < 0 && errno != EINTR)
            break;
        if (entries[1].revents)
            break;
        if (entries[0].revents & POLLIN)
            Accept();
        ReapFinished(false);
    }
    close(m_hListen);
    m_hListen = -1;
    ReapFinished(true);
    m_log.Note("stopped");
}

void HttpServer::Accept()
{
    sockaddr_storage address{};
    socklen_t nLength = sizeof(address);
    int hSocket = accept4(m_hListen, reinterpret_cast<sockaddr*>(&address), &nLength, SOCK_CLOEXEC);
    if (hSocket < 0) {
        if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED)
            m_log.Note(std::string("accept failed: ") + std::strerror(errno));
        return;
    }
    // A client that stops reading is dropped after the idle time instead of holding a thread.
    timeval timeout{m_options.nIdleTimeoutMs / 1000, (m_options.nIdleTimeoutMs % 1000) * 1000};
    setsockopt(hSocket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    auto pConnection = std::make_unique<Connection>();
    pConnection->hSocket = hSocket;
    pConnection->strPeer = PeerName(address);
    Connection* pRaw = pConnection.get();
    try {
        pRaw->thread = std::thread([this, pRaw] {
            // A request that cannot be served (out of memory on a huge upload) ends its own
            // connection, never the server.
            try {
                Session(*this, *pRaw).Run();
            } catch (const std::exception& error) {
                m_log.Note(pRaw->strPeer + ": connection dropped: " + error.what());
            }
            // Only the owner thread closes the descriptor, after the join: a number closed here
            // could be reused by another open before Run's shutdown pass reaches it.
            shutdown(pRaw->hSocket, SHUT_RDWR);
            pRaw->bDone.store(true);
        });
    } catch (const std::system_error& error) {
        m_log.Write(pRaw->strPeer, "", 0, 0, std::string("no thread for the connection: ") + error.what());
        close(hSocket);
        return;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_arrConnections.push_back(std::move(pConnection));
}

void HttpServer::ReapFinished(bool bAll)
{
    std::list<std::unique_ptr<Connection>> arrFinished;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto it = m_arrConnections.begin(); it != m_arrConnections.end();) {
            auto next = std::next(it);
            if (bAll) {
                // Wakes a thread blocked in poll, recv or send on this connection.
                shutdown((*it)->hSocket, SHUT_RDWR);
            }
            if (bAll || (*it)->bDone.load())
                arrFinished.splice(arrFinished.end(), m_arrConnections, it);
            it = next;
        }
    }
    for (auto& pConnection : arrFinished) {
        if (pConnection->thread.joinable())
            pConnection->thread.join();
        close(pConnection->hSocket);
    }
}

} // namespace server
