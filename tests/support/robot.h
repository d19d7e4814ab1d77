// A small GUI robot for tests under Xvfb: starts a program, finds its windows
// by caption, reads their texts and check boxes, presses buttons and keys,
// and waits for the program to end. Every wait has a time-out, so a test
// that does not find what it expects fails instead of hanging.
//
// Wine under Xvfb has no window manager: windows cannot be activated from
// outside (xdotool does not help), so the robot works with window messages
// only. Messages that make the target run code (a click, a command, a key)
// are posted, never sent, because a dialog may run long tasks in its command
// handler; messages that read state are sent with a time-out.
//
// Screenshots: SaveScreenshot below writes the Wine desktop as a BMP file from
// inside the prefix. From the Linux side, the same picture as PNG is
//     DISPLAY=$(cat build/wine/display) import -window root file.png
// (ImageMagick; build/wine/display holds the bench's Xvfb display).
//
// Typical use:
//     robot::Process p;
//     ASSERT_TRUE(robot::Start("\"C:\\bin\\Wipora.exe\" /1 /3", &p));
//     HWND dialog = robot::WaitForWindow("Ostrevan Wipora Utility (32-bit) v7.1", 5000, p.id);
//     EXPECT_EQ(robot::CheckState(dialog, 203), BST_CHECKED);
//     robot::Click(dialog, 206);
//     EXPECT_EQ(robot::WaitForExit(&p, 5000), 1);
//     robot::Stop(&p);   // always: ends the process if it is still running
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace robot {

constexpr DWORD kDefaultTimeoutMs = 5000;
constexpr int kExitTimedOut = -1;           // WaitForExit: still running
constexpr int kMessageBoxTextId = 0xFFFF;   // the static control holding a message box's text

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
};

// Starts commandLine (program path quoted where it holds blanks) with
// CreateProcessA, in workingDir when given. False when it cannot be started.
bool Start(const std::string& commandLine, Process* process, const std::string& workingDir = "");
// Waits up to timeoutMs for the process to end: its exit code, or
// kExitTimedOut when it is still running (it is left running).
int WaitForExit(Process* process, DWORD timeoutMs = kDefaultTimeoutMs);
bool IsRunning(const Process& process);
// Waits up to timeoutMs until the process waits for input with nothing queued
// (WaitForInputIdle): its windows have handled their first messages.
bool WaitForIdle(const Process& process, DWORD timeoutMs = kDefaultTimeoutMs);
// Ends the process if it still runs and releases its handle. Safe to call twice.
void Stop(Process* process);

// A visible or hidden top-level window whose caption is exactly caption,
// belonging to processId (0: any process); null when there is none.
HWND FindTopWindow(const std::string& caption, DWORD processId = 0);
// Polls FindTopWindow until it finds the window or timeoutMs passes (null).
HWND WaitForWindow(const std::string& caption, DWORD timeoutMs = kDefaultTimeoutMs,
                   DWORD processId = 0);
// Waits until window no longer exists; false on time-out.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);
// The top-level windows of a process, in Z order.
std::vector<HWND> TopWindowsOf(DWORD processId);

// Reading. Texts of another process's windows are fetched with WM_GETTEXT
// (sent with a time-out); "" when the window does not answer.
std::string Text(HWND window);
std::string ClassName(HWND window);
std::string ControlText(HWND dialog, int id);
bool HasControl(HWND dialog, int id);
// BM_GETCHECK of a button: BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE; -1
// when the control is missing or does not answer.
int CheckState(HWND dialog, int id);
bool IsControlEnabled(HWND dialog, int id);
RECT WindowRect(HWND window);
// All child controls of a window as (id, class, text), in Z order (tab order
// for a dialog).
struct Control { int id; std::string className, text; HWND window; };
std::vector<Control> Controls(HWND window);

// Acting (all posted).
// Posts BM_CLICK to the button id: the button sends its own BN_CLICKED, an
// automatic check box toggles first. False when there is no such control.
bool Click(HWND dialog, int id);
// Posts WM_COMMAND with id and BN_CLICKED, as a button of that id would.
void PostCommand(HWND dialog, int id);
// Posts a key press (WM_KEYDOWN, WM_KEYUP) to window; a dialog's message
// loop turns Enter and Esc into IDOK and IDCANCEL commands.
void PressKey(HWND window, UINT virtualKey);
// Posts WM_CLOSE: the caption's close button (and Alt+F4) as the window sees it.
void CloseWindow(HWND window);

// Message boxes: their caption is the window text, their message the static
// control 65535; buttons have the ids IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7.
std::string MessageBoxText(HWND box);
bool PressMessageBoxButton(HWND box, int buttonId);

// Makes window and its controls paint now and gives the display pauseMs to
// show it: call before a screenshot.
void Settle(HWND window, DWORD pauseMs = 200);
// Writes the whole Wine desktop as a 24-bit BMP file; false on failure.
bool SaveScreenshot(const std::string& bmpPath);

}  // namespace robot
