// Recursive deletion of files and folders below a pattern, and the existence
// test. Only the suite's own footprint may go: the top call refuses system
// folders, roots and links (deletion_check), a link is never followed, an
// entry whose path would not fit 260 bytes is skipped, never cut, and every
// deletion goes through the door of machine_changes.
#include "services/tree_delete.h"

#include <cstring>

#include "services/deletion_check.h"
#include "services/machine_changes.h"
#include "services/path_text.h"
#include "services/run_context.h"
#include "services/run_log.h"

namespace {

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
    // A file link is deleted as the link itself; its attributes are those of
    // the target, which is not ours to change.
    bool reset = clearAttributes && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    RemoveFile(file, reset ? kNormalAttributes : kKeepAttributes);
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
    RemoveEmptyFolder(subFolder);   // goes only when everything in it went
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
    PathVerdict verdict = CheckPattern(pattern);
    if (verdict != kPathAllowed) {
        LogRefusal("delete files", pattern, verdict);
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
