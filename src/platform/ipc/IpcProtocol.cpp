#include "platform/ipc/IpcProtocol.h"

#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

void PutLe32(uint8_t* p, uint32_t nValue)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(nValue >> (8 * i));
}

void PutLe64(uint8_t* p, uint64_t nValue)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(nValue >> (8 * i));
}

uint32_t GetLe32(const uint8_t* p)
{
    uint32_t nValue = 0;
    for (int i = 3; i >= 0; --i)
        nValue = (nValue << 8) | p[i];
    return nValue;
}

uint64_t GetLe64(const uint8_t* p)
{
    uint64_t nValue = 0;
    for (int i = 7; i >= 0; --i)
        nValue = (nValue << 8) | p[i];
    return nValue;
}

void SetError(std::wstring* pstrError, const std::wstring& strError)
{
    if (pstrError)
        *pstrError = strError;
}

// The longest path a sockaddr_un holds with its terminating zero.
constexpr size_t kMaxSocketPath = sizeof(sockaddr_un::sun_path) - 1;

bool IsUsableFolder(const std::string& strFolder)
{
    return !strFolder.empty() && strFolder.front() == '/' && FolderExists(FromUtf8(strFolder)) &&
           access(strFolder.c_str(), W_OK | X_OK) == 0;
}

// FNV-1a: stable across builds and machines, which std::hash is not promised to be.
std::string HashText(const std::string& strText)
{
    uint64_t nHash = 0xcbf29ce484222325ULL;
    for (unsigned char c : strText) {
        nHash ^= c;
        nHash *= 0x100000001b3ULL;
    }
    char szHex[17];
    std::snprintf(szHex, sizeof(szHex), "%016llx", static_cast<unsigned long long>(nHash));
    return szHex;
}

// Cuts UTF-8 text to at most nBytes without splitting a character.
std::string CutUtf8(const std::string& strText, size_t nBytes)
{
    if (strText.size() <= nBytes)
        return strText;
    while (nBytes > 0 && (static_cast<unsigned char>(strText[nBytes]) & 0xC0) == 0x80)
        --nBytes;
    return strText.substr(0, nBytes);
}

} // namespace

IpcRequestBytes EncodeIpcRequest(const IpcRequest& request)
{
    IpcRequestBytes bytes{};
    PutLe32(&bytes[0], kIpcMagic);
    PutLe32(&bytes[4], request.nVersion);
    PutLe32(&bytes[8], request.nMessage);
    PutLe64(&bytes[16], static_cast<uint64_t>(request.wParam));
    PutLe64(&bytes[24], static_cast<uint64_t>(request.lParam));
    return bytes;
}

IpcReplyBytes EncodeIpcReply(const IpcReply& reply)
{
    IpcReplyBytes bytes{};
    PutLe32(&bytes[0], kIpcMagic);
    PutLe32(&bytes[4], reply.nVersion);
    PutLe32(&bytes[8], static_cast<uint32_t>(reply.status));
    PutLe64(&bytes[16], static_cast<uint64_t>(reply.nResult));
    return bytes;
}

std::optional<IpcRequest> DecodeIpcRequest(const IpcRequestBytes& bytes, std::wstring* pstrError)
{
    if (GetLe32(&bytes[0]) != kIpcMagic) {
        SetError(pstrError, L"not a message request (wrong magic number)");
        return std::nullopt;
    }
    IpcRequest request;
    request.nVersion = GetLe32(&bytes[4]);
    if (request.nVersion != kIpcVersion)
        return request;
    if (GetLe32(&bytes[12]) != 0) {
        SetError(pstrError, L"malformed message request (reserved field is not zero)");
        return std::nullopt;
    }
    request.nMessage = GetLe32(&bytes[8]);
    request.wParam = static_cast<uintptr_t>(GetLe64(&bytes[16]));
    request.lParam = static_cast<intptr_t>(GetLe64(&bytes[24]));
    return request;
}

std::optional<IpcReply> DecodeIpcReply(const IpcReplyBytes& bytes, std::wstring* pstrError)
{
    if (GetLe32(&bytes[0]) != kIpcMagic) {
        SetError(pstrError, L"the answer is not a message reply (wrong magic number)");
        return std::nullopt;
    }
    uint32_t nStatus = GetLe32(&bytes[8]);
    if (nStatus != static_cast<uint32_t>(IpcStatus::Handled) &&
        nStatus != static_cast<uint32_t>(IpcStatus::UnsupportedVersion)) {
        SetError(pstrError, FormatW(L"the answer has an unknown status %u", nStatus));
        return std::nullopt;
    }
    IpcReply reply;
    reply.nVersion = GetLe32(&bytes[4]);
    reply.status = static_cast<IpcStatus>(nStatus);
    reply.nResult = static_cast<intptr_t>(GetLe64(&bytes[16]));
    return reply;
}

std::wstring GetIpcSocketPath(const std::wstring& strTitle)
{
    if (strTitle.empty())
        return std::wstring();
    const std::string strUtf8 = ToUtf8(strTitle);
    std::string strName = strUtf8;
    bool bReplaced = false;
    for (char& c : strName) {
        unsigned char ch = static_cast<unsigned char>(c);
        if (ch == '/' || ch < 0x20 || ch == 0x7F) {
            c = '_';
            bReplaced = true;
        }
    }

    std::string strFolder = ToUtf8(GetEnv("XDG_RUNTIME_DIR"));
    std::string strStem = "brevanto-";
    const std::string strSuffix = "-" + HashText(strUtf8) + ".sock";
    // In /tmp the user id keeps the users of one machine apart. A runtime folder so long that
    // not even a shortened name fits goes there too.
    if (!IsUsableFolder(strFolder) ||
        strFolder.size() + 1 + strStem.size() + strSuffix.size() > kMaxSocketPath) {
        strFolder = "/tmp";
        strStem += std::to_string(getuid()) + "-";
    }
    strStem = strFolder + "/" + strStem;

    std::string strPath = strStem + strName + ".sock";
    if (!bReplaced && strPath.size() <= kMaxSocketPath)
        return FromUtf8(strPath);
    return FromUtf8(strStem + CutUtf8(strName, kMaxSocketPath - strStem.size() - strSuffix.size()) +
                    strSuffix);
}

int ConnectIpcSocket(const std::wstring& strPath, int& nErrno)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string strNative = ToNativePath(strPath);
    if (strNative.empty() || strNative.size() > kMaxSocketPath) {
        nErrno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(address.sun_path, strNative.c_str(), strNative.size() + 1);

    int hSocket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (hSocket < 0) {
        nErrno = errno;
        return -1;
    }
    int nRc;
    do {
        nRc = connect(hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (nRc != 0 && errno == EINTR);
    if (nRc != 0) {
        nErrno = errno;
        close(hSocket);
        return -1;
    }
    nErrno = 0;
    return hSocket;
}

} // namespace platform
