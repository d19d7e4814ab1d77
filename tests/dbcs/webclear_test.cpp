// The Web-to-Host clearing on folders named with double-byte characters: the
// working directory, the cache root, the download folder, a browser's
// executable, the web launcher's folder, session profiles and control files.
#include <shlobj.h>

#include "services/run_context.h"
#include "services/settings.h"
#include "dbcs/dbcs_support.h"
#include "webclear/webclear.h"

namespace dbcs {
namespace {

const char kWebKey[] = "Software\\Ostrevan Web\\7.1";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kIeAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
const char kLauncherKey[] = "Software\\Calderwick\\Jarvane for Ostrevan";
const char kWebToHostControl[] =
    "CLSID\\{4D9E2A10-3B8C-7132-A5E1-00C04F8E71A1}\\InprocServer32";

class DoubleByteWebClear : public Case, public ::testing::WithParamInterface<Shape> {
protected:
    Shape shape() const { return GetParam(); }
    std::string Name(const char* base, int character = 0) const
    {
        return FolderName(base, shape(), character);
    }
};

// A fresh log file for a test double, at a path of ASCII characters.
std::string LogPath(const char* name)
{
    std::string path = std::string("C:\\wipora-dbcs\\") + name + ".log";
    DeleteFileA(path.c_str());
    return path;
}

std::string ParamName(const ::testing::TestParamInfo<Shape>& info) { return ShapeName(info.param); }

// "Working Directory" of the Web key: emptied, sub-folders and all; files and
// folders beside it that begin with its name stay.
TEST_P(DoubleByteWebClear, WorkingDirectoryIsEmptiedAndNothingBesideIt)
{
    std::string parent = CaseFolder(std::string("WorkingDirectory") + ShapeName(shape()));
    std::string work = parent + "\\" + Name("Work");
    for (const char* f : {"\\top.txt", "\\Certs\\c.pem", "\\Config\\a.ini", "\\Scripts\\deep\\s.mac"})
        Touch(work + f, "suite");
    PlantNeighbours(work, {"top.txt", ".txt", "Config"}, {"Certs", "Config", "2"});
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kWebKey, "Working Directory",
                                   Spell(work, shape())));
    Snapshot before = Take(parent, {work});

    runContext.baseRegistry = 2;
    runContext.clearUserFiles = 1;
    RemoveWebUserData(nullptr);

    EXPECT_EQ(EntryCount(work), 0) << "the working directory is emptied and stays";
    Snapshot after = Take(parent, {work});
    EXPECT_EQ(before, after) << Difference(before, after);
}

// A user whose application data and temporary folders lie below such a name:
// the cache root in each of its three routes, and the application data folder.
// The session profiles and cache files, the default working directory and the
// application data version folder go; nothing beside them does.
TEST_P(DoubleByteWebClear, CacheRootBelowSuchANameIsJoinedWithABackslash)
{
    std::string parent = CaseFolder(std::string("CacheRoot") + ShapeName(shape()));
    std::string appData = parent + "\\" + Name("Roaming");
    std::string common = parent + "\\" + Name("Common", 1);
    std::string temp = parent + "\\" + Name("Temp", 2);
    MovedShellFolder movedAppData(CSIDL_APPDATA, appData);
    MovedShellFolder movedCommon(CSIDL_COMMON_APPDATA, common);
    ScopedVariable tmp("TMP", temp.c_str());
    ScopedVariable tempVariable("TEMP", temp.c_str());
    char resolved[MAX_PATH] = "";
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, resolved), S_OK);
    ASSERT_EQ(std::string(resolved), appData) << "the shell took up the moved folder";

    for (BYTE mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        std::string root = mode == 1 ? appData : mode == 2 ? common : temp;
        std::string version = root + "\\Ostrevan\\7.1";
        for (const char* f : {"\\Sales.ini", "\\cache.dat", "\\global.ini", "\\Config\\a.ini"})
            Touch(version + f, "suite");
        fixture::WriteFile(version + "\\global.ini", "[Ostrevan]\r\nAllowCrossVersionInterop=No\r\n");
        std::string webData = appData + "\\Ostrevan Web\\7.1";
        Touch(webData + "\\state.dat", "suite");
        PlantNeighbours(root, {"Sales.ini", "global.ini"}, {"Ostrevan", "Ostrevan Web"});
        Touch(root + "Ostrevan\\7.1\\global.ini", "[Ostrevan]\r\nAllowCrossVersionInterop=Yes\r\n");
        Snapshot before = Take(parent, {version, webData});

        ResetRunContext();
        SetUp();
        ASSERT_TRUE(fixture::SetBinary(HKEY_CURRENT_USER, kWebKey, "CacheMode", &mode, 1));
        runContext.baseRegistry = 2;
        runContext.allowCrossVersionInterop = 1;
        ReadGlobalIni();
        EXPECT_EQ(runContext.allowCrossVersionInterop, 0) << "global.ini read below the root";
        RemoveProgramFilesAndPlugins();
        runContext.clearUserFiles = 1;
        RemoveWebUserData(nullptr);

        EXPECT_EQ(EntryCount(version), 0);
        EXPECT_FALSE(fixture::Exists(webData)) << "the application data version folder goes";
        Snapshot after = Take(parent, {version, webData});
        EXPECT_EQ(before, after) << Difference(before, after);
        fixture::RemoveAll(root + "\\Ostrevan");
    }
}

// "ActiveXCache": the suite's cabinets and controls in it go, and nothing of
// the same names beside it.
TEST_P(DoubleByteWebClear, DownloadFolderKeepsItsNeighbours)
{
    std::string parent = CaseFolder(std::string("ActiveXCache") + ShapeName(shape()));
    std::string cache = parent + "\\" + Name("Downloaded");
    for (const char* f : {"\\OV3270x.CAB", "\\KQ3D.OCX", "\\PLXW2H.OCX"}) Touch(cache + f, "suite");
    Touch(cache + "\\other.dll");
    PlantNeighbours(cache, {"OV3270x.CAB", "KQ3D.OCX", "PLXW2H.OCX"}, {"OVW2H1.CAB"});
    SavedValue saved(HKEY_LOCAL_MACHINE, kInternetSettings, "ActiveXCache", k32);
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, kInternetSettings, "ActiveXCache",
                                   Spell(cache, shape()), k32));
    Snapshot before = Take(parent, {cache});

    runContext.uninstallActiveX = 1;
    RemoveDownloadedProgramFiles();

    Snapshot left = Take(cache);
    EXPECT_EQ(left.size(), 1u) << Difference(Snapshot(), left);
    EXPECT_TRUE(fixture::Exists(cache + "\\other.dll"));
    Snapshot after = Take(parent, {cache});
    EXPECT_EQ(before, after) << Difference(before, after);
}

// A browser's App Paths executable in such a folder, itself named with a
// character whose trail byte is 0x5C: the plug-ins of its Plugins folder go.
TEST_P(DoubleByteWebClear, BrowserPluginsAreFoundBesideTheExecutable)
{
    std::string parent = CaseFolder(std::string("AppPaths") + ShapeName(shape()));
    std::string browser = parent + "\\" + Name("Browser");
    std::string plugins = browser + "\\Plugins";
    for (const char* f : {"\\NPKQ3270.DLL", "\\NPOVW2H7.DLL"}) Touch(plugins + f, "suite");
    Touch(plugins + "\\npother.dll");
    PlantNeighbours(browser, {"Plugins"}, {"Plugins", "2"});
    Touch(browser + "\\" + Character(1) + "\\Plugins\\NPKQ3270.DLL");
    SavedValue saved(HKEY_LOCAL_MACHINE, kIeAppPaths, "", k32);
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, kIeAppPaths, nullptr,
                                   browser + "\\" + Character(1) + ".exe", k32));
    Snapshot before = Take(parent, {plugins});

    RemoveProgramFilesAndPlugins();

    EXPECT_FALSE(fixture::Exists(plugins + "\\NPKQ3270.DLL"));
    EXPECT_FALSE(fixture::Exists(plugins + "\\NPOVW2H7.DLL"));
    EXPECT_TRUE(fixture::Exists(plugins + "\\npother.dll"));
    Snapshot after = Take(parent, {plugins});
    EXPECT_EQ(before, after) << Difference(before, after);
}

// The web launcher's "InstallDir": the launcher in that folder is started,
// not a "jarvane.exe" whose name continues the folder's; a session profile
// named with such characters costs its own desktop shortcut only.
TEST_P(DoubleByteWebClear, LauncherFolderAndSessionProfile)
{
    std::string parent = CaseFolder(std::string("Launcher") + ShapeName(shape()));
    std::string launcher = parent + "\\" + Name("Jarvane");
    std::string log = LogPath("launch");
    ScopedVariable logVariable("WIPORA_LAUNCH_LOG", log.c_str());
    ScopedVariable tmp("TMP", parent.c_str());
    ScopedVariable tempVariable("TEMP", parent.c_str());
    MakeFolders(launcher);
    ASSERT_TRUE(fixture::CopyDouble("jarvane.exe", launcher + "\\jarvane.exe"));
    ASSERT_TRUE(fixture::CopyDouble("jarvane.exe", launcher + "jarvane.exe"));
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kLauncherKey, "InstallDir",
                                   Spell(launcher, shape())));
    std::string profile = Name("Sales", 1);
    std::string version = parent + "\\Ostrevan\\7.1";
    Touch(version + "\\" + profile + ".ini",
          "[Session Manager]\r\nDisplayName=http://host/app/page.html\r\n");
    std::string desktop = fixture::ShellFolder(CSIDL_DESKTOPDIRECTORY);
    Touch(desktop + "\\" + profile + ".LNK", "suite");
    Touch(desktop + "\\" + profile + "x.LNK");
    Touch(desktop + "\\" + profile + ".ini");
    Snapshot desktopBefore = Take(desktop);
    desktopBefore.erase(desktop + "\\" + profile + ".LNK");
    Snapshot before = Take(parent, {parent + "\\Ostrevan"});

    RemoveProgramFilesAndPlugins();

    std::string started;
    ASSERT_TRUE(fixture::ReadFile(log, &started)) << "the launcher ran";
    EXPECT_EQ(started, "\"" + launcher + "\\jarvane.exe\" -uninstall http://host/app/ovw2h.ovlp\r\n");
    // The profile goes with the cache files, and the emptied version folder
    // with the applet library's folders (the temporary folder is the cache root).
    EXPECT_FALSE(fixture::Exists(parent + "\\Ostrevan"));
    Snapshot desktopAfter = Take(desktop);
    EXPECT_EQ(desktopBefore, desktopAfter) << Difference(desktopBefore, desktopAfter);
    Snapshot after = Take(parent, {parent + "\\Ostrevan"});
    EXPECT_EQ(before, after) << Difference(before, after);
    fixture::RemoveAll(desktop + "\\" + profile + "x.LNK");
    fixture::RemoveAll(desktop + "\\" + profile + ".ini");
}

// A control registration (InprocServer32) of the Web-to-Host control: the
// control, its companion files and its emptied conflict folder go; companion
// names that continue the folder's name beside it stay.
TEST_P(DoubleByteWebClear, ControlFolderAndCompanions)
{
    std::string parent = CaseFolder(std::string("Control") + ShapeName(shape()));
    std::string folder = parent + "\\CONFLICT." + Name("Folder");
    std::string control = folder + "\\" + Character(1) + ".ocx";
    // The doubles read their log's name with GetEnvironmentVariableA, which
    // Wine cuts for double-byte values: the logs lie in ASCII folders.
    std::string comLog = LogPath("com");
    ScopedVariable logVariable("WIPORA_COM_LOG", comLog.c_str());
    MakeFolders(folder);
    ASSERT_TRUE(fixture::CopyDouble("comserver.dll", control));
    Touch(folder + "\\ovw2h32.ini", "suite");
    Touch(folder + "\\ovw2h32.inf", "suite");
    PlantNeighbours(folder, {"ovw2h32.ini", "ovw2h32.inf"}, {"x"});
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE,
                                   std::string("Software\\Classes\\") + kWebToHostControl, nullptr,
                                   control, k32));
    Snapshot before = Take(parent, {folder});

    runContext.uninstallActiveX = 1;
    RemoveActiveXControls();

    std::string unregistered;
    EXPECT_TRUE(fixture::ReadFile(comLog, &unregistered));
    EXPECT_EQ(unregistered, "32 " + control + "\r\n");
    EXPECT_FALSE(fixture::Exists(folder)) << "control, companions and conflict folder go";
    Snapshot after = Take(parent, {folder});
    EXPECT_EQ(before, after) << Difference(before, after);
    fixture::DeleteKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{4D9E2A10-3B8C-7132-A5E1-00C04F8E71A1}", k32);
}

INSTANTIATE_TEST_SUITE_P(Shapes, DoubleByteWebClear, ::testing::ValuesIn(kShapes), ParamName);

}  // namespace
}  // namespace dbcs
