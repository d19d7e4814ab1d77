// A small robot for the program's windows: starts the program, watches the
// top-level windows it shows, records each one (caption, text, check boxes)
// and answers it by posting a button command, until the program ends.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace robot {

struct ShownWindow {
    std::string caption;
    std::string text;     // a message box's text; a dialog's static texts, one a line
    std::string checks;   // a dialog's check boxes 203, 204, 201, 202 as "0"/"1", "-" when absent
};

// Given a window just shown, the id of the button to press (0: close it).
using Answer = std::function<int(const ShownWindow&)>;

struct Run {
    int exitCode = -1;    // -1: did not end in time and was terminated
    std::vector<ShownWindow> windows;
};

// Starts commandLine in folder and answers its windows until it ends or
// timeoutMs pass (then it is terminated).
Run RunProgram(const std::string& commandLine, const char* folder, const Answer& answer, DWORD timeoutMs);

}  // namespace robot
