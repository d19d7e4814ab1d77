// The preview's forecasts (see change_forecast.h). Objects that would go are
// kept by name: "F|" and the path for files and folders, "K|", the root, the
// view and the path for keys, lower-cased by CharLowerBuffA (which steps over
// double-byte characters). A name counts as gone when it, or a folder or key
// above it, was found removable.
#include "services/change_forecast.h"

#include <set>
#include <string>

namespace {

std::set<std::string> gone;

std::string Lowered(const char* text)
{
    std::string s(text);
    if (!s.empty()) CharLowerBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

std::string FileName(const char* path) { return "F|" + Lowered(path); }

// HKEY_CURRENT_USER\Software and the machine's ProgIDs and extensions are one
// key in both views: they are named without one.
std::string KeyName(HKEY root, const std::string& path, REGSAM view)
{
    std::string lowered = Lowered(path.c_str());
    bool shared = root == HKEY_CURRENT_USER ||
                  (lowered.compare(0, 17, "software\\classes\\") == 0 &&
                   lowered.compare(0, 22, "software\\classes\\clsid") != 0);
    char head[48];
    wsprintfA(head, "K|%p|%lu|", static_cast<void*>(root),
              shared ? 0UL : static_cast<unsigned long>(view ? view : KEY_WOW64_32KEY));
    return head + lowered;
}

// Whether name or a name above it (cut at a backslash) was found removable.
bool IsGone(std::string name)
{
    for (;;) {
        if (gone.count(name)) return true;
        size_t cut = name.rfind('\\');
        if (cut == std::string::npos || cut < 3) return false;
        name.erase(cut);
    }
}

// Whether every entry that folder lists would go.
bool AllEntriesGo(const char* folder)
{
    std::string pattern = std::string(folder) + "\\*";
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern.c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return true;
    bool all = true;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        all = IsGone(FileName((std::string(folder) + "\\" + name).c_str()));
    } while (all && FindNextFileA(listing, &entry));
    FindClose(listing);
    return all;
}

}  // namespace

void ForgetForecasts() { gone.clear(); }

bool ForecastGone(const char* path) { return IsGone(FileName(path)); }

DWORD ForecastFileRemoval(const char* path, bool readOnlyIsReset)
{
    if (ForecastGone(path)) return ERROR_FILE_NOT_FOUND;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !readOnlyIsReset) return ERROR_ACCESS_DENIED;
    // Opening for deletion, sharing everything, fails where another process
    // holds the file without delete sharing: as DeleteFileA would.
    HANDLE file = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED || !(attributes & FILE_ATTRIBUTE_READONLY)) return error;
    } else {
        CloseHandle(file);
    }
    gone.insert(FileName(path));
    return ERROR_SUCCESS;
}

DWORD ForecastFolderRemoval(const char* folder)
{
    if (ForecastGone(folder)) return ERROR_FILE_NOT_FOUND;
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES) return GetLastError();
    if (!AllEntriesGo(folder)) return ERROR_DIR_NOT_EMPTY;
    gone.insert(FileName(folder));
    return ERROR_SUCCESS;
}

LONG ForecastKeyTreeRemoval(HKEY root, const char* path, REGSAM view)
{
    std::string name = KeyName(root, path, view);
    if (IsGone(name)) return ERROR_FILE_NOT_FOUND;
    HKEY key;
    LONG rc = RegOpenKeyExA(root, path, 0, KEY_READ | view, &key);
    if (rc != ERROR_SUCCESS) return rc;
    RegCloseKey(key);
    gone.insert(name);
    return ERROR_SUCCESS;
}

LONG ForecastEmptyKeyRemoval(HKEY parentKey, HKEY root, const char* parentPath, const char* name,
                             REGSAM view)
{
    std::string path = std::string(parentPath) + "\\" + name;
    std::string keyName = KeyName(root, path, view);
    if (IsGone(keyName)) return ERROR_FILE_NOT_FOUND;
    HKEY key;
    LONG rc = RegOpenKeyExA(parentKey, name, 0, KEY_READ | view, &key);
    if (rc != ERROR_SUCCESS) return rc;
    bool all = true;
    char sub[256];   // a key name has at most 255 characters
    for (DWORD index = 0; all; ++index) {
        DWORD length = sizeof sub;
        rc = RegEnumKeyExA(key, index, sub, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
        all = IsGone(KeyName(root, path + "\\" + sub, view));
    }
    RegCloseKey(key);
    if (!all) return ERROR_ACCESS_DENIED;
    gone.insert(keyName);
    return ERROR_SUCCESS;
}
