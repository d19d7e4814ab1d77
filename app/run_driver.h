// The entry point's work: usage, the two Clear runs, the switches, the
// installer probe and the task course.
#pragma once
#include <windows.h>

int RunDriver(HINSTANCE instance, const char* commandLine);

extern const char kUsageText[];
extern const char kUsageCaption[];

// Sets the option flags for every switch character in commandLine; never clears one.
void ParseSwitches(const char* commandLine);
// Looks for the desktop edition among the installed Windows Installer products.
void ProbeDesktopInstallation();
// The same with the installer's MsiEnumProductsA given. An installer database
// that never stops answering 0 is asked for at most kMaxInstalledProducts
// indexes.
using EnumProductsFn = UINT(WINAPI*)(DWORD index, LPSTR productCode);
constexpr DWORD kMaxInstalledProducts = 100000;
void ProbeWithEnumerator(EnumProductsFn enumProducts);
HKEY GetWritableUserKey(BYTE enable, DWORD majorVersion);
void CloseUserKey(HKEY key);
// The start of every Clear run: the view and key names of is64BitPass, the
// writable user root, the settings (with the Session Manager class suffix),
// the switches and the installer probe.
void PrepareClearRun(const char* commandLine);
// The tasks of a silent Clear run, between the wait and the arrow cursor.
void RunTasksSilently();
