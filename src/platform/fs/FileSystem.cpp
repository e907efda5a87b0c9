#include "platform/fs/FileSystem.h"

#include "platform/text/Text.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace stdfs = std::filesystem;

std::string ToNativePath(const std::wstring& strPath)
{
    return ToUtf8(strPath);
}

std::wstring GetModuleFileName()
{
    std::vector<char> buf(4096);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return std::wstring();
    return FromUtf8(std::string_view(buf.data(), static_cast<size_t>(n)));
}

std::wstring GetFolderOf(const std::wstring& strPath)
{
    size_t nPos = strPath.find_last_of(kPathSeparator);
    if (nPos == std::wstring::npos)
        return std::wstring();
    return nPos == 0 ? std::wstring(1, kPathSeparator) : strPath.substr(0, nPos);
}

std::wstring JoinPath(const std::wstring& strFolder, const std::wstring& strName)
{
    if (strFolder.empty())
        return strName;
    if (strFolder.back() == kPathSeparator)
        return strFolder + strName;
    return strFolder + kPathSeparator + strName;
}

bool FileExists(const std::wstring& strPath)
{
    struct stat st
    {
    };
    return stat(ToNativePath(strPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::wstring& strPath)
{
    struct stat st
    {
    };
    return stat(ToNativePath(strPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<uint64_t> GetFileSize(const std::wstring& strPath)
{
    struct stat st
    {
    };
    if (stat(ToNativePath(strPath).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

bool CreateFolder(const std::wstring& strPath)
{
    if (mkdir(ToNativePath(strPath).c_str(), 0755) == 0)
        return true;
    return errno == EEXIST && FolderExists(strPath);
}

bool CreateFolders(const std::wstring& strPath)
{
    std::error_code ec;
    stdfs::create_directories(stdfs::path(ToNativePath(strPath)), ec);
    return FolderExists(strPath);
}

bool CopyFile(const std::wstring& strFrom, const std::wstring& strTo, bool bFailIfExists)
{
    std::error_code ec;
    auto options = bFailIfExists ? stdfs::copy_options::none : stdfs::copy_options::overwrite_existing;
    return stdfs::copy_file(stdfs::path(ToNativePath(strFrom)), stdfs::path(ToNativePath(strTo)), options,
                            ec) &&
           !ec;
}

bool MoveFile(const std::wstring& strFrom, const std::wstring& strTo)
{
    return std::rename(ToNativePath(strFrom).c_str(), ToNativePath(strTo).c_str()) == 0;
}

bool DeleteFile(const std::wstring& strPath)
{
    return unlink(ToNativePath(strPath).c_str()) == 0;
}

bool RemoveFolder(const std::wstring& strPath)
{
    return rmdir(ToNativePath(strPath).c_str()) == 0;
}

bool RemoveTree(const std::wstring& strPath)
{
    std::error_code ec;
    stdfs::remove_all(stdfs::path(ToNativePath(strPath)), ec);
    return !ec && !FolderExists(strPath) && !FileExists(strPath);
}

bool CreateEmptyFile(const std::wstring& strPath)
{
    int fd = open(ToNativePath(strPath).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::optional<std::string> ReadFileBytes(const std::wstring& strPath, uint64_t nMaxBytes)
{
    FILE* pFile = std::fopen(ToNativePath(strPath).c_str(), "rbe");
    if (!pFile)
        return std::nullopt;
    std::string data;
    char buf[65536];
    while (data.size() < nMaxBytes) {
        size_t nWant = static_cast<size_t>(std::min<uint64_t>(sizeof buf, nMaxBytes - data.size()));
        size_t n = std::fread(buf, 1, nWant, pFile);
        if (n == 0)
            break;
        data.append(buf, n);
    }
    bool bError = std::ferror(pFile) != 0;
    std::fclose(pFile);
    if (bError)
        return std::nullopt;
    return data;
}

bool WriteFileBytes(const std::wstring& strPath, const std::string& data)
{
    FILE* pFile = std::fopen(ToNativePath(strPath).c_str(), "wbe");
    if (!pFile)
        return false;
    bool bOk = std::fwrite(data.data(), 1, data.size(), pFile) == data.size();
    bOk = (std::fclose(pFile) == 0) && bOk;
    return bOk;
}

bool CanOpenForReading(const std::wstring& strPath)
{
    if (!FileExists(strPath))
        return false;
    FILE* pFile = std::fopen(ToNativePath(strPath).c_str(), "rbe");
    if (!pFile)
        return false;
    std::fclose(pFile);
    return true;
}

} // namespace platform
