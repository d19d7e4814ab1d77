#include "app/run_driver.h"

#include <cstring>
#include <initializer_list>

#include "app/confirm_dialog.h"
#include "services/messages.h"
#include "services/run_context.h"
#include "services/run_log.h"
#include "services/settings.h"
#include "desktop/desktop.h"
#include "services/library_loader.h"
#include "services/path_text.h"
#include "webclear/webclear.h"

const char kUsageCaption[] = "Ostrevan Wipora Utility v7.1";
const char kUsageText[] =
    "Usage: Wipora {switch(es)}<Enter>\r\n"
    "\r\n"
    "/1  Delete All User Files\r\n"
    "/2  Uninstall ActiveX Controls\r\n"
    "/3  Delete Internet Cached Files\r\n"
    "/4  Uninstall Served Desktop\r\n"
    "/q  Quiet Mode\r\n";

bool HasSwitchWord(const char* commandLine, char letter)
{
    for (const char* p = commandLine; *p;) {
        while (*p == ' ' || *p == '\t') ++p;
        const char* word = p;
        while (*p && *p != ' ' && *p != '\t') ++p;
        if (p - word == 2 && (word[0] == '/' || word[0] == '-') && (word[1] | 0x20) == letter) return true;
    }
    return false;
}

void ParseSwitches(const char* commandLine)
{
    if (std::strchr(commandLine, '1')) runContext.clearUserFiles = 1;
    if (std::strchr(commandLine, '2')) runContext.uninstallActiveX = 1;
    if (std::strchr(commandLine, '3')) runContext.clearInternetCache = 1;
    if (std::strchr(commandLine, '4')) runContext.uninstallServedDesktop = 1;
    if (std::strchr(commandLine, 'Q') || std::strchr(commandLine, 'q')) runContext.quietMode = 1;
    if (HasSwitchWord(commandLine, 'e')) runContext.deploymentExitCodes = 1;
    if (HasSwitchWord(commandLine, 'n')) {
        runContext.previewRun = 1;
        runContext.quietMode = 1;   // a preview asks nothing and shows nothing
    }
}

int ExitCode(RunEnd end)
{
    if (runContext.previewRun) return ChangeCount() > 0 ? 1 : 0;
    if (!runContext.deploymentExitCodes) return 1;
    if (end == kRunCancelled) return kExitUserCancelled;
    DWORD left = 0;
    for (LogOutcome outcome : {kLogInUseKept, kLogAccessDenied, kLogRefusedProtected, kLogRefusedLink,
                               kLogSkippedTooLong, kLogFailed})
        left += OutcomeCount(outcome);
    if (left > 0 || end == kRunFailed) return kExitFailed;
    return OutcomeCount(kLogScheduledAtRestart) > 0 ? kExitRestartRequired : kExitSuccess;
}

// msi.dll is not one of the DLLs Windows always takes from its own folder, so it
// is loaded through the safe loader rather than imported; a DLL planted beside
// the program must not run inside it. Like an import it is loaded once and stays
// for the life of the process: the second Clear run probes again without loading
// msi.dll and its dozen dependencies a second time (about 80 ms under Wine).
static EnumProductsFn InstallerEnumeration()
{
    static bool loaded;
    static EnumProductsFn enumProducts;
    if (loaded) return enumProducts;
    loaded = true;
    HMODULE msi = LoadSystemLibrary("msi.dll");
    if (!msi) return nullptr;
    enumProducts = reinterpret_cast<EnumProductsFn>(GetProcAddress(msi, "MsiEnumProductsA"));
    if (!enumProducts) FreeLibrary(msi);
    return enumProducts;
}

void ProbeDesktopInstallation()
{
    EnumProductsFn enumProducts = InstallerEnumeration();
    if (enumProducts) ProbeWithEnumerator(enumProducts);
}

// A broken installer database (Wine lists a malformed product key as "?" with
// success) must not keep the probe going: past kMaxInstalledProducts indexes
// the desktop edition counts as not found.
void ProbeWithEnumerator(EnumProductsFn enumProducts)
{
    char code[40];
    for (DWORD index = 0; index < kMaxInstalledProducts; ++index) {
        std::memset(code, 0, sizeof code);
        if (enumProducts(index, code) != 0) return;
        code[sizeof code - 1] = '\0';
        if (lstrcmpA(code, runContext.desktopProductCode) == 0) {
            runContext.desktopProductInstalled = 1;
            runContext.uninstallActiveX = 0;
            return;
        }
    }
}

HKEY GetWritableUserKey(BYTE enable, DWORD majorVersion)
{
    HKEY result = HKEY_CURRENT_USER;
    if (!enable || majorVersion < 6) return result;
    HMODULE ieframe = LoadSystemLibrary("ieframe.dll");
    if (!ieframe) return HKEY_CURRENT_USER;
    using GetWriteable = HRESULT(WINAPI*)(HKEY*);
    auto getWriteable = reinterpret_cast<GetWriteable>(GetProcAddress(ieframe, "IEGetWriteableHKCU"));
    if (getWriteable) getWriteable(&result);
    FreeLibrary(ieframe);
    return result;
}

void CloseUserKey(HKEY key)
{
    if (key != HKEY_CURRENT_USER) RegCloseKey(key);
}

void RunTasksSilently()
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ClearWebToHost(nullptr);
    if (runContext.clearInternetCache) ClearInternetCache();
    if (runContext.uninstallServedDesktop) UninstallServedDesktop();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void PrepareClearRun(const char* commandLine)
{
    SelectRegistryView();
    runContext.lowIntegrityPass = 0;
    runContext.writableUserKey = GetWritableUserKey(1, runContext.osVersion.dwMajorVersion);
    ReadBaseRegistry(true);
    ReadGlobalIni();
    if (runContext.allowCrossVersionInterop == 0)
        AppendText(runContext.sessionManagerClass, sizeof runContext.sessionManagerClass, " 7.1");
    ParseSwitches(commandLine);
    LogOptions("after the switches");
    ProbeDesktopInstallation();
    LogOptions("after the installer probe");
}

int RunDriver(HINSTANCE instance, const char* commandLine)
{
    if (std::strchr(commandLine, '?')) {
        ShowMessage(nullptr, kUsageText, kUsageCaption, MB_ICONINFORMATION | MB_SETFOREGROUND);
        return 0;
    }
    runContext.osVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    GetVersionExA(&runContext.osVersion);
    // The switches of a whole word are known before the log opens: a preview
    // writes its log whether or not "l" is given.
    if (HasSwitchWord(commandLine, 'n')) runContext.previewRun = 1;
    OpenRunLog(commandLine);

    for (int passIndex = 0; passIndex < 2; ++passIndex) {
        PrepareClearRun(commandLine);
        if (runContext.quietMode || passIndex != 0) {
            RunTasksSilently();
        } else {
            INT_PTR confirmed = DialogBoxParamA(instance, MAKEINTRESOURCEA(kConfirmDialogId),
                                                nullptr, ConfirmDialogProc, 0);
            if (confirmed != 1) {
                // -1: the dialog could not be made, which a user did not choose.
                LogNote("confirmation dialog", "", confirmed == -1 ? "not shown: nothing removed"
                                                                   : "cancelled: nothing removed");
                CloseUserKey(runContext.writableUserKey);
                int code = ExitCode(confirmed == -1 ? kRunFailed : kRunCancelled);
                CloseRunLog(code);
                return code;
            }
        }
        CloseUserKey(runContext.writableUserKey);
        runContext.is64BitPass = !runContext.is64BitPass;
    }
    int code = ExitCode(kRunCompleted);
    CloseRunLog(code);
    return code;
}
