// File association removal: the suite's ProgIDs and extensions under the
// machine's and the current user's Software\Classes, when the probe's open
// command says they belong to the edition being removed.
#include <shlobj.h>
#include <cstring>
#include <initializer_list>

#include "services/run_context.h"
#include "services/path_text.h"
#include "services/machine_changes.h"
#include "webclear/webclear.h"

namespace {

struct Association {
    const char* progId;
    const char* extension;
};

// The first pair is the probe: its open command decides for all thirteen.
const Association kAssociations[] = {
    {"Ostrevan.MainframeDisplay.7.1", ".ovd"},
    {"Ostrevan.MainframePrinter.7.1", ".ovp"},
    {"Ostrevan.AS400Display.7.1", ".ova"},
    {"Ostrevan.AS400Printer.7.1", ".ovr"},
    {"Ostrevan.VTDisplay.7.1", ".ovv"},
    {"Ostrevan.FTPClient.7.1", ".ovf"},
    {"Ostrevan.UnisysDisplay.7.1", ".ovu"},
    {"Ostrevan.Macro.7.1", ".ovm"},
    {"Ostrevan.Script.7.1", ".ovs"},
    {"Ostrevan.KeyboardMap.7.1", ".ovk"},
    {"Ostrevan.ColorScheme.7.1", ".ovc"},
    {"Ostrevan.Hotspots.7.1", ".ovh"},
    {"Ostrevan.TransferList.7.1", ".ovl"},
};

const char kOpenCommandFormat[] = "Software\\Classes\\%s\\shell\\open\\command";
const char kClassFormat[] = "Software\\Classes\\%s";
// The Web-to-Host edition opens its documents with this switch; the desktop
// edition without it. Case-sensitive: "/KQ" is not the switch.
const char kWebToHostSwitch[] = "/kq";

// Whether the open command of the probe ProgID under root belongs to the
// edition being removed. A missing key or an unreadable command matches neither.
bool RootMatches(HKEY root, bool webToHost)
{
    char buffer[kPathSize];
    wsprintfA(buffer, kOpenCommandFormat, kAssociations[0].progId);
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, buffer, 0, KEY_READ | runContext.viewAccessMask, &key) != ERROR_SUCCESS)
        return false;
    bool matches = false;
    if (ReadRegistryText(key, nullptr, buffer, sizeof buffer)) {
        bool hasSwitch = std::strstr(buffer, kWebToHostSwitch) != nullptr;
        matches = hasSwitch == webToHost;
    }
    RegCloseKey(key);
    return matches;
}

// SHDeleteKeyA acts in the program's own (32-bit) view. The machine's
// classes are redirected per view on some systems (Windows Vista, and Wine),
// so the 64-bit pass, whose probe was read in the 64-bit view, deletes there
// as well.
void DeleteClassKey(HKEY root, const char* name)
{
    char path[kPathSize];
    wsprintfA(path, kClassFormat, name);
    DeleteKeyInProcessView(root, path);
    if (runContext.is64BitPass) DeleteKeyInView(root, path, runContext.viewAccessMask);
}

void DeleteAssociations(HKEY root)
{
    for (const Association& association : kAssociations) {
        DeleteClassKey(root, association.progId);
        DeleteClassKey(root, association.extension);
    }
}

}  // namespace

// webToHost true removes the associations whose open command carries "/kq"
// (the Web-to-Host edition's), false those without it (the desktop edition's).
// Each root is judged on its own; the shell is told once if anything went.
void RemoveFileAssociations(bool webToHost)
{
    bool changed = false;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        if (!RootMatches(root, webToHost)) continue;
        changed = true;
        DeleteAssociations(root);
    }
    if (changed) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
