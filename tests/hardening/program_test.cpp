// Wipora.exe itself, as a child process with a time-out, on a machine that
// holds the bad input of each class at once: it must end with exit code 1 in
// a few seconds (a message box in quiet mode would make it wait until the
// time-out), and every bystander must stay.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hardening/exercises.h"
#include "hardening/hardening_support.h"

namespace hardening {
namespace {

const char kAll[] = "/1/2/3/4/q";

class ProgramCase : public Case {
protected:
    // The same value in every place of its kind (string or byte), each place
    // with what it needs beside it.
    void PlantEverywhere(DWORD stringType, const std::string& stringBytes, DWORD byteType,
                         const std::string& byteBytes)
    {
        for (const ValueSite& site : ValueSites()) {
            guards_.emplace_back(new SiteValueGuard(site));
            PrepareSite(site);
        }
        for (const ValueSite& site : ValueSites()) {
            if (site.isByte) PlantValue(site, byteType, byteBytes);
            else PlantValue(site, stringType, stringBytes);
        }
    }
    void PlantString(const std::string& text) { PlantEverywhere(REG_SZ, text + '\0', REG_BINARY, "\2"); }
    void Run(const std::string& switches = kAll, const std::string& folder = "",
             const std::vector<std::string>& environment = {})
    {
        EXPECT_EQ(RunWipora(switches, folder, environment), 1)
            << "Wipora.exe " << switches << " did not end normally (-1: time-out)";
    }
    void InstallAt(const std::string& dir)
    {
        for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
            SetText(HKEY_LOCAL_MACHINE, key.first, "Installation Directory", dir, key.second);
    }
    std::vector<std::unique_ptr<SiteValueGuard>> guards_;
};

class WrongTypeProgram : public ProgramCase {};
TEST_F(WrongTypeProgram, DwordsAndStringsEverywhere)
{
    PlantEverywhere(REG_DWORD, Dword(0x005C3A43), REG_SZ, std::string("2\0", 2));
    Run();
}
TEST_F(WrongTypeProgram, MultiStringsAndLongBinariesEverywhere)
{
    PlantEverywhere(REG_MULTI_SZ, std::string("C:\\\0windows\0\0", 13), REG_BINARY, std::string(8, '\2'));
    Run();
}

class EmptyValueProgram : public ProgramCase {};
TEST_F(EmptyValueProgram, EmptyEverywhere)
{
    PlantEverywhere(REG_SZ, std::string(1, '\0'), REG_BINARY, "");
    Run();
}

class BoundaryLengthProgram : public ProgramCase {};
TEST_F(BoundaryLengthProgram, Of260And261BytesEverywhere)
{
    for (size_t bytes : {260u, 261u}) {
        std::string text = std::string(kRoot) + "\\cases\\bl\\";
        text.append(bytes - text.size(), 'b');
        AddBystander(text.substr(0, 259), true);
        PlantEverywhere(REG_SZ, text, REG_SZ, text);
        Run();
    }
}

class HugeValueProgram : public ProgramCase {};
TEST_F(HugeValueProgram, SixtyFourKilobytesEverywhere)
{
    std::string text = "C:\\windows\\";
    text.append(64 * 1024 - text.size(), 'h');
    PlantEverywhere(REG_SZ, text + '\0', REG_BINARY, std::string(8192, 'C'));
    Run();
}

class LongPathProgram : public ProgramCase {};
TEST_F(LongPathProgram, Of250And259CharactersEverywhere)
{
    for (int length : {250, 259}) {
        PlantString(LongFolder(length));
        Run();
    }
}

class EnvironmentProgram : public ProgramCase {};
TEST_F(EnvironmentProgram, SelfAndMutualReferencesAndTheTemporaryFolder)
{
    InstallAt(LongFolder(250));
    for (const char* value : {"%WIPORA_SELF%", "%WIPORA_A%", "%TEMP%", "%SystemRoot%"}) {
        for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
            SetText(HKEY_LOCAL_MACHINE, key.first, "Working Directory", value, key.second);
        Run(kAll, "", {"WIPORA_SELF=%WIPORA_SELF%\\x", "WIPORA_A=%WIPORA_B%", "WIPORA_B=%WIPORA_A%"});
    }
}

class SubKeyNameProgram : public ProgramCase {};
TEST_F(SubKeyNameProgram, NamesThatDoNotFitAndKeysThatCannotBeOpened)
{
    InstallAt(LongFolder(250));
    HKEY product = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProduct32, 0, nullptr, 0, KEY_ALL_ACCESS | k32,
                              nullptr, &product, nullptr),
              ERROR_SUCCESS);
    for (int i = 0; i < 500; ++i) {
        HKEY sub = nullptr;
        std::string name = std::string(200, 'n') + std::to_string(i);
        RegCreateKeyExA(product, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | k32, nullptr, &sub, nullptr);
        if (sub) RegCloseKey(sub);
    }
    RegCloseKey(product);
    Run();
}

class RegistryLinkProgram : public ProgramCase {};
TEST_F(RegistryLinkProgram, LinksInTheProductAndWebKeys)
{
    const char kTarget[] = "\\Registry\\Machine\\Software\\Wipora Link Target";
    InstallAt(LongFolder(250));
    ASSERT_TRUE(MakeRegistryLink(HKEY_LOCAL_MACHINE, std::string(kProduct32) + "\\Link", k32, kTarget));
    ASSERT_TRUE(MakeRegistryLink(HKEY_CURRENT_USER, std::string(kWeb32) + "\\Link", 0, kTarget));
    ASSERT_TRUE(MakeRegistryLink(HKEY_CURRENT_USER, kWeb64, 0, kTarget));
    Run();
    DeleteRegistryLink(HKEY_LOCAL_MACHINE, std::string(kProduct32) + "\\Link", k32);
    DeleteRegistryLink(HKEY_CURRENT_USER, std::string(kWeb32) + "\\Link", 0);
    DeleteRegistryLink(HKEY_CURRENT_USER, kWeb64, 0);
}

class DangerousDirectoryProgram : public ProgramCase {};
TEST_F(DangerousDirectoryProgram, TheDriveRootEverywhere)
{
    PlantString("C:\\");
    Run();
}
TEST_F(DangerousDirectoryProgram, TheWindowsFolderEverywhere)
{
    PlantString("C:\\windows");
    Run();
}
TEST_F(DangerousDirectoryProgram, TheProfileRootEverywhere)
{
    PlantString(Profile());
    Run();
}
TEST_F(DangerousDirectoryProgram, TheTemporaryFolderEverywhere)
{
    PlantString(TempFolder());
    Run();
}
TEST_F(DangerousDirectoryProgram, ARelativePathEverywhere)
{
    PlantString("..\\..");
    Run();
}
TEST_F(DangerousDirectoryProgram, TheStartupFolderAsTheProgramGroup)
{
    InstallAt(LongFolder(250));
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
        SetText(HKEY_LOCAL_MACHINE, key.first, "Program Group", "StartUp", key.second);
    Run();
}

class FolderLinkProgram : public ProgramCase {};
TEST_F(FolderLinkProgram, EveryFolderThatHoldsLinks)
{
    InstallAt(std::string(kRoot) + "\\install");
    for (const char* key : {kWeb32, kWeb64})
        SetText(HKEY_CURRENT_USER, key, "Working Directory", std::string(kRoot) + "\\webwork", 0);
    for (const auto& key : {std::make_pair(kProduct32, k32), std::make_pair(kProduct64, k64)})
        SetText(HKEY_LOCAL_MACHINE, key.first, "Program Group", "Wipora Link Group", key.second);
    SavedValue cache32(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                       "ActiveXCache", k32);
    SetText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
            "ActiveXCache", std::string(kRoot) + "\\dpf", k32);
    Run();
}

class FileStateProgram : public ProgramCase {};
TEST_F(FileStateProgram, ImmutableAndReadOnlyInstallations)
{
    std::string dir = CaseFolder("program-state");
    ASSERT_TRUE(Touch(dir + "\\OVSESMGR.EXE"));
    SetFileAttributesA((dir + "\\OVSESMGR.EXE").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    SetText(HKEY_LOCAL_MACHINE, kProduct32, "Installation Directory", dir, k32);
    SetText(HKEY_LOCAL_MACHINE, kProduct64, "Installation Directory", std::string(kRoot) + "\\locked", k64);
    for (const char* key : {kWeb32, kWeb64})
        SetText(HKEY_CURRENT_USER, key, "Working Directory", std::string(kRoot) + "\\locked", 0);
    Run();
    EXPECT_FALSE(fixture::Exists(dir + "\\OVSESMGR.EXE"));
}

class MissingFolderProgram : public ProgramCase {};
TEST_F(MissingFolderProgram, NoTemporaryFolderAndNoInstallationDirectory)
{
    std::string missing = std::string(kRoot) + "\\cases\\missing\\a\\b";
    InstallAt(missing + "\\Ostrevan\\7.1");
    Run(kAll, "", {"TMP=" + missing + "\\temp", "TEMP=" + missing + "\\temp"});
    EXPECT_FALSE(fixture::Exists(missing));
}

class SessionProfileProgram : public ProgramCase {};
TEST_F(SessionProfileProgram, AHugeDisplayName)
{
    SetText(HKEY_CURRENT_USER, "Software\\Calderwick\\Jarvane for Ostrevan", "InstallDir",
            std::string(kRoot) + "\\bin", 0);
    std::string url = "http://host.example/" + std::string(10000, ' ') + "/x.htm";
    ASSERT_TRUE(Touch(CacheVersionFolder(false) + "\\hardening.ini",
                      "[Session Manager]\r\nDisplayName=" + url + "\r\n"));
    Run();
    DeleteFileA((CacheVersionFolder(false) + "\\hardening.ini").c_str());
}

class GlobalIniProgram : public ProgramCase {};
TEST_F(GlobalIniProgram, OddValues)
{
    std::string path = CacheVersionFolder(false) + "\\global.ini";
    ASSERT_TRUE(Touch(path, std::string("[Ostrevan]\r\nAppendVersionToWorkingDir=") +
                                std::string(5000, 'Y') + "\r\nAllowCrossVersionInterop=\xff\r\n"));
    InstallAt(LongFolder(250));
    Run();
    DeleteFileA(path.c_str());
}

class InstallerProbeProgram : public ProgramCase {};
TEST_F(InstallerProbeProgram, MalformedProductKeys)
{
    const std::string products = "Software\\Classes\\Installer\\Products\\";
    for (int i = 0; i < 200; ++i)
        fixture::MakeKey(HKEY_LOCAL_MACHINE, products + "WiporaMalformed" + std::to_string(i), k64);
    Run();
    for (int i = 0; i < 200; ++i)
        fixture::DeleteKey(HKEY_LOCAL_MACHINE, products + "WiporaMalformed" + std::to_string(i), k64);
}

}  // namespace
}  // namespace hardening
