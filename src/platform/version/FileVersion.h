#pragma once

// The file version of an executable: four numbers stamped at build time as an ELF note (owner
// "Brevanto", type 1, a 16-byte descriptor of four 32-bit words) and read back from the file.
// A file without that note has no version. All functions are safe to call from any thread.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct FileVersion
{
    uint32_t nMajor = 0;
    uint32_t nMinor = 0;
    uint32_t nBuild = 0;
    uint32_t nRevision = 0;

    // "major.minor.build.revision", e.g. "1.0.0.1".
    std::wstring ToString() const;

    bool operator==(const FileVersion&) const = default;
};

// Reads the version note of an ELF file (32- or 64-bit, little-endian). nullopt when the file is
// missing, is not such an ELF file, is damaged or truncated, or carries no version note.
std::optional<FileVersion> GetFileVersion(const std::wstring& strPath);

// The version of the running executable.
std::optional<FileVersion> GetOwnFileVersion();

} // namespace platform
