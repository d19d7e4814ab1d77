// Window placement: centring a window on its reference window or, without
// one, on the monitor the user is working on.
#include "app/confirm_dialog.h"

// Both differences below are non-negative, so integer division rounds down.
int CentredOrigin(int refStart, int refSize, int size)
{
    if (refSize > size) return refStart + (refSize - size) / 2;
    return refStart - (size - refSize) / 2;
}

// The full rectangle (taskbar area included) of the monitor nearest to the
// foreground window.
void GetActiveMonitorRect(RECT* rect)
{
    HMONITOR monitor = MonitorFromWindow(GetForegroundWindow(), MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = 40;   // sizeof(MONITORINFO): the form without a device name
    if (GetMonitorInfoA(monitor, &info)) *rect = info.rcMonitor;
}

static void MonitorRectOf(const RECT& area, RECT* rect)
{
    HMONITOR monitor = MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = 40;
    if (GetMonitorInfoA(monitor, &info)) *rect = info.rcMonitor;
}

// The rectangle a window is centred on: a visible, not minimised reference by
// its window rectangle; a minimised one by its restored rectangle; a hidden
// one, or one that would restore maximised, by the monitor of its restored
// rectangle; no usable reference by the active monitor.
static RECT ReferenceRect(HWND reference)
{
    RECT rect = {};
    if (!reference || !IsWindow(reference)) {
        GetActiveMonitorRect(&rect);
        return rect;
    }
    bool visible = IsWindowVisible(reference) != FALSE;
    WINDOWPLACEMENT placement = {};
    placement.length = 44;   // sizeof(WINDOWPLACEMENT)
    GetWindowPlacement(reference, &placement);
    if (visible && placement.showCmd != SW_SHOWMINIMIZED) {
        GetWindowRect(reference, &rect);
        return rect;
    }
    rect = placement.rcNormalPosition;
    if (!visible || (placement.flags & WPF_RESTORETOMAXIMIZED)) MonitorRectOf(rect, &rect);
    return rect;
}

// Moves window, keeping its size and Z order and without activating it, so
// that its centre lies on the centre of the reference rectangle. The result
// is not clamped to a monitor.
void CentreWindow(HWND window, HWND reference)
{
    RECT own = {};
    GetWindowRect(window, &own);
    RECT ref = ReferenceRect(reference);
    int x = CentredOrigin(ref.left, ref.right - ref.left, own.right - own.left);
    int y = CentredOrigin(ref.top, ref.bottom - ref.top, own.bottom - own.top);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CentreOnParent(HWND window)
{
    CentreWindow(window, GetParent(window));
}
