// The one door through which the program changes the machine. Every file,
// folder, attribute, key, URL cache entry and restart schedule it removes or
// changes, every program it starts, every server it unregisters in process
// and every window it asks to close goes through a function here, and
// nothing else in the program makes those calls. Each function
//  - checks that the object may be touched, and refuses otherwise;
//  - makes the Windows call the task needs, with its flags, view and fallback;
//  - records the outcome once in the run's log (services/run_log): the line
//    when the log is on, the count for the summary and the exit code always.
// In a preview (runContext.previewRun, the switch "/n") nothing is changed:
// each function records what the call would do ("would be removed", "would
// be started", ...) and answers as the call would have, so that the tasks
// take the same course as in a cleaning run.
#pragma once
#include <windows.h>

// What a file's attributes are set to before it is deleted.
enum AttributeReset {
    kKeepAttributes,     // a read-only file stays
    kNormalAttributes,   // FILE_ATTRIBUTE_NORMAL
    kArchiveAttribute,   // FILE_ATTRIBUTE_ARCHIVE (the desktop shortcuts)
};

// DeleteFileA on path, after the attribute reset. Refused: the run's own log,
// a path longer than 259 characters, one that is not absolute. Returns the
// Windows error (ERROR_SUCCESS when the file went).
DWORD RemoveFile(const char* path, AttributeReset reset);
// The same for a file that may be in use: one that stays, for whatever
// reason, is handed to MoveFileExA for deletion at the next restart.
DWORD RemoveFileOrDeferToRestart(const char* path, AttributeReset reset);

// RemoveDirectoryA on folder, which goes only when it is empty. An absent
// folder is recorded as not present, a refused one with its reason (the
// safety check of services/deletion_check); one that is not empty is not
// recorded: what keeps it is recorded itself, or is not the suite's.
bool RemoveEmptyFolder(const char* folder);
// Whether files may be deleted in folder one by one, asked before the caller
// lists it: false, recorded for action, when the folder is absent or refused.
bool FolderMayBeEmptied(const char* action, const char* folder);

// A key tree, with all its sub-keys: SHDeleteKeyA below the parent opened in
// an explicit view (KEY_WOW64_32KEY or KEY_WOW64_64KEY), or with view 0
// SHDeleteKeyA(root, path) in the process's own (32-bit) view. A tree that is
// or holds a registry link is refused (ERROR_ACCESS_DENIED, nothing deleted):
// SHDeleteKeyA follows a link and deletes the tree it points at.
LONG DeleteKeyInView(HKEY root, const char* path, REGSAM view);
inline LONG DeleteKeyInProcessView(HKEY root, const char* path) { return DeleteKeyInView(root, path, 0); }

// Where a key lies, for the record: root\path as opened in view.
struct KeyPlace {
    HKEY root;
    const char* path;
    REGSAM view;
};
// How a RegDeleteKeyA outcome is recorded.
enum KeyRecord {
    kRecordKey,                 // always
    kRecordUnlessHoldingKeys,   // not when it stays because it holds other keys (a parent left to others)
    kPartOfTree,                // never on its own: the tree it belongs to is recorded
};
// RegDeleteKeyA(parentKey, name): a key without sub-keys (one that holds any
// stays with ERROR_ACCESS_DENIED). parent names parentKey for the record.
LONG DeleteEmptyKey(HKEY parentKey, const KeyPlace& parent, const char* name, KeyRecord record);

// One entry of the user's URL cache, through DeleteUrlCacheEntryA of wininet
// (loaded by the caller from the system folder).
bool DeleteCacheEntry(HMODULE wininet, const char* url);

// MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING): the run log's own
// rotation (Wipora.log to Wipora.log.old), which a preview makes too, since
// it writes its log. Not recorded: the log is not the machine's to clean.
bool MoveFileReplacing(const char* from, const char* to);

// Starts program with parameters through ShellExecuteExA, without error
// dialogs, and waits for it without time-out. The log shows shownName and the
// parameters. True when it was started. target, when given, is the file the
// program acts on (a preview counts no change when it is absent).
bool StartProgramAndWait(const char* program, const char* parameters, const char* shownName,
                         const char* target = nullptr);
// The same through CreateProcessA with a whole command line (modified in
// place by CreateProcessA, as it may be).
bool CreateProcessAndWait(const char* program, char* commandLine, const char* target = nullptr);

// Loads the server DLL at path, calls its DllUnregisterServer and frees it.
// True when the DLL loaded and exports the function; what it returned is
// recorded, not looked at.
bool UnregisterServerInProcess(const char* path);

// Posts WM_CLOSE with lParam code to the first top-level window of
// windowClass, when there is one; it is not waited for.
void AskWindowToClose(const char* windowClass, LPARAM code);
