// The suite's shortcuts in the Start-menu program group, and the group folder.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "services/run_context.h"
#include "desktop/desktop.h"
#include "desktop/desktop_support.h"
#include "support/test_support.h"

using namespace desktop_test;

namespace {

const char* const kSuiteShortcuts[] = {
    "Ostrevan Session Manager", "Ostrevan FTP Client", "Ostrevan Script Editor",
    "Ostrevan Macro Editor", "Ostrevan Print Server", "Ostrevan Configuration",
    "Ostrevan Keyboard Mapper", "Ostrevan Trace Viewer", "Ostrevan Readme",
    "Ostrevan Uninstall", "Mainframe Display", "AS400 Display", "Unisys Display",
    "VT Display", "HP Display", "Tandem Display", "Mainframe Printer",
    "AS400 Printer", "Unisys Printer",
};
const char kGroup[] = "Wipora Test Group";

class ProgramGroup : public ::testing::Test {
protected:
    void SetUp() override
    {
        common_ = fixture::ShellFolder(CSIDL_COMMON_PROGRAMS);
        user_ = fixture::ShellFolder(CSIDL_PROGRAMS);
        ASSERT_FALSE(common_.empty());
        ASSERT_FALSE(user_.empty());
        ASSERT_NE(common_, user_);
        TearDown();
        BeginPass(false);
        lstrcpyA(runContext.programGroupName, kGroup);
    }
    void TearDown() override
    {
        for (const std::string& root : {common_, user_}) {
            fixture::RemoveAll(root + "\\" + kGroup);
            fixture::RemoveAll(root + "\\Wipora Outer");
            fixture::RemoveAll(root + "\\Ostrevan Readme.LNK");
        }
    }
    // Fills a group folder with the suite's 19 shortcuts.
    static void FillGroup(const std::string& folder)
    {
        for (const char* name : kSuiteShortcuts) ASSERT_TRUE(Touch(folder + "\\" + name + ".LNK"));
    }
    static void RemoveGroup()
    {
        DeleteGroupShortcuts();
        RemoveProgramGroup();
    }
    std::string common_, user_;
};

TEST_F(ProgramGroup, PerMachineInstallationOnNtUsesTheAllUsersStartMenu)
{
    FillGroup(common_ + "\\" + kGroup);
    FillGroup(user_ + "\\" + kGroup);
    runContext.baseRegistry = 0;
    RemoveGroup();
    EXPECT_FALSE(fixture::Exists(common_ + "\\" + kGroup));
    EXPECT_TRUE(fixture::Exists(user_ + "\\" + kGroup + "\\Ostrevan Readme.LNK"));
}

TEST_F(ProgramGroup, PerUserInstallationOrWindows9xUsesTheUsersStartMenu)
{
    FillGroup(common_ + "\\" + kGroup);
    FillGroup(user_ + "\\" + kGroup);
    runContext.baseRegistry = 2;
    RemoveGroup();
    EXPECT_FALSE(fixture::Exists(user_ + "\\" + kGroup));
    EXPECT_TRUE(fixture::Exists(common_ + "\\" + kGroup + "\\VT Display.LNK"));

    FillGroup(user_ + "\\" + kGroup);
    runContext.baseRegistry = 0;
    runContext.osVersion.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    RemoveGroup();
    EXPECT_FALSE(fixture::Exists(user_ + "\\" + kGroup));
    EXPECT_TRUE(fixture::Exists(common_ + "\\" + kGroup + "\\VT Display.LNK"));
}

TEST_F(ProgramGroup, ForeignAndReadOnlyShortcutsKeepTheGroup)
{
    const std::string group = common_ + "\\" + kGroup;
    FillGroup(group);
    ASSERT_TRUE(Touch(group + "\\Mainframe Display (custom).LNK"));
    RemoveGroup();
    EXPECT_FALSE(fixture::Exists(group + "\\Mainframe Display.LNK"));
    EXPECT_FALSE(fixture::Exists(group + "\\Ostrevan Uninstall.LNK"));
    EXPECT_TRUE(fixture::Exists(group + "\\Mainframe Display (custom).LNK"));

    DeleteFileA((group + "\\Mainframe Display (custom).LNK").c_str());
    FillGroup(group);
    ASSERT_TRUE(MakeReadOnly(group + "\\Ostrevan Readme.LNK"));
    RemoveGroup();
    EXPECT_TRUE(fixture::Exists(group + "\\Ostrevan Readme.LNK")) << "attributes are not reset";
    EXPECT_FALSE(fixture::Exists(group + "\\Ostrevan FTP Client.LNK"));
}

TEST_F(ProgramGroup, NestedGroupLosesOnlyItsInnermostFolder)
{
    const std::string outer = common_ + "\\Wipora Outer";
    FillGroup(outer + "\\Inner");
    lstrcpyA(runContext.programGroupName, "Wipora Outer\\Inner");
    RemoveGroup();
    EXPECT_FALSE(fixture::Exists(outer + "\\Inner"));
    EXPECT_TRUE(fixture::IsFolder(outer));
}

TEST_F(ProgramGroup, GroupNamesThatLeaveTheProgramsFolderTouchNothing)
{
    // A suite-named shortcut in the Programs folder itself, and an empty folder
    // that a name climbing out of the group would reach.
    ASSERT_TRUE(Touch(common_ + "\\Ostrevan Readme.LNK"));
    fixture::MakeFolders(common_ + "\\Wipora Outer");
    for (const char* name : {"..\\Programs", ".", "Wipora Outer\\..", "Wipora Outer/.."}) {
        lstrcpyA(runContext.programGroupName, name);
        RemoveGroup();
        EXPECT_TRUE(fixture::Exists(common_ + "\\Ostrevan Readme.LNK")) << name;
        EXPECT_TRUE(fixture::IsFolder(common_ + "\\Wipora Outer")) << name;
    }
    lstrcpyA(runContext.programGroupName, (common_ + "\\Wipora Outer").c_str());
    RemoveGroup();
    EXPECT_TRUE(fixture::IsFolder(common_ + "\\Wipora Outer")) << "an absolute group name";
}

}  // namespace
