#include "desktop/desktop_support.h"

#include <cstdio>

#include "services/run_context.h"
#include "support/test_support.h"

namespace desktop_test {

namespace {
const char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";

bool ReadPending(std::string* data)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, kPendingValue, nullptr, nullptr, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        data->assign(size, '\0');
        rc = RegQueryValueExA(key, kPendingValue, nullptr, nullptr,
                              reinterpret_cast<BYTE*>(&(*data)[0]), &size);
        data->resize(size);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}
}  // namespace

void BeginPass(bool is64BitPass)
{
    ResetRunContext();
    runContext.osVersion.dwOSVersionInfoSize = sizeof runContext.osVersion;
    runContext.osVersion.dwMajorVersion = 6;
    runContext.osVersion.dwMinorVersion = 1;
    runContext.osVersion.dwPlatformId = VER_PLATFORM_WIN32_NT;
    runContext.is64BitPass = is64BitPass ? 1 : 0;
    SelectRegistryView();
    runContext.writableUserKey = HKEY_CURRENT_USER;
}

void RemoveSuiteKeys()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (REGSAM view : {k32, k64}) {
            fixture::DeleteKey(root, "Software\\Ostrevan", view);
            fixture::DeleteKey(root, "Software\\Ostrevan (64-bit)", view);
        }
    }
}

bool Touch(const std::string& path)
{
    size_t cut = path.rfind('\\');
    if (cut != std::string::npos) fixture::MakeFolders(path.substr(0, cut));
    return fixture::WriteFile(path, "wipora test file");
}

bool MakeReadOnly(const std::string& path)
{
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != 0;
}

bool CopyDouble(const char* name, const std::string& dest)
{
    std::string source = fixture::DoublesDir() + "\\" + name;
    size_t cut = dest.rfind('\\');
    if (cut != std::string::npos) fixture::MakeFolders(dest.substr(0, cut));
    return CopyFileA(source.c_str(), dest.c_str(), FALSE) != 0;
}

PendingRenames::PendingRenames() { existed_ = ReadPending(&saved_); }

PendingRenames::~PendingRenames()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
    if (existed_)
        RegSetValueExA(key, kPendingValue, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(saved_.data()), (DWORD)saved_.size());
    else
        RegDeleteValueA(key, kPendingValue);
    RegCloseKey(key);
}

bool PendingRenames::Schedules(const std::string& path) const
{
    std::string data;
    if (!ReadPending(&data)) return false;
    std::string wanted = "\\??\\" + path;
    // Pairs of strings: the source, then the new name (empty for a deletion).
    size_t at = 0;
    while (at < data.size()) {
        std::string source = data.c_str() + at;
        at += source.size() + 1;
        if (at > data.size()) break;
        std::string target = data.c_str() + at;
        at += target.size() + 1;
        if (source.empty()) break;
        if (lstrcmpiA(source.c_str(), wanted.c_str()) == 0 && target.empty()) return true;
    }
    return false;
}

bool PendingRenames::Changed() const
{
    std::string now;
    bool exists = ReadPending(&now);
    return exists != existed_ || now != saved_;
}

Holder::Holder(const std::string& path)
{
    static int counter = 0;
    const std::string exe = "C:\\wipora-tests\\holder.exe";
    fixture::MakeFolders("C:\\wipora-tests");
    if (!fixture::Exists(exe) && !CopyDouble("holder.exe", exe)) return;
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
        HANDLE waits[2] = {ready, process_};
        holding_ = WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
    }
    CloseHandle(ready);
}

Holder::~Holder()
{
    if (stop_) SetEvent(stop_);
    if (process_) {
        if (WaitForSingleObject(process_, 20000) != WAIT_OBJECT_0) TerminateProcess(process_, 9);
        CloseHandle(process_);
    }
    if (stop_) CloseHandle(stop_);
}

}  // namespace desktop_test
