#include "support/test_support.h"

#include <shlobj.h>
#include <cstdio>
#include <cstring>
#include <deque>

#include "services/messages.h"
#include "services/run_context.h"

namespace fixture {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

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
    // After the drive's "C:\", each backslash that is a character of its own
    // ends a level, and so does the end of the path.
    if (path.size() < 3) return;
    const char* start = path.c_str();
    for (const char* p = start + 3;; p = CharNextA(p)) {
        if (*p == '\\' || *p == '\0') CreateDirectoryA(std::string(start, p).c_str(), nullptr);
        if (*p == '\0') break;
    }
}

// The folders above path: up to its last backslash that is a character of its
// own, not the trail byte of a double-byte character.
static void MakeParentFolders(const std::string& path)
{
    const char* cut = nullptr;
    for (const char* p = path.c_str(); *p; p = CharNextA(p))
        if (*p == '\\') cut = p;
    if (cut) MakeFolders(std::string(path.c_str(), cut));
}

bool Touch(const std::string& path, const std::string& content)
{
    MakeParentFolders(path);
    return WriteFile(path, content);
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

std::string TempFolder()
{
    char shortForm[MAX_PATH] = "";
    GetTempPathA(sizeof shortForm, shortForm);
    char longForm[MAX_PATH] = "";
    DWORD n = GetLongPathNameA(shortForm, longForm, sizeof longForm);
    std::string folder = n > 0 && n < sizeof longForm ? longForm : shortForm;
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
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

const char kProduct32[] = "Software\\Ostrevan\\7.1";
const char kProduct64[] = "Software\\Ostrevan (64-bit)\\7.1";
const char kWeb32[] = "Software\\Ostrevan Web\\7.1";
const char kWeb64[] = "Software\\Ostrevan Web (64-bit)\\7.1";

static bool IsLinkKey(HKEY key)
{
    DWORD type = 0;
    return RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_LINK;
}

// Gives the sub-key name of key an open DACL when it cannot be opened as it is.
static void OpenUp(HKEY key, const char* name, REGSAM view)
{
    HKEY probe = nullptr;
    if (RegOpenKeyExA(key, name, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS | view, &probe) ==
        ERROR_SUCCESS) {
        RegCloseKey(probe);
        return;
    }
    HKEY dacl = nullptr;
    if (RegOpenKeyExA(key, name, REG_OPTION_OPEN_LINK, WRITE_DAC | view, &dacl) != ERROR_SUCCESS)
        return;
    SECURITY_DESCRIPTOR open;
    InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
    RegSetKeySecurity(dacl, DACL_SECURITY_INFORMATION, &open);
    RegCloseKey(dacl);
}

void DeleteKey(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS | view, &key) !=
        ERROR_SUCCESS)
        return;
    if (IsLinkKey(key)) {
        // RegDeleteKeyEx would delete the target; the link goes through its handle.
        using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
        auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey"));
        if (ntDeleteKey) ntDeleteKey(key);
        RegCloseKey(key);
        return;
    }
    for (int guard = 0; guard < 20000; ++guard) {
        char name[512];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        OpenUp(key, name, view);
        DeleteKey(key, name, view);
        char again[512];
        DWORD againLength = sizeof again;
        if (RegEnumKeyExA(key, 0, again, &againLength, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS &&
            std::strcmp(again, name) == 0)
            break;   // it stays: do not loop on it
    }
    RegCloseKey(key);
    using DeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    auto deleteKeyEx = reinterpret_cast<DeleteKeyExFn>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA"));
    if (deleteKeyEx) deleteKeyEx(root, path.c_str(), view, 0);
    else RegDeleteKeyA(root, path.c_str());
}

void RemoveSuiteKeys()
{
    static const char* const kTrees[] = {
        "Software\\Ostrevan", "Software\\Ostrevan (64-bit)",
        "Software\\Ostrevan Web", "Software\\Ostrevan Web (64-bit)",
        "Software\\Calderwick", "Software\\WOW6432Node\\Calderwick",
        "Software\\WiporaTests",
        // The association probe's ProgID and extension.
        "Software\\Classes\\Ostrevan.MainframeDisplay.7.1", "Software\\Classes\\.ovd",
    };
    // The controls the cases register.
    static const char* const kClsids[] = {
        "{3A7D1E20-5C4B-11D3-8E61-00A0C9B4D501}",
        "{4D9E2A10-3B8C-7132-A5E1-00C04F8E71A1}",
        "{4D9E2A10-3B8C-7164-A5E1-00C04F8E71A1}",
    };
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            for (const char* path : kTrees) DeleteKey(root, path, view);
        for (const char* clsid : kClsids)
            DeleteKey(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\CLSID\\") + clsid, view);
    }
}

ScopedVariable::ScopedVariable(const char* name, const char* value) : name_(name)
{
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size > 0) {
        std::string old(size, '\0');
        DWORD n = GetEnvironmentVariableA(name, &old[0], size);
        had_ = n < size;
        if (had_) old_ = old.substr(0, n);
    }
    SetEnvironmentVariableA(name, value);
}

ScopedVariable::~ScopedVariable()
{
    SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr);
}

void BeginPass(bool is64BitPass, DWORD osMajor)
{
    ResetRunContext();
    runContext.osVersion.dwOSVersionInfoSize = sizeof runContext.osVersion;
    runContext.osVersion.dwMajorVersion = osMajor;
    runContext.osVersion.dwMinorVersion = 1;
    runContext.osVersion.dwBuildNumber = 7601;
    runContext.osVersion.dwPlatformId = VER_PLATFORM_WIN32_NT;
    runContext.is64BitPass = is64BitPass ? 1 : 0;
    SelectRegistryView();
    runContext.writableUserKey = HKEY_CURRENT_USER;
}

int Run(const std::string& commandLine, DWORD timeoutMs, const char* currentFolder,
        const char* environment)
{
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, const_cast<char*>(environment),
                        currentFolder, &si, &pi))
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

bool CopyDouble(const std::string& name, const std::string& dest)
{
    MakeParentFolders(dest);
    return CopyFileA((DoublesDir() + "\\" + name).c_str(), dest.c_str(), FALSE) != 0;
}

// The holder runs from a copy on drive C: (the 32-bit loader starts nothing
// from a path outside the prefix's drives, and the build tree is one only
// while the bench's drive W: is there).
Holder::Holder(const std::string& path, DWORD timeoutMs) : timeoutMs_(timeoutMs)
{
    static int counter = 0;
    const std::string exe = "C:\\wipora-tests\\holder.exe";
    if (!Exists(exe) && !CopyDouble("holder.exe", exe)) return;
    char name[64];
    std::snprintf(name, sizeof name, "wipora-holder-%lu-%d", GetCurrentProcessId(), ++counter);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (std::string(name) + "-ready").c_str());
    stop_ = CreateEventA(nullptr, TRUE, FALSE, (std::string(name) + "-stop").c_str());
    std::string command = "\"" + exe + "\" \"" + path + "\" " + name;
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si,
                       &pi)) {
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        // Ready, and still running: a holder that could not open the file exits.
        HANDLE waits[2] = {ready, process_};
        holding_ = WaitForMultipleObjects(2, waits, FALSE, timeoutMs_) == WAIT_OBJECT_0 &&
                   WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
    }
    CloseHandle(ready);
}

Holder::~Holder()
{
    if (stop_) SetEvent(stop_);
    if (process_) {
        if (WaitForSingleObject(process_, timeoutMs_) != WAIT_OBJECT_0) TerminateProcess(process_, 9);
        CloseHandle(process_);
    }
    if (stop_) CloseHandle(stop_);
}

const char kUsageCaption[] = "Ostrevan Wipora Utility v7.1";
const char kUsageText[] =
    "Usage: Wipora {switch(es)}<Enter>\r\n"
    "\r\n"
    "/1  Delete All User Files\r\n"
    "/2  Uninstall ActiveX Controls\r\n"
    "/3  Delete Internet Cached Files\r\n"
    "/4  Uninstall Served Desktop\r\n"
    "/q  Quiet Mode\r\n";
const char kDialogCaption[] = "Ostrevan Wipora Utility (32-bit) v7.1";

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
