// Holds a file open without sharing until told to stop:
//   holder.exe <path> <event-name>
// Opens <path> (read access, share mode 0), signals "<event-name>-ready",
// waits for "<event-name>-stop", closes the file. Exit codes: 0 after a stop,
// 2 for a bad command line, 3 when the file cannot be opened.
#include <windows.h>
#include <string>

static HANDLE NamedEvent(const std::string& name)
{
    return CreateEventA(nullptr, TRUE, FALSE, name.c_str());   // or opens the existing one
}

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    std::string base = argv[2];
    HANDLE ready = NamedEvent(base + "-ready");
    HANDLE stop = NamedEvent(base + "-stop");
    if (!ready || !stop) return 2;
    SetEvent(ready);
    WaitForSingleObject(stop, INFINITE);
    CloseHandle(file);
    CloseHandle(ready);
    CloseHandle(stop);
    return 0;
}
