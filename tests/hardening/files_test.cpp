// Files that are read-only, hidden, system, held open without sharing by
// another process, or that cannot be deleted at all (an immutable file or
// folder, made from the Linux side: Wine models no ACLs and the bench runs as
// root, so "a folder the user may not write" is shown by what the file system
// itself refuses). Under Wine, DeleteFileA of an immutable file reports
// success and leaves the file (the unlink fails when the handle closes), so
// the failure the program would report on Windows cannot be seen here: those
// cases check that the run ends and the files stay.
#include <gtest/gtest.h>

#include <string>

#include "hardening/exercises.h"
#include "hardening/hardening_support.h"

namespace hardening {
namespace {

// A file held open without sharing by another process. A holder that does not
// answer within this time fails its case while the case is still inside
// kCaseLimitMs, as "not holding" rather than as a slow case.
constexpr DWORD kHolderWaitMs = 5000;

const char kPending[] = "System\\CurrentControlSet\\Control\\Session Manager";

class FileState : public Case {
protected:
    // An installation directory in both views.
    void Install(const std::string& dir)
    {
        for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
            ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, key.first, "Installation Directory", dir,
                                key.second));
    }
    void WebWorkingDirectory(const std::string& dir)
    {
        for (const char* key : {kWeb32, kWeb64})
            ASSERT_TRUE(SetText(HKEY_CURRENT_USER, key, "Working Directory", dir, 0));
    }
    int IncompleteMessagesNaming(const std::string& dir) const
    {
        int count = 0;
        for (const fixture::ShownMessage& shown : Shown())
            if (shown.text.find("unable to delete all of the files from " + dir + ".") !=
                std::string::npos)
                ++count;
        return count;
    }
    static bool Set(const std::string& path, DWORD attributes)
    {
        return Touch(path) && SetFileAttributesA(path.c_str(), attributes);
    }
};

TEST_F(FileState, ReadOnlyHiddenAndSystemInstalledFilesGo)
{
    std::string dir = CaseFolder("state-install");
    ASSERT_TRUE(Set(dir + "\\OVSESMGR.EXE", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(Set(dir + "\\OVEMU3270.DLL", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(Set(dir + "\\OV3270.EXE", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
    // One view only: the other pass would find the directory gone, which it
    // reports as it must.
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kProduct32, "Installation Directory", dir, k32));
    RunTasksBothPasses("/4");
    for (const char* name : {"OVSESMGR.EXE", "OVEMU3270.DLL", "OV3270.EXE"})
        EXPECT_FALSE(fixture::Exists(dir + "\\" + name)) << name << ": its attributes are reset first";
    EXPECT_EQ(IncompleteMessagesNaming(dir), 0);
}

TEST_F(FileState, AnInstalledFileHeldOpenIsReportedOncePerPass)
{
    std::string dir = CaseFolder("state-held");
    ASSERT_TRUE(Touch(dir + "\\OV3270.EXE"));
    ASSERT_TRUE(Touch(dir + "\\OVSESMGR.EXE"));
    Install(dir);
    fixture::Holder holder(dir + "\\OV3270.EXE", kHolderWaitMs);
    ASSERT_TRUE(holder.holding());
    RunTasksBothPasses("/4");
    EXPECT_TRUE(fixture::Exists(dir + "\\OV3270.EXE"));
    EXPECT_FALSE(fixture::Exists(dir + "\\OVSESMGR.EXE"));
    EXPECT_EQ(IncompleteMessagesNaming(dir), 2) << "one message per pass, naming the directory";
}

TEST_F(FileState, ARebootDeferredFileHeldOpenIsScheduledNotReported)
{
    SavedValue pending(HKEY_LOCAL_MACHINE, kPending, "PendingFileRenameOperations", 0);
    std::string dir = CaseFolder("state-deferred");
    ASSERT_TRUE(Touch(dir + "\\OVHLLCOM.DLL"));
    Install(dir);
    fixture::Holder holder(dir + "\\OVHLLCOM.DLL", kHolderWaitMs);
    ASSERT_TRUE(holder.holding());
    RunTasksBothPasses("/4");
    EXPECT_EQ(IncompleteMessagesNaming(dir), 0);
}

TEST_F(FileState, AnImmutableInstallationIsReportedAndLeft)
{
    if (!LocksReady()) GTEST_SKIP() << "chattr +i is not available here";
    std::string dir = std::string(kRoot) + "\\locked";
    Install(dir);
    RunTasksBothPasses("/1/4");
    for (const char* name : {"OVSESMGR.EXE", "README.TXT", "Config\\macro.mac"})
        EXPECT_TRUE(fixture::Exists(dir + "\\" + name)) << name;
}

TEST_F(FileState, AnImmutableFileInAWritableFolderIsReportedTheOthersGo)
{
    if (!LocksReady()) GTEST_SKIP() << "chattr +i is not available here";
    std::string dir = std::string(kRoot) + "\\lockedfile";
    ASSERT_TRUE(Touch(dir + "\\OVSESMGR.EXE"));
    Install(dir);
    RunTasksBothPasses("/4");
    EXPECT_TRUE(fixture::Exists(dir + "\\OVEMU3270.DLL"));
    EXPECT_FALSE(fixture::Exists(dir + "\\OVSESMGR.EXE"));
}

TEST_F(FileState, WebToHostUserDataOfEveryState)
{
    std::string dir = CaseFolder("state-web");
    ASSERT_TRUE(Set(dir + "\\readonly.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(Set(dir + "\\Scripts\\hidden.mac", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(Set(dir + "\\system.dat", FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(Touch(dir + "\\Transfer\\held.dat"));
    WebWorkingDirectory(dir);
    fixture::Holder holder(dir + "\\Transfer\\held.dat", kHolderWaitMs);
    ASSERT_TRUE(holder.holding());
    RunTasksBothPasses("/1");
}

TEST_F(FileState, AnImmutableWebToHostWorkingDirectory)
{
    if (!LocksReady()) GTEST_SKIP() << "chattr +i is not available here";
    WebWorkingDirectory(std::string(kRoot) + "\\locked");
    RunTasksBothPasses("/1");
    EXPECT_TRUE(fixture::Exists(std::string(kRoot) + "\\locked\\Config\\macro.mac"));
}

TEST_F(FileState, AnActiveXControlHeldOpen)
{
    std::string dir = CaseFolder("state-control");
    std::string control = dir + "\\KQ3D.OCX";
    ASSERT_TRUE(Touch(control));
    for (REGSAM view : {k32, k64})
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE,
                            "Software\\Classes\\CLSID\\{3A7D1E20-5C4B-11D3-8E61-00A0C9B4D501}"
                            "\\InprocServer32",
                            "", control, view));
    fixture::Holder holder(control, kHolderWaitMs);
    ASSERT_TRUE(holder.holding());
    RunTasksBothPasses("/2");
    EXPECT_TRUE(fixture::Exists(control));
    int shareViolations = 0;
    for (const fixture::ShownMessage& shown : Shown())
        if (shown.caption == "Share Violation") ++shareViolations;
    EXPECT_LE(shareViolations, 2) << "at most one per pass";
}

}  // namespace
}  // namespace hardening
