// Folder resolution against Wine's real shell folders, registry and
// environment.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <cstring>
#include <string>

#include "services/run_context.h"
#include "services/folders.h"
#include "services_support.h"

namespace {

using services_test::ScopedVariable;

void StartRun(DWORD major = 6, DWORD platform = VER_PLATFORM_WIN32_NT)
{
    ResetRunContext();
    runContext.osVersion.dwMajorVersion = major;
    runContext.osVersion.dwMinorVersion = 1;
    runContext.osVersion.dwPlatformId = platform;
    runContext.writableUserKey = HKEY_CURRENT_USER;
}

std::string Resolve(int csidl)
{
    char out[kPathSize] = "untouched";
    HRESULT status = ResolveFolder(csidl, out);
    return status == S_OK ? std::string(out) : "status " + std::to_string(status) + " " + out;
}

std::string LocalLow() { return fixture::ShellFolder(CSIDL_LOCAL_APPDATA) + "Low"; }

const int kTableCsidls[] = {2, 5, 7, 16, 23, 24, 25, 26, 35, 46};

TEST(ResolveFolder, EveryCsidlOnTheShfolderAndTheOldShellRoute)
{
    for (DWORD major : {6u, 5u, 4u}) {
        StartRun(major);
        for (int csidl : kTableCsidls) {
            std::string expected = fixture::ShellFolder(csidl);
            ASSERT_FALSE(expected.empty());
            std::string got = Resolve(csidl);
            // The path as the shell gives it: Wine's old item-list route ends
            // some folders with a backslash, SHGetFolderPathA none.
            if (major < 5 && got.size() > 3 && got.back() == '\\') got.pop_back();
            EXPECT_EQ(got, expected) << "csidl " << csidl << " version " << major;
        }
        // Only the low 16 bits count.
        EXPECT_EQ(Resolve(0x10000 | CSIDL_APPDATA), fixture::ShellFolder(CSIDL_APPDATA));
    }
}

TEST(ResolveFolder, AFailedRouteLeavesOutUntouched)
{
    for (DWORD major : {6u, 4u}) {
        StartRun(major);
        char out[kPathSize] = "untouched";
        EXPECT_NE(ResolveFolder(0x7F, out), S_OK) << "no such CSIDL";
        EXPECT_STREQ(out, "untouched");
    }
}

TEST(ResolveFolder, LowIntegrityPassRedirectsDocumentsAndAppDataOnly)
{
    StartRun(6);
    runContext.lowIntegrityPass = 1;
    EXPECT_EQ(Resolve(CSIDL_APPDATA), LocalLow());
    EXPECT_EQ(Resolve(CSIDL_PERSONAL), LocalLow());
    for (int csidl : {CSIDL_COMMON_APPDATA, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS,
                      CSIDL_PROGRAMS})
        EXPECT_EQ(Resolve(csidl), fixture::ShellFolder(csidl)) << csidl;

    StartRun(5);   // Windows XP has no LocalLow
    runContext.lowIntegrityPass = 1;
    EXPECT_EQ(Resolve(CSIDL_APPDATA), fixture::ShellFolder(CSIDL_APPDATA));
    EXPECT_EQ(Resolve(CSIDL_PERSONAL), fixture::ShellFolder(CSIDL_PERSONAL));

    StartRun(6);   // outside the low-integrity pass
    EXPECT_EQ(Resolve(CSIDL_APPDATA), fixture::ShellFolder(CSIDL_APPDATA));
}

TEST(ResolveLocalLowFolder, AppliesOnlyToItsThreeConditions)
{
    char out[kPathSize] = "untouched";
    EXPECT_EQ(ResolveLocalLowFolder(CSIDL_APPDATA, out, false, 6), kFolderRouteFailed);
    EXPECT_EQ(ResolveLocalLowFolder(CSIDL_APPDATA, out, true, 5), kFolderRouteFailed);
    EXPECT_EQ(ResolveLocalLowFolder(CSIDL_COMMON_APPDATA, out, true, 6), kFolderRouteFailed);
    EXPECT_STREQ(out, "untouched");
    EXPECT_EQ(ResolveLocalLowFolder(0x20000 | CSIDL_PERSONAL, out, true, 10), S_OK);
    EXPECT_EQ(std::string(out), LocalLow());
}

TEST(ResolveLocalLowFolder, CreatesTheFolderWhenMissing)
{
    std::string folder = LocalLow();
    // Only an empty LocalLow can be taken away for the test.
    if (!RemoveDirectoryA(folder.c_str()) && fixture::Exists(folder))
        GTEST_SKIP() << folder << " is not empty";
    char out[kPathSize] = "";
    EXPECT_EQ(ResolveLocalLowFolder(CSIDL_APPDATA, out, true, 6), S_OK);
    EXPECT_TRUE(fixture::IsFolder(folder));
}

struct GetterCase { DWORD platform; BYTE baseRegistry; bool forceUser; bool common; };

TEST(FolderGetters, CommonOrPerUserByPlatformBaseRegistryAndForceUser)
{
    const GetterCase cases[] = {
        {VER_PLATFORM_WIN32_NT, 0, false, true},  {VER_PLATFORM_WIN32_NT, 1, false, true},
        {VER_PLATFORM_WIN32_NT, 0, true, false},  {VER_PLATFORM_WIN32_NT, 2, false, false},
        {VER_PLATFORM_WIN32_NT, 2, true, false},  {VER_PLATFORM_WIN32_WINDOWS, 0, false, false},
        {VER_PLATFORM_WIN32_WINDOWS, 1, false, false},
    };
    for (const auto& c : cases) {
        StartRun(6, c.platform);
        runContext.baseRegistry = c.baseRegistry;
        std::string label = "platform " + std::to_string(c.platform) + " base " +
                            std::to_string(c.baseRegistry) + " force " + std::to_string(c.forceUser);
        char out[kPathSize] = "";
        EXPECT_TRUE(GetDesktopFolder(out, c.forceUser));
        EXPECT_EQ(std::string(out), fixture::ShellFolder(c.common ? 25 : 16) + "\\") << label;
        EXPECT_TRUE(GetStartupFolder(out, c.forceUser));
        EXPECT_EQ(std::string(out), fixture::ShellFolder(c.common ? 24 : 7) + "\\") << label;
        if (!c.forceUser) {
            EXPECT_TRUE(GetProgramsFolder(out));
            EXPECT_EQ(std::string(out), fixture::ShellFolder(c.common ? 23 : 2) + "\\") << label;
        }
    }
}

// The Web-to-Host cache root, read through the Web key's "CacheMode".
class CacheRoot : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartRun(6);
        runContext.baseRegistry = 2;
        fixture::RemoveSuiteKeys();
        // A temporary folder with a long name, reached through its short name,
        // so that the long form is visible in the result.
        root = fixture::TempRoot();
        longTemp = root + "\\Long Temporary Folder";
        fixture::MakeFolders(longTemp);
        char shortForm[kPathSize] = "";
        GetShortPathNameA(longTemp.c_str(), shortForm, sizeof shortForm);
        ASSERT_NE(std::string(shortForm), longTemp) << "Wine gives 8.3 names";
        tmp = new ScopedVariable("TMP", shortForm);
    }
    void TearDown() override
    {
        delete tmp;
        fixture::RemoveSuiteKeys();
        fixture::RemoveAll(root);
    }
    static void SetMode(HKEY root, const void* data, DWORD size, DWORD type = REG_BINARY,
                        REGSAM view = 0, const char* path = "Software\\Ostrevan Web\\7.1")
    {
        ASSERT_TRUE(fixture::SetBinary(root, path, "CacheMode", data, size, type, view));
    }
    static std::string Root()
    {
        char out[kPathSize] = "stale";
        bool ok = GetCacheRoot(out);
        return (ok ? "" : "failed:") + std::string(out);
    }
    std::string Temp() const { return longTemp + "\\"; }

    std::string root, longTemp;
    ScopedVariable* tmp = nullptr;
};

TEST_F(CacheRoot, ModeTwoIsCommonAppDataAndModeOneAppDataWithoutBackslash)
{
    BYTE two = 2, one = 1;
    SetMode(HKEY_CURRENT_USER, &two, 1);
    EXPECT_EQ(Root(), fixture::ShellFolder(CSIDL_COMMON_APPDATA));
    SetMode(HKEY_CURRENT_USER, &one, 1);
    EXPECT_EQ(Root(), fixture::ShellFolder(CSIDL_APPDATA));
}

TEST_F(CacheRoot, EveryOtherModeIsTheLongTemporaryFolderWithBackslash)
{
    EXPECT_EQ(Root(), Temp()) << "no Web key";
    fixture::MakeKey(HKEY_CURRENT_USER, "Software\\Ostrevan Web\\7.1");
    EXPECT_EQ(Root(), Temp()) << "no CacheMode value";
    for (BYTE mode : {0, 3, 255}) {
        SetMode(HKEY_CURRENT_USER, &mode, 1);
        EXPECT_EQ(Root(), Temp()) << int(mode);
    }
    // Values that do not fit one byte leave the mode 0.
    DWORD dword = 2;
    SetMode(HKEY_CURRENT_USER, &dword, 4, REG_DWORD);
    EXPECT_EQ(Root(), Temp()) << "a DWORD 2";
    SetMode(HKEY_CURRENT_USER, "1", 2, REG_SZ);
    EXPECT_EQ(Root(), Temp()) << "a string \"1\"";
}

TEST_F(CacheRoot, PerMachineKeyIsReadInTheRunsView)
{
    BYTE two = 2;
    runContext.baseRegistry = 0;
    SetMode(HKEY_CURRENT_USER, &two, 1);   // not looked at per machine
    fixture::DeleteKey(HKEY_CURRENT_USER, "Software\\Ostrevan Web");
    SetMode(HKEY_LOCAL_MACHINE, &two, 1, REG_BINARY, KEY_WOW64_64KEY);
    runContext.viewAccessMask = KEY_WOW64_32KEY;
    EXPECT_EQ(Root(), Temp()) << "the 64-bit view's value is not the 32-bit run's";
    runContext.viewAccessMask = KEY_WOW64_64KEY;
    EXPECT_EQ(Root(), fixture::ShellFolder(CSIDL_COMMON_APPDATA));
    SetMode(HKEY_LOCAL_MACHINE, &two, 1, REG_BINARY, KEY_WOW64_32KEY);
    runContext.viewAccessMask = KEY_WOW64_32KEY;
    EXPECT_EQ(Root(), fixture::ShellFolder(CSIDL_COMMON_APPDATA));
}

TEST_F(CacheRoot, PerUserFallsBackToTheWritableUserKey)
{
    BYTE one = 1;
    SetMode(HKEY_CURRENT_USER, &one, 1, REG_BINARY, 0,
            "Software\\WiporaTests\\Writable\\Software\\Ostrevan Web\\7.1");
    HKEY writable = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\WiporaTests\\Writable", 0, KEY_READ,
                            &writable), ERROR_SUCCESS);
    runContext.writableUserKey = writable;
    EXPECT_EQ(Root(), fixture::ShellFolder(CSIDL_APPDATA));
    runContext.baseRegistry = 0;
    EXPECT_EQ(Root(), Temp()) << "per machine, the writable root is not looked at";
    RegCloseKey(writable);
}

TEST_F(CacheRoot, LowIntegrityPassAddsLowOnlyOnTheTemporaryRoute)
{
    runContext.lowIntegrityPass = 1;
    EXPECT_EQ(Root(), Temp() + "Low\\");
    BYTE one = 1, two = 2;
    SetMode(HKEY_CURRENT_USER, &one, 1);
    EXPECT_EQ(Root(), LocalLow());
    SetMode(HKEY_CURRENT_USER, &two, 1);
    EXPECT_EQ(Root(), fixture::ShellFolder(CSIDL_COMMON_APPDATA));
}

TEST_F(CacheRoot, ATemporaryFolderThatDoesNotFitIsRefusedNotCut)
{
    // "C:\" + 254 characters + "\" is 258 characters: it fits, "Low\" does not.
    std::string nearRoot = "C:\\" + std::string(254, 'q');
    ScopedVariable nearTmp("TMP", nearRoot.c_str());
    EXPECT_EQ(Root(), nearRoot + "\\");
    runContext.lowIntegrityPass = 1;
    EXPECT_EQ(Root(), "failed:");
    runContext.lowIntegrityPass = 0;
    // Longer than any path buffer: GetTempPathA answers 0 or the size it
    // would need; either way there is no cache root to give.
    std::string over = "C:\\" + std::string(300, 'q');
    ScopedVariable overTmp("TMP", over.c_str());
    EXPECT_EQ(Root(), "failed:");
}

// Environment references, one per iteration.
class Expansion : public ::testing::Test {
protected:
    static std::string Expand(const std::string& text)
    {
        char path[kPathSize];
        std::memset(path, 'X', sizeof path);
        std::strcpy(path, text.c_str());
        ExpandEnvironmentReferences(path);
        return path;
    }
    ScopedVariable a{"WIPORA_A", "C:\\Value A"};
    ScopedVariable b{"WIPORA_B", "bee"};
    ScopedVariable unset{"WIPORA_UNSET", nullptr};
    ScopedVariable empty{"WIPORA_EMPTY", ""};
};

TEST_F(Expansion, PercentAndAngleReferences)
{
    EXPECT_EQ(Expand("%WIPORA_A%\\Ostrevan"), "C:\\Value A\\Ostrevan");
    EXPECT_EQ(Expand("<WIPORA_A>\\Ostrevan"), "C:\\Value A\\Ostrevan");
    EXPECT_EQ(Expand("%WIPORA_A>\\Ostrevan"), "C:\\Value A\\Ostrevan") << "% closed by >";
    EXPECT_EQ(Expand("C:\\Plain\\Path"), "C:\\Plain\\Path");
    EXPECT_EQ(Expand("%WIPORA_A%\\%WIPORA_B%\\x"), "C:\\Value A\\bee\\x");
    EXPECT_EQ(Expand(""), "");
    EXPECT_EQ(Expand("50% off"), "50% off") << "no closing delimiter";
}

TEST_F(Expansion, AnUnsetOrEmptyVariableStopsWithEarlierReferencesExpanded)
{
    EXPECT_EQ(Expand("%WIPORA_A%\\%WIPORA_UNSET%\\%WIPORA_B%"),
              "C:\\Value A\\%WIPORA_UNSET%\\%WIPORA_B%");
    EXPECT_EQ(Expand("%WIPORA_B%\\%WIPORA_EMPTY%\\%WIPORA_A%"), "bee\\%WIPORA_EMPTY%\\%WIPORA_A%");
}

TEST_F(Expansion, PercentReferencesGoBeforeAngleReferences)
{
    // Left to right, the unset angle reference would stop at once.
    EXPECT_EQ(Expand("<WIPORA_UNSET>\\%WIPORA_B%"), "<WIPORA_UNSET>\\bee");
    EXPECT_EQ(Expand("<WIPORA_B>\\%WIPORA_A%"), "bee\\C:\\Value A");
}

TEST_F(Expansion, SelfAndMutualReferencesEndAfterTheBound)
{
    ScopedVariable self("WIPORA_SELF", "x%WIPORA_SELF%");
    EXPECT_EQ(Expand("%WIPORA_SELF%"), std::string(kMaxExpansions, 'x') + "%WIPORA_SELF%");
    ScopedVariable ping("WIPORA_PING", "a%WIPORA_PONG%");
    ScopedVariable pong("WIPORA_PONG", "b%WIPORA_PING%");
    std::string expected;
    for (int i = 0; i < kMaxExpansions; ++i) expected += i % 2 ? 'b' : 'a';
    expected += kMaxExpansions % 2 ? "%WIPORA_PONG%" : "%WIPORA_PING%";
    EXPECT_EQ(Expand("%WIPORA_PING%"), expected);
}

TEST_F(Expansion, AnExpansionPast259CharactersIsNotMade)
{
    std::string value(200, 'v');
    ScopedVariable big("WIPORA_BIG", value.c_str());
    EXPECT_EQ(Expand("%WIPORA_BIG%\\%WIPORA_BIG%"), value + "\\%WIPORA_BIG%");

    std::string edge(255, 'e');
    ScopedVariable fit("WIPORA_FIT", edge.c_str());
    EXPECT_EQ(Expand("%WIPORA_FIT%\\abc"), edge + "\\abc") << "259 characters fit";
    EXPECT_EQ(Expand("%WIPORA_FIT%\\abcd"), "%WIPORA_FIT%\\abcd") << "260 do not";

    std::string huge(300, 'h');
    ScopedVariable tooLong("WIPORA_HUGE", huge.c_str());
    EXPECT_EQ(Expand("%WIPORA_HUGE%"), "%WIPORA_HUGE%") << "a value that cannot be read whole";
}

}  // namespace
