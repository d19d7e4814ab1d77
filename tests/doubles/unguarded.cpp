// The control of the planted-library test: a GUI program that, unlike Wipora,
// leaves the library search as Windows sets it, and creates and destroys one
// window (the display driver's and theming libraries come in with it). Run
// from a folder with planted libraries, it shows that the bench catches a
// planted library that the process loads. Exit code 0, or 1 when the window
// cannot be made.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HWND window = CreateWindowExA(0, "BUTTON", "unguarded", WS_OVERLAPPEDWINDOW, 0, 0, 100, 50,
                                  nullptr, nullptr, nullptr, nullptr);
    if (!window) return 1;
    DestroyWindow(window);
    return 0;
}
