#include "program/scenario_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "support/test_support.h"

namespace scenario {

namespace {

const char kBin[] = "C:\\samplemachine\\bin";
const char kStateFile[] = "C:\\samplemachine\\state.txt";
const DWORD kToolTimeoutMs = 60000;
const DWORD kProgramTimeoutMs = 60000;   // a whole run takes a few seconds
const size_t kNamedPerKind = 8;

std::string Tool() { return std::string("\"") + kBin + "\\samplemachine.exe\""; }

using fixture::Lower;

std::vector<std::string> Lines(const std::string& path)
{
    std::string text;
    std::vector<std::string> lines;
    if (!fixture::ReadFile(path, &text)) return lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

bool InVariant(const sample::Item& item, unsigned variant) { return (item.variants & variant) != 0; }

// Failures gathered per kind, so that a run that did nothing reports one
// line per kind naming its first items rather than hundreds of lines.
class Findings {
public:
    void Add(const std::string& what, const std::string& kind, const std::string& location)
    {
        auto& list = byKind_[kind.empty() ? what : what + " " + kind];
        list.push_back(location);
    }
    void Report() const
    {
        for (const auto& entry : byKind_) {
            std::ostringstream message;
            message << entry.first << ": " << entry.second.size() << " item(s)";
            for (size_t n = 0; n < entry.second.size() && n < kNamedPerKind; ++n)
                message << "\n    " << entry.second[n];
            if (entry.second.size() > kNamedPerKind)
                message << "\n    ... and " << entry.second.size() - kNamedPerKind << " more";
            ADD_FAILURE() << message.str();
        }
    }

private:
    std::map<std::string, std::vector<std::string>> byKind_;
};

std::string LocationOf(const Snapshot& s, size_t index)
{
    auto found = s.location.find(index);
    return found == s.location.end() ? sample::Items()[index].path : found->second;
}

// Runs the tool with its own working folder (the test's, in the build tree,
// is out of the prefix's reach) and without our standard handles, so its
// report stays out of the test log. Returns the exit code, -1 on time-out.
int RunTool(const std::string& arguments)
{
    std::string command = Tool() + " " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, sample::kToolFolder, &si, &pi))
        return -2;
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(pi.hProcess, kToolTimeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}

}  // namespace

std::string Located(const Snapshot& s, const std::string& path)
{
    const std::vector<sample::Item>& items = sample::Items();
    for (size_t n = 0; n < items.size(); ++n)
        if (items[n].path == path && s.location.count(n)) return LocationOf(s, n);
    return path;
}

bool PrepareTools(std::string* error)
{
    fixture::MakeFolders(std::string(kBin));
    std::vector<std::pair<std::string, std::string>> copies;
    for (const char* name : {"samplemachine.exe", "sample_sessmgr.exe", "sample_launcher.exe", "comserver.dll",
                             "comserver64.dll"})
        copies.push_back({fixture::DoublesDir() + "\\" + name, std::string(kBin) + "\\" + name});
    copies.push_back({fixture::ProgramPath(), std::string(kBin) + "\\Wipora.exe"});
    for (const auto& copy : copies) {
        if (CopyFileA(copy.first.c_str(), copy.second.c_str(), FALSE)) continue;
        *error = "cannot copy " + copy.first + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

bool Install(const char* variant)
{
    return RunTool(std::string("install ") + variant) == 0;
}

void Uninstall() { RunTool("uninstall"); }

bool TakeSnapshot(Snapshot* snapshot)
{
    DeleteFileA(kStateFile);
    RunTool(std::string("report ") + kStateFile);
    *snapshot = Snapshot();
    for (const std::string& line : Lines(kStateFile)) {
        size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
        if (tab1 == std::string::npos || tab2 == std::string::npos || line.rfind("variant", 0) == 0) continue;
        size_t index = std::strtoul(line.c_str(), nullptr, 10);
        snapshot->state[index] = line.substr(tab1 + 1, tab2 - tab1 - 1);
        snapshot->location[index] = line.substr(tab2 + 1);
    }
    return !snapshot->state.empty();
}

void ClearLogs()
{
    for (const char* log : {sample::kLaunchLog, sample::kComLog, sample::kSessionLog}) DeleteFileA(log);
}

robot::Run RunProgram(const std::string& switches, const robot::Answer& answer)
{
    SetEnvironmentVariableA("WIPORA_LAUNCH_LOG", sample::kLaunchLog);
    SetEnvironmentVariableA("WIPORA_COM_LOG", sample::kComLog);
    std::string command = std::string("\"") + kBin + "\\Wipora.exe\"";
    if (!switches.empty()) command += " " + switches;
    return robot::RunProgram(command, sample::kToolFolder, answer, kProgramTimeoutMs);
}

int PressNothing(const robot::ShownWindow&) { return 0; }

void ExpectInstalled(const Snapshot& before, unsigned variant)
{
    Findings findings;
    const std::vector<sample::Item>& items = sample::Items();
    for (size_t n = 0; n < items.size(); ++n) {
        if (!sample::Counted(items[n]) || !InVariant(items[n], variant)) continue;
        auto found = before.state.find(n);
        std::string state = found == before.state.end() ? "not reported" : found->second;
        std::string wanted = sample::IsBystander(items[n]) ? "intact" : "present";
        if (state != wanted) findings.Add("not installed (" + state + "):", items[n].kind, LocationOf(before, n));
    }
    findings.Report();
}

void ExpectOutcome(const Snapshot& after, const std::string& switches, unsigned variant, bool desktopDataConfirmed)
{
    Findings findings;
    const std::vector<sample::Item>& items = sample::Items();
    for (size_t n = 0; n < items.size(); ++n) {
        const sample::Item& item = items[n];
        if (!sample::Counted(item) || !InVariant(item, variant)) continue;
        auto found = after.state.find(n);
        std::string state = found == after.state.end() ? "not reported" : found->second;
        if (sample::IsBystander(item)) {
            if (state != "intact") findings.Add("BYSTANDER " + state, "", LocationOf(after, n));
            continue;
        }
        bool gone = sample::ExpectedGone(item, switches, variant, desktopDataConfirmed);
        if (gone && state != "absent")
            findings.Add("left behind, should be removed (" + std::string(sample::FateName(item.fate)) + "):",
                         item.kind, LocationOf(after, n));
        if (!gone && state != "present")
            findings.Add("wrongly removed (" + std::string(sample::FateName(item.fate)) + " only):", item.kind,
                         LocationOf(after, n));
    }
    findings.Report();
}

void ExpectSameState(const Snapshot& first, const Snapshot& second)
{
    Findings findings;
    for (const auto& entry : first.state) {
        auto found = second.state.find(entry.first);
        std::string now = found == second.state.end() ? "not reported" : found->second;
        if (now != entry.second)
            findings.Add("changed by the second run (" + entry.second + " -> " + now + "):",
                         sample::Items()[entry.first].kind, LocationOf(second, entry.first));
    }
    findings.Report();
}

void ExpectLaunches(bool sessionsCleared)
{
    std::vector<std::string> log = Lines(sample::kLaunchLog);
    if (!sessionsCleared) {
        for (const std::string& line : log) ADD_FAILURE() << "program started, none expected: " << line;
        return;
    }
    // Within one profile folder the order is the file system's, so each
    // folder's starts are compared as a set of (javaws, launcher) pairs.
    std::vector<std::string> folders;
    for (const sample::Profile& p : sample::Profiles())
        if (folders.empty() || folders.back() != p.folder) folders.push_back(p.folder);
    size_t next = 0, folder = 0;
    for (const auto& group : sample::ExpectedLaunchGroups()) {
        std::vector<std::string> expected, seen;
        for (size_t n = 0; n + 1 < group.size(); n += 2)
            expected.push_back(group[n].program + "\t" + group[n].parameters + " | " + group[n + 1].program +
                               "\t" + group[n + 1].parameters);
        for (size_t n = 0; n < expected.size(); ++n, next += 2)
            seen.push_back(next + 1 < log.size() ? log[next] + " | " + log[next + 1] : "(nothing started)");
        std::sort(expected.begin(), expected.end());
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, expected) << "programs started for the session profiles in " << folders[folder++];
    }
    for (; next < log.size(); ++next) ADD_FAILURE() << "program started beyond the expected ones: " << log[next];
}

void ExpectUnregistrations(const Snapshot& before, const std::string& switches, unsigned variant)
{
    bool activeX = sample::Has(switches, '2') && variant != sample::kInstallerRegistered &&
                   !sample::Has(switches, '?');
    bool desktop = sample::Has(switches, '4') && !sample::Has(switches, '?');
    std::vector<std::string> expected;
    for (bool is64 : {false, true}) {
        if (activeX)
            for (const sample::Control& c : sample::Controls())
                expected.push_back(std::string(is64 ? "64 " : "32 ") + Lower(Located(before, sample::ControlFile(c, is64))));
        if (desktop)
            for (const char* name : {"OVXFRCOM.DLL", "OVHLLCOM.DLL"})
                expected.push_back(std::string(is64 ? "64 " : "32 ") + Lower(Located(
                                              before, sample::DesktopEditions()[is64].installDir + "\\" + name)));
    }
    std::vector<std::string> seen;
    for (const std::string& line : Lines(sample::kComLog)) seen.push_back(Lower(line));
    EXPECT_EQ(seen, expected) << "COM servers asked to unregister (bitness of the stand-in, path), in order";
}

void ExpectSessionManagerClosed(const std::string& windowClass, bool closed)
{
    int closes = 0;
    for (const std::string& line : Lines(sample::kSessionLog)) {
        if (line.rfind(windowClass + "\t", 0) != 0) continue;
        ++closes;
        EXPECT_EQ(line, windowClass + "\tWM_CLOSE\t0\t12345") << "message received by " << windowClass;
    }
    if (closed)
        EXPECT_GE(closes, 1) << "Session Manager window class \"" << windowClass << "\" was not told to close";
    else
        EXPECT_EQ(closes, 0) << "Session Manager window class \"" << windowClass << "\" was told to close";
}

std::string LogPath() { return fixture::TempFolder() + "\\Wipora.log"; }

std::vector<std::string> LogLines(const std::string& path)
{
    std::string text;
    std::vector<std::string> lines;
    if (!fixture::ReadFile(path, &text)) return lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << "line without CR LF: " << line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t bar = line.find(" | ", start);
        fields.push_back(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) return fields;
        start = bar + 3;
    }
}

// Event lines: time | Clear run | task | action | object | outcome.
std::vector<std::vector<std::string>> Events(const std::vector<std::string>& lines)
{
    std::vector<std::vector<std::string>> events;
    for (const std::string& line : lines) {
        std::vector<std::string> f = Fields(line);
        if (f.size() == 6 && f[1].find("-bit view") != std::string::npos) events.push_back(f);
    }
    return events;
}

bool Logged(const std::vector<std::vector<std::string>>& events, const std::string& object,
            const std::string& outcome)
{
    for (const auto& e : events)
        if (Lower(e[4]) == Lower(object) && e[5] == outcome) return true;
    return false;
}


}  // namespace scenario
