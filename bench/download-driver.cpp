// download-driver: the launcher's side of bench/download_vs_curl.sh. Downloads the installers of
// one or more games with DownloadFile, exactly as the download worker does (a catalogue record,
// up to 200 calls per game), and prints what it measured:
//
//   download-driver --dir DIR --port PORT --ids 1[,2,...] [--cuts N --size BYTES --seed S]
//
// DIR is the download folder (the registry file goes next to it). With --cuts, connections go
// through a small proxy on loopback that cuts the first N connections after a random number of
// bytes below BYTES / N (the head passes whole), so the download is broken N times at random
// offsets and must be resumed each time.
//
// Output, one "key=value" per line: result, seconds, bytes, rss_growth_kb, cuts.

#include "app/CGP_Registry.h"
#include "catalogue/tagGames.h"
#include "net/HttpClient.h"
#include "net/ServerQueries.h"
#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"
#include "platform/thread/Thread.h"
#include "ui/CLauncherDlg.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

long ReadRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string strLine;
    while (std::getline(status, strLine)) {
        if (strLine.rfind("VmRSS:", 0) == 0)
            return std::strtol(strLine.c_str() + 6, nullptr, 10);
    }
    return 0;
}

int Listen(uint16_t& nPort)
{
    int hListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof(address);
    if (hListen < 0 || bind(hListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(hListen, 64) != 0 ||
        getsockname(hListen, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
        return -1;
    nPort = ntohs(address.sin_port);
    return hListen;
}

int ConnectLoopback(uint16_t nPort)
{
    int hSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(nPort);
    if (hSocket >= 0 && connect(hSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
        return hSocket;
    if (hSocket >= 0)
        close(hSocket);
    return -1;
}

// Forwards connections to the server and cuts the first ones after a chosen number of bytes of
// the server's answer.
class CCuttingProxy
{
public:
    CCuttingProxy(uint16_t nServerPort, int nCuts, uint64_t nFileSize, uint32_t nSeed)
        : m_nServerPort(nServerPort)
    {
        std::mt19937_64 random(nSeed);
        uint64_t nSpan = std::max<uint64_t>(nFileSize / static_cast<uint64_t>(std::max(nCuts, 1)), 2);
        for (int i = 0; i < nCuts; ++i)
            m_arrCutAfter.push_back(1024 + 1 + random() % (nSpan - 1)); // 1 KiB: the head passes
        m_hListen = Listen(m_nPort);
        m_thread = std::thread([this] { Run(); });
    }
    ~CCuttingProxy()
    {
        m_bStop = true;
        m_thread.join();
        for (std::thread& t : m_arrConnections)
            t.join();
        close(m_hListen);
    }
    uint16_t GetPort() const { return m_nPort; }
    int GetCuts() const { return m_nCutsMade; }

private:
    void Run()
    {
        size_t nConnection = 0;
        while (!m_bStop) {
            pollfd pfd{m_hListen, POLLIN, 0};
            if (poll(&pfd, 1, 100) <= 0)
                continue;
            int hClient = accept4(m_hListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (hClient < 0)
                continue;
            uint64_t nLimit = UINT64_MAX;
            // Only connections that carry a range request are cut, so each cut breaks the body.
            m_arrConnections.emplace_back(
                [this, hClient, nLimit, nConnection]() mutable { Forward(hClient, nLimit, nConnection); });
            ++nConnection;
        }
    }

    void Forward(int hClient, uint64_t nLimit, size_t)
    {
        int hServer = ConnectLoopback(m_nServerPort);
        std::vector<char> buffer(1 << 16);
        std::string strRequest;
        while (hServer >= 0 && strRequest.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = recv(hClient, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            strRequest.append(buffer.data(), static_cast<size_t>(n));
        }
        if (strRequest.find("\r\nRange: ") != std::string::npos) {
            size_t nIndex = m_nNextCut++;
            if (nIndex < m_arrCutAfter.size())
                nLimit = m_arrCutAfter[nIndex];
        }
        uint64_t nSent = 0;
        bool bCut = false;
        if (hServer >= 0 && send(hServer, strRequest.data(), strRequest.size(), MSG_NOSIGNAL) > 0) {
            for (;;) {
                ssize_t n = recv(hServer, buffer.data(), buffer.size(), 0);
                if (n <= 0)
                    break;
                size_t nTake =
                    static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(n), nLimit - nSent));
                if (send(hClient, buffer.data(), nTake, MSG_NOSIGNAL) <= 0)
                    break;
                nSent += nTake;
                if (nSent >= nLimit) {
                    bCut = true;
                    break;
                }
            }
        }
        if (bCut)
            ++m_nCutsMade;
        if (hServer >= 0)
            close(hServer);
        close(hClient);
    }

    uint16_t m_nServerPort;
    uint16_t m_nPort = 0;
    int m_hListen = -1;
    std::vector<uint64_t> m_arrCutAfter;
    std::atomic<size_t> m_nNextCut{0};
    std::atomic<int> m_nCutsMade{0};
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    std::vector<std::thread> m_arrConnections; // touched by the accept thread only, joined at the end
};

std::vector<std::string> Split(const std::string& strText)
{
    std::vector<std::string> arrParts;
    std::stringstream stream(strText);
    std::string strPart;
    while (std::getline(stream, strPart, ','))
        arrParts.push_back(strPart);
    return arrParts;
}

} // namespace

int main(int argc, char** argv)
{
    std::string strDir, strIds = "1";
    int nPort = 0, nCuts = 0;
    uint64_t nSize = 0;
    uint32_t nSeed = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string strName = argv[i], strValue = argv[i + 1];
        if (strName == "--dir")
            strDir = strValue;
        else if (strName == "--port")
            nPort = std::atoi(strValue.c_str());
        else if (strName == "--ids")
            strIds = strValue;
        else if (strName == "--cuts")
            nCuts = std::atoi(strValue.c_str());
        else if (strName == "--size")
            nSize = std::strtoull(strValue.c_str(), nullptr, 10);
        else if (strName == "--seed")
            nSeed = static_cast<uint32_t>(std::strtoul(strValue.c_str(), nullptr, 10));
    }
    if (strDir.empty() || nPort <= 0 || nPort > 65535) {
        std::fprintf(
            stderr,
            "usage: download-driver --dir DIR --port PORT --ids 1[,2] [--cuts N --size B --seed S]\n");
        return 1;
    }

    std::unique_ptr<CCuttingProxy> pProxy;
    uint16_t nConnectPort = static_cast<uint16_t>(nPort);
    if (nCuts > 0) {
        pProxy = std::make_unique<CCuttingProxy>(nConnectPort, nCuts, nSize, nSeed);
        nConnectPort = pProxy->GetPort();
    }
    std::string strConnectTo = "www.brevanto.games:80:127.0.0.1:" + std::to_string(nConnectPort);
    setenv("BREVANTO_CONNECT_TO", strConnectTo.c_str(), 1);
    setenv("BREVANTO_REGISTRY", (strDir + "/registry.db").c_str(), 1);
    unsetenv("BREVANTO_SERVER_HOST");

    CLauncherDlg owner;
    owner.strDownloadDir = platform::FromUtf8(strDir + "/download");
    owner.strVersion = L"1.0.0.1";
    std::vector<std::unique_ptr<tagGames>> arrRecords;
    std::vector<std::string> arrIds = Split(strIds);
    for (const std::string& strId : arrIds) {
        auto pGame = std::make_unique<tagGames>();
        CopyToFixed(pGame->szID, platform::FromUtf8(strId));
        pGame->bDownloading = true;
        owner.arrGames.Add(pGame.get());
        platform::CreateFolders(owner.strDownloadDir + L"/" + platform::FromUtf8(strId));
        arrRecords.push_back(std::move(pGame));
    }

    // The launcher's store is open long before a download starts; make and open it here, so the
    // timed part is the transfer and its per-download bookkeeping only.
    {
        CGP_Registry launcherKey(platform::RegistryRoot::LocalMachine, L"SOFTWARE\\Brevanto Launcher");
        launcherKey.CreateKeyAllPerm();
    }

    const long nRssBefore = ReadRssKb();
    std::atomic<bool> bDone{false};
    std::atomic<long> nRssPeak{nRssBefore};
    std::thread sampler([&] {
        while (!bDone) {
            long nRss = ReadRssKb();
            if (nRss > nRssPeak)
                nRssPeak = nRss;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });

    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> arrWorkers;
    std::atomic<int> nFailed{0};
    for (const std::string& strId : arrIds) {
        arrWorkers.emplace_back([&, strId] {
            tagRequest request;
            request.pOwner = &owner;
            std::wstring strGame = platform::FromUtf8(strId);
            request.SetQuery(BuildServerQuery(owner.strVersion, strGame, kActionInstaller));
            int nResult = kDownloadServerError;
            for (int nAttempt = 0; nAttempt < 200 && nResult != kDownloadDone; ++nAttempt)
                nResult = DownloadFile(&request, strGame, kInstallerFile);
            if (nResult != kDownloadDone)
                ++nFailed;
        });
    }
    for (std::thread& worker : arrWorkers)
        worker.join();
    double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bDone = true;
    sampler.join();

    uint64_t nBytes = 0;
    for (const std::string& strId : arrIds)
        nBytes += platform::GetFileSize(owner.strDownloadDir + L"/" + platform::FromUtf8(strId) +
                                        L"/trialinstaller")
                      .value_or(0);
    owner.arrGames.TakeAll();
    std::printf("result=%s\nseconds=%.3f\nbytes=%llu\nrss_growth_kb=%ld\ncuts=%d\n",
                nFailed ? "failed" : "ok", dSeconds, static_cast<unsigned long long>(nBytes),
                nRssPeak - nRssBefore, pProxy ? pProxy->GetCuts() : 0);
    return nFailed ? 1 : 0;
}
