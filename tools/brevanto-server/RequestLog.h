#pragma once

// The server's request log: one line per request (or per rejected connection), with the time,
// the peer, the request line, the status, the bytes of the body sent and an optional note.
//
// Thread rules: Write is safe from any thread; a small lock keeps lines whole.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace server {

class RequestLog
{
public:
    // Appends to strPath, or writes to stderr when it is empty. False when the file cannot be
    // opened.
    bool Open(const std::string& strPath);
    ~RequestLog();

    void Write(const std::string& strPeer, const std::string& strRequestLine, int nStatus, uint64_t nBytes,
               const std::string& strNote = {});
    // A line that belongs to no request (start, stop, catalogue problems).
    void Note(const std::string& strText);

private:
    void Emit(const std::string& strLine);

    std::mutex m_lock;
    std::FILE* m_pFile = nullptr;
    bool m_bOwned = false;
};

} // namespace server
