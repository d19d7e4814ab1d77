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

// Paths are bytes in the ANSI code page. On Japanese, Chinese and Korean
// Windows it is double-byte, and the trail byte of many characters has the
// value of a backslash (in code page 932 "\x83\x5C" is one katakana letter);
// other trail bytes have the values of ASCII letters. So a path is walked by
// characters from its start, never tested or cut byte by byte from its end.
// The functions below do that with IsDBCSLeadByte, the test CharNextA and
// CharPrevA make; a lead byte right before the terminator counts as a
// character of its own.

// True when the last character is a backslash (not a trail byte).
bool EndsWithBackslash(const char* text);
// The last backslash character of text, or null when it holds none.
const char* LastBackslash(const char* text);
char* LastBackslash(char* text);
// The first occurrence of part in text that begins at a character of text
// (case-sensitive), or null. part is of single-byte characters, so a match
// never begins or ends inside a double-byte character.
const char* FindText(const char* text, const char* part);
// Number of characters in text.
size_t CharacterCount(const char* text);
// Byte offset at which the last count characters of text begin; false when
// text holds fewer than count characters.
bool TailOffset(const char* text, size_t count, size_t* offset);
// Overwrites the last count characters of text (a buffer of size bytes) with
// replacement. False, text unchanged, when text holds fewer than count
// characters or the result would not fit.
bool ReplaceLastCharacters(char* text, size_t size, size_t count, const char* replacement);

// GetEnvironmentVariableA's contract: the value's length in bytes without the
// terminator when it fits size, else the size it needs; 0 when the variable
// is unset or empty. Read as UTF-16 and converted here: Wine 8's
// GetEnvironmentVariableA drops one byte at the end for each double-byte
// character of the value (measured under code page 932: "C:\<U+8868>\x.log",
// 11 bytes, came back as 10, "...x.lo"), which would cut a path. A value
// that has no form in the ANSI code page counts as unset.
DWORD ReadEnvironmentText(const char* name, char* buf, DWORD size);

// Reads a registry string value into buf (size bytes) and always leaves it
// terminated. False when the value is missing, when it would not fit with its
// terminator (a REG_SZ of exactly size bytes comes back unterminated), or on
// any other failure; buf is then the empty string. The type is not checked.
bool ReadRegistryText(HKEY key, const char* valueName, char* buf, DWORD size);
