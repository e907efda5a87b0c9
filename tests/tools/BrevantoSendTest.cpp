// Suite: threaded
#include "platform/ipc/IpcServer.h"
#include "platform/text/Text.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

using platform::IpcServer;
using testing_support::RunResult;

namespace {

struct Call
{
    uint32_t nMessage = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;

    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& call)
{
    return out << "{0x" << std::hex << call.nMessage << std::dec << ", " << call.wParam << ", " << call.lParam
               << "}";
}

// A window's server in this process that records what arrives and answers wParam * 2 + lParam;
// the real tool runs against it.
class Window
{
public:
    explicit Window(const std::wstring& strTitle)
    {
        m_server = IpcServer::Start(strTitle, [this](uint32_t nMessage, uintptr_t wParam, intptr_t lParam) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_arrCalls.push_back({nMessage, wParam, lParam});
            return static_cast<intptr_t>(wParam * 2 + static_cast<uintptr_t>(lParam));
        });
    }

    bool IsRunning() const { return m_server != nullptr; }

    std::vector<Call> Calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrCalls;
    }

private:
    std::mutex m_mutex;
    std::vector<Call> m_arrCalls;
    std::unique_ptr<IpcServer> m_server; // last: it goes first, before what its handler uses
};

class BrevantoSendTest : public ::testing::Test
{
protected:
    static RunResult Send(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {testing_support::BinPath("brevanto-send")};
        argv.insert(argv.end(), args.begin(), args.end());
        return testing_support::Run(argv);
    }

    testing_support::TempDir m_dir;
    testing_support::ScopedEnv m_env{"XDG_RUNTIME_DIR", m_dir.Path()};
};

// exit 1 and exactly one line on stderr that mentions the fragment.
void ExpectOneLineError(const RunResult& result, const std::string& strFragment)
{
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_EQ(result.strOut, "");
    ASSERT_FALSE(result.strErr.empty());
    EXPECT_EQ(result.strErr.find('\n'), result.strErr.size() - 1) << result.strErr;
    EXPECT_NE(result.strErr.find(strFragment), std::string::npos) << result.strErr;
}

} // namespace

TEST_F(BrevantoSendTest, MessagesReachTheWindowWithExactValuesAndTheResultIsPrinted)
{
    struct Case
    {
        std::vector<std::string> args;
        Call expected;
        const char* pszOut;
    };
    const Case arrCases[] = {
        {{"WM_CLOSE", "0"}, {0x10, 0, 0}, "0\n"},
        {{"0x4C8", "12"}, {0x4C8, 12, 0}, "24\n"},
        {{"wm_user+200", "0x10", "-40"}, {0x4C8, 16, -40}, "-8\n"},
        {{"WM_APP+0x10", "0", "0x7FFFFFFFFFFFFFFF"}, {0x8010, 0, INTPTR_MAX}, "9223372036854775807\n"},
        {{"1224", "7", "0xFFFFFFFFFFFFFFFF"}, {0x4C8, 7, -1}, "13\n"},
        {{"WM_COMMAND", "18446744073709551615", "-9223372036854775808"},
         {0x111, UINTPTR_MAX, INTPTR_MIN},
         "9223372036854775806\n"},
        {{"WM_NULL", "0", "--", "-5"}, {0, 0, -5}, "-5\n"}, // "--" ends the options
    };
    Window window(L"Brevanto Games");
    ASSERT_TRUE(window.IsRunning());
    std::vector<Call> arrExpected;
    for (const Case& c : arrCases) {
        SCOPED_TRACE(c.args[0]);
        RunResult result = Send(c.args);
        EXPECT_EQ(result.nExitCode, 0) << result.strErr;
        EXPECT_EQ(result.strOut, c.pszOut);
        EXPECT_EQ(result.strErr, "");
        arrExpected.push_back(c.expected);
        EXPECT_EQ(window.Calls(), arrExpected);
    }
}

TEST_F(BrevantoSendTest, TitleChoosesTheWindow)
{
    Window main(L"Brevanto Games");
    Window other(L"Другое окно");
    ASSERT_TRUE(main.IsRunning() && other.IsRunning());

    EXPECT_EQ(Send({"--title", "Другое окно", "WM_USER", "1"}).strOut, "2\n");
    EXPECT_EQ(Send({"--title=Другое окно", "WM_USER", "2"}).strOut, "4\n");
    EXPECT_EQ(Send({"WM_USER", "3"}).strOut, "6\n");

    EXPECT_EQ(other.Calls(), (std::vector<Call>{{0x400, 1, 0}, {0x400, 2, 0}}));
    EXPECT_EQ(main.Calls(), (std::vector<Call>{{0x400, 3, 0}}));
}

TEST_F(BrevantoSendTest, NoSuchWindowFailsWithAMessage)
{
    ExpectOneLineError(Send({"WM_CLOSE", "0"}), "no window titled \"Brevanto Games\" is running");
    ExpectOneLineError(Send({"--title", "Elsewhere", "WM_CLOSE", "0"}), "no window titled \"Elsewhere\"");
}

// Nothing is sent when the arguments are wrong, even with a window running.
TEST_F(BrevantoSendTest, BadArgumentsFailWithAMessageAndSendNothing)
{
    struct Case
    {
        std::vector<std::string> args;
        const char* pszError;
    };
    const Case arrCases[] = {
        {{}, "expected MESSAGE WPARAM [LPARAM]"},
        {{"WM_CLOSE"}, "expected MESSAGE WPARAM [LPARAM]"},
        {{"16", "0", "1", "2"}, "expected MESSAGE WPARAM [LPARAM]"},
        {{"WM_BOGUS", "0"}, "MESSAGE \"WM_BOGUS\""},
        {{"WM_USER+", "0"}, "MESSAGE \"WM_USER+\""},
        {{"0x100000000", "0"}, "MESSAGE \"0x100000000\""},
        {{"-1", "0"}, "MESSAGE \"-1\""},
        {{"16", "-1"}, "WPARAM \"-1\""},
        {{"16", "12abc"}, "WPARAM \"12abc\""},
        {{"16", "0x"}, "WPARAM \"0x\""},
        {{"16", "18446744073709551616"}, "WPARAM \"18446744073709551616\""},
        {{"16", "0", "9223372036854775808"}, "LPARAM \"9223372036854775808\""},
        {{"16", "0", "-9223372036854775809"}, "LPARAM \"-9223372036854775809\""},
        {{"16", "0", "0x10000000000000000"}, "LPARAM \"0x10000000000000000\""},
        {{"--title"}, "--title needs a window title"},
        {{"--title", "", "16", "0"}, "the window title is empty"},
        {{"--title", "\xff\xfe", "16", "0"}, "not valid UTF-8"},
        {{"--frob", "16", "0"}, "unknown option \"--frob\""},
    };
    Window window(L"Brevanto Games");
    ASSERT_TRUE(window.IsRunning());
    for (const Case& c : arrCases) {
        SCOPED_TRACE(c.pszError);
        ExpectOneLineError(Send(c.args), c.pszError);
    }
    EXPECT_TRUE(window.Calls().empty());
}

TEST_F(BrevantoSendTest, HelpDescribesTheUsageAndExitStatus)
{
    RunResult result = Send({"--help"});
    EXPECT_EQ(result.nExitCode, 0);
    EXPECT_NE(result.strOut.find("Usage: brevanto-send [--title TEXT] MESSAGE WPARAM [LPARAM]"),
              std::string::npos);
    EXPECT_NE(result.strOut.find("Exit status"), std::string::npos);
    EXPECT_EQ(result.strErr, "");
}
