// Every message box of the program goes through here, so component tests can
// script the answers without a display.
#pragma once
#include <windows.h>

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style);

// Test seam: when set, called instead of MessageBoxA.
using MessageHook = int (*)(HWND owner, const char* text, const char* caption, UINT style);
void SetMessageHook(MessageHook hook);
