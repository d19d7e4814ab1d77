// One directory of the desktop installation: inventory, user data, folders,
// shortcuts and the failure record.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "services/run_context.h"
#include "services/run_log.h"
#include "desktop/desktop.h"
#include "desktop/desktop_support.h"
#include "support/test_support.h"

using namespace desktop_test;

namespace {

const char* const kUserDataFolders[] = {"Certs",    "Config", "Macros", "Scripts",
                                        "Transfer", "Spool",  "Traces", "Cache"};

class InstalledFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        BeginPass(false);
        root_ = fixture::TempRoot();
        dir_ = root_ + "\\Ostrevan\\7.1";
        shared_ = fixture::ShellFolder(CSIDL_COMMON_APPDATA) + "\\Ostrevan\\7.1";
        desktop_ = fixture::ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
        startup_ = fixture::ShellFolder(CSIDL_COMMON_STARTUP);
        ASSERT_FALSE(desktop_.empty());
        fixture::RemoveAll(fixture::ShellFolder(CSIDL_COMMON_APPDATA) + "\\Ostrevan");
        fixture::MakeFolders(dir_);
        Target(dir_);
    }
    void TearDown() override
    {
        fixture::RemoveAll(root_);
        fixture::RemoveAll(fixture::ShellFolder(CSIDL_COMMON_APPDATA) + "\\Ostrevan");
        for (const std::string& made : made_) fixture::RemoveAll(made);
    }
    static void Target(const std::string& dir) { lstrcpyA(runContext.uninstallTargetDir, dir.c_str()); }
    // A file outside the test root that the test removes again.
    void TouchOutside(const std::string& path)
    {
        made_.push_back(path);
        ASSERT_TRUE(Touch(path));
    }
    // Files in a folder and in each of its eight user data sub-folders.
    static void FillUserData(const std::string& folder)
    {
        ASSERT_TRUE(Touch(folder + "\\Session1.ini"));
        ASSERT_TRUE(Touch(folder + "\\mainframe.kmp"));
        for (const char* sub : kUserDataFolders) {
            ASSERT_TRUE(Touch(folder + "\\" + sub + "\\" + sub + ".dat"));
            ASSERT_TRUE(Touch(folder + "\\" + sub + "\\notes.txt"));
        }
    }
    std::string root_, dir_, shared_, desktop_, startup_;
    std::vector<std::string> made_;
};

TEST_F(InstalledFiles, KeptUserDataLosesOnlyItsPatternFilesInTheDirectoryAndCerts)
{
    FillUserData(dir_);
    FillUserData(shared_);
    for (const char* name : {"trace.0", "OVVT.EXE", "Ostrevan.Core.dll", "LICENSE.TXT"})
        ASSERT_TRUE(Touch(dir_ + "\\" + name));
    ASSERT_TRUE(Touch(dir_ + "\\Certs\\root.0"));
    ASSERT_TRUE(Touch(dir_ + "\\Certs\\site.ini"));

    RemoveInstalledFiles();

    for (const char* gone : {"trace.0", "Session1.ini", "OVVT.EXE", "Ostrevan.Core.dll",
                             "LICENSE.TXT", "Certs\\root.0", "Certs\\site.ini", "Certs\\notes.txt"})
        EXPECT_FALSE(fixture::Exists(dir_ + "\\" + gone)) << gone;
    EXPECT_TRUE(fixture::Exists(dir_ + "\\mainframe.kmp"));
    EXPECT_TRUE(fixture::Exists(dir_ + "\\Certs\\Certs.dat"));
    EXPECT_TRUE(fixture::Exists(dir_ + "\\Config\\notes.txt")) << "patterns only in the directory and Certs";
    EXPECT_TRUE(fixture::Exists(dir_ + "\\Macros\\Macros.dat"));
    EXPECT_TRUE(fixture::Exists(shared_ + "\\Session1.ini"));
    EXPECT_TRUE(fixture::Exists(shared_ + "\\Traces\\notes.txt"));
    EXPECT_EQ(runContext.desktopDeleteIncomplete, 0);
}

TEST_F(InstalledFiles, RemovedUserDataEmptiesBothRootsOneLevelDeep)
{
    FillUserData(dir_);
    FillUserData(shared_);
    ASSERT_TRUE(Touch(dir_ + "\\Macros\\Team\\shared.mac"));
    ASSERT_TRUE(Touch(dir_ + "\\Other\\keep.txt"));
    runContext.removeDesktopUserData = 1;

    RemoveInstalledFiles();

    EXPECT_FALSE(fixture::Exists(dir_ + "\\mainframe.kmp"));
    for (const char* sub : {"Certs", "Config", "Scripts", "Transfer", "Spool", "Traces", "Cache"}) {
        EXPECT_FALSE(fixture::Exists(dir_ + "\\" + sub)) << sub;
    }
    EXPECT_FALSE(fixture::Exists(dir_ + "\\Macros\\Macros.dat"));
    EXPECT_TRUE(fixture::Exists(dir_ + "\\Macros\\Team\\shared.mac")) << "no descent deeper";
    EXPECT_TRUE(fixture::Exists(dir_ + "\\Other\\keep.txt"));
    EXPECT_TRUE(fixture::IsFolder(dir_)) << "a folder that still holds something stays";
    EXPECT_FALSE(fixture::Exists(shared_)) << "the shared desktop data folder went empty";
    EXPECT_TRUE(fixture::IsFolder(fixture::ShellFolder(CSIDL_COMMON_APPDATA) + "\\Ostrevan"));
}

TEST_F(InstalledFiles, EmptiedDirectoryTakesItsEmptyParentsAlong)
{
    FillUserData(dir_);
    runContext.removeDesktopUserData = 1;
    RemoveInstalledFiles();
    EXPECT_FALSE(fixture::Exists(root_ + "\\Ostrevan")) << "32-bit pass: the directory and its parent";
    EXPECT_TRUE(fixture::IsFolder(root_));

    // 64-bit pass below "...\7.1\x64": both the version folder and the name folder go.
    BeginPass(true);
    const std::string x64 = root_ + "\\Ostrevan\\7.1\\x64";
    FillUserData(x64);
    Target(x64);
    runContext.removeDesktopUserData = 1;
    RemoveInstalledFiles();
    EXPECT_FALSE(fixture::Exists(root_ + "\\Ostrevan"));
    EXPECT_TRUE(fixture::IsFolder(root_));
}

// 64-bit pass on a directory whose last name has eight characters: the first
// cut lands inside that name and removes nothing (a folder "Ostr" beside it
// stays), the second lands at a backslash and takes the empty parent along.
TEST_F(InstalledFiles, EachParentCutIsJudgedOnItsOwn)
{
    BeginPass(true);
    const std::string apps = root_ + "\\Apps";
    fixture::MakeFolders(apps + "\\Ostrevan");
    fixture::MakeFolders(apps + "\\Ostr");
    Target(apps + "\\Ostrevan");
    RemoveInstalledFiles();
    EXPECT_TRUE(fixture::IsFolder(apps + "\\Ostr")) << "a cut inside a name names no parent";
    ASSERT_TRUE(fixture::IsFolder(apps)) << "Apps still holds Ostr";
    ASSERT_TRUE(RemoveDirectoryA((apps + "\\Ostr").c_str()));
    fixture::MakeFolders(apps + "\\Ostrevan");
    RemoveInstalledFiles();
    EXPECT_FALSE(fixture::Exists(apps)) << "the second cut names the directory's parent";
    EXPECT_TRUE(fixture::IsFolder(root_));
}

TEST_F(InstalledFiles, ShortcutsNamedAfterTheDirectorysIniFilesAndTheFixedOnesGo)
{
    ASSERT_TRUE(Touch(dir_ + "\\Payroll 3270.ini"));
    TouchOutside(desktop_ + "\\Payroll 3270.LNK");
    TouchOutside(desktop_ + "\\Payroll 5250.LNK");
    TouchOutside(desktop_ + "\\Mainframe Display.LNK");
    TouchOutside(desktop_ + "\\Ostrevan Configuration.LNK");
    TouchOutside(startup_ + "\\Ostrevan Session Manager.LNK");
    ASSERT_TRUE(MakeReadOnly(desktop_ + "\\Mainframe Display.LNK"));
    ASSERT_TRUE(MakeReadOnly(desktop_ + "\\Payroll 3270.LNK"));

    RemoveInstalledFiles();

    EXPECT_FALSE(fixture::Exists(desktop_ + "\\Payroll 3270.LNK"));
    EXPECT_TRUE(fixture::Exists(desktop_ + "\\Payroll 5250.LNK")) << "no INI file of that stem";
    EXPECT_FALSE(fixture::Exists(desktop_ + "\\Mainframe Display.LNK"));
    EXPECT_FALSE(fixture::Exists(desktop_ + "\\Ostrevan Configuration.LNK"));
    EXPECT_FALSE(fixture::Exists(startup_ + "\\Ostrevan Session Manager.LNK"));
}

TEST_F(InstalledFiles, ReadOnlyInventoryFileIsDeleted)
{
    ASSERT_TRUE(Touch(dir_ + "\\OVCODEPG.DAT"));
    ASSERT_TRUE(MakeReadOnly(dir_ + "\\OVCODEPG.DAT"));
    RemoveInstalledFiles();
    EXPECT_FALSE(fixture::Exists(dir_ + "\\OVCODEPG.DAT"));
    EXPECT_EQ(runContext.desktopDeleteIncomplete, 0);
}

TEST_F(InstalledFiles, InUseFilesAreScheduledWhenRebootDeferredAndRecordedOtherwise)
{
    PendingRenames pending;
    const std::string uninstaller = dir_ + "\\OVUNINST.EXE";
    ASSERT_TRUE(Touch(uninstaller));
    {
        Holder held(uninstaller);
        ASSERT_TRUE(held.holding());
        RemoveInstalledFiles();
    }
    EXPECT_EQ(runContext.desktopDeleteIncomplete, 0);
    EXPECT_TRUE(pending.Schedules(uninstaller));

    const std::string emulator = dir_ + "\\OVEMU3270.DLL";
    ASSERT_TRUE(Touch(emulator));
    {
        Holder held(emulator);
        ASSERT_TRUE(held.holding());
        RemoveInstalledFiles();
    }
    EXPECT_EQ(runContext.desktopDeleteIncomplete, 1);
    EXPECT_FALSE(pending.Schedules(emulator));
    EXPECT_TRUE(fixture::Exists(emulator));
}

TEST_F(InstalledFiles, ANameThatDoesNotFitIsSkippedAndRecordedNeverCut)
{
    // A directory of 240 characters: "OVVT.EXE" fits beside it, the 25
    // characters of "Ostrevan.Certificates.dll" do not. Cut to 259 characters,
    // that path would name the bystander "Ostrevan.Certifica".
    std::string dir = root_ + "\\";
    dir += std::string(240 - dir.size(), 'd');
    ASSERT_EQ(dir.size(), 240u);
    fixture::MakeFolders(dir);
    const std::string bystander = dir + "\\Ostrevan.Certifica";
    ASSERT_EQ(bystander.size(), 259u);
    ASSERT_TRUE(Touch(bystander));
    ASSERT_TRUE(Touch(dir + "\\OVVT.EXE"));
    Target(dir);
    RemoveInstalledFiles();
    EXPECT_TRUE(fixture::Exists(bystander));
    EXPECT_FALSE(fixture::Exists(dir + "\\OVVT.EXE"));
    EXPECT_EQ(runContext.desktopDeleteIncomplete, 1);
}

TEST_F(InstalledFiles, MissingDirectoryIsRecordedAndItsDeferredNamesScheduled)
{
    PendingRenames pending;
    Target(root_ + "\\Missing\\7.1");
    RemoveInstalledFiles();
    EXPECT_EQ(runContext.desktopDeleteIncomplete, 1);
    // Every failed deletion of a reboot-deferred name is handed to the restart.
    EXPECT_TRUE(pending.Schedules(root_ + "\\Missing\\7.1\\OVUNINST.EXE"));
    EXPECT_FALSE(pending.Schedules(root_ + "\\Missing\\7.1\\OVFTP.HLP"));

    runContext.desktopDeleteIncomplete = 0;
    Target(dir_);
    RemoveInstalledFiles();
    EXPECT_EQ(runContext.desktopDeleteIncomplete, 0) << "absent files are no failure";
}

TEST_F(InstalledFiles, OtherPlatformsRecordAndScheduleNothing)
{
    PendingRenames pending;
    runContext.osVersion.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    const std::string library = dir_ + "\\OVHLLCOM.DLL";
    const std::string help = dir_ + "\\OVFTP.HLP";
    ASSERT_TRUE(Touch(library));
    ASSERT_TRUE(Touch(help));
    {
        Holder heldLibrary(library);
        Holder heldHelp(help);
        ASSERT_TRUE(heldLibrary.holding() && heldHelp.holding());
        RemoveInstalledFiles();
        Target(root_ + "\\Missing");
        RemoveInstalledFiles();
    }
    EXPECT_EQ(runContext.desktopDeleteIncomplete, 0);
    EXPECT_FALSE(pending.Changed());
}

TEST_F(InstalledFiles, ComLibrariesAreUnregisteredFileTransferFirst)
{
    const std::string log = root_ + "\\com.log";
    SetEnvironmentVariableA("WIPORA_COM_LOG", log.c_str());
    ASSERT_TRUE(CopyDouble("comserver.dll", dir_ + "\\OVXFRCOM.DLL"));
    ASSERT_TRUE(CopyDouble("comserver.dll", dir_ + "\\OVHLLCOM.DLL"));
    RemoveInstalledFiles();
    SetEnvironmentVariableA("WIPORA_COM_LOG", nullptr);
    std::string lines;
    ASSERT_TRUE(fixture::ReadFile(log, &lines));
    size_t transfer = lines.find("OVXFRCOM.DLL");
    size_t hllapi = lines.find("OVHLLCOM.DLL");
    ASSERT_NE(transfer, std::string::npos);
    ASSERT_NE(hllapi, std::string::npos);
    EXPECT_LT(transfer, hllapi);
    EXPECT_FALSE(fixture::Exists(dir_ + "\\OVXFRCOM.DLL"));
    EXPECT_FALSE(fixture::Exists(dir_ + "\\OVHLLCOM.DLL"));
}

LRESULT CALLBACK RecordClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        SetPropA(window, "closeCode", reinterpret_cast<HANDLE>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(InstalledFiles, SessionManagerIsAskedToClose)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordClose;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Ostrevan Session Manager 7.1";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA(windowClass.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    lstrcpyA(runContext.sessionManagerClass, "Ostrevan Session Manager 7.1");
    RemoveInstalledFiles();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_EQ(reinterpret_cast<LPARAM>(GetPropA(window, "closeCode")), 12345);
    RemovePropA(window, "closeCode");
    DestroyWindow(window);
}

TEST_F(InstalledFiles, ProtectedDirectoriesLoseOnlyTheSuitesNamedFiles)
{
    TouchOutside(desktop_ + "\\wipora-sentinel.LNK");
    TouchOutside(desktop_ + "\\Wang Display.LNK");
    for (std::string dir : {std::string("C:\\"), std::string("C:\\windows"), root_ + "\\.\\Ostrevan"}) {
        std::string folder = dir.back() == '\\' ? dir : dir + "\\";
        TouchOutside(folder + "wipora-sentinel.ini");
        TouchOutside(folder + "wipora-sentinel.txt");
        if (!fixture::Exists(folder + "Certs")) made_.push_back(folder + "Certs");
        TouchOutside(folder + "Certs\\wipora-sentinel.0");
        TouchOutside(folder + "OVKEYS.DAT");
        TouchOutside(folder + "Ostrevan.UI.dll");
        for (const char* generic : {"msvcp100.dll", "desktop.ini", "HLLAPI32.DLL"}) {
            if (!fixture::Exists(folder + generic)) TouchOutside(folder + generic);
        }
        for (BYTE allUserData : {0, 1}) {
            Target(dir);
            runContext.removeDesktopUserData = allUserData;
            RemoveInstalledFiles();
            EXPECT_TRUE(fixture::Exists(folder + "wipora-sentinel.ini")) << dir;
            EXPECT_TRUE(fixture::Exists(folder + "wipora-sentinel.txt")) << dir;
            EXPECT_TRUE(fixture::Exists(folder + "Certs\\wipora-sentinel.0")) << dir;
            EXPECT_TRUE(fixture::Exists(desktop_ + "\\wipora-sentinel.LNK")) << dir;
            for (const char* generic : {"msvcp100.dll", "desktop.ini", "HLLAPI32.DLL"})
                EXPECT_TRUE(fixture::Exists(folder + generic)) << "not the suite's: " << dir << generic;
        }
        EXPECT_FALSE(fixture::Exists(folder + "OVKEYS.DAT")) << "the suite's own file goes: " << dir;
        EXPECT_FALSE(fixture::Exists(folder + "Ostrevan.UI.dll")) << dir;
    }
    EXPECT_FALSE(fixture::Exists(desktop_ + "\\Wang Display.LNK"));
}

}  // namespace

// With the administrator's log open, a pattern that would not fit beside the
// directory is logged as skipped under its whole name, never cut and used.
TEST_F(InstalledFiles, PatternsThatDoNotFitAreLoggedAsSkipped)
{
    char temp[MAX_PATH] = "";
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string log = std::string(temp) + "Wipora.log";
    DeleteFileA(log.c_str());
    // 254 characters: "\*.ini" takes it past 259.
    std::string dir = root_ + "\\";
    dir += std::string(254 - dir.size(), 'd');
    Target(dir);
    runContext.osVersion.dwOSVersionInfoSize = sizeof runContext.osVersion;
    GetVersionExA(&runContext.osVersion);
    OpenRunLog("/l");
    ASSERT_TRUE(RunLogOpen());
    RemoveInstalledFiles();
    CloseRunLog(1);
    std::string text;
    ASSERT_TRUE(fixture::ReadFile(log, &text));
    DeleteFileA(log.c_str());
    EXPECT_NE(text.find("| delete files | " + dir + "\\*.ini | skipped: the path would not fit\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("| delete files | " + dir.substr(0, 200) + "d\\"), std::string::npos)
        << "no cut pattern was used";
    EXPECT_EQ(text.find("skipped: the path would not fit: 0;"), std::string::npos) << "counted";
}
