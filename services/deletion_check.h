// The one answer to "may the program delete here, and if not, why". Every
// task asks it before it lists or deletes in a folder it did not make up
// itself, the door to the machine (machine_changes) asks it again before each
// folder it removes, and the run's log names its reasons.
#pragma once
#include <cstddef>

enum PathVerdict {
    kPathAllowed,
    kPathProtected,     // a root, a system or profile folder or an ancestor of one, no plain absolute path
    kPathThroughLink,   // the folder or one above it is a junction or folder link
    kPathTooLong,       // longer than any path here: never cut
};

// Files in folder (with or without a trailing backslash) may be deleted, and
// the folder removed when it is empty.
PathVerdict CheckFolder(const char* folder);
// The folder that the file path lies in. A path that is not absolute would be
// found through the current folder or the DLL search path: protected.
PathVerdict CheckFileFolder(const char* path);
// A deletion pattern (a folder part ending in a backslash, then a mask): its
// folder by CheckFolder. A mask holding a forward slash or a colon would list
// another folder than the one its entries are joined to: protected.
PathVerdict CheckPattern(const char* pattern);

// Whether folder (with or without a trailing backslash) or one of the folders
// above it is a junction or a folder link: what lies behind a link is not the
// suite's to delete, and Windows and Wine act on the target differently.
bool IsLinkedFolder(const char* folder);
// Length of the folder part of pattern, up to and including its last
// backslash (never the trail byte of a double-byte character); 0 when it
// holds none.
size_t FolderPartLength(const char* pattern);
