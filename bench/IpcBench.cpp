// A window message from another process: SendIpcMessage to a server in this process whose handler
// returns at once (the cost of the exchange itself), and the real brevanto-send started as a
// child process against the same server (what an installer or the browser helper pays).
#include "platform/fs/FileSystem.h"
#include "platform/ipc/IpcClient.h"
#include "platform/ipc/IpcServer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const std::wstring kTitle = L"Brevanto Games";

// A runtime folder of its own and a window listening in it, removed at the end.
class BenchWindow
{
public:
    BenchWindow()
    {
        char szTemplate[] = "/tmp/brevanto-bench-XXXXXX";
        if (!mkdtemp(szTemplate))
            return;
        m_strDir = szTemplate;
        setenv("XDG_RUNTIME_DIR", m_strDir.c_str(), 1);
        m_server = platform::IpcServer::Start(kTitle, [](uint32_t nMessage, uintptr_t wParam, intptr_t) {
            return static_cast<intptr_t>(nMessage + wParam);
        });
    }
    ~BenchWindow()
    {
        m_server.reset();
        std::error_code ec;
        if (!m_strDir.empty())
            std::filesystem::remove_all(m_strDir, ec);
    }
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    bool IsReady() const { return m_server != nullptr; }

private:
    std::string m_strDir;
    std::unique_ptr<platform::IpcServer> m_server;
};

} // namespace

static void BM_SendIpcMessageInProcess(benchmark::State& state)
{
    BenchWindow window;
    if (!window.IsReady()) {
        state.SkipWithError("no server");
        return;
    }
    uintptr_t wParam = 0;
    for (auto _ : state) {
        std::optional<intptr_t> result = platform::SendIpcMessage(kTitle, 0x4C8, ++wParam, 0);
        if (!result || *result != static_cast<intptr_t>(0x4C8 + wParam)) {
            state.SkipWithError("wrong answer");
            break;
        }
    }
}
BENCHMARK(BM_SendIpcMessageInProcess)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Starts argv[0] with output discarded and waits for it; true when it exits with 0.
static bool RunToEnd(const std::vector<std::string>& arrArgs)
{
    std::vector<char*> argv;
    for (const std::string& strArg : arrArgs)
        argv.push_back(const_cast<char*>(strArg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int nStatus = 0;
    bool bStarted = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return bStarted && waitpid(pid, &nStatus, 0) == pid && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}

// Process start, argument parsing, the exchange and the exit, as a caller of the tool sees it.
static void BM_BrevantoSendProcess(benchmark::State& state)
{
    BenchWindow window;
    std::string strTool =
        platform::ToNativePath(platform::GetFolderOf(platform::GetModuleFileName())) + "/brevanto-send";
    if (!window.IsReady() || access(strTool.c_str(), X_OK) != 0) {
        state.SkipWithError("no server or no brevanto-send beside this program");
        return;
    }
    for (auto _ : state) {
        if (!RunToEnd({strTool, "0x4C8", "12"})) {
            state.SkipWithError("brevanto-send failed");
            break;
        }
    }
}
BENCHMARK(BM_BrevantoSendProcess)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// What starting any program costs on this machine, to read the figure above against.
static void BM_ProcessStartBaseline(benchmark::State& state)
{
    for (auto _ : state) {
        if (!RunToEnd({"/bin/true"})) {
            state.SkipWithError("/bin/true failed");
            break;
        }
    }
}
BENCHMARK(BM_ProcessStartBaseline)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
