// ActiveX control removal against real registrations, files and processes.
#include <gtest/gtest.h>

#include "services/run_context.h"
#include "webclear/webclear.h"
#include "webclear_support.h"

namespace {

using namespace webclear_test;

const char* const kClsids[] = {
    "{3A7D1E20-5C4B-11D3-8E61-00A0C9B4D501}", "{3A7D1E21-5C4B-11D3-8E61-00A0C9B4D501}",
    "{3A7D1E22-5C4B-11D3-8E61-00A0C9B4D501}", "{3A7D1E23-5C4B-11D3-8E61-00A0C9B4D501}",
    "{3A7D1E24-5C4B-11D3-8E61-00A0C9B4D501}", "{5B19C0F3-0D2E-4A61-B7C8-2E4F6A1D9C30}",
    "{5B19C0F4-0D2E-4A61-B7C8-2E4F6A1D9C30}",
};
const char kWebToHost32[] = "{4D9E2A10-3B8C-7132-A5E1-00C04F8E71A1}";
const char kWebToHost64[] = "{4D9E2A10-3B8C-7164-A5E1-00C04F8E71A1}";
const char kCodeStore[] = "Software\\Microsoft\\Code Store Database\\Distribution Units\\";

std::string InprocKey(const std::string& clsid) { return "Software\\Classes\\CLSID\\" + clsid + "\\InprocServer32"; }

class ActiveXRemoval : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fixture::TempRoot();
        comLog = root + "\\com.log";
        SetEnvironmentVariableA("WIPORA_COM_LOG", comLog.c_str());
        Clean();
    }
    void TearDown() override
    {
        Clean();
        SetEnvironmentVariableA("WIPORA_COM_LOG", nullptr);
        fixture::StopScriptingMessages();
    }
    void Clean()
    {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            for (const char* clsid : kClsids) Forget(clsid, view);
            Forget(kWebToHost32, view);
            Forget(kWebToHost64, view);
        }
    }
    static void Forget(const std::string& clsid, REGSAM view)
    {
        fixture::DeleteKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\" + clsid, view);
        fixture::DeleteKey(HKEY_LOCAL_MACHINE, kCodeStore + clsid, view);
    }
    // A copy of the COM server double registered as clsid in view, with its
    // code store key; returns the control's path.
    std::string Register(const std::string& clsid, const std::string& folder, const std::string& file,
                         REGSAM view)
    {
        std::string path = folder + "\\" + file;
        EXPECT_TRUE(CopyDouble("comserver.dll", path)) << path;
        fixture::SetString(HKEY_LOCAL_MACHINE, InprocKey(clsid), nullptr, path, view);
        fixture::SetString(HKEY_LOCAL_MACHINE, kCodeStore + clsid + "\\Contains", "x", "1", view);
        return path;
    }
    bool InCodeStore(const std::string& clsid, REGSAM view)
    {
        return fixture::KeyExists(HKEY_LOCAL_MACHINE, kCodeStore + clsid, view);
    }
    int Unregistrations(const std::string& path)
    {
        int count = 0;
        for (const std::string& line : SplitLines(ReadText(comLog)))
            if (line.size() >= path.size() &&
                _stricmp(line.substr(line.size() - path.size()).c_str(), path.c_str()) == 0)
                ++count;
        return count;
    }
    std::string root, comLog;
};

TEST_F(ActiveXRemoval, OptionOffTouchesNothing)
{
    BeginWebPass(false);
    std::string control = Register(kClsids[0], root + "\\dpf", "KQ3D.OCX", KEY_WOW64_32KEY);
    RemoveActiveXControls();
    EXPECT_TRUE(fixture::Exists(control));
    EXPECT_TRUE(InCodeStore(kClsids[0], KEY_WOW64_32KEY));
    EXPECT_EQ(Unregistrations(control), 0);
}

TEST_F(ActiveXRemoval, ControlsInUseAreReportedOnceEachAndKept)
{
    std::string held1 = Register(kClsids[0], root + "\\dpf", "KQ3D.OCX", KEY_WOW64_32KEY);
    std::string free2 = Register(kClsids[1], root + "\\dpf", "KQ5D.OCX", KEY_WOW64_32KEY);
    std::string held3 = Register(kClsids[2], root + "\\dpf", "KQ7V.OCX", KEY_WOW64_32KEY);
    Holder holder1(held1), holder3(held3);
    ASSERT_TRUE(holder1.holding() && holder3.holding());

    for (int quiet : {1, 0}) {
        BeginWebPass(false);
        runContext.uninstallActiveX = 1;
        runContext.quietMode = (BYTE)quiet;
        RemoveActiveXControls();
        auto shown = fixture::ShownMessages();
        if (quiet) {
            EXPECT_TRUE(shown.empty());
            continue;
        }
        ASSERT_EQ(shown.size(), 2u);
        const std::string* held[] = {&held1, &held3};
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(shown[i].text, "The ActiveX control file " + *held[i] +
                                         " is currently in use by your web browser.  Please close "
                                         "the web browser application then retry the operation.");
            EXPECT_EQ(shown[i].caption, "Share Violation");
            EXPECT_EQ(shown[i].style, 0x00010010u);
            EXPECT_EQ(shown[i].owner, nullptr);
        }
    }
    for (const std::string* path : {&held1, &held3}) {
        EXPECT_TRUE(fixture::Exists(*path));
        EXPECT_EQ(Unregistrations(*path), 0);
    }
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, InprocKey(kClsids[0]), KEY_WOW64_32KEY));
    EXPECT_TRUE(InCodeStore(kClsids[0], KEY_WOW64_32KEY));
    EXPECT_TRUE(InCodeStore(kClsids[2], KEY_WOW64_32KEY));
    // The free control went in the first (quiet) run: unregistered once, deleted.
    EXPECT_FALSE(fixture::Exists(free2));
    EXPECT_EQ(Unregistrations(free2), 1);
    EXPECT_FALSE(InCodeStore(kClsids[1], KEY_WOW64_32KEY));
}

// 32-bit pass: a missing file cannot be loaded, so its registration stays.
// 64-bit pass: RegSvr32 is started for it all the same, and then its code store
// key goes in both views.
TEST_F(ActiveXRemoval, MissingControlFileStillGoesToUnregistration)
{
    std::string missing = root + "\\gone\\KQ8F.OCX";
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        fixture::SetString(HKEY_LOCAL_MACHINE, InprocKey(kClsids[3]), nullptr, missing, view);
        fixture::MakeKey(HKEY_LOCAL_MACHINE, kCodeStore + std::string(kClsids[3]), view);
    }
    BeginWebPass(false);
    runContext.uninstallActiveX = 1;
    RemoveActiveXControls();
    EXPECT_TRUE(InCodeStore(kClsids[3], KEY_WOW64_32KEY));

    BeginWebPass(true);
    runContext.uninstallActiveX = 1;
    RemoveActiveXControls();
    EXPECT_FALSE(InCodeStore(kClsids[3], KEY_WOW64_64KEY));
    EXPECT_FALSE(InCodeStore(kClsids[3], KEY_WOW64_32KEY));
}

// The Web-to-Host control in a download conflict folder: its companions go and
// so does the emptied folder. Companion names beside another control stay.
TEST_F(ActiveXRemoval, CompanionFilesAndConflictFolderOnlyForTheWebToHostControl)
{
    std::string conflict = root + "\\dpf\\CONFLICT.1";
    std::string control = Register(kWebToHost32, conflict, "OVW2H32.OCX", KEY_WOW64_32KEY);
    Plant(conflict + "\\ovw2h32.ini", "ini");
    Plant(conflict + "\\ovw2h32.inf", "inf");
    SetFileAttributesA((conflict + "\\ovw2h32.inf").c_str(), FILE_ATTRIBUTE_READONLY);
    std::string other = root + "\\other";
    Register(kClsids[4], other, "KQPRT.OCX", KEY_WOW64_32KEY);
    Plant(other + "\\ovw2h32.ini", "keep");
    Plant(other + "\\ovw2h32.inf", "keep");

    BeginWebPass(false);
    runContext.uninstallActiveX = 1;
    RemoveActiveXControls();
    EXPECT_FALSE(fixture::Exists(conflict));
    EXPECT_EQ(Unregistrations(control), 1);
    EXPECT_FALSE(InCodeStore(kWebToHost32, KEY_WOW64_32KEY));
    EXPECT_TRUE(fixture::Exists(other + "\\ovw2h32.ini"));
    EXPECT_TRUE(fixture::Exists(other + "\\ovw2h32.inf"));
    EXPECT_FALSE(fixture::Exists(other + "\\KQPRT.OCX"));
    EXPECT_TRUE(fixture::IsFolder(other));
}

// The 64-bit pass: the 64-bit view, the 64-bit control and its companion names,
// out of process through RegSvr32. A folder without "conflict." stays.
TEST_F(ActiveXRemoval, SixtyFourBitPassUsesItsOwnControlAndNames)
{
    std::string folder = root + "\\dpf64";
    std::string control = Register(kWebToHost64, folder, "OVW2H64.OCX", KEY_WOW64_64KEY);
    fixture::MakeKey(HKEY_LOCAL_MACHINE, kCodeStore + std::string(kWebToHost64), KEY_WOW64_32KEY);
    for (const char* name : {"ovw2h64.ini", "ovw2h64.inf", "ovw2h32.ini", "ovw2h32.inf"})
        Plant(folder + "\\" + name, name);
    // The 32-bit control registered in the 64-bit view is not the 64-bit pass's.
    std::string foreign = Register(kWebToHost32, root + "\\dpf32", "OVW2H32.OCX", KEY_WOW64_64KEY);

    BeginWebPass(true);
    runContext.uninstallActiveX = 1;
    RemoveActiveXControls();
    EXPECT_EQ(Unregistrations(control), 1);
    EXPECT_FALSE(fixture::Exists(control));
    EXPECT_FALSE(InCodeStore(kWebToHost64, KEY_WOW64_64KEY));
    EXPECT_FALSE(InCodeStore(kWebToHost64, KEY_WOW64_32KEY));
    EXPECT_FALSE(fixture::Exists(folder + "\\ovw2h64.ini"));
    EXPECT_FALSE(fixture::Exists(folder + "\\ovw2h64.inf"));
    EXPECT_TRUE(fixture::Exists(folder + "\\ovw2h32.ini"));
    EXPECT_TRUE(fixture::Exists(folder + "\\ovw2h32.inf"));
    EXPECT_TRUE(fixture::IsFolder(folder));
    EXPECT_TRUE(fixture::Exists(foreign));
    EXPECT_TRUE(InCodeStore(kWebToHost32, KEY_WOW64_64KEY));
}

// A registration value longer than the path buffer is not a usable path: the
// control it would name after a cut is left alone.
TEST_F(ActiveXRemoval, RegistrationThatDoesNotFitIsSkipped)
{
    std::string control = Register(kClsids[5], root + "\\dpf", "KQMAC.OCX", KEY_WOW64_32KEY);
    std::string tooLong = control + std::string(300, ' ');
    fixture::SetString(HKEY_LOCAL_MACHINE, InprocKey(kClsids[5]), nullptr, tooLong, KEY_WOW64_32KEY);
    BeginWebPass(false);
    runContext.uninstallActiveX = 1;
    RemoveActiveXControls();
    EXPECT_TRUE(fixture::Exists(control));
    EXPECT_TRUE(InCodeStore(kClsids[5], KEY_WOW64_32KEY));
}

}  // namespace
