// The double-byte suite: the program under a double-byte ANSI code page
// (932, 936, 949 or 950, from the Unix locale CTest starts it with), on paths
// whose folder names end in, hold or begin with a character whose trail byte
// is 0x5C, the value of a backslash (code page 949 has none: there a trail
// byte with the value of an ASCII letter stands in).
//
// Every case plants the suite's own files in a folder with such a name, beside
// bystanders whose names begin with the same characters, and checks that the
// suite's folder is emptied or removed as in an ASCII run and that nothing
// else below the case's folder changed (a snapshot taken before the run).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace dbcs {

constexpr REGSAM k32 = KEY_WOW64_32KEY;

// A character of the current code page whose trail byte is 0x5C (index 0, 1,
// 2: three different ones); in code page 949, one whose trail byte is an ASCII
// letter. Empty when the code page has none (not a double-byte one).
std::string Character(int index);

// Where the double-byte character stands in a folder name.
enum class Shape { End, EndWithBackslash, Middle, AfterBackslash };
const char* ShapeName(Shape shape);
extern const Shape kShapes[4];
// A folder name built on base with the character placed as shape says; for
// EndWithBackslash the name as End (the backslash goes on the path, see Spell).
std::string FolderName(const std::string& base, Shape shape, int character = 0);
// folder spelled as a registry value would hold it: with a trailing backslash
// for EndWithBackslash.
std::string Spell(const std::string& folder, Shape shape);

// C:\wipora-dbcs\<case>\<second character>: a fresh folder whose own name is a
// double-byte character, so every path below it holds one right after a
// backslash and one right before a backslash.
std::string CaseFolder(const std::string& caseName);

// Folders and files, walked by characters of the code page (tests/support).
using fixture::MakeFolders;
using fixture::Touch;

// Every file (with its content) and folder below root, except below the
// folders in excluded (compared without regard to case).
using Snapshot = std::map<std::string, std::string>;
Snapshot Take(const std::string& root, const std::vector<std::string>& excluded = {});
// The entries of a snapshot that differ from another, for failure messages.
std::string Difference(const Snapshot& before, const Snapshot& after);
// Number of entries (files and folders) below folder; -1 when it is missing.
int EntryCount(const std::string& folder);

// Bystanders beside folder: files and folders whose names are folder's name
// followed by each of the given names (what a join without a backslash would
// reach), with a file in each folder.
void PlantNeighbours(const std::string& folder, const std::vector<std::string>& files,
                     const std::vector<std::string>& folders);

using fixture::SavedValue;
using fixture::ScopedVariable;

// A shell folder moved for the case through its "User Shell Folders" value
// (per user, or the machine's for the common folders), put back afterwards.
class MovedShellFolder {
public:
    MovedShellFolder(int csidl, const std::string& folder);
private:
    SavedValue saved_;
};

// The base of every case: the code page is a double-byte one (the one CTest
// asked for in WIPORA_CODE_PAGE), the suite's keys are gone, a fresh Run
// context of a quiet 32-bit pass on Windows 7, every message box answered Yes.
class Case : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace dbcs
