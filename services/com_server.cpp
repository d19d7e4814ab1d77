// Asks a COM server DLL to remove its own registration: in process in the
// 32-bit pass, through RegSvr32.exe out of process in the 64-bit pass. Nothing
// is shown to the user on any path.
#include "services/com_server.h"

#include <windows.h>
#include <shellapi.h>

#include "app/run_context.h"
#include "services/path_text.h"

namespace {

constexpr int kCommandSize = 512;
constexpr ULONG kShellMask = 0x540;   // NOCLOSEPROCESS | FLAG_DDEWAIT | FLAG_NO_UI

using UnregisterFn = HRESULT(STDAPICALLTYPE*)();

bool UnregisterInProcess(const char* path)
{
    HMODULE server = LoadLibraryA(path);
    if (!server) return false;
    auto unregister = reinterpret_cast<UnregisterFn>(GetProcAddress(server, "DllUnregisterServer"));
    if (unregister) unregister();   // its HRESULT is not looked at
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

void WaitAndClose(HANDLE process)
{
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
}

bool StartThroughShell(const char* parameters)
{
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = kShellMask;
    info.lpVerb = "Open";
    info.lpFile = "RegSvr32.exe";
    info.lpParameters = parameters;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) return false;
    if (info.hProcess) WaitAndClose(info.hProcess);
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
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    WaitAndClose(process.hProcess);
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
