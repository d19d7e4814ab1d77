// Tree deletion and the existence test on real folders and files in the test
// prefix.
#include <gtest/gtest.h>

#include <string>

#include "services/deletion_check.h"
#include "services/protected_folders.h"
#include "services/tree_delete.h"
#include "services_support.h"

namespace {

using fixture::Exists;
using fixture::IsFolder;
using fixture::MakeFolders;
using fixture::WriteFile;

void MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    ASSERT_TRUE(WriteFile(path, "content of " + path)) << path;
    if (attributes != FILE_ATTRIBUTE_NORMAL) SetFileAttributesA(path.c_str(), attributes);
}

bool IsEmptyFolder(const std::string& path)
{
    return IsFolder(path) && services_test::Snapshot(path).empty();
}

class DeleteTreeTest : public ::testing::Test {
protected:
    void SetUp() override { root = fixture::TempRoot(); }
    void TearDown() override { fixture::RemoveAll(root); }
    std::string root;
};

TEST_F(DeleteTreeTest, EmptiesReadOnlyAndHiddenFilesTwoLevelsDownAndKeepsTheFolder)
{
    MakeFolders(root + "\\one\\two");
    MakeFile(root + "\\top.txt", FILE_ATTRIBUTE_READONLY);
    MakeFile(root + "\\hidden.dat", FILE_ATTRIBUTE_HIDDEN);
    MakeFile(root + "\\one\\both.ini", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    MakeFile(root + "\\one\\two\\deep.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    SetFileAttributesA((root + "\\one\\two").c_str(), FILE_ATTRIBUTE_HIDDEN);
    DeleteTree((root + "\\*.*").c_str(), true);
    EXPECT_TRUE(IsEmptyFolder(root)) << services_test::Snapshot(root);
    DeleteTree((root + "\\*.*").c_str(), true);   // a second run is harmless
    EXPECT_TRUE(IsEmptyFolder(root));
}

TEST_F(DeleteTreeTest, WithoutClearingAttributesAReadOnlyFileStaysWithItsFolders)
{
    MakeFolders(root + "\\one\\two");
    MakeFile(root + "\\one\\two\\locked.txt", FILE_ATTRIBUTE_READONLY);
    MakeFile(root + "\\one\\plain.txt");
    DeleteTree((root + "\\*.*").c_str(), false);
    EXPECT_TRUE(Exists(root + "\\one\\two\\locked.txt"));
    EXPECT_FALSE(Exists(root + "\\one\\plain.txt"));
}

TEST_F(DeleteTreeTest, ASystemFileSparesItsFoldersAndASystemFolderIsNotEntered)
{
    MakeFolders(root + "\\keep\\deeper");
    MakeFolders(root + "\\gone\\also");
    MakeFolders(root + "\\sysdir");
    MakeFile(root + "\\keep\\deeper\\system.dat", FILE_ATTRIBUTE_SYSTEM);
    MakeFile(root + "\\keep\\deeper\\other.dat");
    MakeFile(root + "\\keep\\sibling.txt");
    MakeFile(root + "\\gone\\also\\x.txt");
    MakeFile(root + "\\sysdir\\inside.txt");
    SetFileAttributesA((root + "\\sysdir").c_str(), FILE_ATTRIBUTE_SYSTEM);
    DeleteTree((root + "\\*.*").c_str(), true);
    EXPECT_TRUE(Exists(root + "\\keep\\deeper\\system.dat"));
    EXPECT_FALSE(Exists(root + "\\keep\\deeper\\other.dat"));
    EXPECT_FALSE(Exists(root + "\\keep\\sibling.txt"));
    EXPECT_FALSE(Exists(root + "\\gone"));
    EXPECT_TRUE(Exists(root + "\\sysdir\\inside.txt")) << "a system folder is not entered";
}

TEST_F(DeleteTreeTest, ANarrowMaskSelectsFilesAndFoldersAtEveryLevel)
{
    MakeFolders(root + "\\OV3270match.CAB");
    MakeFolders(root + "\\other");
    MakeFile(root + "\\OV3270A.CAB");
    MakeFile(root + "\\ov3270b.cab");
    MakeFile(root + "\\OV3270A.TXT");
    MakeFile(root + "\\XOV3270.CAB");
    MakeFile(root + "\\OV3270match.CAB\\OV3270inner.CAB");
    MakeFile(root + "\\OV3270match.CAB\\readme.txt");
    MakeFile(root + "\\other\\OV3270C.CAB");
    DeleteTree((root + "\\OV3270*.CAB").c_str(), true);
    EXPECT_FALSE(Exists(root + "\\OV3270A.CAB"));
    EXPECT_FALSE(Exists(root + "\\ov3270b.cab"));
    EXPECT_TRUE(Exists(root + "\\OV3270A.TXT"));
    EXPECT_TRUE(Exists(root + "\\XOV3270.CAB"));
    EXPECT_FALSE(Exists(root + "\\OV3270match.CAB\\OV3270inner.CAB"));
    EXPECT_TRUE(Exists(root + "\\OV3270match.CAB\\readme.txt"));
    EXPECT_TRUE(Exists(root + "\\other\\OV3270C.CAB")) << "a non-matching folder is not entered";
}

TEST_F(DeleteTreeTest, EmptyRelativeAndMissingPatternsDoNothing)
{
    MakeFile(root + "\\bystander.txt");
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    DeleteTree("", true);
    DeleteTree("*.*", true);
    DeleteTree(".\\*.*", true);
    DeleteTree("\\*.*", true);
    SetCurrentDirectoryA(previous);
    EXPECT_TRUE(Exists(root + "\\bystander.txt"));
    DeleteTree((root + "\\missing\\*.*").c_str(), true);
    DeleteTree((root + "\\missing\\..\\*.*").c_str(), true);
    DeleteTree((root + "\\.\\*.*").c_str(), true);
    EXPECT_TRUE(Exists(root + "\\bystander.txt"));
    EXPECT_FALSE(Exists(root + "\\missing"));
}

TEST_F(DeleteTreeTest, AMaskWithASlashCannotListAnotherFolder)
{
    MakeFolders(root + "\\inner");
    MakeFile(root + "\\same.txt");
    MakeFile(root + "\\inner\\same.txt");
    DeleteTree((root + "\\inner/*.*").c_str(), true);
    EXPECT_TRUE(Exists(root + "\\same.txt"));
    EXPECT_TRUE(Exists(root + "\\inner\\same.txt"));
}

TEST_F(DeleteTreeTest, PathsPast259CharactersAreSkippedNeverCut)
{
    std::string fits = services_test::PathOfLength(root, 259);
    std::string over = services_test::PathOfLength(root, 260);
    MakeFile(fits);
    MakeFile(over);   // Wine's single-byte calls take it; the deletion must not
    // A sub-folder whose pattern "\*.*" would pass 259 is not entered.
    std::string deepFolder = services_test::PathOfLength(root + "\\d", 257);
    MakeFolders(deepFolder);
    MakeFile(deepFolder + "\\f");
    std::string edgeFolder = services_test::PathOfLength(root + "\\e", 255);   // pattern 259
    MakeFolders(edgeFolder);
    MakeFile(edgeFolder + "\\f");
    DeleteTree((root + "\\*.*").c_str(), true);
    EXPECT_FALSE(Exists(fits));
    EXPECT_TRUE(Exists(over));
    EXPECT_TRUE(Exists(deepFolder + "\\f"));
    EXPECT_FALSE(Exists(edgeFolder));
}

TEST_F(DeleteTreeTest, ADeepTreeIsEmptied)
{
    std::string path = root;
    while (path.size() + 6 < 255) path += "\\a";
    MakeFolders(path);
    MakeFile(path + "\\x.txt");
    DeleteTree((root + "\\*.*").c_str(), true);
    EXPECT_TRUE(IsEmptyFolder(root));
}

// Links made from the Linux side (make-links, run by CTest before this suite).
class LinkedTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Exists(kLinks + "\\ready"))
            GTEST_SKIP() << "no link fixture: run tests/services/make-links (CTest does)";
        ASSERT_EQ(GetFileAttributesA((kLinks + "\\tree\\link-full").c_str()),
                  (DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
        full = services_test::Snapshot(kLinks + "\\bystander-full");
        ASSERT_NE(full.find("keep2.txt"), std::string::npos);
    }
    void ExpectBystandersIntact()
    {
        EXPECT_EQ(services_test::Snapshot(kLinks + "\\bystander-full"), full);
        EXPECT_TRUE(IsEmptyFolder(kLinks + "\\bystander-empty"));
        EXPECT_TRUE(Exists(kLinks + "\\tree\\link-full\\keep1.txt"));
        EXPECT_TRUE(IsFolder(kLinks + "\\tree\\link-empty"));
        EXPECT_TRUE(IsFolder(kLinks + "\\tree\\sub\\link-nested"));
    }
    const std::string kLinks = "C:\\wipora-links";
    std::string full;
};

TEST_F(LinkedTree, LinksAreNeitherEnteredNorRemoved)
{
    MakeFile(kLinks + "\\tree\\own.txt", FILE_ATTRIBUTE_READONLY);
    MakeFile(kLinks + "\\tree\\sub\\own.txt");
    DeleteTree((kLinks + "\\tree\\*.*").c_str(), true);
    EXPECT_FALSE(Exists(kLinks + "\\tree\\own.txt"));
    EXPECT_FALSE(Exists(kLinks + "\\tree\\sub\\own.txt"));
    EXPECT_TRUE(IsFolder(kLinks + "\\tree\\sub")) << "it still holds its link";
    ExpectBystandersIntact();
}

TEST_F(LinkedTree, APatternWhoseFolderIsALinkIsRefused)
{
    DeleteTree((kLinks + "\\tree\\link-full\\*.*").c_str(), true);
    DeleteTree((kLinks + "\\tree\\link-full\\inner\\*.*").c_str(), true);
    DeleteTree((kLinks + "\\tree\\link-empty\\*.*").c_str(), true);
    ExpectBystandersIntact();
    EXPECT_TRUE(IsProtectedFolder((kLinks + "\\to-windows").c_str()))
        << "a link to the Windows folder resolves to it";
}

TEST(FileExists, PresentMissingAndHeldOpen)
{
    std::string root = fixture::TempRoot();
    std::string file = root + "\\present.txt";
    MakeFile(file);
    EXPECT_TRUE(FileExists(file.c_str()));
    // The handle was closed again: the file can be opened exclusively.
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(FileExists(root.c_str())) << "a folder counts as present";
    EXPECT_FALSE(FileExists((root + "\\missing.txt").c_str()));
    EXPECT_FALSE(FileExists((root + "\\missing\\file.txt").c_str()));

    // Held open without sharing by another process.
    {
        fixture::Holder held(file);
        ASSERT_TRUE(held.holding()) << "holder not ready";
        EXPECT_FALSE(DeleteFileA(file.c_str()));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
        EXPECT_TRUE(FileExists(file.c_str()));
    }
    fixture::RemoveAll(root);
}

}  // namespace
