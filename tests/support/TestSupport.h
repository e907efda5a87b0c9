#pragma once

// Small fixtures shared by the test suites: a temporary folder that cleans up after itself,
// an environment variable set for one scope, and a child process run with its output captured.

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under $TMPDIR (or /tmp), removed with its contents when the object goes away.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string operator/(const std::string& strName) const { return m_strPath + "/" + strName; }

private:
    std::string m_strPath;
};

// Sets (or, with bUnset, removes) an environment variable and restores the old value on exit.
class ScopedEnv
{
public:
    ScopedEnv(const char* pszName, const std::string& strValue, bool bUnset = false);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_strName;
    std::string m_strOld;
    bool m_bHadOld = false;
};

struct RunResult
{
    int nExitCode = -1;
    std::string strOut;
    std::string strErr;
};

// Runs a program (argv[0] is its path) to completion, capturing stdout and stderr.
RunResult Run(const std::vector<std::string>& args);

// Path of a program built into build/bin.
std::string BinPath(const std::string& strName);

// Polls a condition until it holds, for at most nLimit: generous enough for a loaded machine
// under sanitizers. False when it never held.
bool WaitUntil(const std::function<bool()>& bCondition,
               std::chrono::milliseconds nLimit = std::chrono::milliseconds(10000));

// The file descriptors this process has open now.
std::set<int> OpenDescriptors();

std::string ReadFile(const std::string& strPath);
void WriteFile(const std::string& strPath, const std::string& strData);

} // namespace testing_support
