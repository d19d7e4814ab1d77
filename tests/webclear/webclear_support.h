// Fixtures shared by the Web-to-Host clearing tests.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace webclear_test {

// The Run context of one Clear run on Windows 7 (6.1, NT), per-user settings,
// in the 32-bit or the 64-bit pass, with HKEY_CURRENT_USER as writable root.
// Message boxes are scripted (answer No) from here on.
void BeginPass(bool x64, DWORD osMajor = 6);

// Shell and cache folders as the tests expect the program to find them: the
// long temporary folder (trailing backslash cut), AppData\Roaming, LocalLow,
// the user's desktop.
std::string TempFolder();
std::string AppDataFolder();
std::string LocalLowFolder();
std::string DesktopFolder();

// Removes the suite's folders and keys that the tests use, in both views.
// Tests write per-user keys in the view the code reads: once a
// HKEY_CURRENT_USER\Software\Wow6432Node key exists, Wine redirects the
// 32-bit view of HKEY_CURRENT_USER\Software there (Windows shares it).
void CleanSuiteFootprint();

// A test double copied from the build into folder; returns its path.
std::string CopyDouble(const std::string& name, const std::string& folder,
                       const std::string& asName = "");

// javaws.exe on this process's PATH (found by bare name) and the launch log
// that the javaws and jarvane doubles write; Lines() reads it back.
class LaunchLog {
public:
    LaunchLog();
    ~LaunchLog();
    std::vector<std::string> Lines() const;
    std::string folder;   // holds javaws.exe
    std::string path;

private:
    std::string savedPath;
};

// Keeps a file open without sharing in another process while alive.
class Holder {
public:
    explicit Holder(const std::string& file);
    ~Holder();
    bool holding = false;

private:
    std::string name;
    HANDLE process = nullptr;
    HANDLE stop = nullptr;
};

// Saves a registry value and puts it back (or deletes it) on destruction.
class SavedValue {
public:
    SavedValue(HKEY root, const std::string& path, const char* name, REGSAM view);
    ~SavedValue();

private:
    HKEY root;
    std::string path, name;
    REGSAM view;
    bool existed;
    std::string value;
};

// Writes a file, making its folders first; a failure fails the test.
bool Plant(const std::string& path, const std::string& content);

std::vector<std::string> SplitLines(const std::string& text);
std::string ReadText(const std::string& path);

}  // namespace webclear_test
