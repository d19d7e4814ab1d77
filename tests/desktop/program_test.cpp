// Wipora.exe /4 /q on a machine with a desktop installation in both views.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "desktop/desktop_support.h"
#include "support/test_support.h"

using namespace desktop_test;

namespace {

using fixture::kProduct32;
using fixture::kProduct64;
const char kGroup32[] = "Wipora Program Test";
const char kGroup64[] = "Wipora Program Test (64-bit)";

class DesktopProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveSuiteKeys();
        root_ = fixture::TempRoot();
        programs_ = fixture::ShellFolder(CSIDL_COMMON_PROGRAMS);
        desktop_ = fixture::ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    }
    void TearDown() override
    {
        RemoveSuiteKeys();
        fixture::RemoveAll(root_);
        fixture::RemoveAll(programs_ + "\\" + kGroup32);
        fixture::RemoveAll(programs_ + "\\" + kGroup64);
        fixture::RemoveAll(desktop_ + "\\Payroll.LNK");
    }
    void Installation(const char* key, REGSAM view, const std::string& dir, const char* group)
    {
        ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, key, "Installation Directory", dir, view));
        ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, key, "Program Group", group, view));
        ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, std::string(key) + "\\Sessions\\A", view));
        for (const char* name : {"OVSESMGR.EXE", "OVEMU3270.DLL", "global.ini", "README.TXT"})
            ASSERT_TRUE(Touch(dir + "\\" + name));
        ASSERT_TRUE(Touch(programs_ + "\\" + group + "\\Mainframe Display.LNK"));
    }
    std::string root_, programs_, desktop_;
};

TEST_F(DesktopProgram, QuietUninstallRemovesBothViewsInstallationsAndNothingElse)
{
    const std::string dir32 = root_ + "\\x86\\Ostrevan\\7.1";
    const std::string dir64 = root_ + "\\x64\\Ostrevan\\7.1\\x64";
    Installation(kProduct32, k32, dir32, kGroup32);
    Installation(kProduct64, k64, dir64, kGroup64);
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, "Software\\Ostrevan\\6.0",
                                   "Installation Directory", root_ + "\\Old", k32));
    ASSERT_TRUE(Touch(root_ + "\\x86\\notes.txt"));
    ASSERT_TRUE(Touch(root_ + "\\Old\\OVSESMGR.EXE"));
    ASSERT_TRUE(Touch(desktop_ + "\\Payroll.LNK"));

    const std::string program = root_ + "\\Wipora.exe";
    ASSERT_TRUE(CopyFileA(fixture::ProgramPath().c_str(), program.c_str(), FALSE));
    EXPECT_EQ(fixture::Run("\"" + program + "\" /4 /q"), 1);

    EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kProduct32, k32));
    EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, "Software\\Ostrevan (64-bit)", k64));
    EXPECT_FALSE(fixture::Exists(root_ + "\\x86\\Ostrevan"));
    EXPECT_FALSE(fixture::Exists(root_ + "\\x64\\Ostrevan"));
    EXPECT_FALSE(fixture::Exists(programs_ + "\\" + kGroup32));
    EXPECT_FALSE(fixture::Exists(programs_ + "\\" + kGroup64));

    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, "Software\\Ostrevan\\6.0", k32));
    EXPECT_TRUE(fixture::Exists(root_ + "\\x86\\notes.txt"));
    EXPECT_TRUE(fixture::Exists(root_ + "\\Old\\OVSESMGR.EXE"));
    EXPECT_TRUE(fixture::Exists(desktop_ + "\\Payroll.LNK"));
}

}  // namespace
