// Helpers shared by the system services tests.
#pragma once
#include <windows.h>
#include <string>

#include "support/test_support.h"

namespace services_test {

// The shared fixtures (tests/support): an environment variable set for one
// test, a built test double copied into place.
using fixture::CopyDouble;
using fixture::ScopedVariable;

// Windows path of length exactly `length`: folder, a backslash, then a name
// of 'n' characters.
std::string PathOfLength(const std::string& folder, size_t length);

// Folder listing with contents, for "byte for byte" comparisons: every file
// and folder below root as "relative-path|attributes|content" lines.
std::string Snapshot(const std::string& root);

}  // namespace services_test
