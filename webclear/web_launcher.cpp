// Web launcher removal: asks Java Web Start and the suite's web launcher to
// uninstall the deployment of one session, found through its session profile.
#include <windows.h>
#include <cstring>
#include <initializer_list>

#include "services/folders.h"
#include "services/machine_changes.h"
#include "services/path_text.h"
#include "services/run_context.h"
#include "webclear/webclear.h"

namespace {

const char kProfileSection[] = "Session Manager";
const char kDisplayNameKey[] = "DisplayName";
const char kJnlpDescriptor[] = "ovw2h.jnlp";
const char kLauncherDescriptor[] = "ovw2h.ovlp";
const char kJavaWebStart[] = "javaws.exe";
const char kLauncherProgram[] = "jarvane.exe";
const char kUninstallSwitch[] = "-uninstall ";
const char kInstallDirValue[] = "InstallDir";

const char* const kLauncherKeys[] = {
    "Software\\Calderwick\\Jarvane for Ostrevan",
    "Software\\WOW6432Node\\Calderwick\\Jarvane for Ostrevan",
};

// <cache root>\Ostrevan\7.1[\x64]\<profileName>
bool BuildProfilePath(const char* profileName, char* out)
{
    if (!GetCacheRoot(out) || !EnsureBackslash(out, kPathSize) ||
        !AppendText(out, kPathSize, "Ostrevan\\7.1"))
        return false;
    if (runContext.is64BitPass && !AppendText(out, kPathSize, "\\x64")) return false;
    return JoinPath(out, kPathSize, out, profileName);
}

// The session's web address. False when there is none, or when it filled the
// buffer (GetPrivateProfileStringA cuts a longer value, and a cut address names
// another descriptor).
bool ReadDisplayName(const char* profilePath, char* out)
{
    DWORD length = GetPrivateProfileStringA(kProfileSection, kDisplayNameKey, "", out, kPathSize,
                                            profilePath);
    return length > 0 && length < (DWORD)kPathSize - 1;
}

// "-uninstall " and the address with its last path component replaced by
// descriptor and every blank written as "%20". False, out unusable, when the
// parameters would not fit their 260 bytes.
bool BuildUninstallParameters(const char* displayName, const char* descriptor, char* out)
{
    // The last '/' that stands after the first character ends the kept part.
    // '/' is no trail byte in any double-byte code page, so the byte search
    // finds only real slashes, and starting at the second byte skips the
    // first character whatever its width.
    size_t kept = 0;
    const char* lastSlash = displayName[0] ? std::strrchr(displayName + 1, '/') : nullptr;
    if (lastSlash) kept = (lastSlash - displayName) + 1;

    size_t length = 0;
    auto put = [&](const char* text, size_t count) {
        if (length + count + 1 > (size_t)kPathSize) return false;
        std::memcpy(out + length, text, count);
        length += count;
        return true;
    };
    auto putAddress = [&](const char* text, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            bool ok = text[i] == ' ' ? put("%20", 3) : put(text + i, 1);
            if (!ok) return false;
        }
        return true;
    };
    if (!put(kUninstallSwitch, std::strlen(kUninstallSwitch)) ||
        !putAddress(displayName, kept) || !putAddress(descriptor, std::strlen(descriptor)))
        return false;
    out[length] = '\0';
    return true;
}

void RunUninstall(const char* program, const char* profilePath, const char* descriptor)
{
    char displayName[kPathSize];
    char parameters[kPathSize];
    if (!ReadDisplayName(profilePath, displayName)) return;
    if (!BuildUninstallParameters(displayName, descriptor, parameters)) return;
    // A program that cannot be started is passed over silently.
    StartProgramAndWait(program, parameters, program);
}

// The launcher's registration: per user first, then per machine, each in its
// plain and its 32-bit-on-64-bit form; the first key that opens is used.
HKEY OpenLauncherKey()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const char* path : kLauncherKeys) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS)
                return key;
        }
    }
    return nullptr;
}

// "InstallDir" and "jarvane.exe", into out (260 bytes). An empty folder would
// leave the bare name to the shell's search, and a relative one would start
// whatever "jarvane.exe" the current folder leads to, so both count as
// unreadable. The launcher's installer may write the folder with forward
// slashes ("C:/Program Files/...").
bool BuildLauncherPath(HKEY key, char* out)
{
    if (!ReadRegistryText(key, kInstallDirValue, out, kPathSize) || !IsAbsolutePath(out, true))
        return false;
    // By characters: a folder ending in a double-byte character whose trail
    // byte is 0x5C does not end in a backslash. '/' is no trail byte.
    bool separated = EndsWithBackslash(out) || out[std::strlen(out) - 1] == '/';
    if (!separated && !AppendText(out, kPathSize, "\\")) return false;
    return AppendText(out, kPathSize, kLauncherProgram);
}

void RunLauncherUninstall(const char* profilePath)
{
    HKEY key = OpenLauncherKey();
    if (!key) return;
    char launcher[kPathSize];
    if (BuildLauncherPath(key, launcher)) RunUninstall(launcher, profilePath, kLauncherDescriptor);
    RegCloseKey(key);
}

}  // namespace

// Java Web Start first, whether or not the web launcher is installed; then the
// web launcher, whether or not Java Web Start could be started.
void RemoveWebLauncherDeployment(const char* profileName)
{
    char profilePath[kPathSize];
    if (!BuildProfilePath(profileName, profilePath)) return;
    char displayName[kPathSize];
    if (!ReadDisplayName(profilePath, displayName)) return;
    RunUninstall(kJavaWebStart, profilePath, kJnlpDescriptor);
    RunLauncherUninstall(profilePath);
}
