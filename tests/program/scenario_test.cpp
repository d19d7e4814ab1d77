// End-to-end scenarios on the sample machine: the program runs as a child
// process with the switches an administrator would give it, and the whole
// machine is compared before and after: what of the suite is gone, that every
// bystander is intact byte for byte, which programs were started with which
// parameters, which COM servers were asked to unregister, and which windows
// were shown with which texts.
#include <gtest/gtest.h>

#include "program/scenario_support.h"
#include "support/test_support.h"

namespace {

using namespace scenario;

using fixture::kDialogCaption;
using fixture::kUsageCaption;
using fixture::kUsageText;

const char kDialogQuestion[] =
    "Are you sure you want to clear all Ostrevan 3270, 5250, FTP and VT Web-to-Host components including "
    "Program Files, ActiveX Controls, Netscape Plugins and Java Archive Files?";
const int kYes = 205, kCancel = 206;

class SampleMachine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { prepared_ = PrepareTools(&prepareError_); }
    static void TearDownTestSuite() { Uninstall(); }

    // A fresh sample machine, checked complete before anything runs.
    void Start(const char* variantName, unsigned variant)
    {
        variant_ = variant;
        ASSERT_TRUE(prepared_) << prepareError_;
        ASSERT_TRUE(Install(variantName)) << "samplemachine install " << variantName << " failed";
        ASSERT_TRUE(TakeSnapshot(&before_));
        ExpectInstalled(before_, variant);
        ASSERT_FALSE(HasFailure()) << "the sample machine is incomplete; the scenario would prove nothing";
    }

    robot::Run Run(const std::string& switches, const robot::Answer& answer = PressNothing)
    {
        robot::Run run = RunProgram(switches, answer);
        EXPECT_TRUE(TakeSnapshot(&after_));
        return run;
    }

    // Nothing changed, nothing started.
    void ExpectUntouched()
    {
        ExpectSameState(before_, after_);
        ExpectLaunches(false);
        ExpectUnregistrations(before_, "?", variant_);
        ExpectSessionManagerClosed("Ostrevan Session Manager", false);
    }

    static bool prepared_;
    static std::string prepareError_;
    unsigned variant_ = sample::kStandard;
    Snapshot before_, after_;
};

bool SampleMachine::prepared_ = false;
std::string SampleMachine::prepareError_;

int AnswerDialog(const robot::ShownWindow& w, int button) { return w.caption == kDialogCaption ? button : 0; }

void ExpectOnlyTheDialog(const robot::Run& run)
{
    ASSERT_EQ(run.windows.size(), 1u) << "windows shown";
    EXPECT_EQ(run.windows[0].caption, kDialogCaption);
    EXPECT_EQ(run.windows[0].text, kDialogQuestion);
    EXPECT_EQ(run.windows[0].checks, "0000") << "check boxes 203, 204, 201, 202 without switches";
}

// Quiet runs: exit code 1, no window at all, and the intended outcome of the
// switches on a sample machine of the variant, with the Session Manager of
// the class both runs look for told to close. Each case keeps the name it
// had as a test of its own (SampleMachine/QuietRun.ClearsWhatTheSwitchesSay/<name>).
struct QuietCase {
    const char* name;
    const char* variantName;
    unsigned variant;
    const char* switches;
    const char* sessionManager;
};

const QuietCase kQuietCases[] = {
    {"QuietAloneClearsTheWebToHostEditionWithoutUserFilesOrControls", "standard", sample::kStandard, "/q",
     "Ostrevan Session Manager"},
    {"DesktopUninstallComesAfterTheWebToHostClear", "standard", sample::kStandard, "/4 /q",
     "Ostrevan Session Manager"},
    {"EverySwitchClearsTheWholeSuiteAndNothingElse", "standard", sample::kStandard, "/1 /2 /3 /4 /q",
     "Ostrevan Session Manager"},
    {"DesktopEditionRegisteredWithWindowsInstallerKeepsTheControlsInBothRuns", "installer",
     sample::kInstallerRegistered, "/1 /2 /3 /4 /q", "Ostrevan Session Manager"},
    // The 32-bit global.ini says No and there is no 64-bit one: both runs
    // look for "Ostrevan Session Manager 7.1".
    {"InteroperationOffInOneViewLooksForTheVersionedSessionManager", "nointerop",
     sample::kNoCrossVersionInterop, "/q", "Ostrevan Session Manager 7.1"},
};

void PrintTo(const QuietCase& c, std::ostream* os) { *os << c.variantName << " machine, \"" << c.switches << "\""; }

class QuietRun : public SampleMachine, public ::testing::WithParamInterface<QuietCase> {};

TEST_P(QuietRun, ClearsWhatTheSwitchesSay)
{
    const QuietCase& c = GetParam();
    Start(c.variantName, c.variant);
    robot::Run run = Run(c.switches);
    EXPECT_EQ(run.exitCode, 1) << "exit code of Wipora " << c.switches;
    for (const robot::ShownWindow& w : run.windows)
        ADD_FAILURE() << "window shown in quiet mode: \"" << w.caption << "\" " << w.text;
    ExpectOutcome(after_, c.switches, variant_);
    ExpectLaunches(true);
    ExpectUnregistrations(before_, c.switches, variant_);
    ExpectSessionManagerClosed(c.sessionManager, true);
}

INSTANTIATE_TEST_SUITE_P(SampleMachine, QuietRun, ::testing::ValuesIn(kQuietCases),
                         [](const ::testing::TestParamInfo<QuietCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(SampleMachine, UsageBoxDeletesNothingAndExitsWithZero)
{
    Start("standard", sample::kStandard);
    robot::Run run = Run("/q ?", [](const robot::ShownWindow&) { return IDOK; });
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.windows.size(), 1u) << "windows shown";
    EXPECT_EQ(run.windows[0].caption, kUsageCaption);
    EXPECT_EQ(run.windows[0].text, kUsageText);
    ExpectUntouched();
}

TEST_F(SampleMachine, SecondRunOnTheClearedMachineChangesNothing)
{
    Start("standard", sample::kStandard);
    robot::Run first = Run("/1 /2 /3 /4 /q");
    EXPECT_EQ(first.exitCode, 1);
    ExpectOutcome(after_, "/1 /2 /3 /4 /q", variant_);
    Snapshot cleared = after_;
    ClearLogs();
    robot::Run second = Run("/1 /2 /3 /4 /q");
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.windows.empty()) << "windows shown by the second run";
    ExpectSameState(cleared, after_);
    ExpectLaunches(false);
    ExpectUnregistrations(before_, "?", variant_);
}

TEST_F(SampleMachine, DialogCancelledDeletesNothing)
{
    Start("standard", sample::kStandard);
    robot::Run run = Run("", [](const robot::ShownWindow& w) { return AnswerDialog(w, kCancel); });
    EXPECT_EQ(run.exitCode, 1);
    ExpectOnlyTheDialog(run);
    ExpectUntouched();
}

TEST_F(SampleMachine, DialogConfirmedClearsTheWebToHostEditionInBothRuns)
{
    Start("standard", sample::kStandard);
    robot::Run run = Run("", [](const robot::ShownWindow& w) { return AnswerDialog(w, kYes); });
    EXPECT_EQ(run.exitCode, 1);
    ExpectOnlyTheDialog(run);
    ExpectOutcome(after_, "", variant_);
    ExpectLaunches(true);
    ExpectUnregistrations(before_, "", variant_);
    ExpectSessionManagerClosed("Ostrevan Session Manager", true);
}

// The windows of a run, caption and text, in the order shown.
void ExpectWindows(const robot::Run& run, const std::vector<std::pair<std::string, std::string>>& expected)
{
    std::vector<std::pair<std::string, std::string>> seen;
    for (const robot::ShownWindow& w : run.windows) seen.push_back({w.caption, w.text});
    EXPECT_EQ(seen, expected) << "windows shown (caption, text), in order";
}

const char kWebDataCaption[] = "Remove Web-to-Host User Data";
const char kWebDataQuestion[] =
    "Are you sure you want to remove all Ostrevan Web-to-Host user data files?  The types of files include "
    "Scripts, Macros, Configuration Files, Transfer Files, etc.";

std::string WebDataQuestion(const std::string& workingDirectory)
{
    return std::string(kWebDataQuestion) + "\r\n\r\nCaution: If a Ostrevan Desktop installation is sharing the "
           "Working Directory " + workingDirectory + ", then its user data files will also be removed.";
}

// A Web-to-Host working directory on this machine, found by its Certs folder.
std::string WorkingDirectory(const Snapshot& snapshot, const std::string& tablePath)
{
    std::string certs = Located(snapshot, tablePath + "\\Certs");
    return certs.substr(0, certs.find_last_of('\\'));
}

TEST_F(SampleMachine, UserDataDeclinedInBothRunsStays)
{
    // /1 without quiet mode: the dialog opens with box 203 checked; each run
    // asks about its own working directory (the second run asks again because
    // the switch sets the option again) and No keeps the user data.
    Start("standard", sample::kStandard);
    robot::Run run = Run("/1", [](const robot::ShownWindow& w) {
        return w.caption == kDialogCaption ? kYes : w.caption == kWebDataCaption ? IDNO : 0;
    });
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_FALSE(run.windows.empty());
    EXPECT_EQ(run.windows[0].checks, "1000") << "check boxes 203, 204, 201, 202 with /1";
    ExpectWindows(run, {{kDialogCaption, kDialogQuestion},
                        {kWebDataCaption, WebDataQuestion(WorkingDirectory(before_, "{documents}\\Ostrevan Web\\7.1"))},
                        {kWebDataCaption,
                         WebDataQuestion(WorkingDirectory(before_, "{documents}\\Ostrevan Web (64-bit)\\7.1"))}});
    ExpectOutcome(after_, "", variant_);
    ExpectLaunches(true);
    ExpectSessionManagerClosed("Ostrevan Session Manager", true);
}

TEST_F(SampleMachine, DesktopUninstallAnsweredYesAsksAndReportsInEachView)
{
    // /4 without quiet mode: per view the desktop user data question, the
    // program group question and the completion message, all answered Yes.
    Start("standard", sample::kStandard);
    robot::Run run = Run("/4", [](const robot::ShownWindow& w) {
        if (w.caption == kDialogCaption) return kYes;
        if (w.caption == "Remove Desktop User Data") return IDYES;
        if (w.caption == "Ostrevan Uninstall") return w.text.find("completed") != std::string::npos ? IDOK : IDYES;
        return 0;
    });
    EXPECT_EQ(run.exitCode, 1);
    const std::string dataCaption = "Remove Desktop User Data";
    const std::string dataQuestion =
        "Do you want Uninstall to remove all Ostrevan Desktop user data files?  The types of files include Macros, "
        "Scripts, Configuration Files, Transfer Files, etc.";
    auto group = [](const std::string& name) {
        return "All program items in group \"" + name + "\" will be deleted.  Are you sure you want to delete the "
               "program group \"" + name + "\"?";
    };
    const std::string done = "Ostrevan uninstallation completed successfully.";
    ExpectWindows(run, {{kDialogCaption, kDialogQuestion},
                        {dataCaption, dataQuestion}, {"Ostrevan Uninstall", group("Ostrevan 7.1")},
                        {"Ostrevan Uninstall", done},
                        {dataCaption, dataQuestion}, {"Ostrevan Uninstall", group("Ostrevan 7.1 (64-bit)")},
                        {"Ostrevan Uninstall", done}});
    ExpectOutcome(after_, "/4", variant_, true);
    ExpectLaunches(true);
    ExpectUnregistrations(before_, "/4", variant_);
    ExpectSessionManagerClosed("Ostrevan Session Manager", true);
}

}  // namespace
