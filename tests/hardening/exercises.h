// How the suite drives the program: in process, through the run driver's own
// steps for both Clear runs (the dialog aside, whose tasks are the same), or
// as a child process. And the places where the program reads a value.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace hardening {

// Both Clear runs in process, as WinMain makes them after the dialog: each
// run prepares its view, settings, switches and installer probe, then runs
// the tasks. Without "q" in switches the message boxes are shown (scripted).
void RunClearRuns(const char* switches);
// The same without the installer probe and the writable root (which read no
// value of the suite's): each pass's view, settings, switches and tasks.
void RunTasksBothPasses(const char* switches);

// C:\wipora-hardening\long\L<n>-aaa...: a fixture folder of n characters
// (236 to 259).
std::string LongFolder(int length);
// A path of exactly length characters: the fixture folder of length - 1 -
// strlen(name), a backslash and name.
std::string LongFile(int length, const char* name);

// A place where the program reads a registry value.
struct ValueSite {
    const char* name;       // for the test name
    bool isByte;            // read as one byte, else as a string
    HKEY root;
    const char* path32;     // the key in the 32-bit pass (32-bit view)
    const char* path64;     // the key in the 64-bit pass (64-bit view)
    const char* value;      // "" for the default value
    const char* switches;   // what makes the program read it
    bool isFolder;          // the string names a folder, else a file or a command
};
const std::vector<ValueSite>& ValueSites();
std::vector<ValueSite> StringSites();
std::vector<ValueSite> ByteSites();

// Everything else a site needs before the value is read (an installation
// directory beside a working directory, a session profile beside a launcher
// registration, ...), and the values themselves in both passes' keys.
void PrepareSite(const ValueSite& site);
void PlantValue(const ValueSite& site, DWORD type, const std::string& bytes);

// The values that a site's key and value may be saved from for the case.
class SiteValueGuard {
public:
    explicit SiteValueGuard(const ValueSite& site);
    ~SiteValueGuard();
private:
    struct Impl;
    Impl* impl_;
};

}  // namespace hardening
