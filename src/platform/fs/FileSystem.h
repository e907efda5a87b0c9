#pragma once

// Files and folders. Paths are wide text inside the program and UTF-8 on disk; the separator
// is '/'. Every operation reports failure through its result and never throws.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

inline constexpr wchar_t kPathSeparator = L'/';

// Path of the running executable (from /proc/self/exe); empty when it cannot be read.
std::wstring GetModuleFileName();
// The folder part of a path: the text before its last separator ("" when there is none).
std::wstring GetFolderOf(const std::wstring& strPath);
// strFolder + "/" + strName, without doubling a trailing separator.
std::wstring JoinPath(const std::wstring& strFolder, const std::wstring& strName);

bool FileExists(const std::wstring& strPath);        // a regular file (or a link to one)
bool FolderExists(const std::wstring& strPath);      // a directory
bool CanOpenForReading(const std::wstring& strPath); // a regular file that opens for reading
std::optional<uint64_t> GetFileSize(const std::wstring& strPath);

// Creates one folder; true when it exists afterwards.
bool CreateFolder(const std::wstring& strPath);
// Creates a folder with every missing parent; true when it exists afterwards.
bool CreateFolders(const std::wstring& strPath);
// Copies a file, replacing the target unless bFailIfExists.
bool CopyFile(const std::wstring& strFrom, const std::wstring& strTo, bool bFailIfExists = false);
// Renames a file, replacing the target.
bool MoveFile(const std::wstring& strFrom, const std::wstring& strTo);
bool DeleteFile(const std::wstring& strPath);
// Removes an empty folder.
bool RemoveFolder(const std::wstring& strPath);
// Removes a folder with everything in it.
bool RemoveTree(const std::wstring& strPath);

// Creates an empty file or truncates an existing one.
bool CreateEmptyFile(const std::wstring& strPath);
// Reads a whole file, at most nMaxBytes of it; nullopt when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::wstring& strPath, uint64_t nMaxBytes = UINT64_MAX);
// Writes (replaces) a whole file.
bool WriteFileBytes(const std::wstring& strPath, const std::string& data);

// The UTF-8 form of a path for the C library.
std::string ToNativePath(const std::wstring& strPath);

} // namespace platform
