// The table of what the suite tried: a GoogleTest listener counts the cases of
// each class (by the test suite's name: "<Class>..." for cases that call the
// program's functions, "<Class>...Program" for runs of Wipora.exe) and, after
// a complete run, writes the Markdown table to build/hardening-table.md.
// tools/hardening-table compares it with docs/hardening.md (CTest does, after
// the suite) or copies it there, so the documentation shows what was run.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "support/test_support.h"

namespace {

struct ClassInfo { const char* name; const char* tried; };

// Every class of bad input and fault, in the order of the table.
const ClassInfo kClasses[] = {
    {"WrongType", "registry values of the wrong type: DWORD, binary, UTF-16, multi-string and "
                  "expandable strings where a string is read; strings, DWORDs and long binaries "
                  "where a byte is read"},
    {"EmptyValue", "empty values: zero-length and terminator-only strings, zero-length binaries"},
    {"BoundaryLength", "REG_SZ values of exactly 259, 260 and 261 bytes, with and without "
                       "terminator"},
    {"HugeValue", "string values of 4 and 64 KB, binary values of 8 KB"},
    {"LongPath", "paths of 250 to 259 characters in every registry value and INI key read, so "
                 "that each later join passes 259"},
    {"Environment", "environment references: unset, empty, self-referencing, mutually "
                    "referencing, expanding past 260 bytes or to a protected folder"},
    {"SubKeyName", "sub-key names of 63, 64 and 255 characters, sub-keys that cannot be opened "
                   "or deleted, thousands of them"},
    {"RegistryLink", "registry links inside and in place of the product and Web keys"},
    {"DangerousDirectory", "a directory value that is a drive root, the Windows folder, a profile "
                           "root or shell folder, relative, UNC-like, a device path, or contains "
                           "\"..\", trailing dots or blanks"},
    {"FolderLink", "a folder link inside every folder the program empties, pointing at a "
                   "bystander folder"},
    {"FileState", "files read-only, hidden, system, held open without sharing, or that cannot "
                  "be deleted (immutable file or folder)"},
    {"MissingFolder", "missing folders at every level"},
    {"SessionProfile", "session profiles with a huge or malformed DisplayName"},
    {"GlobalIni", "a global.ini with odd values"},
    {"UrlCache", "URL cache entries larger than 4,096 bytes"},
    {"InstallerProbe", "an installer database that never stops listing products"},
};

struct Tally { int functionCases = 0, programCases = 0, failed = 0, skipped = 0; };

// The class of a test suite: the longest class name that begins its name
// (after an instantiation's "Instance/"); a suite whose name ends in "Program"
// runs Wipora.exe. ("Other", false) for a suite of no class.
std::pair<std::string, bool> ClassOf(std::string suite)
{
    size_t slash = suite.find('/');
    if (slash != std::string::npos) suite = suite.substr(slash + 1);
    std::string best;
    for (const ClassInfo& info : kClasses) {
        std::string name = info.name;
        if (suite.compare(0, name.size(), name) == 0 && name.size() > best.size()) best = name;
    }
    const std::string program = "Program";
    bool isProgram = suite.size() >= program.size() &&
                     suite.compare(suite.size() - program.size(), program.size(), program) == 0;
    return {best.empty() ? suite : best, isProgram};
}

class TableWriter : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& info) override
    {
        auto cls = ClassOf(info.test_suite_name());
        Tally& tally = tallies_[cls.first];
        (cls.second ? tally.programCases : tally.functionCases)++;
        if (info.result()->Skipped()) tally.skipped++;
        else if (info.result()->Failed()) tally.failed++;
    }

    void OnTestProgramEnd(const ::testing::UnitTest&) override
    {
        // Only a complete run describes the suite.
        if (::testing::GTEST_FLAG(filter) != "*" || ::testing::GTEST_FLAG(repeat) != 1) return;
        std::string table =
            "| Class | What was tried | Function cases | Program cases | Result |\n"
            "|---|---|---:|---:|---|\n";
        int total = 0;
        for (const ClassInfo& info : kClasses) {
            const Tally tally = tallies_[info.name];
            int cases = tally.functionCases + tally.programCases;
            total += cases;
            std::string result = cases == 0 ? "not tried" : "all pass";
            if (tally.failed || tally.skipped) {
                result = std::to_string(tally.failed) + " failed, " +
                         std::to_string(tally.skipped) + " skipped";
            }
            table += std::string("| ") + info.name + " | " + info.tried + " | " +
                     std::to_string(tally.functionCases) + " | " +
                     std::to_string(tally.programCases) + " | " + result + " |\n";
        }
        for (const auto& entry : tallies_) {
            bool listed = false;
            for (const ClassInfo& info : kClasses) listed = listed || entry.first == info.name;
            if (!listed) table += "| " + entry.first + " | (a test suite of no class) | | | |\n";
        }
        table += "\n" + std::to_string(total) + " cases.\n";
        std::string path = fixture::WindowsPath(WIPORA_HARDENING_TABLE);
        if (!fixture::WriteFile(path, table))
            std::fprintf(stderr, "hardening: could not write %s\n", path.c_str());
    }

    std::map<std::string, Tally> tallies_;
};

struct Registration {
    Registration() { ::testing::UnitTest::GetInstance()->listeners().Append(new TableWriter); }
} registration;

}  // namespace
