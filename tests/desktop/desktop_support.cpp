#include "desktop/desktop_support.h"

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

bool MakeReadOnly(const std::string& path)
{
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != 0;
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

}  // namespace desktop_test
