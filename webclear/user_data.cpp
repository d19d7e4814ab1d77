// User data removal: empties the Web-to-Host working directory of this
// registry view after the user confirmed it.
#include "services/deletion_check.h"
#include "services/folders.h"
#include "services/machine_changes.h"
#include "services/messages.h"
#include "services/path_text.h"
#include "services/run_context.h"
#include "services/run_log.h"
#include "services/settings.h"
#include "services/tree_delete.h"
#include "webclear/webclear.h"

namespace {

const char kWorkingDirectoryValue[] = "Working Directory";
const char kQuestionCaption[] = "Remove Web-to-Host User Data";
const char kQuestion[] =
    "Are you sure you want to remove all Ostrevan Web-to-Host user data files?  "
    "The types of files include Scripts, Macros, Configuration Files, Transfer Files, etc.";
const char kCautionFormat[] =
    "Caution: If a Ostrevan Desktop installation is sharing the Working Directory %s, "
    "then its user data files will also be removed.";

// The known sub-folders, emptied and removed one by one before the rest.
const char kUserDataFolders[][16] = {
    "Certs", "Config", "Macros", "Scripts", "Transfer", "Spool", "Traces", "Cache",
};

// <cache root>\Ostrevan\7.1[\x64], the working directory when the registry
// names none. Empty when it cannot be built.
void BuildDefaultWorkingDirectory(char* out)
{
    bool built = GetCacheRoot(out) && EnsureBackslash(out, kPathSize) &&
                 AppendText(out, kPathSize, "Ostrevan") && AppendText(out, kPathSize, "\\7.1") &&
                 (!runContext.is64BitPass || AppendText(out, kPathSize, "\\x64"));
    if (!built) out[0] = '\0';
}

// The working directory of this view into out (260 bytes, empty when there is
// none). False when the Web key is not where baseRegistry says.
bool FindWorkingDirectory(char* out, bool* fromRegistry)
{
    out[0] = '\0';
    HKEY key = nullptr;
    if (OpenSuiteKeyForRead(runContext.webKeyPath, &key) != ERROR_SUCCESS) return false;
    // A value that does not fit is treated as no value; it is never cut.
    *fromRegistry = ReadRegistryText(key, kWorkingDirectoryValue, out, kPathSize) && out[0] != '\0';
    if (!*fromRegistry) BuildDefaultWorkingDirectory(out);
    RegCloseKey(key);
    return true;
}

// True when the user answered Yes. On any other answer clearUserFiles is
// cleared for the rest of the process (the dialog that owns the question
// unchecks its box for it when the clear sequence returns).
bool ConfirmRemoval(HWND ownerWindow, const char* workingDirectory, bool fromRegistry)
{
    char text[kTextSize];
    lstrcpyA(text, kQuestion);
    if (fromRegistry) {
        char caution[kTextSize];
        wsprintfA(caution, kCautionFormat, workingDirectory);
        AppendText(text, sizeof text, "\r\n\r\n");
        AppendText(text, sizeof text, caution);
    }
    int answer = ShowMessage(ownerWindow, text, kQuestionCaption,
                             MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
    if (answer == IDYES) return true;
    runContext.clearUserFiles = 0;
    LogEvent("remove user data", workingDirectory, kLogDeclined);
    return false;
}

// Deletes the content of folder\name and then the folder itself if empty. A
// path that would not fit is skipped.
void RemoveUserDataFolder(const char* workingDirectory, const char* name)
{
    char folder[kPathSize];
    char pattern[kPathSize];
    if (!JoinPath(folder, sizeof folder, workingDirectory, name) ||
        !JoinPath(pattern, sizeof pattern, folder, "*.*"))
        return;
    DeleteTree(pattern, true);
    RemoveEmptyFolder(folder);
}

void EmptyWorkingDirectory(const char* workingDirectory)
{
    for (const char* name : kUserDataFolders) RemoveUserDataFolder(workingDirectory, name);
    char pattern[kPathSize];
    if (JoinPath(pattern, sizeof pattern, workingDirectory, "*.*")) DeleteTree(pattern, true);
}

}  // namespace

// Finds the working directory, asks (unless quiet mode is on) and empties it;
// the working directory itself stays.
//
// A "Working Directory" that names a drive root, a system folder or an
// ancestor of one, that is no plain absolute path, or that is reached through
// a junction or folder link, is refused as a whole:
// nothing is asked and nothing is removed, not even its known sub-folders.
// Their generic names ("Config", "Cache", "Spool") below such a folder belong
// to others: below C:\Windows\System32, "Spool" is the print spooler's.
void RemoveWebUserData(HWND ownerWindow)
{
    char workingDirectory[kPathSize];
    bool fromRegistry = false;
    if (!FindWorkingDirectory(workingDirectory, &fromRegistry)) return;
    if (workingDirectory[0] == '\0') return;
    PathVerdict verdict = CheckFolder(workingDirectory);
    if (verdict != kPathAllowed) {
        LogRefusal("remove user data", workingDirectory, verdict);
        return;
    }
    if (!runContext.quietMode && !ConfirmRemoval(ownerWindow, workingDirectory, fromRegistry))
        return;
    EmptyWorkingDirectory(workingDirectory);
}
