// The task behind "/4": uninstalls the Served Desktop installation of the
// current registry view. The product key names the installation and working
// directories; both are cleared (working directory first), then the program
// group goes and finally the product's keys.
#include <shlobj.h>

#include <cstdio>

#include "services/messages.h"
#include "services/run_context.h"
#include "services/run_log.h"
#include "services/settings.h"
#include "desktop/desktop.h"
#include "services/folders.h"
#include "services/path_text.h"
#include "webclear/webclear.h"

namespace {

const char kUninstallCaption[] = "Ostrevan Uninstall";
const char kUserDataCaption[] = "Remove Desktop User Data";
const char kUserDataQuestion[] =
    "Do you want Uninstall to remove all Ostrevan Desktop user data files?  The types of files "
    "include Macros, Scripts, Configuration Files, Transfer Files, etc.";
const char kIncompleteFormat[] =
    "Ostrevan Uninstall was unable to delete all of the files from %s.  To complete the "
    "uninstall please manually remove the remaining files.";
const char kGroupQuestionFormat[] =
    "All program items in group \"%s\" will be deleted.  Are you sure you want to delete the "
    "program group \"%s\"?";
const char kCompletedText[] = "Ostrevan uninstallation completed successfully.";

constexpr UINT kUserDataStyle = MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND;   // 0x10024
constexpr UINT kIncompleteStyle = MB_OK | MB_ICONINFORMATION;                    // 0x40
constexpr UINT kGroupStyle = MB_YESNO | MB_ICONQUESTION;                          // 0x24
constexpr UINT kCompletedStyle = MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND;  // 0x10040

// Where a non-zero "WorkingDirType" puts the working directory.
int WorkingDirFolder(BYTE workingDirType)
{
    switch (workingDirType) {
    case 1: return CSIDL_PERSONAL;
    case 2: return CSIDL_COMMON_DOCUMENTS;
    case 3: return CSIDL_APPDATA;
    case 4: return CSIDL_COMMON_APPDATA;
    default: return -1;
    }
}

struct Directories {
    char installDir[kPathSize];
    char workingDir[kPathSize];
    int dirCount;
};

// A read that fails, or gives the empty string, counts as missing.
bool ReadDirectoryValue(HKEY key, const char* name, char* out)
{
    return ReadRegistryText(key, name, out, kPathSize) && out[0] != '\0';
}

void UseInstallDirOnly(Directories* dirs)
{
    dirs->dirCount = 1;
    CopyText(dirs->workingDir, sizeof dirs->workingDir, dirs->installDir);
}

// One byte; a value that is missing or longer than a byte reads as 0.
BYTE ReadWorkingDirType(HKEY key)
{
    BYTE type = 0;
    DWORD size = sizeof type;
    if (RegQueryValueExA(key, "WorkingDirType", nullptr, nullptr, &type, &size) != ERROR_SUCCESS)
        return 0;
    return type;
}

// "<special folder>\Ostrevan", with "\7.1" when the suite appends its version.
bool ResolveSpecialWorkingDir(BYTE workingDirType, char* out)
{
    int csidl = WorkingDirFolder(workingDirType);
    char folder[kPathSize];
    if (csidl < 0 || ResolveFolder(csidl, folder) != S_OK) return false;
    if (!EnsureBackslash(folder, sizeof folder) || !AppendText(folder, sizeof folder, "Ostrevan"))
        return false;
    if (runContext.appendVersionToWorkingDir &&
        (!AppendText(folder, sizeof folder, "\\") ||
         !AppendText(folder, sizeof folder, kSuiteVersion)))
        return false;
    return CopyText(out, kPathSize, folder);
}

// A per-user product key decides alone; without one the special folder does.
void FindSpecialWorkingDir(BYTE workingDirType, Directories* dirs)
{
    HKEY key;
    // The per-user product key, under HKEY_CURRENT_USER or else
    // writableUserKey, whatever baseRegistry says.
    if (OpenUserKeyForRead(runContext.productKeyPath, &key) == ERROR_SUCCESS) {
        if (!ReadDirectoryValue(key, "Working Directory", dirs->workingDir)) UseInstallDirOnly(dirs);
        RegCloseKey(key);
    } else if (!ResolveSpecialWorkingDir(workingDirType, dirs->workingDir)) {
        UseInstallDirOnly(dirs);
    }
}

// Steps 2 to 8: the directories from the product key; false when there is no
// installation in this view.
bool FindDirectories(Directories* dirs)
{
    HKEY key;
    if (OpenSuiteKeyForRead(runContext.productKeyPath, &key) != ERROR_SUCCESS) return false;
    if (!ReadDirectoryValue(key, "Installation Directory", dirs->installDir)) {
        RegCloseKey(key);
        return false;
    }
    BYTE workingDirType = ReadWorkingDirType(key);
    if (workingDirType == 0 && !ReadDirectoryValue(key, "Working Directory", dirs->workingDir))
        UseInstallDirOnly(dirs);
    RegCloseKey(key);
    if (workingDirType != 0)
        FindSpecialWorkingDir(workingDirType, dirs);
    else
        ExpandEnvironmentReferences(dirs->workingDir);
    return true;
}

void DecideUserDataRemoval(HWND ownerWindow)
{
    runContext.removeDesktopUserData = 0;
    if (runContext.clearUserFiles) {
        runContext.removeDesktopUserData = 1;
    } else if (!runContext.quietMode) {
        if (ShowMessage(ownerWindow, kUserDataQuestion, kUserDataCaption, kUserDataStyle) == IDYES)
            runContext.removeDesktopUserData = 1;
        else
            LogEvent("remove user data", "Served Desktop user data", kLogDeclined);
    }
}

void ClearDirectory(HWND ownerWindow, const char* dir)
{
    CopyText(runContext.uninstallTargetDir, sizeof runContext.uninstallTargetDir, dir);
    RemoveInstalledFiles();
    if (!runContext.desktopDeleteIncomplete) return;
    runContext.desktopDeleteIncomplete = 0;
    if (runContext.quietMode) return;
    std::snprintf(runContext.workText, sizeof runContext.workText, kIncompleteFormat,
                  runContext.uninstallTargetDir);
    ShowMessage(ownerWindow, runContext.workText, kUninstallCaption, kIncompleteStyle);
}

// The group's shortcuts go at once; the folder in quiet mode or when the user agrees.
void RemoveGroup(HWND ownerWindow)
{
    HKEY key;
    if (OpenSuiteKeyForRead(runContext.productKeyPath, &key) != ERROR_SUCCESS) return;
    runContext.programGroupName[0] = '\0';
    bool named = ReadRegistryText(key, "Program Group", runContext.programGroupName,
                                  sizeof runContext.programGroupName) &&
                 runContext.programGroupName[0] != '\0';
    if (named) {
        DeleteGroupShortcuts();
        if (runContext.quietMode) {
            RemoveProgramGroup();
        } else {
            std::snprintf(runContext.workText, sizeof runContext.workText, kGroupQuestionFormat,
                          runContext.programGroupName, runContext.programGroupName);
            if (ShowMessage(ownerWindow, runContext.workText, kUninstallCaption, kGroupStyle) ==
                IDYES)
                RemoveProgramGroup();
        }
    }
    RegCloseKey(key);
}

}  // namespace

int UninstallServedDesktop()
{
    ReadBaseRegistry(false);
    SetLogTask("Served Desktop file associations");
    RemoveFileAssociations(false);
    RemoveDesktopInstallation(nullptr);
    return 1;
}

// 0 when this view holds no installation (nothing removed, nothing shown);
// 1 when the sequence ran to its end. The wait cursor stays for the caller
// to restore.
int RemoveDesktopInstallation(HWND ownerWindow)
{
    Directories dirs = {};
    dirs.dirCount = 2;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    if (!FindDirectories(&dirs)) return 0;
    SetLogTask("Served Desktop files");
    DecideUserDataRemoval(ownerWindow);
    for (int i = 0; i < dirs.dirCount; ++i)
        ClearDirectory(ownerWindow, i == 0 ? dirs.workingDir : dirs.installDir);
    SetLogTask("Served Desktop program group");
    RemoveGroup(ownerWindow);
    SetLogTask("Served Desktop registry");
    RemoveProductRegistry();
    if (!runContext.quietMode)
        ShowMessage(ownerWindow, kCompletedText, kUninstallCaption, kCompletedStyle);
    return 1;
}
