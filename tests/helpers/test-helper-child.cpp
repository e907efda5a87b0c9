// A child for the process tests, steered by its environment:
//   BREVANTO_TEST_CHILD_REPORT  file to write what it sees: its pid, working folder, show mode,
//                               parameter string, store path, command line as the layer
//                               rebuilds it, and arguments, one per line
//   BREVANTO_TEST_CHILD_SLEEP   milliseconds to sleep after writing the report
//   BREVANTO_TEST_CHILD_SIGNAL  a signal to kill itself with afterwards
//   BREVANTO_TEST_CHILD_EXIT    the exit code otherwise (0 when unset)
// The report appears whole (written aside, then renamed), so a test may poll for it.

#include "platform/process/Process.h"
#include "platform/text/Text.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

std::string Env(const char* pszName, const char* pszDefault = "")
{
    const char* pszValue = std::getenv(pszName);
    return pszValue ? pszValue : pszDefault;
}

void WriteReport(const std::string& strPath, int argc, char** argv)
{
    char szCwd[4096] = {};
    if (!getcwd(szCwd, sizeof szCwd))
        szCwd[0] = '\0';
    std::string strReport =
        "pid=" + std::to_string(getpid()) + "\ncwd=" + szCwd + "\nshow=" + Env("BREVANTO_SHOW", "(unset)") +
        "\nparameters=" + Env("BREVANTO_PARAMETERS", "(unset)") + "\nregistry=" + Env("BREVANTO_REGISTRY") +
        "\ncommandline=" + platform::ToUtf8(platform::GetCommandLine()) + "\n";
    for (int i = 1; i < argc; ++i)
        strReport += std::string("arg=") + argv[i] + "\n";

    std::string strTemp = strPath + ".part";
    FILE* pFile = std::fopen(strTemp.c_str(), "wb");
    if (!pFile)
        return;
    std::fwrite(strReport.data(), 1, strReport.size(), pFile);
    std::fclose(pFile);
    std::rename(strTemp.c_str(), strPath.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    std::string strReport = Env("BREVANTO_TEST_CHILD_REPORT");
    if (!strReport.empty())
        WriteReport(strReport, argc, argv);
    if (int nSleep = std::atoi(Env("BREVANTO_TEST_CHILD_SLEEP", "0").c_str()); nSleep > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(nSleep));
    if (int nSignal = std::atoi(Env("BREVANTO_TEST_CHILD_SIGNAL", "0").c_str()); nSignal > 0)
        raise(nSignal);
    return std::atoi(Env("BREVANTO_TEST_CHILD_EXIT", "0").c_str());
}
