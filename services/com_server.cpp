// Asks a COM server DLL to remove its own registration: in process in the
// 32-bit pass, through RegSvr32.exe out of process in the 64-bit pass. Nothing
// is shown to the user on any path.
#include "services/com_server.h"

#include <windows.h>

#include "services/machine_changes.h"
#include "services/path_text.h"
#include "services/run_context.h"

namespace {

constexpr int kCommandSize = 512;

// prefix, then the path in double quotes: Wine's regsvr32, like Windows',
// takes an unquoted path with a blank for two arguments and fails.
bool BuildArguments(char* buffer, const char* prefix, const char* path)
{
    buffer[0] = '\0';
    return AppendText(buffer, kCommandSize, prefix) && AppendText(buffer, kCommandSize, "\"") &&
           AppendText(buffer, kCommandSize, path) && AppendText(buffer, kCommandSize, "\"");
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

// Through the shell first; where that cannot start it, directly.
bool UnregisterOutOfProcess(const char* path)
{
    char parameters[kCommandSize];
    char program[MAX_PATH];
    if (!BuildArguments(parameters, "/u /s ", path)) return false;   // would not fit
    if (!RegSvr32Path(program)) return false;
    if (StartProgramAndWait(program, parameters, "RegSvr32.exe", path)) return true;
    char commandLine[kCommandSize];
    return BuildArguments(commandLine, "RegSvr32.exe /u /s ", path) &&
           CreateProcessAndWait(program, commandLine, path);
}

}  // namespace

bool UnregisterComServer(const char* path)
{
    if (runContext.is64BitPass) return UnregisterOutOfProcess(path);
    return UnregisterServerInProcess(path);
}
