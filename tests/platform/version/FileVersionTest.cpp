#include "platform/version/FileVersion.h"

#include "platform/text/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include <unistd.h>

using namespace platform;
using namespace testing_support;

namespace {

const FileVersion kHelperVersion = {3, 14, 15, 9265};

std::optional<FileVersion> VersionOf(const std::string& strPath)
{
    return GetFileVersion(FromUtf8(strPath));
}

void PutLe(std::string& bytes, size_t nOffset, uint64_t nValue, size_t nWidth)
{
    if (bytes.size() < nOffset + nWidth)
        bytes.resize(nOffset + nWidth, '\0');
    for (size_t i = 0; i < nWidth; ++i)
        bytes[nOffset + i] = static_cast<char>((nValue >> (8 * i)) & 0xFF);
}

// One note entry: the owner is given with its terminator, name and descriptor padded to nAlign.
std::string Note(const std::string& strOwner, uint32_t nType, const std::string& strDesc, size_t nAlign = 4)
{
    std::string note;
    PutLe(note, 0, strOwner.size(), 4);
    PutLe(note, 4, strDesc.size(), 4);
    PutLe(note, 8, nType, 4);
    note += strOwner;
    note.resize((note.size() + nAlign - 1) / nAlign * nAlign, '\0');
    note += strDesc;
    note.resize((note.size() + nAlign - 1) / nAlign * nAlign, '\0');
    return note;
}

std::string VersionDesc(const FileVersion& v)
{
    std::string desc;
    PutLe(desc, 0, v.nMajor, 4);
    PutLe(desc, 4, v.nMinor, 4);
    PutLe(desc, 8, v.nBuild, 4);
    PutLe(desc, 12, v.nRevision, 4);
    return desc;
}

const std::string kOwner("Brevanto", 9);

// A minimal ELF file: the header, the note bytes right after it and a one-entry section or
// program header table listing them as a note area.
struct ElfSpec
{
    bool b64 = true;
    bool bInSection = false;
    uint64_t nAlign = 4;
    std::string strNotes;
    uint8_t nDataEncoding = 1;  // 1 little-endian, 2 big-endian
    uint64_t nClaimedExtra = 0; // added to the note area's size in the table
};

std::string BuildElf(const ElfSpec& spec)
{
    const size_t nHeader = spec.b64 ? 64 : 52;
    const size_t nW = spec.b64 ? 8 : 4;
    std::string elf(nHeader, '\0');
    elf[0] = '\x7F';
    elf[1] = 'E';
    elf[2] = 'L';
    elf[3] = 'F';
    elf[4] = static_cast<char>(spec.b64 ? 2 : 1);
    elf[5] = static_cast<char>(spec.nDataEncoding);
    elf[6] = 1;
    elf += spec.strNotes;
    elf.resize((elf.size() + 7) / 8 * 8, '\0');
    const size_t nTable = elf.size();
    const uint64_t nAreaSize = spec.strNotes.size() + spec.nClaimedExtra;
    if (spec.bInSection) {
        const size_t nEntry = spec.b64 ? 64 : 40;
        PutLe(elf, spec.b64 ? 40 : 32, nTable, nW); // e_shoff
        PutLe(elf, spec.b64 ? 58 : 46, nEntry, 2);
        PutLe(elf, spec.b64 ? 60 : 48, 1, 2);
        PutLe(elf, nTable + 4, 7, 4); // SHT_NOTE
        PutLe(elf, nTable + (spec.b64 ? 24 : 16), nHeader, nW);
        PutLe(elf, nTable + (spec.b64 ? 32 : 20), nAreaSize, nW);
        PutLe(elf, nTable + (spec.b64 ? 48 : 32), spec.nAlign, nW);
        elf.resize(nTable + nEntry, '\0');
    } else {
        const size_t nEntry = spec.b64 ? 56 : 32;
        PutLe(elf, spec.b64 ? 32 : 28, nTable, nW); // e_phoff
        PutLe(elf, spec.b64 ? 54 : 42, nEntry, 2);
        PutLe(elf, spec.b64 ? 56 : 44, 1, 2);
        PutLe(elf, nTable, 4, 4); // PT_NOTE
        PutLe(elf, nTable + (spec.b64 ? 8 : 4), nHeader, nW);
        PutLe(elf, nTable + (spec.b64 ? 32 : 16), nAreaSize, nW);
        PutLe(elf, nTable + (spec.b64 ? 48 : 28), spec.nAlign, nW);
        elf.resize(nTable + nEntry, '\0');
    }
    return elf;
}

// Offset and end of our note in an executable's bytes.
std::pair<size_t, size_t> FindNote(const std::string& bytes)
{
    std::string strHead;
    PutLe(strHead, 0, 9, 4);
    PutLe(strHead, 4, 16, 4);
    PutLe(strHead, 8, 1, 4);
    size_t nPos = bytes.find(strHead + kOwner);
    if (nPos == std::string::npos)
        return {0, 0};
    return {nPos, nPos + 12 + 12 + 16};
}

} // namespace

TEST(FileVersion, StampedHelperReadsItsVersion)
{
    std::optional<FileVersion> version = VersionOf(BinPath("test-helper-versioned"));
    ASSERT_TRUE(version);
    EXPECT_EQ(*version, kHelperVersion);
    EXPECT_EQ(version->ToString(), L"3.14.15.9265");
}

TEST(FileVersion, RunningExecutableReadsProjectVersion)
{
    std::optional<FileVersion> version = GetOwnFileVersion();
    ASSERT_TRUE(version);
    EXPECT_EQ(version->ToString(), L"1.0.0.1");
}

TEST(FileVersion, FilesWithoutOurNoteHaveNoVersion)
{
    TempDir dir;
    std::string strText = dir / "readme.txt";
    WriteFile(strText, "not an executable\n");
    std::string strRandom = dir / "random.bin";
    std::mt19937 rng(7);
    std::string random(4096, '\0');
    for (char& c : random)
        c = static_cast<char>(rng());
    WriteFile(strRandom, random);
    std::string strElfHeadRandom = dir / "elf-then-random.bin";
    WriteFile(strElfHeadRandom, std::string("\x7F"
                                            "ELF\x02\x01\x01",
                                            7) +
                                    random);

    for (const std::string& strPath :
         {std::string("/bin/true"), dir / "missing", dir.Path(), strText, strRandom, strElfHeadRandom})
        EXPECT_FALSE(VersionOf(strPath)) << strPath;
}

TEST(FileVersion, HandMadeElfFilesAreParsedByTheirTables)
{
    const std::string strVersion = Note(kOwner, 1, VersionDesc(kHelperVersion));
    const std::string strGnu = Note(std::string("GNU", 4), 3, std::string(20, '\x5A'));
    struct Case
    {
        const char* pszName;
        ElfSpec spec;
        bool bFound;
    } cases[] = {
        {"elf64 segment", {true, false, 4, strVersion}, true},
        {"elf64 section", {true, true, 4, strVersion}, true},
        {"elf32 segment", {false, false, 4, strVersion}, true},
        {"elf32 section", {false, true, 4, strVersion}, true},
        {"after a foreign note", {true, true, 4, strGnu + strVersion}, true},
        {"8-byte aligned area",
         {true, false, 8,
          Note(std::string("GNU", 4), 5, std::string(12, '\1'), 8) +
              Note(kOwner, 1, VersionDesc(kHelperVersion), 8)},
         true},
        {"wrong type", {true, true, 4, Note(kOwner, 2, VersionDesc(kHelperVersion))}, false},
        {"wrong owner",
         {true, true, 4, Note(std::string("Brevantx", 9), 1, VersionDesc(kHelperVersion))},
         false},
        {"owner without terminator",
         {true, true, 4, Note("Brevanto", 1, VersionDesc(kHelperVersion))},
         false},
        {"short descriptor", {true, true, 4, Note(kOwner, 1, std::string(12, '\1'))}, false},
        {"big-endian", {true, true, 4, strVersion, 2}, false},
        {"area past the end of the file", {true, true, 4, strVersion, 1, 4096}, false},
        {"area size near 2^64", {true, false, 4, strVersion, 1, ~uint64_t(0) - 100}, false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string strPath = dir / "elf";
        WriteFile(strPath, BuildElf(c.spec));
        std::optional<FileVersion> version = VersionOf(strPath);
        EXPECT_EQ(version.has_value(), c.bFound) << c.pszName;
        if (version && c.bFound) {
            EXPECT_EQ(*version, kHelperVersion) << c.pszName;
        }
    }
}

TEST(FileVersion, NoteWithHugeNameSizeIsRejected)
{
    std::string notes = Note(kOwner, 1, VersionDesc(kHelperVersion));
    PutLe(notes, 0, 0xFFFFFFF0u, 4); // namesz
    TempDir dir;
    WriteFile(dir / "elf", BuildElf({true, true, 4, notes}));
    EXPECT_FALSE(VersionOf(dir / "elf"));
    PutLe(notes, 0, 9, 4);
    PutLe(notes, 4, 0xFFFFFFF0u, 4); // descsz
    WriteFile(dir / "elf", BuildElf({true, false, 4, notes}));
    EXPECT_FALSE(VersionOf(dir / "elf"));
}

// Every piece is parsed from a buffer of exactly its size, so AddressSanitizer shows any read
// past what the file holds.
TEST(FileVersion, TruncatedCopiesGiveTheVersionOrNothing)
{
    const std::string bytes = ReadFile(BinPath("test-helper-versioned"));
    ASSERT_GT(bytes.size(), 1000u);
    const auto [nNote, nNoteEnd] = FindNote(bytes);
    ASSERT_GT(nNoteEnd, 0u) << "the helper carries no version note";

    std::set<size_t> lengths;
    for (size_t n = 0; n < bytes.size(); n += std::max<size_t>(1, bytes.size() / 200))
        lengths.insert(n);
    for (size_t n = 0; n <= 128; ++n)
        lengths.insert(n);
    for (size_t n = nNote > 64 ? nNote - 64 : 0; n <= nNoteEnd + 64 && n <= bytes.size(); ++n)
        lengths.insert(n);
    for (size_t n = bytes.size() > 256 ? bytes.size() - 256 : 0; n <= bytes.size(); ++n)
        lengths.insert(n);

    TempDir dir;
    const std::string strPath = dir / "truncated";
    WriteFile(strPath, bytes);
    size_t nFound = 0;
    // Longest first, so each copy is the previous one cut shorter.
    for (auto it = lengths.rbegin(); it != lengths.rend(); ++it) {
        ASSERT_EQ(truncate(strPath.c_str(), static_cast<off_t>(*it)), 0);
        std::optional<FileVersion> version = VersionOf(strPath);
        if (*it < nNoteEnd) {
            EXPECT_FALSE(version) << "length " << *it;
        } else if (version) {
            EXPECT_EQ(*version, kHelperVersion) << "length " << *it;
            ++nFound;
        }
        if (*it == bytes.size()) {
            EXPECT_TRUE(version) << "the whole file";
        }
    }
    // The program headers sit at the start, so a copy that lost its section table still reads.
    EXPECT_GT(nFound, 1u);
}
