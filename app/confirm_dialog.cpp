// The confirmation dialog of the first Clear run: the four optional tasks as
// check boxes, preset from the switches; Yes runs the tasks from inside the
// dialog, Cancel and closing it end the program.
#include "app/confirm_dialog.h"

#include "services/run_context.h"
#include "desktop/desktop.h"
#include "webclear/webclear.h"

// The dialog is shown only in the first Clear run, which uses the 32-bit view.
static const char kConfirmCaption[] = "Ostrevan Wipora Utility (32-bit) v7.1";

static void CheckIfSet(HWND dialog, int box, BYTE flag)
{
    if (flag) CheckDlgButton(dialog, box, BST_CHECKED);
}

static bool IsBoxChecked(HWND dialog, int box)
{
    return IsDlgButtonChecked(dialog, box) == BST_CHECKED;
}

static void InitConfirmDialog(HWND dialog)
{
    SetWindowTextA(dialog, kConfirmCaption);
    CheckIfSet(dialog, kBoxUserFiles, runContext.clearUserFiles);
    CheckIfSet(dialog, kBoxActiveX, runContext.uninstallActiveX);
    CheckIfSet(dialog, kBoxInternetCache, runContext.clearInternetCache);
    CheckIfSet(dialog, kBoxServedDesktop, runContext.uninstallServedDesktop);
    // The driver has already cleared uninstallActiveX, so the box is unchecked too.
    if (runContext.desktopProductInstalled) EnableWindow(GetDlgItem(dialog, kBoxActiveX), FALSE);
    CentreOnParent(dialog);
}

// Yes: the boxes are read in the order 203, 204 (before the Web-to-Host clear
// sequence, after which 203 is unchecked when its question was answered No),
// 201 (after it) and 202 (after the cache clearing). The flags stay for the
// second, silent run.
static void RunConfirmedTasks(HWND dialog)
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    runContext.clearUserFiles = IsBoxChecked(dialog, kBoxUserFiles) ? 1 : 0;
    runContext.uninstallActiveX = IsBoxChecked(dialog, kBoxActiveX) ? 1 : 0;
    ClearWebToHost(dialog);
    // The user data question, answered No, cleared clearUserFiles: the box shows it.
    if (!runContext.clearUserFiles) CheckDlgButton(dialog, kBoxUserFiles, BST_UNCHECKED);
    runContext.clearInternetCache = IsBoxChecked(dialog, kBoxInternetCache) ? 1 : 0;
    if (runContext.clearInternetCache) ClearInternetCache();
    runContext.uninstallServedDesktop = IsBoxChecked(dialog, kBoxServedDesktop) ? 1 : 0;
    if (runContext.uninstallServedDesktop) UninstallServedDesktop();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    EndDialog(dialog, 1);
}

// Only Yes and Cancel act; the IDOK and IDCANCEL that Enter and Esc produce
// do nothing (the notification code is not looked at).
static void OnConfirmCommand(HWND dialog, WORD id)
{
    if (id == kButtonYes) RunConfirmedTasks(dialog);
    else if (id == kButtonCancel) EndDialog(dialog, 0);
}

INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitConfirmDialog(dialog);
        return FALSE;   // the system sets no initial keyboard focus
    case WM_COMMAND:
        OnConfirmCommand(dialog, LOWORD(wParam));
        return 0;
    case WM_CLOSE:   // the caption's close button, Alt+F4
        EndDialog(dialog, 0);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;   // Windows may end the session
    default:
        return FALSE;
    }
}
