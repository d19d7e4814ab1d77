// The program started from a folder where a web page left DLLs: a recording
// DLL (tests/doubles/planted.cpp) lies under the name of every library the
// program's process loads, beside the program and in the current folder of the
// run, and Wine is told to prefer such native DLLs (n,b). The three courses of
// a run (usage message, quiet run, dialog with its message boxes) each run once
// without and once with them: nothing planted is loaded, and the planted run
// does what the plain one does.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/robot.h"
#include "support/test_support.h"

namespace {

// The libraries the 32-bit process loads during the three courses, measured
// with WINEDEBUG=+loaddll on the bench (Wine 8, a fresh WoW64 prefix, the
// "Loaded" lines of the program's own process): "Wipora.exe ?" with the usage
// box answered, "Wipora.exe /1 /2 /3 /4 /q", and "Wipora.exe /1 /2 /3 /4" with
// the dialog and every message box answered Yes (OK where there is no Yes) on
// the fixture of MakeInteractiveFixture (the dialog, the program group question
// and the uninstall report; the usage box in the first run). The quiet run
// loaded every name below; the other two no name it did not. Every run of this
// test measures it again: a library loaded that stands in none of the three
// lists fails it, and so does a listed one that no run loaded.
//
// Planted: every name loaded after the program's first own call that is not a
// KnownDLL of Windows (the KnownDLLs of Windows 7 and Windows 10 alike).
const char* const kPlanted[] = {
    "bcrypt.dll",   "cabinet.dll", "comctl32.dll",  "crypt32.dll", "dbghelp.dll",
    "ieframe.dll",  "mpr.dll",     "msi.dll",       "mspatcha.dll", "odbccp32.dll",
    "shfolder.dll", "sxs.dll",     "urlmon.dll",    "uxtheme.dll", "wininet.dll",
    "wintrust.dll", "winex11.drv",
};

struct Excluded {
    const char* name;
    const char* reason;
};

// Loaded after the program's first own call, but KnownDLLs on Windows 7 and
// Windows 10: Windows takes them from its own folder whatever the search
// order, so a planted one is never a question there.
const Excluded kKnownDlls[] = {
    {"oleaut32.dll", "KnownDLL"},
    {"ws2_32.dll", "KnownDLL"},
    {"imagehlp.dll", "KnownDLL"},
};

// Loaded before the program's first own call (WinMain's first statement looks
// up kernel32, the trace's first LdrGetDllHandleEx of L"kernel32"): no code of
// the program can keep these out. The test checks that every one of them, and
// nothing else, is loaded before that call.
const Excluded kBeforeEntry[] = {
    {"wipora.exe", "the program itself"},
    {"kernel32.dll", "imported; KnownDLL"},
    {"kernelbase.dll", "kernel32's import; in \\KnownDlls with it"},
    {"msvcrt.dll", "advapi32's import in Wine; KnownDLL"},
    {"ucrtbase.dll", "Wine's system DLLs import it; in \\KnownDlls on Windows 10"},
    {"sechost.dll", "advapi32's import; KnownDLL"},
    {"advapi32.dll", "imported; KnownDLL"},
    {"user32.dll", "imported; KnownDLL"},
    {"gdi32.dll", "imported; KnownDLL"},
    {"win32u.dll", "user32's import; in \\KnownDlls on Windows 10"},
    {"zlib1.dll", "Wine's own user32 imports it; Windows has no such library"},
    {"version.dll", "Wine's own user32 imports it; Windows's user32 does not"},
    {"rpcrt4.dll", "combase's import; KnownDLL"},
    {"combase.dll", "ole32's import; KnownDLL (Windows 8 and later)"},
    {"ole32.dll", "imported; KnownDLL"},
    {"shcore.dll", "shlwapi's import in Wine; KnownDLL (Windows 8.1 and later)"},
    {"shlwapi.dll", "imported; KnownDLL"},
    {"shell32.dll", "imported; KnownDLL"},
    {"imm32.dll", "user32 loads it while it starts; KnownDLL"},
};

using fixture::kDialogCaption;
using fixture::kUsageCaption;
const char kFirstOwnCall[] = "LdrGetDllHandleEx L\"kernel32\" ";
constexpr int kButtonYes = 205;
constexpr DWORD kRunTimeoutMs = 120000;

using fixture::Lower;

struct Outcome {
    int exitCode = -1;
    std::vector<std::string> windows;   // "caption: text" of every window, in the order shown
    std::vector<std::string> loaded;    // names the program's process loaded, lower case, in order
    std::vector<std::string> paths;     // and where from
    int firstOwnCall = -1;              // index into loaded: loads before the program's first call
    std::string planted;                // what planted DLLs recorded
};

// The trace lines of the program's own process: "pid:trace:loaddll:...
// Loaded L"C:\\path\\name.dll" at ...", and with +module the first own call.
void ReadTrace(const std::string& text, Outcome* run)
{
    std::string pid;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::string linePid = line.substr(0, line.find(':'));
        size_t loaded = line.find(":trace:loaddll:build_module Loaded L\"");
        if (loaded != std::string::npos) {
            size_t open = line.find('"', loaded) + 1;
            std::string path = line.substr(open, line.find('"', open) - open);
            std::string clean;
            for (size_t i = 0; i < path.size(); ++i) {
                clean += path[i];
                if (path[i] == '\\' && i + 1 < path.size() && path[i + 1] == '\\') ++i;
            }
            std::string name = Lower(clean.substr(clean.rfind('\\') + 1));
            if (pid.empty() && name == "wipora.exe") pid = linePid;
            if (linePid != pid) continue;
            run->loaded.push_back(name);
            run->paths.push_back(clean);
        } else if (!pid.empty() && linePid == pid && run->firstOwnCall < 0 &&
                   line.find(kFirstOwnCall) != std::string::npos) {
            run->firstOwnCall = static_cast<int>(run->loaded.size());
        }
    }
}

class PlantedLibraries : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root_ = fixture::TempRoot();
        downloads_ = root_ + "\\Downloads";
        current_ = root_ + "\\Current";
        fixture::MakeFolders(downloads_);
        fixture::MakeFolders(current_);
        program_ = downloads_ + "\\Wipora.exe";
        CopyFileA(fixture::ProgramPath().c_str(), program_.c_str(), FALSE);
        fixture::CopyDouble("unguarded.exe", downloads_ + "\\unguarded.exe");
        log_ = root_ + "\\planted.log";
        for (const char* program : {"Wipora.exe", "unguarded.exe"}) {
            fixture::DeleteKey(HKEY_CURRENT_USER, OverridesKey(program));
            overridesSet_ = PreferPlanted(program) && overridesSet_;
        }
    }
    static void TearDownTestSuite()
    {
        for (const char* program : {"Wipora.exe", "unguarded.exe"})
            fixture::DeleteKey(HKEY_CURRENT_USER, OverridesKey(program));
        fixture::RemoveAll(root_);
    }
    void SetUp() override
    {
        ASSERT_TRUE(overridesSet_) << "cannot set the DllOverrides";
        ASSERT_NE(TracePath(), "") << "no WIPORA_TRACE_LOG: run the suite through ctest or "
                                      "tests/dllsearch/run-traced";
    }

    static bool Plant()
    {
        for (const char* name : kPlanted)
            for (const std::string& folder : {downloads_, current_})
                if (!fixture::CopyDouble("planted.dll", folder + "\\" + name)) return false;
        return true;
    }

    static void RemovePlanted()
    {
        for (const char* name : kPlanted)
            for (const std::string& folder : {downloads_, current_})
                DeleteFileA((folder + "\\" + name).c_str());
    }

    // The environment block: this process's, with the trace channels for the
    // program and the log of the recording DLLs. Only WINEDEBUG goes from a
    // Windows environment block to Wine itself: every other setting of Wine's
    // in the new process (WINEDLLOVERRIDES among them) is the parent's, so the
    // native-then-builtin order of the planted names is set in the registry
    // (PreferPlanted), for the program's name only.
    static std::string Environment(const char* debug)
    {
        char* strings = GetEnvironmentStringsA();
        std::string block;
        for (const char* p = strings; *p; p += std::strlen(p) + 1) {
            std::string entry = p;
            std::string name = Lower(entry.substr(0, entry.find('=')));
            if (name != "winedebug" && name != "wipora_planted_log") block += entry + '\0';
        }
        FreeEnvironmentStringsA(strings);
        block += std::string("WINEDEBUG=") + debug + '\0';
        block += "WIPORA_PLANTED_LOG=" + log_ + '\0';
        return block + '\0';
    }

    // HKCU\Software\Wine\AppDefaults\<program>\DllOverrides: n,b for every
    // planted name, as WINEDLLOVERRIDES would say it.
    static std::string OverridesKey(const char* program)
    {
        return std::string("Software\\Wine\\AppDefaults\\") + program + "\\DllOverrides";
    }
    static bool PreferPlanted(const char* program)
    {
        for (const char* name : kPlanted) {
            std::string base = name;
            if (Lower(base.substr(base.size() - 4)) == ".dll") base.resize(base.size() - 4);
            if (!fixture::SetString(HKEY_CURRENT_USER, OverridesKey(program), base.c_str(), "native,builtin"))
                return false;
        }
        return true;
    }

    // Wine writes a process's trace to the Unix standard error it inherited
    // from its parent, whatever handles CreateProcess is given: the suite runs
    // through tests/dllsearch/run-traced, which appends its standard error,
    // and so its children's traces, to the file WIPORA_TRACE_LOG names.
    static std::string TracePath()
    {
        char unixPath[MAX_PATH] = "";
        DWORD length = GetEnvironmentVariableA("WIPORA_TRACE_LOG", unixPath, sizeof unixPath);
        if (length == 0 || length >= sizeof unixPath) return "";
        return fixture::WindowsPath(unixPath);
    }
    static std::string ReadFrom(const std::string& path, size_t offset)
    {
        std::string text;
        fixture::ReadFile(path, &text);
        return offset < text.size() ? text.substr(offset) : "";
    }

    // Runs program with arguments in the current folder, its standard error
    // (Wine's trace) into a file, and answers every window it shows: the dialog
    // with Yes, a message box with Yes where it has one, else OK.
    static Outcome Start(const std::string& program, const std::string& arguments,
                         const char* debug = "+loaddll")
    {
        Outcome run;
        DeleteFileA(log_.c_str());
        std::string tracePath = TracePath();
        std::string before;
        fixture::ReadFile(tracePath, &before);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::string command = "\"" + program + "\" " + arguments;
        std::string environment = Environment(debug);
        BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, &environment[0],
                                      current_.c_str(), &startup, &process);
        if (!started) {
            ADD_FAILURE() << "cannot start " << command;
            return run;
        }
        run.exitCode = AnswerUntilExit(process, &run.windows);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        ReadTrace(ReadFrom(tracePath, before.size()), &run);
        fixture::ReadFile(log_, &run.planted);
        return run;
    }

    static int AnswerUntilExit(const PROCESS_INFORMATION& process, std::vector<std::string>* windows)
    {
        std::set<HWND> answered;
        DWORD waited = 0;
        while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
            if ((waited += 50) > kRunTimeoutMs) {
                ADD_FAILURE() << "the program did not end";
                TerminateProcess(process.hProcess, 99);
                WaitForSingleObject(process.hProcess, 5000);
                return -1;
            }
            for (HWND window : robot::TopWindowsOf(process.dwProcessId)) {
                if (!IsWindowVisible(window) || !answered.insert(window).second) continue;
                Sleep(100);   // let it finish painting its controls
                std::string caption = robot::Text(window);
                if (caption == kDialogCaption) {   // its static texts have the id 0xFFFF too
                    windows->push_back(caption);
                    robot::PostCommand(window, kButtonYes);
                } else {
                    windows->push_back(caption + ": " + robot::MessageBoxText(window));
                    robot::PressMessageBoxButton(window, robot::HasControl(window, IDYES) ? IDYES : IDOK);
                }
            }
        }
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return static_cast<int>(code);
    }

    static std::string root_, downloads_, current_, program_, log_;
    static bool overridesSet_;
};

bool PlantedLibraries::overridesSet_ = true;

std::string PlantedLibraries::root_, PlantedLibraries::downloads_, PlantedLibraries::current_,
    PlantedLibraries::program_, PlantedLibraries::log_;

// The 32-bit view's Web key and a Served Desktop installation with a program
// group, so that the interactive run asks its questions and reports the
// uninstall: every message box it can show on a machine without controls.
void MakeInteractiveFixture(const std::string& installed)
{
    fixture::MakeFolders(installed);
    ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, "Software\\Ostrevan Web\\7.1", KEY_WOW64_32KEY));
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, "Software\\Ostrevan\\7.1", "Installation Directory",
                                   installed, KEY_WOW64_32KEY));
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, "Software\\Ostrevan\\7.1", "Program Group",
                                   "Wipora Planted Test", KEY_WOW64_32KEY));
}

bool Listed(const std::string& name)
{
    for (const char* planted : kPlanted)
        if (name == planted) return true;
    for (const Excluded& known : kKnownDlls)
        if (name == known.name) return true;
    for (const Excluded& early : kBeforeEntry)
        if (name == early.name) return true;
    return false;
}

void ExpectNothingPlantedLoaded(const Outcome& run, const std::string& root)
{
    EXPECT_EQ(run.planted, "") << "planted libraries were loaded";
    for (const std::string& path : run.paths)
        if (Lower(path).rfind(Lower(root), 0) == 0 && Lower(path).find("\\wipora.exe") == std::string::npos)
            ADD_FAILURE() << "loaded from the planted folders: " << path;
}

TEST_F(PlantedLibraries, TheBenchCatchesALibraryLoadedFromThePlantedFolders)
{
    // A program that leaves the search as it is, in the same setting: the
    // recording DLLs are loaded, and they say so.
    ASSERT_TRUE(Plant());
    Outcome run = Start(downloads_ + "\\unguarded.exe", "");
    RemovePlanted();
    EXPECT_NE(Lower(run.planted).find(Lower(downloads_) + "\\uxtheme.dll"), std::string::npos)
        << "recorded: " << run.planted;
}

TEST_F(PlantedLibraries, NoPlantedLibraryIsLoadedInAnyCourseOfARun)
{
    struct Course {
        const char* arguments;
        bool interactive;
    };
    const Course courses[] = {{"?", false}, {"/1 /2 /3 /4 /q", false}, {"/1 /2 /3 /4", true}};
    std::set<std::string> everLoaded;
    for (const Course& course : courses) {
        SCOPED_TRACE(std::string("Wipora.exe ") + course.arguments);
        std::string installed = root_ + "\\Installed";
        if (course.interactive) MakeInteractiveFixture(installed);
        Outcome plain = Start(program_, course.arguments, "+loaddll,+module");
        ASSERT_TRUE(Plant());
        if (course.interactive) MakeInteractiveFixture(installed);
        Outcome planted = Start(program_, course.arguments);
        RemovePlanted();

        ASSERT_FALSE(plain.loaded.empty()) << "no trace of the program's loads";
        ExpectNothingPlantedLoaded(planted, root_);
        EXPECT_EQ(planted.exitCode, plain.exitCode);
        EXPECT_EQ(planted.windows, plain.windows);
        for (const Outcome* run : {&plain, &planted})
            for (const std::string& name : run->loaded) {
                EXPECT_TRUE(Listed(name)) << name << " is loaded but neither planted nor excluded";
                everLoaded.insert(name);
            }

        // What the program loads before its first own call it cannot keep out:
        // exactly the names listed as such.
        ASSERT_GE(plain.firstOwnCall, 0) << "no trace of the program's first call";
        std::set<std::string> early(plain.loaded.begin(), plain.loaded.begin() + plain.firstOwnCall);
        std::set<std::string> listed;
        for (const Excluded& e : kBeforeEntry) listed.insert(e.name);
        EXPECT_EQ(early, listed);

        if (course.arguments[0] == '?') {
            EXPECT_EQ(plain.exitCode, 0);
            ASSERT_EQ(plain.windows.size(), 1u);
            EXPECT_EQ(plain.windows[0].rfind(std::string(kUsageCaption) + ": Usage: Wipora", 0), 0u)
                << plain.windows[0];
        } else if (!course.interactive) {
            EXPECT_EQ(plain.exitCode, 1);
            EXPECT_TRUE(plain.windows.empty());
        } else {
            EXPECT_EQ(plain.exitCode, 1);
            ASSERT_GE(plain.windows.size(), 2u);
            EXPECT_EQ(plain.windows[0], kDialogCaption);
        }
        for (const std::string& w : plain.windows) std::printf("  shown: %s\n", w.c_str());
    }
    // Every listed name was measured, none guessed.
    for (const char* name : kPlanted) EXPECT_TRUE(everLoaded.count(name)) << name << " never loaded";
    for (const Excluded& known : kKnownDlls) EXPECT_TRUE(everLoaded.count(known.name)) << known.name;
}

}  // namespace
