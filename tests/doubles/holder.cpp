// Holder: keeps a file open without sharing until told to stop.
// Usage: holder.exe <path> <event-name>. Opens <path> with share mode 0, sets
// the event "<event-name>-ready", then waits for "<event-name>-stop". Exit
// code 0 after the stop, 2 when the file could not be opened, 1 on bad usage.
#include <windows.h>
#include <stdlib.h>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc < 3) return 1;
    std::string name = __argv[2];
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + "-ready").c_str());
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, (name + "-stop").c_str());
    if (!ready || !stop) return 1;
    HANDLE file = CreateFileA(__argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    SetEvent(ready);
    WaitForSingleObject(stop, INFINITE);
    CloseHandle(file);
    return 0;
}
