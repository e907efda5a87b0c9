#include "platform/fs/FileSystem.h"

#include "platform/text/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace platform;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(FileSystem, FolderAndJoinTable)
{
    struct Case
    {
        std::wstring strPath, strFolder;
    } cases[] = {{L"/opt/brevanto/launcher", L"/opt/brevanto"}, {L"/launcher", L"/"}, {L"launcher", L""}};
    for (const Case& c : cases)
        EXPECT_EQ(GetFolderOf(c.strPath), c.strFolder) << ToUtf8(c.strPath);
    EXPECT_EQ(JoinPath(L"/a", L"b"), L"/a/b");
    EXPECT_EQ(JoinPath(L"/a/", L"b"), L"/a/b");
    EXPECT_EQ(JoinPath(L"", L"b"), L"b");
}

TEST(FileSystem, ModuleFileNameIsThisTest)
{
    std::wstring strPath = GetModuleFileName();
    EXPECT_TRUE(FileExists(strPath));
    EXPECT_NE(strPath.find(L"FileSystemTest"), std::wstring::npos);
}

TEST(FileSystem, FilesInAFolderWithSpacesAndNonAscii)
{
    TempDir dir;
    std::wstring strFolder = JoinPath(FromUtf8(dir.Path()), L"My Games/\u0418\u0433\u0440\u044B");
    ASSERT_TRUE(CreateFolders(strFolder));
    EXPECT_TRUE(CreateFolder(strFolder)); // already there
    std::wstring strFile = JoinPath(strFolder, L"trialinstaller_s");
    ASSERT_TRUE(WriteFileBytes(strFile, "MZ data"));
    EXPECT_EQ(GetFileSize(strFile), 7u);
    EXPECT_EQ(ReadFileBytes(strFile, 2), "MZ");

    std::wstring strCopy = strFile + L".exe";
    EXPECT_TRUE(CopyFile(strFile, strCopy));
    EXPECT_FALSE(CopyFile(strFile, strCopy, true));
    EXPECT_TRUE(CopyFile(strFile, strCopy));
    EXPECT_EQ(ReadFileBytes(strCopy), "MZ data");

    EXPECT_TRUE(MoveFile(strCopy, strFile + L"_moved"));
    EXPECT_FALSE(FileExists(strCopy));
    EXPECT_TRUE(DeleteFile(strFile + L"_moved"));
    EXPECT_FALSE(DeleteFile(strFile + L"_moved"));
    EXPECT_FALSE(RemoveFolder(strFolder)); // not empty
    EXPECT_TRUE(RemoveTree(JoinPath(FromUtf8(dir.Path()), L"My Games")));
    EXPECT_FALSE(FolderExists(strFolder));
}

TEST(FileSystem, MissingFilesReportFailure)
{
    TempDir dir;
    std::wstring strMissing = FromUtf8(dir / "missing");
    EXPECT_FALSE(FileExists(strMissing));
    EXPECT_FALSE(GetFileSize(strMissing));
    EXPECT_FALSE(ReadFileBytes(strMissing));
    EXPECT_FALSE(CopyFile(strMissing, strMissing + L"2"));
    EXPECT_FALSE(GetFileSize(FromUtf8(dir.Path()))); // a folder is not a file
    EXPECT_FALSE(WriteFileBytes(FromUtf8(dir / "no/such/folder/file"), "x"));
}
