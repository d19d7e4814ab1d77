#include "services/run_context.h"
#include <cstring>

RunContext runContext;

const char kDesktopProductCode[] = "{6F2B7C41-7A10-4E3B-9C55-0B7E71A0C711}";
const char kSessionManagerClassBase[] = "Ostrevan Session Manager";
const char kSuiteVersion[] = "7.1";

// Start-menu titles of the suite's modules in the program group (".LNK" is appended).
static const char* const kGroupShortcuts[kGroupShortcutCount] = {
    "Ostrevan Session Manager", "Ostrevan FTP Client", "Ostrevan Script Editor",
    "Ostrevan Macro Editor", "Ostrevan Print Server", "Ostrevan Configuration",
    "Ostrevan Keyboard Mapper", "Ostrevan Trace Viewer", "Ostrevan Readme",
    "Ostrevan Uninstall", "Mainframe Display", "AS400 Display", "Unisys Display",
    "VT Display", "HP Display", "Tandem Display", "Mainframe Printer",
    "AS400 Printer", "Unisys Printer",
};

void ResetRunContext()
{
    std::memset(&runContext, 0, sizeof runContext);
    lstrcpyA(runContext.productKeyPath, "Software\\Ostrevan\\7.1");
    runContext.allowCrossVersionInterop = 1;
    lstrcpyA(runContext.webKeyPath, "Software\\Ostrevan Web\\7.1");
    lstrcpyA(runContext.sessionManagerClass, kSessionManagerClassBase);
    lstrcpyA(runContext.desktopProductCode, kDesktopProductCode);
    runContext.viewAccessMask = KEY_WOW64_32KEY;
    lstrcpyA(runContext.uninstallTargetDir, "C:\\Ostrevan");
    for (int i = 0; i < kGroupShortcutCount; ++i)
        lstrcpyA(runContext.groupShortcutNames[i], kGroupShortcuts[i]);
    runContext.writableUserKey = nullptr;
}

bool OnNtPlatform() { return runContext.osVersion.dwPlatformId == VER_PLATFORM_WIN32_NT; }

void SelectRegistryView()
{
    if (runContext.is64BitPass) {
        lstrcpyA(runContext.productKeyPath, "Software\\Ostrevan (64-bit)\\7.1");
        lstrcpyA(runContext.webKeyPath, "Software\\Ostrevan Web (64-bit)\\7.1");
        runContext.viewAccessMask = KEY_WOW64_64KEY;
    } else {
        lstrcpyA(runContext.productKeyPath, "Software\\Ostrevan\\7.1");
        lstrcpyA(runContext.webKeyPath, "Software\\Ostrevan Web\\7.1");
        runContext.viewAccessMask = KEY_WOW64_32KEY;
    }
    lstrcpyA(runContext.sessionManagerClass, kSessionManagerClassBase);
}

// The record is statically allocated with its initial values in place before
// WinMain runs.
namespace {
struct RunContextInit { RunContextInit() { ResetRunContext(); } } runContextInit;
}
