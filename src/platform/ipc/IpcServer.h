#pragma once

// The receiving end of window messages from other processes. A top-level window with a title
// listens on a Unix stream socket named after the title (GetIpcSocketPath); a sender connects,
// writes one request and reads back the handler's result, the way a synchronous send returns it.
//
// One thread serves every connection with poll(). A sender that is slow or says nothing holds up
// nobody: its connection waits beside the others and is dropped after kIpcReadTimeoutMs. Requests
// are handled one at a time, in the order they arrive complete. Bytes that are not a request
// (short, too long, wrong magic) are dropped with a line to the log callback, and the connection is
// closed without a reply; a sender that leaves before its reply costs nothing but a log line.
//
// The socket file is created with mode 0600 and removed when the server goes away. A socket file
// that nobody listens on (left by a crashed launcher) is replaced; a live one makes Start fail.
//
// Thread rules: Start may be called from any thread. The handler and the log callback run on the
// server's own thread, one call at a time. The destructor may run on any thread except the
// server's own (not from inside the handler); it waits for a handler call in progress, so the
// handler must not be waiting for the thread that destroys the server.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class Thread;

// How long a connection may take to deliver its request.
inline constexpr int kIpcReadTimeoutMs = 2000;

class IpcServer
{
public:
    using Handler = std::function<intptr_t(uint32_t nMessage, uintptr_t wParam, intptr_t lParam)>;
    using Log = std::function<void(const std::wstring& strLine)>;

    // Listens for the window titled strTitle. Returns null, with the reason in *pstrError, for an
    // empty title or handler, when a live server already has the title, when the socket path is
    // taken by something that is not a socket of ours, or when the socket or thread cannot be made.
    static std::unique_ptr<IpcServer> Start(const std::wstring& strTitle, Handler handler, Log log = nullptr,
                                            std::wstring* pstrError = nullptr);

    // Stops the thread and removes the socket file, unless another server has replaced it since.
    ~IpcServer();
    IpcServer(const IpcServer&) = delete;
    IpcServer& operator=(const IpcServer&) = delete;

    const std::wstring& GetSocketPath() const { return m_strPath; }

private:
    IpcServer(Handler handler, Log log, std::wstring strPath);

    void Serve();
    void Answer(int hSocket, const uint8_t* pRequest);
    void LogLine(const std::wstring& strLine) const;

    Handler m_handler;
    Log m_log;
    std::wstring m_strPath;
    int m_hListen = -1;
    int m_hWake = -1; // an eventfd: the destructor's signal to the thread
    uint64_t m_nDevice = 0;
    uint64_t m_nInode = 0; // the socket file we made, to recognise it at the end
    std::unique_ptr<Thread> m_pThread;
};

} // namespace platform
