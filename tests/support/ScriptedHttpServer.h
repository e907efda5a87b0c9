#pragma once

// A web server for the network tests: a real listening socket on 127.0.0.1 (port 0, the real
// port reported) whose answers each test scripts, byte for byte, and which records every request
// it receives exactly as it arrived.
//
// Each connection reads one request (up to its empty line), takes the next scripted answer (or,
// when the script is used up, asks the handler; without one it closes at once) and sends it:
// all of it, or only its first nCloseAfter bytes, after an optional silence, and then closes
// the connection or holds it open without a word until the client goes away.
//
// Thread rules: the server answers on threads of its own; every method may be called from any
// thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct ScriptedAnswer
{
    std::string strBytes;                   // head and body, sent as they stand
    size_t nCloseAfter = std::string::npos; // send only this many bytes, then close
    uint32_t nSilenceMs = 0;                // wait this long before the first byte
    bool bHoldOpen = false;                 // after sending, keep the connection open and silent
    size_t nPauseAfter = std::string::npos; // pause once after this many bytes ...
    uint32_t nPauseMs = 0;                  // ... for this long (a head split over several reads)

    // "HTTP/1.0 200 OK" with a Content-Length and the body.
    static ScriptedAnswer Ok(const std::string& strBody);
    // "HTTP/1.0 206 Partial Content" with the bytes of strFile from nFirst on, as a range answer.
    static ScriptedAnswer Partial(const std::string& strFile, size_t nFirst);
    // "HTTP/1.0 302 Found" with "Location: " and the value.
    static ScriptedAnswer Redirect(const std::string& strLocation);
    // A status line with no headers but the end of the head.
    static ScriptedAnswer Status(const std::string& strCodeAndReason);
    // The same answer, cut after nBytes of its whole text.
    ScriptedAnswer CutAfter(size_t nBytes) const;
    // The same answer, held open and silent after nBytes of its whole text.
    ScriptedAnswer SilentAfter(size_t nBytes) const;
};

class ScriptedHttpServer
{
public:
    using Handler = std::function<ScriptedAnswer(const std::string& strRequest)>;

    ScriptedHttpServer();
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    bool IsListening() const { return m_hListen >= 0; }
    uint16_t GetPort() const { return m_nPort; }

    // Appends answers to the script: one per connection, in order.
    void Script(std::vector<ScriptedAnswer> arrAnswers);
    // Answers connections once the script is used up.
    void SetHandler(Handler handler);

    // Every request received so far, byte for byte, in arrival order.
    std::vector<std::string> Requests() const;
    size_t RequestCount() const;

    // The BREVANTO_CONNECT_TO entry that sends strHost:nPort here.
    std::string ConnectTo(const std::string& strHost = "www.brevanto.games", uint16_t nPort = 80) const;

    // A handler that serves files like the publisher's server: a launcher query for a game and
    // an action is redirected to "../files/<gameid>/<action>", and a request for that path is
    // answered with 206 from the requested offset (or 200 without a Range header). Unknown
    // files give 404. The map is keyed "gameid/action".
    static Handler ServeFiles(std::map<std::string, std::string> arrFiles);

private:
    void AcceptLoop();
    void Serve(int hClient);
    ScriptedAnswer NextAnswer(const std::string& strRequest);

    int m_hListen = -1;
    uint16_t m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_acceptThread;

    mutable std::mutex m_lock; // guards everything below
    std::vector<ScriptedAnswer> m_arrScript;
    size_t m_nNextAnswer = 0;
    Handler m_handler;
    std::vector<std::string> m_arrRequests;
    std::vector<std::thread> m_arrConnections;
};

// The value of a query key ("gameid", "action") in a request line, or "".
std::string QueryValue(const std::string& strRequest, const std::string& strKey);

} // namespace testing_support
