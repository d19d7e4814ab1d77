// Fixtures of the desktop uninstall tests: a Clear run's context, the suite's
// keys in both views, scheduled renames, and files held open by another process.
#pragma once
#include <windows.h>
#include <string>

namespace desktop_test {

constexpr REGSAM k32 = KEY_WOW64_32KEY;
constexpr REGSAM k64 = KEY_WOW64_64KEY;

// A fresh Run context for the given pass on the NT platform (6.1), with the
// current user as the writable per-user root.
void BeginPass(bool is64BitPass);

// Removes "Software\Ostrevan" and "Software\Ostrevan (64-bit)" from both hives
// in both views.
void RemoveSuiteKeys();

// Writes a small file, making the folders above it; true on success.
bool Touch(const std::string& path);
bool MakeReadOnly(const std::string& path);

// Copies a built test double (e.g. "holder.exe") to dest.
bool CopyDouble(const char* name, const std::string& dest);

// PendingFileRenameOperations as it was when the object was made is put back
// when it goes.
class PendingRenames {
public:
    PendingRenames();
    ~PendingRenames();
    // Whether the value now schedules path (as "\??\" + path) for deletion.
    bool Schedules(const std::string& path) const;
    // Whether the value changed since the object was made.
    bool Changed() const;
private:
    std::string saved_;
    bool existed_;
};

// Keeps a file open without sharing in another process (tests/doubles/holder).
class Holder {
public:
    explicit Holder(const std::string& path);
    ~Holder();
    bool holding() const { return holding_; }
private:
    HANDLE process_ = nullptr;
    HANDLE stop_ = nullptr;
    bool holding_ = false;
};

}  // namespace desktop_test
