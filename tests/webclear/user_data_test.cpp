// User data removal: the working directory, the question and its caution
// paragraph, the answer, and what is emptied.
#include <gtest/gtest.h>

#include "services/run_context.h"
#include "webclear/webclear.h"
#include "webclear_support.h"

namespace {

using namespace webclear_test;

using fixture::kWeb32;
using fixture::kWeb64;
const char kCaption[] = "Remove Web-to-Host User Data";
const char kQuestion[] =
    "Are you sure you want to remove all Ostrevan Web-to-Host user data files?  The types of files "
    "include Scripts, Macros, Configuration Files, Transfer Files, etc.";

std::string Caution(const std::string& folder)
{
    return "\r\n\r\nCaution: If a Ostrevan Desktop installation is sharing the Working Directory " +
           folder + ", then its user data files will also be removed.";
}

class UserData : public ::testing::Test {
protected:
    void SetUp() override
    {
        CleanSuiteFootprint();
        work = fixture::TempRoot() + "\\Work";
    }
    void TearDown() override { CleanSuiteFootprint(); }
    // A working directory with every kind of content.
    void Fill(const std::string& folder)
    {
        Plant(folder + "\\Certs\\user.cer", "c");
        Plant(folder + "\\Config\\nested\\session.ini", "c");
        Plant(folder + "\\Macros\\logon.mac", "m");
        SetFileAttributesA((folder + "\\Macros\\logon.mac").c_str(), FILE_ATTRIBUTE_READONLY);
        fixture::MakeFolders(folder + "\\Scripts");
        Plant(folder + "\\Cache\\page.htm", "p");
        Plant(folder + "\\notes.txt", "n");
        Plant(folder + "\\Own\\deep\\data.txt", "d");
        Plant(folder + "\\system.dat", "s");
        SetFileAttributesA((folder + "\\system.dat").c_str(), FILE_ATTRIBUTE_SYSTEM);
        Plant(folder + "\\Held\\locked.sys", "s");
        SetFileAttributesA((folder + "\\Held\\locked.sys").c_str(), FILE_ATTRIBUTE_SYSTEM);
    }
    // Everything went but the system file and the folder that holds one.
    void ExpectEmptied(const std::string& folder)
    {
        EXPECT_TRUE(fixture::IsFolder(folder));
        for (const char* name : {"Certs", "Config", "Macros", "Scripts", "Cache", "notes.txt", "Own"})
            EXPECT_FALSE(fixture::Exists(folder + "\\" + name)) << name;
        EXPECT_TRUE(fixture::Exists(folder + "\\system.dat"));
        EXPECT_TRUE(fixture::Exists(folder + "\\Held\\locked.sys"));
        SetFileAttributesA((folder + "\\system.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesA((folder + "\\Held\\locked.sys").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    void ExpectUntouched(const std::string& folder)
    {
        for (const char* name : {"Certs\\user.cer", "Config\\nested\\session.ini", "Scripts", "notes.txt",
                                 "Own\\deep\\data.txt"})
            EXPECT_TRUE(fixture::Exists(folder + "\\" + name)) << name;
    }
    std::string work;
};

// The stored directory is used as it is (no references expanded), and the
// question names it in the caution paragraph.
TEST_F(UserData, WorkingDirectoryFromTheRegistry)
{
    std::string literal = work + "\\%WIPORA_USERDATA%";
    SetEnvironmentVariableA("WIPORA_USERDATA", "Expanded");
    fixture::SetString(HKEY_CURRENT_USER, kWeb32, "Working Directory", literal, KEY_WOW64_32KEY);
    Fill(literal);
    Fill(work + "\\Expanded");
    BeginWebPass(false);
    fixture::ScriptMessages({IDYES});
    RemoveWebUserData(nullptr);
    SetEnvironmentVariableA("WIPORA_USERDATA", nullptr);

    auto shown = fixture::ShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, kQuestion + Caution(literal));
    EXPECT_EQ(shown[0].caption, kCaption);
    EXPECT_EQ(shown[0].style, 0x00010024u);
    EXPECT_EQ(shown[0].owner, nullptr);
    ExpectEmptied(literal);
    ExpectUntouched(work + "\\Expanded");
}

// Without a value the folder below the cache root is used, "x64" in the
// 64-bit pass, and the question has no caution paragraph.
TEST_F(UserData, FallsBackToTheCacheRootPerPass)
{
    std::string version = TempFolder() + "\\Ostrevan\\7.1";
    fixture::MakeKey(HKEY_CURRENT_USER, kWeb64, KEY_WOW64_64KEY);
    Fill(version + "\\x64");
    Plant(version + "\\Sales.ini", "32-bit pass's");
    BeginWebPass(true);
    fixture::ScriptMessages({IDYES});
    RemoveWebUserData(nullptr);
    auto shown = fixture::ShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, kQuestion);
    ExpectEmptied(version + "\\x64");
    EXPECT_TRUE(fixture::Exists(version + "\\Sales.ini"));
}

// The answer No clears clearUserFiles for the rest of the run; the dialog that
// owns the question shows it by unchecking its box when the sequence returns.
TEST_F(UserData, NoClearsTheFlagAndKeepsEverything)
{
    fixture::SetString(HKEY_CURRENT_USER, kWeb32, "Working Directory", work, KEY_WOW64_32KEY);
    Fill(work);
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    BeginWebPass(false);
    runContext.clearUserFiles = 1;
    fixture::ScriptMessages({IDNO});
    RemoveWebUserData(owner);

    ASSERT_EQ(fixture::ShownMessages().size(), 1u);
    EXPECT_EQ(fixture::ShownMessages()[0].owner, owner);
    EXPECT_EQ(runContext.clearUserFiles, 0);
    ExpectUntouched(work);
    DestroyWindow(owner);
}

TEST_F(UserData, QuietModeAsksNothing)
{
    fixture::SetString(HKEY_CURRENT_USER, kWeb32, "Working Directory", work, KEY_WOW64_32KEY);
    Fill(work);
    BeginWebPass(false);
    runContext.quietMode = 1;
    RemoveWebUserData(nullptr);
    EXPECT_TRUE(fixture::ShownMessages().empty());
    ExpectEmptied(work);
}

// The Web key is looked for where baseRegistry says; elsewhere it is no key.
TEST_F(UserData, WebKeyElsewhereRemovesNothing)
{
    fixture::SetString(HKEY_LOCAL_MACHINE, kWeb32, "Working Directory", work, KEY_WOW64_32KEY);
    Fill(work);
    BeginWebPass(false);
    fixture::ScriptMessages({IDYES});
    RemoveWebUserData(nullptr);
    EXPECT_TRUE(fixture::ShownMessages().empty());
    ExpectUntouched(work);
}

// A drive root or a system folder as working directory is refused whole: its
// generic sub-folder names are not the suite's there.
TEST_F(UserData, WorkingDirectoryThatIsARootOrSystemFolderRemovesNothing)
{
    Plant("C:\\Config\\wipora-bystander.ini", "other product");
    Plant("C:\\Cache\\wipora-bystander.dat", "other product");
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    for (const std::string& folder : {std::string("C:\\"), std::string(windows)}) {
        fixture::SetString(HKEY_CURRENT_USER, kWeb32, "Working Directory", folder, KEY_WOW64_32KEY);
        BeginWebPass(false);
        fixture::ScriptMessages({IDYES});
        RemoveWebUserData(nullptr);
        EXPECT_TRUE(fixture::ShownMessages().empty()) << folder;
    }
    EXPECT_EQ(ReadText("C:\\Config\\wipora-bystander.ini"), "other product");
    EXPECT_EQ(ReadText("C:\\Cache\\wipora-bystander.dat"), "other product");
    fixture::RemoveAll("C:\\Config");
    fixture::RemoveAll("C:\\Cache");
}

}  // namespace
