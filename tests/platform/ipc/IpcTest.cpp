// Suite: threaded
#include "platform/ipc/IpcClient.h"
#include "platform/ipc/IpcProtocol.h"
#include "platform/ipc/IpcServer.h"
#include "platform/text/Text.h"
#include "platform/thread/Thread.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using platform::IpcServer;
using platform::SendIpcMessage;
using platform::ToUtf8;

using testing_support::OpenDescriptors;

namespace {

const std::wstring kTitle = L"Brevanto Games";
constexpr auto kPatience = std::chrono::seconds(10); // how long a test waits for something to happen

struct Call
{
    uint32_t nMessage = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    std::thread::id thread;
};

intptr_t Expected(uintptr_t wParam, intptr_t lParam)
{
    return static_cast<intptr_t>(wParam * 2 + static_cast<uintptr_t>(lParam)); // wraps like the handler
}

// What a server's handler and log saw, read safely from the test thread. The handler answers
// wParam * 2 + lParam; with a gate closed it waits at the gate first.
class Recorder
{
public:
    IpcServer::Handler Handler()
    {
        return [this](uint32_t nMessage, uintptr_t wParam, intptr_t lParam) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_arrCalls.push_back({nMessage, wParam, lParam, std::this_thread::get_id()});
            }
            m_entered.Set();
            m_gate.Wait(platform::kInfinite);
            return Expected(wParam, lParam);
        };
    }

    IpcServer::Log Log()
    {
        return [this](const std::wstring& strLine) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_arrLines.push_back(strLine);
        };
    }

    std::vector<Call> Calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrCalls;
    }

    std::string Lines()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string strAll;
        for (const std::wstring& strLine : m_arrLines)
            strAll += ToUtf8(strLine) + "\n";
        return strAll;
    }

    bool WaitForLine(const std::string& strFragment)
    {
        auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (Lines().find(strFragment) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    platform::Event m_gate{true, true};
    platform::Event m_entered{false, false};

private:
    std::mutex m_mutex;
    std::vector<Call> m_arrCalls;
    std::vector<std::wstring> m_arrLines;
};

// Every test gets a runtime folder of its own.
class IpcTest : public ::testing::Test
{
protected:
    std::unique_ptr<IpcServer> StartServer(const std::wstring& strTitle = kTitle)
    {
        std::wstring strError;
        auto server = IpcServer::Start(strTitle, m_recorder.Handler(), m_recorder.Log(), &strError);
        EXPECT_TRUE(server) << ToUtf8(strError);
        return server;
    }

    testing_support::TempDir m_dir;
    testing_support::ScopedEnv m_env{"XDG_RUNTIME_DIR", m_dir.Path()};
    Recorder m_recorder;
};

std::string SocketPath(const std::wstring& strTitle = kTitle)
{
    return ToUtf8(platform::GetIpcSocketPath(strTitle));
}

void PutLe(std::string& strBytes, uint64_t nValue, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        strBytes.push_back(static_cast<char>(nValue >> (8 * i)));
}

// A request written out by hand, so the tests pin the bytes on the wire independently of the
// code that encodes them.
std::string RequestBytes(uint32_t nMessage, uint64_t wParam, int64_t lParam, uint32_t nVersion = 1,
                         uint32_t nMagic = 0x4D565242, uint32_t nReserved = 0)
{
    std::string strBytes;
    PutLe(strBytes, nMagic, 4);
    PutLe(strBytes, nVersion, 4);
    PutLe(strBytes, nMessage, 4);
    PutLe(strBytes, nReserved, 4);
    PutLe(strBytes, wParam, 8);
    PutLe(strBytes, static_cast<uint64_t>(lParam), 8);
    return strBytes;
}

std::string ReplyBytes(uint32_t nStatus, int64_t nResult, uint32_t nVersion = 1)
{
    std::string strBytes;
    PutLe(strBytes, 0x4D565242, 4);
    PutLe(strBytes, nVersion, 4);
    PutLe(strBytes, nStatus, 4);
    PutLe(strBytes, 0, 4);
    PutLe(strBytes, static_cast<uint64_t>(nResult), 8);
    return strBytes;
}

// A connection made by hand, for what a well-behaved sender never does.
class RawConnection
{
public:
    explicit RawConnection(const std::string& strPath)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, strPath.c_str(), sizeof(address.sun_path) - 1);
        m_hSocket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            close(m_hSocket);
            m_hSocket = -1;
        }
    }
    ~RawConnection() { Close(); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool IsOpen() const { return m_hSocket >= 0; }

    bool Send(const std::string& strBytes)
    {
        return send(m_hSocket, strBytes.data(), strBytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(strBytes.size());
    }

    void ShutdownWrite() { shutdown(m_hSocket, SHUT_WR); }

    // Everything the server sends until it closes the connection; nullopt when it stays open.
    std::optional<std::string> ReadUntilClosed()
    {
        std::string strReceived;
        auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{m_hSocket, POLLIN, 0};
            if (poll(&pfd, 1, 100) <= 0)
                continue;
            char buf[256];
            ssize_t n = recv(m_hSocket, buf, sizeof(buf), 0);
            if (n > 0)
                strReceived.append(buf, static_cast<size_t>(n));
            else if (n == 0 || errno == ECONNRESET)
                return strReceived;
        }
        return std::nullopt;
    }

    void Close()
    {
        if (m_hSocket >= 0)
            close(m_hSocket);
        m_hSocket = -1;
    }

private:
    int m_hSocket = -1;
};

// A socket file that nobody listens on, as a crashed launcher leaves it.
void MakeStaleSocket(const std::string& strPath)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, strPath.c_str(), sizeof(address.sun_path) - 1);
    int hSocket = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    close(hSocket);
    struct stat st
    {
    };
    ASSERT_EQ(lstat(strPath.c_str(), &st), 0);
    ASSERT_TRUE(S_ISSOCK(st.st_mode));
}

} // namespace

TEST_F(IpcTest, RoundTripCarriesExactValuesAndRunsTheHandlerOnTheServerThread)
{
    struct Case
    {
        uint32_t nMessage;
        uintptr_t wParam;
        intptr_t lParam;
    };
    const Case arrCases[] = {
        {0x0010, 0, 0},
        {0x04C8, 12, 0},
        {0x8001, 7, -40},
        {0xFFFFFFFF, UINTPTR_MAX, INTPTR_MIN},
        {0x0111, 0x0123456789ABCDEF, INTPTR_MAX},
        {0x0400, 0x8000000000000000, -1},
    };
    auto server = StartServer();
    ASSERT_TRUE(server);
    for (const Case& c : arrCases) {
        std::wstring strError;
        std::optional<intptr_t> result = SendIpcMessage(kTitle, c.nMessage, c.wParam, c.lParam, &strError);
        ASSERT_TRUE(result) << ToUtf8(strError);
        EXPECT_EQ(*result, Expected(c.wParam, c.lParam)) << c.nMessage;
    }
    std::vector<Call> arrCalls = m_recorder.Calls();
    ASSERT_EQ(arrCalls.size(), std::size(arrCases));
    for (size_t i = 0; i < arrCalls.size(); ++i) {
        EXPECT_EQ(arrCalls[i].nMessage, arrCases[i].nMessage);
        EXPECT_EQ(arrCalls[i].wParam, arrCases[i].wParam);
        EXPECT_EQ(arrCalls[i].lParam, arrCases[i].lParam);
        EXPECT_NE(arrCalls[i].thread, std::this_thread::get_id());
    }
    EXPECT_EQ(m_recorder.Lines(), "");
}

// The bytes on the wire, written by hand: a sender built from other sources must still agree.
TEST_F(IpcTest, HandWrittenRequestGetsTheExpectedReplyBytes)
{
    auto server = StartServer();
    ASSERT_TRUE(server);
    RawConnection conn(SocketPath());
    ASSERT_TRUE(conn.IsOpen());
    ASSERT_TRUE(conn.Send(RequestBytes(0x4C8, 0x100000001, -3)));
    EXPECT_EQ(conn.ReadUntilClosed(), ReplyBytes(0, 0x200000002 - 3));
    ASSERT_EQ(m_recorder.Calls().size(), 1u);
    EXPECT_EQ(m_recorder.Calls()[0].lParam, -3);
}

// Titles that only differ in characters a file name cannot hold still get sockets of their own.
TEST_F(IpcTest, WindowsWithDifferentTitlesDoNotMix)
{
    const std::wstring arrTitles[] = {L"Brevanto Games", L"Brevanto Games 2", L"A/B", L"A_B",
                                      L"A\nB",           L"Игры Бреванто"};
    std::vector<std::unique_ptr<IpcServer>> arrServers;
    std::vector<std::unique_ptr<Recorder>> arrRecorders;
    for (const std::wstring& strTitle : arrTitles) {
        arrRecorders.push_back(std::make_unique<Recorder>());
        std::wstring strError;
        arrServers.push_back(IpcServer::Start(strTitle, arrRecorders.back()->Handler(),
                                              arrRecorders.back()->Log(), &strError));
        ASSERT_TRUE(arrServers.back()) << ToUtf8(strTitle) << ": " << ToUtf8(strError);
    }
    for (size_t i = 0; i < std::size(arrTitles); ++i) {
        std::wstring strError;
        EXPECT_EQ(SendIpcMessage(arrTitles[i], 0x400 + static_cast<uint32_t>(i), i, 0, &strError),
                  static_cast<intptr_t>(2 * i))
            << ToUtf8(strError);
    }
    for (size_t i = 0; i < std::size(arrTitles); ++i) {
        std::vector<Call> arrCalls = arrRecorders[i]->Calls();
        ASSERT_EQ(arrCalls.size(), 1u) << ToUtf8(arrTitles[i]);
        EXPECT_EQ(arrCalls[0].nMessage, 0x400 + i);
    }
}

TEST_F(IpcTest, SocketPathLivesInTheRuntimeFolderOrPerUserInTmp)
{
    EXPECT_EQ(SocketPath(), m_dir.Path() + "/brevanto-Brevanto Games.sock");
    EXPECT_EQ(platform::GetIpcSocketPath(L""), L"");

    const std::string strTmp = "/tmp/brevanto-" + std::to_string(getuid()) + "-Brevanto Games.sock";
    {
        testing_support::ScopedEnv unset("XDG_RUNTIME_DIR", "", true);
        EXPECT_EQ(SocketPath(), strTmp);
    }
    for (const std::string& strUnusable : {std::string("relative/dir"), m_dir / "missing"}) {
        testing_support::ScopedEnv env("XDG_RUNTIME_DIR", strUnusable);
        EXPECT_EQ(SocketPath(), strTmp) << strUnusable;
    }

    // A replaced character never leaves a separator or a control character in the name.
    std::string strName = std::filesystem::path(SocketPath(L"../x/\x01y")).filename().string();
    EXPECT_EQ(strName.find_first_of(std::string("/\x01", 2)), std::string::npos) << strName;
    EXPECT_EQ(std::filesystem::path(SocketPath(L"../x/\x01y")).parent_path().string(), m_dir.Path());
}

// sockaddr_un holds 107 bytes of path; longer titles are cut (whole characters) and told apart by a hash.
TEST_F(IpcTest, LongTitlesGetDistinctPathsThatFitASocketAddress)
{
    const std::wstring strLong(200, L'Ж');
    const std::string strA = SocketPath(strLong + L"A");
    const std::string strB = SocketPath(strLong + L"B");
    EXPECT_NE(strA, strB);
    for (const std::string& strPath : {strA, strB}) {
        EXPECT_LE(strPath.size(), sizeof(sockaddr_un::sun_path) - 1);
        EXPECT_TRUE(platform::IsValidUtf8(strPath)) << strPath;
        EXPECT_EQ(strPath.rfind(m_dir.Path(), 0), 0u) << strPath;
    }

    auto server = StartServer(strLong + L"A");
    ASSERT_TRUE(server);
    std::wstring strError;
    EXPECT_EQ(SendIpcMessage(strLong + L"A", 1, 2, 3, &strError), 7) << ToUtf8(strError);
    EXPECT_FALSE(SendIpcMessage(strLong + L"B", 1, 2, 3));
}

TEST_F(IpcTest, NoSuchWindowGivesNulloptWithAClearError)
{
    std::wstring strError;
    EXPECT_FALSE(SendIpcMessage(L"Nobody Home", 0x10, 0, 0, &strError));
    EXPECT_NE(ToUtf8(strError).find("no window titled \"Nobody Home\" is running"), std::string::npos)
        << ToUtf8(strError);

    // A stale socket file (nobody listening) reads the same.
    MakeStaleSocket(SocketPath(L"Nobody Home"));
    EXPECT_FALSE(SendIpcMessage(L"Nobody Home", 0x10, 0, 0, &strError));
    EXPECT_NE(ToUtf8(strError).find("no window titled"), std::string::npos) << ToUtf8(strError);

    EXPECT_FALSE(SendIpcMessage(L"", 0x10, 0, 0, &strError));
    EXPECT_NE(strError, L"");
    EXPECT_FALSE(SendIpcMessage(L"Nobody Home", 0x10, 0, 0)); // no error wanted: nothing written
}

TEST_F(IpcTest, StaleSocketFileIsReplacedAndTheNewOneIsPrivate)
{
    MakeStaleSocket(SocketPath());
    auto server = StartServer();
    ASSERT_TRUE(server);
    EXPECT_EQ(SendIpcMessage(kTitle, 0x10, 5, 1), 11);

    struct stat st
    {
    };
    ASSERT_EQ(lstat(SocketPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(IpcTest, TakenPathMakesStartFailAndLosesNothing)
{
    auto first = StartServer();
    ASSERT_TRUE(first);
    std::wstring strError;
    EXPECT_FALSE(IpcServer::Start(
        kTitle, [](uint32_t, uintptr_t, intptr_t) { return intptr_t{-1}; }, nullptr, &strError));
    EXPECT_NE(ToUtf8(strError).find("already listens"), std::string::npos) << ToUtf8(strError);
    EXPECT_EQ(SendIpcMessage(kTitle, 1, 1, 0), 2); // still the first server
    first.reset();

    // Something that is not a socket stays where it is, untouched.
    testing_support::WriteFile(SocketPath(), "not a socket");
    EXPECT_FALSE(IpcServer::Start(kTitle, m_recorder.Handler(), nullptr, &strError));
    EXPECT_NE(ToUtf8(strError).find("is not a socket"), std::string::npos) << ToUtf8(strError);
    EXPECT_EQ(testing_support::ReadFile(SocketPath()), "not a socket");

    EXPECT_FALSE(IpcServer::Start(L"", m_recorder.Handler(), nullptr, &strError));
    EXPECT_NE(strError, L"");
}

TEST_F(IpcTest, MalformedRequestsAreDroppedAndTheServerServesOn)
{
    const std::string strValid = RequestBytes(0x10, 1, 2);
    struct Case
    {
        const char* pszName;
        std::string strBytes;
        bool bShutdownWrite; // the sender says it is done: the server need not wait for the deadline
        const char* pszLogged;
    };
    const Case arrCases[] = {
        {"short", strValid.substr(0, 10), true, "short request (10 of 32 bytes)"},
        {"wrong magic", RequestBytes(0x10, 1, 2, 1, 0x50545448), false, "wrong magic number"},
        {"oversized garbage", std::string(4096, 'x'), false, "more than the 32 bytes"},
        {"request with a tail", strValid + "tail", false, "more than the 32 bytes"},
        {"reserved field set", RequestBytes(0x10, 1, 2, 1, 0x4D565242, 7), false, "reserved field"},
    };
    auto server = StartServer();
    ASSERT_TRUE(server);
    for (const Case& c : arrCases) {
        SCOPED_TRACE(c.pszName);
        RawConnection conn(SocketPath());
        ASSERT_TRUE(conn.IsOpen());
        ASSERT_TRUE(conn.Send(c.strBytes));
        if (c.bShutdownWrite)
            conn.ShutdownWrite();
        EXPECT_EQ(conn.ReadUntilClosed(), "") << "closed without a reply";
        EXPECT_TRUE(m_recorder.WaitForLine(c.pszLogged)) << m_recorder.Lines();
        EXPECT_EQ(SendIpcMessage(kTitle, 0x11, 3, 4), 10);
    }
    std::vector<Call> arrCalls = m_recorder.Calls();
    ASSERT_EQ(arrCalls.size(), std::size(arrCases));
    for (const Call& call : arrCalls)
        EXPECT_EQ(call.nMessage, 0x11u);
}

// A request of another version gets a refusal that says which version the server speaks.
TEST_F(IpcTest, RequestOfAnotherVersionIsRefusedWithoutCallingTheHandler)
{
    auto server = StartServer();
    ASSERT_TRUE(server);
    RawConnection conn(SocketPath());
    ASSERT_TRUE(conn.Send(RequestBytes(0x10, 1, 2, 2)));
    EXPECT_EQ(conn.ReadUntilClosed(), ReplyBytes(1, 0, 1));
    EXPECT_TRUE(m_recorder.WaitForLine("version 2"));
    EXPECT_TRUE(m_recorder.Calls().empty());
}

TEST_F(IpcTest, SilentSenderHoldsUpNobodyAndIsDroppedAtTheDeadline)
{
    auto server = StartServer();
    ASSERT_TRUE(server);
    RawConnection silent(SocketPath());
    RawConnection halfway(SocketPath());
    ASSERT_TRUE(silent.IsOpen() && halfway.IsOpen());
    ASSERT_TRUE(halfway.Send(RequestBytes(0x10, 1, 2).substr(0, 20)));

    for (int i = 0; i < 3; ++i) {
        std::wstring strError;
        EXPECT_EQ(SendIpcMessage(kTitle, 0x10, 1, i, &strError), 2 + i) << ToUtf8(strError);
        // Served while the silent ones still wait: a server that read connections one after the
        // other would drop them at their deadline first. (A local exchange takes microseconds;
        // the deadline is seconds away.)
        if (i == 0) {
            EXPECT_EQ(m_recorder.Lines(), "");
        }
    }
    EXPECT_EQ(silent.ReadUntilClosed(), "");
    EXPECT_EQ(halfway.ReadUntilClosed(), "");
    EXPECT_TRUE(m_recorder.WaitForLine("sent 0 of 32 bytes")) << m_recorder.Lines();
    EXPECT_TRUE(m_recorder.WaitForLine("sent 20 of 32 bytes")) << m_recorder.Lines();
}

// Without MSG_NOSIGNAL the reply to a departed sender would raise SIGPIPE and end this process.
TEST_F(IpcTest, SenderThatLeavesBeforeTheReplyDoesNoHarm)
{
    auto server = StartServer();
    ASSERT_TRUE(server);
    m_recorder.m_gate.Reset();
    {
        RawConnection conn(SocketPath());
        ASSERT_TRUE(conn.Send(RequestBytes(0x4C8, 1, 0)));
        ASSERT_TRUE(m_recorder.m_entered.Wait(10000));
    }
    m_recorder.m_gate.Set();
    EXPECT_TRUE(m_recorder.WaitForLine("left before its reply")) << m_recorder.Lines();
    EXPECT_EQ(SendIpcMessage(kTitle, 0x10, 2, 0), 4);
}

// While the handler is busy, other senders queue up and are answered in turn.
TEST_F(IpcTest, SendersFromManyThreadsAllGetTheirOwnAnswer)
{
    auto server = StartServer();
    ASSERT_TRUE(server);
    constexpr int kThreads = 8, kEach = 20;
    std::atomic<int> nWrong{0};
    std::vector<std::thread> arrThreads;
    for (int t = 0; t < kThreads; ++t) {
        arrThreads.emplace_back([t, &nWrong] {
            for (int i = 0; i < kEach; ++i) {
                if (SendIpcMessage(kTitle, 0x400, static_cast<uintptr_t>(t), i) != 2 * t + i)
                    ++nWrong;
            }
        });
    }
    for (std::thread& thread : arrThreads)
        thread.join();
    EXPECT_EQ(nWrong.load(), 0);
    EXPECT_EQ(m_recorder.Calls().size(), static_cast<size_t>(kThreads * kEach));
}

TEST_F(IpcTest, DestructionStopsServingRemovesTheSocketAndFreesTheTitle)
{
    auto server = StartServer();
    ASSERT_TRUE(server);
    RawConnection silent(SocketPath()); // pending when the server goes: must not delay the end
    ASSERT_TRUE(silent.IsOpen());
    server.reset();

    EXPECT_FALSE(std::filesystem::exists(SocketPath()));
    EXPECT_EQ(silent.ReadUntilClosed(), "");
    std::wstring strError;
    EXPECT_FALSE(SendIpcMessage(kTitle, 0x10, 0, 0, &strError));
    EXPECT_NE(ToUtf8(strError).find("no window titled"), std::string::npos);

    auto again = StartServer();
    ASSERT_TRUE(again);
    EXPECT_EQ(SendIpcMessage(kTitle, 0x10, 4, 0), 8);
}

// A server whose file was taken over must not remove its successor's socket on the way out.
TEST_F(IpcTest, DestructionLeavesAReplacementSocketAlone)
{
    auto old = StartServer();
    ASSERT_TRUE(old);
    ASSERT_EQ(unlink(SocketPath().c_str()), 0);
    Recorder newRecorder;
    auto replacement = IpcServer::Start(kTitle, newRecorder.Handler());
    ASSERT_TRUE(replacement);
    old.reset();

    EXPECT_EQ(SendIpcMessage(kTitle, 0x10, 4, 1), 9);
    EXPECT_EQ(newRecorder.Calls().size(), 1u);
}

// Games and installers started by the launcher must not inherit the listening socket.
TEST_F(IpcTest, ServerDescriptorsAreCloseOnExec)
{
    std::set<int> arrBefore = OpenDescriptors();
    auto server = StartServer();
    ASSERT_TRUE(server);
    RawConnection pending(SocketPath());
    ASSERT_TRUE(pending.Send("x"));                   // now accepted and waiting for more
    ASSERT_EQ(SendIpcMessage(kTitle, 0x10, 0, 0), 0); // served after the accept above
    int nNew = 0;
    for (int hFile : OpenDescriptors()) {
        if (arrBefore.count(hFile) != 0)
            continue;
        int nFlags = fcntl(hFile, F_GETFD);
        if (nFlags < 0)
            continue; // the directory listing's own descriptor
        ++nNew;
        EXPECT_NE(nFlags & FD_CLOEXEC, 0) << "descriptor " << hFile;
    }
    EXPECT_GE(nNew, 2); // at least the listener and the wake-up descriptor
}

// The sender's side of a broken exchange: a fake window that answers wrongly or not at all.
TEST_F(IpcTest, BrokenExchangesGiveClearErrors)
{
    struct Case
    {
        const char* pszName;
        std::string strReply;
        const char* pszError;
    };
    const Case arrCases[] = {
        {"closes without an answer", "", "closed the connection without an answer"},
        {"answers garbage", std::string(24, 'z'), "wrong magic number"},
        {"answers in part", ReplyBytes(0, 5).substr(0, 12), "closed the connection without an answer"},
        {"speaks another version", ReplyBytes(1, 0, 2), "speaks message version 2"},
        {"unknown status", ReplyBytes(9, 0), "unknown status 9"},
    };
    for (const Case& c : arrCases) {
        SCOPED_TRACE(c.pszName);
        const std::string strPath = SocketPath(L"Fake");
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, strPath.c_str(), sizeof(address.sun_path) - 1);
        int hListen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(bind(hListen, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        ASSERT_EQ(listen(hListen, 4), 0);
        std::string strReceived;
        std::thread fake([&] {
            int hConn = accept(hListen, nullptr, nullptr);
            char buf[32];
            size_t nHave = 0;
            ssize_t n;
            while (nHave < sizeof(buf) && (n = recv(hConn, buf + nHave, sizeof(buf) - nHave, 0)) > 0)
                nHave += static_cast<size_t>(n);
            strReceived.assign(buf, nHave);
            send(hConn, c.strReply.data(), c.strReply.size(), MSG_NOSIGNAL);
            close(hConn);
        });
        std::wstring strError;
        EXPECT_FALSE(SendIpcMessage(L"Fake", 0x4C8, 12, -1, &strError));
        fake.join();
        close(hListen);
        unlink(strPath.c_str());
        EXPECT_NE(ToUtf8(strError).find(c.pszError), std::string::npos) << ToUtf8(strError);
        EXPECT_EQ(strReceived, RequestBytes(0x4C8, 12, -1));
    }
}
