// The administrator's log of a run (see run_log.h).
//
// The log is written only to the file it asked for: a standard user can plant
// a link named Wipora.log in a shared temporary folder (the Windows one, for a
// deployment tool's SYSTEM account), and writing through it would let that
// user choose a file the program appends to. So a new log is made only with
// CREATE_NEW, which fails on any existing name, a dangling link included, and
// an existing one is opened with OPEN_EXISTING and written only when the
// handle is that very file: no reparse point, exactly one link, and a final
// path equal to the path asked for. Measured under Wine 8: a Unix link to a
// file shows no reparse attribute and one link, but its final path is the
// target's; a hard link shows two links; CREATE_NEW fails on a link.
#include "services/run_log.h"

#include <shlwapi.h>
#include <cstdio>
#include <cstring>

#include "services/run_context.h"
#include "services/machine_changes.h"
#include "services/path_text.h"

const char kLogFileName[] = "Wipora.log";

namespace {

const char kOldLogFileName[] = "Wipora.log.old";
const char kProgramVersion[] = "7.1.11";
constexpr int kLineSize = 4096;

const char* const kOutcomeNames[kLogOutcomeCount] = {
    "removed",
    "not present",
    "in use, scheduled for deletion at restart",
    "in use, kept",
    "access denied",
    "refused: protected folder",
    "refused: reached through a link",
    "skipped: the path would not fit",
    "kept: the user declined",
    "failed",
};

// A preview writes these in place of the first two.
const char kWouldBeRemoved[] = "would be removed";
const char kWouldBeScheduled[] = "in use, would be scheduled for deletion at restart";

HANDLE logFile = INVALID_HANDLE_VALUE;
char logTask[64] = "start";
DWORD outcomeCounts[kLogOutcomeCount];
DWORD actionCount;

const char* OutcomeName(int outcome)
{
    if (runContext.previewRun && outcome == kLogRemoved) return kWouldBeRemoved;
    if (runContext.previewRun && outcome == kLogScheduledAtRestart) return kWouldBeScheduled;
    return kOutcomeNames[outcome];
}

// <long form of the temporary folder>\name, into out (260 bytes).
bool BuildTempFilePath(const char* name, char* out)
{
    char folder[kPathSize];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return false;
    char longForm[kPathSize];
    length = GetLongPathNameA(folder, longForm, sizeof longForm);
    if (length > 0 && length < sizeof longForm) lstrcpyA(folder, longForm);
    return JoinPath(out, kPathSize, folder, name);
}

using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// Whether handle is the plain file path names and nothing else: not a link
// of any kind, not reached through one, not a second name of another file.
bool IsThatVeryFile(HANDLE handle, const char* path)
{
    if (GetFileType(handle) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return false;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (info.nNumberOfLinks != 1) return false;
    // Before Windows Vista there is no such call, and no file symbolic link
    // either: the two checks above are then the whole answer.
    auto finalPath = reinterpret_cast<FinalPathFn>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA"));
    if (!finalPath) return true;
    char final[kPathSize + 8];
    DWORD length = finalPath(handle, final, sizeof final, 0);   // normalized, with a drive letter
    if (length == 0 || length >= sizeof final) return false;
    const char* plain = std::strncmp(final, "\\\\?\\", 4) == 0 ? final + 4 : final;
    return lstrcmpiA(plain, path) == 0;
}

HANDLE OpenLogName(const char* path, DWORD disposition, DWORD access)
{
    return CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

constexpr DWORD kAppendAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// The log file opened for appending, checked; INVALID_HANDLE_VALUE when there
// is none to be had.
HANDLE OpenCheckedLog(const char* path)
{
    HANDLE file = OpenLogName(path, CREATE_NEW, kAppendAccess);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
        file = OpenLogName(path, OPEN_EXISTING, kAppendAccess);
        if (file == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;   // a dangling link, a folder...
    }
    if (!IsThatVeryFile(file, path)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// Wipora.log.old may be replaced when it is absent or a plain file of its own.
bool MayReplaceOldLog(const char* oldPath)
{
    HANDLE file = OpenLogName(oldPath, OPEN_EXISTING, FILE_READ_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND && GetFileAttributesA(oldPath) == INVALID_FILE_ATTRIBUTES;
    }
    bool plain = IsThatVeryFile(file, oldPath);
    CloseHandle(file);
    return plain;
}

// A log past kLogRotateSize becomes Wipora.log.old and a new one is begun.
// When that cannot be done the old log is appended to.
HANDLE RotateIfLarge(HANDLE file, const char* path)
{
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE || (high == 0 && size <= kLogRotateSize)) return file;
    char oldPath[kPathSize];
    if (!BuildTempFilePath(kOldLogFileName, oldPath) || !MayReplaceOldLog(oldPath)) return file;
    CloseHandle(file);
    MoveFileReplacing(path, oldPath);   // failing, the old log goes on
    return OpenCheckedLog(path);
}

void WriteLine(const char* line)
{
    if (logFile == INVALID_HANDLE_VALUE) return;
    DWORD length = static_cast<DWORD>(std::strlen(line));
    DWORD written = 0;
    // A full disk or a failing write ends the log, without a word.
    if (!WriteFile(logFile, line, length, &written, nullptr) || written != length) {
        CloseHandle(logFile);
        logFile = INVALID_HANDLE_VALUE;
    }
}

void TimeStamp(char* out, size_t size)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::snprintf(out, size, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
}

const char* ClearRunName()
{
    if (runContext.is64BitPass)
        return runContext.lowIntegrityPass ? "64-bit view, low integrity" : "64-bit view";
    return runContext.lowIntegrityPass ? "32-bit view, low integrity" : "32-bit view";
}

// time | Clear run | task | action | object | result
void WriteEvent(const char* action, const char* object, const char* result)
{
    if (logFile == INVALID_HANDLE_VALUE) return;
    char stamp[32];
    TimeStamp(stamp, sizeof stamp);
    char line[kLineSize];
    std::snprintf(line, sizeof line, "%s | %s | %s | %s | %s | %s\r\n", stamp, ClearRunName(), logTask,
                  action, object, result);
    WriteLine(line);
}

// time | Wipora 7.1.11 | what | text
void WriteHeader(const char* what, const char* text)
{
    char stamp[32];
    TimeStamp(stamp, sizeof stamp);
    char line[kLineSize];
    std::snprintf(line, sizeof line, "%s | Wipora %s | %s | %s\r\n", stamp, kProgramVersion, what, text);
    WriteLine(line);
}

const char* RootName(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    return "the browser's writable user root";
}

void KeyObject(char* out, size_t size, HKEY root, const char* path, REGSAM view)
{
    const char* viewName = (view & KEY_WOW64_64KEY) ? "64-bit view" : "32-bit view";
    std::snprintf(out, size, "%s\\%s (%s)", RootName(root), path, viewName);
}

}  // namespace

bool LogRequested(const char* commandLine)
{
    return std::strchr(commandLine, 'l') || std::strchr(commandLine, 'L');
}

bool RunLogOpen() { return logFile != INVALID_HANDLE_VALUE; }

void OpenRunLog(const char* commandLine)
{
    if (RunLogOpen()) return;
    std::memset(outcomeCounts, 0, sizeof outcomeCounts);
    actionCount = 0;
    if (!LogRequested(commandLine) && !runContext.previewRun) return;
    char path[kPathSize];
    if (!BuildTempFilePath(kLogFileName, path)) return;
    HANDLE file = OpenCheckedLog(path);
    if (file == INVALID_HANDLE_VALUE) return;
    logFile = RotateIfLarge(file, path);
    if (logFile == INVALID_HANDLE_VALUE) return;
    SetFilePointer(logFile, 0, nullptr, FILE_END);
    lstrcpyA(logTask, "start");

    char text[kLineSize];
    std::snprintf(text, sizeof text, "command line: %s", commandLine);
    WriteHeader(runContext.previewRun ? "preview started, nothing is changed" : "run started", text);
    const OSVERSIONINFOA& os = runContext.osVersion;
    std::snprintf(text, sizeof text, "Windows %lu.%lu.%lu, platform %lu, %s",
                  os.dwMajorVersion, os.dwMinorVersion, os.dwBuildNumber, os.dwPlatformId,
                  os.szCSDVersion[0] ? os.szCSDVersion : "no service pack");
    WriteHeader("system", text);
}

void LogOptions(const char* stage)
{
    if (!RunLogOpen()) return;
    char text[512];
    int n = std::snprintf(text, sizeof text,
                          "user files %u, ActiveX controls %u, Internet cache %u, Served Desktop %u, "
                          "quiet %u, log 1, desktop edition installed %u",
                          runContext.clearUserFiles, runContext.uninstallActiveX,
                          runContext.clearInternetCache, runContext.uninstallServedDesktop,
                          runContext.quietMode, runContext.desktopProductInstalled);
    if (n > 0 && runContext.previewRun) n += std::snprintf(text + n, sizeof text - n, ", preview 1");
    if (n > 0 && runContext.deploymentExitCodes)
        std::snprintf(text + n, sizeof text - n, ", deployment exit codes 1");
    char what[128];
    std::snprintf(what, sizeof what, "%s, options %s", ClearRunName(), stage);
    WriteHeader(what, text);
}

void CloseRunLog(int exitCode)
{
    if (!RunLogOpen()) return;
    char text[kLineSize];
    size_t used = 0;
    for (int i = 0; i < kLogOutcomeCount; ++i) {
        int n = std::snprintf(text + used, sizeof text - used, "%s: %lu; ", OutcomeName(i),
                              outcomeCounts[i]);
        if (n > 0) used += static_cast<size_t>(n);
    }
    std::snprintf(text + used, sizeof text - used, "exit code %d", exitCode);
    WriteHeader("summary", text);
    if (logFile != INVALID_HANDLE_VALUE) CloseHandle(logFile);
    logFile = INVALID_HANDLE_VALUE;
}

void SetLogTask(const char* task) { lstrcpynA(logTask, task, sizeof logTask); }

LogOutcome OutcomeOfError(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS: return kLogRemoved;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return kLogNotPresent;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return kLogInUseKept;
    case ERROR_ACCESS_DENIED: return kLogAccessDenied;
    default: return kLogFailed;
    }
}

void LogEvent(const char* action, const char* object, LogOutcome outcome, DWORD error)
{
    ++outcomeCounts[outcome];
    if (!RunLogOpen()) return;
    if (outcome != kLogFailed) {
        WriteEvent(action, object, OutcomeName(outcome));
        return;
    }
    char result[64];
    std::snprintf(result, sizeof result, "failed (error %lu)", error);
    WriteEvent(action, object, result);
}

DWORD OutcomeCount(LogOutcome outcome) { return outcomeCounts[outcome]; }

DWORD ChangeCount()
{
    return outcomeCounts[kLogRemoved] + outcomeCounts[kLogScheduledAtRestart] + actionCount;
}

void LogAction(const char* action, const char* object, const char* text)
{
    ++actionCount;
    WriteEvent(action, object, text);
}

void LogNote(const char* action, const char* object, const char* text)
{
    WriteEvent(action, object, text);
}

LogOutcome OutcomeOfVerdict(PathVerdict verdict)
{
    switch (verdict) {
    case kPathThroughLink: return kLogRefusedLink;
    case kPathTooLong: return kLogSkippedTooLong;
    default: return kLogRefusedProtected;
    }
}

void LogRefusal(const char* action, const char* object, PathVerdict verdict)
{
    LogEvent(action, object, OutcomeOfVerdict(verdict));
}

void LogEntry(const char* action, const char* folder, const char* name, LogOutcome outcome)
{
    char object[kLineSize];
    bool slash = folder[0] && !EndsWithBackslash(folder);
    std::snprintf(object, sizeof object, "%s%s%s", folder, slash ? "\\" : "", name);
    LogEvent(action, object, outcome);
}

void LogSkippedPath(const char* action, const char* folder, const char* name)
{
    LogEntry(action, folder, name, kLogSkippedTooLong);
}

bool JoinPathOrLog(char* dest, size_t size, const char* folder, const char* name, const char* action)
{
    if (JoinPath(dest, size, folder, name)) return true;
    LogSkippedPath(action, folder, name);
    return false;
}

void LogKeyEvent(HKEY root, const char* path, REGSAM view, LogOutcome outcome, DWORD error)
{
    char object[kLineSize];
    KeyObject(object, sizeof object, root, path, view);
    LogEvent("delete key", object, outcome, error);
}

void LogProgram(const char* commandLine, bool started, DWORD exitCodeOrError)
{
    if (!RunLogOpen()) return;
    char result[64];
    if (started)
        std::snprintf(result, sizeof result, "exit code %lu", exitCodeOrError);
    else
        std::snprintf(result, sizeof result, "not started (error %lu)", exitCodeOrError);
    WriteEvent("start program", commandLine, result);
}

void LogMessage(const char* caption, int answer)
{
    if (!RunLogOpen()) return;
    const char* name = "no answer";
    switch (answer) {
    case IDOK: name = "answered OK"; break;
    case IDCANCEL: name = "answered Cancel"; break;
    case IDYES: name = "answered Yes"; break;
    case IDNO: name = "answered No"; break;
    default: break;
    }
    WriteEvent("message shown", caption, name);
}

bool IsRunLogFile(const char* path)
{
    if (!path) return false;
    const char* name = PathFindFileNameA(path);
    if (lstrcmpiA(name, kLogFileName) != 0 && lstrcmpiA(name, kOldLogFileName) != 0) return false;
    DWORD savedError = GetLastError();
    char longForm[kPathSize];
    DWORD length = GetLongPathNameA(path, longForm, sizeof longForm);
    const char* compared = (length > 0 && length < sizeof longForm) ? longForm : path;
    char logPath[kPathSize];
    bool same = BuildTempFilePath(name, logPath) && lstrcmpiA(compared, logPath) == 0;
    SetLastError(savedError);
    return same;
}
