#include "net/HttpClient.h"

#include "app/CGP_LogFile.h"
#include "app/CGP_Registry.h"
#include "net/CFetchClaim.h"
#include "net/HttpAnswer.h"
#include "net/NetTimings.h"
#include "net/ServerHost.h"
#include "platform/fs/FileSystem.h"
#include "platform/socket/Socket.h"
#include "platform/text/Text.h"
#include "ui/CLauncherDlg.h"

#include <cerrno>
#include <limits>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kHeadReadSize = 10000;
constexpr size_t kBodyChunkSize = 100000;
constexpr int64_t kMaxFileSize = std::numeric_limits<int32_t>::max();
// A stream that breaks this many times in a row without a single new byte is given up.
constexpr int kMaxIdleResumes = 20;
// The in-memory request repeats a cut answer at most this often.
constexpr int kTextAttempts = 20;

const std::wstring kLauncherKey = L"SOFTWARE\\Brevanto Launcher";

void Log(const wchar_t* pszWhat, const std::wstring& strDetail)
{
    SessionLog()->Write(pszWhat)->Write(L"\r\n")->Write(strDetail)->Write(L"\r\n");
}

// Where and how to connect, read from the main window at every connection.
struct tagServerSettings
{
    std::wstring strConnectHost;
    uint16_t nPort = 80;
    bool bProxy = false;
    std::string strBareHost;
    std::string strWwwHost;
};

tagServerSettings ReadSettings(const CLauncherDlg& owner)
{
    tagServerSettings settings;
    settings.bProxy = owner.bProxyEnable != 0;
    settings.strWwwHost = platform::ToUtf8(GetServerWwwHost());
    settings.strBareHost = platform::ToUtf8(GetServerHost());
    settings.strConnectHost = settings.bProxy ? owner.strProxyHost : GetServerWwwHost();
    settings.nPort = owner.nPort;
    return settings;
}

// The request text goes on the wire as it stands, one byte per character: anything but printable
// ASCII without spaces would change the request line, so such a query is refused.
std::optional<std::string> ToRequestText(const std::wstring& strQuery)
{
    std::string strText;
    strText.reserve(strQuery.size());
    for (wchar_t c : strQuery) {
        if (c <= L' ' || c >= 0x7F)
            return std::nullopt;
        strText.push_back(static_cast<char>(c));
    }
    return strText;
}

std::string RequestLine(const tagServerSettings& settings, const std::string& strPath)
{
    if (settings.bProxy)
        return "GET http://" + settings.strBareHost + "/" + strPath + " HTTP/1.0\r\n";
    return "GET /" + strPath + " HTTP/1.0\r\n";
}

std::string CommonHeaders(const tagServerSettings& settings)
{
    return "User-Agent: Brevanto Game Launcher\r\nHost: " + settings.strWwwHost + "\r\nAccept: */*\r\n\r\n";
}

std::unique_ptr<platform::Socket> OpenConnection(const tagServerSettings& settings,
                                                 const std::string& strRequest)
{
    std::unique_ptr<platform::Socket> pSocket =
        platform::Socket::Connect(settings.strConnectHost, settings.nPort);
    if (!pSocket)
        return nullptr;
    pSocket->SetReceiveTimeout(GetNetTimings().nSilenceLimitMs);
    if (!pSocket->SendAll(strRequest.data(), strRequest.size()))
        return nullptr;
    return pSocket;
}

// What arrived of an answer's head, and where the head ends in it.
struct tagHeadRead
{
    std::string data;
    size_t nHeadEnd = std::string::npos; // npos: the head did not end
    bool bRecvError = false;             // the connection failed (or stayed silent) first
    bool bTooLong = false;               // no empty line within kMaxHeadBytes
};

// Reads until the head's empty line, however many reads the head takes.
tagHeadRead ReadHead(platform::Socket& socket)
{
    tagHeadRead read;
    char buffer[kHeadReadSize];
    for (;;) {
        int n = socket.Recv(buffer, sizeof(buffer));
        if (n < 0)
            read.bRecvError = true;
        if (n <= 0)
            return read;
        size_t nSearchFrom = read.data.size() >= 3 ? read.data.size() - 3 : 0;
        read.data.append(buffer, static_cast<size_t>(n));
        size_t nEnd = FindHeadEnd(std::string_view(read.data).substr(nSearchFrom));
        if (nEnd != std::string::npos) {
            read.nHeadEnd = nSearchFrom + nEnd;
            return read;
        }
        if (read.data.size() > kMaxHeadBytes) {
            read.bTooLong = true;
            return read;
        }
    }
}

// A file opened for writing at a given length.
class CPartialFile
{
public:
    ~CPartialFile() { Close(); }

    // Opens (creating) the file and cuts it to nOffset bytes, which it must have at least.
    bool Open(const std::wstring& strPath, int64_t nOffset)
    {
        m_hFile = ::open(platform::ToNativePath(strPath).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (m_hFile < 0)
            return false;
        struct stat info
        {
        };
        if (fstat(m_hFile, &info) != 0 || info.st_size < nOffset || ftruncate(m_hFile, nOffset) != 0 ||
            lseek(m_hFile, nOffset, SEEK_SET) != nOffset) {
            Close();
            return false;
        }
        return true;
    }

    bool Append(const char* pData, size_t nSize)
    {
        while (nSize > 0) {
            ssize_t n = ::write(m_hFile, pData, nSize);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            pData += n;
            nSize -= static_cast<size_t>(n);
        }
        return true;
    }

    void Close()
    {
        if (m_hFile >= 0)
            ::close(m_hFile);
        m_hFile = -1;
    }

private:
    int m_hFile = -1;
};

bool IsPlainFileName(const std::wstring& strName)
{
    return !strName.empty() && strName != L"." && strName != L".." &&
           strName.find(L'/') == std::wstring::npos && strName.find(L'\0') == std::wstring::npos;
}

// One call of DownloadFile: the target, its resume state and the states of the transfer.
class CDownload
{
public:
    CDownload(CLauncherDlg& owner, const std::wstring& strGameId, const std::wstring& strFileName)
        : m_owner(owner), m_strGameId(strGameId), m_strFileName(strFileName)
    {
    }

    int Run(const std::wstring& strQuery);

private:
    enum class BodyEnd
    {
        Finished, // m_nResult holds the code
        Resume,   // the stream broke: range request at the current offset
        Restart,  // the partial file cannot be continued: range request from byte 0
    };

    int FirstRequest(const std::string& strFlag);
    int Redirect(const std::string& strPath);
    int RangeRequests();
    BodyEnd Body(platform::Socket& socket, const tagHeadRead& head, const tagHttpHead& parsed);
    bool CheckStoredSize(int64_t nTotal);
    void ReportProgress(int64_t nTotal);
    BodyEnd Finish(int nResult)
    {
        m_nResult = nResult;
        return BodyEnd::Finished;
    }
    void StartAgain()
    {
        platform::DeleteFile(m_strPath);
        m_nOffset = 0;
    }

    CLauncherDlg& m_owner;
    const std::wstring m_strGameId;
    const std::wstring m_strFileName;
    tagGames* m_pGame = nullptr;
    std::wstring m_strPath;
    std::string m_strQuery;
    std::string m_strRangePath; // the redirect path, or the query itself after a "200"
    int64_t m_nOffset = 0;
    int m_nResult = kDownloadDone;
    int m_nIdleResumes = 0;
};

int CDownload::Run(const std::wstring& strQuery)
{
    if (!m_strGameId.empty() && !IsValidGameId(m_strGameId)) {
        Log(L"DownloadFile", L"bad game id");
        return kDownloadServerError;
    }
    std::optional<std::string> strRequestQuery = ToRequestText(strQuery);
    if (!IsPlainFileName(m_strFileName) || !strRequestQuery) {
        Log(L"DownloadFile", L"bad request");
        return kDownloadServerError;
    }
    m_strQuery = *strRequestQuery;

    // Step 1: the game's record (the HTTP client's lookup ignores case). Step 2: the local path.
    if (!m_strGameId.empty())
        m_pGame = m_owner.arrGames.FindNoCase(m_strGameId);
    std::wstring strFolder = m_owner.strDownloadDir;
    if (!m_strGameId.empty())
        strFolder = platform::JoinPath(strFolder, m_strGameId);
    m_strPath = platform::JoinPath(strFolder, m_strFileName);

    // Two calls for one file take turns, so their bytes never mix.
    CFetchClaim claim(m_strPath);

    // Step 3: an existing file (even an empty one) is resumed from its length.
    std::optional<uint64_t> nSize = platform::GetFileSize(m_strPath);
    if (nSize && *nSize >= static_cast<uint64_t>(kMaxFileSize)) {
        Log(L"DownloadFile", L"partial file too large");
        return kDownloadServerError;
    }
    m_nOffset = nSize ? static_cast<int64_t>(*nSize) : 0;
    // A resume after a "200" repeats the query itself, with a range.
    m_strRangePath = m_strQuery + "&resume=1";
    return FirstRequest(nSize ? "1" : "0");
}

int CDownload::FirstRequest(const std::string& strFlag)
{
    tagServerSettings settings = ReadSettings(m_owner);
    std::string strRequest =
        RequestLine(settings, m_strQuery + "&resume=" + strFlag) + CommonHeaders(settings);
    std::unique_ptr<platform::Socket> pSocket = OpenConnection(settings, strRequest);
    if (!pSocket)
        return kDownloadConnectionProblem;

    tagHeadRead head = ReadHead(*pSocket);
    if (head.bRecvError && head.data.empty())
        return kDownloadConnectionProblem;
    tagHttpHead parsed = ParseHttpHead(std::string_view(head.data).substr(0, head.nHeadEnd));
    const std::string& strStatus = parsed.strStatus;
    const bool bLauncher = m_strFileName == kLauncherUpdateFile;
    if (strStatus == "500" || strStatus == "404")
        return kDownloadServerError;
    if (strStatus == "403" || strStatus == "504")
        return kDownloadConnectionProblem;
    if (strStatus != "302" && (bLauncher || strStatus != "200"))
        return bLauncher ? kDownloadDone : kDownloadServerError;
    if (head.nHeadEnd == std::string::npos) {
        Log(L"DownloadFile", L"answer head cut or too long");
        return kDownloadServerError;
    }
    if (strStatus == "302") {
        pSocket->Close();
        if (!parsed.strRedirectPath) {
            Log(L"DownloadFile", L"302 without a usable Location");
            return kDownloadServerError;
        }
        return Redirect(*parsed.strRedirectPath);
    }
    BodyEnd end = Body(*pSocket, head, parsed);
    pSocket->Close();
    return end == BodyEnd::Finished ? m_nResult : RangeRequests();
}

int CDownload::Redirect(const std::string& strPath)
{
    // A new launcher: announce it and wait, suspended, until the user asks for it.
    if (m_strFileName == kLauncherUpdateFile && !m_owner.bLauncherUpdate) {
        platform::Sleep(GetNetTimings().nLauncherUpdateWaitMs);
        m_owner.bLauncherUpdate = true;
        m_owner.AnnounceUpdate();
        m_owner.InvalidateFromWorker();
        // The calling thread is the update worker; it parks here until the window thread
        // resumes it through hUpdateThread.
        platform::SuspendCurrentThread();
    }
    m_strRangePath = strPath;
    return RangeRequests();
}

int CDownload::RangeRequests()
{
    for (;;) {
        const int64_t nOffsetBefore = m_nOffset;
        tagServerSettings settings = ReadSettings(m_owner);
        std::string strRequest = RequestLine(settings, m_strRangePath) +
                                 "Range: bytes=" + std::to_string(m_nOffset) + "-\r\n" +
                                 CommonHeaders(settings);
        std::unique_ptr<platform::Socket> pSocket = OpenConnection(settings, strRequest);
        if (!pSocket)
            return kDownloadConnectionProblem;

        tagHeadRead head = ReadHead(*pSocket);
        if (head.bRecvError && head.data.empty()) {
            SessionLog()->Write(L"recv SOCKET_ERROR 302")->Write(L"\r\n");
            return kDownloadConnectionProblem;
        }
        tagHttpHead parsed = ParseHttpHead(std::string_view(head.data).substr(0, head.nHeadEnd));
        const std::string& strStatus = parsed.strStatus;
        SessionLog()->Write(platform::FromUtf8(strStatus))->Write(L"\r\n");

        if (strStatus == "500" || strStatus == "404")
            return kDownloadServerError;
        if (strStatus == "403" || strStatus == "504")
            return kDownloadConnectionProblem;
        if (strStatus == "416") {
            if (m_nOffset == 0) {
                Log(L"DownloadFile", L"416 for the whole file");
                return kDownloadServerError;
            }
            pSocket->Close();
            StartAgain();
            continue;
        }
        if (strStatus != "200" && strStatus != "206")
            return kDownloadServerError;
        if (head.nHeadEnd == std::string::npos) {
            Log(L"DownloadFile", L"answer head cut or too long");
            return kDownloadServerError;
        }

        BodyEnd end = Body(*pSocket, head, parsed);
        pSocket->Close();
        if (end == BodyEnd::Finished)
            return m_nResult;
        if (end == BodyEnd::Resume) {
            // A server that keeps breaking the stream before a single byte is not waited on
            // for ever.
            m_nIdleResumes = m_nOffset > nOffsetBefore ? 0 : m_nIdleResumes + 1;
            if (m_nIdleResumes >= kMaxIdleResumes) {
                Log(L"DownloadFile", L"stream breaks without data");
                return kDownloadConnectionProblem;
            }
        }
    }
}

CDownload::BodyEnd CDownload::Body(platform::Socket& socket, const tagHeadRead& head,
                                   const tagHttpHead& parsed)
{
    // A "200" is the whole file: a server that ignored the range (or a first answer to a
    // resume) starts the file again from byte 0.
    if (parsed.strStatus == "200" && m_nOffset > 0) {
        Log(L"DownloadFile", L"whole file sent: starting again");
        m_nOffset = 0;
    }
    // A "206" for another range cannot continue this file; it is fetched again from byte 0.
    if (parsed.strStatus == "206" && parsed.bHasContentRange && parsed.nRangeStart != m_nOffset) {
        Log(L"DownloadFile", L"206 for another range");
        if (m_nOffset == 0)
            return Finish(kDownloadServerError);
        StartAgain();
        return BodyEnd::Restart;
    }

    // Step 1: the file, cut to the offset. Step 2: the length of what is coming.
    CPartialFile file;
    if (!file.Open(m_strPath, m_nOffset)) {
        Log(L"DownloadFile", L"cannot open " + m_strPath);
        return Finish(kDownloadServerError);
    }
    if (!parsed.nContentLength) {
        Log(L"DownloadFile", L"no usable Content-Length");
        return Finish(kDownloadServerError);
    }
    const int64_t nTotal = m_nOffset + *parsed.nContentLength;
    if (nTotal > kMaxFileSize) {
        Log(L"DownloadFile", L"file too large");
        return Finish(kDownloadServerError);
    }
    SessionLog()->WriteInt(static_cast<int32_t>(nTotal))->Write(L"\r\n");

    // Step 3: a resumed installer must still be the file its download began with.
    if (!CheckStoredSize(nTotal)) {
        file.Close();
        StartAgain();
        return BodyEnd::Restart;
    }
    // Steps 4 and 5.
    if (m_pGame)
        m_pGame->nTotalKB = static_cast<int32_t>(nTotal / 1000);
    if (nTotal == m_nOffset)
        return Finish(kDownloadDone);

    // Step 6: the body bytes that came with the head, never beyond the total.
    size_t nFirst =
        std::min<size_t>(head.data.size() - head.nHeadEnd, static_cast<size_t>(nTotal - m_nOffset));
    if (!file.Append(head.data.data() + head.nHeadEnd, nFirst))
        return Finish(kDownloadServerError);
    m_nOffset += static_cast<int64_t>(nFirst);

    // Step 7: the rest, chunk by chunk, straight into the file.
    std::vector<char> buffer(kBodyChunkSize);
    while (m_nOffset < nTotal) {
        int n = socket.Recv(buffer.data(), buffer.size());
        if (n <= 0)
            break;
        if (m_pGame)
            m_pGame->ClearError();
        size_t nTake = std::min<size_t>(static_cast<size_t>(n), static_cast<size_t>(nTotal - m_nOffset));
        if (!file.Append(buffer.data(), nTake)) {
            Log(L"DownloadFile", L"cannot write " + m_strPath);
            return Finish(kDownloadServerError);
        }
        m_nOffset += static_cast<int64_t>(nTake);
        if (m_pGame && m_pGame->bDownloading && m_pGame->bStop)
            return Finish(kDownloadStopped);
        ReportProgress(nTotal);
    }
    // Step 8: a short stream is resumed where it broke.
    if (m_nOffset < nTotal)
        return BodyEnd::Resume;
    return Finish(kDownloadDone);
}

bool CDownload::CheckStoredSize(int64_t nTotal)
{
    std::wstring strKey;
    if (m_strFileName == kInstallerFile && m_pGame)
        strKey = kLauncherKey + L"\\" + m_strGameId;
    else if (m_strFileName == kLauncherUpdateFile)
        strKey = kLauncherKey;
    else
        return true;
    CGP_Registry key(platform::RegistryRoot::LocalMachine, strKey);
    key.CreateKeyAllPerm();
    if (m_nOffset == 0) {
        key.WriteDword(L"ContentLen", static_cast<uint32_t>(nTotal));
        return true;
    }
    uint32_t nStored = 0;
    if (key.ReadDword(L"ContentLen", nStored) && static_cast<int64_t>(nStored) != nTotal) {
        Log(L"DownloadFile", L"file changed on the server: starting again");
        return false;
    }
    return true;
}

// Percentages are computed in single precision and truncated, as the list shows them.
int32_t PercentOf(int64_t nPart, int64_t nTotal)
{
    return static_cast<int32_t>(
        static_cast<uint32_t>(static_cast<float>(nPart) / static_cast<float>(nTotal) * 100.0f));
}

void CDownload::ReportProgress(int64_t nTotal)
{
    if (m_pGame) {
        if (m_pGame->bDownloading) {
            m_pGame->nPercent = PercentOf(m_nOffset, nTotal);
            m_pGame->nReceivedKB = static_cast<int32_t>(m_nOffset / 1000);
        }
    } else if (m_strFileName == kLauncherUpdateFile) {
        m_owner.nUpdatePercent = PercentOf(m_nOffset, nTotal);
    }
}

} // namespace

int DownloadFile(const tagRequest* pRequest, const std::wstring& strGameId, const std::wstring& strFileName)
{
    if (!pRequest || !pRequest->pOwner)
        return kDownloadServerError;
    CDownload download(*pRequest->pOwner, strGameId, strFileName);
    return download.Run(pRequest->GetQuery());
}

std::optional<std::string> DownloadToMemory(const tagRequest* pRequest)
{
    if (!pRequest || !pRequest->pOwner)
        return std::nullopt;
    std::optional<std::string> strQuery = ToRequestText(pRequest->GetQuery());
    if (!strQuery) {
        Log(L"DownloadToMemory", L"bad request");
        return std::nullopt;
    }
    for (int nAttempt = 0; nAttempt < kTextAttempts; ++nAttempt) {
        if (nAttempt > 0)
            platform::Sleep(GetNetTimings().nRetryPauseMs);
        tagServerSettings settings = ReadSettings(*pRequest->pOwner);
        std::unique_ptr<platform::Socket> pSocket =
            OpenConnection(settings, RequestLine(settings, *strQuery) + CommonHeaders(settings));
        if (!pSocket)
            return std::nullopt;
        tagHeadRead head = ReadHead(*pSocket);
        if (head.nHeadEnd == std::string::npos)
            return std::nullopt;
        tagHttpHead parsed = ParseHttpHead(std::string_view(head.data).substr(0, head.nHeadEnd));
        if (parsed.strStatus != "200" || !parsed.nContentLength)
            return std::nullopt;
        const size_t nLength = static_cast<size_t>(*parsed.nContentLength);
        if (nLength > kMaxTextAnswer) {
            Log(L"DownloadToMemory", L"answer too long");
            return std::nullopt;
        }
        std::string strBody = head.data.substr(head.nHeadEnd, nLength);
        char buffer[kHeadReadSize];
        while (strBody.size() < nLength) {
            int n = pSocket->Recv(buffer, sizeof(buffer));
            if (n <= 0)
                break;
            strBody.append(buffer, std::min(static_cast<size_t>(n), nLength - strBody.size()));
        }
        if (strBody.size() == nLength)
            return strBody;
    }
    Log(L"DownloadToMemory", L"answer cut short every time");
    return std::nullopt;
}
