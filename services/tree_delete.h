// Recursive file and folder deletion, listing and the existence test.
#pragma once
#include <windows.h>

// Deletes every file matching pattern (a folder part ending in a backslash,
// then a mask) and, recursively, every matching sub-folder with its content.
// The pattern's own folder stays. System files and folders are spared;
// reparse points (junctions, folder links) are never entered. Refuses, doing
// nothing, a pattern whose folder is a drive root, a system folder or an
// ancestor of one, a relative folder, or one with "." or ".." components.
void DeleteTree(const char* pattern, bool clearAttributes);

// True unless opening path reports file or path not found.
bool FileExists(const char* path);

// Calls visit with the name of each file (never a folder) that pattern
// matches. The listing runs once to its end: nothing that visit does adds to it.
template <typename Visit>
void ForEachFile(const char* pattern, Visit visit)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) visit(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}
