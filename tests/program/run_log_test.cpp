// The administrator's log on the sample machine: what a run with "l" writes
// to Wipora.log in the temporary folder, checked against what the run really
// removed and left; and that the log is never written through something
// planted in its place (tests/program/make-log-links).
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "program/scenario_support.h"
#include "support/test_support.h"

namespace {

using namespace scenario;

const char kAll[] = "/1 /2 /3 /4 /q";
const char kLogTemp[] = "C:\\wipora-logtemp";

using fixture::Lower;

// "HKCU\Software\X" or "HKLM(32-bit view)\Software\X" as the log writes its
// root: "HKEY_CURRENT_USER\Software\X (", with the view for the machine.
std::string KeyPrefix(const std::string& location, std::string* view)
{
    const std::string user = "HKCU\\", m32 = "HKLM(32-bit view)\\", m64 = "HKLM(64-bit view)\\";
    view->clear();
    if (location.rfind(user, 0) == 0) return "HKEY_CURRENT_USER\\" + location.substr(user.size());
    if (location.rfind(m32, 0) == 0) {
        *view = "(32-bit view)";
        return "HKEY_LOCAL_MACHINE\\" + location.substr(m32.size());
    }
    if (location.rfind(m64, 0) == 0) {
        *view = "(64-bit view)";
        return "HKEY_LOCAL_MACHINE\\" + location.substr(m64.size());
    }
    return "";
}

// A key counts as logged removed when it or a key above it is.
bool KeyLoggedRemoved(const std::vector<std::vector<std::string>>& events, const std::string& location)
{
    std::string view;
    std::string key = KeyPrefix(location, &view);
    for (;;) {
        for (const auto& e : events) {
            if (e[3] != "delete key" || e[5] != "removed") continue;
            std::string object = Lower(e[4]);
            std::string wanted = Lower(key) + " (";
            if (object.rfind(wanted, 0) == 0 && (view.empty() || object.find(view) != std::string::npos))
                return true;
        }
        size_t cut = key.rfind('\\');
        if (cut == std::string::npos || key.find('\\') == cut) return false;   // down to the root
        key.erase(cut);
    }
}

std::string Summary(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        if (line.find(" | summary | ") != std::string::npos) return line;
    return "";
}

class RunLog : public ::testing::Test {
protected:
    static void SetUpTestSuite() { prepared_ = PrepareTools(&prepareError_); }
    static void TearDownTestSuite() { Uninstall(); }

    void SetUp() override
    {
        ASSERT_TRUE(prepared_) << prepareError_;
        DeleteFileA(LogPath().c_str());
        DeleteFileA((LogPath() + ".old").c_str());
    }

    void Start()
    {
        ASSERT_TRUE(Install("standard"));
        ASSERT_TRUE(TakeSnapshot(&before_));
        ExpectInstalled(before_, sample::kStandard);
        ASSERT_FALSE(HasFailure()) << "the sample machine is incomplete";
    }

    robot::Run Run(const std::string& switches)
    {
        robot::Run run = RunProgram(switches, PressNothing);
        EXPECT_TRUE(TakeSnapshot(&after_));
        return run;
    }

    static bool prepared_;
    static std::string prepareError_;
    Snapshot before_, after_;
};

bool RunLog::prepared_ = false;
std::string RunLog::prepareError_;

// The same run without the switch and with it: the same machine after it,
// no log without the switch; with it, every object the run removed is named
// as removed and no bystander at all; a second run finds nothing left.
TEST_F(RunLog, FullRunNamesEveryRemovedObjectAndNoBystanderAndASecondRunFindsNothing)
{
    Start();
    robot::Run run = Run(kAll);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(fixture::Exists(LogPath())) << "a log written without the switch";
    Snapshot withoutLog = after_;

    Start();
    run = Run(std::string(kAll) + " /l");
    ASSERT_EQ(run.exitCode, 1);
    ExpectSameState(withoutLog, after_);   // the log changes nothing the run does

    std::vector<std::string> lines = LogLines(LogPath());
    ASSERT_FALSE(lines.empty()) << "no log at " << LogPath();
    EXPECT_NE(lines[0].find("| Wipora 7.1.11 | run started | command line: " + std::string(kAll) + " /l"),
              std::string::npos) << lines[0];
    std::string summary = Summary(lines);
    EXPECT_NE(summary.find("exit code 1"), std::string::npos) << summary;
    EXPECT_EQ(summary, lines.back());
    auto events = Events(lines);

    const std::vector<sample::Item>& items = sample::Items();
    std::vector<std::string> unlogged, bystanders;
    size_t removedCount = 0;
    for (size_t n = 0; n < items.size(); ++n) {
        const sample::Item& item = items[n];
        if (!sample::Counted(item) || !(item.variants & sample::kStandard)) continue;
        std::string location = Located(before_, item.path);
        if (sample::IsBystander(item)) {
            std::string view;
            std::string key = item.what == sample::What::Key ? KeyPrefix(location, &view) : "";
            for (const auto& e : events) {
                std::string object = Lower(e[4]);
                bool named = item.what == sample::What::Key
                                 ? object.rfind(Lower(key) + " (", 0) == 0
                                 : object == Lower(location) || object == Lower("URL cache entry " + item.path);
                if (named) bystanders.push_back(location + ": " + e[3] + " " + e[5]);
            }
            continue;
        }
        auto was = before_.state.find(n), is = after_.state.find(n);
        if (was == before_.state.end() || is == after_.state.end() || was->second != "present" ||
            is->second != "absent")
            continue;   // not removed by this run
        bool logged = false;
        switch (item.what) {
        case sample::What::File:
        case sample::What::Folder: logged = Logged(events, location, "removed"); break;
        case sample::What::Key: logged = KeyLoggedRemoved(events, location); break;
        case sample::What::UrlEntry: logged = Logged(events, "URL cache entry " + item.path, "removed"); break;
        default: continue;   // values go with their keys, windows are closed, not removed
        }
        ++removedCount;
        if (!logged) unlogged.push_back(location);
    }
    EXPECT_GT(removedCount, 300u);
    for (const std::string& u : unlogged) ADD_FAILURE() << "removed but not logged as removed: " << u;
    for (const std::string& b : bystanders) ADD_FAILURE() << "bystander in the log: " << b;
    EXPECT_EQ(summary.find("| removed: 0;"), std::string::npos) << summary;

    // The programs it started, with their exit codes.
    size_t started = 0;
    for (const auto& e : events)
        if (e[3] == "start program" && e[5] == "exit code 0") ++started;
    EXPECT_GE(started, 2u) << "Java Web Start and the web launcher for the session profiles";

    // A second run on the cleared machine finds nothing left to remove.
    ASSERT_TRUE(DeleteFileA(LogPath().c_str()));
    run = Run(std::string(kAll) + " /l");
    EXPECT_EQ(run.exitCode, 1);
    lines = LogLines(LogPath());
    events = Events(lines);
    size_t outcomes = 0;
    for (const auto& e : events) {
        // Programs started and in-process unregistrations carry no outcome:
        // the controls' registrations stay by design on the sample machine.
        if (e[3] == "start program" || e[3] == "unregister in process") continue;
        ++outcomes;
        EXPECT_EQ(e[5], "not present") << e[1] << " | " << e[2] << " | " << e[3] << " | " << e[4];
    }
    EXPECT_GT(outcomes, 50u);
    summary = Summary(lines);
    EXPECT_NE(summary.find("| removed: 0; not present: "), std::string::npos) << summary;
}

// A session profile held open: "in use, kept"; the desktop edition's COM
// library held open: "in use, scheduled for deletion at restart". A protected
// working directory: "refused: protected folder".
TEST_F(RunLog, HeldFilesAndAProtectedFolderAreLoggedWithTheirReasons)
{
    Start();
    std::string profile = Located(before_, "{temp}\\Ostrevan\\7.1\\x64\\global.ini");
    std::string library = Located(before_, "{pf86}\\Ostrevan\\7.1\\OVXFER.DLL");
    std::string deferred = Located(before_, "{pf86}\\Ostrevan\\7.1\\OVUNINST.EXE");
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, "Software\\Ostrevan Web\\7.1", "Working Directory",
                                   "C:\\windows"));

    std::vector<std::unique_ptr<fixture::Holder>> held;
    for (const std::string& path : {profile, library, deferred}) {
        held.emplace_back(new fixture::Holder(path));
        ASSERT_TRUE(held.back()->holding()) << "holder of " << path;
    }
    robot::Run run = Run("/1 /4 /q /l");
    held.clear();
    HKEY sessionManager;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_SET_VALUE, &sessionManager) == ERROR_SUCCESS) {
        RegDeleteValueA(sessionManager, "PendingFileRenameOperations");
        RegCloseKey(sessionManager);
    }
    EXPECT_EQ(run.exitCode, 1);

    auto events = Events(LogLines(LogPath()));
    EXPECT_TRUE(Logged(events, profile, "in use, kept")) << profile;
    EXPECT_TRUE(Logged(events, deferred, "in use, scheduled for deletion at restart")) << deferred;
    EXPECT_TRUE(Logged(events, library, "in use, kept")) << library;
    EXPECT_TRUE(Logged(events, "C:\\windows", "refused: protected folder"));
    EXPECT_TRUE(fixture::Exists(profile) && fixture::Exists(library) && fixture::Exists(deferred));
}

// Runs the program with its temporary folder set to folder: whatever that
// holds, the run goes on as usual.
int RunWithTemp(const std::string& folder)
{
    char oldTmp[MAX_PATH] = "", oldTemp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", oldTmp, sizeof oldTmp);
    GetEnvironmentVariableA("TEMP", oldTemp, sizeof oldTemp);
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
    robot::Run run = RunProgram("/q /l", PressNothing);
    SetEnvironmentVariableA("TMP", oldTmp);
    SetEnvironmentVariableA("TEMP", oldTemp);
    return run.exitCode;
}

std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(entry.cFileName); while (FindNextFileA(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Content(const std::string& path)
{
    std::string text;
    fixture::ReadFile(path, &text);
    return text;
}

DWORD LinkCount(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (file != INVALID_HANDLE_VALUE) {
        GetFileInformationByHandle(file, &info);
        CloseHandle(file);
    }
    return info.nNumberOfLinks;
}

TEST_F(RunLog, SomethingPlantedInPlaceOfTheLogIsLeftAsItWasAndNothingIsCreated)
{
    const std::string root = kLogTemp;
    ASSERT_TRUE(fixture::Exists(root + "\\ready")) << "run tests/program/make-log-links first";
    const std::string victim = "victim of a planted link\r\n";
    const std::string victim2 = "victim of a planted hard link\r\n";
    ASSERT_EQ(Content(root + "\\victim.txt"), victim);
    ASSERT_EQ(LinkCount(root + "\\victim2.txt"), 2u) << "the hard link is missing";
    std::vector<std::string> rootBefore = Listing(root);

    for (const char* name : {"filelink", "dangling", "hardlink", "folder"}) {
        std::string folder = root + "\\" + name;
        std::vector<std::string> before = Listing(folder);
        EXPECT_EQ(RunWithTemp(folder), 1) << name;
        EXPECT_EQ(Listing(folder), before) << name << ": a file was made beside the planted Wipora.log";
    }
    EXPECT_EQ(Content(root + "\\victim.txt"), victim) << "written through the file link";
    EXPECT_EQ(Content(root + "\\filelink\\Wipora.log"), victim) << "the file link was replaced";
    EXPECT_FALSE(fixture::Exists(root + "\\nowhere.txt")) << "created through the dangling link";
    EXPECT_EQ(Content(root + "\\victim2.txt"), victim2) << "written through the hard link";
    EXPECT_EQ(LinkCount(root + "\\victim2.txt"), 2u);
    EXPECT_TRUE(Listing(root + "\\folder\\Wipora.log").size() == 2) << "written into the folder of that name";
    EXPECT_EQ(Listing(root), rootBefore);
}

TEST_F(RunLog, ALogThatCannotBeCreatedIsPassedOver)
{
    std::string missing = std::string(kLogTemp) + "-missing\\none";
    fixture::RemoveAll(std::string(kLogTemp) + "-missing");
    EXPECT_EQ(RunWithTemp(missing), 1);
    EXPECT_FALSE(fixture::Exists(std::string(kLogTemp) + "-missing"));
}

// A log past 4 MB becomes Wipora.log.old (replacing an older one) and a new
// one begins; a smaller one is appended to.
TEST_F(RunLog, ALargeLogIsRenamedAndASmallOneAppendedTo)
{
    std::string folder = fixture::TempRoot();
    std::string log = folder + "\\Wipora.log";
    ASSERT_TRUE(fixture::WriteFile(log, "earlier run\r\n"));
    EXPECT_EQ(RunWithTemp(folder), 1);
    std::vector<std::string> lines = LogLines(log);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier run");
    EXPECT_NE(lines[1].find("| run started | command line: /q /l"), std::string::npos) << lines[1];
    EXPECT_FALSE(fixture::Exists(log + ".old"));

    std::string large(4 * 1024 * 1024 + 1, 'x');
    ASSERT_TRUE(fixture::WriteFile(log, large));
    ASSERT_TRUE(fixture::WriteFile(log + ".old", "older log\r\n"));
    EXPECT_EQ(RunWithTemp(folder), 1);
    EXPECT_EQ(Content(log + ".old"), large);
    lines = LogLines(log);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("| run started |"), std::string::npos) << lines[0].substr(0, 80);
    EXPECT_NE(Summary(lines), "");
    fixture::RemoveAll(folder);
}

}  // namespace
