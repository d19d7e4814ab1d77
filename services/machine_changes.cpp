// The one door through which the program changes the machine (see
// machine_changes.h). The calls are those the tasks made themselves before:
// the same functions, flags, views and fallbacks, in the same order. In a
// preview (runContext.previewRun) each function asks change_forecast what
// the call would do instead of making it, records that, and answers as the
// call would have.
#include "services/machine_changes.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "services/change_forecast.h"
#include "services/deletion_check.h"
#include "services/path_text.h"
#include "services/registry_links.h"
#include "services/run_context.h"
#include "services/run_log.h"

namespace {

constexpr int kObjectSize = 1024;
constexpr ULONG kShellMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;

using UnregisterFn = HRESULT(STDAPICALLTYPE*)();

// The check every file deletion passes: never the run's own log, never a
// path that would not fit or that names no single file whoever runs the
// program. False (recorded unless it is the log) when the file is refused.
bool MayRemoveFile(const char* path)
{
    if (!path || IsRunLogFile(path)) return false;
    if (strnlen(path, kPathSize) == kPathSize) {
        LogEvent("delete file", path, kLogSkippedTooLong);
        return false;
    }
    if (!IsAbsolutePath(path)) {
        LogEvent("delete file", path, kLogRefusedProtected);
        return false;
    }
    return true;
}

void ResetAttributes(const char* path, AttributeReset reset)
{
    if (reset == kNormalAttributes) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    else if (reset == kArchiveAttribute) SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE);
}

// The process's exit code, once it has ended.
DWORD WaitAndClose(HANDLE process)
{
    WaitForSingleObject(process, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    return exitCode;
}

// SHDeleteKeyA below path's parent opened in view; a path without a parent
// is deleted below root itself.
LONG DeleteTreeBelowParent(HKEY root, const char* path, REGSAM view)
{
    char parent[kPathSize];
    if (!CopyText(parent, sizeof parent, path)) return ERROR_INVALID_PARAMETER;
    char* cut = LastBackslash(parent);
    const char* leaf = path;
    HKEY parentKey = root;
    if (cut) {
        *cut = '\0';
        leaf = path + (cut - parent) + 1;
        LONG rc = RegOpenKeyExA(root, parent, 0, KEY_READ | KEY_WRITE | view, &parentKey);
        if (rc != ERROR_SUCCESS) return rc;
    }
    LONG rc = SHDeleteKeyA(parentKey, leaf);
    if (cut) RegCloseKey(parentKey);
    return rc;
}

// Whether parentKey\name still holds sub-keys (so that RegDeleteKeyA left it).
bool HoldsSubKeys(HKEY parentKey, const char* name, REGSAM view)
{
    HKEY child;
    DWORD subKeys = 0;
    if (RegOpenKeyExA(parentKey, name, 0, KEY_READ | view, &child) != ERROR_SUCCESS) return false;
    RegQueryInfoKeyA(child, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(child);
    return subKeys > 0;
}

bool Preview() { return runContext.previewRun != 0; }

// The files this run has scheduled for deletion at restart (lower-cased).
std::set<std::string> scheduledFiles;

std::string LoweredPath(const char* path)
{
    std::string s(path);
    if (!s.empty()) CharLowerBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

// A file that stays, but that this run has already scheduled for deletion at
// restart (a desktop file in use, met again by the user data removal), goes
// at the next restart all the same: its outcome says so.
LogOutcome OutcomeOfStayingFile(const char* path, DWORD error)
{
    LogOutcome outcome = OutcomeOfError(error);
    if (outcome != kLogRemoved && outcome != kLogNotPresent && scheduledFiles.count(LoweredPath(path)))
        return kLogScheduledAtRestart;
    return outcome;
}

void LogUnregistration(const char* path, const char* what, DWORD code)
{
    char text[96];
    wsprintfA(text, code > 0xFFFF ? "%s 0x%08lX" : "%s (error %lu)", what, code);
    LogNote("unregister in process", path, text);
}

// A program that a preview would start: target, when given, is the file it
// would act on; without it the program would find nothing to do, which
// changes nothing (a server whose file has gone).
bool ForecastStart(const char* shown, const char* target)
{
    if (target && GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES)
        LogNote("start program", shown, "not needed: its file is not present");
    else
        LogAction("start program", shown, "would be started");
    return true;
}

}  // namespace

// DeleteFileA after the attribute reset, or in a preview its forecast.
DWORD DeleteOrForecast(const char* path, AttributeReset reset)
{
    if (Preview()) return ForecastFileRemoval(path, reset != kKeepAttributes);
    ResetAttributes(path, reset);
    return DeleteFileA(path) ? ERROR_SUCCESS : GetLastError();
}

DWORD RemoveFile(const char* path, AttributeReset reset)
{
    if (!MayRemoveFile(path)) return ERROR_ACCESS_DENIED;
    DWORD error = DeleteOrForecast(path, reset);
    LogEvent("delete file", path, OutcomeOfStayingFile(path, error), error);
    return error;
}

DWORD RemoveFileOrDeferToRestart(const char* path, AttributeReset reset)
{
    if (!MayRemoveFile(path)) return ERROR_ACCESS_DENIED;
    DWORD error = DeleteOrForecast(path, reset);
    if (error == ERROR_SUCCESS) {
        LogEvent("delete file", path, kLogRemoved);
        return ERROR_SUCCESS;
    }
    BOOL scheduled = Preview() || MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    LogOutcome outcome = OutcomeOfError(error);
    if (outcome != kLogNotPresent && scheduled) {
        outcome = kLogScheduledAtRestart;
        scheduledFiles.insert(LoweredPath(path));
    }
    LogEvent("delete file", path, outcome, error);
    return error;
}

// An absent folder is answered at once, without gathering the protected
// folders (most of the suite's folders are absent on a given machine).
bool FolderMayBeEmptied(const char* action, const char* folder)
{
    if (!folder || GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES ||
        (Preview() && ForecastGone(folder))) {
        if (folder) LogEvent(action, folder, kLogNotPresent);
        return false;
    }
    PathVerdict verdict = CheckFolder(folder);
    if (verdict == kPathAllowed) return true;
    LogRefusal(action, folder, verdict);
    return false;
}

// Under Wine removing a folder link removes its empty target, which is not
// the suite's: the link check comes first.
bool RemoveEmptyFolder(const char* folder)
{
    if (!FolderMayBeEmptied("remove folder", folder)) return false;
    DWORD error = Preview() ? ForecastFolderRemoval(folder)
                            : RemoveDirectoryA(folder) ? ERROR_SUCCESS : GetLastError();
    if (error != ERROR_DIR_NOT_EMPTY) LogEvent("remove folder", folder, OutcomeOfError(error), error);
    return error == ERROR_SUCCESS;
}

LONG DeleteKeyInView(HKEY root, const char* path, REGSAM view)
{
    if (TreeHoldsRegistryLink(root, path, view)) {
        LogKeyEvent(root, path, view, kLogRefusedLink);
        return ERROR_ACCESS_DENIED;
    }
    LONG rc = Preview() ? ForecastKeyTreeRemoval(root, path, view)
              : view    ? DeleteTreeBelowParent(root, path, view)
                        : SHDeleteKeyA(root, path);
    LogKeyEvent(root, path, view, OutcomeOfError(static_cast<DWORD>(rc)), static_cast<DWORD>(rc));
    return rc;
}

// RegDeleteKeyA through a link would delete the key it points at: a link is
// refused here whatever the caller looked at.
LONG DeleteEmptyKey(HKEY parentKey, const KeyPlace& parent, const char* name, KeyRecord record)
{
    char path[kObjectSize];
    std::snprintf(path, sizeof path, "%s\\%s", parent.path, name);
    if (IsRegistryLink(parentKey, name, parent.view)) {
        if (record != kPartOfTree) LogKeyEvent(parent.root, path, parent.view, kLogRefusedLink);
        return ERROR_ACCESS_DENIED;
    }
    LONG rc = Preview() ? ForecastEmptyKeyRemoval(parentKey, parent.root, parent.path, name, parent.view)
                        : RegDeleteKeyA(parentKey, name);
    if (record == kPartOfTree) return rc;
    if (record == kRecordUnlessHoldingKeys && rc == ERROR_ACCESS_DENIED &&
        HoldsSubKeys(parentKey, name, parent.view))
        return rc;
    LogKeyEvent(parent.root, path, parent.view, OutcomeOfError(static_cast<DWORD>(rc)),
                static_cast<DWORD>(rc));
    return rc;
}

bool DeleteCacheEntry(HMODULE wininet, const char* url)
{
    using DeleteEntryFn = BOOL(WINAPI*)(LPCSTR);
    auto deleteEntry = reinterpret_cast<DeleteEntryFn>(GetProcAddress(wininet, "DeleteUrlCacheEntryA"));
    if (!deleteEntry) return false;
    BOOL deleted = Preview() || deleteEntry(url);
    DWORD error = deleted ? ERROR_SUCCESS : GetLastError();
    char object[kObjectSize];
    std::snprintf(object, sizeof object, "URL cache entry %s", url);
    LogEvent("delete cache entry", object, OutcomeOfError(error), error);
    return deleted != FALSE;
}

bool MoveFileReplacing(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool StartProgramAndWait(const char* program, const char* parameters, const char* shownName,
                         const char* target)
{
    char shown[2 * kPathSize + 2];
    std::snprintf(shown, sizeof shown, "%s %s", shownName, parameters);
    if (Preview()) return ForecastStart(shown, target);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = kShellMask;
    info.lpVerb = "Open";
    info.lpFile = program;
    info.lpParameters = parameters;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) {
        LogProgram(shown, false, GetLastError());
        return false;
    }
    LogProgram(shown, true, info.hProcess ? WaitAndClose(info.hProcess) : 0);
    return true;
}

bool CreateProcessAndWait(const char* program, char* commandLine, const char* target)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    PROCESS_INFORMATION process = {};
    if (Preview()) return ForecastStart(commandLine, target);
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        LogProgram(commandLine, false, GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    LogProgram(commandLine, true, WaitAndClose(process.hProcess));
    return true;
}

bool UnregisterServerInProcess(const char* path)
{
    if (Preview()) {
        // Loading the server would run its code: only its file is looked at.
        if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
            LogUnregistration(path, "could not be loaded", GetLastError());
            return false;
        }
        LogAction("unregister in process", path, "would be unregistered");
        return true;
    }
    HMODULE server = LoadLibraryA(path);
    if (!server) {
        LogUnregistration(path, "could not be loaded", GetLastError());
        return false;
    }
    auto unregister = reinterpret_cast<UnregisterFn>(GetProcAddress(server, "DllUnregisterServer"));
    if (unregister)
        LogUnregistration(path, "DllUnregisterServer returned", static_cast<DWORD>(unregister()));
    else
        LogNote("unregister in process", path, "no DllUnregisterServer");
    FreeLibrary(server);
    return unregister != nullptr;
}

void AskWindowToClose(const char* windowClass, LPARAM code)
{
    HWND window = FindWindowA(windowClass, nullptr);
    if (!window) return;
    if (Preview())
        LogAction("ask to close", windowClass, "would be asked to close");
    else if (PostMessageA(window, WM_CLOSE, 0, code))
        LogAction("ask to close", windowClass, "WM_CLOSE posted");
}
