// Stand-in Session Manager: a window of the class given as the first argument
// (default "Ostrevan Session Manager"). Each WM_CLOSE it receives is recorded
// as "WM_CLOSE <lParam>" in the log named by the second argument (or the
// environment variable WIPORA_SESSMGR_LOG), and then the window destroys
// itself. It gives up after a minute so a failed test leaves nothing running.
#include <windows.h>
#include <cstdio>
#include <cstdlib>

static char logPath[MAX_PATH] = "";

static void Record(LPARAM lParam)
{
    if (!logPath[0]) return;
    HANDLE h = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    char line[64];
    int n = std::snprintf(line, sizeof line, "WM_CLOSE %lld\r\n", (long long)lParam);
    DWORD written;
    WriteFile(h, line, n, &written, nullptr);
    CloseHandle(h);
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        Record(lParam);
        DestroyWindow(window);
        return 0;
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char* className = __argc > 1 ? __argv[1] : "Ostrevan Session Manager";
    if (__argc > 2) lstrcpynA(logPath, __argv[2], MAX_PATH);
    else GetEnvironmentVariableA("WIPORA_SESSMGR_LOG", logPath, MAX_PATH);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc)) return 2;
    HWND window = CreateWindowA(className, "Session Manager double", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                100, nullptr, nullptr, instance, nullptr);
    if (!window) return 3;
    SetTimer(window, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
