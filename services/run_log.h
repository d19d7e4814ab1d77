// The administrator's log of a run: with the switch "l" or "L" on the command
// line, one line per deletion, program started and message shown is appended
// to "Wipora.log" in the temporary folder. Without the switch, and whenever
// the log cannot be opened or written, nothing is written; the outcomes are
// counted all the same, for the exit code. The log never changes what a run
// deletes: the changes themselves are made in services/machine_changes.
//
// A line: local time | Clear run | task | action | object | outcome, in the
// ANSI code page, ended by CR LF.
#pragma once
#include <windows.h>

#include "services/deletion_check.h"

// What became of one object.
enum LogOutcome {
    kLogRemoved,
    kLogNotPresent,
    kLogScheduledAtRestart,
    kLogInUseKept,
    kLogAccessDenied,
    kLogRefusedProtected,
    kLogRefusedLink,
    kLogSkippedTooLong,
    kLogDeclined,
    kLogFailed,
    kLogOutcomeCount
};

extern const char kLogFileName[];   // "Wipora.log"
constexpr DWORD kLogRotateSize = 4 * 1024 * 1024;

// Whether the command line asks for the log: the same character search as
// the other switches.
bool LogRequested(const char* commandLine);

// Begins the run's record: the counts start from zero, and the log is opened
// when the command line asks for it or the run is a preview
// (runContext.previewRun), with its header (the program's version, the
// command line, the Windows version). Call after osVersion is filled.
// Nothing is shown when the log cannot be opened. In a preview, removals are
// written as "would be removed".
void OpenRunLog(const char* commandLine);
// The option flags as they stand, with stage saying when ("after the
// switches", "after the installer probe").
void LogOptions(const char* stage);
// The summary line (the count per outcome and the exit code); closes the log.
void CloseRunLog(int exitCode);
bool RunLogOpen();

// The task that the following lines belong to.
void SetLogTask(const char* task);

// One event with its outcome: counted for the summary (and the exit code)
// whether or not the log is open, written when it is.
void LogEvent(const char* action, const char* object, LogOutcome outcome, DWORD error = 0);
// One event with a free text in place of an outcome (not counted).
void LogNote(const char* action, const char* object, const char* text);
// A change that is no removal (a program started, a server unregistered, a
// window asked to close), with a free text; counted among the changes.
void LogAction(const char* action, const char* object, const char* text);
// The outcome of a failed file, folder or key operation by its error code.
LogOutcome OutcomeOfError(DWORD error);
// The outcome that the safety check's refusal stands for.
LogOutcome OutcomeOfVerdict(PathVerdict verdict);
// An object refused by the safety check, with its reason.
void LogRefusal(const char* action, const char* object, PathVerdict verdict);
// A file or folder named folder\name that was skipped because its path would
// not fit.
void LogSkippedPath(const char* action, const char* folder, const char* name);
// JoinPath (services/path_text) that logs folder\name as skipped for action
// when it does not fit; the join itself is unchanged.
bool JoinPathOrLog(char* dest, size_t size, const char* folder, const char* name, const char* action);
// The same for an entry folder\name with another outcome.
void LogEntry(const char* action, const char* folder, const char* name, LogOutcome outcome);
// A registry key: root\path (view), where view 0 is the process's own
// (32-bit) one, with its outcome.
void LogKeyEvent(HKEY root, const char* path, REGSAM view, LogOutcome outcome, DWORD error = 0);
// A program that was started (its exit code) or could not be started.
void LogProgram(const char* commandLine, bool started, DWORD exitCodeOrError);
// A message box: its caption and the button the user pressed.
void LogMessage(const char* caption, int answer);

// How many events of the run had this outcome.
DWORD OutcomeCount(LogOutcome outcome);
// How many changes the run made, or in a preview would make: removals,
// restart schedules and the actions of LogAction.
DWORD ChangeCount();

// Whether path names the log or its predecessor Wipora.log.old in the
// temporary folder: no deletion may take them, with or without the switch.
bool IsRunLogFile(const char* path);
