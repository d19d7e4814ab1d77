// The desktop installation's fixed file tables: what its installer puts into
// the installation and working directories, on the desktop and in Startup.
#pragma once

constexpr int kInstalledFileCount = 118;
constexpr int kRebootDeferredCount = 3;
constexpr int kUserDataFolderCount = 8;
constexpr int kDataStaysPatternCount = 3;
constexpr int kDesktopShortcutCount = 17;

// Every file the installer copies, in the order they are deleted.
extern const char* const kInstalledFiles[kInstalledFileCount];
// Inventory files that may be in use; deleted at the next restart instead. The
// first two are also the COM servers, file-transfer library first.
extern const char* const kRebootDeferredFiles[kRebootDeferredCount];
// User data sub-folders of a directory and of the shared desktop data folder.
extern const char* const kUserDataFolders[kUserDataFolderCount];
// Files deleted from the directory and its "Certs" folder when user data stays.
extern const char* const kDataStaysPatterns[kDataStaysPatternCount];
// Shortcuts the installer puts on the desktop.
extern const char* const kDesktopShortcuts[kDesktopShortcutCount];
extern const char kStartupShortcut[];
