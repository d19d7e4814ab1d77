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
void BeginWebPass(bool x64, DWORD osMajor = 6);

// The shared fixtures (tests/support).
using fixture::CopyDouble;
using fixture::Holder;
using fixture::SavedValue;
using fixture::TempFolder;

// Shell and cache folders as the tests expect the program to find them:
// AppData\Roaming, LocalLow, the user's desktop.
std::string AppDataFolder();
std::string LocalLowFolder();
std::string DesktopFolder();

// Removes the suite's folders and keys that the tests use, in both views.
// Tests write per-user keys in the view the code reads: once a
// HKEY_CURRENT_USER\Software\Wow6432Node key exists, Wine redirects the
// 32-bit view of HKEY_CURRENT_USER\Software there (Windows shares it).
void CleanSuiteFootprint();

// javaws.exe on this process's PATH (found by bare name) and the launch log
// that the javaws and jarvane doubles write; Lines() reads it back.
class LaunchLog {
public:
    LaunchLog();
    std::vector<std::string> Lines() const;
    std::string folder;   // holds javaws.exe
    std::string path;

private:
    fixture::ScopedVariable searchPath, logVariable;
};

// Writes a file, making its folders first; a failure fails the test.
bool Plant(const std::string& path, const std::string& content);

std::vector<std::string> SplitLines(const std::string& text);
std::string ReadText(const std::string& path);

}  // namespace webclear_test
