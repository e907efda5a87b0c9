#pragma once

// The program's log writer: appends wide text, as UTF-8, to one file.
//
// A session reads: framing line, "BEGIN SESSION: ..." line, the logged pieces, "END SESSION: ..."
// line, framing line. With the no-banner flag (the report log) only the pieces are written.
// A file over 100000 bytes is started afresh, at Open and before any write.
//
// Thread rules: Open and Close run on one thread (the main thread), Open before any other
// thread writes. Write and WriteInt may be called from any thread at any time; each call holds
// the writer's lock from the size test to the flush, so pieces never interleave inside one call
// (a chain of calls is not atomic). Close takes the same lock, so the footer never interleaves
// with a write, and every write after Close does nothing.

#include "platform/thread/Thread.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

class CGP_LogFile
{
public:
    static constexpr long kMaxSize = 100000;

    // Takes the version text of the running executable; opens nothing.
    CGP_LogFile(const std::wstring& strPath, bool bNoBanner);
    // The same with a version text of the caller's (none: the short header and footer).
    CGP_LogFile(const std::wstring& strPath, bool bNoBanner, std::optional<std::wstring> strVersion);
    virtual ~CGP_LogFile();

    CGP_LogFile(const CGP_LogFile&) = delete;
    CGP_LogFile& operator=(const CGP_LogFile&) = delete;

    // Opens (or creates, or starts afresh when over the limit) the file and writes the session
    // header. A file that cannot be opened leaves the writer inert: the program runs on.
    void Open();

    // Appends the text unchanged; a null text writes nothing. Returns the writer, so calls chain.
    CGP_LogFile* Write(const wchar_t* pszText);
    CGP_LogFile* Write(const std::wstring& strText) { return Write(strText.c_str()); }
    // Appends the integer in decimal.
    CGP_LogFile* WriteInt(int32_t nValue);

    // Writes the session footer and closes the file. Later writes do nothing.
    void Close();

    const std::wstring& GetPath() const { return m_strPath; }

private:
    // Everything past the lock: the size rule, then Put.
    void WriteLocked(const std::string& strPiece);
    // The piece and its flush; the header and footer go straight here, past the size rule.
    void Put(const std::string& strPiece);
    // "BEGIN SESSION: " or "END SESSION: ", the version when there is one, the date and time.
    void WriteFraming(const char* pszWhat);

    const bool m_bNoBanner;
    platform::Mutex m_lock;
    FILE* m_pFile = nullptr;
    bool m_bOpened = false;
    bool m_bClosed = false;
    const std::wstring m_strPath;
    const std::optional<std::wstring> m_strVersion;
};

// The local date in the user's short date format, three spaces, then the local time in the
// user's time format, with or without seconds.
std::wstring GetDateTimeString(bool bWithSeconds);

// The version of the running executable as "major.minor.build.revision", if it has one.
std::optional<std::wstring> GetOwnVersionText();

// The process-wide session log. Before it is set and after it is cleared this returns an inert
// writer, so a worker may log at any time through
//     SessionLog()->Write(L"LoadSettings")->Write(L"\r\n");
// The returned pointer keeps the writer alive for the whole chain. Safe from any thread.
std::shared_ptr<CGP_LogFile> SessionLog();
void SetSessionLog(std::shared_ptr<CGP_LogFile> pLog);
