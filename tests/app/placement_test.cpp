// Window placement: the centring arithmetic, and centring real windows on
// visible, minimised, restore-maximised, hidden and missing references.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/confirm_dialog.h"

namespace {

TEST(CentredOrigin, RoundsDownAndOverhangsEqually)
{
    EXPECT_EQ(CentredOrigin(0, 100, 95), 2) << "odd difference 5: 2 px right of the start";
    EXPECT_EQ(CentredOrigin(300, 100, 95), 302);
    EXPECT_EQ(CentredOrigin(0, 100, 100), 0);
    EXPECT_EQ(CentredOrigin(100, 200, 300), 50) << "wider: half the excess on each side";
    EXPECT_EQ(CentredOrigin(100, 200, 305), 48) << "half of an odd excess, rounded down";
    EXPECT_EQ(CentredOrigin(-1280, 1280, 201), -741) << "a monitor left of the primary one";
    EXPECT_EQ(CentredOrigin(0, 10, 25), -7) << "not clamped to the reference";
}

class Placement : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "WiporaPlacementTest";
        RegisterClassA(&wc);
    }
    void TearDown() override
    {
        for (HWND w : windows_)
            if (IsWindow(w)) DestroyWindow(w);
    }
    // Popups shown without activation: under Wine without a window manager an
    // activated or framed window takes seconds to be destroyed.
    HWND Make(int x, int y, int w, int h, int show, HWND owner = nullptr)
    {
        HWND window = CreateWindowExA(0, "WiporaPlacementTest", "placement", WS_POPUP, x, y, w, h,
                                      owner, nullptr, GetModuleHandleA(nullptr), nullptr);
        windows_.push_back(window);
        if (show != SW_HIDE) ShowWindow(window, show);
        return window;
    }
    // A small window to be placed: 200 x 100 at the origin.
    HWND Subject() { return Make(0, 0, 200, 100, SW_SHOWNA); }
    // A 400 x 300 reference at 100, 100.
    HWND Reference(int show) { return Make(100, 100, 400, 300, show); }
    static void ExpectAt(HWND window, int x, int y, int w, int h)
    {
        RECT r = {};
        GetWindowRect(window, &r);
        EXPECT_EQ(r.left, x);
        EXPECT_EQ(r.top, y);
        EXPECT_EQ(r.right - r.left, w) << "size kept";
        EXPECT_EQ(r.bottom - r.top, h) << "size kept";
    }
    static RECT Monitor()
    {
        RECT r = {};
        GetActiveMonitorRect(&r);
        return r;
    }
    // Where the subject lands when centred on the active monitor.
    static POINT MonitorCentreOrigin()
    {
        RECT m = Monitor();
        return {CentredOrigin(m.left, m.right - m.left, 200), CentredOrigin(m.top, m.bottom - m.top, 100)};
    }

    std::vector<HWND> windows_;
};

TEST_F(Placement, ActiveMonitorIsTheWholeScreen)
{
    RECT m = Monitor();
    EXPECT_EQ(m.left, 0);
    EXPECT_EQ(m.top, 0);
    EXPECT_EQ(m.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(m.bottom, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(Placement, VisibleReferenceByItsWindowRectangle)
{
    HWND reference = Reference(SW_SHOWNA);
    HWND window = Subject();
    CentreWindow(window, reference);
    ExpectAt(window, 200, 200, 200, 100);

    HWND wide = Make(0, 0, 605, 400, SW_SHOWNA);
    CentreWindow(wide, reference);
    ExpectAt(wide, 100 - 102, 100 - 50, 605, 400);
}

TEST_F(Placement, MinimisedReferenceByItsRestoredRectangle)
{
    HWND reference = Reference(SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(reference));
    HWND window = Subject();
    CentreWindow(window, reference);
    ExpectAt(window, 200, 200, 200, 100);
}

TEST_F(Placement, ReferenceThatRestoresMaximisedByTheMonitor)
{
    HWND reference = Reference(SW_HIDE);
    WINDOWPLACEMENT placement = {sizeof placement};
    placement.flags = WPF_RESTORETOMAXIMIZED;
    placement.showCmd = SW_SHOWMINNOACTIVE;
    SetRect(&placement.rcNormalPosition, 100, 100, 500, 400);
    ASSERT_TRUE(SetWindowPlacement(reference, &placement));
    ASSERT_TRUE(IsIconic(reference));
    GetWindowPlacement(reference, &placement);
    ASSERT_TRUE(placement.flags & WPF_RESTORETOMAXIMIZED);
    HWND window = Subject();
    CentreWindow(window, reference);
    POINT at = MonitorCentreOrigin();
    ExpectAt(window, at.x, at.y, 200, 100);
}

TEST_F(Placement, HiddenOrMissingReferenceByTheMonitor)
{
    POINT at = MonitorCentreOrigin();
    HWND hidden = Reference(SW_HIDE);
    HWND window = Subject();
    CentreWindow(window, hidden);
    ExpectAt(window, at.x, at.y, 200, 100);

    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CentreWindow(window, nullptr);
    ExpectAt(window, at.x, at.y, 200, 100);

    HWND gone = Reference(SW_HIDE);
    DestroyWindow(gone);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CentreWindow(window, gone);
    ExpectAt(window, at.x, at.y, 200, 100);
}

TEST_F(Placement, CentreOnParentUsesTheOwner)
{
    HWND owner = Reference(SW_SHOWNA);
    HWND owned = Make(0, 0, 200, 100, SW_SHOWNA, owner);
    CentreOnParent(owned);
    ExpectAt(owned, 200, 200, 200, 100);

    HWND alone = Subject();
    CentreOnParent(alone);
    POINT at = MonitorCentreOrigin();
    ExpectAt(alone, at.x, at.y, 200, 100);
}

}  // namespace
