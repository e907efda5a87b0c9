#pragma once

// Starting programs the way the launcher's callers expect of shell execution: a file, one
// parameter string, a working folder and a show mode.
//
// The parameter string is split into argv by the rules of the Windows command-line parser:
// spaces and tabs separate arguments outside double quotes; a double quote toggles grouping and
// is removed; backslashes are literal unless a double quote follows them, where 2n backslashes
// give n and the quote toggles grouping, and 2n+1 give n and a literal quote. Programs that read
// the string whole (installers take "/D=" to the end, spaces included) find it unchanged in the
// environment variable BREVANTO_PARAMETERS; BREVANTO_SHOW carries the show mode as hide, normal,
// minimized or maximized. The rest of the environment is inherited.
//
// A file name without a '/' is looked up in PATH. A relative path is taken from the caller's
// current folder, not from the working folder. Text is wide in the program and UTF-8 to the
// system.

#include "platform/thread/Thread.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class ShowMode
{
    Hide,
    Normal,
    Minimized,
    Maximized,
};

struct ProcessStartInfo
{
    std::wstring strFile;
    std::wstring strParameters;
    std::wstring strDirectory; // empty: the caller's current folder
    ShowMode nShow = ShowMode::Normal;
};

// A started child process.
//
// Thread rules: a Process is used by one thread at a time. Destroying it never blocks: a child
// that still runs is handed to a detached thread that reaps it when it ends, so no zombie stays.
class Process
{
public:
    // Starts the program. A regular file that is not executable is made executable first
    // (downloaded installers arrive without the bit). Returns null when the file is missing, the
    // working folder is missing, or the program cannot be executed.
    static std::unique_ptr<Process> Start(const ProcessStartInfo& info);

    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Waits up to nMilliseconds for the child to end; true when it has. A suspension point.
    bool Wait(uint32_t nMilliseconds = kInfinite);
    // The exit code once the child has ended; a child killed by signal N reports 128 + N.
    // False while it runs.
    bool GetExitCode(uint32_t& nCode);
    int GetPid() const { return m_nPid; }

private:
    Process(int nPid, int hPidFd);
    // Collects the child's status if it has ended; true when it has.
    bool Reap();
    // Blocks at most nMilliseconds or until the child ends, whichever comes first.
    void WaitSlice(uint32_t nMilliseconds);

    int m_nPid;
    int m_hPidFd; // -1 when the kernel has no pidfd_open
    bool m_bEnded = false;
    uint32_t m_nExitCode = 0;
};

// Starts a program without keeping a handle to it; it is reaped in the background.
bool ShellExecute(const ProcessStartInfo& info);

// Opens a URL with the desktop's handler (xdg-open), without waiting. False when xdg-open is
// not installed or the text cannot be a URL (empty, or starting with '-', which xdg-open would
// take as an option).
bool OpenUrl(const std::wstring& strUrl);

// Adds the execute bits (user, group, others) to a regular file's mode.
bool MakeExecutable(const std::wstring& strPath);

// The running process's command line as one string: its arguments (program first) from
// /proc/self/cmdline, joined by single spaces, an argument holding a space or nothing in quotes.
std::wstring GetCommandLine();

// The parameter string split into arguments by the rules above.
std::vector<std::wstring> SplitParameters(const std::wstring& strParameters);

} // namespace platform
