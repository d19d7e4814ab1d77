// A program that does nothing: the floor for a process start under Wine.
#include <windows.h>
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 1; }
