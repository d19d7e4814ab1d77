// File association removal under the machine's and the user's classes.
#include <gtest/gtest.h>

#include "services/run_context.h"
#include "webclear/webclear.h"
#include "webclear_support.h"

namespace {

using namespace webclear_test;

const char* const kProgIds[] = {
    "Ostrevan.MainframeDisplay.7.1", "Ostrevan.MainframePrinter.7.1", "Ostrevan.AS400Display.7.1",
    "Ostrevan.AS400Printer.7.1",     "Ostrevan.VTDisplay.7.1",        "Ostrevan.FTPClient.7.1",
    "Ostrevan.UnisysDisplay.7.1",    "Ostrevan.Macro.7.1",            "Ostrevan.Script.7.1",
    "Ostrevan.KeyboardMap.7.1",      "Ostrevan.ColorScheme.7.1",      "Ostrevan.Hotspots.7.1",
    "Ostrevan.TransferList.7.1",
};
const char* const kExtensions[] = {".ovd", ".ovp", ".ova", ".ovr", ".ovv", ".ovf", ".ovu",
                                   ".ovm", ".ovs", ".ovk", ".ovc", ".ovh", ".ovl"};
// Classes of other products, and of another version of the suite.
const char* const kBystanders[] = {"Ostrevan.MainframeDisplay.7.2", ".ovx"};

std::string Class(const std::string& name) { return "Software\\Classes\\" + name; }

class FileAssociations : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean()
    {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
                for (const char* name : kProgIds) fixture::DeleteKey(root, Class(name), view);
                for (const char* name : kExtensions) fixture::DeleteKey(root, Class(name), view);
                for (const char* name : kBystanders)
                    fixture::DeleteKey(root, Class(name), view);
            }
    }
    // All 26 keys under root; the probe's open command is command (none when
    // null; the probe ProgID is left out when withProbe is false).
    void Register(HKEY root, REGSAM view, const char* command, bool withProbe = true)
    {
        for (int i = 0; i < 13; ++i) {
            if (i == 0 && !withProbe) continue;
            fixture::SetString(root, Class(kProgIds[i]) + "\\shell\\open\\command", nullptr,
                               "OV.EXE /kq %1", view);
            fixture::SetString(root, Class(kExtensions[i]), nullptr, kProgIds[i], view);
        }
        if (command && withProbe)
            fixture::SetString(root, Class(kProgIds[0]) + "\\shell\\open\\command", nullptr, command,
                               view);
        for (const char* name : kBystanders)
            fixture::SetString(root, Class(name), nullptr, "other", view);
    }
    // How many of the 26 keys are left under root.
    int Left(HKEY root, REGSAM view)
    {
        int left = 0;
        for (int i = 0; i < 13; ++i) {
            left += fixture::KeyExists(root, Class(kProgIds[i]), view);
            left += fixture::KeyExists(root, Class(kExtensions[i]), view);
        }
        return left;
    }
    bool BystandersStay(HKEY root, REGSAM view)
    {
        bool all = true;
        for (const char* name : kBystanders) all = all && fixture::KeyExists(root, Class(name), view);
        return all;
    }
};

// The machine's command carries the switch and the user's does not: each root
// goes with the edition its own probe names.
TEST_F(FileAssociations, EachRootGoesWithTheEditionItsProbeNames)
{
    Register(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "\"C:\\Ostrevan\\OV3270.EXE\" /kq \"%1\"");
    Register(HKEY_CURRENT_USER, KEY_WOW64_32KEY, "\"C:\\Ostrevan\\OV3270.EXE\" \"%1\"");
    BeginWebPass(false);
    RemoveFileAssociations(true);
    EXPECT_EQ(Left(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY), 0);
    EXPECT_EQ(Left(HKEY_CURRENT_USER, KEY_WOW64_32KEY), 26);

    RemoveFileAssociations(false);
    EXPECT_EQ(Left(HKEY_CURRENT_USER, KEY_WOW64_32KEY), 0);
    EXPECT_TRUE(BystandersStay(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY));
    EXPECT_TRUE(BystandersStay(HKEY_CURRENT_USER, KEY_WOW64_32KEY));
}

TEST_F(FileAssociations, UpperCaseSwitchIsNotTheWebToHostSwitch)
{
    Register(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "OV3270.EXE /KQ %1");
    BeginWebPass(false);
    RemoveFileAssociations(true);
    EXPECT_EQ(Left(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY), 26);
    RemoveFileAssociations(false);
    EXPECT_EQ(Left(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY), 0);
}

// Without the probe ProgID, or with an open command that cannot be read,
// nothing goes, whatever the other keys hold.
TEST_F(FileAssociations, MissingOrUnreadableProbeLeavesTheRoot)
{
    Register(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, nullptr, false);
    Register(HKEY_CURRENT_USER, KEY_WOW64_32KEY, (std::string("OV3270.EXE /kq ") + std::string(300, 'x')).c_str());
    BeginWebPass(false);
    for (bool webToHost : {true, false}) {
        RemoveFileAssociations(webToHost);
        EXPECT_EQ(Left(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY), 24);
        EXPECT_EQ(Left(HKEY_CURRENT_USER, KEY_WOW64_32KEY), 26);
    }
}

// The 64-bit pass reads its probe in the 64-bit view and removes what that
// view holds. From the 32-bit program, the machine's ProgIDs and extensions
// are one key for both views (as on Windows 7 and later, where only CLSID and
// a few other class keys are redirected), so the 64-bit view is written here.
TEST_F(FileAssociations, SixtyFourBitPassRemovesItsOwnView)
{
    Register(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "OV3270.EXE /kq %1");
    BeginWebPass(true);
    RemoveFileAssociations(false);
    EXPECT_EQ(Left(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY), 26);
    RemoveFileAssociations(true);
    EXPECT_EQ(Left(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY), 0);
    EXPECT_TRUE(BystandersStay(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY));
}

}  // namespace
