#include "services/path_text.h"
#include <cstring>

bool CopyText(char* dest, size_t size, const char* src)
{
    size_t n = std::strlen(src);
    if (n + 1 > size) return false;
    std::memmove(dest, src, n + 1);
    return true;
}

bool AppendText(char* dest, size_t size, const char* src)
{
    size_t have = strnlen(dest, size);
    size_t add = std::strlen(src);
    if (have >= size || have + add + 1 > size) return false;
    std::memmove(dest + have, src, add + 1);
    return true;
}

bool IsAbsolutePath(const char* path, bool forwardSlashes)
{
    auto separator = [forwardSlashes](char c) { return c == '\\' || (forwardSlashes && c == '/'); };
    char drive = path[0];
    bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (letter && path[1] == ':' && separator(path[2])) return true;
    return separator(path[0]) && separator(path[1]) && path[2] != '\0';
}

namespace {

// Bytes of the character at p: 2 for a lead byte with its trail, else 1.
size_t CharacterLength(const char* p)
{
    return IsDBCSLeadByte(static_cast<BYTE>(p[0])) && p[1] != '\0' ? 2 : 1;
}

}  // namespace

const char* LastBackslash(const char* text)
{
    const char* last = nullptr;
    for (const char* p = text; *p; p += CharacterLength(p))
        if (*p == '\\') last = p;
    return last;
}

char* LastBackslash(char* text)
{
    return const_cast<char*>(LastBackslash(static_cast<const char*>(text)));
}

bool EndsWithBackslash(const char* text)
{
    const char* last = LastBackslash(text);
    return last && last[1] == '\0';
}

const char* FindText(const char* text, const char* part)
{
    size_t n = std::strlen(part);
    for (const char* p = text; *p; p += CharacterLength(p))
        if (std::strncmp(p, part, n) == 0) return p;
    return n == 0 ? text : nullptr;
}

size_t CharacterCount(const char* text)
{
    size_t count = 0;
    for (const char* p = text; *p; p += CharacterLength(p)) ++count;
    return count;
}

bool TailOffset(const char* text, size_t count, size_t* offset)
{
    size_t total = CharacterCount(text);
    if (total < count) return false;
    const char* p = text;
    for (size_t i = 0; i < total - count; ++i) p += CharacterLength(p);
    *offset = static_cast<size_t>(p - text);
    return true;
}

bool ReplaceLastCharacters(char* text, size_t size, size_t count, const char* replacement)
{
    size_t offset;
    if (!TailOffset(text, count, &offset)) return false;
    if (offset + std::strlen(replacement) + 1 > size) return false;
    std::memmove(text + offset, replacement, std::strlen(replacement) + 1);
    return true;
}

bool EnsureBackslash(char* dest, size_t size)
{
    if (dest[0] == '\0' || EndsWithBackslash(dest)) return true;
    return AppendText(dest, size, "\\");
}

bool JoinPath(char* dest, size_t size, const char* folder, const char* name)
{
    size_t f = std::strlen(folder);
    bool sep = f > 0 && !EndsWithBackslash(folder);
    size_t total = f + (sep ? 1 : 0) + std::strlen(name);
    if (total + 1 > size) return false;
    if (dest != folder) std::memmove(dest, folder, f);
    if (sep) dest[f++] = '\\';
    std::memmove(dest + f, name, std::strlen(name) + 1);
    return true;
}

DWORD ReadEnvironmentText(const char* name, char* buf, DWORD size)
{
    wchar_t wideName[256];
    if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 256)) return 0;
    wchar_t wide[32768];
    DWORD length = GetEnvironmentVariableW(wideName, wide, 32768);
    if (length == 0 || length >= 32768) return 0;
    BOOL defaulted = FALSE;
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, &defaulted);
    if (bytes <= 0 || defaulted) return 0;
    if (static_cast<DWORD>(bytes) > size) return static_cast<DWORD>(bytes);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, static_cast<int>(size), nullptr, nullptr);
    return static_cast<DWORD>(bytes - 1);
}

bool ReadRegistryText(HKEY key, const char* valueName, char* buf, DWORD size)
{
    if (size == 0) return false;
    DWORD got = size;
    LONG rc = RegQueryValueExA(key, valueName, nullptr, nullptr,
                               reinterpret_cast<BYTE*>(buf), &got);
    if (rc != ERROR_SUCCESS || got > size) {
        buf[0] = '\0';
        return false;
    }
    // A value without a terminator that fills the whole buffer does not fit.
    if (got == size && buf[size - 1] != '\0') {
        buf[0] = '\0';
        return false;
    }
    buf[got < size ? got : size - 1] = '\0';
    return true;
}
