// Recursive deletion of files and folders below a pattern, and the existence
// test. Only the suite's own footprint may go: the top call refuses system
// folders and roots (protected_folders.cpp), a link is never followed, and an
// entry whose path would not fit 260 bytes is skipped, never cut.
#include "services/tree_delete.h"

#include <cstring>

#include "services/run_context.h"
#include "services/run_log.h"
#include "services/path_text.h"

namespace {

// Length of the folder part of pattern: up to and including its last
// backslash (never the trail byte of a double-byte character). 0 when the
// pattern holds no backslash.
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

bool IsDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

void DeleteMatches(const char* pattern, bool clearAttributes);

void DeleteFileEntry(const char* folder, const WIN32_FIND_DATAA& entry, bool clearAttributes)
{
    char file[kPathSize];
    if (!JoinPath(file, sizeof file, folder, entry.cFileName)) {   // would pass 259
        LogSkippedPath("delete file", folder, entry.cFileName);
        return;
    }
    if (IsRunLogFile(file)) return;   // the log keeps its attributes; DeleteFileAndLog refuses it too
    // A file link is deleted as the link itself; its attributes are those of
    // the target, which is not ours to change.
    if (clearAttributes && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL);
    DeleteFileAndLog(file);
}

// mask is the pattern's last backslash and everything after it.
void DeleteFolderEntry(const char* folder, const char* name, const char* mask,
                       bool clearAttributes)
{
    char subFolder[kPathSize];
    char subPattern[kPathSize];
    if (!JoinPath(subFolder, sizeof subFolder, folder, name) ||
        !CopyText(subPattern, sizeof subPattern, subFolder) ||
        !AppendText(subPattern, sizeof subPattern, mask)) {
        LogSkippedPath("delete folder", folder, name);
        return;   // the sub-folder or its pattern would pass 259 characters
    }
    DeleteMatches(subPattern, clearAttributes);
    RemoveDirectoryAndLog(subFolder);   // goes only when everything in it went
}

void DeleteEntry(const char* folder, const char* mask, const WIN32_FIND_DATAA& entry,
                 bool clearAttributes)
{
    DWORD attributes = entry.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_SYSTEM) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileEntry(folder, entry, clearAttributes);
        return;
    }
    if (IsDotEntry(entry.cFileName)) return;
    // A junction or folder link is left alone, link and all: Windows would
    // remove only the link, but Wine's RemoveDirectoryA removes the target
    // when it is empty, and nothing behind a link is ours.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        LogEntry("delete folder", folder, entry.cFileName, kLogRefusedLink);
        return;
    }
    DeleteFolderEntry(folder, entry.cFileName, mask, clearAttributes);
}

// One level: every entry matching pattern, the matching sub-folders with the
// same mask. The depth is bounded by the 259 characters a pattern may hold.
void DeleteMatches(const char* pattern, bool clearAttributes)
{
    size_t cut = FolderPartLength(pattern);
    if (cut == 0 || cut >= kPathSize) return;
    char folder[kPathSize];
    std::memcpy(folder, pattern, cut);
    folder[cut] = '\0';
    const char* mask = pattern + cut - 1;
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        DeleteEntry(folder, mask, entry, clearAttributes);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

// Whether folder (without its trailing backslash) or one of its ancestors is
// a junction or a folder link: a pattern reached through a link names a
// folder behind it, whatever its spelling.
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

// The pattern's own folder: refused when it is protected or reached through a
// link. A mask holding a forward slash or a colon would list another folder
// than the one its entries are joined to.
bool MayEmpty(const char* pattern)
{
    size_t cut = FolderPartLength(pattern);
    if (cut == 0 || cut >= kPathSize) return false;
    if (std::strpbrk(pattern + cut, "/:")) return false;
    char folder[kPathSize];
    std::memcpy(folder, pattern, cut);
    folder[cut] = '\0';
    if (IsProtectedFolder(folder)) return false;
    folder[cut - 1] = '\0';   // without its backslash
    return !IsReachedThroughLink(folder);
}

// Why MayEmpty refused pattern: a protected folder (or a pattern that is no
// plain one), or a link on the way to it.
void LogRefusedPattern(const char* pattern)
{
    if (!RunLogOpen()) return;
    size_t cut = FolderPartLength(pattern);
    if (cut == 0 || cut >= kPathSize || std::strpbrk(pattern + cut, "/:")) {
        LogEvent("delete files", pattern, kLogRefusedProtected);
        return;
    }
    char folder[kPathSize];
    std::memcpy(folder, pattern, cut);
    folder[cut] = '\0';
    LogEvent("delete files", pattern, IsProtectedFolder(folder) ? kLogRefusedProtected : kLogRefusedLink);
}

// Whether the listing of pattern gives any entry at all. Most of the folders
// the tasks empty are absent on a given machine; for those nothing is deleted
// and nothing needs refusing, so the protected folders are not gathered.
bool AnythingMatches(const char* pattern)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE) return false;
    FindClose(listing);
    return true;
}

}  // namespace

bool IsLinkedFolder(const char* folder)
{
    char copy[kPathSize];
    if (!folder || !CopyText(copy, sizeof copy, folder)) return true;   // no sound answer
    size_t n = std::strlen(copy);
    if (n > 3 && EndsWithBackslash(copy)) copy[n - 1] = '\0';
    return IsReachedThroughLink(copy);
}

void DeleteTree(const char* pattern, bool clearAttributes)
{
    if (!pattern || pattern[0] == '\0') return;
    if (strnlen(pattern, kPathSize) == kPathSize) {   // longer than any path here
        LogSkippedPath("delete files", "", pattern);
        return;
    }
    if (!AnythingMatches(pattern)) {
        LogEvent("delete files", pattern, kLogNotPresent);
        return;
    }
    if (!MayEmpty(pattern)) {
        LogRefusedPattern(pattern);
        return;
    }
    DeleteMatches(pattern, clearAttributes);
}

bool FileExists(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE)
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    CloseHandle(file);
    return true;
}

// An absent folder holds nothing to delete and cannot be removed: it is
// answered at once, without gathering the protected folders (most of the
// suite's folders are absent on a given machine).
bool IsSuiteFolder(const char* folder)
{
    if (!folder || GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES) return false;
    return !IsProtectedFolder(folder) && !IsLinkedFolder(folder);
}

void RemoveSuiteFolder(const char* folder)
{
    if (IsSuiteFolder(folder))
        RemoveDirectoryAndLog(folder);
    else
        LogRefusedFolder("remove folder", folder);
}
