// The built program on a machine that holds the Web-to-Host footprint in both
// registry views, next to other products' files and keys that must survive
// byte for byte.
#include <gtest/gtest.h>

#include <map>

#include "webclear_support.h"

namespace {

using namespace webclear_test;

const REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
const char* const kWebKeys[] = {fixture::kWeb32, fixture::kWeb64};
const char* const kControls[] = {"{4D9E2A10-3B8C-7132-A5E1-00C04F8E71A1}",
                                 "{4D9E2A10-3B8C-7164-A5E1-00C04F8E71A1}"};
const char kCodeStore[] = "Software\\Microsoft\\Code Store Database\\Distribution Units\\";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kIeAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
const char kExtensionRoot[] = "Software\\Microsoft\\Internet Explorer\\Plugins\\Extension\\";
const char kDesktopProduct[] = "Software\\Classes\\Installer\\Products\\14C7B2F601A7B3E4C955B0E7170A7C11";

struct RegistryBystander { HKEY root; std::string path; REGSAM view; std::string value; };

class ProgramPass : public ::testing::Test {
protected:
    void SetUp() override
    {
        CleanSuiteFootprint();
        // The desktop edition switches ActiveX removal off; it is not installed here.
        for (REGSAM view : kViews) fixture::DeleteKey(HKEY_LOCAL_MACHINE, kDesktopProduct, view);
        root = fixture::TempRoot();
        program = root + "\\Wipora.exe";
        ASSERT_TRUE(CopyFileA(fixture::ProgramPath().c_str(), program.c_str(), FALSE));
        comLog = root + "\\com.log";
        SetEnvironmentVariableA("WIPORA_COM_LOG", comLog.c_str());
        std::string ieExe;
        ASSERT_TRUE(fixture::ReadString(HKEY_LOCAL_MACHINE, kIeAppPaths, nullptr, &ieExe, KEY_WOW64_32KEY));
        plugins = ieExe.substr(0, ieExe.rfind('\\')) + "\\Plugins";
    }
    void TearDown() override
    {
        CleanSuiteFootprint();
        for (int p = 0; p < 2; ++p) {
            fixture::DeleteKey(HKEY_LOCAL_MACHINE, kCodeStore + std::string(kControls[p]), kViews[p]);
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInternetSettings, 0, KEY_SET_VALUE | kViews[p], &key) == 0) {
                RegDeleteValueA(key, "ActiveXCache");
                RegCloseKey(key);
            }
        }
        for (auto& file : files) fixture::RemoveAll(file.first);
        for (auto& key : keys) fixture::DeleteKey(key.root, key.path, key.view);
        fixture::RemoveAll(plugins);
        fixture::RemoveAll(DesktopFolder() + "\\Sales.LNK");
        SetEnvironmentVariableA("WIPORA_COM_LOG", nullptr);
    }

    void Bystander(const std::string& path, const std::string& content)
    {
        Plant(path, content);
        files[path] = content;
    }
    void Bystander(HKEY key, const std::string& path, REGSAM view, const std::string& value)
    {
        fixture::SetString(key, path, nullptr, value, view);
        keys.push_back({key, path, view, value});
    }
    void PlantBystanders()
    {
        Bystander(plugins + "\\NPFOREIGN.DLL", "foreign plug-in");
        Bystander(DesktopFolder() + "\\Other Product.LNK", "foreign shortcut");
        Bystander(AppDataFolder() + "\\Ostrevan Web\\readme.txt", "outside the version folder");
        Bystander(TempFolder() + "\\Ostrevan\\7.2\\Plxw2hjv.dll", "another version's applet");
        Bystander(root + "\\Outside\\Scripts\\other.scr", "beside the working directories");
        for (int p = 0; p < 2; ++p) {
            Bystander(Folder("DPF", p) + "\\FOREIGN.CAB", "foreign cabinet");
            Bystander(HKEY_LOCAL_MACHINE, std::string(kCodeStore) + "{0D0F0E0E-1111-2222-3333-444455556666}",
                      kViews[p], "foreign control");
            Bystander(HKEY_LOCAL_MACHINE, "Software\\Classes\\Ostrevan.MainframeDisplay.7.2", kViews[p], "7.2");
            Bystander(HKEY_LOCAL_MACHINE, "Software\\Ostrevan Web\\7.2", kViews[p], "7.2 settings");
        }
        Bystander(HKEY_CURRENT_USER, "Software\\Classes\\.ovx", KEY_WOW64_32KEY, "other extension");
        Bystander(HKEY_LOCAL_MACHINE, std::string(kExtensionRoot) + ".pdf", KEY_WOW64_32KEY, "reader");
    }
    void ExpectBystandersIntact()
    {
        for (auto& file : files) EXPECT_EQ(ReadText(file.first), file.second) << file.first;
        for (auto& key : keys) {
            std::string value;
            EXPECT_TRUE(fixture::ReadString(key.root, key.path, nullptr, &value, key.view)) << key.path;
            EXPECT_EQ(value, key.value) << key.path;
        }
    }

    std::string Folder(const char* name, int pass) { return root + "\\" + name + (pass ? "64" : "32"); }
    std::string Control(int pass) { return Folder("DPF", pass) + (pass ? "\\OVW2H64.OCX" : "\\OVW2H32.OCX"); }

    // The Web-to-Host edition of both views on this machine.
    void PlantFootprint()
    {
        std::string temp = TempFolder(), cache = temp + "\\Ostrevan\\7.1", desktop = DesktopFolder();
        for (int p = 0; p < 2; ++p) {
            REGSAM view = kViews[p];
            std::string suffix = p ? "64" : "32";
            fixture::SetString(HKEY_CURRENT_USER, kWebKeys[p], "Working Directory", Folder("Work", p), view);
            fixture::SetString(HKEY_LOCAL_MACHINE, kWebKeys[p], "Installed", "1", view);
            Plant(Folder("Work", p) + "\\Scripts\\logon.scr", "user data");
            Plant(Folder("Work", p) + "\\trace.log", "user data");
            EXPECT_TRUE(CopyDouble("comserver.dll", Control(p)));
            Plant(Folder("DPF", p) + "\\ovw2h" + suffix + ".ini", "companion");
            fixture::SetString(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\" + std::string(kControls[p]) +
                               "\\InprocServer32", nullptr, Control(p), view);
            fixture::MakeKey(HKEY_LOCAL_MACHINE, kCodeStore + std::string(kControls[p]), view);
            fixture::SetString(HKEY_LOCAL_MACHINE, kInternetSettings, "ActiveXCache", Folder("DPF", p), view);
            Plant(Folder("DPF", p) + "\\OVW2H711.CAB", "cabinet");
            Plant(Folder("DPF", p) + "\\KQ3D.OCX", "old control");
            for (const std::string& name : {std::string("Ostrevan.MainframeDisplay.7.1"), std::string("Ostrevan.Macro.7.1")})
                fixture::SetString(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + name + "\\shell\\open\\command",
                                   nullptr, "OV3270.EXE /kq \"%1\"", view);
            fixture::SetString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.ovd", nullptr, "Ostrevan.MainframeDisplay.7.1", view);
        }
        fixture::SetString(HKEY_CURRENT_USER, "Software\\Classes\\Ostrevan.MainframeDisplay.7.1\\shell\\open\\command",
                           nullptr, "OV3270.EXE /kq \"%1\"", KEY_WOW64_32KEY);
        fixture::MakeKey(HKEY_LOCAL_MACHINE, std::string(kExtensionRoot) + ".kq3", KEY_WOW64_32KEY);
        Plant(cache + "\\Sales.ini", "[Session Manager]\r\nDisplayName=http://web/sales/page\r\n");
        Plant(cache + "\\x64\\Sales.ini", "[Session Manager]\r\nDisplayName=http://web/sales64/page\r\n");
        Plant(temp + "\\Low\\Ostrevan\\7.1\\Sales.ini", "[Session Manager]\r\nDisplayName=http://web/low/page\r\n");
        Plant(cache + "\\Plxw2hjv.dll", "applet library");
        Plant(desktop + "\\Sales.LNK", "session shortcut");
        Plant(plugins + "\\NPKQ3270.DLL", "plug-in");
        Plant(plugins + "\\NPOVW2H2.DLL", "versioned plug-in");
        Plant(AppDataFolder() + "\\Ostrevan Web\\7.1\\x64\\state.dat", "application data");
        Plant(LocalLowFolder() + "\\Ostrevan Web\\7.1\\state.dat", "application data");
    }

    // What every run removes, whatever its switches.
    void ExpectAlwaysRemoved()
    {
        std::string temp = TempFolder();
        for (int p = 0; p < 2; ++p) {
            for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
                EXPECT_FALSE(fixture::KeyExists(root, kWebKeys[p], kViews[p])) << kWebKeys[p];
            for (const char* name : {"Ostrevan.MainframeDisplay.7.1", "Ostrevan.Macro.7.1", ".ovd"})
                EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + name,
                                                kViews[p])) << name;
        }
        EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\Ostrevan.MainframeDisplay.7.1",
                                        KEY_WOW64_32KEY));
        EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, std::string(kExtensionRoot) + ".kq3", KEY_WOW64_32KEY));
        for (const std::string& path :
             {temp + "\\Ostrevan\\7.1\\Sales.ini", temp + "\\Ostrevan\\7.1\\x64\\Sales.ini",
              temp + "\\Low\\Ostrevan\\7.1\\Sales.ini", temp + "\\Ostrevan\\7.1\\Plxw2hjv.dll",
              DesktopFolder() + "\\Sales.LNK", plugins + "\\NPKQ3270.DLL", plugins + "\\NPOVW2H2.DLL",
              AppDataFolder() + "\\Ostrevan Web\\7.1", LocalLowFolder() + "\\Ostrevan Web\\7.1"})
            EXPECT_FALSE(fixture::Exists(path)) << path;
    }

    int Run(const std::string& switches) { return fixture::Run("\"" + program + "\" " + switches, 120000); }

    std::string root, program, comLog, plugins;
    std::map<std::string, std::string> files;
    std::vector<RegistryBystander> keys;
};

// /q: the Web-to-Host sequence in both passes without user data and without
// ActiveX controls.
TEST_F(ProgramPass, QuietRunClearsTheFootprintOfBothViews)
{
    LaunchLog launches;
    PlantBystanders();
    PlantFootprint();
    ASSERT_EQ(Run("/q"), 1);

    ExpectAlwaysRemoved();
    ExpectBystandersIntact();
    for (int p = 0; p < 2; ++p) {
        EXPECT_TRUE(fixture::Exists(Control(p)));
        EXPECT_TRUE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kCodeStore + std::string(kControls[p]), kViews[p]));
        EXPECT_TRUE(fixture::Exists(Folder("DPF", p) + "\\OVW2H711.CAB"));
        EXPECT_TRUE(fixture::Exists(Folder("Work", p) + "\\Scripts\\logon.scr"));
    }
    EXPECT_TRUE(ReadText(comLog).empty());
    // One uninstall per profile: the 32-bit pass's low-integrity and ordinary
    // profiles, then the 64-bit pass's.
    auto lines = launches.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("-uninstall http://web/low/ovw2h.jnlp"), std::string::npos);
    EXPECT_NE(lines[1].find("-uninstall http://web/sales/ovw2h.jnlp"), std::string::npos);
    EXPECT_NE(lines[2].find("-uninstall http://web/sales64/ovw2h.jnlp"), std::string::npos);

    // A second run finds nothing more to do and touches nothing else.
    ASSERT_EQ(Run("/q"), 1);
    ExpectBystandersIntact();
}

// /1 /2 /q: also the user data of both views and the controls, unregistered in
// process (32-bit pass) and through RegSvr32 (64-bit pass).
TEST_F(ProgramPass, UserDataAndActiveXRunClearsEverything)
{
    LaunchLog launches;
    PlantBystanders();
    PlantFootprint();
    ASSERT_EQ(Run("/1 /2 /q"), 1);

    ExpectAlwaysRemoved();
    ExpectBystandersIntact();
    auto unregistered = SplitLines(ReadText(comLog));
    ASSERT_EQ(unregistered.size(), 2u);
    for (int p = 0; p < 2; ++p) {
        EXPECT_NE(unregistered[p].find(p ? "OVW2H64.OCX" : "OVW2H32.OCX"), std::string::npos);
        EXPECT_FALSE(fixture::Exists(Control(p)));
        EXPECT_FALSE(fixture::KeyExists(HKEY_LOCAL_MACHINE, kCodeStore + std::string(kControls[p]), kViews[p]));
        for (const char* name : {"\\OVW2H711.CAB", "\\KQ3D.OCX", p ? "\\ovw2h64.ini" : "\\ovw2h32.ini"})
            EXPECT_FALSE(fixture::Exists(Folder("DPF", p) + name)) << name;
        EXPECT_FALSE(fixture::Exists(Folder("Work", p) + "\\Scripts"));
        EXPECT_FALSE(fixture::Exists(Folder("Work", p) + "\\trace.log"));
        EXPECT_TRUE(fixture::IsFolder(Folder("Work", p)));
    }
}

}  // namespace
