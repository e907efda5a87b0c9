#include "platform/version/FileVersion.h"

#include "platform/fs/FileSystem.h"
#include "platform/text/Text.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The file is read piece by piece rather than whole: executables can be large, and only the
// headers and the note sections matter. Every piece is read into a buffer of exactly its size,
// so the parsing below cannot wander past what was read.

constexpr uint8_t kElfMagic[] = {0x7F, 'E', 'L', 'F'};
constexpr char kNoteOwner[] = "Brevanto"; // with its terminator: 9 bytes, as the note stores it
constexpr uint32_t kNoteTypeVersion = 1;
constexpr uint32_t kNoteDescSize = 16;

constexpr uint32_t kSectionTypeNote = 7; // SHT_NOTE
constexpr uint32_t kSegmentTypeNote = 4; // PT_NOTE

// No sane executable has note sections or header tables this large; the cap keeps a damaged
// size field from turning into a huge allocation.
constexpr uint64_t kMaxPieceSize = 16u * 1024 * 1024;

using Bytes = std::vector<uint8_t>;

uint64_t ReadLe(const Bytes& bytes, size_t nOffset, size_t nWidth)
{
    // Callers only ask for fields inside entries whose size they checked.
    uint64_t nValue = 0;
    for (size_t i = 0; i < nWidth; ++i)
        nValue |= static_cast<uint64_t>(bytes[nOffset + i]) << (8 * i);
    return nValue;
}

class ElfFile
{
public:
    explicit ElfFile(const std::string& strPath) : m_hFile(open(strPath.c_str(), O_RDONLY | O_CLOEXEC))
    {
        struct stat st
        {
        };
        if (m_hFile >= 0 && fstat(m_hFile, &st) == 0 && S_ISREG(st.st_mode))
            m_nSize = static_cast<uint64_t>(st.st_size);
    }
    ~ElfFile()
    {
        if (m_hFile >= 0)
            close(m_hFile);
    }
    ElfFile(const ElfFile&) = delete;
    ElfFile& operator=(const ElfFile&) = delete;

    // The bytes [nOffset, nOffset + nLength), or nullopt when any of them lies outside the file.
    std::optional<Bytes> Read(uint64_t nOffset, uint64_t nLength) const
    {
        if (m_hFile < 0 || nLength > kMaxPieceSize || nOffset > m_nSize || nLength > m_nSize - nOffset)
            return std::nullopt;
        Bytes bytes(static_cast<size_t>(nLength));
        size_t nDone = 0;
        while (nDone < bytes.size()) {
            ssize_t n = pread(m_hFile, bytes.data() + nDone, bytes.size() - nDone,
                              static_cast<off_t>(nOffset + nDone));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return std::nullopt; // shrank under us, or a read error
            nDone += static_cast<size_t>(n);
        }
        return bytes;
    }

private:
    int m_hFile;
    uint64_t m_nSize = 0;
};

// Offsets of the fields we use, which differ between the 32- and 64-bit formats.
struct ElfLayout
{
    size_t nHeaderSize;
    size_t nPhOff, nShOff, nPhEntSize, nPhNum, nShEntSize, nShNum;
    size_t nAddrWidth; // width of offsets and sizes
    size_t nSectionSize, nShType, nShOffset, nShSize, nShAlign;
    size_t nSegmentSize, nPType, nPOffset, nPFileSize, nPAlign;
};

constexpr ElfLayout kElf32 = {52, 28, 32, 42, 44, 46, 48, 4, 40, 4, 16, 20, 32, 32, 0, 4, 16, 28};
constexpr ElfLayout kElf64 = {64, 32, 40, 54, 56, 58, 60, 8, 64, 4, 24, 32, 48, 56, 0, 8, 32, 48};

// A note area: the offset and size of a note section or segment and its entry alignment.
struct NoteArea
{
    uint64_t nOffset;
    uint64_t nSize;
    uint64_t nAlign;
};

uint64_t AlignUp(uint64_t nValue, uint64_t nAlign)
{
    return (nValue + nAlign - 1) / nAlign * nAlign;
}

std::optional<FileVersion> FindVersionNote(const Bytes& notes, uint64_t nAlign)
{
    // Notes are padded to 4 bytes, or to 8 in areas aligned that way.
    nAlign = nAlign == 8 ? 8 : 4;
    uint64_t nPos = 0;
    const uint64_t nEnd = notes.size();
    while (nEnd - nPos >= 12) {
        uint64_t nNameSize = ReadLe(notes, nPos, 4);
        uint64_t nDescSize = ReadLe(notes, nPos + 4, 4);
        uint64_t nType = ReadLe(notes, nPos + 8, 4);
        uint64_t nName = nPos + 12;
        if (nNameSize > nEnd - nName)
            return std::nullopt;
        uint64_t nDesc = AlignUp(nName + nNameSize, nAlign);
        if (nDesc > nEnd || nDescSize > nEnd - nDesc)
            return std::nullopt;
        if (nType == kNoteTypeVersion && nDescSize == kNoteDescSize && nNameSize == sizeof(kNoteOwner) &&
            std::memcmp(notes.data() + nName, kNoteOwner, sizeof(kNoteOwner)) == 0) {
            FileVersion version;
            version.nMajor = static_cast<uint32_t>(ReadLe(notes, nDesc, 4));
            version.nMinor = static_cast<uint32_t>(ReadLe(notes, nDesc + 4, 4));
            version.nBuild = static_cast<uint32_t>(ReadLe(notes, nDesc + 8, 4));
            version.nRevision = static_cast<uint32_t>(ReadLe(notes, nDesc + 12, 4));
            return version;
        }
        nPos = AlignUp(nDesc + nDescSize, nAlign);
        if (nPos > nEnd)
            return std::nullopt;
    }
    return std::nullopt;
}

// Reads a header table (sections or segments) and returns the note areas it lists.
std::vector<NoteArea> ReadNoteAreas(const ElfFile& file, const ElfLayout& layout, uint64_t nTableOffset,
                                    uint64_t nEntrySize, uint64_t nCount, bool bSections)
{
    std::vector<NoteArea> areas;
    const size_t nMinEntry = bSections ? layout.nSectionSize : layout.nSegmentSize;
    if (nTableOffset == 0 || nCount == 0 || nEntrySize < nMinEntry || nCount > kMaxPieceSize / nEntrySize)
        return areas;
    std::optional<Bytes> table = file.Read(nTableOffset, nEntrySize * nCount);
    if (!table)
        return areas;
    const size_t nW = layout.nAddrWidth;
    for (uint64_t i = 0; i < nCount; ++i) {
        size_t nEntry = static_cast<size_t>(i * nEntrySize);
        if (bSections) {
            if (ReadLe(*table, nEntry + layout.nShType, 4) == kSectionTypeNote)
                areas.push_back({ReadLe(*table, nEntry + layout.nShOffset, nW),
                                 ReadLe(*table, nEntry + layout.nShSize, nW),
                                 ReadLe(*table, nEntry + layout.nShAlign, nW)});
        } else {
            if (ReadLe(*table, nEntry + layout.nPType, 4) == kSegmentTypeNote)
                areas.push_back({ReadLe(*table, nEntry + layout.nPOffset, nW),
                                 ReadLe(*table, nEntry + layout.nPFileSize, nW),
                                 ReadLe(*table, nEntry + layout.nPAlign, nW)});
        }
    }
    return areas;
}

std::optional<FileVersion> SearchAreas(const ElfFile& file, const std::vector<NoteArea>& areas)
{
    for (const NoteArea& area : areas) {
        std::optional<Bytes> notes = file.Read(area.nOffset, area.nSize);
        if (!notes)
            continue;
        if (std::optional<FileVersion> version = FindVersionNote(*notes, area.nAlign))
            return version;
    }
    return std::nullopt;
}

std::optional<FileVersion> ReadVersion(const ElfFile& file)
{
    std::optional<Bytes> ident = file.Read(0, 16);
    if (!ident || std::memcmp(ident->data(), kElfMagic, sizeof(kElfMagic)) != 0)
        return std::nullopt;
    const uint8_t nClass = (*ident)[4];
    const uint8_t nData = (*ident)[5];
    if (nData != 1 || (nClass != 1 && nClass != 2)) // little-endian, ELFCLASS32 or ELFCLASS64
        return std::nullopt;
    const ElfLayout& layout = nClass == 2 ? kElf64 : kElf32;
    std::optional<Bytes> header = file.Read(0, layout.nHeaderSize);
    if (!header)
        return std::nullopt;
    const size_t nW = layout.nAddrWidth;

    // Sections first: each note section carries its own alignment. A stripped or truncated file
    // may have lost its section table (it sits at the end), so the segments come second.
    uint64_t nShOff = ReadLe(*header, layout.nShOff, nW);
    uint64_t nShEntSize = ReadLe(*header, layout.nShEntSize, 2);
    uint64_t nShNum = ReadLe(*header, layout.nShNum, 2);
    if (nShNum == 0 && nShOff != 0) {
        // More sections than the header field holds: the count is in section 0's size.
        std::optional<Bytes> first =
            nShEntSize >= layout.nSectionSize ? file.Read(nShOff, nShEntSize) : std::nullopt;
        if (first)
            nShNum = ReadLe(*first, layout.nShSize, nW);
    }
    if (auto version = SearchAreas(file, ReadNoteAreas(file, layout, nShOff, nShEntSize, nShNum, true)))
        return version;

    uint64_t nPhOff = ReadLe(*header, layout.nPhOff, nW);
    uint64_t nPhEntSize = ReadLe(*header, layout.nPhEntSize, 2);
    uint64_t nPhNum = ReadLe(*header, layout.nPhNum, 2);
    return SearchAreas(file, ReadNoteAreas(file, layout, nPhOff, nPhEntSize, nPhNum, false));
}

} // namespace

std::wstring FileVersion::ToString() const
{
    return FormatW(L"%u.%u.%u.%u", nMajor, nMinor, nBuild, nRevision);
}

std::optional<FileVersion> GetFileVersion(const std::wstring& strPath)
{
    ElfFile file(ToNativePath(strPath));
    return ReadVersion(file);
}

std::optional<FileVersion> GetOwnFileVersion()
{
    // The link itself rather than the path it names: it still opens when the file was replaced.
    return GetFileVersion(L"/proc/self/exe");
}

} // namespace platform
