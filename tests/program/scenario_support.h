// Drives the sample machine tool and the program as child processes and
// checks a run's outcome against what the program is meant to do.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "doubles/sample_machine.h"
#include "program/scenario_robot.h"

namespace scenario {

// One report of the sample machine: item index -> state and location.
struct Snapshot {
    std::map<size_t, std::string> state, location;
};

// Where an item of the table (by its table path) is on this machine.
std::string Located(const Snapshot& snapshot, const std::string& path);

// Copies the tool, its payload and the program into C:\samplemachine\bin.
bool PrepareTools(std::string* error);
// A fresh sample machine of the variant (whatever an earlier one left goes first).
bool Install(const char* variant);
void Uninstall();
bool TakeSnapshot(Snapshot* snapshot);
void ClearLogs();

// The program with these switches, windows answered by the robot; the
// launch and COM logs of the stand-ins are named in its environment.
robot::Run RunProgram(const std::string& switches, const robot::Answer& answer);
int PressNothing(const robot::ShownWindow&);

// Checks, reported as test failures naming every item concerned.
void ExpectInstalled(const Snapshot& before, unsigned variant);
void ExpectOutcome(const Snapshot& after, const std::string& switches, unsigned variant,
                   bool desktopDataConfirmed = false);
void ExpectSameState(const Snapshot& first, const Snapshot& second);
// The stand-ins' logs: Java Web Start and the launcher for every session
// profile, in the order of the profile folders; the COM servers asked to
// unregister, in order; the Session Manager told to close with lParam 12345.
void ExpectLaunches(bool sessionsCleared);
void ExpectUnregistrations(const Snapshot& before, const std::string& switches, unsigned variant);
void ExpectSessionManagerClosed(const std::string& windowClass, bool closed);

// The run's log, Wipora.log in the temporary folder: its lines without CR LF
// (a line without them fails the test), a line's " | " fields, the event lines
// (time | Clear run | task | action | object | outcome), and whether an event
// names object (in any case) with outcome.
std::string LogPath();
std::vector<std::string> LogLines(const std::string& path);
std::vector<std::string> Fields(const std::string& line);
std::vector<std::vector<std::string>> Events(const std::vector<std::string>& lines);
bool Logged(const std::vector<std::vector<std::string>>& events, const std::string& object,
            const std::string& outcome);

}  // namespace scenario
