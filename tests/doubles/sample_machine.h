// The sample machine: a realistic footprint of the Ostrevan 7.1 suite (both
// editions, both registry views) and the bystanders around it that must
// survive. One table serves install, uninstall and report, so the three cannot
// drift; the scenario tests read the same table for what each run must remove.
//
// Paths are written with {tokens} that the tool resolves with the shell's own
// calls on the machine it runs on ({roaming} is CSIDL_APPDATA, and so on; see
// samplemachine.cpp). A %NAME% in a registry value is left for the program.
//
// The setup it models, in short:
// - Web-to-Host, both editions kept per user (BaseRegistry 2 in HKCU; the
//   machine-wide keys of an earlier deployment say the same). The 32-bit
//   edition caches in the roaming application data (CacheMode 1), the 64-bit
//   edition has no CacheMode and so caches in the temporary folder. Both keep
//   their user data in a "Working Directory" below the user's documents.
// - Its associations (open command with /kq) per user; the desktop edition's
//   (without /kq) per machine, written by the 32-bit installer.
// - Served Desktop per machine in both views (BaseRegistry 1), working
//   directories below the user profile by an environment reference, the
//   64-bit edition's directories the "x64" sub-folders of the 32-bit ones'.
// - The program deletes the Web key, the code store keys, the plug-in
//   extension keys and the associations with SHDeleteKeyA, which in a 32-bit
//   program acts in the 32-bit view; the footprint keeps those keys there. The
//   64-bit edition's machine-wide Web key lies in the 64-bit view, where it
//   stays by design.
// - Controls of each view are copies of the COM server stand-in of that
//   edition's bitness (comserver.dll 32-bit, comserver64.dll 64-bit): the
//   32-bit program loads the first in process and hands the second to the
//   64-bit RegSvr32. Their CLSID keys stay after a run,
//   since the stand-in only records that it was asked to unregister.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

namespace sample {

enum class What { File, Folder, Key, Value, UrlEntry, Window };
enum class Hive { None, User, Machine32, Machine64 };

// Which run removes an item.
enum class Fate {
    Always,           // every run that reaches the Web-to-Host clear sequence
    ActiveX,          // with /2, unless Windows Installer lists the desktop edition
    UserFiles,        // with /1
    InternetCache,    // with /3
    Desktop,          // with /4
    DesktopUserData,  // with /4 and /1 (in quiet mode /1 answers the question)
    KeptByDesign,  // the program leaves it by design (see note)
    Bystander,        // never touched, byte for byte
    Setup,            // part of the machine's make-up, not counted
};

// Install variants; an item lists the variants that hold it.
enum Variant : unsigned {
    kStandard = 1,
    kInstallerRegistered = 2,   // the desktop edition registered with Windows Installer
    kNoCrossVersionInterop = 4, // the 32-bit global.ini switches interoperation off
    kAllVariants = 7,
};

struct Value {
    std::string name;   // "" is the default value
    DWORD type;
    std::string data;   // text for REG_SZ (without terminator), raw bytes otherwise
};

struct Item {
    std::string kind;
    What what;
    Hive hive;
    std::string path;            // file, folder, key path, URL or window class
    Fate fate;
    unsigned variants;
    std::string content;         // files: exact bytes, "@name" a copy of a payload file
    DWORD attributes;            // files: set after writing (0: normal)
    std::vector<Value> values;   // keys and values
    DWORD urlType;               // URL cache entries
    std::string note;            // why a KeptByDesign item stays
    bool keepOnUninstall;        // the prefix's own registration, only confirmed
};

const char kToolFolder[] = "C:\\samplemachine";
const char kLaunchLog[] = "C:\\samplemachine\\logs\\launch.log";
const char kComLog[] = "C:\\samplemachine\\logs\\com.log";
const char kSessionLog[] = "C:\\samplemachine\\logs\\sessmgr.log";

// ---------------------------------------------------------------------------
// The suite's names.

inline const std::vector<std::string>& InventoryNames()
{
    static const std::vector<std::string> names = {
    "OVSESMGR.EXE", "OV3270.EXE", "OV5250.EXE", "OVVT.EXE", "OVUNISYS.EXE", "OV3287.EXE",
    "OV3812.EXE", "OVUNIPRT.EXE", "OVFTP.EXE", "OVPRTSRV.EXE", "OVMACED.EXE", "OVSCRED.EXE",
    "OVKEYED.EXE", "OVCOLED.EXE", "OVHOTED.EXE", "OVTOOLED.EXE", "OVCONFIG.EXE", "OVPROFIL.EXE",
    "OVTRACE.EXE", "OVCERTMG.EXE", "OVSCRRUN.EXE", "OVLAUNCH.EXE", "OVUNINST.EXE", "HLLAPI.DLL",
    "HLLAPI32.DLL", "HLLAPI64.DLL", "EHLLAPI.DLL", "EHLAPI32.DLL", "EHLAPI64.DLL", "WHLLAPI.DLL",
    "WHLAPI32.DLL", "WHLAPI64.DLL", "PCSHLL32.DLL", "Ostrevan.Core.dll", "Ostrevan.Common.dll",
    "Ostrevan.Config.dll", "Ostrevan.Session.dll", "Ostrevan.Display.dll", "Ostrevan.Printing.dll",
    "Ostrevan.Transfer.dll", "Ostrevan.Scripting.dll", "Ostrevan.Macros.dll",
    "Ostrevan.Security.dll", "Ostrevan.Certificates.dll", "Ostrevan.Licensing.dll",
    "Ostrevan.Logging.dll", "Ostrevan.Resources.dll", "Ostrevan.UI.dll", "Ostrevan.Interop.dll",
    "Ostrevan.Launcher.dll", "Ostrevan.Updater.dll", "msvcm90.dll", "msvcp80.dll", "msvcp90.dll",
    "msvcr80.dll", "msvcr90.dll", "msvcp100.dll", "msvcr100.dll", "LIBEAY32.DLL", "SSLEAY32.DLL",
    "LOG4NET.DLL", "OVEMU3270.DLL", "OVEMU5250.DLL", "OVEMUVT.DLL", "OVEMUUNI.DLL", "OVPRT3287.DLL",
    "OVPRT3812.DLL", "OVNETIO.DLL", "OVSSLIO.DLL", "OVXFER.DLL", "OVXFRCOM.DLL", "OVIND$FL.DLL",
    "OVHLLCOM.DLL", "OVHLLAPI.DLL", "OVSCRIPT.DLL", "OVSCRVBA.DLL", "OVMACRO.DLL", "OVKEYMAP.DLL",
    "OVCOLOR.DLL", "OVHOTSPT.DLL", "OVIMAGE.DLL", "OVGIF.DLL", "OVFONTS.DLL", "OVRES.DLL",
    "OV3270.HLP", "OV5250.HLP", "OVVT.HLP", "OVUNISYS.HLP", "OVPRINT.HLP", "OVFTP.HLP",
    "OVMACRO.HLP", "OVSESMGR.HLP", "OVUSER.CHM", "OVADMIN.CHM", "OVSCRIPT.CHM", "OVHLLAPI.CHM",
    "OVSECURE.CHM", "README.HTM", "README.CSS", "PRINT.CSS", "desktop.ini", "global.ini",
    "OVSESMGR.INI", "OVPRTSRV.INI", "OVTRACE.INI", "README.TXT", "LICENSE.TXT", "RELNOTES.TXT",
    "OV3270.FON", "OV5250.FON", "microsoft.vc80.crt.manifest", "microsoft.vc90.crt.manifest",
    "OVHLLAPI.H", "OVCERTS.CAB", "OVKEYS.DAT", "OVCODEPG.DAT", "OVDEF32.DAT", "OVDEF64.DAT",
    };
    return names;
}

inline const std::vector<std::string>& DesktopShortcutNames()
{
    static const std::vector<std::string> names = {
    "Mainframe Display.LNK", "Mainframe Printer.LNK", "AS400 Display.LNK", "AS400 Printer.LNK",
    "Unisys Display.LNK", "Unisys Printer.LNK", "VT Display.LNK", "HP Display.LNK",
    "Tandem Display.LNK", "Wang Display.LNK", "Telnet Display.LNK", "Ostrevan Session Manager.LNK",
    "Ostrevan FTP Client.LNK", "Ostrevan Script Editor.LNK", "Ostrevan Macro Editor.LNK",
    "Ostrevan Print Server.LNK", "Ostrevan Configuration.LNK",
    };
    return names;
}

inline const std::vector<std::string>& GroupShortcutNames()
{
    static const std::vector<std::string> names = {
    "Ostrevan Session Manager", "Ostrevan FTP Client", "Ostrevan Script Editor",
    "Ostrevan Macro Editor", "Ostrevan Print Server", "Ostrevan Configuration",
    "Ostrevan Keyboard Mapper", "Ostrevan Trace Viewer", "Ostrevan Readme", "Ostrevan Uninstall",
    "Mainframe Display", "AS400 Display", "Unisys Display", "VT Display", "HP Display",
    "Tandem Display", "Mainframe Printer", "AS400 Printer", "Unisys Printer",
    };
    return names;
}

struct Association { const char* progId; const char* extension; const char* module; };
inline const std::vector<Association>& Associations()
{
    static const std::vector<Association> table = {
        {"Ostrevan.MainframeDisplay.7.1", ".ovd", "OV3270.EXE"},
        {"Ostrevan.MainframePrinter.7.1", ".ovp", "OV3287.EXE"},
        {"Ostrevan.AS400Display.7.1", ".ova", "OV5250.EXE"},
        {"Ostrevan.AS400Printer.7.1", ".ovr", "OV3812.EXE"},
        {"Ostrevan.VTDisplay.7.1", ".ovv", "OVVT.EXE"},
        {"Ostrevan.FTPClient.7.1", ".ovf", "OVFTP.EXE"},
        {"Ostrevan.UnisysDisplay.7.1", ".ovu", "OVUNISYS.EXE"},
        {"Ostrevan.Macro.7.1", ".ovm", "OVMACED.EXE"},
        {"Ostrevan.Script.7.1", ".ovs", "OVSCRED.EXE"},
        {"Ostrevan.KeyboardMap.7.1", ".ovk", "OVKEYED.EXE"},
        {"Ostrevan.ColorScheme.7.1", ".ovc", "OVCOLED.EXE"},
        {"Ostrevan.Hotspots.7.1", ".ovh", "OVHOTED.EXE"},
        {"Ostrevan.TransferList.7.1", ".ovl", "OVFTP.EXE"},
    };
    return table;
}

inline const std::vector<std::string>& PluginFileNames()
{
    static const std::vector<std::string> names = {
        "NPKQ3270.DLL", "NPKQ5250.DLL", "NPKQVT.DLL", "NPKQFTP.DLL", "NPKQPRT.DLL", "NPKQMAC.DLL",
        "NPOVW2H.DLL", "NPOVW2H712.DLL",   // the last one versioned, found by NPOVW2H*.DLL
    };
    return names;
}

inline const std::vector<std::string>& PluginExtensions()
{
    static const std::vector<std::string> names = {".kq3", ".kq5", ".kqv", ".kqf", ".kqp", ".kqm", ".ow2"};
    return names;
}

inline const std::vector<std::string>& CabinetNames()
{
    static const std::vector<std::string> names = {
        "OV3270_7_1_11.CAB", "OV5250_7_1_11.CAB", "OVVT_7_1_11.CAB", "OVFTP_7_1_11.CAB",
        "OVPRT_7_1_11.CAB", "OVMAC_7_1_11.CAB", "OVSSL_7_1_11.CAB", "OVJVM_7_1_11.CAB",
        "OVW2H_7_1_11.CAB", "KQ3270_6.CAB", "KQ5250_6.CAB", "KQVT_6.CAB", "KQFTP_6.CAB",
        "KQPRT_6.CAB", "KQMAC_6.CAB",
    };
    return names;
}

inline const std::vector<std::string>& ControlFileNames()
{
    static const std::vector<std::string> names = {"KQ3D.OCX", "KQ5D.OCX", "KQ7V.OCX", "KQ8F.OCX", "PLXW2H.OCX"};
    return names;
}

// The ActiveX controls as the browser registered them: CLSID and file name
// stem; the file is <stem>32.OCX in the 32-bit view and <stem>64.OCX in the
// 64-bit view. Entry 8, the Web-to-Host control, has a CLSID of its own per view.
struct Control { const char* clsid32; const char* clsid64; const char* stem; };
inline const std::vector<Control>& Controls()
{
    static const std::vector<Control> table = {
        {"{3A7D1E20-5C4B-11D3-8E61-00A0C9B4D501}", "{3A7D1E20-5C4B-11D3-8E61-00A0C9B4D501}", "OVMFD"},
        {"{3A7D1E21-5C4B-11D3-8E61-00A0C9B4D501}", "{3A7D1E21-5C4B-11D3-8E61-00A0C9B4D501}", "OVASD"},
        {"{3A7D1E22-5C4B-11D3-8E61-00A0C9B4D501}", "{3A7D1E22-5C4B-11D3-8E61-00A0C9B4D501}", "OVVTD"},
        {"{3A7D1E23-5C4B-11D3-8E61-00A0C9B4D501}", "{3A7D1E23-5C4B-11D3-8E61-00A0C9B4D501}", "OVFTX"},
        {"{3A7D1E24-5C4B-11D3-8E61-00A0C9B4D501}", "{3A7D1E24-5C4B-11D3-8E61-00A0C9B4D501}", "OVPRC"},
        {"{5B19C0F3-0D2E-4A61-B7C8-2E4F6A1D9C30}", "{5B19C0F3-0D2E-4A61-B7C8-2E4F6A1D9C30}", "OVMAC"},
        {"{5B19C0F4-0D2E-4A61-B7C8-2E4F6A1D9C30}", "{5B19C0F4-0D2E-4A61-B7C8-2E4F6A1D9C30}", "OVSLC"},
        {"{4D9E2A10-3B8C-7132-A5E1-00C04F8E71A1}", "{4D9E2A10-3B8C-7164-A5E1-00C04F8E71A1}", "OVW2H"},
    };
    return table;
}

// Where each ActiveX control file lies: the Web-to-Host control of the 32-bit
// view in a download conflict folder, everything else in the folder itself.
inline std::string ControlFile(const Control& c, bool is64)
{
    std::string name = std::string(c.stem) + (is64 ? "64.OCX" : "32.OCX");
    bool webToHost = std::string(c.stem) == "OVW2H";
    return webToHost && !is64 ? "{dpf}\\CONFLICT.1\\" + name : "{dpf}\\" + name;
}

// A session profile of the Web-to-Host cache: folder, file, web address.
struct Profile { const char* folder; const char* name; const char* address; };
inline const std::vector<Profile>& Profiles()
{
    // The four folders in the order of the program's runs: 32-bit pass low
    // integrity, 32-bit pass normal, 64-bit pass low integrity, 64-bit normal.
    static const std::vector<Profile> table = {
        {"{locallow}\\Ostrevan\\7.1", "Host Sales.ini", "http://host name/ov w2h/launch page.html"},
        {"{roaming}\\Ostrevan\\7.1", "Host Sales.ini", "http://host name/ov w2h/launch page.html"},
        {"{roaming}\\Ostrevan\\7.1", "Payroll.ini", "https://w2h.example.com/payroll/start.html"},
        {"{temp}\\Low\\Ostrevan\\7.1\\x64", "Inventory.ini", "http://w2h.example.com/x64 sessions/inventory.htm"},
        {"{temp}\\Ostrevan\\7.1\\x64", "Inventory.ini", "http://w2h.example.com/x64 sessions/inventory.htm"},
        {"{temp}\\Ostrevan\\7.1\\x64", "Shipping.ini", "http://w2h.example.com:8080/ship/index.htm"},
    };
    return table;
}

inline std::string Stem(const std::string& fileName)
{
    size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

inline std::string ProfileText(const Profile& p)
{
    return std::string("[Session Manager]\r\nDisplayName=") + p.address +
           "\r\nSessionType=3270\r\n\r\n[Display]\r\nRows=24\r\nColumns=80\r\n";
}

// ---------------------------------------------------------------------------
// The table.

inline Value Sz(const std::string& name, const std::string& text) { return {name, REG_SZ, text}; }
inline Value Byte(const std::string& name, unsigned char b) { return {name, REG_BINARY, std::string(1, (char)b)}; }

class ItemTable {
public:
    std::vector<Item> items;

    Item& Add(const std::string& kind, What what, Hive hive, const std::string& path, Fate fate)
    {
        items.push_back({kind, what, hive, path, fate, kAllVariants, "", 0, {}, 0, "", false});
        return items.back();
    }
    Item& File(const std::string& kind, const std::string& path, Fate fate, const std::string& content = "")
    {
        Item& i = Add(kind, What::File, Hive::None, path, fate);
        i.content = content;
        return i;
    }
    Item& Folder(const std::string& kind, const std::string& path, Fate fate)
    {
        return Add(kind, What::Folder, Hive::None, path, fate);
    }
    Item& Key(const std::string& kind, Hive hive, const std::string& path, Fate fate,
              std::vector<Value> values = {})
    {
        Item& i = Add(kind, What::Key, hive, path, fate);
        i.values = std::move(values);
        return i;
    }
};

inline void AddWebToHostKeys(ItemTable& t)
{
    const char* kind = "Web-to-Host registry keys";
    t.Key(kind, Hive::User, "Software\\Ostrevan Web\\7.1", Fate::Always,
          {Byte("BaseRegistry", 2), Byte("CacheMode", 1),
           Sz("Working Directory", "{documents}\\Ostrevan Web\\7.1"), Sz("Version", "7.1.11")});
    t.Key(kind, Hive::User, "Software\\Ostrevan Web\\7.1\\Sessions", Fate::Always,
          {Sz("Last", "Host Sales")});
    t.Key(kind, Hive::User, "Software\\Ostrevan Web (64-bit)\\7.1", Fate::Always,
          {Byte("BaseRegistry", 2), Sz("Working Directory", "{documents}\\Ostrevan Web (64-bit)\\7.1"),
           Sz("Version", "7.1.11")});
    t.Key(kind, Hive::Machine32, "Software\\Ostrevan Web\\7.1", Fate::Always,
          {Byte("BaseRegistry", 2), Byte("CacheMode", 1), Sz("Deployed By", "admin")});
    // The 64-bit pass deletes its own machine-wide Web key in the 64-bit view.
    t.Key(kind, Hive::Machine64, "Software\\Ostrevan Web (64-bit)\\7.1", Fate::Always,
          {Byte("BaseRegistry", 2), Sz("Deployed By", "admin")});
    t.Key("Bystanders", Hive::User, "Software\\Ostrevan Web\\6.5", Fate::Bystander,
          {Byte("BaseRegistry", 2), Sz("Working Directory", "{documents}\\Ostrevan Web\\6.5")});
}

inline void AddAssociations(ItemTable& t)
{
    const char* web = "File associations, Web-to-Host form (per user)";
    const char* desk = "File associations, desktop form (per machine)";
    for (const Association& a : Associations()) {
        std::string progId = std::string("Software\\Classes\\") + a.progId;
        t.Key(web, Hive::User, progId, Fate::Always, {Sz("", std::string("Ostrevan Web-to-Host ") + a.progId)});
        t.Key(web, Hive::User, progId + "\\shell\\open\\command", Fate::Setup,
              {Sz("", std::string("\"{roaming}\\Ostrevan\\7.1\\OVW2HRUN.EXE\" /kq /m ") + a.module + " \"%1\"")});
        t.Key(web, Hive::User, std::string("Software\\Classes\\") + a.extension, Fate::Always, {Sz("", a.progId)});
    }
    for (const Association& a : Associations()) {
        std::string progId = std::string("Software\\Classes\\") + a.progId;
        t.Key(desk, Hive::Machine32, progId, Fate::Desktop, {Sz("", std::string("Ostrevan ") + a.progId)});
        t.Key(desk, Hive::Machine32, progId + "\\shell\\open\\command", Fate::Setup,
              {Sz("", std::string("\"{pf86}\\Ostrevan\\7.1\\") + a.module + "\" \"%1\"")});
        t.Key(desk, Hive::Machine32, std::string("Software\\Classes\\") + a.extension, Fate::Desktop,
              {Sz("", a.progId)});
    }
    const char* by = "Bystanders";
    t.Key(by, Hive::User, "Software\\Classes\\Ostrevan.MainframeDisplay.6.0\\shell\\open\\command",
          Fate::Bystander, {Sz("", "\"{roaming}\\Ostrevan\\6.0\\OVW2HRUN.EXE\" /kq \"%1\"")});
    t.Key(by, Hive::User, "Software\\Classes\\.cdoc", Fate::Bystander, {Sz("", "Contoso.Document.1")});
    t.Key(by, Hive::User, "Software\\Classes\\Contoso.Document.1\\shell\\open\\command", Fate::Bystander,
          {Sz("", "\"{pf86}\\Contoso\\cdoc.exe\" \"%1\"")});
    for (Hive h : {Hive::Machine32, Hive::Machine64}) {
        t.Key(by, h, "Software\\Classes\\.acv", Fate::Bystander, {Sz("", "Acme.Viewer.2")});
        t.Key(by, h, "Software\\Classes\\Acme.Viewer.2\\shell\\open\\command", Fate::Bystander,
              {Sz("", "\"{pf}\\Acme\\viewer.exe\" /kq \"%1\"")});
    }
}

// Stand-in programs: Java Web Start, the web launcher, the browsers' own files.
inline void AddPrograms(ItemTable& t)
{
    const char* by = "Bystanders";
    const std::string appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    t.File(by, "{pf86}\\Java\\jre\\bin\\javaws.exe", Fate::Bystander, "@sample_launcher.exe");
    t.File(by, "{pf86}\\Calderwick\\Jarvane\\jarvane.exe", Fate::Bystander, "@sample_launcher.exe");
    t.File(by, "{pf86}\\Netscape\\Communicator\\Program\\netscape.exe", Fate::Bystander);
    t.File(by, "{pf86}\\Netscape\\Netscape 6\\netscp6.exe", Fate::Bystander);
    for (Hive h : {Hive::Machine32, Hive::Machine64}) {
        t.Key(by, h, appPaths + "javaws.exe", Fate::Bystander, {Sz("", "{pf86}\\Java\\jre\\bin\\javaws.exe")});
        t.Key(by, h, appPaths + "IEXPLORE.EXE", Fate::Bystander, {Sz("", "{pf}\\Internet Explorer\\iexplore.exe")})
            .keepOnUninstall = true;
        t.Key(by, h, appPaths + "NETSCAPE.EXE", Fate::Bystander,
              {Sz("", "{pf86}\\Netscape\\Communicator\\Program\\netscape.exe")});
        t.Key(by, h, appPaths + "NETSCP6.EXE", Fate::Bystander, {Sz("", "{pf86}\\Netscape\\Netscape 6\\netscp6.exe")});
    }
    t.Key(by, Hive::Machine32, "Software\\Calderwick\\Jarvane for Ostrevan", Fate::Bystander,
          {Sz("InstallDir", "{pf86}\\Calderwick\\Jarvane\\"), Sz("Version", "2.4")});
}

inline void AddSessionManagers(ItemTable& t)
{
    const char* kind = "Session Manager (running)";
    t.Add(kind, What::Window, Hive::None, "Ostrevan Session Manager", Fate::Always).variants =
        kStandard | kInstallerRegistered;
    t.Add(kind, What::Window, Hive::None, "Ostrevan Session Manager 7.1", Fate::Always).variants =
        kNoCrossVersionInterop;
    t.Add("Bystanders", What::Window, Hive::None, "Ostrevan Session Manager 6.0", Fate::Bystander);
}

inline void AddCacheFiles(ItemTable& t)
{
    const char* kind = "Session profiles and cache files";
    for (const Profile& p : Profiles())
        t.File(kind, std::string(p.folder) + "\\" + p.name, Fate::Always, ProfileText(p));
    const std::string interopOn = "[Ostrevan]\r\nAllowCrossVersionInterop=Yes\r\nAppendVersionToWorkingDir=No\r\n";
    const std::string interopOff = "[Ostrevan]\r\nAllowCrossVersionInterop=No\r\nAppendVersionToWorkingDir=No\r\n";
    t.File(kind, "{roaming}\\Ostrevan\\7.1\\global.ini", Fate::Always, interopOn).variants =
        kStandard | kInstallerRegistered;
    t.File(kind, "{roaming}\\Ostrevan\\7.1\\global.ini", Fate::Always, interopOff).variants =
        kNoCrossVersionInterop;
    t.File(kind, "{temp}\\Ostrevan\\7.1\\x64\\global.ini", Fate::Always, interopOn).variants =
        kStandard | kInstallerRegistered;
    t.File(kind, "{roaming}\\Ostrevan\\7.1\\ovw2h.jar", Fate::Always).attributes = FILE_ATTRIBUTE_READONLY;
    t.File(kind, "{roaming}\\Ostrevan\\7.1\\OV3270_7_1_11.jar", Fate::Always);
    t.File(kind, "{locallow}\\Ostrevan\\7.1\\ovw2h.jar", Fate::Always);
    t.File(kind, "{temp}\\Ostrevan\\7.1\\x64\\ovw2h64.jar", Fate::Always).attributes = FILE_ATTRIBUTE_HIDDEN;
    t.File(kind, "{temp}\\Low\\Ostrevan\\7.1\\x64\\ovw2h64.jar", Fate::Always);

    const char* shortcuts = "Session shortcuts on the user's desktop";
    for (const char* name : {"Host Sales.LNK", "Payroll.LNK", "Inventory.LNK", "Shipping.LNK"})
        t.File(shortcuts, std::string("{desktop}\\") + name, Fate::Always);
    t.File("Applet support library", "{temp}\\Ostrevan\\7.1\\Plxw2hjv.dll", Fate::Always);

    const char* by = "Bystanders";
    t.File(by, "{roaming}\\Ostrevan\\6.0\\global.ini", Fate::Bystander);
    t.File(by, "{temp}\\other-application.tmp", Fate::Bystander);
    t.File(by, "{desktop}\\Budget 2024.xlsx", Fate::Bystander);
    t.File(by, "{desktop}\\Notepad.LNK", Fate::Bystander);
}

inline void AddPlugins(ItemTable& t)
{
    const char* kind = "Browser plug-ins";
    for (const char* folder : {"{pf}\\Internet Explorer\\Plugins", "{pf86}\\Netscape\\Communicator\\Program\\Plugins",
                               "{pf86}\\Netscape\\Netscape 6\\Plugins"}) {
        for (const std::string& name : PluginFileNames()) {
            Item& i = t.File(kind, std::string(folder) + "\\" + name, Fate::Always);
            if (name == "NPKQ3270.DLL") i.attributes = FILE_ATTRIBUTE_READONLY;
        }
        t.File("Bystanders", std::string(folder) + "\\NPFOREIGN.DLL", Fate::Bystander);
    }
    const std::string ext = "Software\\Microsoft\\Internet Explorer\\Plugins\\Extension\\";
    for (size_t n = 0; n < PluginExtensions().size(); ++n)
        t.Key("Plug-in extension keys", Hive::Machine32, ext + PluginExtensions()[n], Fate::Always,
              {Sz("Location", "{pf}\\Internet Explorer\\Plugins\\" + PluginFileNames()[n])});
    t.Key("Bystanders", Hive::Machine32, ext + ".acv", Fate::Bystander,
          {Sz("Location", "{pf}\\Internet Explorer\\Plugins\\NPFOREIGN.DLL")});
}

inline void AddActiveX(ItemTable& t)
{
    const char* kind = "ActiveX controls and companion files";
    const char* store = "Code store keys";
    const std::string classes = "Software\\Classes\\CLSID\\";
    const std::string units = "Software\\Microsoft\\Code Store Database\\Distribution Units\\";
    const std::string settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    for (Hive h : {Hive::Machine32, Hive::Machine64})
        t.Add("Setup", What::Value, h, settings, Fate::Setup).values = {Sz("ActiveXCache", "{dpf}")};
    t.Folder(kind, "{dpf}\\CONFLICT.1", Fate::ActiveX);
    for (bool is64 : {false, true}) {
        Hive h = is64 ? Hive::Machine64 : Hive::Machine32;
        for (const Control& c : Controls()) {
            std::string clsid = is64 ? c.clsid64 : c.clsid32;
            // Each edition's controls are DLLs of its own bitness.
            t.File(kind, ControlFile(c, is64), Fate::ActiveX, is64 ? "@comserver64.dll" : "@comserver.dll");
            t.Key("Setup", h, classes + clsid, Fate::Setup, {Sz("", std::string(c.stem) + " Control")});
            t.Key("Setup", h, classes + clsid + "\\InprocServer32", Fate::Setup,
                  {Sz("", ControlFile(c, is64)), Sz("ThreadingModel", "Apartment")});
        }
    }
    t.File(kind, "{dpf}\\CONFLICT.1\\ovw2h32.ini", Fate::ActiveX);
    t.File(kind, "{dpf}\\CONFLICT.1\\ovw2h32.inf", Fate::ActiveX).attributes = FILE_ATTRIBUTE_HIDDEN;
    t.File(kind, "{dpf}\\ovw2h64.ini", Fate::ActiveX);
    t.File(kind, "{dpf}\\ovw2h64.inf", Fate::ActiveX);
    // The browser's code store, as the 32-bit program sees it: every control once.
    for (const Control& c : Controls()) {
        std::vector<std::string> clsids = {c.clsid32};
        if (clsids[0] != c.clsid64) clsids.push_back(c.clsid64);
        for (const std::string& clsid : clsids) {
            t.Key(store, Hive::Machine32, units + clsid, Fate::ActiveX,
                  {Sz("", std::string(c.stem) + " Control"), Byte("Installer", 1)});
            t.Key(store, Hive::Machine32, units + clsid + "\\DownloadInformation", Fate::Setup,
                  {Sz("CODEBASE", std::string("http://w2h.example.com/ov/") + c.stem + "_7_1_11.CAB")});
        }
    }
    const char* dl = "Downloaded cabinets and control files";
    for (const std::string& name : CabinetNames()) t.File(dl, "{dpf}\\" + name, Fate::ActiveX);
    for (const std::string& name : ControlFileNames()) t.File(dl, "{dpf}\\" + name, Fate::ActiveX);

    const char* by = "Bystanders";
    const std::string foreign = "{A1B2C3D4-1111-4222-8333-944455556666}";
    t.File(by, "{dpf}\\FOREIGN.OCX", Fate::Bystander, "@comserver.dll");
    t.File(by, "{dpf}\\CONFLICT.2\\FOREIGN2.OCX", Fate::Bystander);
    t.File(by, "{dpf}\\OTHER3270.CAB", Fate::Bystander);
    t.File(by, "{dpf}\\OVERVIEW.CAB", Fate::Bystander);
    for (Hive h : {Hive::Machine32, Hive::Machine64})
        t.Key(by, h, classes + foreign + "\\InprocServer32", Fate::Bystander,
              {Sz("", "{dpf}\\FOREIGN.OCX"), Sz("ThreadingModel", "Both")});
    t.Key(by, Hive::Machine32, units + foreign, Fate::Bystander, {Sz("", "Foreign Control")});
}

inline void AddApplicationData(ItemTable& t)
{
    const char* kind = "Application data";
    for (const char* root : {"{roaming}", "{locallow}"}) {
        std::string base = std::string(root) + "\\Ostrevan Web\\7.1";
        t.Folder(kind, base, Fate::Always);
        t.Folder(kind, base + "\\x64", Fate::Always);
        t.File(kind, base + "\\ovw2h.cfg", Fate::Always);
        t.File(kind, base + "\\jre\\lib\\ovw2h-applet.jar", Fate::Always);
        t.File(kind, base + "\\x64\\ovw2h.cfg", Fate::Always).attributes = FILE_ATTRIBUTE_READONLY;
    }
    t.File("Bystanders", "{roaming}\\Ostrevan Web\\6.5\\ovw2h.cfg", Fate::Bystander);
}

// The eight user data sub-folders of both editions.
inline const std::vector<std::string>& UserDataFolders()
{
    static const std::vector<std::string> names = {"Certs", "Config", "Macros", "Scripts",
                                                   "Transfer", "Spool", "Traces", "Cache"};
    return names;
}

inline void AddWebUserData(ItemTable& t)
{
    const char* kind = "Web-to-Host user data";
    for (const char* dir : {"{documents}\\Ostrevan Web\\7.1", "{documents}\\Ostrevan Web (64-bit)\\7.1"}) {
        std::string d = dir;
        for (const std::string& sub : UserDataFolders()) {
            t.Folder(kind, d + "\\" + sub, Fate::UserFiles);
            t.File(kind, d + "\\" + sub + "\\" + sub + ".dat", Fate::UserFiles);
        }
        t.File(kind, d + "\\Config\\session.cfg", Fate::UserFiles).attributes =
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
        t.Folder(kind, d + "\\Macros\\Archive", Fate::UserFiles);
        t.File(kind, d + "\\Macros\\Archive\\logon-2019.ovm", Fate::UserFiles);
        t.File(kind, d + "\\keyboard.ovk", Fate::UserFiles);
        t.Folder(kind, d + "\\Sessions", Fate::UserFiles);
        t.File(kind, d + "\\Sessions\\Host Sales.ovd", Fate::UserFiles);
    }
    const char* by = "Bystanders";
    t.File(by, "{documents}\\report.docx", Fate::Bystander);
    t.File(by, "{documents}\\Ostrevan Web\\6.5\\Macros\\old.ovm", Fate::Bystander);
    t.File(by, "{documents}\\Scripts\\backup.ps1", Fate::Bystander);
}

inline void AddUrlCache(ItemTable& t)
{
    const char* kind = "Internet cache content";
    for (const char* url : {"http://w2h.example.com/ov/OV3270_7_1_11.CAB", "http://w2h.example.com/ov/ovw2h.jar",
                            "http://host name/ov w2h/launch page.html", "http://www.example.org/news/index.html"})
        t.Add(kind, What::UrlEntry, Hive::None, url, Fate::InternetCache).urlType = NORMAL_CACHE_ENTRY;
    const char* by = "Bystanders";
    for (const char* url : {"Cookie:root@w2h.example.com/", "Cookie:root@www.example.org/"})
        t.Add(by, What::UrlEntry, Hive::None, url, Fate::Bystander).urlType = COOKIE_CACHE_ENTRY;
    t.Add(by, What::UrlEntry, Hive::None, "Visited: root@https://w2h.example.com/payroll/start.html",
          Fate::Bystander).urlType = URLHISTORY_CACHE_ENTRY;
}

// One Served Desktop installation: its directories and their files.
struct DesktopEdition {
    bool is64;
    std::string installDir, workingDir, sessionProfile, group;
};
inline std::vector<DesktopEdition> DesktopEditions()
{
    return {{false, "{pf86}\\Ostrevan\\7.1", "{profile}\\Ostrevan\\7.1", "Mainframe Session", "Ostrevan 7.1"},
            {true, "{pf}\\Ostrevan\\7.1\\x64", "{profile}\\Ostrevan\\7.1\\x64", "VT Session",
             "Ostrevan 7.1 (64-bit)"}};
}

inline void AddDesktopEdition(ItemTable& t, const DesktopEdition& e)
{
    const char* folders = "Desktop directories";
    const char* inventory = "Desktop installed files (inventory)";
    const char* patterns = "Desktop session profiles, traces and notes";
    const char* data = "Desktop user data";
    // The installation directory and its parents, which go when empty.
    if (e.is64) {
        t.Folder(folders, "{pf}\\Ostrevan", Fate::Desktop);
        t.Folder(folders, "{pf}\\Ostrevan\\7.1", Fate::Desktop);
    }
    t.Folder(folders, e.installDir, Fate::Desktop);
    for (const std::string& name : InventoryNames()) {
        bool com = name == "OVXFRCOM.DLL" || name == "OVHLLCOM.DLL";
        const char* server = e.is64 ? "@comserver64.dll" : "@comserver.dll";
        Item& i = t.File(inventory, e.installDir + "\\" + name, Fate::Desktop, com ? server : "");
        if (name == "OVUNINST.EXE" || name == "README.TXT") i.attributes = FILE_ATTRIBUTE_READONLY;
    }
    // The working directory: session profiles and notes go with /4, user data with /1.
    if (!e.is64) t.Folder(folders, "{profile}\\Ostrevan", Fate::DesktopUserData);
    t.Folder(folders, e.workingDir, Fate::DesktopUserData);
    std::string w = e.workingDir + "\\";
    t.File(patterns, w + e.sessionProfile + ".ini", Fate::Desktop);
    t.File(patterns, w + "session.0", Fate::Desktop);
    t.File(patterns, w + "notes.txt", Fate::Desktop);
    t.File(patterns, w + "Certs\\trust.ini", Fate::Desktop);
    t.File(patterns, w + "Certs\\certificates.txt", Fate::Desktop);
    t.File(data, w + "keyboard.ovk", Fate::DesktopUserData);
    for (const std::string& sub : UserDataFolders()) {
        t.Folder(data, w + sub, Fate::DesktopUserData);
        t.File(data, w + sub + "\\" + sub + ".dat", Fate::DesktopUserData);
    }
    t.File(data, w + "Config\\display.ini", Fate::DesktopUserData);
    t.File(data, w + "Certs\\user.cer", Fate::DesktopUserData).attributes = FILE_ATTRIBUTE_READONLY;
    t.File("Desktop and Startup shortcuts", "{commondesktop}\\" + e.sessionProfile + ".LNK", Fate::Desktop);

    // The program group: its shortcuts go; the group folder when nothing else is in it.
    const char* group = "Program group shortcuts";
    std::string g = "{commonprograms}\\" + e.group;
    t.Folder(group, g, e.is64 ? Fate::Desktop : Fate::Setup);
    for (const std::string& name : GroupShortcutNames()) t.File(group, g + "\\" + name + ".LNK", Fate::Desktop);
    if (!e.is64) t.File("Bystanders", g + "\\My Notes.LNK", Fate::Bystander);
}

inline void AddDesktop(ItemTable& t)
{
    const char* keys = "Desktop product keys";
    t.Key(keys, Hive::Machine32, "Software\\Ostrevan\\7.1", Fate::Desktop,
          {Sz("Installation Directory", "{pf86}\\Ostrevan\\7.1"), Byte("WorkingDirType", 0),
           Sz("Working Directory", "%USERPROFILE%\\Ostrevan\\7.1"), Sz("Program Group", "Ostrevan 7.1"),
           Byte("BaseRegistry", 1)});
    t.Key(keys, Hive::Machine32, "Software\\Ostrevan\\7.1\\Modules\\3270", Fate::Desktop, {Sz("Installed", "1")});
    t.Key(keys, Hive::Machine32, "Software\\Ostrevan\\7.1\\Modules\\5250", Fate::Desktop, {Sz("Installed", "1")});
    t.Key(keys, Hive::Machine64, "Software\\Ostrevan (64-bit)", Fate::Desktop);
    t.Key(keys, Hive::Machine64, "Software\\Ostrevan (64-bit)\\7.1", Fate::Desktop,
          {Sz("Installation Directory", "{pf}\\Ostrevan\\7.1\\x64"), Byte("WorkingDirType", 0),
           Sz("Working Directory", "%USERPROFILE%\\Ostrevan\\7.1\\x64"),
           Sz("Program Group", "Ostrevan 7.1 (64-bit)"), Byte("BaseRegistry", 1)});
    t.Key(keys, Hive::Machine64, "Software\\Ostrevan (64-bit)\\7.1\\Modules\\VT", Fate::Desktop,
          {Sz("Installed", "1")});
    // The user's own settings of the 32-bit desktop edition (no BaseRegistry:
    // the lookup goes on to the machine-wide key).
    t.Key(keys, Hive::User, "Software\\Ostrevan", Fate::Desktop);
    t.Key(keys, Hive::User, "Software\\Ostrevan\\7.1", Fate::Desktop, {Sz("Last Session", "Mainframe Session")});
    t.Key(keys, Hive::User, "Software\\Ostrevan\\7.1\\Recent\\Sessions", Fate::Desktop,
          {Sz("1", "Mainframe Session")});

    for (const DesktopEdition& e : DesktopEditions()) AddDesktopEdition(t, e);

    // Shared desktop data folder: emptied and removed only with the user data.
    const char* data = "Desktop user data";
    std::string shared = "{programdata}\\Ostrevan\\7.1";
    t.Folder("Desktop directories", shared, Fate::DesktopUserData);
    t.File(data, shared + "\\license.dat", Fate::DesktopUserData);
    for (const char* sub : {"Config", "Macros", "Certs"}) {
        t.Folder(data, shared + "\\" + sub, Fate::DesktopUserData);
        t.File(data, shared + "\\" + sub + "\\shared.dat", Fate::DesktopUserData);
    }

    const char* shortcuts = "Desktop and Startup shortcuts";
    for (const std::string& name : DesktopShortcutNames())
        t.File(shortcuts, "{commondesktop}\\" + name, Fate::Desktop);
    t.File(shortcuts, "{commonstartup}\\Ostrevan Session Manager.LNK", Fate::Desktop);

    const char* by = "Bystanders";
    t.Key(by, Hive::Machine32, "Software\\Ostrevan\\6.0", Fate::Bystander,
          {Sz("Installation Directory", "{pf86}\\Ostrevan\\6.0"), Sz("Program Group", "Ostrevan 6.0")});
    for (const char* name : {"OV3270.EXE", "OVSESMGR.EXE", "global.ini", "README.TXT"})
        t.File(by, std::string("{pf86}\\Ostrevan\\6.0\\") + name, Fate::Bystander);
    t.File(by, "{commondesktop}\\Acme Viewer.LNK", Fate::Bystander);
    t.File(by, "{commonstartup}\\Acme Tray.LNK", Fate::Bystander);
    t.File(by, "{commonprograms}\\Acme\\Acme Viewer.LNK", Fate::Bystander);
    t.File(by, "{programs}\\Contoso Mail.LNK", Fate::Bystander);
    t.File(by, "{publicdocuments}\\Shared Budget.xlsx", Fate::Bystander);
    t.File(by, "{profile}\\Ostrevan Notes.txt", Fate::Bystander);

    // The desktop edition registered with Windows Installer (packed product code).
    t.Key(by, Hive::Machine64, "Software\\Classes\\Installer\\Products\\14C7B2F601A7B3E4C955B0E7170A7C11",
          Fate::Bystander, {Sz("ProductName", "Ostrevan Served Desktop 7.1")})
        .variants = kInstallerRegistered;
}

// Folders that the install makes and the uninstall removes whole.
inline void AddSetupFolders(ItemTable& t)
{
    for (const char* f : {"{roaming}\\Ostrevan", "{locallow}\\Ostrevan", "{temp}\\Ostrevan", "{temp}\\Low",
                          "{roaming}\\Ostrevan Web", "{locallow}\\Ostrevan Web", "{documents}\\Ostrevan Web",
                          "{documents}\\Ostrevan Web (64-bit)", "{documents}\\Scripts", "{pf}\\Ostrevan",
                          "{pf86}\\Ostrevan", "{profile}\\Ostrevan", "{programdata}\\Ostrevan",
                          "{pf86}\\Java", "{pf86}\\Calderwick", "{pf86}\\Netscape", "{pf86}\\Contoso",
                          "{pf}\\Internet Explorer\\Plugins", "{dpf}\\CONFLICT.1", "{dpf}\\CONFLICT.2",
                          "{commonprograms}\\Acme", "{commonprograms}\\Ostrevan 7.1",
                          "{commonprograms}\\Ostrevan 7.1 (64-bit)"})
        t.Folder("Setup", f, Fate::Setup);
}

inline std::vector<Item> BuildItems()
{
    ItemTable t;
    AddSetupFolders(t);
    AddPrograms(t);
    AddWebToHostKeys(t);
    AddAssociations(t);
    AddSessionManagers(t);
    AddCacheFiles(t);
    AddPlugins(t);
    AddActiveX(t);
    AddApplicationData(t);
    AddWebUserData(t);
    AddUrlCache(t);
    AddDesktop(t);
    return t.items;
}

inline const std::vector<Item>& Items()
{
    static const std::vector<Item> items = BuildItems();
    return items;
}

inline bool Counted(const Item& item) { return item.fate != Fate::Setup; }
inline bool IsBystander(const Item& item) { return item.fate == Fate::Bystander; }

// Exact bytes of a generated file: a header naming it and bytes that depend
// on its path, so two swapped files do not pass as intact.
inline std::string GeneratedContent(const Item& item)
{
    std::string s = (IsBystander(item) ? "Bystander of the sample machine: " : "Ostrevan 7.1 sample file: ") +
                    item.path + "\r\n";
    unsigned h = 2166136261u;
    for (char c : item.path) h = (h ^ (unsigned char)c) * 16777619u;
    for (int n = 0; n < 192; ++n) {
        h = h * 1103515245u + 12345u;
        s += (char)(h >> 24);
    }
    return s;
}

// ---------------------------------------------------------------------------
// What a run removes, by the program's design.

inline bool Has(const std::string& commandLine, char c) { return commandLine.find(c) != std::string::npos; }

// commandLine: the program's switches; the run is quiet or confirmed with Yes.
// Questions are answered as quiet mode answers them, except that
// desktopDataConfirmed says the user answered Yes to removing the desktop
// user data.
inline bool ExpectedGone(const Item& item, const std::string& commandLine, unsigned variant,
                         bool desktopDataConfirmed = false)
{
    if (Has(commandLine, '?')) return false;
    bool activeX = Has(commandLine, '2') && variant != kInstallerRegistered;
    switch (item.fate) {
    case Fate::Always: return true;
    case Fate::ActiveX: return activeX;
    case Fate::UserFiles: return Has(commandLine, '1');
    case Fate::InternetCache: return Has(commandLine, '3');
    case Fate::Desktop: return Has(commandLine, '4');
    case Fate::DesktopUserData: return Has(commandLine, '4') && (Has(commandLine, '1') || desktopDataConfirmed);
    default: return false;
    }
}

inline const char* FateName(Fate f)
{
    switch (f) {
    case Fate::Always: return "every run";
    case Fate::ActiveX: return "/2";
    case Fate::UserFiles: return "/1";
    case Fate::InternetCache: return "/3";
    case Fate::Desktop: return "/4";
    case Fate::DesktopUserData: return "/4 with /1";
    case Fate::KeptByDesign: return "kept by design";
    case Fate::Bystander: return "bystander";
    default: return "setup";
    }
}

inline const char* HiveName(Hive h)
{
    switch (h) {
    case Hive::User: return "HKCU\\";
    case Hive::Machine32: return "HKLM(32-bit view)\\";
    case Hive::Machine64: return "HKLM(64-bit view)\\";
    default: return "";
    }
}

// The programs that a run starts for the session profiles, in the order of
// the profile folders (within one folder the file system's order).
struct Launch { std::string program, parameters; };
inline std::string DescriptorAddress(const std::string& address, const char* descriptor)
{
    size_t slash = address.size() > 1 ? address.find_last_of('/') : std::string::npos;
    std::string a = (slash == std::string::npos || slash == 0) ? std::string(descriptor)
                                                                : address.substr(0, slash + 1) + descriptor;
    std::string out;
    for (char c : a) out += c == ' ' ? std::string("%20") : std::string(1, c);
    return out;
}

inline std::vector<std::vector<Launch>> ExpectedLaunchGroups()
{
    std::vector<std::vector<Launch>> groups;
    std::string folder;
    for (const Profile& p : Profiles()) {
        if (folder != p.folder) groups.emplace_back();
        folder = p.folder;
        groups.back().push_back({"javaws.exe", "-uninstall " + DescriptorAddress(p.address, "ovw2h.jnlp")});
        groups.back().push_back({"jarvane.exe", "-uninstall " + DescriptorAddress(p.address, "ovw2h.ovlp")});
    }
    return groups;
}

}  // namespace sample
