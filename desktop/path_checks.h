// Checks on the directory and group names that the desktop uninstall reads
// from the registry before it deletes anything by them.
#pragma once

// True when some component of path (separated by backslashes or slashes) is
// "." or "..".
bool HasDotComponent(const char* path);
// True for a path that names a folder whoever starts the program: a drive
// letter with ":\", or a UNC or device path ("\\server\share", "\\?\C:\").
// A relative path ("Ostrevan", "..\x", "C:x", "\x") depends on the current
// folder and drive, which are not the installation's.
bool IsAbsoluteFolder(const char* path);
// True for an absolute local path: a drive letter, ":\", then components
// without "." or "..", forward slashes or wildcards. A trailing backslash is
// allowed. Relative, rooted-without-drive, UNC and device paths are not.
bool IsPlainLocalFolder(const char* path);
// A folder whose content may be deleted by pattern or removed as a folder: a
// plain local one that is not a drive root or a system folder, and that is not
// reached through a junction or folder link (the user data folders of an
// installation may be links to folders that are not the suite's).
bool IsOrdinaryFolder(const char* path);
