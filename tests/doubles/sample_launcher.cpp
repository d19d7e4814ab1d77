// Stand-in for Java Web Start and for the suite's web launcher on the sample
// machine (installed as javaws.exe and as jarvane.exe): appends
// "<own file name>\t<parameters>" to the file named by WIPORA_LAUNCH_LOG
// (default C:\samplemachine\logs\launch.log) and ends at once.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR parameters, int)
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string name = self;
    name = name.substr(name.find_last_of('\\') + 1);
    char log[MAX_PATH] = "C:\\samplemachine\\logs\\launch.log";
    GetEnvironmentVariableA("WIPORA_LAUNCH_LOG", log, sizeof log);
    HANDLE h = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 2;
    std::string line = name + "\t" + (parameters ? parameters : "") + "\r\n";
    DWORD written = 0;
    WriteFile(h, line.data(), (DWORD)line.size(), &written, nullptr);
    CloseHandle(h);
    return 0;
}
