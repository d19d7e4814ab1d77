// samplemachine: puts the Ostrevan 7.1 sample footprint on this machine, takes
// it off again, and reports what of it is there.
//
//   samplemachine install [standard|installer|nointerop]
//   samplemachine uninstall
//   samplemachine report [state-file]
//   samplemachine compare before-state after-state switches...
//
// install first takes off whatever an earlier install left, so every install
// starts from the same state. report exits 0 when every bystander is intact,
// 1 when one is damaged or missing; compare prints the before/after table of
// two reports against what the program is meant to remove with the given
// switches, and exits the same way for the later state. Payload files (the
// COM server and launcher stand-ins) are taken from this program's folder.
#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "sample_machine.h"

using sample::Fate;
using sample::Hive;
using sample::Item;
using sample::What;

namespace {

const DWORD kWaitForWindowMs = 10000;

// ---------------------------------------------------------------------------
// Output and text.

void Print(const std::string& text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (out && out != INVALID_HANDLE_VALUE) WriteFile(out, text.data(), (DWORD)text.size(), &written, nullptr);
}

std::string Format(const char* format, ...)
{
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Lower(std::string s)
{
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

// ---------------------------------------------------------------------------
// Folders behind the {tokens}, as the shell resolves them here.

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, csidl, nullptr, 0, path) != S_OK) return "";
    return path;
}

std::string LocalLowFolder()
{
    static const GUID localLow = {0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};
    using GetKnownFolder = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
    using TaskFree = void(WINAPI*)(void*);
    auto get = reinterpret_cast<GetKnownFolder>(GetProcAddress(GetModuleHandleA("shell32.dll"), "SHGetKnownFolderPath"));
    auto taskFree = reinterpret_cast<TaskFree>(GetProcAddress(LoadLibraryA("ole32.dll"), "CoTaskMemFree"));
    PWSTR wide = nullptr;
    if (!get || get(localLow, KF_FLAG_CREATE, nullptr, &wide) != S_OK || !wide) return "";
    char path[MAX_PATH] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, path, sizeof path, nullptr, nullptr);
    if (taskFree) taskFree(wide);
    return path;
}

std::string TempFolder()
{
    char path[MAX_PATH] = "";
    GetTempPathA(sizeof path, path);
    GetLongPathNameA(path, path, sizeof path);
    std::string s = path;
    if (!s.empty() && s.back() == '\\') s.pop_back();
    return s;
}

const std::map<std::string, std::string>& Tokens()
{
    static std::map<std::string, std::string> tokens;
    if (tokens.empty()) {
        tokens["roaming"] = ShellFolder(CSIDL_APPDATA);
        tokens["locallow"] = LocalLowFolder();
        tokens["temp"] = TempFolder();
        tokens["documents"] = ShellFolder(CSIDL_PERSONAL);
        tokens["desktop"] = ShellFolder(CSIDL_DESKTOPDIRECTORY);
        tokens["programs"] = ShellFolder(CSIDL_PROGRAMS);
        tokens["profile"] = ShellFolder(CSIDL_PROFILE);
        tokens["commondesktop"] = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
        tokens["commonprograms"] = ShellFolder(CSIDL_COMMON_PROGRAMS);
        tokens["commonstartup"] = ShellFolder(CSIDL_COMMON_STARTUP);
        tokens["programdata"] = ShellFolder(CSIDL_COMMON_APPDATA);
        tokens["publicdocuments"] = ShellFolder(CSIDL_COMMON_DOCUMENTS);
        // The machine's own (64-bit) Program Files: this 32-bit tool's
        // CSIDL_PROGRAM_FILES is the x86 one on a 64-bit system.
        char programW6432[MAX_PATH] = "";
        DWORD n = GetEnvironmentVariableA("ProgramW6432", programW6432, MAX_PATH);
        tokens["pf"] = n > 0 && n < MAX_PATH ? programW6432 : ShellFolder(CSIDL_PROGRAM_FILES);
        tokens["pf86"] = ShellFolder(CSIDL_PROGRAM_FILESX86);
        tokens["dpf"] = ShellFolder(CSIDL_WINDOWS) + "\\Downloaded Program Files";
    }
    return tokens;
}

// Replaces every {token}; false when one is unknown or did not resolve, so
// that nothing is ever written to or deleted from a half-made path. Braces
// around anything but a lower-case name (a CLSID, say) stay as they are.
bool Resolve(const std::string& text, std::string* out)
{
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        size_t end = text[i] == '{' ? text.find('}', i) : std::string::npos;
        std::string name = end == std::string::npos ? "" : text.substr(i + 1, end - i - 1);
        bool token = !name.empty();
        for (char c : name) token &= (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!token) {
            out->push_back(text[i]);
            continue;
        }
        auto found = Tokens().find(name);
        if (found == Tokens().end() || found->second.empty()) return false;
        *out += found->second;
        i = end;
    }
    return true;
}

// A file-system path of the table, resolved; only an absolute one on drive C:
// is ever used (a relative one would land in whatever folder we started in).
bool ResolvePath(const std::string& text, std::string* out)
{
    return Resolve(text, out) && out->size() > 3 && out->compare(0, 3, "C:\\") == 0;
}

std::string Resolved(const std::string& text)
{
    std::string out;
    return Resolve(text, &out) ? out : text;
}

// ---------------------------------------------------------------------------
// Files.

std::string ToolBin()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\'));
}

bool ReadBytes(const std::string& path, std::string* bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes->append(buffer, got);
    CloseHandle(h);
    return true;
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

void MakeFolders(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

std::string Parent(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

bool IsFolder(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteFileForce(const std::string& path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

// Removes a folder with its content; a link met on the way is removed, never
// entered (under Wine a deletion through a link reaches the target).
void RemoveTree(const std::string& path, int depth = 0)
{
    DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || depth > 32) return;
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileForce(path);
    if (!(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAA fd;
        HANDLE f = FindFirstFileA((path + "\\*").c_str(), &fd);
        if (f != INVALID_HANDLE_VALUE) {
            do {
                std::string name = fd.cFileName;
                if (name != "." && name != "..") RemoveTree(path + "\\" + name, depth + 1);
            } while (FindNextFileA(f, &fd));
            FindClose(f);
        }
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

bool FileContent(const Item& item, std::string* bytes)
{
    if (item.content.empty()) {
        *bytes = sample::GeneratedContent(item);
        return true;
    }
    if (item.content[0] == '@') return ReadBytes(ToolBin() + "\\" + item.content.substr(1), bytes);
    *bytes = item.content;
    return true;
}

// ---------------------------------------------------------------------------
// Registry, always in an explicit view.

HKEY RootOf(Hive h) { return h == Hive::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
REGSAM ViewOf(Hive h) { return h == Hive::Machine32 ? KEY_WOW64_32KEY : h == Hive::Machine64 ? KEY_WOW64_64KEY : 0; }

bool SetValues(const Item& item)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(RootOf(item.hive), item.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ViewOf(item.hive),
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    for (const sample::Value& v : item.values) {
        std::string data = v.data;
        if (v.type == REG_SZ && !Resolve(v.data, &data)) {
            ok = false;
            continue;
        }
        DWORD size = (DWORD)data.size() + (v.type == REG_SZ ? 1 : 0);
        ok &= RegSetValueExA(key, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type,
                             reinterpret_cast<const BYTE*>(data.c_str()), size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

bool OpenKey(const Item& item, HKEY* key)
{
    return RegOpenKeyExA(RootOf(item.hive), item.path.c_str(), 0, KEY_READ | ViewOf(item.hive), key) ==
           ERROR_SUCCESS;
}

bool ValuesIntact(HKEY key, const Item& item)
{
    for (const sample::Value& v : item.values) {
        std::string buffer(4096, '\0');
        DWORD size = (DWORD)buffer.size(), type = 0;
        if (RegQueryValueExA(key, v.name.empty() ? nullptr : v.name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(&buffer[0]), &size) != ERROR_SUCCESS)
            return false;
        buffer.resize(size);
        if (v.type == REG_SZ && !buffer.empty() && buffer.back() == '\0') buffer.pop_back();
        std::string expected = v.type == REG_SZ ? Resolved(v.data) : v.data;
        if (type != v.type || buffer != expected) return false;
    }
    return true;
}

void DeleteKeyTree(const Item& item)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootOf(item.hive), item.path.c_str(), 0, KEY_ALL_ACCESS | ViewOf(item.hive), &key) ==
        ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExA(RootOf(item.hive), item.path.c_str(), ViewOf(item.hive), 0);
}

void DeleteValue(const Item& item)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootOf(item.hive), item.path.c_str(), 0, KEY_ALL_ACCESS | ViewOf(item.hive), &key) !=
        ERROR_SUCCESS)
        return;
    for (const sample::Value& v : item.values) RegDeleteValueA(key, v.name.c_str());
    RegCloseKey(key);
}

// ---------------------------------------------------------------------------
// The URL cache, through WinINet loaded at run time.

struct WinInet {
    using Create = BOOL(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD);
    using Commit = BOOL(WINAPI*)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD, LPCSTR, LPCSTR);
    using FindFirst = HANDLE(WINAPI*)(LPCSTR, void*, LPDWORD);
    using FindNext = BOOL(WINAPI*)(HANDLE, void*, LPDWORD);
    using FindClose = BOOL(WINAPI*)(HANDLE);
    using Delete = BOOL(WINAPI*)(LPCSTR);
    Create create = nullptr;
    Commit commit = nullptr;
    FindFirst findFirst = nullptr;
    FindNext findNext = nullptr;
    FindClose findClose = nullptr;
    Delete remove = nullptr;
};

const WinInet& Inet()
{
    static WinInet inet;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        char system[MAX_PATH] = "";
        GetSystemDirectoryA(system, sizeof system);
        HMODULE dll = LoadLibraryA((std::string(system) + "\\wininet.dll").c_str());
        if (dll) {
            inet.create = reinterpret_cast<WinInet::Create>(GetProcAddress(dll, "CreateUrlCacheEntryA"));
            inet.commit = reinterpret_cast<WinInet::Commit>(GetProcAddress(dll, "CommitUrlCacheEntryA"));
            inet.findFirst = reinterpret_cast<WinInet::FindFirst>(GetProcAddress(dll, "FindFirstUrlCacheEntryA"));
            inet.findNext = reinterpret_cast<WinInet::FindNext>(GetProcAddress(dll, "FindNextUrlCacheEntryA"));
            inet.findClose = reinterpret_cast<WinInet::FindClose>(GetProcAddress(dll, "FindCloseUrlCache"));
            inet.remove = reinterpret_cast<WinInet::Delete>(GetProcAddress(dll, "DeleteUrlCacheEntryA"));
        }
    }
    return inet;
}

bool AddUrlEntry(const Item& item)
{
    const WinInet& inet = Inet();
    if (!inet.create || !inet.commit) return false;
    char file[MAX_PATH] = "";
    if (!inet.create(item.path.c_str(), 0, "dat", file, 0)) return false;
    WriteBytes(file, sample::GeneratedContent(item));
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME modified, expires;
    SystemTimeToFileTime(&now, &modified);
    ULARGE_INTEGER later;
    later.LowPart = modified.dwLowDateTime;
    later.HighPart = modified.dwHighDateTime;
    later.QuadPart += 30ULL * 24 * 3600 * 10000000ULL;
    expires.dwLowDateTime = later.LowPart;
    expires.dwHighDateTime = later.HighPart;
    static char header[] = "HTTP/1.1 200 OK\r\n\r\n";
    return inet.commit(item.path.c_str(), file, expires, modified, item.urlType, (LPBYTE)header,
                       sizeof header - 1, "dat", nullptr) != FALSE;
}

// Every entry of the user's URL cache: URL -> entry type.
std::map<std::string, DWORD> UrlEntries()
{
    std::map<std::string, DWORD> entries;
    const WinInet& inet = Inet();
    if (!inet.findFirst) return entries;
    std::string buffer(8192, '\0');
    DWORD size = (DWORD)buffer.size();
    HANDLE find = inet.findFirst(nullptr, &buffer[0], &size);
    if (!find && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.assign(size, '\0');
        find = inet.findFirst(nullptr, &buffer[0], &size);
    }
    if (!find) return entries;
    for (int guard = 0; guard < 100000; ++guard) {
        auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(&buffer[0]);
        if (info->lpszSourceUrlName) entries[info->lpszSourceUrlName] = info->CacheEntryType;
        size = (DWORD)buffer.size();
        if (inet.findNext(find, &buffer[0], &size)) continue;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        buffer.assign(size, '\0');
        if (!inet.findNext(find, &buffer[0], &size)) break;
        --guard;
        info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(&buffer[0]);
        if (info->lpszSourceUrlName) entries[info->lpszSourceUrlName] = info->CacheEntryType;
    }
    inet.findClose(find);
    return entries;
}

// ---------------------------------------------------------------------------
// Stand-in Session Managers.

bool StartSessionManager(const std::string& windowClass)
{
    std::string command = "\"" + ToolBin() + "\\sample_sessmgr.exe\" \"" + windowClass + "\" \"" +
                          sample::kSessionLog + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;   // no handles of ours: a pipe reader must not wait for it
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (DWORD waited = 0; waited < kWaitForWindowMs; waited += 50) {
        if (FindWindowA(windowClass.c_str(), nullptr)) return true;
        Sleep(50);
    }
    return false;
}

void StopSessionManager(const std::string& windowClass)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        HWND window = FindWindowA(windowClass.c_str(), nullptr);
        if (!window) return;
        if (attempt == 60) {   // not answering: end its process
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
            if (process) {
                TerminateProcess(process, 1);
                CloseHandle(process);
            }
        }
        if (attempt % 20 == 0) PostMessageA(window, WM_CLOSE, 0, 0);
        Sleep(50);
    }
}

// Whether the stand-in of this class logged a WM_CLOSE.
bool SessionManagerClosed(const std::string& windowClass)
{
    std::string log;
    if (!ReadBytes(sample::kSessionLog, &log)) return false;
    return log.find(windowClass + "\tWM_CLOSE") != std::string::npos;
}

// ---------------------------------------------------------------------------
// Install and uninstall.

bool InVariant(const Item& item, unsigned variant) { return (item.variants & variant) != 0; }

bool InstallItem(const Item& item)
{
    std::string path;
    switch (item.what) {
    case What::Folder:
        if (!ResolvePath(item.path, &path)) return false;
        MakeFolders(path);
        return IsFolder(path);
    case What::File: {
        std::string bytes;
        if (!ResolvePath(item.path, &path) || !FileContent(item, &bytes)) return false;
        MakeFolders(Parent(path));
        if (!WriteBytes(path, bytes)) return false;
        if (item.attributes) SetFileAttributesA(path.c_str(), item.attributes);
        return true;
    }
    case What::Key:
    case What::Value: return SetValues(item);
    case What::UrlEntry: return AddUrlEntry(item);
    case What::Window: return StartSessionManager(item.path);
    }
    return false;
}

void UninstallItem(const Item& item)
{
    std::string path;
    switch (item.what) {
    case What::Folder:
        if (ResolvePath(item.path, &path)) RemoveTree(path);
        break;
    case What::File:
        if (ResolvePath(item.path, &path)) DeleteFileForce(path);
        break;
    case What::Key:
        if (!item.keepOnUninstall) DeleteKeyTree(item);
        break;
    case What::Value: DeleteValue(item); break;
    case What::UrlEntry:
        if (Inet().remove) Inet().remove(item.path.c_str());
        break;
    case What::Window: StopSessionManager(item.path); break;
    }
}

const char kVariantFile[] = "C:\\samplemachine\\variant.txt";

void ClearLogs()
{
    for (const char* log : {sample::kLaunchLog, sample::kComLog, sample::kSessionLog}) DeleteFileForce(log);
}

int Uninstall()
{
    const std::vector<Item>& items = sample::Items();
    for (auto i = items.rbegin(); i != items.rend(); ++i) UninstallItem(*i);
    ClearLogs();
    DeleteFileA(kVariantFile);
    return 0;
}

unsigned ParseVariant(const std::string& name)
{
    if (name.empty() || name == "standard") return sample::kStandard;
    if (name == "installer") return sample::kInstallerRegistered;
    if (name == "nointerop") return sample::kNoCrossVersionInterop;
    return 0;
}

int Install(unsigned variant)
{
    Uninstall();
    MakeFolders(std::string(sample::kToolFolder) + "\\logs");
    int failed = 0;
    for (const Item& item : sample::Items()) {
        if (!InVariant(item, variant) || InstallItem(item)) continue;
        Print(Format("install: could not make %s%s\n", sample::HiveName(item.hive), item.path.c_str()));
        ++failed;
    }
    WriteBytes(kVariantFile, std::to_string(variant));
    Print(Format("Sample machine installed (%u items, variant %u)%s\n", (unsigned)sample::Items().size(), variant,
                 failed ? ", with failures" : ""));
    return failed ? 1 : 0;
}

unsigned InstalledVariant()
{
    std::string text;
    if (!ReadBytes(kVariantFile, &text)) return 0;
    return (unsigned)std::strtoul(text.c_str(), nullptr, 10);
}

// ---------------------------------------------------------------------------
// Report.

enum class State { Present, Absent, Intact, Damaged, Missing };

const char* StateName(State s)
{
    switch (s) {
    case State::Present: return "present";
    case State::Absent: return "absent";
    case State::Intact: return "intact";
    case State::Damaged: return "damaged";
    default: return "missing";
    }
}

State ByPresence(bool present) { return present ? State::Present : State::Absent; }

State FileState(const Item& item)
{
    std::string path, bytes, expected;
    if (!ResolvePath(item.path, &path)) return State::Missing;
    if (!sample::IsBystander(item)) return ByPresence(IsFile(path));
    if (!ReadBytes(path, &bytes)) return State::Missing;
    return FileContent(item, &expected) && bytes == expected ? State::Intact : State::Damaged;
}

State KeyState(const Item& item)
{
    HKEY key = nullptr;
    if (!OpenKey(item, &key)) return sample::IsBystander(item) ? State::Missing : State::Absent;
    bool intact = ValuesIntact(key, item);
    RegCloseKey(key);
    if (!sample::IsBystander(item)) return State::Present;
    return intact ? State::Intact : State::Damaged;
}

State WindowState(const Item& item)
{
    HWND window = FindWindowA(item.path.c_str(), nullptr);
    // A stand-in that was told to close gets a moment to do so.
    for (int n = 0; window && n < 40 && SessionManagerClosed(item.path); ++n) {
        Sleep(50);
        window = FindWindowA(item.path.c_str(), nullptr);
    }
    if (!sample::IsBystander(item)) return ByPresence(window != nullptr);
    if (!window) return State::Missing;
    return SessionManagerClosed(item.path) ? State::Damaged : State::Intact;
}

State UrlState(const Item& item, const std::map<std::string, DWORD>& entries)
{
    auto found = entries.find(item.path);
    bool present = found != entries.end() && (found->second & item.urlType) == item.urlType;
    if (!sample::IsBystander(item)) return ByPresence(present);
    return present ? State::Intact : State::Missing;
}

State ItemState(const Item& item, const std::map<std::string, DWORD>& entries)
{
    switch (item.what) {
    case What::File: return FileState(item);
    case What::Folder: {
        std::string path;
        return ByPresence(ResolvePath(item.path, &path) && IsFolder(path));
    }
    case What::Key: return KeyState(item);
    case What::UrlEntry: return UrlState(item, entries);
    case What::Window: return WindowState(item);
    default: return State::Absent;
    }
}

std::string Location(const Item& item)
{
    if (item.what == What::Window) return "window class \"" + item.path + "\"";
    if (item.what == What::UrlEntry) return "URL cache entry " + item.path;
    return sample::HiveName(item.hive) + Resolved(item.path);
}

struct Snapshot {
    unsigned variant = 0;
    std::map<size_t, std::string> states;   // item index -> state name
};

bool ReadSnapshot(const std::string& path, Snapshot* snapshot)
{
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("variant\t", 0) == 0) {
            snapshot->variant = (unsigned)std::strtoul(line.c_str() + 8, nullptr, 10);
            continue;
        }
        std::istringstream fields(line);
        size_t index;
        std::string state;
        if (fields >> index >> state) snapshot->states[index] = state;
    }
    return snapshot->variant != 0;
}

// Kinds in the order of the table, bystanders last.
std::vector<std::string> Kinds()
{
    std::vector<std::string> kinds;
    std::set<std::string> seen;
    for (const Item& item : sample::Items())
        if (sample::Counted(item) && !sample::IsBystander(item) && seen.insert(item.kind).second)
            kinds.push_back(item.kind);
    return kinds;
}

int Report(const std::string& stateFile)
{
    unsigned variant = InstalledVariant();
    if (!variant) {
        Print("report: no sample machine is installed here\n");
        return 2;
    }
    const std::vector<Item>& items = sample::Items();
    std::map<std::string, DWORD> entries = UrlEntries();
    std::map<std::string, int> there, total;
    std::string lines = Format("variant\t%u\n", variant), bystanders;
    int bystanderCount = 0, bystandersIntact = 0;
    for (size_t n = 0; n < items.size(); ++n) {
        const Item& item = items[n];
        if (!InVariant(item, variant) || !sample::Counted(item)) continue;
        State state = ItemState(item, entries);
        lines += Format("%u\t%s\t%s\n", (unsigned)n, StateName(state), Location(item).c_str());
        if (sample::IsBystander(item)) {
            ++bystanderCount;
            bystandersIntact += state == State::Intact;
            bystanders += Format("    %-8s %s\n", StateName(state), Location(item).c_str());
            continue;
        }
        ++total[item.kind];
        there[item.kind] += state == State::Present;
    }
    if (!stateFile.empty()) WriteBytes(stateFile, lines);
    Print("The suite's items on this machine, by kind:\n");
    for (const std::string& kind : Kinds())
        if (total[kind]) Print(Format("    %-48s %4d of %4d\n", kind.c_str(), there[kind], total[kind]));
    Print("Bystanders:\n" + bystanders);
    Print(Format("%d of %d bystanders intact.\n", bystandersIntact, bystanderCount));
    return bystandersIntact == bystanderCount ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Compare two reports.

int Compare(const std::string& beforeFile, const std::string& afterFile, const std::string& switches)
{
    Snapshot before, after;
    if (!ReadSnapshot(beforeFile, &before) || !ReadSnapshot(afterFile, &after)) {
        Print("compare: cannot read the two reports\n");
        return 2;
    }
    const std::vector<Item>& items = sample::Items();
    struct Row { int there = 0, gone = 0, expected = 0, kept = 0; std::vector<std::string> off; };
    std::map<std::string, Row> rows;
    std::vector<std::string> damaged, notes;
    int bystanders = 0;
    for (const auto& entry : before.states) {
        const Item& item = items.at(entry.first);
        const std::string& now = after.states.count(entry.first) ? after.states[entry.first] : "absent";
        if (sample::IsBystander(item)) {
            ++bystanders;
            if (now != "intact") damaged.push_back(now + ": " + Location(item));
            continue;
        }
        if (entry.second != "present") continue;
        Row& row = rows[item.kind];
        bool gone = now == "absent";
        bool expected = sample::ExpectedGone(item, switches, before.variant);
        ++row.there;
        row.gone += gone;
        row.expected += expected;
        if (item.fate == Fate::KeptByDesign) {
            ++row.kept;
            notes.push_back(Location(item) + ": " + item.note);
        }
        if (gone != expected && row.off.size() < 3)
            row.off.push_back((gone ? "removed, not expected: " : "left, expected gone: ") + Location(item));
    }
    Print(Format("%-48s %6s %6s %6s %9s\n", "Kind", "there", "gone", "left", "to go"));
    bool asIntended = true;
    for (const std::string& kind : Kinds()) {
        if (!rows.count(kind)) continue;
        const Row& r = rows[kind];
        bool same = r.gone == r.expected && r.off.empty();
        asIntended &= same;
        Print(Format("%-48s %6d %6d %6d %9d%s\n", kind.c_str(), r.there, r.gone, r.there - r.gone, r.expected,
                     same ? "" : "   <- differs"));
    }
    for (const std::string& note : notes) Print("Kept by design: " + note + "\n");
    if (!asIntended) {
        Print("Differences from the intended result (at most three per kind):\n");
        for (const std::string& kind : Kinds())
            if (rows.count(kind))
                for (const std::string& line : rows[kind].off) Print("    " + line + "\n");
    }
    Print(Format("Bystanders: %d of %d intact.\n", bystanders - (int)damaged.size(), bystanders));
    for (const std::string& line : damaged) Print("    DAMAGED " + line + "\n");
    return damaged.empty() ? 0 : 1;
}

int Usage()
{
    Print("usage: samplemachine install [standard|installer|nointerop] | uninstall | report [state-file] |\n"
          "       compare before after switches...\n");
    return 2;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::vector<std::string> args(__argv + 1, __argv + __argc);
    std::string mode = args.empty() ? "" : Lower(args[0]);
    if (mode == "install") {
        unsigned variant = ParseVariant(args.size() > 1 ? Lower(args[1]) : "");
        return variant ? Install(variant) : Usage();
    }
    if (mode == "uninstall") return Uninstall();
    if (mode == "report") return Report(args.size() > 1 ? args[1] : "");
    if (mode == "compare" && args.size() >= 3) {
        std::string switches;
        for (size_t n = 3; n < args.size(); ++n) switches += (n > 3 ? " " : "") + args[n];
        return Compare(args[1], args[2], switches);
    }
    return Usage();
}
