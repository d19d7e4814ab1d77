// Program files and browser plug-ins: the Session Manager, session profiles
// and shortcuts, cache files, the applet library, plug-ins and their keys,
// downloaded cabinets and controls, and the application data folder.
#include <gtest/gtest.h>

#include "services/run_context.h"
#include "webclear/webclear.h"
#include "webclear_support.h"

namespace {

using namespace webclear_test;

const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kExtensionRoot[] = "Software\\Microsoft\\Internet Explorer\\Plugins\\Extension\\";
const char* const kPluginNames[] = {"NPKQ3270.DLL", "NPKQ5250.DLL", "NPKQVT.DLL", "NPKQFTP.DLL",
                                    "NPKQPRT.DLL",  "NPKQMAC.DLL",  "NPOVW2H.DLL"};
const char* const kExtensions[] = {".kq3", ".kq5", ".kqv", ".kqf", ".kqp", ".kqm", ".ow2"};

class ProgramFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        CleanSuiteFootprint();
        root = fixture::TempRoot();
        cache = TempFolder() + "\\Ostrevan\\7.1";
    }
    void TearDown() override { CleanSuiteFootprint(); }
    std::string root, cache;
};

// The Session Manager is asked to close; each profile's launcher uninstall
// runs and its desktop shortcut goes; every file of the version folder goes,
// its sub-folders stay.
TEST_F(ProgramFiles, SessionManagerProfilesShortcutsAndCacheFiles)
{
    LaunchLog launches;
    std::string sessionLog = root + "\\sessmgr.log";
    std::string sessionManager = root + "\\sessmgr.exe";
    ASSERT_TRUE(CopyDouble("sessmgr.exe", sessionManager));
    std::string command = "\"" + sessionManager + "\" \"Ostrevan Session Manager\" \"" + sessionLog + "\"";
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si, &pi));
    CloseHandle(pi.hThread);
    for (int i = 0; i < 200 && !FindWindowA("Ostrevan Session Manager", nullptr); ++i) Sleep(50);

    fixture::MakeFolders(cache + "\\x64");
    fixture::MakeFolders(cache + "\\keep");
    Plant(cache + "\\Sales.ini", "[Session Manager]\r\nDisplayName=http://host/web/sales.html\r\n");
    Plant(cache + "\\notes.dat", "cache file");
    SetFileAttributesA((cache + "\\notes.dat").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    Plant(cache + "\\x64\\Sales.ini", "64-bit pass");
    Plant(cache + "\\keep\\inner.dat", "not entered");
    std::string desktop = DesktopFolder();
    Plant(desktop + "\\Sales.LNK", "shortcut");
    Plant(desktop + "\\Other.LNK", "bystander");

    BeginWebPass(false);
    RemoveProgramFilesAndPlugins();

    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(SplitLines(ReadText(sessionLog)), std::vector<std::string>{"WM_CLOSE 12345"});
    auto lines = launches.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("javaws.exe\" -uninstall http://host/web/ovw2h.jnlp"), std::string::npos);
    EXPECT_FALSE(fixture::Exists(desktop + "\\Sales.LNK"));
    EXPECT_TRUE(fixture::Exists(desktop + "\\Other.LNK"));
    EXPECT_FALSE(fixture::Exists(cache + "\\Sales.ini"));
    EXPECT_FALSE(fixture::Exists(cache + "\\notes.dat"));
    EXPECT_TRUE(fixture::Exists(cache + "\\x64\\Sales.ini"));
    EXPECT_TRUE(fixture::Exists(cache + "\\keep\\inner.dat"));
    EXPECT_TRUE(fixture::IsFolder(cache));
    fixture::RemoveAll(desktop + "\\Other.LNK");
}

// The applet library in the temporary folder goes with its version folder, and
// the "Ostrevan" folder when nothing else is in it.
TEST_F(ProgramFiles, AppletLibraryAndItsFolders)
{
    // Cache root in the roaming folder, so the temporary folder holds the
    // applet library alone.
    fixture::SetBinary(HKEY_CURRENT_USER, "Software\\Ostrevan Web\\7.1", "CacheMode", "\1", 1, REG_BINARY, KEY_WOW64_32KEY);
    std::string temp = TempFolder();
    Plant(temp + "\\Ostrevan\\7.1\\Plxw2hjv.dll", "applet");
    BeginWebPass(false);
    RemoveProgramFilesAndPlugins();
    EXPECT_FALSE(fixture::Exists(temp + "\\Ostrevan"));

    fixture::MakeFolders(temp + "\\Ostrevan\\7.1");
    fixture::MakeFolders(temp + "\\Ostrevan\\7.2");
    Plant(temp + "\\Ostrevan\\7.1\\Plxw2hjv.dll", "applet");
    RemoveProgramFilesAndPlugins();
    EXPECT_FALSE(fixture::Exists(temp + "\\Ostrevan\\7.1"));
    EXPECT_TRUE(fixture::IsFolder(temp + "\\Ostrevan\\7.2"));
}

// Plug-ins go from the Plugins folder of each registered browser; a foreign
// plug-in stays, and so does everything of a browser whose registration cannot
// be read whole. (Wine shares App Paths between the views.)
TEST_F(ProgramFiles, BrowserPlugins)
{
    std::string ie = root + "\\IE", netscape = root + "\\Netscape", netscape6 = root + "\\NS6";
    std::string appPaths = kAppPaths;
    SavedValue ieValue(HKEY_LOCAL_MACHINE, appPaths + "IEXPLORE.EXE", "", KEY_WOW64_32KEY);
    fixture::SetString(HKEY_LOCAL_MACHINE, appPaths + "IEXPLORE.EXE", nullptr, ie + "\\iexplore.exe",
                       KEY_WOW64_32KEY);
    // 1,100 characters: only a cut value would name <Netscape>\Plugins.
    fixture::SetString(HKEY_LOCAL_MACHINE, appPaths + "NETSCAPE.EXE", nullptr,
                       netscape + "\\" + std::string(1100, 'n') + "\\netscape.exe", KEY_WOW64_32KEY);
    fixture::SetString(HKEY_LOCAL_MACHINE, appPaths + "NETSCP6.EXE", nullptr, netscape6 + "\\netscp6.exe",
                       KEY_WOW64_32KEY);
    for (const std::string& folder : {ie, netscape, netscape6}) {
        for (const char* name : kPluginNames) Plant(folder + "\\Plugins\\" + name, name);
        Plant(folder + "\\Plugins\\NPOVW2H12.DLL", "versioned");
        Plant(folder + "\\Plugins\\NPFOREIGN.DLL", "foreign");
    }
    SetFileAttributesA((ie + "\\Plugins\\NPKQVT.DLL").c_str(), FILE_ATTRIBUTE_READONLY);

    BeginWebPass(false);
    RemoveProgramFilesAndPlugins();
    fixture::DeleteKey(HKEY_LOCAL_MACHINE, appPaths + "NETSCAPE.EXE", KEY_WOW64_32KEY);
    fixture::DeleteKey(HKEY_LOCAL_MACHINE, appPaths + "NETSCP6.EXE", KEY_WOW64_32KEY);

    for (const char* name : kPluginNames) {
        EXPECT_FALSE(fixture::Exists(ie + "\\Plugins\\" + name)) << name;
        EXPECT_FALSE(fixture::Exists(netscape6 + "\\Plugins\\" + name)) << name;
        EXPECT_TRUE(fixture::Exists(netscape + "\\Plugins\\" + name)) << name;
    }
    EXPECT_FALSE(fixture::Exists(ie + "\\Plugins\\NPOVW2H12.DLL"));
    EXPECT_EQ(ReadText(ie + "\\Plugins\\NPFOREIGN.DLL"), "foreign");
    EXPECT_EQ(ReadText(netscape6 + "\\Plugins\\NPFOREIGN.DLL"), "foreign");
    EXPECT_TRUE(fixture::Exists(netscape + "\\Plugins\\NPOVW2H12.DLL"));
}

TEST_F(ProgramFiles, ExtensionKeysGoEvenWithoutInternetExplorer)
{
    std::string ieKey = std::string(kAppPaths) + "IEXPLORE.EXE";
    SavedValue path32(HKEY_LOCAL_MACHINE, ieKey, "Path", KEY_WOW64_32KEY);
    SavedValue default32(HKEY_LOCAL_MACHINE, ieKey, "", KEY_WOW64_32KEY);
    fixture::DeleteKey(HKEY_LOCAL_MACHINE, ieKey, KEY_WOW64_32KEY);
    for (const char* extension : kExtensions)
        fixture::MakeKey(HKEY_LOCAL_MACHINE, kExtensionRoot + std::string(extension), KEY_WOW64_32KEY);
    fixture::MakeKey(HKEY_LOCAL_MACHINE, kExtensionRoot + std::string(".pdf"), KEY_WOW64_32KEY);

    BeginWebPass(false);
    RemoveProgramFilesAndPlugins();
    for (const char* extension : kExtensions)
        EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kExtensionRoot + std::string(extension),
                                        KEY_WOW64_32KEY)) << extension;
    EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kExtensionRoot + std::string(".pdf"), KEY_WOW64_32KEY));
    fixture::DeleteKey(HKEY_LOCAL_MACHINE, kExtensionRoot + std::string(".pdf"), KEY_WOW64_32KEY);
}

TEST_F(ProgramFiles, CabinetsAndControlsOnlyWithUninstallActiveX)
{
    std::string downloads = root + "\\Downloaded Program Files";
    SavedValue cacheValue(HKEY_LOCAL_MACHINE, kInternetSettings, "ActiveXCache", KEY_WOW64_32KEY);
    fixture::SetString(HKEY_LOCAL_MACHINE, kInternetSettings, "ActiveXCache", downloads, KEY_WOW64_32KEY);
    const char* suite[] = {"OV3270A.CAB", "OVW2H711.CAB", "KQMAC.CAB", "KQ3D.OCX", "PLXW2H.OCX"};
    const char* foreign[] = {"FOREIGN.CAB", "OVX.CAB", "OTHER.OCX", "KQ9Z.OCX"};
    auto make = [&] {
        for (const char* name : suite) Plant(downloads + "\\" + name, name);
        for (const char* name : foreign) Plant(downloads + "\\" + name, name);
    };
    make();
    BeginWebPass(false);
    RemoveProgramFilesAndPlugins();
    for (const char* name : suite) EXPECT_TRUE(fixture::Exists(downloads + "\\" + name)) << name;

    runContext.uninstallActiveX = 1;
    RemoveProgramFilesAndPlugins();
    for (const char* name : suite) EXPECT_FALSE(fixture::Exists(downloads + "\\" + name)) << name;
    for (const char* name : foreign) EXPECT_EQ(ReadText(downloads + "\\" + name), name);
    EXPECT_TRUE(fixture::IsFolder(downloads));
}

// The cache files step leaves the "x64" sub-folder to the 64-bit pass; the
// application data step of the 32-bit pass descends into it and empties it.
TEST_F(ProgramFiles, X64SubFolderLeftByCacheFilesButEmptiedByApplicationData)
{
    std::string appData = AppDataFolder() + "\\Ostrevan Web";
    Plant(appData + "\\7.1\\session.dat", "32");
    Plant(appData + "\\7.1\\x64\\session.dat", "64");
    Plant(appData + "\\7.1\\x64\\deep\\trace.log", "64");
    Plant(appData + "\\other.txt", "bystander");
    Plant(cache + "\\x64\\Remote.ini", "[Session Manager]\r\nDisplayName=http://h/w/p\r\n");

    BeginWebPass(false);
    RemoveProgramFilesAndPlugins();
    EXPECT_FALSE(fixture::Exists(appData + "\\7.1"));
    EXPECT_EQ(ReadText(appData + "\\other.txt"), "bystander");
    EXPECT_TRUE(fixture::Exists(cache + "\\x64\\Remote.ini"));

    Plant(appData + "\\7.1\\x64\\left.dat", "64");
    Plant(appData + "\\7.1\\kept.dat", "32");
    BeginWebPass(true);
    RemoveProgramFilesAndPlugins();
    EXPECT_FALSE(fixture::Exists(cache + "\\x64\\Remote.ini"));
    EXPECT_FALSE(fixture::Exists(appData + "\\7.1\\x64"));
    EXPECT_EQ(ReadText(appData + "\\7.1\\kept.dat"), "32");
}

}  // namespace
