// Directory values that name what the program must never empty (roots, system
// and shell folders, relative, UNC-like and device paths, paths with "..",
// trailing dots or blanks), folders that are missing at some level, and folder
// links inside every folder the program empties.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hardening/exercises.h"
#include "hardening/hardening_support.h"

namespace hardening {
namespace {

struct DirectoryParam {
    std::string site;    // a ValueSite name
    std::string name;    // for the test name
    std::string value;
    Passes passes = Passes::Both;
};

void PrintTo(const DirectoryParam& param, std::ostream* out)
{
    *out << param.site << " = \"" << param.value << "\""
         << (param.passes == Passes::First ? " (first pass)"
             : param.passes == Passes::Second ? " (second pass)" : "");
}

std::string ParamName(const ::testing::TestParamInfo<DirectoryParam>& info)
{
    return info.param.site + "_" + info.param.name;
}

const ValueSite& Site(const std::string& name)
{
    for (const ValueSite& site : ValueSites())
        if (name == site.name) return site;
    throw std::runtime_error("no site " + name);
}

void RunWithValue(const std::string& siteName, const std::string& value,
                  Passes passes = Passes::Both)
{
    const ValueSite& site = Site(siteName);
    SiteValueGuard guard(site);
    PrepareSite(site, passes);
    PlantValue(site, REG_SZ, value + '\0', passes);
    ExerciseSite(site, passes);
}

// --- Dangerous directories --------------------------------------------------------

std::vector<std::pair<std::string, std::string>> DangerousValues()
{
    std::string profile = Profile();
    return {
        {"DriveRoot", "C:\\"},
        {"DriveOnly", "C:"},
        {"Windows", "C:\\windows"},
        {"WindowsTrailingBackslash", "C:\\windows\\"},
        {"WindowsForwardSlash", "C:/windows"},
        {"WindowsTrailingDot", "C:\\windows."},
        {"WindowsTrailingBlank", "C:\\windows "},
        {"System32Parent", "C:\\windows\\system32\\.."},
        {"ProfileRoot", profile},
        {"Desktop", profile + "\\Desktop"},
        {"Documents", profile + "\\Documents"},
        {"Roaming", profile + "\\AppData\\Roaming"},
        {"LocalLow", profile + "\\AppData\\LocalLow"},
        {"TempFolder", TempFolder()},
        {"ProgramData", "C:\\ProgramData"},
        {"PublicDesktop", "C:\\users\\Public\\Desktop"},
        {"ProgramFiles", "C:\\Program Files"},
        {"Relative", "wipora-relative"},
        {"RelativeUp", "..\\..\\windows"},
        {"RootedWithoutDrive", "\\windows"},
        {"UncLike", "\\\\server\\share\\Ostrevan"},
        {"LongForm", "\\\\?\\C:\\windows"},
        {"Device", "\\\\.\\C:\\windows"},
        {"UpToWindows", std::string(kRoot) + "\\cases\\x\\..\\..\\..\\windows"},
    };
}

std::vector<DirectoryParam> DangerousParams()
{
    std::vector<DirectoryParam> params;
    size_t i = 0;
    for (const char* site : {"InstallationDirectory", "WebWorkingDirectory", "ActiveXCache"})
        for (const auto& value : DangerousValues())
            params.push_back({site, value.first, value.second,
                              i++ % 2 ? Passes::Second : Passes::First});
    // Program group names that would name the Programs folder itself or one
    // of the system's own folders below it.
    for (const auto& group : std::vector<std::pair<std::string, std::string>>{
             {"StartUp", "StartUp"}, {"StartUpTrailingDot", "StartUp."},
             {"StartUpTrailingBlank", "StartUp\\ "}, {"Blank", " "}, {"Dots", "..."},
             {"Up", "..\\.."}, {"Absolute", "C:\\windows"}, {"UncLike", "\\\\server\\share"},
             {"Rooted", "\\windows"}, {"Wildcard", "*"}})
        params.push_back({"ProgramGroup", group.first, group.second});
    return params;
}

class DangerousDirectory : public ParamCase<DirectoryParam> {};

TEST_P(DangerousDirectory, IsNeverEmptied)
{
    // The bystanders of make-fixtures stand in every one of these folders.
    RunWithValue(GetParam().site, GetParam().value, GetParam().passes);
}

INSTANTIATE_TEST_SUITE_P(Directories, DangerousDirectory, ::testing::ValuesIn(DangerousParams()),
                         ParamName);

// A relative installation directory names a folder only by the current
// folder of whoever started the program: nothing there is the installation's.
// Here it resolves to C:\wipora-relative, which holds a COM server of the
// suite's name (the stand-in records its unregistration) and a suite file.
class DangerousDirectoryRelative : public Case {
protected:
    void SetUp() override
    {
        Case::SetUp();
        folder_ = "C:\\wipora-relative";
        fixture::MakeFolders(folder_);
        AddBystander(folder_ + "\\OVSESMGR.EXE", false);
        ASSERT_TRUE(fixture::CopyDouble("comserver.dll", folder_ + "\\OVXFRCOM.DLL"));
        AddBystander(folder_ + "\\OVXFRCOM.DLL", false);
        fixture::MakeFolders(std::string(kRoot) + "\\cases");
        log_ = std::string(kRoot) + "\\cases\\relative-com.log";
        DeleteFileA(log_.c_str());
        SetEnvironmentVariableA("WIPORA_COM_LOG", log_.c_str());
        for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
            ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, key.first, "Installation Directory",
                                "wipora-relative", key.second));
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("WIPORA_COM_LOG", nullptr);
        Case::TearDown();
        fixture::RemoveAll(folder_);
    }
    std::string Log() const
    {
        std::string content;
        fixture::ReadFile(log_, &content);
        return content;
    }
    std::string folder_, log_;
};

TEST_F(DangerousDirectoryRelative, LoadsAndDeletesNothingThroughTheCurrentFolder)
{
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    RunTasksBothPasses("/4/q");
    EXPECT_EQ(Log(), "") << "a COM server found through the current folder was unregistered";
}

// A registration of one of the suite's controls that names a DLL of the
// system's own folder: it is neither asked to unregister itself nor deleted.
class DangerousDirectoryControl : public Case {
protected:
    void TearDown() override
    {
        SetEnvironmentVariableA("WIPORA_COM_LOG", nullptr);
        Case::TearDown();
    }
};

TEST_F(DangerousDirectoryControl, ADllInTheSystemFolder)
{
    std::string dll = "C:\\windows\\system32\\wiporactl.dll";
    ASSERT_TRUE(fixture::CopyDouble("comserver.dll", dll));
    AddBystander(dll, false);
    fixture::MakeFolders(std::string(kRoot) + "\\cases");
    std::string log = std::string(kRoot) + "\\cases\\control-com.log";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("WIPORA_COM_LOG", log.c_str());
    // As written out, by bare name (which LoadLibraryA finds in the system
    // folder) and by a relative path that leads there from C:\.
    for (const char* value : {"C:\\windows\\system32\\wiporactl.dll", "wiporactl.dll",
                              "windows\\system32\\wiporactl.dll"}) {
        for (REGSAM view : {k32, k64})
            ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE,
                                "Software\\Classes\\CLSID\\{3A7D1E20-5C4B-11D3-8E61-00A0C9B4D501}"
                                "\\InprocServer32",
                                "", value, view));
        ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
        RunTasksBothPasses("/2");
        std::string content;
        fixture::ReadFile(log, &content);
        EXPECT_EQ(content, "") << value << ": the system folder's DLL was asked to unregister itself";
        ASSERT_TRUE(fixture::Exists(dll)) << value;
    }
}

// A web launcher registration whose "InstallDir" is relative: the launcher it
// names is whatever the current folder makes of it. Here C:\wipora-relative
// holds a launcher of the right name (the stand-in records its start).
class DangerousDirectoryLauncher : public Case {
protected:
    void TearDown() override
    {
        SetEnvironmentVariableA("WIPORA_LAUNCH_LOG", nullptr);
        DeleteFileA((CacheVersionFolder(false) + "\\hardening.ini").c_str());
        Case::TearDown();
        fixture::RemoveAll("C:\\wipora-relative");
    }
};

TEST_F(DangerousDirectoryLauncher, IsNotStartedThroughTheCurrentFolder)
{
    ASSERT_TRUE(fixture::CopyDouble("jarvane.exe", "C:\\wipora-relative\\jarvane.exe"));
    fixture::MakeFolders(std::string(kRoot) + "\\cases");
    std::string log = std::string(kRoot) + "\\cases\\launch.log";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("WIPORA_LAUNCH_LOG", log.c_str());
    ASSERT_TRUE(Touch(CacheVersionFolder(false) + "\\hardening.ini",
                      "[Session Manager]\r\nDisplayName=http://host.example/ostrevan/a.htm\r\n"));
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, "Software\\Calderwick\\Jarvane for Ostrevan",
                        "InstallDir", "wipora-relative", 0));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    RunTasks("", Passes::First);
    std::string content;
    fixture::ReadFile(log, &content);
    EXPECT_EQ(content.find("jarvane"), std::string::npos)
        << "a launcher found through the current folder was started: " << content;
}

// A browser registration that names its executable by a relative path: its
// plug-in folder is whatever the current folder makes of it.
class DangerousDirectoryPlugins : public Case {
protected:
    void TearDown() override
    {
        Case::TearDown();
        fixture::RemoveAll("C:\\wipora-relative");
    }
};

TEST_F(DangerousDirectoryPlugins, AreNotDeletedThroughTheCurrentFolder)
{
    const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
    SavedValue saved32(HKEY_LOCAL_MACHINE, kAppPaths, "", k32);
    SavedValue saved64(HKEY_LOCAL_MACHINE, kAppPaths, "", k64);
    AddBystander("C:\\wipora-relative\\Plugins\\NPKQ3270.DLL", false);
    AddBystander("C:\\wipora-relative\\Plugins\\NPOVW2H7.DLL", false);
    for (REGSAM view : {k32, k64})
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kAppPaths, "", "wipora-relative\\iexplore.exe", view));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    RunTasksBothPasses("");
}

// The parent folders of an installation directory are found by cutting four
// characters ("\7.1"), and eight in the 64-bit pass ("\7.1\x64"). Only a cut at
// a backslash names a parent; elsewhere it names some other folder.
class DangerousDirectoryParent : public Case {};

TEST_F(DangerousDirectoryParent, OnlyACutAtABackslashNamesAParent)
{
    std::string apps = CaseFolder("parents");
    AddBystander(apps + "\\Ostrev", true);         // "Ostrevan71" less four characters
    AddBystander(apps + "\\Ostrevan Des", true);   // "Ostrevan Desktop\x64" less eight
    std::string dir32 = apps + "\\Ostrevan71";
    std::string dir64 = apps + "\\Ostrevan Desktop\\x64";
    std::string versioned = apps + "\\Versioned\\Ostrevan\\7.1";
    for (const std::string& dir : {dir32, dir64, versioned}) ASSERT_TRUE(Touch(dir + "\\OVSESMGR.EXE"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kProduct32, "Installation Directory", dir32, k32));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kProduct64, "Installation Directory", dir64, k64));
    RunTasksBothPasses("/4/q");
    EXPECT_FALSE(fixture::Exists(dir32)) << "the emptied directory itself goes";
    EXPECT_FALSE(fixture::Exists(dir64));
    // The usual case: "...\Ostrevan\7.1" takes its empty parent along.
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kProduct32, "Installation Directory", versioned, k32));
    RunTasksBothPasses("/4/q");
    EXPECT_FALSE(fixture::Exists(apps + "\\Versioned\\Ostrevan"));
}

// --- Missing folders ---------------------------------------------------------------

std::string Missing(const char* levels) { return std::string(kRoot) + "\\cases\\missing\\" + levels; }

std::vector<DirectoryParam> MissingParams()
{
    std::vector<DirectoryParam> params;
    for (const char* site : {"InstallationDirectory", "ProductWorkingDirectory",
                             "WebWorkingDirectory", "ActiveXCache", "LauncherInstallDir"}) {
        params.push_back({site, "LastLevel", Missing("last")});
        params.push_back({site, "ThreeLevels", Missing("a\\b\\c")});
        params.push_back({site, "Drive", "Q:\\Ostrevan\\7.1"});
    }
    params.push_back({"AppPathsIexplore", "ThreeLevels", Missing("a\\b\\IEXPLORE.EXE")});
    params.push_back({"AppPathsIexplore", "Drive", "Q:\\Internet Explorer\\IEXPLORE.EXE"});
    params.push_back({"InprocServer32WebToHost", "ThreeLevels", Missing("a\\b\\OVW2H32.OCX")});
    params.push_back({"ProgramGroup", "Nested", "Wipora Missing\\a\\b"});
    return params;
}

class MissingFolder : public ParamCase<DirectoryParam> {};

TEST_P(MissingFolder, EndsQuietlyOrReportsTheDirectory)
{
    RunWithValue(GetParam().site, GetParam().value);
    // A missing installation or working directory is reported as such, naming it.
    if (GetParam().site == "InstallationDirectory" || GetParam().site == "ProductWorkingDirectory") {
        bool named = false;
        for (const fixture::ShownMessage& shown : Shown())
            named = named || shown.text.find("from " + GetParam().value + ".") != std::string::npos;
        EXPECT_TRUE(named) << "no \"unable to delete\" message names the missing directory";
    }
}

INSTANTIATE_TEST_SUITE_P(Directories, MissingFolder, ::testing::ValuesIn(MissingParams()),
                         ParamName);

// The temporary folder, the cache root of the Web-to-Host edition, missing.
class MissingFolderTemp : public Case {};

TEST_F(MissingFolderTemp, AtEveryLevel)
{
    for (const char* levels : {"temp", "a\\b\\temp"}) {
        std::string folder = Missing(levels);
        std::string saved[2];
        char buffer[MAX_PATH];
        const char* names[2] = {"TMP", "TEMP"};
        for (int i = 0; i < 2; ++i) {
            DWORD n = GetEnvironmentVariableA(names[i], buffer, sizeof buffer);
            saved[i] = n && n < sizeof buffer ? buffer : "";
            SetEnvironmentVariableA(names[i], folder.c_str());
        }
        RunTasksBothPasses("/1/2/3/4");
        for (int i = 0; i < 2; ++i)
            SetEnvironmentVariableA(names[i], saved[i].empty() ? nullptr : saved[i].c_str());
        EXPECT_FALSE(fixture::Exists(folder)) << "nothing is created there";
    }
}

// --- Folder links ----------------------------------------------------------------------
// make-fixtures placed the links; each case points a value at the folder that
// holds them (or uses the fixed folders that do) and checks that the folder's
// own content went while everything behind the links stayed.

class FolderLink : public Case {
protected:
    std::string Fixture(const char* name) { return std::string(kRoot) + "\\" + name; }
};

TEST_F(FolderLink, InsideTheWebToHostWorkingDirectory)
{
    std::string work = Fixture("webwork");
    ASSERT_TRUE(Touch(work + "\\own.txt"));
    ASSERT_TRUE(Touch(work + "\\Scripts\\own.mac"));
    for (const char* key : {kWeb32, kWeb64})
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, key, "Working Directory", work, 0));
    RunTasksBothPasses("/1");
    EXPECT_TRUE(fixture::Exists(work + "\\Config")) << "the link itself stays";
}

TEST_F(FolderLink, InsideTheInstallationDirectoryAndTheSharedDataFolder)
{
    std::string install = Fixture("install");
    ASSERT_TRUE(Touch(install + "\\OVSESMGR.EXE"));
    ASSERT_TRUE(Touch(install + "\\notes.txt"));
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, key.first, "Installation Directory", install,
                            key.second));
    RunTasksBothPasses("/1/4");
    EXPECT_FALSE(fixture::Exists(install + "\\OVSESMGR.EXE")) << "the installation's own file goes";
}

TEST_F(FolderLink, TheDefaultWorkingDirectoryOfThe64BitPassIsALink)
{
    // No "Working Directory": the cache root's version folder is used, and in
    // the 64-bit pass its "x64" folder is a link.
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, kWeb32));
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, kWeb64));
    RunTasksBothPasses("/1");
}

TEST_F(FolderLink, InsideTheDownloadedProgramFilesAndAsTheConflictFolder)
{
    const ValueSite& cache = Site("ActiveXCache");
    SiteValueGuard guard(cache);
    PlantValue(cache, REG_SZ, Fixture("dpf") + '\0');
    PlantValue(Site("InprocServer32WebToHost"), REG_SZ,
               Fixture("dpf\\CONFLICT.9\\OVW2H32.OCX") + '\0');
    RunTasksBothPasses("/2");
}

TEST_F(FolderLink, AsTheProgramGroup)
{
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)}) {
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, key.first, "Installation Directory",
                            LongFolder(250), key.second));
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, key.first, "Program Group", "Wipora Link Group",
                            key.second));
    }
    RunTasksBothPasses("/4/q");
    // The same group per user.
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
        SetRaw(HKEY_LOCAL_MACHINE, key.first, "BaseRegistry", REG_BINARY, "\2", key.second);
    RunTasksBothPasses("/4/q");
}

TEST_F(FolderLink, InEveryFixedFolderOfAWholeRun)
{
    // The cache root's version folders, the application data folders and the
    // shared desktop data folder hold links (make-fixtures); a run with every
    // task leaves what is behind them.
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, kWeb32));
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, kWeb64));
    RunTasksBothPasses("/1/2/3/4");
}

}  // namespace
}  // namespace hardening
