// A DLL planted beside a program under the name of a library the program's
// process loads: when it is loaded, its DllMain appends one line to the file
// named by the environment variable WIPORA_PLANTED_LOG:
//     <this DLL's path> <the process's program path>
// It exports nothing; Wine binds a missing import to a stub and runs DllMain
// all the same, so the line is written whoever loaded it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char log[MAX_PATH], dll[MAX_PATH] = "", program[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("WIPORA_PLANTED_LOG", log, sizeof log);
    if (length == 0 || length >= sizeof log) return TRUE;
    GetModuleFileNameA(self, dll, sizeof dll);
    GetModuleFileNameA(nullptr, program, sizeof program);
    char line[2 * MAX_PATH + 4];
    int size = wsprintfA(line, "%s %s\r\n", dll, program);
    HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    DWORD written = 0;
    WriteFile(file, line, size, &written, nullptr);
    CloseHandle(file);
    return TRUE;
}
