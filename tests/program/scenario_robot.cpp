#include "program/scenario_robot.h"

#include <set>

namespace robot {

namespace {

struct Search {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleWindowsOf(DWORD processId)
{
    Search search{processId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string TextOf(HWND window)
{
    char text[4096] = "";
    if (window) GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string CheckStates(HWND dialog)
{
    std::string states;
    for (int id : {203, 204, 201, 202}) {
        HWND box = GetDlgItem(dialog, id);
        if (!box) {
            states += '-';
            continue;
        }
        LRESULT state = SendMessageA(box, BM_GETCHECK, 0, 0);
        states += state == BST_CHECKED ? '1' : '0';
        if (!IsWindowEnabled(box)) states += 'd';   // disabled
    }
    return states;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM parameter)
{
    char className[32] = "";
    GetClassNameA(child, className, sizeof className);
    std::string text = TextOf(child);
    auto* texts = reinterpret_cast<std::string*>(parameter);
    bool icon = (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    if (lstrcmpiA(className, "Static") == 0 && !icon && !text.empty())
        *texts += (texts->empty() ? "" : "\n") + text;
    return TRUE;
}

// A message box's text is its static control 65535; a dialog's, the texts of
// its static controls in order.
std::string MessageOf(HWND window)
{
    HWND box = GetDlgItem(window, 0xFFFF);
    if (box) return TextOf(box);
    std::string texts;
    EnumChildWindows(window, CollectStaticText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

ShownWindow Describe(HWND window)
{
    return {TextOf(window), MessageOf(window), CheckStates(window)};
}

// Presses a button by the command its click sends, posted so that a task run
// from the command (and any box it shows) does not block the robot.
void Press(HWND window, int id)
{
    if (id == 0) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

}  // namespace

Run RunProgram(const std::string& commandLine, const char* folder, const Answer& answer, DWORD timeoutMs)
{
    Run run;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string command = commandLine;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi)) return run;
    std::set<HWND> answered;
    DWORD waited = 0;
    while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
        waited += 50;
        if (waited > timeoutMs) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
        for (HWND window : VisibleWindowsOf(pi.dwProcessId)) {
            if (!answered.insert(window).second) continue;
            Sleep(100);   // let it finish painting its controls
            run.windows.push_back(Describe(window));
            Press(window, answer(run.windows.back()));
        }
    }
    DWORD code = (DWORD)-1;
    if (waited <= timeoutMs) GetExitCodeProcess(pi.hProcess, &code);
    run.exitCode = (int)code;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

}  // namespace robot
