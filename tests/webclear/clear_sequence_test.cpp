// The Web-to-Host clear sequence: its runs of the program files removal, its
// gates and the Web key under the three roots.
#include <gtest/gtest.h>

#include "services/run_context.h"
#include "webclear/webclear.h"
#include "webclear_support.h"

namespace {

using namespace webclear_test;

using fixture::kWeb32;
using fixture::kWeb64;
const char kProbeCommand[] = "Software\\Classes\\Ostrevan.MainframeDisplay.7.1\\shell\\open\\command";

class ClearSequence : public ::testing::Test {
protected:
    void SetUp() override { CleanSuiteFootprint(); }
    void TearDown() override { CleanSuiteFootprint(); }
};

// On 6.x the low-integrity folders are cleared in a run of their own before
// the ordinary ones; on 5.x only the ordinary ones, and never with
// lowIntegrityPass set.
TEST_F(ClearSequence, ProgramFilesRunTwiceOnVistaAndLaterOnceBefore)
{
    LaunchLog launches;
    std::string profile = "[Session Manager]\r\nDisplayName=http://h/w/p\r\n";
    std::string lowProfile = "[Session Manager]\r\nDisplayName=http://h/low/p\r\n";
    std::string temp = TempFolder();
    for (DWORD major : {5u, 6u}) {
        Plant(temp + "\\Ostrevan\\7.1\\Sales.ini", profile);
        Plant(temp + "\\Low\\Ostrevan\\7.1\\Sales.ini", lowProfile);
        Plant(AppDataFolder() + "\\Ostrevan Web\\7.1\\roaming.dat", "r");
        Plant(LocalLowFolder() + "\\Ostrevan Web\\7.1\\low.dat", "l");
        BeginWebPass(false, major);
        ClearWebToHost(nullptr);
        EXPECT_EQ(runContext.lowIntegrityPass, 0);
        EXPECT_FALSE(fixture::Exists(temp + "\\Ostrevan\\7.1\\Sales.ini"));
        EXPECT_FALSE(fixture::Exists(AppDataFolder() + "\\Ostrevan Web\\7.1"));
        EXPECT_EQ(fixture::Exists(temp + "\\Low\\Ostrevan\\7.1\\Sales.ini"), major == 5) << major;
        EXPECT_EQ(fixture::Exists(LocalLowFolder() + "\\Ostrevan Web\\7.1\\low.dat"), major == 5) << major;
    }
    std::string jnlp = "\" -uninstall http://h/w/ovw2h.jnlp", lowJnlp = "\" -uninstall http://h/low/ovw2h.jnlp";
    auto lines = launches.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(jnlp), std::string::npos);      // 5.x: the ordinary profile
    EXPECT_NE(lines[1].find(lowJnlp), std::string::npos);   // 6.x: low-integrity first
    EXPECT_NE(lines[2].find(jnlp), std::string::npos);
}

TEST_F(ClearSequence, WebKeyUnderTheThreeRootsInThePassesViews)
{
    HKEY writable = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\WiporaTests\\Writable", 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &writable, nullptr),
              ERROR_SUCCESS);
    auto plant = [&](const char* path) {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            fixture::SetString(HKEY_LOCAL_MACHINE, std::string(path) + "\\Sub", "v", "1", view);
        fixture::SetString(HKEY_CURRENT_USER, std::string(path) + "\\Sub", "v", "1", KEY_WOW64_32KEY);
        fixture::SetString(writable, std::string(path) + "\\Sub", "v", "1", KEY_WOW64_32KEY);
    };
    plant(kWeb32);
    plant(kWeb64);
    fixture::SetString(HKEY_LOCAL_MACHINE, "Software\\Ostrevan Web\\7.2", "v", "other", KEY_WOW64_32KEY);

    BeginWebPass(false);
    runContext.writableUserKey = writable;
    ClearWebToHost(nullptr);
    EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kWeb32, KEY_WOW64_32KEY));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kWeb32, KEY_WOW64_32KEY));
    EXPECT_FALSE(fixture::KeyExists(writable, kWeb32, KEY_WOW64_32KEY));
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kWeb32, KEY_WOW64_64KEY));
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kWeb64, KEY_WOW64_32KEY));
    EXPECT_TRUE(fixture::KeyExists(HKEY_CURRENT_USER, kWeb64, KEY_WOW64_32KEY));

    BeginWebPass(true);
    runContext.writableUserKey = writable;
    ClearWebToHost(nullptr);
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kWeb64, view)) << view;
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kWeb64, KEY_WOW64_32KEY));
    EXPECT_FALSE(fixture::KeyExists(writable, kWeb64, KEY_WOW64_32KEY));
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kWeb32, KEY_WOW64_64KEY));
    std::string other;
    EXPECT_TRUE(fixture::ReadString(HKEY_LOCAL_MACHINE, "Software\\Ostrevan Web\\7.2", "v", &other, KEY_WOW64_32KEY));
    EXPECT_EQ(other, "other");
    RegCloseKey(writable);
    fixture::DeleteKey(HKEY_LOCAL_MACHINE, "Software\\Ostrevan Web", KEY_WOW64_32KEY);
}

// Without options the associations and the Web key still go, but no user data;
// clearUserFiles widens the sequence.
TEST_F(ClearSequence, OptionsOnlyWidenIt)
{
    std::string work = fixture::TempRoot() + "\\Work";
    Plant(work + "\\Scripts\\logon.scr", "s");
    auto prepare = [&] {
        fixture::SetString(HKEY_CURRENT_USER, kWeb32, "Working Directory", work, KEY_WOW64_32KEY);
        fixture::SetString(HKEY_CURRENT_USER, kProbeCommand, nullptr, "OV3270.EXE /kq %1", KEY_WOW64_32KEY);
    };
    prepare();
    BeginWebPass(false);
    runContext.quietMode = 1;
    ClearWebToHost(nullptr);
    EXPECT_TRUE(fixture::Exists(work + "\\Scripts\\logon.scr"));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kProbeCommand, KEY_WOW64_32KEY));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kWeb32, KEY_WOW64_32KEY));

    prepare();
    runContext.clearUserFiles = 1;
    ClearWebToHost(nullptr);
    EXPECT_FALSE(fixture::Exists(work + "\\Scripts"));
    EXPECT_TRUE(fixture::IsFolder(work));
}

}  // namespace
