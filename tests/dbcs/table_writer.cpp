// The double-byte rows of the robustness table in docs/hardening.md: after a
// complete run the suite writes one row for its code page (cases run
// in process, runs of Wipora.exe, results) to build/dbcs-table-<code page>.md;
// tools/hardening-table adds them to the robustness suite's table.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace {

class RowWriter : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& info) override
    {
        std::string suite = info.test_suite_name();
        bool program = suite.size() >= 7 && suite.compare(suite.size() - 7, 7, "Program") == 0;
        (program ? programCases_ : functionCases_)++;
        if (info.result()->Skipped()) skipped_++;
        else if (info.result()->Failed()) failed_++;
    }

    void OnTestProgramEnd(const ::testing::UnitTest&) override
    {
        // CTest's runs only (they name the code page); the other code pages
        // than 932 run a part of the suite, and their row says so.
        if (!std::getenv("WIPORA_CODE_PAGE") || ::testing::GTEST_FLAG(repeat) != 1) return;
        bool complete = ::testing::GTEST_FLAG(filter) == "*";
        UINT codePage = GetACP();
        std::string result = failed_ || skipped_ ? std::to_string(failed_) + " failed, " +
                                                       std::to_string(skipped_) + " skipped"
                                                 : "all pass";
        std::string row =
            "| DoubleByte" + std::to_string(codePage) + " | code page " +
            std::to_string(codePage) +
            (complete
                 ? ": folder names ending in, holding or beginning with a double-byte character "
                   "whose trail byte is 0x5C, in every path taken from the registry, the shell "
                   "and the environment, beside bystanders whose names begin the same way | "
                 : ": the same kinds of names (in 949, which has no trail byte 0x5C, one with the "
                   "value of an ASCII letter) in the path checks, the Web working directory and "
                   "the desktop directories | ") +
            std::to_string(functionCases_) + " | " + std::to_string(programCases_) + " | " + result +
            " |\n";
        std::string path =
            fixture::WindowsPath(std::string(WIPORA_DBCS_TABLE_DIR) + "/dbcs-table-" +
                                 std::to_string(codePage) + ".md");
        if (!fixture::WriteFile(path, row)) std::fprintf(stderr, "dbcs: could not write %s\n", path.c_str());
    }

    int functionCases_ = 0, programCases_ = 0, failed_ = 0, skipped_ = 0;
};

struct Registration {
    Registration() { ::testing::UnitTest::GetInstance()->listeners().Append(new RowWriter); }
} registration;

}  // namespace
