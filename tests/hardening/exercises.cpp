#include "hardening/exercises.h"

#include <cstring>
#include <memory>

#include "services/run_context.h"
#include "app/run_driver.h"
#include "services/settings.h"
#include "desktop/desktop.h"
#include "hardening/hardening_support.h"

namespace hardening {

void RunClearRuns(const char* switches)
{
    ResetRunContext();
    runContext.osVersion.dwOSVersionInfoSize = sizeof runContext.osVersion;
    GetVersionExA(&runContext.osVersion);
    for (int passIndex = 0; passIndex < 2; ++passIndex) {
        PrepareClearRun(switches);
        RunTasksSilently();
        CloseUserKey(runContext.writableUserKey);
        runContext.is64BitPass = !runContext.is64BitPass;
    }
}

void RunTasksBothPasses(const char* switches) { RunTasks(switches, Passes::Both); }

void RunTasks(const char* switches, Passes passes)
{
    for (bool is64 : {false, true}) {
        if ((is64 && passes == Passes::First) || (!is64 && passes == Passes::Second)) continue;
        BeginPass(is64);
        GetVersionExA(&runContext.osVersion);
        ReadBaseRegistry(true);
        ReadGlobalIni();
        if (runContext.allowCrossVersionInterop == 0)
            lstrcatA(runContext.sessionManagerClass, " 7.1");
        ParseSwitches(switches);
        RunTasksSilently();
    }
}

void ExerciseSite(const ValueSite& site, Passes passes)
{
    if (!site.desktopOnly) {
        RunTasks(site.switches, passes);
        return;
    }
    for (bool is64 : {false, true}) {
        if ((is64 && passes == Passes::First) || (!is64 && passes == Passes::Second)) continue;
        BeginPass(is64);
        GetVersionExA(&runContext.osVersion);
        ParseSwitches(site.switches);
        UninstallServedDesktop();
    }
}

std::string LongFolder(int length)
{
    std::string folder = std::string(kRoot) + "\\long\\L" + std::to_string(length) + "-";
    folder.append(length - folder.size(), 'a');
    return folder;
}

std::string LongFile(int length, const char* name)
{
    return LongFolder(length - 1 - (int)std::strlen(name)) + "\\" + name;
}

namespace {

const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kLauncherKey[] = "Software\\Calderwick\\Jarvane for Ostrevan";
const char kControl1_32[] =
    "Software\\Classes\\CLSID\\{3A7D1E20-5C4B-11D3-8E61-00A0C9B4D501}\\InprocServer32";
const char kControl8_32[] =
    "Software\\Classes\\CLSID\\{4D9E2A10-3B8C-7132-A5E1-00C04F8E71A1}\\InprocServer32";
const char kControl8_64[] =
    "Software\\Classes\\CLSID\\{4D9E2A10-3B8C-7164-A5E1-00C04F8E71A1}\\InprocServer32";
const char kOpenCommand[] = "Software\\Classes\\Ostrevan.MainframeDisplay.7.1\\shell\\open\\command";

const std::vector<ValueSite> kSites = {
    {"InstallationDirectory", false, HKEY_LOCAL_MACHINE, kProduct32, kProduct64,
     "Installation Directory", "/4", true, true},
    {"ProductWorkingDirectory", false, HKEY_LOCAL_MACHINE, kProduct32, kProduct64,
     "Working Directory", "/1/4", true, true},
    {"ProgramGroup", false, HKEY_LOCAL_MACHINE, kProduct32, kProduct64, "Program Group", "/4",
     false, true},
    {"WorkingDirType", true, HKEY_LOCAL_MACHINE, kProduct32, kProduct64, "WorkingDirType", "/4",
     false, true},
    {"ProductBaseRegistry", true, HKEY_LOCAL_MACHINE, kProduct32, kProduct64, "BaseRegistry",
     "/4", false, true},
    {"WebBaseRegistry", true, HKEY_CURRENT_USER, kWeb32, kWeb64, "BaseRegistry", "/1", false, false},
    {"CacheMode", true, HKEY_CURRENT_USER, kWeb32, kWeb64, "CacheMode", "/1", false, false},
    {"WebWorkingDirectory", false, HKEY_CURRENT_USER, kWeb32, kWeb64, "Working Directory", "/1",
     true, false},
    {"LauncherInstallDir", false, HKEY_CURRENT_USER, kLauncherKey, kLauncherKey, "InstallDir", "",
     true, false},
    {"AppPathsIexplore", false, HKEY_LOCAL_MACHINE, kAppPaths, kAppPaths, "", "", false, false},
    {"ActiveXCache", false, HKEY_LOCAL_MACHINE, kInternetSettings, kInternetSettings,
     "ActiveXCache", "/2", true, false},
    {"InprocServer32", false, HKEY_LOCAL_MACHINE, kControl1_32, kControl1_32, "", "/2", false, false},
    {"InprocServer32WebToHost", false, HKEY_LOCAL_MACHINE, kControl8_32, kControl8_64, "", "/2",
     false, false},
    {"OpenCommand", false, HKEY_LOCAL_MACHINE, kOpenCommand, kOpenCommand, "", "/4", false, false},
};

REGSAM ViewOf(const ValueSite& site, bool is64BitPass)
{
    if (site.root == HKEY_CURRENT_USER) return 0;
    return is64BitPass ? k64 : k32;
}

bool Is(const ValueSite& site, const char* name) { return std::strcmp(site.name, name) == 0; }

bool InFirst(Passes passes) { return passes != Passes::Second; }
bool InSecond(Passes passes) { return passes != Passes::First; }

// An installation whose directory is a fixture folder of 250 characters: the
// values beside it are read as with any installation, and its files, out of
// reach, start no registration server in the 64-bit pass.
void PlantInstallation(HKEY root, Passes passes)
{
    std::string dir = LongFolder(250);
    bool user = root == HKEY_CURRENT_USER;
    if (InFirst(passes)) SetText(root, kProduct32, "Installation Directory", dir, user ? 0 : k32);
    if (InSecond(passes)) SetText(root, kProduct64, "Installation Directory", dir, user ? 0 : k64);
}

// A Web-to-Host working directory named in the Web keys of a hive.
void PlantWebWorkingDirectory(HKEY root, Passes passes)
{
    std::string dir = CaseFolder("site-webwork");
    Touch(dir + "\\Scripts\\macro.mac");
    Touch(dir + "\\notes.txt");
    bool user = root == HKEY_CURRENT_USER;
    if (InFirst(passes)) SetText(root, kWeb32, "Working Directory", dir, user ? 0 : k32);
    if (InSecond(passes)) SetText(root, kWeb64, "Working Directory", dir, user ? 0 : k64);
}

}  // namespace

const std::vector<ValueSite>& ValueSites() { return kSites; }

std::vector<ValueSite> StringSites()
{
    std::vector<ValueSite> sites;
    for (const ValueSite& site : kSites)
        if (!site.isByte) sites.push_back(site);
    return sites;
}

std::vector<ValueSite> ByteSites()
{
    std::vector<ValueSite> sites;
    for (const ValueSite& site : kSites)
        if (site.isByte) sites.push_back(site);
    return sites;
}

void PrepareSite(const ValueSite& site, Passes passes)
{
    if (Is(site, "ProductWorkingDirectory") || Is(site, "ProgramGroup") ||
        Is(site, "WorkingDirType") || Is(site, "OpenCommand")) {
        PlantInstallation(HKEY_LOCAL_MACHINE, passes);
    } else if (Is(site, "ProductBaseRegistry")) {
        PlantInstallation(HKEY_LOCAL_MACHINE, passes);
        PlantInstallation(HKEY_CURRENT_USER, passes);
    } else if (Is(site, "WebBaseRegistry") || Is(site, "CacheMode")) {
        PlantWebWorkingDirectory(HKEY_CURRENT_USER, passes);
        PlantWebWorkingDirectory(HKEY_LOCAL_MACHINE, passes);
    } else if (Is(site, "LauncherInstallDir")) {
        // A session profile in the cache root's version folder of the first
        // pass (the second pass's folder is a link fixture).
        Touch(CacheVersionFolder(false) + "\\hardening.ini",
              "[Session Manager]\r\nDisplayName=http://host.example/ostrevan/session.htm\r\n");
    }
}

void PlantValue(const ValueSite& site, DWORD type, const std::string& bytes, Passes passes)
{
    // The launcher's registration is the same key in both passes.
    bool shared = std::strcmp(site.path32, site.path64) == 0 && site.root == HKEY_CURRENT_USER;
    if (InFirst(passes) || shared)
        SetRaw(site.root, site.path32, site.value, type, bytes, ViewOf(site, false));
    if (InSecond(passes) && !shared)
        SetRaw(site.root, site.path64, site.value, type, bytes, ViewOf(site, true));
}

struct SiteValueGuard::Impl {
    std::vector<std::unique_ptr<SavedValue>> saved;
};

SiteValueGuard::SiteValueGuard(const ValueSite& site) : impl_(new Impl)
{
    // The system's own values are put back; the suite's keys go in TearDown.
    if (Is(site, "AppPathsIexplore") || Is(site, "ActiveXCache")) {
        for (bool is64 : {false, true})
            impl_->saved.emplace_back(new SavedValue(site.root, is64 ? site.path64 : site.path32,
                                                     site.value, ViewOf(site, is64)));
    }
}

SiteValueGuard::~SiteValueGuard() { delete impl_; }

}  // namespace hardening
