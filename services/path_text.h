// Bounded string building for the fixed path and text buffers. A path that
// would not fit its buffer is refused, never cut: a cut path can name a
// different, shorter folder, and deleting there is the worst fault this
// program could have. Every function leaves the buffer unchanged on failure.
#pragma once
#include <windows.h>
#include <cstddef>

// dest = src. False (dest untouched) when src with its terminator exceeds size.
bool CopyText(char* dest, size_t size, const char* src);
// dest += src. False (dest untouched) when the result would not fit.
bool AppendText(char* dest, size_t size, const char* src);
// Appends a backslash unless dest is empty or already ends in one.
bool EnsureBackslash(char* dest, size_t size);
// dest = folder, a backslash unless folder ends in one, then name.
bool JoinPath(char* dest, size_t size, const char* folder, const char* name);
// True for a path that names the same file whoever starts the program: a
// drive letter with ":\", or a UNC or device path ("\\server\share",
// "\\?\C:\"). A bare or relative name ("x.dll", "..\x", "C:x", "\x") depends on
// the current folder and drive, and a bare DLL name on the DLL search path.
// With forwardSlashes, '/' counts as a separator too ("C:/Program Files/...").
bool IsAbsolutePath(const char* path, bool forwardSlashes = false);
// True when the last character is a backslash (the last byte: folder paths
// the program builds never end in a lead byte).
bool EndsWithBackslash(const char* text);

// Reads a registry string value into buf (size bytes) and always leaves it
// terminated. False when the value is missing, when it would not fit with its
// terminator (a REG_SZ of exactly size bytes comes back unterminated), or on
// any other failure; buf is then the empty string. The type is not checked.
bool ReadRegistryText(HKEY key, const char* valueName, char* buf, DWORD size);
