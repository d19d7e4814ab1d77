#include "webclear_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <cstdio>

#include "services/run_context.h"

namespace webclear_test {

void BeginPass(bool x64, DWORD osMajor)
{
    ResetRunContext();
    runContext.is64BitPass = x64 ? 1 : 0;
    SelectRegistryView();
    runContext.osVersion.dwOSVersionInfoSize = sizeof runContext.osVersion;
    runContext.osVersion.dwMajorVersion = osMajor;
    runContext.osVersion.dwMinorVersion = 1;
    runContext.osVersion.dwPlatformId = VER_PLATFORM_WIN32_NT;
    runContext.baseRegistry = 2;
    runContext.writableUserKey = HKEY_CURRENT_USER;
    // No real message box may wait for a user who is not there.
    fixture::ScriptMessages({}, IDNO);
}

static std::string CutBackslash(std::string path)
{
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

std::string TempFolder()
{
    char shortForm[MAX_PATH] = "", longForm[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, shortForm);
    GetLongPathNameA(shortForm, longForm, MAX_PATH);
    return CutBackslash(longForm);
}

std::string AppDataFolder() { return fixture::ShellFolder(CSIDL_APPDATA); }

std::string LocalLowFolder()
{
    std::string local = fixture::ShellFolder(CSIDL_LOCAL_APPDATA);   // ...\AppData\Local
    return local + "Low";
}

std::string DesktopFolder() { return fixture::ShellFolder(CSIDL_DESKTOPDIRECTORY); }

void CleanSuiteFootprint()
{
    for (const std::string& root : {TempFolder(), TempFolder() + "\\Low"})
        fixture::RemoveAll(root + "\\Ostrevan");
    fixture::RemoveAll(AppDataFolder() + "\\Ostrevan Web");
    fixture::RemoveAll(LocalLowFolder() + "\\Ostrevan Web");
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            fixture::DeleteKey(root, "Software\\Ostrevan Web", view);
            fixture::DeleteKey(root, "Software\\Calderwick", view);
        }
        fixture::DeleteKey(HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Calderwick", view);
    }
}

std::string CopyDouble(const std::string& name, const std::string& folder, const std::string& asName)
{
    fixture::MakeFolders(folder);
    std::string target = folder + "\\" + (asName.empty() ? name : asName);
    CopyFileA((fixture::DoublesDir() + "\\" + name).c_str(), target.c_str(), FALSE);
    return target;
}

LaunchLog::LaunchLog()
{
    folder = fixture::TempRoot() + "\\bin";
    CopyDouble("javaws.exe", folder);
    path = folder + "\\launch.log";
    char buffer[32768] = "";
    GetEnvironmentVariableA("PATH", buffer, sizeof buffer);
    savedPath = buffer;
    SetEnvironmentVariableA("PATH", (folder + ";" + savedPath).c_str());
    SetEnvironmentVariableA("WIPORA_LAUNCH_LOG", path.c_str());
}

LaunchLog::~LaunchLog()
{
    SetEnvironmentVariableA("PATH", savedPath.c_str());
    SetEnvironmentVariableA("WIPORA_LAUNCH_LOG", nullptr);
}

std::vector<std::string> LaunchLog::Lines() const { return SplitLines(ReadText(path)); }

Holder::Holder(const std::string& file)
{
    static int counter = 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "wipora-holder-%lu-%d", GetCurrentProcessId(), ++counter);
    name = buffer;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + "-ready").c_str());
    stop = CreateEventA(nullptr, TRUE, FALSE, (name + "-stop").c_str());
    std::string cmd = "\"" + fixture::DoublesDir() + "\\holder.exe\" \"" + file + "\" " + name;
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si, &pi)) {
        CloseHandle(pi.hThread);
        process = pi.hProcess;
        HANDLE waits[2] = {ready, process};
        holding = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0 &&
                  WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    }
    CloseHandle(ready);
}

Holder::~Holder()
{
    SetEvent(stop);
    if (process) {
        WaitForSingleObject(process, 30000);
        CloseHandle(process);
    }
    CloseHandle(stop);
}

SavedValue::SavedValue(HKEY r, const std::string& p, const char* n, REGSAM v)
    : root(r), path(p), name(n ? n : ""), view(v)
{
    existed = fixture::ReadString(root, path, n, &value, view);
}

SavedValue::~SavedValue()
{
    const char* n = name.empty() ? nullptr : name.c_str();
    if (existed) {
        fixture::SetString(root, path, n, value, view);
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE | view, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, n);
        RegCloseKey(key);
    }
}

bool Plant(const std::string& path, const std::string& content)
{
    fixture::MakeFolders(path.substr(0, path.rfind('\\')));
    if (fixture::WriteFile(path, content)) return true;
    ADD_FAILURE() << "could not plant " << path;
    return false;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string ReadText(const std::string& path)
{
    std::string content;
    fixture::ReadFile(path, &content);
    return content;
}

}  // namespace webclear_test
