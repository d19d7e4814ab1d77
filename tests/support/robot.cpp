#include "support/robot.h"

#include <cstdio>

namespace robot {

namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 2000;

struct FindRequest {
    const std::string* caption;
    DWORD processId;
    HWND found;
};

DWORD ProcessOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

BOOL CALLBACK MatchCaption(HWND window, LPARAM param)
{
    auto* request = reinterpret_cast<FindRequest*>(param);
    if (request->processId && ProcessOf(window) != request->processId) return TRUE;
    // The caption as the window manager keeps it: never waits for a busy window.
    char caption[512] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (*request->caption != caption) return TRUE;
    request->found = window;
    return FALSE;
}

BOOL CALLBACK CollectOfProcess(HWND window, LPARAM param)
{
    auto* request = reinterpret_cast<std::pair<DWORD, std::vector<HWND>*>*>(param);
    if (ProcessOf(window) == request->first) request->second->push_back(window);
    return TRUE;
}

// Sends a message that only reads state; a window that does not answer in
// time gives fallback.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT fallback)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result))
        return fallback;
    return static_cast<LRESULT>(result);
}

}  // namespace

bool Start(const std::string& commandLine, Process* process, const std::string& workingDir)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process->handle = info.hProcess;
    process->id = info.dwProcessId;
    return true;
}

int WaitForExit(Process* process, DWORD timeoutMs)
{
    if (!process->handle) return kExitTimedOut;
    if (WaitForSingleObject(process->handle, timeoutMs) != WAIT_OBJECT_0) return kExitTimedOut;
    DWORD code = 0;
    GetExitCodeProcess(process->handle, &code);
    return static_cast<int>(code);
}

bool IsRunning(const Process& process)
{
    return process.handle && WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT;
}

bool WaitForIdle(const Process& process, DWORD timeoutMs)
{
    return process.handle && WaitForInputIdle(process.handle, timeoutMs) == 0;
}

void Stop(Process* process)
{
    if (!process->handle) return;
    if (IsRunning(*process)) {
        TerminateProcess(process->handle, 99);
        WaitForSingleObject(process->handle, kDefaultTimeoutMs);
    }
    CloseHandle(process->handle);
    process->handle = nullptr;
    process->id = 0;
}

HWND FindTopWindow(const std::string& caption, DWORD processId)
{
    FindRequest request = {&caption, processId, nullptr};
    EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

HWND WaitForWindow(const std::string& caption, DWORD timeoutMs, DWORD processId)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = FindTopWindow(caption, processId);
        if (found) return found;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(kPollMs);
    }
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(kPollMs);
    }
    return true;
}

std::vector<HWND> TopWindowsOf(DWORD processId)
{
    std::vector<HWND> windows;
    std::pair<DWORD, std::vector<HWND>*> request(processId, &windows);
    EnumWindows(CollectOfProcess, reinterpret_cast<LPARAM>(&request));
    return windows;
}

std::string Text(HWND window)
{
    if (!window) return "";
    char buf[4096] = "";
    LRESULT got = Ask(window, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), -1);
    if (got < 0) GetWindowTextA(window, buf, sizeof buf);
    buf[sizeof buf - 1] = '\0';
    return buf;
}

std::string ClassName(HWND window)
{
    char buf[256] = "";
    GetClassNameA(window, buf, sizeof buf);
    return buf;
}

std::string ControlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? Text(control) : "";
}

bool HasControl(HWND dialog, int id) { return GetDlgItem(dialog, id) != nullptr; }

int CheckState(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control) return -1;
    return static_cast<int>(Ask(control, BM_GETCHECK, 0, 0, -1));
}

bool IsControlEnabled(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control && IsWindowEnabled(control);
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

std::vector<Control> Controls(HWND window)
{
    std::vector<Control> controls;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back({GetDlgCtrlID(child), ClassName(child), Text(child), child});
    return controls;
}

bool Click(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control) return false;
    return PostMessageA(control, BM_CLICK, 0, 0) != FALSE;
}

void PostCommand(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressKey(HWND window, UINT virtualKey)
{
    UINT scan = MapVirtualKeyA(virtualKey, 0);
    PostMessageA(window, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageA(window, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

void CloseWindow(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

std::string MessageBoxText(HWND box) { return ControlText(box, kMessageBoxTextId); }

bool PressMessageBoxButton(HWND box, int buttonId) { return Click(box, buttonId); }

void Settle(HWND window, DWORD pauseMs)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Ask(window, WM_NULL, 0, 0, 0);
    Sleep(pauseMs);
}

bool SaveScreenshot(const std::string& bmpPath)
{
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;   // bottom-up, as BMP files keep it
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, GetSystemMetrics(SM_XVIRTUALSCREEN),
               GetSystemMetrics(SM_YVIRTUALSCREEN), SRCCOPY);
        GdiFlush();
        DWORD rowBytes = ((width * 3) + 3) & ~3u;
        DWORD imageBytes = rowBytes * height;
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;   // "BM"
        file.bfOffBits = sizeof file + sizeof header;
        file.bfSize = file.bfOffBits + imageBytes;
        header.biSizeImage = imageBytes;
        FILE* out = std::fopen(bmpPath.c_str(), "wb");
        if (out) {
            ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                 std::fwrite(&header, sizeof header, 1, out) == 1 &&
                 std::fwrite(bits, imageBytes, 1, out) == 1;
            ok = (std::fclose(out) == 0) && ok;
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace robot
