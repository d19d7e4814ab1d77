// The switch parse, the start of each Clear run, the writable user root, the
// installer probe and the driver's two courses.
#include <gtest/gtest.h>

#include "services/run_context.h"
#include "services/messages.h"
#include "app/run_driver.h"
#include "support/test_support.h"

namespace {

struct Flags { int user, activex, cache, desktop, quiet; };

Flags Parse(const char* line)
{
    ResetRunContext();
    ParseSwitches(line);
    return {runContext.clearUserFiles, runContext.uninstallActiveX, runContext.clearInternetCache,
            runContext.uninstallServedDesktop, runContext.quietMode};
}

bool Same(Flags a, Flags b)
{
    return a.user == b.user && a.activex == b.activex && a.cache == b.cache &&
           a.desktop == b.desktop && a.quiet == b.quiet;
}

TEST(SwitchParse, TailsAreSearchedForCharactersNotWords)
{
    Flags expected{0, 0, 1, 0, 1};
    for (const char* tail : {"/3/q", "-3 -q", "3q", "/3 /Q"}) {
        EXPECT_TRUE(Same(Parse(tail), expected)) << tail;
    }
    EXPECT_TRUE(Same(Parse("/q"), Flags{0, 0, 0, 0, 1}));
    EXPECT_TRUE(Same(Parse(""), Flags{0, 0, 0, 0, 0}));
    EXPECT_TRUE(Same(Parse("/1 /2 /3 /4 /q"), Flags{1, 1, 1, 1, 1}));
}

TEST(SwitchParse, WordsAndPathsSelectByTheirCharacters)
{
    EXPECT_TRUE(Same(Parse("/quick"), Flags{0, 0, 0, 0, 1}));
    EXPECT_TRUE(Same(Parse("C:\\logs\\run4.txt"), Flags{0, 0, 0, 1, 0}));
}

// "/n" and "/e" count only as words of their own: a letter inside a path or
// another switch word never turns a cleaning run into a preview.
TEST(SwitchParse, PreviewAndExitCodesAreWordsOfTheirOwn)
{
    struct Tail { const char* text; bool preview, exitCodes; };
    const Tail tails[] = {
        {"/n", true, false},           {"-N /1", true, false},       {"/1\t/n\t/q", true, false},
        {"/e /q", false, true},        {"/q -E", false, true},       {"/n /e", true, true},
        {"/quiet /1", false, false},   {"/new /en", false, false},   {"n e", false, false},
        {"/nq /eq", false, false},     {"x/n y/e", false, false},    {"//n --e", false, false},
        {"Files\\Wipora Tools\\Wipora.exe /1 /q", false, false},
        {"\"C:\\n\\Wipora.exe\" /e", false, true},
    };
    for (const Tail& t : tails) {
        ResetRunContext();
        ParseSwitches(t.text);
        EXPECT_EQ(runContext.previewRun, t.preview ? 1 : 0) << t.text;
        EXPECT_EQ(runContext.deploymentExitCodes, t.exitCodes ? 1 : 0) << t.text;
        if (t.preview) {
            EXPECT_EQ(runContext.quietMode, 1) << "a preview asks nothing: " << t.text;
        }
    }
    ResetRunContext();
    ParseSwitches("/n");
    EXPECT_EQ(runContext.quietMode, 1);
    EXPECT_EQ(runContext.clearUserFiles + runContext.uninstallActiveX + runContext.clearInternetCache +
                  runContext.uninstallServedDesktop, 0) << "the preview selects no task of its own";
}

TEST(SwitchParse, NeverClearsAFlag)
{
    ResetRunContext();
    runContext.clearUserFiles = 1;
    runContext.uninstallActiveX = 1;
    ParseSwitches("/3");
    EXPECT_EQ(runContext.clearUserFiles, 1);
    EXPECT_EQ(runContext.uninstallActiveX, 1);
    EXPECT_EQ(runContext.clearInternetCache, 1);
}

TEST(WritableUserKey, OlderSystemsAndWineKeepTheCurrentUser)
{
    EXPECT_EQ(GetWritableUserKey(1, 5), HKEY_CURRENT_USER);
    EXPECT_EQ(GetWritableUserKey(0, 6), HKEY_CURRENT_USER);
    // Wine's ieframe exports IEGetWriteableHKCU but stores nothing.
    EXPECT_EQ(GetWritableUserKey(1, 6), HKEY_CURRENT_USER);
    CloseUserKey(HKEY_CURRENT_USER);   // must not close the predefined key
    EXPECT_TRUE(fixture::MakeKey(HKEY_CURRENT_USER, "Software\\WiporaTests\\CloseUserKey"));
    fixture::DeleteKey(HKEY_CURRENT_USER, "Software\\WiporaTests");
}

// Packed form of a product code, as Windows Installer keeps it in the registry.
const char kPackedDesktopCode[] = "14C7B2F601A7B3E4C955B0E7170A7C11";
const char kPackedOtherCode[] = "310A5E0F4321CBA4D9FE1032547698BA";
const char kProducts[] = "Software\\Classes\\Installer\\Products\\";

TEST(InstallerProbe, DesktopEditionSwitchesActiveXOff)
{
    fixture::MakeKey(HKEY_LOCAL_MACHINE, std::string(kProducts) + kPackedOtherCode, KEY_WOW64_64KEY);
    ResetRunContext();
    runContext.uninstallActiveX = 1;
    ProbeDesktopInstallation();
    EXPECT_EQ(runContext.desktopProductInstalled, 0) << "only another product is registered";
    EXPECT_EQ(runContext.uninstallActiveX, 1);

    fixture::MakeKey(HKEY_LOCAL_MACHINE, std::string(kProducts) + kPackedDesktopCode, KEY_WOW64_64KEY);
    ProbeDesktopInstallation();
    EXPECT_EQ(runContext.desktopProductInstalled, 1);
    EXPECT_EQ(runContext.uninstallActiveX, 0);
    // Loaded once for the process, as an import would be: the second Clear
    // run's probe sees products registered since the first all the same.
    EXPECT_NE(GetModuleHandleA("msi.dll"), nullptr);

    fixture::DeleteKey(HKEY_LOCAL_MACHINE, std::string(kProducts) + kPackedDesktopCode, KEY_WOW64_64KEY);
    fixture::DeleteKey(HKEY_LOCAL_MACHINE, std::string(kProducts) + kPackedOtherCode, KEY_WOW64_64KEY);
}

TEST(ClearRun, EachRunRebuildsItsViewAndReappliesTheSwitches)
{
    ResetRunContext();
    PrepareClearRun("/2");
    EXPECT_STREQ(runContext.productKeyPath, "Software\\Ostrevan\\7.1");
    EXPECT_STREQ(runContext.webKeyPath, "Software\\Ostrevan Web\\7.1");
    EXPECT_EQ(runContext.viewAccessMask, KEY_WOW64_32KEY);
    EXPECT_EQ(runContext.writableUserKey, HKEY_CURRENT_USER);
    CloseUserKey(runContext.writableUserKey);

    // The dialog unchecked box 204 and a task left lowIntegrityPass set.
    runContext.uninstallActiveX = 0;
    runContext.lowIntegrityPass = 1;
    runContext.is64BitPass = 1;
    PrepareClearRun("/2");
    EXPECT_STREQ(runContext.productKeyPath, "Software\\Ostrevan (64-bit)\\7.1");
    EXPECT_STREQ(runContext.webKeyPath, "Software\\Ostrevan Web (64-bit)\\7.1");
    EXPECT_EQ(runContext.viewAccessMask, KEY_WOW64_64KEY);
    EXPECT_EQ(runContext.lowIntegrityPass, 0);
    EXPECT_EQ(runContext.uninstallActiveX, 1) << "the second run parses the switches again";
    CloseUserKey(runContext.writableUserKey);
}

TEST(RunDriver, QuestionMarkShowsOnlyTheUsage)
{
    ResetRunContext();
    fixture::ScriptMessages({IDOK});
    EXPECT_EQ(RunDriver(GetModuleHandleA(nullptr), "/q ?"), 0);
    const auto shown = fixture::ShownMessages();
    fixture::StopScriptingMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_EQ(shown[0].caption, fixture::kUsageCaption);
    EXPECT_EQ(shown[0].style, 0x00010040u);
    EXPECT_EQ(shown[0].text, fixture::kUsageText);
    EXPECT_EQ(runContext.osVersion.dwOSVersionInfoSize, 0u) << "nothing else is done";
    EXPECT_EQ(runContext.quietMode, 0);
}

TEST(RunDriver, QuietModeMakesBothRunsSilently)
{
    ResetRunContext();
    fixture::ScriptMessages({});
    EXPECT_EQ(RunDriver(GetModuleHandleA(nullptr), "/q"), 1);
    const auto shown = fixture::ShownMessages();
    fixture::StopScriptingMessages();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(runContext.osVersion.dwOSVersionInfoSize, 148u);
    EXPECT_GE(runContext.osVersion.dwMajorVersion, 5u);
    EXPECT_EQ(runContext.is64BitPass, 0) << "toggled once per run";
    EXPECT_STREQ(runContext.webKeyPath, "Software\\Ostrevan Web (64-bit)\\7.1") << "the last run";
    EXPECT_EQ(runContext.quietMode, 1);
    EXPECT_EQ(runContext.clearInternetCache, 0);
    EXPECT_EQ(runContext.uninstallServedDesktop, 0);
}

}  // namespace
