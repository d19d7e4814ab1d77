// The one safety check of every deletion (see deletion_check.h). Links are
// looked for component by component: a pattern reached through a link names
// a folder behind it, whatever its spelling.
#include "services/deletion_check.h"

#include <windows.h>
#include <cstring>

#include "services/path_text.h"
#include "services/protected_folders.h"
#include "services/run_context.h"

namespace {

// Whether folder (without its trailing backslash) or one of its ancestors is
// a junction or a folder link.
bool IsReachedThroughLink(char* folder)
{
    for (size_t i = 0;;) {
        char c = folder[i];
        if ((c == '\\' || c == '\0') && i >= 3) {   // each folder below the drive's root
            folder[i] = '\0';
            DWORD attributes = GetFileAttributesA(folder);
            folder[i] = c;
            if (attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                return true;
        }
        if (c == '\0') return false;
        i += (IsDBCSLeadByte(static_cast<BYTE>(c)) && folder[i + 1]) ? 2 : 1;
    }
}

}  // namespace

size_t FolderPartLength(const char* pattern)
{
    size_t cut = 0;
    for (size_t i = 0; pattern[i]; ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(pattern[i])) && pattern[i + 1]) {
            ++i;
            continue;
        }
        if (pattern[i] == '\\') cut = i + 1;
    }
    return cut;
}

bool IsLinkedFolder(const char* folder)
{
    char copy[kPathSize];
    if (!folder || !CopyText(copy, sizeof copy, folder)) return true;   // no sound answer
    size_t n = std::strlen(copy);
    if (n > 3 && EndsWithBackslash(copy)) copy[n - 1] = '\0';
    return IsReachedThroughLink(copy);
}

PathVerdict CheckFolder(const char* folder)
{
    if (!folder || strnlen(folder, kPathSize) == kPathSize) return kPathTooLong;
    if (IsProtectedFolder(folder)) return kPathProtected;
    return IsLinkedFolder(folder) ? kPathThroughLink : kPathAllowed;
}

PathVerdict CheckFileFolder(const char* path)
{
    if (!path || !IsAbsolutePath(path)) return kPathProtected;
    char folder[kPathSize];
    if (!CopyText(folder, sizeof folder, path)) return kPathTooLong;
    char* lastBackslash = LastBackslash(folder);
    if (!lastBackslash) return kPathProtected;
    lastBackslash[1] = '\0';
    return CheckFolder(folder);
}

PathVerdict CheckPattern(const char* pattern)
{
    if (!pattern || strnlen(pattern, kPathSize) == kPathSize) return kPathTooLong;
    size_t cut = FolderPartLength(pattern);
    if (cut == 0 || std::strpbrk(pattern + cut, "/:")) return kPathProtected;
    char folder[kPathSize];
    std::memcpy(folder, pattern, cut);
    folder[cut] = '\0';
    return CheckFolder(folder);
}
