// The confirmation dialog (template 1001) and window placement.
#pragma once
#include <windows.h>

constexpr int kConfirmDialogId = 1001;
constexpr int kBoxUserFiles = 203;
constexpr int kBoxActiveX = 204;
constexpr int kBoxInternetCache = 201;
constexpr int kBoxServedDesktop = 202;
constexpr int kButtonYes = 205;
constexpr int kButtonCancel = 206;

INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void CentreOnParent(HWND window);
void CentreWindow(HWND window, HWND reference);
void GetActiveMonitorRect(RECT* rect);
// The placement arithmetic: the origin that centres a span of size w on a
// reference span [refStart, refStart + refSize), rounding down.
int CentredOrigin(int refStart, int refSize, int w);
