#include "platform/process/Process.h"

#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A waiting worker checks for a pending suspension at least this often.
constexpr uint32_t kWaitSliceMs = 100;
// Without pidfd_open the child's end is found by polling, at this interval.
constexpr uint32_t kPollIntervalMs = 10;

const char* const kParametersVariable = "BREVANTO_PARAMETERS";
const char* const kShowVariable = "BREVANTO_SHOW";

const char* ShowModeName(ShowMode nShow)
{
    switch (nShow) {
    case ShowMode::Hide:
        return "hide";
    case ShowMode::Minimized:
        return "minimized";
    case ShowMode::Maximized:
        return "maximized";
    case ShowMode::Normal:
        break;
    }
    return "normal";
}

std::string CurrentFolder()
{
    std::string strFolder(4096, '\0');
    if (!getcwd(strFolder.data(), strFolder.size()))
        return std::string();
    strFolder.resize(std::strlen(strFolder.c_str()));
    return strFolder;
}

std::string AbsolutePath(const std::string& strPath)
{
    if (strPath.empty() || strPath.front() == '/')
        return strPath;
    return CurrentFolder() + "/" + strPath;
}

bool IsExecutableFile(const std::string& strPath)
{
    struct stat st
    {
    };
    return stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(strPath.c_str(), X_OK) == 0;
}

// An empty PATH entry means the current folder, as for the shell.
std::string FindInPath(const std::string& strName)
{
    const char* pszPath = std::getenv("PATH");
    std::string strPathList = pszPath ? pszPath : "/usr/local/bin:/usr/bin:/bin";
    size_t nStart = 0;
    while (nStart <= strPathList.size()) {
        size_t nEnd = std::min(strPathList.find(':', nStart), strPathList.size());
        std::string strFolder = strPathList.substr(nStart, nEnd - nStart);
        std::string strCandidate = AbsolutePath((strFolder.empty() ? "." : strFolder) + "/" + strName);
        if (IsExecutableFile(strCandidate))
            return strCandidate;
        nStart = nEnd + 1;
    }
    return std::string();
}

// The program's absolute path; empty when there is nothing to run.
std::string ResolveProgram(const std::wstring& strFile)
{
    std::string strPath = ToUtf8(strFile);
    if (strPath.find('/') == std::string::npos)
        return strPath.empty() ? strPath : FindInPath(strPath);
    return AbsolutePath(strPath);
}

std::vector<std::string> BuildEnvironment(const std::string& strParameters, ShowMode nShow)
{
    std::vector<std::string> env;
    const std::string strParametersPrefix = std::string(kParametersVariable) + "=";
    const std::string strShowPrefix = std::string(kShowVariable) + "=";
    for (char** ppEntry = environ; ppEntry && *ppEntry; ++ppEntry) {
        std::string_view entry(*ppEntry);
        if (!entry.starts_with(strParametersPrefix) && !entry.starts_with(strShowPrefix))
            env.emplace_back(entry);
    }
    env.push_back(strParametersPrefix + strParameters);
    env.push_back(strShowPrefix + ShowModeName(nShow));
    return env;
}

std::vector<char*> ToPointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& str : strings)
        pointers.push_back(str.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The child starts with no blocked signals and default dispositions: whatever the launcher
// blocks or ignores for itself (termination requests, SIGPIPE) must not carry over into a game.
void ResetSignalsInChild(posix_spawnattr_t& attr)
{
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

// Returns the child's pid, or -1 when it could not be started (posix_spawn reports a failed exec
// and reaps that child itself).
pid_t Spawn(const std::string& strPath, std::vector<std::string> args, const std::string& strDirectory,
            std::vector<std::string> env)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!strDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, strDirectory.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    ResetSignalsInChild(attr);

    std::vector<char*> argv = ToPointers(args);
    std::vector<char*> envp = ToPointers(env);
    pid_t nPid = -1;
    int nRc = posix_spawn(&nPid, strPath.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return nRc == 0 ? nPid : -1;
}

int OpenPidFd(pid_t nPid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, nPid, 0));
}

pid_t WaitPid(pid_t nPid, int& nStatus, int nOptions)
{
    pid_t nRc;
    do {
        nRc = waitpid(nPid, &nStatus, nOptions);
    } while (nRc < 0 && errno == EINTR);
    return nRc;
}

// Waits for the child on a thread of its own, so that it does not stay a zombie. Should no
// thread be available the zombie remains until the launcher exits; nothing else is affected.
void ReapInBackground(pid_t nPid)
{
    Thread::Create([nPid] {
        int nStatus = 0;
        WaitPid(nPid, nStatus, 0);
        return 0u;
    });
}

// Appends the run of backslashes at s[i] to strArg and consumes a double quote after it;
// returns the index after the run (and the quote). bQuoted flips when the quote groups.
size_t TakeBackslashes(const std::wstring& s, size_t i, std::wstring& strArg, bool& bQuoted)
{
    size_t nEnd = s.find_first_not_of(L'\\', i);
    if (nEnd == std::wstring::npos)
        nEnd = s.size();
    size_t nCount = nEnd - i;
    if (nEnd == s.size() || s[nEnd] != L'"') {
        strArg.append(nCount, L'\\');
        return nEnd;
    }
    strArg.append(nCount / 2, L'\\');
    if (nCount % 2 == 1)
        strArg += L'"';
    else
        bQuoted = !bQuoted;
    return nEnd + 1;
}

} // namespace

std::vector<std::wstring> SplitParameters(const std::wstring& strParameters)
{
    std::vector<std::wstring> args;
    std::wstring strArg;
    bool bInArg = false; // "" makes an argument of its own, even though it adds no character
    bool bQuoted = false;
    size_t i = 0;
    while (i < strParameters.size()) {
        wchar_t ch = strParameters[i];
        if ((ch == L' ' || ch == L'\t') && !bQuoted) {
            if (bInArg)
                args.push_back(std::move(strArg));
            strArg.clear();
            bInArg = false;
            ++i;
            continue;
        }
        bInArg = true;
        if (ch == L'\\') {
            i = TakeBackslashes(strParameters, i, strArg, bQuoted);
        } else {
            if (ch == L'"')
                bQuoted = !bQuoted;
            else
                strArg += ch;
            ++i;
        }
    }
    if (bInArg)
        args.push_back(std::move(strArg));
    return args;
}

bool MakeExecutable(const std::wstring& strPath)
{
    std::string strNative = ToUtf8(strPath);
    struct stat st
    {
    };
    if (stat(strNative.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return chmod(strNative.c_str(), (st.st_mode & 07777) | S_IXUSR | S_IXGRP | S_IXOTH) == 0;
}

Process::Process(int nPid, int hPidFd) : m_nPid(nPid), m_hPidFd(hPidFd) {}

std::unique_ptr<Process> Process::Start(const ProcessStartInfo& info)
{
    std::string strPath = ResolveProgram(info.strFile);
    struct stat st
    {
    };
    if (strPath.empty() || stat(strPath.c_str(), &st) != 0)
        return nullptr;
    if (S_ISREG(st.st_mode) && access(strPath.c_str(), X_OK) != 0)
        MakeExecutable(FromUtf8(strPath)); // on failure the spawn below reports it

    std::string strParameters = ToUtf8(info.strParameters);
    std::vector<std::string> args{strPath};
    for (const std::wstring& strArg : SplitParameters(info.strParameters))
        args.push_back(ToUtf8(strArg));
    pid_t nPid = Spawn(strPath, std::move(args), ToUtf8(info.strDirectory),
                       BuildEnvironment(strParameters, info.nShow));
    if (nPid < 0)
        return nullptr;
    return std::unique_ptr<Process>(new Process(nPid, OpenPidFd(nPid)));
}

Process::~Process()
{
    if (!m_bEnded && !Reap())
        ReapInBackground(m_nPid);
    if (m_hPidFd >= 0)
        close(m_hPidFd);
}

bool Process::Reap()
{
    if (m_bEnded)
        return true;
    int nStatus = 0;
    pid_t nRc = WaitPid(m_nPid, nStatus, WNOHANG);
    if (nRc == 0)
        return false;
    m_bEnded = true;
    if (nRc < 0) // reaped behind our back (SIGCHLD ignored): the code is lost
        m_nExitCode = 0;
    else if (WIFSIGNALED(nStatus))
        m_nExitCode = 128 + static_cast<uint32_t>(WTERMSIG(nStatus));
    else
        m_nExitCode = static_cast<uint32_t>(WEXITSTATUS(nStatus));
    return true;
}

void Process::WaitSlice(uint32_t nMilliseconds)
{
    if (m_hPidFd < 0) {
        Sleep(std::min(nMilliseconds, kPollIntervalMs));
        return;
    }
    pollfd pfd{m_hPidFd, POLLIN, 0};
    poll(&pfd, 1, static_cast<int>(nMilliseconds)); // an interrupted poll just ends the slice early
}

bool Process::Wait(uint32_t nMilliseconds)
{
    std::optional<Clock::time_point> deadline;
    if (nMilliseconds != kInfinite)
        deadline = Clock::now() + std::chrono::milliseconds(nMilliseconds);
    for (;;) {
        SuspensionPoint();
        if (Reap())
            return true;
        uint32_t nSlice = kWaitSliceMs;
        if (deadline) {
            auto remaining = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            if (remaining.count() <= 0)
                return false;
            nSlice = std::min(nSlice, static_cast<uint32_t>(remaining.count()));
        }
        WaitSlice(nSlice);
    }
}

bool Process::GetExitCode(uint32_t& nCode)
{
    if (!Reap())
        return false;
    nCode = m_nExitCode;
    return true;
}

bool ShellExecute(const ProcessStartInfo& info)
{
    return Process::Start(info) != nullptr;
}

bool OpenUrl(const std::wstring& strUrl)
{
    if (strUrl.empty() || strUrl.front() == L'-')
        return false;
    std::string strOpener = FindInPath("xdg-open");
    if (strOpener.empty())
        return false;
    std::string strUrlUtf8 = ToUtf8(strUrl);
    pid_t nPid = Spawn(strOpener, {strOpener, strUrlUtf8}, std::string(),
                       BuildEnvironment(strUrlUtf8, ShowMode::Normal));
    if (nPid < 0)
        return false;
    ReapInBackground(nPid);
    return true;
}

std::wstring GetCommandLine()
{
    auto data = ReadFileBytes(L"/proc/self/cmdline", 1 << 20);
    if (!data)
        return {};
    std::wstring strLine;
    size_t nStart = 0;
    while (nStart < data->size()) {
        size_t nEnd = data->find('\0', nStart);
        if (nEnd == std::string::npos)
            nEnd = data->size();
        std::wstring strArg = FromUtf8(std::string_view(*data).substr(nStart, nEnd - nStart));
        if (!strLine.empty())
            strLine += L' ';
        if (strArg.empty() || strArg.find(L' ') != std::wstring::npos)
            strLine += L'"' + strArg + L'"';
        else
            strLine += strArg;
        nStart = nEnd + 1;
    }
    return strLine;
}

} // namespace platform
