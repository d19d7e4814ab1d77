// The Served Desktop uninstall of one registry view: directories from the
// product key, the questions and messages, and the order of the steps.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "services/run_context.h"
#include "desktop/desktop.h"
#include "desktop/desktop_support.h"
#include "support/test_support.h"

using namespace desktop_test;

namespace {

using fixture::kProduct32;
const char kGroup[] = "Wipora Sequence Group";
const char kCaption[] = "Ostrevan Uninstall";
const char kGroupQuestion[] =
    "All program items in group \"Wipora Sequence Group\" will be deleted.  Are you sure you want "
    "to delete the program group \"Wipora Sequence Group\"?";
const char kUserDataQuestion[] =
    "Do you want Uninstall to remove all Ostrevan Desktop user data files?  The types of files "
    "include Macros, Scripts, Configuration Files, Transfer Files, etc.";
const char kCompleted[] = "Ostrevan uninstallation completed successfully.";

class UninstallSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveSuiteKeys();
        BeginPass(false);
        root_ = fixture::TempRoot();
        install_ = root_ + "\\Install\\7.1";
        work_ = root_ + "\\Work\\7.1";
        group_ = fixture::ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + kGroup;
        log_ = root_ + "\\com.log";
        SetEnvironmentVariableA("WIPORA_COM_LOG", log_.c_str());
        fixture::ScriptMessages({});
    }
    void TearDown() override
    {
        fixture::StopScriptingMessages();
        SetEnvironmentVariableA("WIPORA_COM_LOG", nullptr);
        SetEnvironmentVariableA("WIPORA_DESKTOP_TEST", nullptr);
        RemoveSuiteKeys();
        fixture::RemoveAll(root_);
        fixture::RemoveAll(group_);
        for (int csidl : {CSIDL_APPDATA, CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_APPDATA})
            fixture::RemoveAll(fixture::ShellFolder(csidl) + "\\Ostrevan");
    }
    static void SetValue(const char* name, const std::string& value)
    {
        ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, kProduct32, name, value, k32));
    }
    static void SetWorkingDirType(BYTE type)
    {
        ASSERT_TRUE(fixture::SetBinary(HKEY_LOCAL_MACHINE, kProduct32, "WorkingDirType", &type, 1,
                                       REG_BINARY, k32));
    }
    // A machine installation with an installation and a working directory and a group.
    void Install()
    {
        SetValue("Installation Directory", install_);
        SetValue("Working Directory", work_);
        SetValue("Program Group", kGroup);
        for (const std::string& dir : {install_, work_}) {
            ASSERT_TRUE(CopyDouble("comserver.dll", dir + "\\OVXFRCOM.DLL"));
            ASSERT_TRUE(Touch(dir + "\\OVSESMGR.EXE"));
            ASSERT_TRUE(Touch(dir + "\\Config\\Payroll.kmp"));
        }
        for (const char* name : {"Ostrevan Readme", "VT Display"})
            ASSERT_TRUE(Touch(group_ + "\\" + name + ".LNK"));
    }
    std::string ComLog() const
    {
        std::string text;
        fixture::ReadFile(log_, &text);
        return text;
    }
    static std::vector<std::string> ShownTexts()
    {
        std::vector<std::string> texts;
        for (const auto& shown : fixture::ShownMessages()) texts.push_back(shown.text);
        return texts;
    }
    static void ExpectMessage(size_t index, const std::string& text, const char* caption, UINT style)
    {
        const auto& shown = fixture::ShownMessages();
        ASSERT_LT(index, shown.size());
        EXPECT_EQ(shown[index].text, text);
        EXPECT_EQ(shown[index].caption, caption);
        EXPECT_EQ(shown[index].style, style);
        EXPECT_EQ(shown[index].owner, nullptr);
    }
    std::string root_, install_, work_, group_, log_;
};

TEST_F(UninstallSequence, QuietRunClearsTheWorkingDirectoryFirstAndShowsNothing)
{
    Install();
    runContext.quietMode = 1;
    EXPECT_EQ(UninstallServedDesktop(), 1);

    EXPECT_TRUE(fixture::ShownMessages().empty());
    std::string log = ComLog();
    size_t work = log.find(work_ + "\\OVXFRCOM.DLL");
    size_t install = log.find(install_ + "\\OVXFRCOM.DLL");
    ASSERT_NE(work, std::string::npos) << log;
    ASSERT_NE(install, std::string::npos) << log;
    EXPECT_LT(work, install);
    EXPECT_FALSE(fixture::Exists(work_ + "\\OVSESMGR.EXE"));
    EXPECT_FALSE(fixture::Exists(install_ + "\\OVSESMGR.EXE"));
    EXPECT_TRUE(fixture::Exists(work_ + "\\Config\\Payroll.kmp")) << "user data stays without /1";
    EXPECT_TRUE(fixture::Exists(install_ + "\\Config\\Payroll.kmp"));
    EXPECT_FALSE(fixture::Exists(group_));
    EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, "Software\\Ostrevan", k32));
}

TEST_F(UninstallSequence, ClearUserFilesAsksOnlyForTheGroupAndReportsCompletion)
{
    Install();
    runContext.clearUserFiles = 1;
    fixture::ScriptMessages({IDYES, IDOK});
    UninstallServedDesktop();

    ASSERT_EQ(fixture::ShownMessages().size(), 2u);
    ExpectMessage(0, kGroupQuestion, kCaption, 0x24);
    ExpectMessage(1, kCompleted, kCaption, 0x10040);
    EXPECT_FALSE(fixture::Exists(work_ + "\\Config"));
    EXPECT_FALSE(fixture::Exists(install_ + "\\Config"));
    EXPECT_FALSE(fixture::Exists(root_ + "\\Install")) << "emptied, with its parent";
    EXPECT_FALSE(fixture::Exists(group_));
}

TEST_F(UninstallSequence, AnsweringNoKeepsUserDataAndTheEmptiedGroupFolder)
{
    Install();
    fixture::ScriptMessages({IDNO, IDNO, IDOK});
    UninstallServedDesktop();

    ASSERT_EQ(fixture::ShownMessages().size(), 3u);
    ExpectMessage(0, kUserDataQuestion, "Remove Desktop User Data", 0x10024);
    ExpectMessage(1, kGroupQuestion, kCaption, 0x24);
    ExpectMessage(2, kCompleted, kCaption, 0x10040);
    EXPECT_TRUE(fixture::Exists(work_ + "\\Config\\Payroll.kmp"));
    EXPECT_TRUE(fixture::IsFolder(group_));
    EXPECT_FALSE(fixture::Exists(group_ + "\\Ostrevan Readme.LNK"));
    EXPECT_FALSE(fixture::Exists(group_ + "\\VT Display.LNK"));
}

TEST_F(UninstallSequence, OnlyTheFailedWorkingDirectoryIsReported)
{
    Install();
    const std::string missing = root_ + "\\Missing";
    SetValue("Working Directory", missing);
    fixture::ScriptMessages({IDNO, IDOK, IDYES, IDOK});
    UninstallServedDesktop();

    std::vector<std::string> texts = ShownTexts();
    ASSERT_EQ(texts.size(), 4u);
    ExpectMessage(1,
                  "Ostrevan Uninstall was unable to delete all of the files from " + missing +
                      ".  To complete the uninstall please manually remove the remaining files.",
                  kCaption, 0x40);
    int reports = 0;
    for (const std::string& text : texts) reports += text.find("unable to delete") != std::string::npos;
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(texts.back(), kCompleted);
    EXPECT_EQ(runContext.desktopDeleteIncomplete, 0);
    EXPECT_FALSE(fixture::Exists(install_ + "\\OVSESMGR.EXE"));
}

TEST_F(UninstallSequence, WorkingDirTypeThreeWithoutAUserKeyUsesRoamingAppData)
{
    const std::string roaming = fixture::ShellFolder(CSIDL_APPDATA) + "\\Ostrevan";
    for (BYTE appendVersion : {0, 1}) {
        SetValue("Installation Directory", install_);
        SetWorkingDirType(3);
        ASSERT_TRUE(Touch(roaming + "\\OVVT.EXE"));
        ASSERT_TRUE(Touch(roaming + "\\7.1\\OVVT.EXE"));
        ASSERT_TRUE(Touch(install_ + "\\OVVT.EXE"));
        runContext.quietMode = 1;
        runContext.appendVersionToWorkingDir = appendVersion;
        UninstallServedDesktop();
        EXPECT_EQ(fixture::Exists(roaming + "\\OVVT.EXE"), appendVersion == 1);
        EXPECT_EQ(fixture::Exists(roaming + "\\7.1\\OVVT.EXE"), appendVersion == 0);
        EXPECT_FALSE(fixture::Exists(install_ + "\\OVVT.EXE"));
        fixture::RemoveAll(roaming);
    }
}

TEST_F(UninstallSequence, AUserProductKeyDecidesTheWorkingDirectory)
{
    const std::string roaming = fixture::ShellFolder(CSIDL_APPDATA) + "\\Ostrevan";
    const std::string userWork = root_ + "\\UserWork";
    SetValue("Installation Directory", install_);
    SetWorkingDirType(3);
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, kProduct32));
    ASSERT_TRUE(Touch(roaming + "\\OVVT.EXE"));
    ASSERT_TRUE(Touch(install_ + "\\OVVT.EXE"));
    runContext.quietMode = 1;
    UninstallServedDesktop();
    EXPECT_TRUE(fixture::Exists(roaming + "\\OVVT.EXE")) << "a user key without a working directory";
    EXPECT_FALSE(fixture::Exists(install_ + "\\OVVT.EXE"));

    SetValue("Installation Directory", install_);
    SetWorkingDirType(3);
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kProduct32, "Working Directory", userWork));
    ASSERT_TRUE(Touch(userWork + "\\OVVT.EXE"));
    UninstallServedDesktop();
    EXPECT_FALSE(fixture::Exists(userWork + "\\OVVT.EXE"));
    EXPECT_TRUE(fixture::Exists(roaming + "\\OVVT.EXE"));
}

TEST_F(UninstallSequence, AnUnknownWorkingDirTypeClearsOnlyTheInstallationDirectory)
{
    SetValue("Installation Directory", install_);
    SetValue("Working Directory", work_);
    SetWorkingDirType(9);
    ASSERT_TRUE(Touch(install_ + "\\OVVT.EXE"));
    ASSERT_TRUE(Touch(work_ + "\\OVVT.EXE"));
    std::vector<std::string> special;
    for (int csidl : {CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS, CSIDL_APPDATA, CSIDL_COMMON_APPDATA}) {
        special.push_back(fixture::ShellFolder(csidl) + "\\Ostrevan\\OVVT.EXE");
        ASSERT_TRUE(Touch(special.back()));
    }
    runContext.quietMode = 1;
    UninstallServedDesktop();
    EXPECT_FALSE(fixture::Exists(install_ + "\\OVVT.EXE"));
    EXPECT_TRUE(fixture::Exists(work_ + "\\OVVT.EXE"));
    for (const std::string& path : special) EXPECT_TRUE(fixture::Exists(path)) << path;
}

TEST_F(UninstallSequence, OnlyTheWorkingDirectoryIsExpanded)
{
    SetEnvironmentVariableA("WIPORA_DESKTOP_TEST", "Expanded");
    const std::string literal = root_ + "\\%WIPORA_DESKTOP_TEST%";
    const std::string expanded = root_ + "\\Expanded";
    SetValue("Installation Directory", literal + "\\Install");
    SetValue("Working Directory", literal + "\\Work");
    for (const std::string& base : {literal, expanded}) {
        ASSERT_TRUE(Touch(base + "\\Install\\OVVT.EXE"));
        ASSERT_TRUE(Touch(base + "\\Work\\OVVT.EXE"));
    }
    runContext.quietMode = 1;
    UninstallServedDesktop();
    EXPECT_FALSE(fixture::Exists(expanded + "\\Work\\OVVT.EXE"));
    EXPECT_TRUE(fixture::Exists(literal + "\\Work\\OVVT.EXE"));
    EXPECT_FALSE(fixture::Exists(literal + "\\Install\\OVVT.EXE"));
    EXPECT_TRUE(fixture::Exists(expanded + "\\Install\\OVVT.EXE"));
}

TEST_F(UninstallSequence, AViewWithoutAnInstallationRemovesAndShowsNothing)
{
    ASSERT_TRUE(Touch(install_ + "\\OVVT.EXE"));
    ASSERT_TRUE(Touch(group_ + "\\VT Display.LNK"));
    EXPECT_EQ(RemoveDesktopInstallation(nullptr), 0) << "no product key";

    SetValue("Installation Directory", "");
    SetValue("Working Directory", install_);
    SetValue("Program Group", kGroup);
    EXPECT_EQ(RemoveDesktopInstallation(nullptr), 0) << "an empty installation directory";
    EXPECT_TRUE(fixture::ShownMessages().empty());
    EXPECT_TRUE(fixture::Exists(install_ + "\\OVVT.EXE"));
    EXPECT_TRUE(fixture::Exists(group_ + "\\VT Display.LNK"));
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kProduct32, k32));

    // The same installation in the 64-bit view only: the 32-bit pass does not see it.
    RemoveSuiteKeys();
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, "Software\\Ostrevan (64-bit)\\7.1",
                                   "Installation Directory", install_, k64));
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, kProduct32, "Installation Directory",
                                   install_, k64));
    EXPECT_EQ(RemoveDesktopInstallation(nullptr), 0);
    EXPECT_TRUE(fixture::Exists(install_ + "\\OVVT.EXE"));
}

}  // namespace
