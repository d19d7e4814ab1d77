// The fixed order in which one Clear run removes what the Web-to-Host edition
// left on the machine.
#include "services/run_context.h"
#include "services/run_log.h"
#include "services/machine_changes.h"
#include "webclear/webclear.h"

namespace {

// The Web key of this pass under the three roots, in the program's own
// (32-bit) view as SHDeleteKeyA acts. The 64-bit pass's machine-wide key lives
// in the 64-bit view, so that pass deletes it there as well.
void DeleteWebKey()
{
    const char* path = runContext.webKeyPath;
    DeleteKeyInProcessView(HKEY_LOCAL_MACHINE, path);
    DeleteKeyInProcessView(HKEY_CURRENT_USER, path);
    if (runContext.writableUserKey) DeleteKeyInProcessView(runContext.writableUserKey, path);
    if (runContext.is64BitPass) DeleteKeyInView(HKEY_LOCAL_MACHINE, path, runContext.viewAccessMask);
}

}  // namespace

// ownerWindow owns the user data question: the dialog, or null in silent runs.
void ClearWebToHost(HWND ownerWindow)
{
    SetLogTask("ActiveX controls");
    RemoveActiveXControls();
    SetLogTask("Web-to-Host file associations");
    RemoveFileAssociations(true);
    SetLogTask("Web-to-Host program files and plug-ins");
    if (runContext.osVersion.dwMajorVersion >= 6) {
        // The browser's protected mode keeps its own, low-integrity folders.
        runContext.lowIntegrityPass = 1;
        RemoveProgramFilesAndPlugins();
        runContext.lowIntegrityPass = 0;
    }
    RemoveProgramFilesAndPlugins();
    SetLogTask("Web-to-Host user data");
    if (runContext.clearUserFiles) RemoveWebUserData(ownerWindow);
    SetLogTask("Web key");
    DeleteWebKey();
}
