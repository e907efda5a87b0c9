#pragma once

// A small HTTP/1.0 and HTTP/1.1 server over POSIX sockets with one thread per connection.
//
//   GET|HEAD /cgi-bin/launcher_data.pl?...   the launcher's queries (LauncherQuery.h)
//   GET|HEAD <a file of the catalogue>        the file, with "Range: bytes=N-" (206 or 416)
//   POST /cgi-bin/error_reporting.pl          an error report (ErrorReport.h)
//
// Targets may be in absolute form ("GET http://host/path"), as clients send them to a proxy;
// the host is ignored, so the server can stand in as the launcher's proxy. Every answer carries
// Content-Length. Files go out with sendfile.
//
// Bad input (a malformed head, a head over 16 KiB, a body over the limit or shorter than
// announced, a silent client) gets a 4xx answer where one can still be sent, or a closed
// connection, and always a log line.
//
// Thread rules: Listen and Run are called by one thread, the one that owns the server. Run
// starts a thread per connection; each touches only its own connection and the shared
// read-only catalogue, the log and the report store (both safe from any thread). The list of
// connections has one lock, held only to add, mark or take out entries.

#include "Catalogue.h"
#include "ErrorReport.h"
#include "HttpAnswer.h"
#include "HttpRequest.h"
#include "RequestLog.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace server {

struct ServerOptions
{
    std::string strListen = "127.0.0.1:18080"; // ADDR:PORT, IPv6 as [ADDR]:PORT; port 0 picks one
    int nIdleTimeoutMs = 30000;                // a connection silent for this long is closed
    uint64_t nMaxBodyBytes = 64ull * 1024 * 1024;
};

class HttpServer
{
public:
    HttpServer(const Catalogue& catalogue, RequestLog& log, ErrorReportStore& reports, ServerOptions options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and listens; false with a reason on failure.
    bool Listen(std::string& strError);
    // The port actually bound (after Listen).
    uint16_t GetPort() const { return m_nPort; }
    // Accepts connections until hStopFd becomes readable, then closes every connection and
    // waits for their threads.
    void Run(int hStopFd);

private:
    struct Connection
    {
        int hSocket = -1;
        std::string strPeer;
        std::thread thread;
        std::atomic<bool> bDone{false};
    };

    class Session;

    void Accept();
    void ReapFinished(bool bAll);

    const Catalogue& m_catalogue;
    RequestLog& m_log;
    ErrorReportStore& m_reports;
    ServerOptions m_options;
    int m_hListen = -1;
    uint16_t m_nPort = 0;
    std::mutex m_lock; // guards m_arrConnections
    std::list<std::unique_ptr<Connection>> m_arrConnections;
};

} // namespace server
