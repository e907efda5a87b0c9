#include "platform/sync/InstanceLock.h"

#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {

// The name as one file name: no separators, no control characters.
std::wstring ToFileName(const std::wstring& strName)
{
    std::wstring strFile = strName;
    for (wchar_t& ch : strFile)
        if (ch == L'/' || ch < 0x20 || ch == 0x7F)
            ch = L'_';
    return strFile;
}

bool IsUsableFolder(const std::wstring& strFolder)
{
    return !strFolder.empty() && strFolder.front() == L'/' && FolderExists(strFolder) &&
           access(ToNativePath(strFolder).c_str(), W_OK | X_OK) == 0;
}

} // namespace

std::wstring InstanceLock::GetLockPath(const std::wstring& strName)
{
    std::wstring strFolder = GetEnv("XDG_RUNTIME_DIR");
    if (IsUsableFolder(strFolder))
        return JoinPath(strFolder, ToFileName(strName) + L".lock");
    return JoinPath(L"/tmp", ToFileName(strName) + FormatW(L"-%u.lock", static_cast<unsigned>(getuid())));
}

InstanceLock::InstanceLock(int hFile, std::wstring strPath) : m_hFile(hFile), m_strPath(std::move(strPath)) {}

// The file stays behind: deleting it on release would let a newcomer lock a fresh file while a
// third process still waits on the old one.
InstanceLock::~InstanceLock()
{
    close(m_hFile);
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(const std::wstring& strName, bool& bAlreadyHeld)
{
    bAlreadyHeld = false;
    if (strName.empty())
        return nullptr;
    std::wstring strPath = GetLockPath(strName);
    // Close-on-exec, so games and installers we start do not keep the lock alive after we exit.
    int hFile = open(ToNativePath(strPath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (hFile < 0)
        return nullptr;
    int nRc;
    do {
        nRc = flock(hFile, LOCK_EX | LOCK_NB);
    } while (nRc != 0 && errno == EINTR);
    if (nRc != 0) {
        bAlreadyHeld = errno == EWOULDBLOCK;
        close(hFile);
        return nullptr;
    }
    return std::unique_ptr<InstanceLock>(new InstanceLock(hFile, std::move(strPath)));
}

} // namespace platform
