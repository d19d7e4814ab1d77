// The confirmation dialog and the usage message of the running program,
// driven by the robot under the bench's Xvfb display. The program is the
// bench's own build of Wipora.exe, started in the prefix as a user would.
#include <gtest/gtest.h>

#include <string>

#include "app/app_support.h"
#include "support/robot.h"
#include "support/test_support.h"

namespace {

using fixture::kDialogCaption;
using fixture::kWeb32;
using fixture::kWeb64;
const char kDesktopProduct[] =
    "Software\\Classes\\Installer\\Products\\14C7B2F601A7B3E4C955B0E7170A7C11";
constexpr DWORD kWindowTimeoutMs = 8000;
constexpr DWORD kExitTimeoutMs = 5000;

enum Box { kUserFiles = 203, kActiveX = 204, kInternetCache = 201, kServedDesktop = 202 };
enum Button { kYes = 205, kCancel = 206 };

class RunningProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        program_ = appfixture::BenchProgram();
        ASSERT_FALSE(program_.empty()) << "could not copy the bench's Wipora.exe";
        RemoveState();
        // Web-to-Host keys of both editions: any run of the tasks removes them.
        ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kWeb32, "Working Directory", "C:\\nowhere"));
        ASSERT_TRUE(fixture::SetString(HKEY_CURRENT_USER, kWeb64, "Working Directory", "C:\\nowhere"));
    }
    void TearDown() override
    {
        robot::Stop(&process_);
        RemoveState();
    }
    static void RemoveState()
    {
        fixture::RemoveSuiteKeys();
        fixture::DeleteKey(HKEY_LOCAL_MACHINE, kDesktopProduct, KEY_WOW64_64KEY);
    }

    // Starts the program with the tail and waits for a top-level window of it.
    HWND StartAndWaitFor(const std::string& tail, const char* caption)
    {
        if (!robot::Start("\"" + program_ + "\" " + tail, &process_, "C:\\wipora-bin")) return nullptr;
        return robot::WaitForWindow(caption, kWindowTimeoutMs, process_.id);
    }
    bool WebKeysRemain() const
    {
        return fixture::KeyExists(HKEY_CURRENT_USER, kWeb32) &&
               fixture::KeyExists(HKEY_CURRENT_USER, kWeb64);
    }

    std::string program_;
    robot::Process process_;
};

TEST_F(RunningProgram, UsageMessageForAQuestionMarkAnywhere)
{
    HWND box = StartAndWaitFor("/q ?", fixture::kUsageCaption);
    ASSERT_NE(box, nullptr) << "no usage message";
    EXPECT_EQ(robot::MessageBoxText(box), fixture::kUsageText);
    EXPECT_TRUE(robot::HasControl(box, IDOK));
    EXPECT_FALSE(robot::HasControl(box, IDCANCEL));
    ASSERT_TRUE(robot::PressMessageBoxButton(box, IDOK));
    EXPECT_EQ(robot::WaitForExit(&process_, kExitTimeoutMs), 0);
    EXPECT_TRUE(WebKeysRemain()) << "the usage message deletes nothing";
}

TEST_F(RunningProgram, DialogPresetFromTheSwitchesAndCancelEndsWithNothingDone)
{
    HWND dialog = StartAndWaitFor("/1 /3", kDialogCaption);
    ASSERT_NE(dialog, nullptr) << "no confirmation dialog";
    EXPECT_EQ(robot::CheckState(dialog, kUserFiles), BST_CHECKED);
    EXPECT_EQ(robot::CheckState(dialog, kActiveX), BST_UNCHECKED);
    EXPECT_EQ(robot::CheckState(dialog, kInternetCache), BST_CHECKED);
    EXPECT_EQ(robot::CheckState(dialog, kServedDesktop), BST_UNCHECKED);
    EXPECT_TRUE(robot::IsControlEnabled(dialog, kActiveX));
    EXPECT_EQ(robot::ControlText(dialog, kServedDesktop), "&Uninstall Ostrevan Served Desktop");

    // Without an owner it is centred on the whole monitor.
    RECT rect = robot::WindowRect(dialog);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    EXPECT_TRUE(robot::WaitForIdle(process_));
    robot::Settle(dialog);
    EXPECT_TRUE(robot::SaveScreenshot("C:\\wipora-bin\\confirm-dialog.bmp"));

    ASSERT_TRUE(robot::Click(dialog, kCancel));
    EXPECT_EQ(robot::WaitForExit(&process_, kExitTimeoutMs), 1);
    EXPECT_TRUE(WebKeysRemain()) << "a cancelled dialog runs nothing, and no second run follows";
}

TEST_F(RunningProgram, InstalledDesktopEditionDisablesActiveXRemoval)
{
    ASSERT_TRUE(fixture::MakeKey(HKEY_LOCAL_MACHINE, kDesktopProduct, KEY_WOW64_64KEY));
    HWND dialog = StartAndWaitFor("/2", kDialogCaption);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(robot::IsControlEnabled(dialog, kActiveX));
    EXPECT_EQ(robot::CheckState(dialog, kActiveX), BST_UNCHECKED) << "/2 was switched off";
    EXPECT_TRUE(robot::IsControlEnabled(dialog, kUserFiles));

    robot::CloseWindow(dialog);   // the caption's close button
    EXPECT_EQ(robot::WaitForExit(&process_, kExitTimeoutMs), 1);
    EXPECT_TRUE(WebKeysRemain());
}

TEST_F(RunningProgram, EnterAndEscLeaveTheDialogOpen)
{
    HWND dialog = StartAndWaitFor("", kDialogCaption);
    ASSERT_NE(dialog, nullptr);
    robot::PressKey(dialog, VK_RETURN);
    robot::PressKey(dialog, VK_ESCAPE);
    robot::PostCommand(dialog, IDOK);
    robot::PostCommand(dialog, IDCANCEL);
    EXPECT_EQ(robot::WaitForExit(&process_, 1000), robot::kExitTimedOut);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(WebKeysRemain());

    ASSERT_TRUE(robot::Click(dialog, kCancel));
    EXPECT_EQ(robot::WaitForExit(&process_, kExitTimeoutMs), 1);
}

TEST_F(RunningProgram, YesRunsTheTasksAndTheSecondRunFollows)
{
    HWND dialog = StartAndWaitFor("", kDialogCaption);
    ASSERT_NE(dialog, nullptr);
    for (int box : {kUserFiles, kActiveX, kInternetCache, kServedDesktop})
        EXPECT_EQ(robot::CheckState(dialog, box), BST_UNCHECKED) << box;

    ASSERT_TRUE(robot::Click(dialog, kYes));
    EXPECT_EQ(robot::WaitForExit(&process_, 30000), 1);
    // The Web-to-Host clear sequence removes the Web key of its run: the
    // 32-bit one from the dialog's Yes, the 64-bit one in the silent second run.
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kWeb32));
    EXPECT_FALSE(fixture::KeyExists(HKEY_CURRENT_USER, kWeb64));
}

}  // namespace
