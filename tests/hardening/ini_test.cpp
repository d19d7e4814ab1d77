// The INI files the program reads: session profiles with a huge or malformed
// "DisplayName" (and profiles that are no INI file at all), a global.ini with
// odd values, and values of 250 to 259 characters in both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/run_context.h"
#include "services/settings.h"
#include "hardening/exercises.h"
#include "hardening/hardening_support.h"

namespace hardening {
namespace {

struct IniParam {
    std::string name;
    std::string content;   // the file's bytes
};

void PrintTo(const IniParam& param, std::ostream* out) { *out << param.name; }

std::string ParamName(const ::testing::TestParamInfo<IniParam>& info) { return info.param.name; }

std::string Profile(const std::string& displayName)
{
    return "[Session Manager]\r\nDisplayName=" + displayName + "\r\n";
}

std::string Url(size_t length, char fill = 'u')
{
    std::string url = "http://host.example/ostrevan/";
    url.append(length - url.size(), fill);
    return url;
}

// The folders where the profiles of the first pass are looked for: the cache
// root's version folder (temporary folder route) and its low-integrity form.
// The 64-bit pass's "x64" folder is a link fixture and is left alone.
std::vector<std::string> ProfileFolders()
{
    return {CacheVersionFolder(false), TempFolder() + "\\Low\\Ostrevan\\7.1"};
}

// The web launcher registered in a folder without the launcher, so that the
// launcher step reads the profile again and then fails to start it.
void RegisterLauncher()
{
    SetText(HKEY_CURRENT_USER, "Software\\Calderwick\\Jarvane for Ostrevan", "InstallDir",
            std::string(kRoot) + "\\bin", 0);
}

// --- Session profiles ----------------------------------------------------------------

std::vector<IniParam> ProfileParams()
{
    std::string utf16 = "\xff\xfe";
    for (char c : Profile("http://host.example/ostrevan/page.htm"))
        utf16 += std::string(1, c) + '\0';
    return {
        {"Huge", Profile(Url(10 * 1024))},
        {"Of258", Profile(Url(258))},
        {"Of259", Profile(Url(259))},
        {"Of260", Profile(Url(260))},
        {"Of261", Profile(Url(261))},
        {"NoSlash", Profile("justtext")},
        {"OnlyASlash", Profile("/")},
        {"Slashes", Profile("////")},
        {"LeadingSlash", Profile("/ovw2h.htm")},
        {"BlanksPastTheLimit", Profile("http://host.example/" + std::string(100, ' ') + "/page.htm")},
        {"BlanksThatFit", Profile("http://host example/my folder/page.htm")},
        {"QuotesAndSwitches", Profile("\" -uninstall \"C:\\windows\" & del /q C:\\*.* /x")},
        {"NonAscii", Profile("http://h\xf6st.example/\xe4\xff\x80/p.htm")},
        {"OnlyBlanks", Profile("      ")},
        {"NoKey", "[Session Manager]\r\nName=x\r\n"},
        {"NoSection", "DisplayName=http://host.example/a/b.htm\r\n"},
        {"Empty", ""},
        {"BinaryJunk", std::string("\0\x01\xff[\0Session Manager\0]=\r\n\x7f", 24)},
        {"Utf16", utf16},
        {"ManyLines", std::string(20000, '\n') + Profile("http://host.example/a/b.htm")},
        {"UnterminatedSection", "[Session Manager\r\nDisplayName=http://host.example/a/b.htm"},
    };
}

class SessionProfile : public ParamCase<IniParam> {
protected:
    void TearDown() override
    {
        for (const std::string& folder : ProfileFolders()) DeleteFileA((folder + "\\hardening.ini").c_str());
        ParamCase<IniParam>::TearDown();
    }
};

TEST_P(SessionProfile, EndsAndStartsNothingUnbounded)
{
    RegisterLauncher();
    for (const std::string& folder : ProfileFolders())
        ASSERT_TRUE(Touch(folder + "\\hardening.ini", GetParam().content));
    RunTasksBothPasses("");
}

INSTANTIATE_TEST_SUITE_P(Ini, SessionProfile, ::testing::ValuesIn(ProfileParams()), ParamName);

// Profiles that are no file, or whose path cannot be built.
class SessionProfileFile : public Case {};

TEST_F(SessionProfileFile, AFolderNamedLikeAProfileAndANameTooLongToJoin)
{
    RegisterLauncher();
    std::string folder = CacheVersionFolder(false);
    fixture::MakeFolders(folder + "\\folder.ini");
    std::string name = std::string(255 - folder.size() - 1, 'p');
    name.replace(name.size() - 4, 4, ".ini");
    std::wstring wide = L"\\\\?\\";
    for (char c : folder + "\\" + name) wide += static_cast<wchar_t>(c);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    RunTasksBothPasses("");
    RemoveDirectoryA((folder + "\\folder.ini").c_str());
    DeleteFileW(wide.c_str());
}

// --- global.ini ------------------------------------------------------------------------

struct GlobalParam {
    std::string name;
    std::string content;
    int append;   // appendVersionToWorkingDir expected, -1: either
    int allow;    // allowCrossVersionInterop expected, -1: either
};

void PrintTo(const GlobalParam& param, std::ostream* out) { *out << param.name; }

std::string Global(const std::string& append, const std::string& allow)
{
    return "[Ostrevan]\r\nAppendVersionToWorkingDir=" + append +
           "\r\nAllowCrossVersionInterop=" + allow + "\r\n";
}

std::vector<GlobalParam> GlobalParams()
{
    std::string utf16 = "\xff\xfe";
    for (char c : Global("Yes", "No")) utf16 += std::string(1, c) + '\0';
    return {
        {"LongYes", Global(std::string(300, 'Y'), std::string(300, 'N')), 1, 0},
        {"TenKilobytes", Global("y" + std::string(10240, 'x'), "n" + std::string(10240, 'x')), 1, 0},
        {"Empty", "", 0, 1},
        {"EmptyValues", Global("", ""), 0, 1},
        {"UnterminatedSection", "[Ostrevan\r\nAppendVersionToWorkingDir=Yes\r\n", 0, 1},
        {"OtherSection", "[Ostrevan 7.1]\r\nAppendVersionToWorkingDir=Yes\r\n", 0, 1},
        {"DuplicateKeys", Global("No", "No") + "AppendVersionToWorkingDir=Yes\r\n", 0, 0},
        {"EqualsInValue", Global("=Yes", "==No"), 0, 1},
        {"BinaryJunk", std::string("[Ostrevan]\r\n\0\xff\x01=\x02\r\nAppendVersionToWorkingDir=\xff\r\n", 42), 0, 1},
        {"Utf16", utf16, -1, -1},
        {"ManyLines", std::string(50000, '\n') + Global("Yes", "No"), 1, 0},
        {"TrueAndFalse", Global("true", "False"), 0, 1},
    };
}

std::string GlobalParamName(const ::testing::TestParamInfo<GlobalParam>& info)
{
    return info.param.name;
}

class GlobalIni : public ParamCase<GlobalParam> {
protected:
    std::string Path() const { return CacheVersionFolder(false) + "\\global.ini"; }
    void TearDown() override
    {
        SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(Path().c_str());
        RemoveDirectoryA(Path().c_str());
        ParamCase<GlobalParam>::TearDown();
    }
};

TEST_P(GlobalIni, SettingsFollowTheFirstCharacterAndTheRunEnds)
{
    ASSERT_TRUE(Touch(Path(), GetParam().content));
    BeginPass(false);
    ReadGlobalIni();
    if (GetParam().append >= 0) {
        EXPECT_EQ(runContext.appendVersionToWorkingDir, GetParam().append);
    }
    if (GetParam().allow >= 0) {
        EXPECT_EQ(runContext.allowCrossVersionInterop, GetParam().allow);
    }
    EXPECT_LE(runContext.appendVersionToWorkingDir, 1);
    EXPECT_LE(runContext.allowCrossVersionInterop, 1);
    RunTasksBothPasses("/1");
}

INSTANTIATE_TEST_SUITE_P(Ini, GlobalIni, ::testing::ValuesIn(GlobalParams()), GlobalParamName);

class GlobalIniFile : public Case {
protected:
    std::string Path() const { return CacheVersionFolder(false) + "\\global.ini"; }
};

TEST_F(GlobalIniFile, AFolderOrAFileHeldOpenKeepsTheDefaults)
{
    fixture::MakeFolders(Path());
    BeginPass(false);
    ReadGlobalIni();
    EXPECT_EQ(runContext.appendVersionToWorkingDir, 0);
    EXPECT_EQ(runContext.allowCrossVersionInterop, 1);
    RemoveDirectoryA(Path().c_str());

    ASSERT_TRUE(Touch(Path(), Global("Yes", "No")));
    HANDLE held = CreateFileA(Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    BeginPass(false);
    ReadGlobalIni();
    CloseHandle(held);
    DeleteFileA(Path().c_str());
    EXPECT_LE(runContext.appendVersionToWorkingDir, 1);
}

// --- Values of 250 to 259 characters in the INI keys ----------------------------------------

class LongPathIni : public ::testing::WithParamInterface<int>, public Case {
protected:
    void TearDown() override
    {
        for (const std::string& folder : ProfileFolders()) DeleteFileA((folder + "\\hardening.ini").c_str());
        DeleteFileA((CacheVersionFolder(false) + "\\global.ini").c_str());
        Case::TearDown();
    }
};

TEST_P(LongPathIni, DisplayNameAndGlobalIniKeys)
{
    RegisterLauncher();
    int length = GetParam();
    for (const std::string& folder : ProfileFolders())
        ASSERT_TRUE(Touch(folder + "\\hardening.ini", Profile(Url(length, 'd'))));
    ASSERT_TRUE(Touch(CacheVersionFolder(false) + "\\global.ini",
                      Global(LongFolder(length), LongFolder(length))));
    RunTasksBothPasses("/1");
}

INSTANTIATE_TEST_SUITE_P(Ini, LongPathIni, ::testing::Range(250, 260),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Path" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace hardening
