// Recursive file and folder deletion, and the existence test.
#pragma once

// Deletes every file matching pattern (a folder part ending in a backslash,
// then a mask) and, recursively, every matching sub-folder with its content.
// The pattern's own folder stays. System files and folders are spared;
// reparse points (junctions, folder links) are never entered. Refuses, doing
// nothing, a pattern whose folder is a drive root, a system folder or an
// ancestor of one, a relative folder, or one with "." or ".." components.
void DeleteTree(const char* pattern, bool clearAttributes);

// True unless opening path reports file or path not found.
bool FileExists(const char* path);

// Whether deleting files in folder (with or without a trailing backslash) is
// refused: a drive or share root, one of the system's own folders, an ancestor
// of one, or a path that is not a plain absolute one.
bool IsProtectedFolder(const char* folder);

// Whether folder (with or without a trailing backslash) or one of the folders
// above it is a junction or a folder link: what lies behind a link is not the
// suite's to delete, and Windows and Wine act on the target differently.
bool IsLinkedFolder(const char* folder);

// Whether files may be deleted one by one in folder: it exists and is neither
// protected nor reached through a link.
bool IsSuiteFolder(const char* folder);
// RemoveDirectoryA on folder (gone only when empty), unless the folder is
// protected or reached through a link: under Wine removing a folder link
// removes its empty target, which is not the suite's.
void RemoveSuiteFolder(const char* folder);
