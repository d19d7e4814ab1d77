// The entry point's work: usage, the two Clear runs, the switches, the
// installer probe and the task course.
#pragma once
#include <windows.h>

int RunDriver(HINSTANCE instance, const char* commandLine);

extern const char kUsageText[];
extern const char kUsageCaption[];

// Sets the option flags for every switch character in commandLine; never
// clears one. "/n" (preview) and "/e" (deployment exit codes) count only as
// words of their own, so that a stray letter in a path or another word never
// turns a cleaning run into a preview.
void ParseSwitches(const char* commandLine);
// Whether commandLine holds "/x" or "-x" (letter x in either case) as a word
// delimited by blanks, tabs or its ends.
bool HasSwitchWord(const char* commandLine, char letter);

// How a run ended, and the exit code it gives: 1 (0 after the usage message)
// unless the switches ask otherwise. A preview exits 0 when nothing would be
// changed and 1 when something would; with "/e" a run exits with the codes of
// the Windows Installer that distribution tools read.
enum RunEnd { kRunCompleted, kRunCancelled, kRunFailed };
constexpr int kExitSuccess = 0;
constexpr int kExitRestartRequired = 3010;   // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr int kExitFailed = 1603;            // ERROR_INSTALL_FAILURE
constexpr int kExitUserCancelled = 1602;     // ERROR_INSTALL_USEREXIT
int ExitCode(RunEnd end);
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
