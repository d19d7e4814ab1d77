// Drives the program through an interactive run for screenshots:
//   shotdriver.exe <shot-folder> <program> [switch ...]
// Starts the program and, for each top-level window it shows, waits until the
// window is idle and painted, writes "<shot-folder>\NN.txt" (caption, then the
// window's place as WxH+X+Y, then its text), waits until the screenshot taker
// on the Linux side creates "<shot-folder>\NN.done", and answers the window:
// the dialog with Yes (205), a message box with Yes where it has one, else OK.
// At the end it writes "<shot-folder>\exit.txt" with the program's exit code
// and returns that code; 90 when the program cannot be started, 91 when a
// screenshot is not taken in time, 92 when the program does not end.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "support/robot.h"

namespace {

constexpr int kButtonYes = 205;
constexpr DWORD kShotTimeoutMs = 60000;
constexpr DWORD kRunTimeoutMs = 300000;

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Written under a temporary name and renamed, so the reader never sees half a file.
bool WriteWhole(const std::string& path, const std::string& text)
{
    std::string temporary = path + ".part";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    CloseHandle(file);
    return ok && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool WaitForFile(const std::string& path, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!FileExists(path)) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

std::string Describe(HWND window)
{
    RECT r = robot::WindowRect(window);
    char place[64];
    snprintf(place, sizeof place, "%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left, r.top);
    std::string text = robot::HasControl(window, robot::kMessageBoxTextId) ? robot::MessageBoxText(window) : "";
    return robot::Text(window) + "\n" + place + "\n" + text + "\n";
}

void Answer(HWND window)
{
    if (robot::HasControl(window, kButtonYes)) robot::PostCommand(window, kButtonYes);
    else if (robot::HasControl(window, IDYES)) robot::PostCommand(window, IDYES);
    else if (robot::HasControl(window, IDOK)) robot::PostCommand(window, IDOK);
    else robot::CloseWindow(window);
}

std::string Quoted(const char* argument)
{
    std::string text = argument;
    return text.find(' ') == std::string::npos ? text : "\"" + text + "\"";
}

// Shows one window to the screenshot taker and answers it; false when the
// screenshot is not taken in time.
bool Shoot(const robot::Process& program, HWND window, const std::string& folder, int number)
{
    robot::WaitForIdle(program, 2000);
    robot::Settle(window, 500);
    char name[16];
    snprintf(name, sizeof name, "%02d", number);
    std::string base = folder + "\\" + name;
    if (!WriteWhole(base + ".txt", Describe(window))) return false;
    if (!WaitForFile(base + ".done", kShotTimeoutMs)) return false;
    Answer(window);
    robot::WaitForWindowGone(window, 5000);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return 2;
    std::string folder = argv[1];
    std::string command;
    for (int i = 2; i < argc; ++i) command += (i > 2 ? " " : "") + Quoted(argv[i]);
    robot::Process program;
    if (!robot::Start(command, &program)) return 90;
    std::set<HWND> shown;
    int number = 0, result = 0;
    DWORD start = GetTickCount();
    while (robot::IsRunning(program) && result == 0) {
        if (GetTickCount() - start >= kRunTimeoutMs) result = 92;
        for (HWND window : robot::TopWindowsOf(program.id)) {
            if (result || !IsWindowVisible(window) || !shown.insert(window).second) continue;
            if (!Shoot(program, window, folder, ++number)) result = 91;
        }
        Sleep(50);
    }
    if (result == 0) result = robot::WaitForExit(&program, 5000);
    robot::Stop(&program);
    WriteWhole(folder + "\\exit.txt", std::to_string(result) + "\n");
    return result;
}
