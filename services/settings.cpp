// The suite's settings lookup: "BaseRegistry" from the registry, the two
// global.ini switches of the current view, and the two ways the other tasks
// open the suite's keys according to baseRegistry.
#include "services/settings.h"

#include "services/run_context.h"
#include "services/folders.h"
#include "services/path_text.h"
#include "services/tree_delete.h"

static const char kBaseRegistryValue[] = "BaseRegistry";
static const char kIniSection[] = "Ostrevan";

static REGSAM ReadAccess() { return KEY_READ | runContext.viewAccessMask; }
static REGSAM ReadWriteAccess() { return KEY_READ | KEY_WRITE | runContext.viewAccessMask; }

// Opens path under HKEY_CURRENT_USER, failing that under writableUserKey.
static LONG OpenPerUserKey(const char* path, REGSAM access, HKEY* key)
{
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, access, key);
    if (rc == ERROR_SUCCESS) return rc;
    return RegOpenKeyExA(runContext.writableUserKey, path, 0, access, key);
}

// Queries the one-byte "BaseRegistry" value and closes the key. The value's
// type is not looked at. The byte goes into baseRegistry only when the query
// succeeded: a failed query (a longer value) may leave anything in its buffer,
// and the default or previous value must survive it. A value holding no
// data at all answers the query without writing the byte: the default stays.
static bool QueryBaseRegistryAndClose(HKEY key)
{
    BYTE value = runContext.baseRegistry;
    DWORD size = sizeof value;
    LONG rc = RegQueryValueExA(key, kBaseRegistryValue, nullptr, nullptr, &value, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    runContext.baseRegistry = value;
    return true;
}

// A per-user key that exists but holds no readable value sends the lookup to
// the machine-wide key, not on to writableUserKey.
void ReadBaseRegistry(bool useWebKey)
{
    runContext.baseRegistry = useWebKey ? 2 : 0;
    const char* path = useWebKey ? runContext.webKeyPath : runContext.productKeyPath;
    HKEY key = nullptr;
    if (OpenPerUserKey(path, ReadAccess(), &key) == ERROR_SUCCESS &&
        QueryBaseRegistryAndClose(key))
        return;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, ReadAccess(), &key) != ERROR_SUCCESS) return;
    QueryBaseRegistryAndClose(key);
}

// The global.ini of the current view: the cache root, then "Ostrevan\7.1\",
// "x64\" in the 64-bit run, then "global.ini". False when it does not fit.
static bool BuildGlobalIniPath(char* path)
{
    if (!GetCacheRoot(path) || path[0] == '\0') return false;
    return EnsureBackslash(path, kPathSize) &&
           AppendText(path, kPathSize, "Ostrevan\\") &&
           AppendText(path, kPathSize, kSuiteVersion) &&
           AppendText(path, kPathSize, "\\") &&
           (!runContext.is64BitPass || AppendText(path, kPathSize, "x64\\")) &&
           AppendText(path, kPathSize, "global.ini");
}

// First character of the key's value in the "Ostrevan" section; 0 when absent.
static char FirstCharOf(const char* keyName, const char* iniPath)
{
    char value[kPathSize];
    value[0] = '\0';
    GetPrivateProfileStringA(kIniSection, keyName, "", value, sizeof value, iniPath);
    return value[0];
}

// Without a global.ini (or a path to it that fits) both settings keep what
// they held: the initial values, or those of the previous Clear run.
void ReadGlobalIni()
{
    char path[kPathSize];
    if (!BuildGlobalIniPath(path)) return;
    if (!FileExists(path)) return;
    char append = FirstCharOf("AppendVersionToWorkingDir", path);
    runContext.appendVersionToWorkingDir = (append == 'Y' || append == 'y') ? 1 : 0;
    char allow = FirstCharOf("AllowCrossVersionInterop", path);
    runContext.allowCrossVersionInterop = (allow == 'N' || allow == 'n') ? 0 : 1;
}

LONG OpenUserKeyForRead(const char* keyPath, HKEY* key)
{
    return OpenPerUserKey(keyPath, ReadAccess(), key);
}

LONG OpenSuiteKeyForRead(const char* keyPath, HKEY* key)
{
    if (runContext.baseRegistry != 2)
        return RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, ReadAccess(), key);
    return OpenPerUserKey(keyPath, ReadAccess(), key);
}

bool OpenUserKeyForWrite(const char* keyPath, HKEY* key)
{
    return OpenPerUserKey(keyPath, ReadWriteAccess(), key) == ERROR_SUCCESS;
}
