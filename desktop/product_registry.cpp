// Deletes the desktop product's key tree of the current registry view from the
// per-user and the machine hive, then its parent keys when nothing else is left
// under them.
#include <cstdio>
#include <cstring>

#include "desktop/desktop.h"
#include "services/machine_changes.h"
#include "services/path_text.h"
#include "services/registry_links.h"
#include "services/run_context.h"
#include "services/run_log.h"
#include "services/settings.h"

namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;   // 0x2001F
constexpr int kKeyPathSize = 64;
constexpr int kKeyNameSize = 64;
// DeleteKeyTree visits at most this many entries per key: a bound on the work
// for a key whose sub-keys keep failing in ways that do not advance the index.
constexpr DWORD kMaxEntriesPerKey = 100000;

REGSAM ViewAccess() { return kReadWrite | runContext.viewAccessMask; }

// The product key's parent ("Software\Ostrevan") and the two names that steps
// 3 to 6 delete: the version key under it and the name key under "Software".
struct ProductKeyNames {
    char nameKey[kKeyPathSize];
    const char* versionName;
    const char* nameKeyName;
};

bool SplitProductKeyPath(ProductKeyNames* names)
{
    if (!CopyText(names->nameKey, sizeof names->nameKey, runContext.productKeyPath)) return false;
    char* last = LastBackslash(names->nameKey);
    if (!last || last == names->nameKey) return false;
    *last = '\0';
    names->versionName = runContext.productKeyPath + (last - names->nameKey) + 1;
    const char* first = FindText(names->nameKey, "\\");
    if (!first || first[1] == '\0') return false;
    names->nameKeyName = first + 1;
    return names->versionName[0] != '\0';
}

// A registry link is never followed: opening one opens the key it points at,
// and RegDeleteKeyA through it deletes that key. Whether the per-user key is
// one is asked where OpenUserKeyForWrite would open it.
bool IsLink(HKEY parent, const char* path)
{
    return IsRegistryLink(parent, path, runContext.viewAccessMask);
}

bool PerUserKeyIsLink(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, REG_OPTION_OPEN_LINK,
                      KEY_READ | runContext.viewAccessMask, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return IsLink(HKEY_CURRENT_USER, path);
    }
    return runContext.writableUserKey && IsLink(runContext.writableUserKey, path);
}

void DeleteTreeOfUserKey(const char* path)
{
    HKEY key;
    if (PerUserKeyIsLink(path) || !OpenUserKeyForWrite(path, &key)) return;
    DeleteKeyTree(key, KeyPlace{HKEY_CURRENT_USER, path, runContext.viewAccessMask});
    RegCloseKey(key);
}

void DeleteTreeOfMachineKey(const char* path)
{
    HKEY key;
    if (IsLink(HKEY_LOCAL_MACHINE, path)) return;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, ViewAccess(), &key) != ERROR_SUCCESS) return;
    DeleteKeyTree(key, KeyPlace{HKEY_LOCAL_MACHINE, path, runContext.viewAccessMask});
    RegCloseKey(key);
}

// RegDeleteKeyA deletes only a key without sub-keys, so a parent that still
// holds another key stays, and is not recorded; the product key itself is,
// whatever became of it.
KeyRecord RecordOf(const char* name)
{
    return std::strcmp(name, kSuiteVersion) == 0 ? kRecordKey : kRecordUnlessHoldingKeys;
}

// parent\name below root, where key is parent opened for writing (null when
// it could not be opened: the key is not there).
void DeleteSubKey(HKEY root, HKEY key, const char* parent, const char* name)
{
    KeyPlace place{root, parent, runContext.viewAccessMask};
    if (key) {
        DeleteEmptyKey(key, place, name, RecordOf(name));
        RegCloseKey(key);
        return;
    }
    char path[kPathSize];
    wsprintfA(path, "%s\\%s", parent, name);
    LogKeyEvent(root, path, place.view, kLogNotPresent);
}

void DeleteUserSubKey(const char* parent, const char* name)
{
    HKEY key;
    DeleteSubKey(HKEY_CURRENT_USER, OpenUserKeyForWrite(parent, &key) ? key : nullptr, parent, name);
}

void DeleteMachineSubKey(const char* parent, const char* name)
{
    HKEY key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, ViewAccess(), &key);
    DeleteSubKey(HKEY_LOCAL_MACHINE, rc == ERROR_SUCCESS ? key : nullptr, parent, name);
}

}  // namespace

// Deletes every sub-key of key, depth first; key and its values stay. Each
// deleted sub-key moves the next one to the current index, so the index moves
// on only past a sub-key that stays: one that cannot be deleted, or whose name
// does not fit the name buffer (RegEnumKeyA answers ERROR_MORE_DATA for it, and
// a name that cannot be read cannot be deleted), and past a registry link,
// which is neither entered nor deleted. Any other enumeration error ends the
// loop, as does the end of the list.
void DeleteKeyTree(HKEY key, const KeyPlace& place)
{
    DWORD index = 0;
    for (DWORD visited = 0; visited < kMaxEntriesPerKey; ++visited) {
        char name[kKeyNameSize];
        LONG rc = RegEnumKeyA(key, index, name, sizeof name);
        if (rc == ERROR_MORE_DATA) {
            ++index;
            continue;
        }
        if (rc != ERROR_SUCCESS) return;
        if (IsLink(key, name)) {
            ++index;
            continue;
        }
        HKEY subKey;
        if (RegOpenKeyExA(key, name, 0, ViewAccess(), &subKey) == ERROR_SUCCESS) {
            char path[kTextSize];   // only the record's: never opened by this name
            std::snprintf(path, sizeof path, "%s\\%s", place.path, name);
            DeleteKeyTree(subKey, KeyPlace{place.root, path, place.view});
            RegCloseKey(subKey);
        }
        // A preview leaves the sub-key listed at this index.
        if (DeleteEmptyKey(key, place, name, kPartOfTree) != ERROR_SUCCESS || runContext.previewRun)
            ++index;
    }
}

void RemoveProductRegistry()
{
    DeleteTreeOfUserKey(runContext.productKeyPath);
    DeleteTreeOfMachineKey(runContext.productKeyPath);
    ProductKeyNames names;
    if (!SplitProductKeyPath(&names)) return;
    DeleteUserSubKey(names.nameKey, names.versionName);
    DeleteMachineSubKey(names.nameKey, names.versionName);
    DeleteUserSubKey("Software", names.nameKeyName);
    DeleteMachineSubKey("Software", names.nameKeyName);
}
