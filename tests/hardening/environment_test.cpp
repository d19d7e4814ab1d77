// Environment references in the one value the program expands (the desktop
// "Working Directory" of type 0) and in one it must not (the Web-to-Host
// "Working Directory"): unset, empty, self-referencing, mutually referencing,
// expanding past 260 bytes, and expanding to folders that must not be emptied.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "services/run_context.h"
#include "hardening/exercises.h"
#include "hardening/hardening_support.h"
#include "services/folders.h"

namespace hardening {
namespace {

struct EnvironmentParam {
    std::string name;
    std::string value;                                        // the registry value
    std::vector<std::pair<std::string, std::string>> variables;   // set for the case
};

void PrintTo(const EnvironmentParam& param, std::ostream* out)
{
    *out << "\"" << param.value << "\"";
}

std::string Padded(const std::string& head, size_t length, char fill)
{
    std::string text = head;
    text.append(length - head.size(), fill);
    return text;
}

std::vector<EnvironmentParam> Params()
{
    std::string env = std::string(kRoot) + "\\cases\\env";
    return {
        {"Unset", "%WIPORA_UNSET%\\Data", {}},
        {"UnsetThenSystemRoot", "%WIPORA_UNSET%%SystemRoot%", {}},
        {"Empty", "%WIPORA_EMPTY%\\Data", {{"WIPORA_EMPTY", ""}}},
        {"SelfReferencing", "%WIPORA_SELF%", {{"WIPORA_SELF", "%WIPORA_SELF%\\x"}}},
        {"SelfReferencingAbsolute", "%WIPORA_SELF%",
         {{"WIPORA_SELF", env + "\\%WIPORA_SELF%"}}},
        {"SelfReferencingAlone", "%WIPORA_SELF%", {{"WIPORA_SELF", "%WIPORA_SELF%"}}},
        {"Mutual", "%WIPORA_A%", {{"WIPORA_A", "%WIPORA_B%"}, {"WIPORA_B", "%WIPORA_A%"}}},
        {"MutualAngle", "<WIPORA_A>", {{"WIPORA_A", "<WIPORA_B>"}, {"WIPORA_B", "<WIPORA_A>"}}},
        {"PastLimit", "%WIPORA_LONG%\\%WIPORA_LONG%",
         {{"WIPORA_LONG", Padded(env + "\\", 200, 'e')}}},
        {"ValueOf260", "%WIPORA_LONG%", {{"WIPORA_LONG", Padded(env + "\\", 260, 'e')}}},
        {"ExactlyFits", "%WIPORA_LONG%", {{"WIPORA_LONG", Padded(env + "\\", 259, 'e')}}},
        {"OneTooMany", "%WIPORA_LONG%x", {{"WIPORA_LONG", Padded(env + "\\", 259, 'e')}}},
        {"DriveRoot", "%WIPORA_ROOT%", {{"WIPORA_ROOT", "C:\\"}}},
        {"SystemRoot", "%SystemRoot%", {}},
        {"SystemFolder", "%windir%\\system32", {}},
        {"AngleSystemRoot", "<SystemRoot>", {}},
        {"Profile", "%USERPROFILE%", {}},
        {"RoamingAppData", "%APPDATA%", {}},
        {"Temp", "%TEMP%", {}},
        {"Public", "%PUBLIC%", {}},
        {"ProgramData", "%ProgramData%", {}},
        {"UpFromAVariable", "%WIPORA_DEEP%\\..\\..", {{"WIPORA_DEEP", env + "\\a"}}},
        {"LonePercent", "%", {}},
        {"DoublePercent", "%%", {}},
        {"EmptyAngle", "<>", {}},
        {"PercentInValue", "%WIPORA_PCT%\\x", {{"WIPORA_PCT", "50%"}}},
    };
}

std::string ParamName(const ::testing::TestParamInfo<EnvironmentParam>& info)
{
    return info.param.name;
}

class ScopedVariables {
public:
    explicit ScopedVariables(const std::vector<std::pair<std::string, std::string>>& variables)
    {
        for (const auto& variable : variables) {
            names_.push_back(variable.first);
            SetEnvironmentVariableA(variable.first.c_str(), variable.second.c_str());
        }
    }
    ~ScopedVariables()
    {
        for (const std::string& name : names_) SetEnvironmentVariableA(name.c_str(), nullptr);
    }
private:
    std::vector<std::string> names_;
};

class Environment : public ParamCase<EnvironmentParam> {};

// The expansion itself: it ends, stays inside its 260 bytes and leaves a
// terminated path, however the references are made.
TEST_P(Environment, ExpansionEndsInsideItsBuffer)
{
    ScopedVariables variables(GetParam().variables);
    if (GetParam().value.size() >= 260) GTEST_SKIP();
    char guarded[260 + 64];
    std::memset(guarded, 'G', sizeof guarded);
    std::memcpy(guarded, GetParam().value.c_str(), GetParam().value.size() + 1);
    ExpandEnvironmentReferences(guarded);
    EXPECT_LT(strnlen(guarded, 260), 260u) << "the result is terminated inside the buffer";
    for (size_t i = 260; i < sizeof guarded; ++i) ASSERT_EQ(guarded[i], 'G') << "written past 260";
}

// The uninstall of a desktop installation whose working directory is the value.
TEST_P(Environment, InTheDesktopWorkingDirectory)
{
    ScopedVariables variables(GetParam().variables);
    // One view, the two alternating along the cases.
    bool second = GetParam().name.size() % 2 != 0;
    const char* key = second ? kProduct64 : kProduct32;
    REGSAM view = second ? k64 : k32;
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, key, "Installation Directory", LongFolder(250), view));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, key, "Working Directory", GetParam().value, view));
    RunTasks("/1/4", second ? Passes::Second : Passes::First);
}

// The Web-to-Host working directory is used as stored, never expanded.
TEST_P(Environment, InTheWebToHostWorkingDirectory)
{
    ScopedVariables variables(GetParam().variables);
    bool second = GetParam().name.size() % 2 == 0;
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, second ? kWeb64 : kWeb32, "Working Directory",
                        GetParam().value, 0));
    RunTasks("/1", second ? Passes::Second : Passes::First);
}

INSTANTIATE_TEST_SUITE_P(References, Environment, ::testing::ValuesIn(Params()), ParamName);

}  // namespace
}  // namespace hardening
