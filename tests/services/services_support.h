// Helpers shared by the system services tests.
#pragma once
#include <windows.h>
#include <string>

#include "support/test_support.h"

namespace services_test {

// Sets an environment variable of this process for one test and puts the old
// value back afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value);
    ~ScopedVariable();
private:
    std::string name_, old_;
    bool had_;
};

// Copies a built test double (by file name) to dest; false on failure.
bool CopyDouble(const char* name, const std::string& dest);

// Windows path of length exactly `length`: folder, a backslash, then a name
// of 'n' characters.
std::string PathOfLength(const std::string& folder, size_t length);

// Folder listing with contents, for "byte for byte" comparisons: every file
// and folder below root as "relative-path|attributes|content" lines.
std::string Snapshot(const std::string& root);

}  // namespace services_test
