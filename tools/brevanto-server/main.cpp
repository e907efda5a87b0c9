// brevanto-server: the publisher's web server for the demo and the tests. It serves the
// launcher's queries, the catalogue's files and the error-report upload from one root folder
// (layout in Catalogue.h), on loopback by default, until SIGTERM or SIGINT.
//
//   brevanto-server [--root DIR] [--listen ADDR:PORT] [--log FILE] [--port-file FILE]
//                   [--idle-timeout MS] [--max-body BYTES]
//
// --port-file receives the bound port once the server listens (with --listen ADDR:0 the
// system picks a free one), so scripts and tests need not guess a free port.

#include "Catalogue.h"
#include "ErrorReport.h"
#include "HttpServer.h"
#include "RequestLog.h"

#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr char kUsage[] =
    "Usage: brevanto-server [--root DIR] [--listen ADDR:PORT] [--log FILE] [--port-file FILE]\n"
    "                       [--idle-timeout MS] [--max-body BYTES]\n";

struct Arguments
{
    std::string strRoot;
    std::string strLog;
    std::string strPortFile;
    server::ServerOptions options;
};

bool ParseNumber(const std::string& strText, uint64_t nMax, uint64_t& nValue)
{
    if (strText.empty() || strText.size() > 15 ||
        strText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    nValue = std::strtoull(strText.c_str(), nullptr, 10);
    return nValue <= nMax;
}

bool ParseArguments(int argc, char** argv, Arguments& args)
{
    for (int i = 1; i < argc; ++i) {
        std::string strName = argv[i];
        if (i + 1 >= argc)
            return false;
        std::string strValue = argv[++i];
        uint64_t nNumber = 0;
        if (strName == "--root") {
            args.strRoot = strValue;
        } else if (strName == "--listen") {
            args.options.strListen = strValue;
        } else if (strName == "--log") {
            args.strLog = strValue;
        } else if (strName == "--port-file") {
            args.strPortFile = strValue;
        } else if (strName == "--idle-timeout" && ParseNumber(strValue, 3600000, nNumber) && nNumber > 0) {
            args.options.nIdleTimeoutMs = static_cast<int>(nNumber);
        } else if (strName == "--max-body" && ParseNumber(strValue, UINT32_MAX, nNumber)) {
            args.options.nMaxBodyBytes = nNumber;
        } else {
            return false;
        }
    }
    return true;
}

// The demo catalogue built next to the program (build/demo-root for build/bin), else the
// current folder.
std::string DefaultRoot()
{
    std::wstring strBin = platform::GetFolderOf(platform::GetModuleFileName());
    std::wstring strDemo = platform::JoinPath(platform::GetFolderOf(strBin), L"demo-root");
    return platform::FolderExists(strDemo) ? platform::ToUtf8(strDemo) : std::string(".");
}

} // namespace

int main(int argc, char** argv)
{
    Arguments args;
    if (!ParseArguments(argc, argv, args)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (args.strRoot.empty())
        args.strRoot = DefaultRoot();

    // Stop signals arrive through a descriptor the accept loop polls; they are blocked before any
    // thread starts, so every thread inherits the mask. A client that goes away mid-answer must
    // give an error, not SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    int hStop = signalfd(-1, &stopSignals, SFD_CLOEXEC);

    server::RequestLog log;
    if (!log.Open(args.strLog)) {
        std::fprintf(stderr, "brevanto-server: cannot open the log %s\n", args.strLog.c_str());
        return 1;
    }
    server::Catalogue catalogue;
    if (!catalogue.Load(args.strRoot, log)) {
        std::fprintf(stderr, "brevanto-server: no catalogue root at %s\n", args.strRoot.c_str());
        return 1;
    }
    server::ErrorReportStore reports(catalogue.GetRoot() + "/reports");
    server::HttpServer httpServer(catalogue, log, reports, args.options);
    std::string strError;
    if (hStop < 0 || !httpServer.Listen(strError)) {
        std::fprintf(stderr, "brevanto-server: %s\n", hStop < 0 ? "no signal descriptor" : strError.c_str());
        return 1;
    }
    std::printf("brevanto-server: serving %s on port %u\n", catalogue.GetRoot().c_str(),
                httpServer.GetPort());
    std::fflush(stdout);
    if (!args.strPortFile.empty()) {
        // Written under a temporary name and renamed, so a reader never sees an empty file.
        std::string strTemp = args.strPortFile + ".tmp";
        std::ofstream(strTemp) << httpServer.GetPort() << "\n";
        std::rename(strTemp.c_str(), args.strPortFile.c_str());
    }
    httpServer.Run(hStop);
    close(hStop);
    return 0;
}
