// Asks a COM server DLL to remove its own registration: in process in the
// 32-bit pass, through RegSvr32.exe out of process in the 64-bit pass. Nothing
// is shown to the user on any path.
#include "services/com_server.h"

#include <windows.h>
#include <shellapi.h>

#include "services/run_context.h"
#include "services/run_log.h"
#include "services/path_text.h"

namespace {

constexpr int kCommandSize = 512;
constexpr ULONG kShellMask = 0x540;   // NOCLOSEPROCESS | FLAG_DDEWAIT | FLAG_NO_UI

using UnregisterFn = HRESULT(STDAPICALLTYPE*)();

void LogUnregistration(const char* path, const char* what, DWORD code)
{
    if (!RunLogOpen()) return;
    char text[96];
    wsprintfA(text, code > 0xFFFF ? "%s 0x%08lX" : "%s (error %lu)", what, code);
    LogNote("unregister in process", path, text);
}

bool UnregisterInProcess(const char* path)
{
    HMODULE server = LoadLibraryA(path);
    if (!server) {
        LogUnregistration(path, "could not be loaded", GetLastError());
        return false;
    }
    auto unregister = reinterpret_cast<UnregisterFn>(GetProcAddress(server, "DllUnregisterServer"));
    if (unregister) {
        HRESULT result = unregister();   // not looked at, only logged
        LogUnregistration(path, "DllUnregisterServer returned", static_cast<DWORD>(result));
    } else {
        LogNote("unregister in process", path, "no DllUnregisterServer");
    }
    FreeLibrary(server);
    return unregister != nullptr;
}

// prefix, then the path in double quotes: Wine's regsvr32, like Windows',
// takes an unquoted path with a blank for two arguments and fails.
bool BuildArguments(char* buffer, const char* prefix, const char* path)
{
    buffer[0] = '\0';
    return AppendText(buffer, kCommandSize, prefix) && AppendText(buffer, kCommandSize, "\"") &&
           AppendText(buffer, kCommandSize, path) && AppendText(buffer, kCommandSize, "\"");
}

// The process's exit code.
DWORD WaitAndClose(HANDLE process)
{
    WaitForSingleObject(process, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    return exitCode;
}

// "RegSvr32.exe <parameters>" with its exit code, for the log.
void LogRegSvr32(const char* parameters, bool started, DWORD exitCodeOrError)
{
    if (!RunLogOpen()) return;
    char commandLine[kCommandSize + 16];
    wsprintfA(commandLine, "RegSvr32.exe %s", parameters);
    LogProgram(commandLine, started, exitCodeOrError);
}

// The system folder's RegSvr32.exe, into out (MAX_PATH bytes). A bare name
// would be searched for in the program's own folder and the current folder
// first, where anyone who can write there (a download folder) could leave a
// RegSvr32.exe of their own for the administrator to run. For this 32-bit
// program the system folder is redirected to the 32-bit one, whose RegSvr32
// hands a 64-bit DLL on to its 64-bit sibling, as the bare name's did.
bool RegSvr32Path(char* out)
{
    char system[MAX_PATH];
    UINT n = GetSystemDirectoryA(system, MAX_PATH);
    return n > 0 && n < MAX_PATH && JoinPath(out, MAX_PATH, system, "RegSvr32.exe");
}

bool StartThroughShell(const char* parameters)
{
    char program[MAX_PATH];
    if (!RegSvr32Path(program)) return false;
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = kShellMask;
    info.lpVerb = "Open";
    info.lpFile = program;
    info.lpParameters = parameters;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) {
        LogRegSvr32(parameters, false, GetLastError());
        return false;
    }
    DWORD exitCode = info.hProcess ? WaitAndClose(info.hProcess) : 0;
    LogRegSvr32(parameters, true, exitCode);
    return true;
}

bool StartDirectly(const char* path)
{
    char commandLine[kCommandSize];
    if (!BuildArguments(commandLine, "RegSvr32.exe /u /s ", path)) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    PROCESS_INFORMATION process = {};
    char program[MAX_PATH];
    if (!RegSvr32Path(program)) return false;
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        LogProgram(commandLine, false, GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    LogProgram(commandLine, true, WaitAndClose(process.hProcess));
    return true;
}

bool UnregisterOutOfProcess(const char* path)
{
    char parameters[kCommandSize];
    if (!BuildArguments(parameters, "/u /s ", path)) return false;   // would not fit
    return StartThroughShell(parameters) || StartDirectly(path);
}

}  // namespace

bool UnregisterComServer(const char* path)
{
    if (runContext.is64BitPass) return UnregisterOutOfProcess(path);
    return UnregisterInProcess(path);
}
