// The one process-wide record through which every task shares options, key
// paths, the registry view, the suite's settings and scratch buffers.
#pragma once
#include <windows.h>

constexpr int kPathSize = MAX_PATH;   // 260: every path buffer, terminator included
constexpr int kTextSize = 1024;       // message texts and long registry values
constexpr int kGroupShortcutCount = 19;

struct RunContext {
    char productKeyPath[kPathSize];
    BYTE allowCrossVersionInterop;
    char webKeyPath[kPathSize];
    char sessionManagerClass[32];
    char desktopProductCode[40];
    WORD viewAccessMask;
    char uninstallTargetDir[kPathSize];
    char groupShortcutNames[kGroupShortcutCount][64];
    char workPath[kPathSize];
    HKEY writableUserKey;
    char programGroupName[kPathSize];
    char workText[kTextSize];
    OSVERSIONINFOA osVersion;
    BYTE baseRegistry;
    BYTE lowIntegrityPass;
    BYTE clearUserFiles;
    BYTE uninstallActiveX;
    BYTE clearInternetCache;
    BYTE uninstallServedDesktop;
    BYTE quietMode;
    BYTE appendVersionToWorkingDir;
    BYTE desktopProductInstalled;
    BYTE is64BitPass;
    BYTE removeDesktopUserData;
    BYTE desktopDeleteIncomplete;
    BYTE previewRun;            // "/n": record what would be done, change nothing
    BYTE deploymentExitCodes;   // "/e": exit with the Windows Installer's codes
};

extern RunContext runContext;

// Puts every field back to its initial value (the program starts that way;
// tests call it to begin from a known state).
void ResetRunContext();

// Fills productKeyPath, webKeyPath and viewAccessMask for the current
// is64BitPass, and resets sessionManagerClass to its base name.
void SelectRegistryView();

// Whether osVersion is of the NT platform (not Windows 9x).
bool OnNtPlatform();

// Desktop edition's Windows Installer product code.
extern const char kDesktopProductCode[];
extern const char kSessionManagerClassBase[];
// The lParam of WM_CLOSE that a running Session Manager recognises as the
// clear utility's request to close.
constexpr LPARAM kSessionManagerCloseCode = 12345;
extern const char kSuiteVersion[];   // "7.1"
