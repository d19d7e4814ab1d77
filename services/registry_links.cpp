// Registry links: whether a key, or any key below it, is a link (a key made
// with REG_OPTION_CREATE_LINK). The deletions that must never follow one ask
// here first (services/machine_changes).
#include "services/registry_links.h"

#include <cstring>

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
