// Turns shell folders, the Web-to-Host cache root and registry paths with
// environment references into absolute single-byte paths. The only place that
// calls the shell's folder functions.
#pragma once
#include <windows.h>

constexpr HRESULT kFolderRouteFailed = E_INVALIDARG;   // 0x80070057

// On 0, out (260 bytes) holds the folder without a trailing backslash; on any
// other status out is untouched.
HRESULT ResolveFolder(int csidl, char* out);
// LocalLow substitute for CSIDL 5 and 26 in a low-integrity pass on 6.0+.
HRESULT ResolveLocalLowFolder(int csidl, char* out, bool lowIntegrity, DWORD osMajor);

// These fill out with the folder and a trailing backslash and return true. When
// the folder cannot be resolved, or would not fit with the backslash, out is
// the empty string and the result is false: callers skip what needed it.
bool GetDesktopFolder(char* out, bool forceUser);
bool GetStartupFolder(char* out, bool forceUser);
bool GetProgramsFolder(char* out);

// Fills out with the Web-to-Host cache root (trailing backslash depends on the
// route). Always ends with a usable path, the temporary folder being the last
// resort; false only when not even that fits (out is then empty).
bool GetCacheRoot(char* out);

// Expands %NAME% and <NAME> references in place, one per iteration, leaving
// path as the last complete iteration made it when a reference cannot be
// expanded, when the result would not fit, or after a bounded number of
// iterations (a value that refers to itself must not expand for ever).
void ExpandEnvironmentReferences(char* path);
constexpr int kMaxExpansions = 32;
