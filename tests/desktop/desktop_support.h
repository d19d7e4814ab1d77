// Fixtures of the desktop uninstall tests: a Clear run's context, the suite's
// keys in both views, scheduled renames, and files held open by another process.
#pragma once
#include <windows.h>
#include <string>

#include "support/test_support.h"

namespace desktop_test {

constexpr REGSAM k32 = KEY_WOW64_32KEY;
constexpr REGSAM k64 = KEY_WOW64_64KEY;

// The shared fixtures (tests/support): a Clear run's context, the suite's
// keys, files, the built doubles and a file held open by another process.
using fixture::BeginPass;
using fixture::CopyDouble;
using fixture::Holder;
using fixture::RemoveSuiteKeys;
using fixture::Touch;

bool MakeReadOnly(const std::string& path);

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

}  // namespace desktop_test
