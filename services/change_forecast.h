// What a change would do, found out without making it: the door's preview
// (machine_changes) asks here instead of changing the machine. Nothing here
// writes, deletes, creates or starts anything.
//
// A preview remembers what it has found removable, so that a folder whose
// every entry would go counts as one that would be removed when empty, a key
// whose every sub-key would go as one RegDeleteKeyA would delete, and an
// object met a second time as not present, as a cleaning run would find it.
#pragma once
#include <windows.h>

// Forgets what the preview has found removable (a new run).
void ForgetForecasts();

// The error DeleteFileA would give for path (ERROR_SUCCESS: it would go). A
// file held open without delete sharing is in use; a read-only one is denied
// unless readOnlyIsReset. A file that would go is remembered.
DWORD ForecastFileRemoval(const char* path, bool readOnlyIsReset);
// Whether path would already be gone when the change is made.
bool ForecastGone(const char* path);
// The error RemoveDirectoryA would give for folder: ERROR_DIR_NOT_EMPTY while
// it holds an entry that would not go. A folder that would go is remembered.
DWORD ForecastFolderRemoval(const char* folder);

// The error a deletion of the key tree root\path (view 0: the process's own)
// would give. A tree that would go is remembered with everything below it.
LONG ForecastKeyTreeRemoval(HKEY root, const char* path, REGSAM view);
// The error RegDeleteKeyA(parentKey, name) would give: ERROR_ACCESS_DENIED
// while the key holds a sub-key that would not go. root\parentPath names
// parentKey.
LONG ForecastEmptyKeyRemoval(HKEY parentKey, HKEY root, const char* parentPath, const char* name,
                             REGSAM view);
