// Deployment to a fleet on the sample machine: the preview ("/n") changes
// nothing and names everything a cleaning run then removes; the deployment
// exit codes ("/e") of a clean machine, a restart still needed, a file that
// stays and a cancelled dialog; and neither switch hides inside another word.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "program/scenario_support.h"
#include "support/test_support.h"

namespace {

using namespace scenario;

const char kAll[] = "/1 /2 /3 /4";
const int kCancel = 206;

using fixture::Lower;

// The log's event lines as (action, object lower-cased, outcome).
struct Event { std::string action, object, outcome; };
std::vector<Event> LogEvents()
{
    std::vector<Event> events;
    for (const auto& e : Events(LogLines(LogPath()))) events.push_back({e[3], Lower(e[4]), e[5]});
    return events;
}

std::string LogLineWith(const std::string& part)
{
    for (const std::string& line : LogLines(LogPath()))
        if (line.find(part) != std::string::npos) return line;
    return "";
}

// --- The whole machine, as far as a run could change it ------------------------

using State = std::map<std::string, std::string>;

void AddFiles(const std::string& folder, State* state)
{
    WIN32_FIND_DATAA e;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &e);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = e.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + "\\" + name;
        if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*state)["dir " + path] = std::to_string(e.dwFileAttributes);
            if (!(e.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) AddFiles(path, state);
            continue;
        }
        std::ostringstream v;
        v << e.dwFileAttributes << " " << e.nFileSizeLow << " " << e.ftLastWriteTime.dwLowDateTime << " "
          << e.ftLastWriteTime.dwHighDateTime;
        (*state)["file " + path] = v.str();
    } while (FindNextFileA(search, &e));
    FindClose(search);
}

void AddKeys(HKEY root, const std::string& rootName, const std::string& path, REGSAM view, State* state)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    std::string id = "key " + rootName + "\\" + path;
    (*state)[id] = "";
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name, type = 0, dataSize = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS) break;
        std::string data(dataSize, '\0');
        DWORD read = dataSize;
        if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]), &read) != ERROR_SUCCESS)
            data = "unreadable";
        (*state)[id + " value " + name] = std::to_string(type) + ":" + data.substr(0, read);
    }
    std::vector<std::string> subKeys;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subKeys.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& sub : subKeys) AddKeys(root, rootName, path.empty() ? sub : path + "\\" + sub, view, state);
}

void AddUrlCache(State* state)
{
    HMODULE wininet = LoadLibraryA("wininet.dll");
    ASSERT_NE(wininet, nullptr);
    auto findFirst = reinterpret_cast<decltype(&FindFirstUrlCacheEntryA)>(
        GetProcAddress(wininet, "FindFirstUrlCacheEntryA"));
    auto findNext = reinterpret_cast<decltype(&FindNextUrlCacheEntryA)>(
        GetProcAddress(wininet, "FindNextUrlCacheEntryA"));
    auto findClose = reinterpret_cast<decltype(&FindCloseUrlCache)>(GetProcAddress(wininet, "FindCloseUrlCache"));
    ASSERT_TRUE(findFirst && findNext && findClose);
    union { INTERNET_CACHE_ENTRY_INFOA info; char bytes[8192]; } entry;
    DWORD size = sizeof entry;
    HANDLE search = findFirst(nullptr, &entry.info, &size);
    if (search) {
        do {
            (*state)["url " + std::string(entry.info.lpszSourceUrlName)] = std::to_string(entry.info.CacheEntryType);
            size = sizeof entry;
        } while (findNext(search, &entry.info, &size));
        findClose(search);
    }
    FreeLibrary(wininet);
}

// What a run could change, as far as it can be read in a few seconds under
// the emulator: every file and folder of drive C: outside the Windows folder
// (names, attributes, sizes, write times) and the Windows folder's downloaded
// program files; every key and value of the user's software, of the machine's
// software in both views outside the classes and Microsoft's own keys, of the
// machine's keys that a run deletes in (the code store, the browser's plug-in
// extensions, App Paths, the suite's classes) and of the Session Manager's
// key (restart schedules); and the URL cache. The sample machine's own report
// covers every item and bystander besides. The run's log and its folder's
// time stamp are left out.
State MachineState()
{
    State state;
    WIN32_FIND_DATAA e;
    HANDLE top = FindFirstFileA("C:\\*", &e);
    if (top != INVALID_HANDLE_VALUE) {
        do {
            std::string name = e.cFileName;
            if (name == "." || name == ".." || Lower(name) == "windows") continue;
            if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) AddFiles("C:\\" + name, &state);
            else state["file C:\\" + name] = std::to_string(e.nFileSizeLow);
        } while (FindNextFileA(top, &e));
        FindClose(top);
    }
    AddFiles("C:\\windows\\Downloaded Program Files", &state);
    AddKeys(HKEY_CURRENT_USER, "HKCU", "Software", 0, &state);
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        std::string root = view == KEY_WOW64_32KEY ? "HKLM32" : "HKLM64";
        HKEY software;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ | view, &software) == ERROR_SUCCESS) {
            char name[256];
            for (DWORD i = 0;; ++i) {
                DWORD size = sizeof name;
                if (RegEnumKeyExA(software, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
                std::string lowered = Lower(name);
                if (lowered != "classes" && lowered != "microsoft" && lowered != "wow6432node" && lowered != "wine")
                    AddKeys(HKEY_LOCAL_MACHINE, root, std::string("Software\\") + name, view, &state);
            }
            RegCloseKey(software);
        }
        for (const char* path : {"Software\\Microsoft\\Code Store Database",
                                 "Software\\Microsoft\\Internet Explorer\\Plugins",
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"})
            AddKeys(HKEY_LOCAL_MACHINE, root, path, view, &state);
        for (const auto& item : sample::Items())
            if (item.what == sample::What::Key && item.path.find("Classes\\") != std::string::npos)
                AddKeys(HKEY_LOCAL_MACHINE, root, "Software\\Classes\\" + item.path.substr(item.path.find("Classes\\") + 8), view, &state);
    }
    AddKeys(HKEY_LOCAL_MACHINE, "HKLM", "System\\CurrentControlSet\\Control\\Session Manager", 0, &state);
    AddUrlCache(&state);
    std::string log = Lower(LogPath());
    for (auto it = state.begin(); it != state.end();) {
        std::string lowered = Lower(it->first);
        bool logFile = lowered.find(log) != std::string::npos;
        bool logFolder = lowered == "dir " + log.substr(0, log.rfind('\\'));
        it = (logFile || logFolder) ? state.erase(it) : std::next(it);
    }
    return state;
}

void ExpectSameMachine(const State& before, const State& after)
{
    for (const auto& b : before) {
        auto a = after.find(b.first);
        if (a == after.end()) ADD_FAILURE() << "gone: " << b.first;
        else if (a->second != b.second) ADD_FAILURE() << "changed: " << b.first;
    }
    for (const auto& a : after)
        if (!before.count(a.first)) ADD_FAILURE() << "new: " << a.first;
}

// A restart schedule left by a run would delete the file at the next start
// of the bench's Wine session.
void ForgetRestartSchedules()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "PendingFileRenameOperations");
        RegCloseKey(key);
    }
}

class Fleet : public ::testing::Test {
protected:
    static void SetUpTestSuite() { prepared_ = PrepareTools(&prepareError_); }
    static void TearDownTestSuite() { Uninstall(); }

    void Start()
    {
        ASSERT_TRUE(prepared_) << prepareError_;
        DeleteFileA(LogPath().c_str());
        ASSERT_TRUE(Install("standard"));
        ASSERT_TRUE(TakeSnapshot(&before_));
        ExpectInstalled(before_, sample::kStandard);
        ASSERT_FALSE(HasFailure()) << "the sample machine is incomplete";
        ClearLogs();
    }
    robot::Run Run(const std::string& switches, const robot::Answer& answer = PressNothing)
    {
        DeleteFileA(LogPath().c_str());
        return RunProgram(switches, answer);
    }

    void ExpectHeldFileGives(const char* tablePath, const char* outcome, const char* previewOutcome, int code);

    static bool prepared_;
    static std::string prepareError_;
    Snapshot before_;
};

bool Fleet::prepared_ = false;
std::string Fleet::prepareError_;

// The preview of the full sample machine changes nothing at all, starts and
// loads nothing, and names (as "would be removed") every object that the
// cleaning run then removes; the cleaning run with "/e" exits 0; a preview of
// the cleared machine finds nothing to change and exits 0. The usage message
// and a cancelled dialog with "/e" change nothing either: 0 and 1602.
TEST_F(Fleet, PreviewChangesNothingAndNamesWhatTheRunRemoves)
{
    Start();
    State machine = MachineState();

    robot::Run usage = Run("/e ?", [](const robot::ShownWindow&) { return IDOK; });
    EXPECT_EQ(usage.exitCode, 0) << "usage message with /e";
    ASSERT_EQ(usage.windows.size(), 1u);
    EXPECT_EQ(usage.windows[0].caption, fixture::kUsageCaption);
    robot::Run cancelled =
        Run("/e", [](const robot::ShownWindow& w) { return w.caption == fixture::kDialogCaption ? kCancel : 0; });
    EXPECT_EQ(cancelled.exitCode, 1602) << "dialog cancelled with /e";

    robot::Run preview = Run(std::string(kAll) + " /n");
    EXPECT_EQ(preview.exitCode, 1) << "a preview of a machine with the suite on it";
    for (const robot::ShownWindow& w : preview.windows) ADD_FAILURE() << "window shown by a preview: " << w.caption;
    ExpectLaunches(false);
    ExpectUnregistrations(before_, "?", sample::kStandard);
    ExpectSessionManagerClosed("Ostrevan Session Manager", false);
    ExpectSameMachine(machine, MachineState());
    EXPECT_NE(LogLineWith("| preview started, nothing is changed | command line: /1 /2 /3 /4 /n"), "");
    EXPECT_NE(LogLineWith("| summary | would be removed: "), "");
    std::set<std::string> named;
    size_t starts = 0;
    for (const Event& e : LogEvents()) {
        if (e.outcome == "would be removed") named.insert(e.action + " " + e.object);
        if (e.action == "start program" && e.outcome == "would be started") ++starts;
    }
    EXPECT_GE(starts, 2u) << "Java Web Start and the web launcher for the session profiles";

    robot::Run run = Run(std::string(kAll) + " /q /e /l");
    EXPECT_EQ(run.exitCode, 0) << "a cleaning run with /e that removed everything";
    Snapshot after;
    ASSERT_TRUE(TakeSnapshot(&after));
    ExpectOutcome(after, "/1 /2 /3 /4 /q", sample::kStandard);
    size_t removed = 0;
    for (const Event& e : LogEvents()) {
        if (e.outcome != "removed") continue;
        ++removed;
        EXPECT_TRUE(named.count(e.action + " " + e.object)) << "removed but not named by the preview: " << e.object;
    }
    EXPECT_GT(removed, 300u);
    EXPECT_NE(LogLineWith("| summary | removed: "), "");
    EXPECT_NE(LogLineWith("; exit code 0"), "") << "the summary gives the exit code";

    State cleared = MachineState();
    robot::Run second = Run(std::string(kAll) + " /n");
    EXPECT_EQ(second.exitCode, 0) << "a preview of the cleared machine";
    for (const Event& e : LogEvents())
        EXPECT_TRUE(e.outcome.find("would") == std::string::npos) << e.action << " " << e.object << " " << e.outcome;
    ExpectSameMachine(cleared, MachineState());
}

// A file held open by another process: the preview marks it as the cleaning
// run will find it, the cleaning run with /e exits with code, and without /e
// with 1.
void Fleet::ExpectHeldFileGives(const char* tablePath, const char* outcome, const char* previewOutcome, int code)
{
    Start();
    std::string path = Located(before_, tablePath);
    fixture::Holder held(path);
    ASSERT_TRUE(held.holding()) << path;

    robot::Run preview = Run(std::string(kAll) + " /n");
    EXPECT_EQ(preview.exitCode, 1);
    bool marked = false;
    for (const Event& e : LogEvents()) marked |= e.object == Lower(path) && e.outcome == previewOutcome;
    EXPECT_TRUE(marked) << "the preview marks " << path << " as " << previewOutcome;

    robot::Run run = Run(std::string(kAll) + " /q /e /l");
    ForgetRestartSchedules();
    std::string stayed;
    for (const Event& e : LogEvents())
        if (e.outcome != "removed" && e.outcome != "not present" && e.action != "start program" &&
            e.action.find("unregister") == std::string::npos && e.action != "ask to close")
            stayed += "\n  " + e.action + " " + e.object + ": " + e.outcome;
    EXPECT_EQ(run.exitCode, code) << path << stayed;
    bool logged = false;
    for (const Event& e : LogEvents()) logged |= e.object == Lower(path) && e.outcome == outcome;
    EXPECT_TRUE(logged) << path << " " << outcome;
    EXPECT_NE(LogLineWith("; exit code " + std::to_string(code)), "");
    EXPECT_TRUE(fixture::Exists(path));

    robot::Run plain = Run(std::string(kAll) + " /q");
    ForgetRestartSchedules();
    EXPECT_EQ(plain.exitCode, 1) << "without /e, " << path;
}

// The uninstaller held open is scheduled for deletion at restart: 3010.
TEST_F(Fleet, HeldUninstallerGivesRestartRequired)
{
    ExpectHeldFileGives("{pf86}\\Ostrevan\\7.1\\OVUNINST.EXE", "in use, scheduled for deletion at restart",
                        "in use, would be scheduled for deletion at restart", 3010);
}

// A control held open in quiet mode stays: 1603.
TEST_F(Fleet, HeldControlGivesFailure)
{
    ExpectHeldFileGives("{dpf}\\OVMFD32.OCX", "in use, kept", "in use, kept", 1603);
}

}  // namespace
