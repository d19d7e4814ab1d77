// The settings lookup against the prefix's real registry and files: where
// "BaseRegistry" is read from, the ways the suite's keys are opened, the
// global.ini switches of each view and the Session Manager class they change.
#include <gtest/gtest.h>

#include <string>

#include "services/run_context.h"
#include "app/run_driver.h"
#include "services/settings.h"
#include "support/test_support.h"

namespace {

using fixture::kWeb32;
using fixture::kWeb64;
using fixture::kProduct32;
const char kWritableRoot[] = "Software\\WiporaTests\\WritableRoot";

using fixture::RemoveSuiteKeys;

bool SetBaseRegistry(HKEY root, const std::string& path, BYTE value, REGSAM view = 0)
{
    return fixture::SetBinary(root, path, "BaseRegistry", &value, 1, REG_BINARY, view);
}

// The name of the key an opened handle stands for, read from a marker value.
std::string Marker(HKEY key)
{
    char buf[64] = "";
    DWORD size = sizeof buf - 1;
    if (RegQueryValueExA(key, "Marker", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size))
        return "";
    return buf;
}

class SuiteKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveSuiteKeys();
        ResetRunContext();
        runContext.writableUserKey = HKEY_CURRENT_USER;
        SelectRegistryView();
    }
    void TearDown() override
    {
        if (writable_) RegCloseKey(writable_);
        runContext.writableUserKey = HKEY_CURRENT_USER;
        RemoveSuiteKeys();
    }
    // A per-user root other than HKEY_CURRENT_USER, as the browser may give one.
    void UseWritableRoot()
    {
        ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, kWritableRoot));
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kWritableRoot, 0, KEY_ALL_ACCESS, &writable_), 0);
        runContext.writableUserKey = writable_;
    }
    static std::string UnderWritable(const char* path) { return std::string(kWritableRoot) + "\\" + path; }

    int Read(bool useWebKey)
    {
        runContext.baseRegistry = 77;   // must be replaced by the default or a value
        ReadBaseRegistry(useWebKey);
        return runContext.baseRegistry;
    }

    HKEY writable_ = nullptr;
};

TEST_F(SuiteKeys, WithoutAnyKeyTheWebEditionIsPerUserAndTheDesktopPerMachine)
{
    EXPECT_EQ(Read(true), 2);
    EXPECT_EQ(Read(false), 0);
}

TEST_F(SuiteKeys, MachineKeyAnswersWhenThereIsNoPerUserKey)
{
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb32, 2, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(true), 2);
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb32, 0, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(true), 0);
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kProduct32, 2, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(false), 2);
}

TEST_F(SuiteKeys, PerUserValueWinsOverTheMachineValue)
{
    ASSERT_TRUE(SetBaseRegistry(HKEY_CURRENT_USER, kWeb32, 1));
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb32, 2, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(true), 1);
}

TEST_F(SuiteKeys, PerUserKeyWithoutValueSendsTheLookupToTheMachineKey)
{
    UseWritableRoot();
    ASSERT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, kWeb32));
    ASSERT_TRUE(SetBaseRegistry(HKEY_CURRENT_USER, UnderWritable(kWeb32), 1));
    EXPECT_EQ(Read(true), 2) << "no machine key: the default, not the writable root's 1";
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb32, 0, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(true), 0);
}

TEST_F(SuiteKeys, WritableRootStandsInForAMissingPerUserKey)
{
    UseWritableRoot();
    ASSERT_TRUE(SetBaseRegistry(HKEY_CURRENT_USER, UnderWritable(kWeb32), 1));
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb32, 0, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(true), 1);
}

// A value without data answers the query but writes no byte: the default
// stays, and the machine-wide key is not asked.
TEST_F(SuiteKeys, AValueWithoutDataKeepsTheDefault)
{
    BYTE none = 1;
    ASSERT_TRUE(fixture::SetBinary(HKEY_CURRENT_USER, kWeb32, "BaseRegistry", &none, 0, REG_BINARY));
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb32, 1, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(true), 2);
}

TEST_F(SuiteKeys, AValueLongerThanOneByteIsNoValue)
{
    DWORD four = 1;
    ASSERT_TRUE(fixture::SetBinary(HKEY_CURRENT_USER, kWeb32, "BaseRegistry", &four, sizeof four,
                                   REG_DWORD));
    EXPECT_EQ(Read(true), 2) << "the default survives the failed query";
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb32, 1, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(true), 1);
}

TEST_F(SuiteKeys, EachRunReadsItsOwnViewAndKeyNames)
{
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb32, 1, KEY_WOW64_32KEY));
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb32, 0, KEY_WOW64_64KEY));
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb64, 3, KEY_WOW64_64KEY));
    ASSERT_TRUE(SetBaseRegistry(HKEY_LOCAL_MACHINE, kWeb64, 4, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(true), 1);
    runContext.is64BitPass = 1;
    SelectRegistryView();
    EXPECT_EQ(Read(true), 3);
}

TEST_F(SuiteKeys, ReadOpensWhereBaseRegistrySays)
{
    UseWritableRoot();
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kWeb32, "Marker", "user"));
    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, UnderWritable(kWeb32), "Marker", "writable"));
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, kWeb32, "Marker", "machine", KEY_WOW64_32KEY));
    struct Case { BYTE base; const char* want; } cases[] = {{2, "user"}, {0, "machine"}, {1, "machine"}};
    for (const Case& c : cases) {
        runContext.baseRegistry = c.base;
        HKEY key = nullptr;
        ASSERT_EQ(OpenSuiteKeyForRead(kWeb32, &key), ERROR_SUCCESS) << int(c.base);
        EXPECT_EQ(Marker(key), c.want) << int(c.base);
        RegCloseKey(key);
    }

    fixture::DeleteKey(HKEY_CURRENT_USER, kWeb32);
    runContext.baseRegistry = 2;
    HKEY key = nullptr;
    ASSERT_EQ(OpenSuiteKeyForRead(kWeb32, &key), ERROR_SUCCESS);
    EXPECT_EQ(Marker(key), "writable");
    RegCloseKey(key);

    fixture::DeleteKey(HKEY_CURRENT_USER, UnderWritable(kWeb32));
    EXPECT_NE(OpenSuiteKeyForRead(kWeb32, &key), ERROR_SUCCESS) << "never the machine key";
}

TEST_F(SuiteKeys, WriteOpensThePerUserKeyOnly)
{
    UseWritableRoot();
    ASSERT_TRUE(fixture::SetString(HKEY_LOCAL_MACHINE, kProduct32, "Marker", "machine", KEY_WOW64_32KEY));
    HKEY key = nullptr;
    EXPECT_FALSE(OpenUserKeyForWrite(kProduct32, &key)) << "the machine key is not a per-user key";

    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, UnderWritable(kProduct32), "Marker", "writable"));
    ASSERT_TRUE(OpenUserKeyForWrite(kProduct32, &key));
    EXPECT_EQ(Marker(key), "writable");
    RegCloseKey(key);

    ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kProduct32, "Marker", "user"));
    ASSERT_TRUE(OpenUserKeyForWrite(kProduct32, &key));
    EXPECT_EQ(Marker(key), "user");
    const char value[] = "written";
    EXPECT_EQ(RegSetValueExA(key, "Probe", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value),
              ERROR_SUCCESS)
        << "opened for writing";
    RegCloseKey(key);
}

// global.ini: the cache root is the temporary folder here (no "CacheMode").
class GlobalIni : public SuiteKeys {
protected:
    void SetUp() override
    {
        SuiteKeys::SetUp();
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        GetLongPathNameA(temp, temp, sizeof temp);
        folder32_ = std::string(temp) + "Ostrevan\\7.1";
        folder64_ = folder32_ + "\\x64";
        fixture::MakeFolders(folder64_);
        RemoveFiles();
        runContext.baseRegistry = 2;
    }
    void TearDown() override
    {
        RemoveFiles();
        SuiteKeys::TearDown();
    }
    void RemoveFiles()
    {
        DeleteFileA(Ini32().c_str());
        DeleteFileA(Ini64().c_str());
    }
    std::string Ini32() const { return folder32_ + "\\global.ini"; }
    std::string Ini64() const { return folder64_ + "\\global.ini"; }
    static bool Write(const std::string& path, const std::string& lines)
    {
        return fixture::WriteFile(path, "[Ostrevan]\r\n" + lines);
    }
    // Reads the 32-bit file with both settings at the opposite of their default.
    void ReadFrom(const std::string& lines)
    {
        ASSERT_TRUE(Write(Ini32(), lines));
        runContext.appendVersionToWorkingDir = 1;
        runContext.allowCrossVersionInterop = 0;
        ReadGlobalIni();
    }

    std::string folder32_, folder64_;
};

TEST_F(GlobalIni, AppendVersionOnlyForValuesBeginningWithY)
{
    struct Case { const char* lines; int want; } cases[] = {
        {"AppendVersionToWorkingDir=yes\r\n", 1}, {"AppendVersionToWorkingDir=Yes\r\n", 1},
        {"AppendVersionToWorkingDir=true\r\n", 0}, {"AppendVersionToWorkingDir=\r\n", 0},
        {"Other=yes\r\n", 0}};
    for (const Case& c : cases) {
        ReadFrom(c.lines);
        EXPECT_EQ(runContext.appendVersionToWorkingDir, c.want) << c.lines;
    }
}

TEST_F(GlobalIni, CrossVersionInteropOffOnlyForValuesBeginningWithN)
{
    struct Case { const char* lines; int want; } cases[] = {
        {"AllowCrossVersionInterop=no\r\n", 0}, {"AllowCrossVersionInterop=No\r\n", 0},
        {"AllowCrossVersionInterop=False\r\n", 1}, {"AllowCrossVersionInterop=\r\n", 1},
        {"Other=no\r\n", 1}};
    for (const Case& c : cases) {
        ReadFrom(c.lines);
        EXPECT_EQ(runContext.allowCrossVersionInterop, c.want) << c.lines;
    }
}

TEST_F(GlobalIni, MissingFileKeepsWhatTheSettingsHeld)
{
    runContext.appendVersionToWorkingDir = 1;
    runContext.allowCrossVersionInterop = 0;
    ReadGlobalIni();
    EXPECT_EQ(runContext.appendVersionToWorkingDir, 1);
    EXPECT_EQ(runContext.allowCrossVersionInterop, 0);
}

TEST_F(GlobalIni, EachRunReadsOnlyTheFileOfItsView)
{
    // The 32-bit run does not read the x64 file.
    ASSERT_TRUE(Write(Ini64(), "AppendVersionToWorkingDir=yes\r\nAllowCrossVersionInterop=no\r\n"));
    ReadGlobalIni();
    EXPECT_EQ(runContext.appendVersionToWorkingDir, 0);
    EXPECT_EQ(runContext.allowCrossVersionInterop, 1);

    // The 64-bit run reads the x64 file, not the 32-bit one.
    ASSERT_TRUE(Write(Ini32(), "AppendVersionToWorkingDir=yes\r\nAllowCrossVersionInterop=no\r\n"));
    ASSERT_TRUE(Write(Ini64(), "AppendVersionToWorkingDir=no\r\nAllowCrossVersionInterop=yes\r\n"));
    ReadGlobalIni();
    EXPECT_EQ(runContext.appendVersionToWorkingDir, 1);
    runContext.is64BitPass = 1;
    SelectRegistryView();
    ReadGlobalIni();
    EXPECT_EQ(runContext.appendVersionToWorkingDir, 0);
    EXPECT_EQ(runContext.allowCrossVersionInterop, 1);
}

TEST_F(GlobalIni, SecondRunKeepsTheFirstRunsValuesWithoutAnX64File)
{
    ASSERT_TRUE(Write(Ini32(), "AppendVersionToWorkingDir=y\r\nAllowCrossVersionInterop=n\r\n"));
    ReadGlobalIni();
    runContext.is64BitPass = 1;
    SelectRegistryView();
    ReadGlobalIni();
    EXPECT_EQ(runContext.appendVersionToWorkingDir, 1);
    EXPECT_EQ(runContext.allowCrossVersionInterop, 0);
}

// The Session Manager class of each of the two runs, as the driver prepares them.
std::pair<std::string, std::string> ClassNamesOfBothRuns()
{
    ResetRunContext();
    std::pair<std::string, std::string> names;
    PrepareClearRun("/q");
    names.first = runContext.sessionManagerClass;
    CloseUserKey(runContext.writableUserKey);
    runContext.is64BitPass = 1;
    PrepareClearRun("/q");
    names.second = runContext.sessionManagerClass;
    CloseUserKey(runContext.writableUserKey);
    return names;
}

TEST_F(GlobalIni, SessionManagerClassCarriesTheVersionWhenInteropIsOff)
{
    const std::string base = "Ostrevan Session Manager";
    const std::string versioned = base + " 7.1";

    ASSERT_TRUE(Write(Ini32(), "AllowCrossVersionInterop=No\r\n"));
    auto names = ClassNamesOfBothRuns();
    EXPECT_EQ(names.first, versioned);
    EXPECT_EQ(names.second, versioned) << "no x64 file: the first run's setting stays";

    ASSERT_TRUE(Write(Ini64(), "AllowCrossVersionInterop=Yes\r\n"));
    names = ClassNamesOfBothRuns();
    EXPECT_EQ(names.first, versioned);
    EXPECT_EQ(names.second, base);

    ASSERT_TRUE(Write(Ini32(), "AllowCrossVersionInterop=Yes\r\n"));
    ASSERT_TRUE(Write(Ini64(), "AllowCrossVersionInterop=no\r\n"));
    names = ClassNamesOfBothRuns();
    EXPECT_EQ(names.first, base);
    EXPECT_EQ(names.second, versioned);
}

}  // namespace
