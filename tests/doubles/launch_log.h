// Shared by the javaws and jarvane doubles: appends this process's command
// line to the launch log (WIPORA_LAUNCH_LOG, or C:\wipora-tests\launch.log).
#pragma once
#include <windows.h>

inline void AppendCommandLineToLaunchLog()
{
    char log[MAX_PATH] = "C:\\wipora-tests\\launch.log";
    DWORD n = GetEnvironmentVariableA("WIPORA_LAUNCH_LOG", log, MAX_PATH);
    if (n >= MAX_PATH) return;
    if (n == 0) lstrcpyA(log, "C:\\wipora-tests\\launch.log");
    HANDLE h = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    const char* line = GetCommandLineA();
    DWORD written;
    WriteFile(h, line, lstrlenA(line), &written, nullptr);
    WriteFile(h, "\r\n", 2, &written, nullptr);
    CloseHandle(h);
}
