// Removes from one directory what the desktop installation put there: its
// program files by the installer's inventory, the user data (all of it, or only
// the configuration and text files), the folders left empty, and the suite's
// desktop and Startup shortcuts. Failed deletions of installed files are
// recorded in desktopDeleteIncomplete for the caller to report.
//
// The directory comes from the registry. A relative directory names whatever
// the current folder makes of it: nothing in it is loaded or deleted (its
// COM libraries would be looked for along the DLL search path), and it is
// reported as not cleared. When it is a drive root, a system folder or not a
// plain local path, only the files that carry the suite's own name prefix and
// the suite's shortcuts are deleted: not the inventory's
// generic names (runtime libraries, HLLAPI interface names, desktop.ini,
// README.TXT, ...), which in such a folder belong to the system or to other
// software; nothing by pattern; no shortcut named after a foreign INI file;
// and no folder is removed.
#include <shlobj.h>

#include <cstring>

#include "desktop/desktop.h"
#include "desktop/installed_file_tables.h"
#include "desktop/path_checks.h"
#include "services/com_server.h"
#include "services/folders.h"
#include "services/machine_changes.h"
#include "services/path_text.h"
#include "services/run_context.h"
#include "services/run_log.h"
#include "services/tree_delete.h"

namespace {

// The shared desktop data folder, "<common application data>\Ostrevan\7.1";
// false when the folder cannot be resolved or the path does not fit.
bool GetSharedDesktopDataFolder(char* out)
{
    char folder[kPathSize];
    if (ResolveFolder(CSIDL_COMMON_APPDATA, folder) != S_OK) return false;
    if (!EnsureBackslash(folder, sizeof folder) ||
        !AppendText(folder, sizeof folder, "Ostrevan\\") ||
        !AppendText(folder, sizeof folder, kSuiteVersion))
        return false;
    return CopyText(out, kPathSize, folder);
}

// The installer puts a desktop shortcut beside each session's INI file, named
// after it: "<desktop>\<stem>.LNK" for every "<stem>.ini" in dir.
void DeleteIniShortcuts(const char* dir)
{
    char desktop[kPathSize];
    char pattern[kPathSize];
    if (!GetDesktopFolder(desktop, false) || !JoinPathOrLog(pattern, sizeof pattern, dir, "*.ini", "delete files"))
        return;
    ForEachFile(pattern, [&desktop](const char* name) {
        char path[kPathSize];
        // The last three characters, not bytes: a name matched through its
        // short form may end in a double-byte character.
        if (CharacterCount(name) >= 4 && JoinPathOrLog(path, sizeof path, desktop, name, "delete file") &&
            ReplaceLastCharacters(path, sizeof path, 3, "LNK"))
            RemoveFile(path, kNormalAttributes);
    });
}

// The file-transfer and the HLLAPI COM libraries, in that order.
void UnregisterComLibraries(const char* dir)
{
    for (int i = 0; i < 2; ++i) {
        char path[kPathSize];
        if (JoinPath(path, sizeof path, dir, kRebootDeferredFiles[i])) UnregisterComServer(path);
    }
}

// Searched by characters: a directory name's trail bytes (ASCII letters in the
// double-byte code pages) never begin a match.
bool IsRebootDeferred(const char* path)
{
    for (const char* name : kRebootDeferredFiles) {
        if (FindText(path, name)) return true;
    }
    return false;
}

// Inventory names that only this suite uses: "OV..." and "Ostrevan....".
bool CarriesSuitePrefix(const char* name)
{
    return std::strncmp(name, "OV", 2) == 0 || std::strncmp(name, "Ostrevan.", 9) == 0;
}

void DeleteInventory(const char* dir, bool ordinary)
{
    for (const char* name : kInstalledFiles) {
        char path[kPathSize];
        if (!ordinary && !CarriesSuitePrefix(name)) continue;
        if (!JoinPath(path, sizeof path, dir, name)) {
            LogSkippedPath("delete file", dir, name);
            // Not addressable, so not deleted: the user is told to look.
            if (OnNtPlatform()) runContext.desktopDeleteIncomplete = 1;
            continue;
        }
        // On the NT platform a reboot-deferred file that stays, for whatever
        // reason, is scheduled for deletion at the next restart instead;
        // another file that stays, unless it is simply not there, is reported.
        if (OnNtPlatform() && IsRebootDeferred(path)) {
            RemoveFileOrDeferToRestart(path, kNormalAttributes);
            continue;
        }
        DWORD error = RemoveFile(path, kNormalAttributes);
        if (OnNtPlatform() && error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
            runContext.desktopDeleteIncomplete = 1;
    }
}

// Deletes the files matching mask directly in folder, whatever their
// attributes. Sub-folders among the matches are neither entered nor touched.
void DeleteFilesIn(const char* folder, const char* mask)
{
    char pattern[kPathSize];
    if (!IsOrdinaryFolder(folder) || !JoinPathOrLog(pattern, sizeof pattern, folder, mask, "delete files")) return;
    ForEachFile(pattern, [folder](const char* name) {
        char path[kPathSize];
        if (JoinPathOrLog(path, sizeof path, folder, name, "delete file")) RemoveFile(path, kNormalAttributes);
    });
}

// Every file in root and in its user data sub-folders, one level deep.
void DeleteAllUserFiles(const char* root)
{
    DeleteFilesIn(root, "*.*");
    for (const char* sub : kUserDataFolders) {
        char folder[kPathSize];
        if (JoinPath(folder, sizeof folder, root, sub)) DeleteFilesIn(folder, "*.*");
    }
}

// With the user data kept, only the configuration and text files in dir and
// its "Certs" folder go.
void DeleteDataStaysFiles(const char* dir)
{
    char certs[kPathSize];
    bool haveCerts = JoinPath(certs, sizeof certs, dir, kUserDataFolders[0]);
    for (const char* pattern : kDataStaysPatterns) DeleteFilesIn(dir, pattern);
    if (!haveCerts) return;
    for (const char* pattern : kDataStaysPatterns) DeleteFilesIn(certs, pattern);
}

// RemoveDirectoryA removes only an empty folder; never a protected one, nor
// one that is no plain local folder.
void RemoveFolderIfEmpty(const char* path)
{
    if (IsPlainLocalFolder(path)) RemoveEmptyFolder(path);
}

void RemoveUserDataFolders(const char* root)
{
    for (const char* sub : kUserDataFolders) {
        char folder[kPathSize];
        if (JoinPath(folder, sizeof folder, root, sub)) RemoveFolderIfEmpty(folder);
    }
}

// Cuts four characters off path. True when what is left names a parent
// folder: the cut began at a backslash ("...\Ostrevan" + "\7.1"), or what is
// left ends in one (a directory written with a trailing backslash). Anywhere
// else the cut lands inside a name and leaves the name of another folder.
// Characters, not bytes: four bytes can be two double-byte characters, or
// end inside one, and a trail byte 0x5C is no backslash.
bool CutToParent(char* path)
{
    size_t keep;
    if (!TailOffset(path, 4, &keep)) return false;
    bool parent = path[keep] == '\\';
    path[keep] = '\0';
    return parent || EndsWithBackslash(path);
}

// The directory's parent folders by cutting characters: four ("\7.1"), and in
// the 64-bit pass first four more ("\x64" below the version folder). Skipped
// when the directory is shorter than what would be cut; a cut that does not
// name a parent removes nothing, and the next cut is judged on its own.
void RemoveParentFolders(const char* dir)
{
    char path[kPathSize];
    if (!CopyText(path, sizeof path, dir)) return;
    size_t cut = runContext.is64BitPass ? 8 : 4;
    if (CharacterCount(path) < cut) return;
    if (runContext.is64BitPass && CutToParent(path)) RemoveFolderIfEmpty(path);
    if (CutToParent(path)) RemoveFolderIfEmpty(path);
}

// Sets each shortcut's attributes to archive first, so a read-only one goes too.
void DeleteShortcut(const char* folder, const char* name)
{
    char path[kPathSize];
    if (!JoinPathOrLog(path, sizeof path, folder, name, "delete file")) return;
    RemoveFile(path, kArchiveAttribute);
}

void DeleteDesktopAndStartupShortcuts()
{
    char folder[kPathSize];
    if (GetDesktopFolder(folder, false)) {
        for (const char* name : kDesktopShortcuts) DeleteShortcut(folder, name);
    }
    if (GetStartupFolder(folder, false)) DeleteShortcut(folder, kStartupShortcut);
}

}  // namespace

void RemoveInstalledFiles()
{
    const char* dir = runContext.uninstallTargetDir;
    bool absolute = IsAbsolutePath(dir);
    bool ordinary = absolute && IsOrdinaryFolder(dir);
    char shared[kPathSize];
    bool haveShared = GetSharedDesktopDataFolder(shared);
    bool allUserData = runContext.removeDesktopUserData != 0;

    AskWindowToClose(runContext.sessionManagerClass, kSessionManagerCloseCode);   // not waited for
    if (ordinary) DeleteIniShortcuts(dir);
    if (absolute) {
        UnregisterComLibraries(dir);
        DeleteInventory(dir, ordinary);
    } else if (OnNtPlatform()) {
        // Not addressable, so not cleared: the user is told to look.
        runContext.desktopDeleteIncomplete = 1;
    }
    if (allUserData) {
        if (ordinary) DeleteAllUserFiles(dir);
        if (haveShared) DeleteAllUserFiles(shared);
    } else if (ordinary) {
        DeleteDataStaysFiles(dir);
    }
    if (allUserData) {
        if (ordinary) RemoveUserDataFolders(dir);
        if (haveShared) RemoveUserDataFolders(shared);
    }
    if (ordinary) {
        RemoveFolderIfEmpty(dir);
        RemoveParentFolders(dir);
    }
    if (haveShared) RemoveFolderIfEmpty(shared);
    DeleteDesktopAndStartupShortcuts();
}
