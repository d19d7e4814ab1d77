// Stand-in Session Manager of the sample machine: a window of the class given
// as the first argument. Every WM_CLOSE it receives is appended to the log
// named by the second argument as "<class>\tWM_CLOSE\t<wParam>\t<lParam>";
// then it closes. It ends by itself after five minutes, so that a
// forgotten stand-in cannot outlive its test run for long.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

static const char* windowClass = "Ostrevan Session Manager";
static const char* logPath = "C:\\samplemachine\\logs\\sessmgr.log";
static const UINT_PTR kLifetimeTimer = 1;

static void AppendLog(WPARAM wParam, LPARAM lParam)
{
    HANDLE h = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    char line[160];
    int n = std::snprintf(line, sizeof line, "%s\tWM_CLOSE\t%lu\t%ld\r\n", windowClass, (unsigned long)wParam,
                          (long)lParam);
    DWORD written = 0;
    WriteFile(h, line, (DWORD)n, &written, nullptr);
    CloseHandle(h);
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        AppendLog(wParam, lParam);
        DestroyWindow(window);
        return 0;
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (__argc > 1) windowClass = __argv[1];
    if (__argc > 2) logPath = __argv[2];
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = windowClass;
    if (!RegisterClassA(&wc)) return 2;
    HWND window = CreateWindowA(windowClass, "Session Manager (sample machine)", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                100, nullptr, nullptr, instance, nullptr);
    if (!window) return 3;
    SetTimer(window, kLifetimeTimer, 5 * 60 * 1000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
