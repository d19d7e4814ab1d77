// Checks on the directory and group names that the desktop uninstall reads
// from the registry before it deletes anything by them.
#pragma once

// True when some component of path (separated by backslashes or slashes) is
// "." or "..".
bool HasDotComponent(const char* path);
// True for an absolute local path: a drive letter, ":\", then components
// without "." or "..", forward slashes or wildcards. A trailing backslash is
// allowed. Relative, rooted-without-drive, UNC and device paths are not.
bool IsPlainLocalFolder(const char* path);
// A folder whose content may be deleted by pattern or removed as a folder: a
// plain local one that the safety check allows (not a drive root or a system
// folder, not reached through a junction or folder link: the user data
// folders of an installation may be links to folders that are not the suite's).
bool IsOrdinaryFolder(const char* path);
