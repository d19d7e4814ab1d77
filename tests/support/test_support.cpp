#include "support/test_support.h"

#include <shlobj.h>
#include <cstdio>
#include <deque>

#include "services/messages.h"

namespace fixture {

bool WriteFile(const std::string& path, const std::string& content)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(h, content.data(), (DWORD)content.size(), &written, nullptr);
    CloseHandle(h);
    return ok && written == content.size();
}

bool ReadFile(const std::string& path, std::string* content)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    content->clear();
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) content->append(buf, got);
    CloseHandle(h);
    return true;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFolders(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
}

void RemoveAll(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if (!(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
        do {
            std::string n = fd.cFileName;
            if (n != "." && n != "..") RemoveAll(path + "\\" + n);
        } while (FindNextFileA(f, &fd));
        FindClose(f);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

std::string TempRoot()
{
    static int counter = 0;
    char name[64];
    std::snprintf(name, sizeof name, "C:\\wipora-tests\\t%lu-%d", GetCurrentProcessId(), ++counter);
    RemoveAll(name);
    MakeFolders(name);
    return name;
}

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

static HKEY OpenOrCreate(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool SetString(HKEY root, const std::string& path, const char* name, const std::string& value,
               REGSAM view)
{
    return SetBinary(root, path, name, value.c_str(), (DWORD)value.size() + 1, REG_SZ, view);
}

bool SetBinary(HKEY root, const std::string& path, const char* name, const void* data,
               DWORD size, DWORD type, REGSAM view)
{
    HKEY key = OpenOrCreate(root, path, view);
    if (!key) return false;
    LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool MakeKey(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = OpenOrCreate(root, path, view);
    if (!key) return false;
    RegCloseKey(key);
    return true;
}

bool KeyExists(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ReadString(HKEY root, const std::string& path, const char* name, std::string* value,
                REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    char buf[4096] = "";
    DWORD size = sizeof buf - 1;
    LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)buf, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    buf[size] = 0;
    *value = buf;
    return true;
}

// Depth-first delete of a test key in an explicit view.
void DeleteKey(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        char name[512];
        for (int guard = 0; guard < 10000; ++guard) {
            DWORD len = sizeof name;
            if (RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            DeleteKey(key, name, view);
        }
        RegCloseKey(key);
    }
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    auto del = reinterpret_cast<DeleteKeyEx>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA"));
    if (del) del(root, path.c_str(), view, 0);
    else RegDeleteKeyA(root, path.c_str());
}

int Run(const std::string& commandLine, DWORD timeoutMs)
{
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -2;
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
        code = (DWORD)-1;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}

SavedValue::SavedValue(HKEY root, std::string path, std::string name, REGSAM view)
    : root_(root), path_(std::move(path)), name_(std::move(name)), view_(view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_READ | view_, &key) != ERROR_SUCCESS) return;
    const char* valueName = name_.empty() ? nullptr : name_.c_str();
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
        data_.assign(size, '\0');
        existed_ = RegQueryValueExA(key, valueName, nullptr, &type_, reinterpret_cast<BYTE*>(&data_[0]),
                                    &size) == ERROR_SUCCESS;
        data_.resize(size);
    }
    RegCloseKey(key);
}

SavedValue::~SavedValue()
{
    const char* valueName = name_.empty() ? nullptr : name_.c_str();
    HKEY key = nullptr;
    if (existed_) {
        if (RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view_, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExA(key, valueName, 0, type_, reinterpret_cast<const BYTE*>(data_.data()),
                       (DWORD)data_.size());
    } else {
        if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_SET_VALUE | view_, &key) != ERROR_SUCCESS) return;
        RegDeleteValueA(key, valueName);
    }
    RegCloseKey(key);
}

std::string WindowsPath(const std::string& unixPath)
{
    using ToDos = WCHAR*(CDECL*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name"));
    if (!toDos) return unixPath;
    WCHAR* w = toDos(unixPath.c_str());
    if (!w) return unixPath;
    char out[MAX_PATH * 2] = "";
    WideCharToMultiByte(CP_ACP, 0, w, -1, out, sizeof out, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, w);
    return out;
}

std::string DoublesDir() { return WindowsPath(WIPORA_DOUBLES_DIR); }
std::string ProgramPath() { return WindowsPath(std::string(WIPORA_DOUBLES_DIR) + "/../Wipora.exe"); }

static std::deque<int> scriptedAnswers;
static int scriptedDefault = IDOK;
static std::vector<ShownMessage> shown;

static int ScriptedMessage(HWND owner, const char* text, const char* caption, UINT style)
{
    shown.push_back({owner, text ? text : "", caption ? caption : "", style});
    if (scriptedAnswers.empty()) return scriptedDefault;
    int a = scriptedAnswers.front();
    scriptedAnswers.pop_front();
    return a;
}

void ScriptMessages(std::vector<int> answers, int defaultAnswer)
{
    scriptedAnswers.assign(answers.begin(), answers.end());
    scriptedDefault = defaultAnswer;
    shown.clear();
    SetMessageHook(ScriptedMessage);
}

const std::vector<ShownMessage>& ShownMessages() { return shown; }

void StopScriptingMessages() { SetMessageHook(nullptr); }

}  // namespace fixture
