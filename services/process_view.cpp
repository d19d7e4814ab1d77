#include "services/process_view.h"

#include <shlwapi.h>
#include <cstring>

#include "services/path_text.h"

LONG DeleteKeyInView(HKEY root, const char* path, REGSAM view)
{
    char parent[MAX_PATH];
    if (!CopyText(parent, sizeof parent, path)) return ERROR_INVALID_PARAMETER;
    char* cut = std::strrchr(parent, '\\');
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

LONG DeleteKeyInProcessView(HKEY root, const char* path)
{
#ifdef _WIN64
    return DeleteKeyInView(root, path, kProcessView);
#else
    return SHDeleteKeyA(root, path);
#endif
}
