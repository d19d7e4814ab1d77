// The folders that tree deletion refuses to empty, in Wine's real layout.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <string>
#include <vector>

#include "services/deletion_check.h"
#include "services/protected_folders.h"
#include "services/tree_delete.h"
#include "services_support.h"

namespace {

using fixture::ShellFolder;

std::string Profile() { return ShellFolder(CSIDL_PROFILE); }
std::string Profiles() { return Profile().substr(0, Profile().rfind('\\')); }
std::string OtherProfile() { return Profiles() + "\\wipora-other"; }
std::string LocalLow() { return ShellFolder(CSIDL_LOCAL_APPDATA) + "Low"; }

std::vector<std::string> ProtectedExamples()
{
    std::string windows = ShellFolder(CSIDL_WINDOWS);
    return {
        "C:\\", "C:", "c:\\", windows, windows + "\\", "C:\\WINDOWS", windows + "\\System32",
        windows + "\\syswow64\\", ShellFolder(CSIDL_PROGRAM_FILES),
        ShellFolder(CSIDL_PROGRAM_FILESX86), ShellFolder(CSIDL_PROGRAM_FILES_COMMON),
        Profiles(), Profile(), Profile() + "\\", Profiles() + "\\Public", OtherProfile(),
        Profile() + "\\AppData", ShellFolder(CSIDL_DESKTOPDIRECTORY), ShellFolder(CSIDL_PERSONAL),
        ShellFolder(CSIDL_APPDATA), ShellFolder(CSIDL_LOCAL_APPDATA), LocalLow(),
        ShellFolder(CSIDL_COMMON_APPDATA), ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY),
        ShellFolder(CSIDL_COMMON_DOCUMENTS), OtherProfile() + "\\Desktop",
        OtherProfile() + "\\Documents", OtherProfile() + "\\AppData\\Roaming",
        OtherProfile() + "\\appdata\\LOCALLOW", "\\\\server\\share", "\\\\server\\share\\",
        "\\\\server",
    };
}

TEST(ProtectedFolders, RootsSystemFoldersProfilesAndTheirAncestors)
{
    for (const auto& folder : ProtectedExamples())
        EXPECT_TRUE(IsProtectedFolder(folder.c_str())) << folder;
}

TEST(ProtectedFolders, PathsThatAreNotPlainAbsoluteOnesAreRefused)
{
    for (const char* folder :
         {"", "relative", "relative\\x", ".\\x", "C:x", "\\x", "\\", "C:\\a\\..\\windows",
          "C:\\wipora-tests\\.\\x", "C:\\wipora-tests\\..", "C:\\windows.", "C:\\windows \\",
          "C:/windows", "C:\\wipora-tests/x", "\\\\?\\C:\\wipora-tests", "\\\\.\\C:",
          "C:\\wipora-tests\\a*", "C:\\wipora-tests\\a?", "C:\\a\\\\b", "C:\\x:stream"})
        EXPECT_TRUE(IsProtectedFolder(folder)) << folder;
}

TEST(ProtectedFolders, ShortNamesOfProtectedFoldersAreProtected)
{
    for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_APPDATA, CSIDL_COMMON_DOCUMENTS}) {
        std::string folder = ShellFolder(csidl);
        char shortForm[MAX_PATH] = "";
        GetShortPathNameA(folder.c_str(), shortForm, MAX_PATH);
        if (lstrcmpiA(shortForm, folder.c_str()) == 0) continue;   // no short form to try
        EXPECT_TRUE(IsProtectedFolder(shortForm)) << shortForm << " for " << folder;
    }
}

TEST(ProtectedFolders, EverythingBelowThemStaysDeletable)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    for (const std::string& folder : {
             ShellFolder(CSIDL_APPDATA) + "\\Ostrevan Web\\7.1",
             ShellFolder(CSIDL_APPDATA) + "\\Ostrevan Web",
             ShellFolder(CSIDL_COMMON_APPDATA) + "\\Ostrevan\\7.1\\x64",
             ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\Ostrevan",
             ShellFolder(CSIDL_PERSONAL) + "\\Ostrevan\\7.1",
             ShellFolder(CSIDL_WINDOWS) + "\\Downloaded Program Files",
             ShellFolder(CSIDL_PROGRAM_FILES) + "\\Ostrevan",
             LocalLow() + "\\Ostrevan", std::string(temp) + "Ostrevan\\7.1",
             OtherProfile() + "\\AppData\\Roaming\\Ostrevan Web",
             std::string("C:\\wipora-tests\\x"), std::string("\\\\server\\share\\Ostrevan"),
         })
        EXPECT_FALSE(IsProtectedFolder(folder.c_str())) << folder;
    // The temporary folder itself is every program's.
    EXPECT_TRUE(IsProtectedFolder(temp)) << temp;
}

// Every refusal with real files: a sentinel in each protected folder survives
// DeleteTree on the folder's "*.*" (guarded by the check above, so that a
// broken refusal cannot empty the prefix's real folders).
TEST(ProtectedFolders, DeleteTreeLeavesSentinelsInProtectedFolders)
{
    fixture::MakeFolders(OtherProfile() + "\\Desktop");
    std::string name = "\\wipora-sentinel-" + std::to_string(GetCurrentProcessId()) + ".txt";
    std::vector<std::string> folders = {
        "C:", ShellFolder(CSIDL_WINDOWS), Profile(), ShellFolder(CSIDL_DESKTOPDIRECTORY),
        ShellFolder(CSIDL_PERSONAL), ShellFolder(CSIDL_APPDATA), LocalLow(),
        ShellFolder(CSIDL_COMMON_APPDATA), ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY),
        ShellFolder(CSIDL_PROGRAM_FILES), Profiles(), OtherProfile(), OtherProfile() + "\\Desktop",
    };
    for (const auto& folder : folders) {
        ASSERT_TRUE(IsProtectedFolder(folder.c_str())) << folder;
        ASSERT_TRUE(fixture::WriteFile(folder + name, "sentinel")) << folder;
    }
    for (const auto& folder : folders) {
        DeleteTree((folder + "\\*.*").c_str(), true);
        DeleteTree((folder + "\\wipora-sentinel-*").c_str(), true);
    }
    for (const auto& folder : folders) {
        std::string content;
        EXPECT_TRUE(fixture::ReadFile(folder + name, &content)) << folder;
        EXPECT_EQ(content, "sentinel");
        DeleteFileA((folder + name).c_str());
    }
    EXPECT_TRUE(fixture::Exists(ShellFolder(CSIDL_SYSTEM) + "\\kernel32.dll"));
    RemoveDirectoryA((OtherProfile() + "\\Desktop").c_str());
    RemoveDirectoryA(OtherProfile().c_str());
}

TEST(ProtectedFolders, TheSuitesOwnFoldersBelowThemAreEmptied)
{
    std::string web = ShellFolder(CSIDL_APPDATA) + "\\Ostrevan Web\\7.1";
    fixture::MakeFolders(web + "\\x64\\Macros");
    ASSERT_TRUE(fixture::WriteFile(web + "\\session.ini", "s"));
    ASSERT_TRUE(fixture::WriteFile(web + "\\x64\\Macros\\m.mac", "m"));
    ASSERT_TRUE(fixture::WriteFile(ShellFolder(CSIDL_APPDATA) + "\\wipora-neighbour.txt", "n"));
    DeleteTree((web + "\\*.*").c_str(), true);
    EXPECT_TRUE(fixture::IsFolder(web));
    EXPECT_TRUE(services_test::Snapshot(web).empty());
    EXPECT_TRUE(fixture::Exists(ShellFolder(CSIDL_APPDATA) + "\\wipora-neighbour.txt"));
    DeleteFileA((ShellFolder(CSIDL_APPDATA) + "\\wipora-neighbour.txt").c_str());
    fixture::RemoveAll(ShellFolder(CSIDL_APPDATA) + "\\Ostrevan Web");
}

}  // namespace
