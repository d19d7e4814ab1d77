#include "services/process_view.h"

#include <shlwapi.h>
#include <cstring>

#include "services/run_log.h"
#include "services/path_text.h"

namespace {

constexpr int kMaxLinkDepth = 512;          // the registry's own limit on nesting
constexpr DWORD kMaxSubKeys = 100000;       // per key, a bound for a broken hive

// A key opened with REG_OPTION_OPEN_LINK is the link itself; it holds the
// target's name as a REG_LINK value "SymbolicLinkValue".
bool IsLinkKey(HKEY key)
{
    DWORD type = 0;
    return RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_LINK;
}

bool HoldsLink(HKEY parent, const char* path, REGSAM view, int depth)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, REG_OPTION_OPEN_LINK, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;   // not there, or not to be opened: nothing to follow
    bool found = IsLinkKey(key) || depth >= kMaxLinkDepth;
    for (DWORD index = 0; !found && index < kMaxSubKeys; ++index) {
        char name[256];   // a key name has at most 255 characters
        DWORD length = sizeof name;
        LONG rc = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        found = HoldsLink(key, name, view, depth + 1);
    }
    RegCloseKey(key);
    return found;
}

LONG DeleteTreeBelowParent(HKEY root, const char* path, REGSAM view)
{
    char parent[MAX_PATH];
    if (!CopyText(parent, sizeof parent, path)) return ERROR_INVALID_PARAMETER;
    char* cut = LastBackslash(parent);
    const char* leaf = path;
    HKEY parentKey = root;
    bool opened = false;
    if (cut) {
        *cut = '\0';
        leaf = path + (cut - parent) + 1;
        LONG rc = RegOpenKeyExA(root, parent, 0, KEY_READ | KEY_WRITE | view, &parentKey);
        if (rc != ERROR_SUCCESS) return rc;
        opened = true;
    }
    LONG rc = SHDeleteKeyA(parentKey, leaf);
    if (opened) RegCloseKey(parentKey);
    return rc;
}

}  // namespace

bool IsRegistryLink(HKEY parent, const char* path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, REG_OPTION_OPEN_LINK, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    bool link = IsLinkKey(key);
    RegCloseKey(key);
    return link;
}

bool TreeHoldsRegistryLink(HKEY parent, const char* path, REGSAM view)
{
    return HoldsLink(parent, path, view, 0);
}

LONG DeleteKeyInView(HKEY root, const char* path, REGSAM view)
{
    if (TreeHoldsRegistryLink(root, path, view)) {
        LogRefusedKey(root, path, view);
        return ERROR_ACCESS_DENIED;
    }
    LONG rc = DeleteTreeBelowParent(root, path, view);
    LogKeyDeletion(root, path, view, rc);
    return rc;
}

LONG DeleteKeyInProcessView(HKEY root, const char* path)
{
    if (TreeHoldsRegistryLink(root, path, 0)) {
        LogRefusedKey(root, path, 0);
        return ERROR_ACCESS_DENIED;
    }
    LONG rc = SHDeleteKeyA(root, path);
    LogKeyDeletion(root, path, 0, rc);
    return rc;
}
