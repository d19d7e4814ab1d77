// The folders no deletion may empty: drive and share roots, the system's own
// folders, every user profile with its shell folders, and every ancestor of
// one of these.
#pragma once

// Whether deleting files in folder (with or without a trailing backslash) is
// refused: a drive or share root, one of the system's own folders, an ancestor
// of one, or a path that is not a plain absolute one.
bool IsProtectedFolder(const char* folder);
