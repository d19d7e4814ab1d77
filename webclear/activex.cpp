// ActiveX control removal: the suite's controls that a browser downloaded are
// probed for use, unregistered, deleted and dropped from the code store.
#include <shlwapi.h>

#include "services/com_server.h"
#include "services/deletion_check.h"
#include "services/machine_changes.h"
#include "services/messages.h"
#include "services/path_text.h"
#include "services/run_context.h"
#include "services/run_log.h"
#include "webclear/webclear.h"

namespace {

struct ActiveXControl {
    const char* inprocServerKey;   // below HKEY_CLASSES_ROOT
    const char* clsid;             // sub-key name below the code store
};

#define CONTROL(clsid) {"CLSID\\" clsid "\\InprocServer32", clsid}

constexpr int kControlCount = 8;
constexpr int kWebToHostEntry = 7;   // the eighth entry, the Web-to-Host control

// Entries 1 to 7 are the same in both passes; the Web-to-Host control differs.
const ActiveXControl kFixedControls[kControlCount - 1] = {
    CONTROL("{3A7D1E20-5C4B-11D3-8E61-00A0C9B4D501}"),   // mainframe display
    CONTROL("{3A7D1E21-5C4B-11D3-8E61-00A0C9B4D501}"),   // AS/400 display
    CONTROL("{3A7D1E22-5C4B-11D3-8E61-00A0C9B4D501}"),   // VT display
    CONTROL("{3A7D1E23-5C4B-11D3-8E61-00A0C9B4D501}"),   // file transfer
    CONTROL("{3A7D1E24-5C4B-11D3-8E61-00A0C9B4D501}"),   // printer
    CONTROL("{5B19C0F3-0D2E-4A61-B7C8-2E4F6A1D9C30}"),   // macro
    CONTROL("{5B19C0F4-0D2E-4A61-B7C8-2E4F6A1D9C30}"),   // session launcher
};
const ActiveXControl kWebToHostControl32 = CONTROL("{4D9E2A10-3B8C-7132-A5E1-00C04F8E71A1}");
const ActiveXControl kWebToHostControl64 = CONTROL("{4D9E2A10-3B8C-7164-A5E1-00C04F8E71A1}");

#undef CONTROL

const char kCodeStoreRoot[] = "Software\\Microsoft\\Code Store Database\\Distribution Units\\";
const char kShareViolationCaption[] = "Share Violation";
const char kShareViolationFormat[] =
    "The ActiveX control file %s is currently in use by your web browser.  "
    "Please close the web browser application then retry the operation.";

const ActiveXControl& ControlAt(int index)
{
    if (index < kWebToHostEntry) return kFixedControls[index];
    return runContext.is64BitPass ? kWebToHostControl64 : kWebToHostControl32;
}

// Reads the control's file path into workPath. A value that is missing, empty
// or too long for the path buffer names no control file.
bool ReadControlPath(const ActiveXControl& control)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, control.inprocServerKey, 0,
                      KEY_READ | runContext.viewAccessMask, &key) != ERROR_SUCCESS)
        return false;
    bool read = ReadRegistryText(key, nullptr, runContext.workPath, kPathSize);
    RegCloseKey(key);
    return read && runContext.workPath[0] != '\0';
}

// False when another process holds the file without write sharing (the
// browser has the control loaded); the user is told unless quiet mode is on.
// Any other failure to open (missing file, no access) does not stop removal.
bool ControlIsFree(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return true;
    }
    if (GetLastError() != ERROR_SHARING_VIOLATION) return true;
    LogEvent("remove control", path, kLogInUseKept);
    if (!runContext.quietMode) {
        wsprintfA(runContext.workText, kShareViolationFormat, path);
        ShowMessage(nullptr, runContext.workText, kShareViolationCaption,
                    MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    }
    return false;
}

// The browser's code store keeps one key per downloaded control. SHDeleteKeyA
// acts in the program's own (32-bit) view; the 64-bit pass deletes the key in
// its own view as well, where a 64-bit browser keeps it.
void DeleteCodeStoreKey(const ActiveXControl& control)
{
    if (!CopyText(runContext.workText, kTextSize, kCodeStoreRoot) ||
        !AppendText(runContext.workText, kTextSize, control.clsid))
        return;
    DeleteKeyInProcessView(HKEY_LOCAL_MACHINE, runContext.workText);
    if (runContext.is64BitPass)
        DeleteKeyInView(HKEY_LOCAL_MACHINE, runContext.workText, runContext.viewAccessMask);
}

// folder ends in a backslash; a companion path that would not fit is skipped.
void DeleteCompanionFile(const char* folder, const char* name)
{
    char path[kPathSize];
    if (JoinPath(path, sizeof path, folder, name)) RemoveFile(path, kNormalAttributes);
}

// The Web-to-Host control's two companion files, and the browser's download
// conflict folder that held it once that is empty. A registration without a
// folder part has no companions to look for.
void RemoveWebToHostCompanions(const char* controlPath)
{
    char* folder = runContext.workText;
    if (!CopyText(folder, kPathSize, controlPath)) return;
    char* lastBackslash = LastBackslash(folder);
    if (!lastBackslash) return;
    lastBackslash[1] = '\0';

    const bool x64 = runContext.is64BitPass != 0;
    DeleteCompanionFile(folder, x64 ? "ovw2h64.ini" : "ovw2h32.ini");
    DeleteCompanionFile(folder, x64 ? "ovw2h64.inf" : "ovw2h32.inf");
    // StrStrIA steps by characters (CharNextA), so "conflict." never matches
    // from inside a double-byte character (measured under Wine, code page 932).
    if (StrStrIA(folder, "conflict.")) {
        *lastBackslash = '\0';
        RemoveEmptyFolder(folder);
    }
}

// The registered file can be one of the suite's downloaded controls only when
// the safety check allows its folder. A bare or relative name would be looked
// for along the DLL search path (the system folder first) and deleted relative
// to the current folder; a file in a protected folder (the system folder, a
// root, a profile's own folders) or behind a folder link is someone else's.
// Such a registration is passed over like a missing one: nothing is loaded,
// unregistered or deleted for it. A folder that no longer exists is still
// tested like any other: a control whose file is gone is unregistered all the
// same, and its code store key deleted when that succeeds.
void RemoveControl(int index)
{
    const ActiveXControl& control = ControlAt(index);
    if (!ReadControlPath(control)) return;
    const char* path = runContext.workPath;
    PathVerdict verdict = CheckFileFolder(path);
    if (verdict != kPathAllowed) {
        LogRefusal("remove control", path, verdict);
        return;
    }
    if (!ControlIsFree(path)) return;
    if (!UnregisterComServer(path)) return;
    DeleteCodeStoreKey(control);
    RemoveFile(path, kNormalAttributes);
    if (index == kWebToHostEntry) RemoveWebToHostCompanions(path);
}

}  // namespace

// Unregisters and deletes each of the suite's controls registered in this
// pass's view, in table order. A control in use stays registered, on disk and
// in the code store; the others are still removed.
void RemoveActiveXControls()
{
    if (!runContext.uninstallActiveX) return;
    for (int i = 0; i < kControlCount; ++i) RemoveControl(i);
}
