// The robustness suite's oracle and fixtures. Every case, whatever it feeds
// the program, ends with the same checks (hardening::Case::TearDown): it took
// no more than a few seconds, every message box shown is one of the
// program's own (text, caption and style), and every bystander (the manifest
// of make-fixtures, the bystander keys, the case's own bystanders) is still
// there.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace hardening {

constexpr REGSAM k32 = KEY_WOW64_32KEY;
constexpr REGSAM k64 = KEY_WOW64_64KEY;
// "A few seconds" per case; a program case starts several 32-bit processes,
// each about 0.3 s under the emulator that runs 32-bit code on the bench
// machines, and the suite's programs it launches. A hang runs into the
// program time-out below.
constexpr DWORD kCaseLimitMs = 20000;
constexpr DWORD kProgramTimeoutMs = 15000;

extern const char kRoot[];                // C:\wipora-hardening, made by make-fixtures
using fixture::kProduct32;                // the product and Web keys (tests/support)
using fixture::kProduct64;
using fixture::kWeb32;
using fixture::kWeb64;

// make-fixtures has run (CTest runs it before the suite).
bool FixturesReady();
// The immutable fixtures (chattr +i) could be made.
bool LocksReady();

// --- Registry -------------------------------------------------------------------
// A value of any type with exactly these bytes.
bool SetRaw(HKEY root, const std::string& path, const char* name, DWORD type,
            const std::string& bytes, REGSAM view);
// "text" with its terminator, as REG_SZ.
bool SetText(HKEY root, const std::string& path, const char* name, const std::string& text,
             REGSAM view);
std::string Dword(DWORD value);
// A registry link at path (made with REG_OPTION_CREATE_LINK) to the key with
// the native path target, e.g. "\Registry\Machine\Software\X".
bool MakeRegistryLink(HKEY root, const std::string& path, REGSAM view, const std::string& target);
// Removes a registry link itself (never its target).
void DeleteRegistryLink(HKEY root, const std::string& path, REGSAM view);

// The shared fixtures (tests/support): saved values, the suite's keys (the
// bystander keys go with them and every case plants them anew), a pass's Run
// context, the temporary folder, files.
using fixture::BeginPass;
using fixture::RemoveSuiteKeys;
using fixture::SavedValue;
using fixture::TempFolder;
using fixture::Touch;

// Folders, with no trailing backslash.
std::string CacheVersionFolder(bool is64BitPass);   // temporary folder route
std::string Profile();           // C:\users\<user>

// A fresh, empty folder below C:\wipora-hardening\cases.
std::string CaseFolder(const std::string& name);

// --- Messages -----------------------------------------------------------------------
// Empty when the box is one of the program's own message boxes (text, caption
// and style); otherwise what is wrong with it.
std::string ForeignMessage(const fixture::ShownMessage& shown);

// --- Programs -----------------------------------------------------------------------
// The bench's Wipora.exe copied into the prefix (once).
std::string BenchProgram();
// Runs a program with a time-out in a current folder (empty: C:\), with extra
// environment variables ("NAME=value") for the child; the exit code, -1 on
// time-out (after ending it), -2 when it could not be started.
int RunChild(const std::string& commandLine, const std::string& currentFolder = "",
             const std::vector<std::string>& environment = {},
             DWORD timeoutMs = kProgramTimeoutMs);
// Wipora.exe with switches.
int RunWipora(const std::string& switches, const std::string& currentFolder = "",
              const std::vector<std::string>& environment = {});

// --- The oracle -------------------------------------------------------------------------
class Case : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A bystander of this case alone (made unless it exists): checked at the
    // end, removed afterwards.
    void AddBystander(const std::string& path, bool folder);
    // Message boxes are answered with this (IDYES unless a case says otherwise).
    void AnswerMessages(int answer);
    const std::vector<fixture::ShownMessage>& Shown() const;
private:
    DWORD started_ = 0;
    std::vector<std::pair<std::string, bool>> bystanders_;
};

template <class Param>
class ParamCase : public Case, public ::testing::WithParamInterface<Param> {};

// Missing bystanders of the manifest and the bystander keys, for messages.
std::vector<std::string> MissingBystanders();

}  // namespace hardening
