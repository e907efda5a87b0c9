#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_support {

TempDir::TempDir()
{
    const char* pszBase = std::getenv("TMPDIR");
    std::string strTemplate = std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/brevanto-test-XXXXXX";
    std::vector<char> buf(strTemplate.begin(), strTemplate.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()))
        m_strPath = buf.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!m_strPath.empty())
        std::filesystem::remove_all(m_strPath, ec);
}

ScopedEnv::ScopedEnv(const char* pszName, const std::string& strValue, bool bUnset) : m_strName(pszName)
{
    if (const char* pszOld = std::getenv(pszName)) {
        m_bHadOld = true;
        m_strOld = pszOld;
    }
    if (bUnset)
        unsetenv(pszName);
    else
        setenv(pszName, strValue.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (m_bHadOld)
        setenv(m_strName.c_str(), m_strOld.c_str(), 1);
    else
        unsetenv(m_strName.c_str());
}

bool WaitUntil(const std::function<bool()>& bCondition, std::chrono::milliseconds nLimit)
{
    auto deadline = std::chrono::steady_clock::now() + nLimit;
    while (!bCondition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::set<int> OpenDescriptors()
{
    std::set<int> arrFds;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec))
        arrFds.insert(std::stoi(entry.path().filename().string()));
    return arrFds;
}

std::string ReadFile(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& strPath, const std::string& strData)
{
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out << strData;
}

std::string BinPath(const std::string& strName)
{
    return std::string(BREVANTO_BIN_DIR) + "/" + strName;
}

RunResult Run(const std::vector<std::string>& args)
{
    RunResult result;
    TempDir dir;
    std::string strOut = dir / "stdout";
    std::string strErr = dir / "stderr";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    int nRc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nRc != 0)
        return result;

    int nStatus = 0;
    while (waitpid(pid, &nStatus, 0) < 0) {
    }
    result.nExitCode = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
    result.strOut = ReadFile(strOut);
    result.strErr = ReadFile(strErr);
    return result;
}

} // namespace testing_support
