// Holder: holder.exe <path> <event-name>. Opens <path> without sharing,
// signals the event "<event-name>-ready" and keeps the file open until the
// event "<event-name>-stop" is signalled (or two minutes have passed, so a
// failed test leaves nothing running). Exit code 0, or 2 when the file could
// not be opened (the ready event is signalled anyway, so no one waits).
#include <windows.h>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc < 3) return 1;
    std::string name = __argv[2];
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + "-ready").c_str());
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, (name + "-stop").c_str());
    HANDLE file = CreateFileA(__argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready) SetEvent(ready);
    if (file == INVALID_HANDLE_VALUE) return 2;
    if (stop) WaitForSingleObject(stop, 120000);
    CloseHandle(file);
    return 0;
}
