// Keeps Wine's desktop up while the whole runs are timed, as the shell that
// is always running on Windows would. Under Wine the
// desktop (explorer.exe) is started by the first process that needs it and
// ends a second after the last one has gone, so without this the first run
// after a pause would also pay for starting explorer.exe. The bench ends it;
// it ends itself after 30 minutes in any case.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "WiporaBenchDesktopHolder";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA(windowClass.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr,
                                nullptr, instance, nullptr);
    if (!window) return 2;
    SetTimer(nullptr, 0, 30 * 60 * 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) break;
        DispatchMessageA(&message);
    }
    return 0;
}
