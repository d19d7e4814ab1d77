// Placeholders until the settings lookup and the dialog land.
#include "app/confirm_dialog.h"
#include "app/settings.h"
void ReadBaseRegistry(bool) {}
void ReadGlobalIni() {}
LONG OpenSuiteKeyForRead(const char*, HKEY*) { return ERROR_FILE_NOT_FOUND; }
bool OpenUserKeyForWrite(const char*, HKEY*) { return false; }
INT_PTR CALLBACK ConfirmDialogProc(HWND d, UINT m, WPARAM w, LPARAM) {
    if (m == WM_COMMAND && LOWORD(w) == kButtonCancel) { EndDialog(d, 0); return TRUE; }
    if (m == WM_CLOSE) { EndDialog(d, 0); return TRUE; }
    return m == WM_INITDIALOG ? FALSE : FALSE;
}
void CentreOnParent(HWND) {}
void CentreWindow(HWND, HWND) {}
void GetActiveMonitorRect(RECT*) {}
int CentredOrigin(int s, int r, int w) { return s; }
