// Program files and browser plug-ins: what the browser and the applet of the
// Web-to-Host edition downloaded into the cache, temporary, plug-in, download
// and application-data folders.
#include <shlobj.h>
#include <shlwapi.h>

#include "services/folders.h"
#include "services/machine_changes.h"
#include "services/path_text.h"
#include "services/run_context.h"
#include "services/run_log.h"
#include "services/tree_delete.h"
#include "webclear/webclear.h"

namespace {

const char kCacheVersionFolder[] = "Ostrevan\\7.1";
const char kAppDataVersionFolder[] = "Ostrevan Web\\7.1";
const char kX64Folder[] = "\\x64";
const char kAppletLibrary[] = "\\Plxw2hjv.dll";

const char* const kBrowserAppPaths[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE",
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\NETSCAPE.EXE",
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\NETSCP6.EXE",
};

const char* const kPluginFiles[] = {
    "\\NPKQ3270.DLL", "\\NPKQ5250.DLL", "\\NPKQVT.DLL", "\\NPKQFTP.DLL",
    "\\NPKQPRT.DLL",  "\\NPKQMAC.DLL",  "\\NPOVW2H.DLL",
};
const char kVersionedPluginPattern[] = "\\NPOVW2H*.DLL";

const char kPluginExtensionRoot[] = "Software\\Microsoft\\Internet Explorer\\Plugins\\Extension\\";
const char* const kPluginExtensions[] = {".kq3", ".kq5", ".kqv", ".kqf", ".kqp", ".kqm", ".ow2"};

const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

const char* const kCabinetPatterns[] = {
    "OV3270*.CAB", "OV5250*.CAB", "OVVT*.CAB",   "OVFTP*.CAB",  "OVPRT*.CAB",
    "OVMAC*.CAB",  "OVSSL*.CAB",  "OVJVM*.CAB",  "OVW2H*.CAB",  "KQ3270*.CAB",
    "KQ5250*.CAB", "KQVT*.CAB",   "KQFTP*.CAB",  "KQPRT*.CAB",  "KQMAC*.CAB",
};
const char* const kControlFiles[] = {"KQ3D.OCX", "KQ5D.OCX", "KQ7V.OCX", "KQ8F.OCX", "PLXW2H.OCX"};

// The cache root's version folder of this pass (its "x64" form in the 64-bit
// pass), in the low-integrity form of the root during a low-integrity run.
bool BuildProfileFolder(char* out)
{
    if (!GetCacheRoot(out) || !EnsureBackslash(out, kPathSize) ||
        !AppendText(out, kPathSize, kCacheVersionFolder))
        return false;
    return !runContext.is64BitPass || AppendText(out, kPathSize, kX64Folder);
}

// Sales.ini names the session's desktop shortcut Sales.LNK.
void DeleteSessionShortcut(const char* profileName)
{
    char desktop[kPathSize];
    char shortcut[kPathSize];
    if (!GetDesktopFolder(desktop, true) ||
        !JoinPathOrLog(shortcut, sizeof shortcut, desktop, profileName, "delete file"))
        return;
    // The last three characters, not bytes: a name matched through its short
    // form may end in a double-byte character.
    if (!ReplaceLastCharacters(shortcut, sizeof shortcut, 3, "LNK")) return;
    RemoveFile(shortcut, kNormalAttributes);
}

void RemoveSessionProfiles(const char* profileFolder)
{
    char pattern[kPathSize];
    if (!JoinPathOrLog(pattern, sizeof pattern, profileFolder, "*.ini", "remove session profiles")) return;
    ForEachFile(pattern, [](const char* name) {
        RemoveWebLauncherDeployment(name);
        DeleteSessionShortcut(name);
    });
}

// Every file of the version folder goes, profiles included; its sub-folders
// (the 64-bit pass's "x64" among them) are neither entered nor touched.
void RemoveCacheFiles(const char* profileFolder)
{
    char pattern[kPathSize];
    if (!FolderMayBeEmptied("delete files", profileFolder)) return;
    if (!JoinPathOrLog(pattern, sizeof pattern, profileFolder, "*.*", "delete files")) return;
    ForEachFile(pattern, [profileFolder](const char* name) {
        char path[kPathSize];
        if (JoinPathOrLog(path, sizeof path, profileFolder, name, "delete file"))
            RemoveFile(path, kNormalAttributes);
    });
}

// The long form of the plain temporary folder, in every run and pass.
bool GetLongTempFolder(char* out)
{
    DWORD length = GetTempPathA(kPathSize, out);
    if (length == 0 || length >= (DWORD)kPathSize) return false;
    char longForm[kPathSize];
    length = GetLongPathNameA(out, longForm, sizeof longForm);
    if (length > 0 && length < sizeof longForm) lstrcpyA(out, longForm);
    return true;
}

void RemoveAppletLibrary()
{
    char path[kPathSize];
    if (!GetLongTempFolder(path) || !EnsureBackslash(path, sizeof path) ||
        !AppendText(path, sizeof path, kCacheVersionFolder) ||
        !AppendText(path, sizeof path, kAppletLibrary))
        return;
    RemoveFile(path, kKeepAttributes);
    // The cuts take off what was appended above, all single-byte characters.
    size_t length = lstrlenA(path);
    path[length - lstrlenA(kAppletLibrary)] = '\0';
    RemoveEmptyFolder(path);                      // <temp>\Ostrevan\7.1
    path[lstrlenA(path) - 4] = '\0';              // cut "\7.1"
    RemoveEmptyFolder(path);                      // <temp>\Ostrevan
}

// The browser's Plugins folder from its App Paths registration in this pass's
// view, into out (260 bytes). False when the browser is not registered, its
// executable cannot be read, names no folder or a relative one (which the
// current folder would decide), or the folder would not fit.
bool ReadPluginFolder(const char* appPathsKey, char* out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, appPathsKey, 0, KEY_READ | runContext.viewAccessMask,
                      &key) != ERROR_SUCCESS)
        return false;
    char* executable = runContext.workText;
    bool found = false;
    if (ReadRegistryText(key, nullptr, executable, kTextSize)) {
        // The last backslash character, found from the start: scanning back
        // byte by byte could stop at the trail byte of a double-byte character.
        char* lastBackslash = LastBackslash(executable);
        if (lastBackslash && IsAbsolutePath(executable)) {
            *lastBackslash = '\0';
            found = CopyText(out, kPathSize, executable) && AppendText(out, kPathSize, "\\Plugins");
        }
    }
    RegCloseKey(key);
    return found;
}

void RemovePluginFiles(const char* pluginFolder)
{
    char path[kPathSize];
    for (const char* name : kPluginFiles) {
        if (CopyText(path, sizeof path, pluginFolder) && AppendText(path, sizeof path, name))
            RemoveFile(path, kNormalAttributes);
    }
    char pattern[kPathSize];
    if (!CopyText(pattern, sizeof pattern, pluginFolder) ||
        !AppendText(pattern, sizeof pattern, kVersionedPluginPattern))
        return;
    ForEachFile(pattern, [pluginFolder](const char* name) {
        char match[kPathSize];
        if (JoinPath(match, sizeof match, pluginFolder, name)) RemoveFile(match, kNormalAttributes);
    });
}

void DeletePluginExtensionKeys()
{
    char path[kPathSize];
    for (const char* extension : kPluginExtensions) {
        if (CopyText(path, sizeof path, kPluginExtensionRoot) && AppendText(path, sizeof path, extension))
            DeleteKeyInProcessView(HKEY_LOCAL_MACHINE, path);
    }
}

// Internet Explorer, Netscape, Netscape 6. Internet Explorer's extension keys
// go whether or not it is registered.
void RemoveBrowserPlugins()
{
    for (size_t i = 0; i < sizeof kBrowserAppPaths / sizeof kBrowserAppPaths[0]; ++i) {
        if (ReadPluginFolder(kBrowserAppPaths[i], runContext.workPath))
            RemovePluginFiles(runContext.workPath);
        if (i == 0) DeletePluginExtensionKeys();
    }
}

// The downloaded program files folder ("ActiveXCache", read in this pass's
// view) with a trailing backslash, into out (260 bytes).
bool ReadDownloadFolder(char* out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInternetSettings, 0, KEY_READ | runContext.viewAccessMask,
                      &key) != ERROR_SUCCESS)
        return false;
    bool read = ReadRegistryText(key, "ActiveXCache", runContext.workText, kTextSize) &&
                runContext.workText[0] != '\0' && CopyText(out, kPathSize, runContext.workText) &&
                EnsureBackslash(out, kPathSize);
    RegCloseKey(key);
    return read;
}

void RemoveCabinetsAndControls()
{
    char* folder = runContext.workPath;
    // A value naming a system folder or a link leaves it alone: the control
    // file names are generic enough to be someone else's there.
    if (!ReadDownloadFolder(folder)) return;
    if (!FolderMayBeEmptied("delete files", folder)) return;
    char path[kPathSize];
    for (const char* pattern : kCabinetPatterns) {
        if (JoinPathOrLog(path, sizeof path, folder, pattern, "delete files")) DeleteTree(path, true);
    }
    for (const char* name : kControlFiles) {
        if (JoinPathOrLog(path, sizeof path, folder, name, "delete file")) RemoveFile(path, kNormalAttributes);
    }
}

// <appdata>\Ostrevan Web\7.1 (its "x64" sub-folder in the 64-bit pass), below
// LocalLow in a low-integrity run. The 32-bit pass descends into "x64" too.
void RemoveApplicationData()
{
    char folder[kPathSize];
    if (ResolveFolder(CSIDL_APPDATA, folder) != S_OK || !EnsureBackslash(folder, sizeof folder) ||
        !AppendText(folder, sizeof folder, kAppDataVersionFolder))
        return;
    if (runContext.is64BitPass && !AppendText(folder, sizeof folder, kX64Folder)) return;
    char pattern[kPathSize];
    if (!JoinPathOrLog(pattern, sizeof pattern, folder, "*.*", "delete files")) return;
    DeleteTree(pattern, true);
    if (runContext.is64BitPass) {
        RemoveEmptyFolder(folder);                         // ...\7.1\x64
        folder[lstrlenA(folder) - lstrlenA(kX64Folder)] = '\0';
    }
    RemoveEmptyFolder(folder);                             // ...\7.1
}

}  // namespace

void RemoveProgramFilesAndPlugins()
{
    AskWindowToClose(runContext.sessionManagerClass, kSessionManagerCloseCode);   // not waited for
    char profileFolder[kPathSize];
    if (BuildProfileFolder(profileFolder)) {
        RemoveSessionProfiles(profileFolder);
        RemoveCacheFiles(profileFolder);
    }
    RemoveAppletLibrary();
    RemoveBrowserPlugins();
    RemoveDownloadedProgramFiles();
}

void RemoveDownloadedProgramFiles()
{
    if (runContext.uninstallActiveX) RemoveCabinetsAndControls();
    RemoveApplicationData();
}
