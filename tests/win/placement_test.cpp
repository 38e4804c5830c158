// Dialog placement with real windows: which rectangle the window is centred over, and how it is
// kept on the virtual screen. The windows stay hidden; their rectangles are all that matters.

#include "ui/placement.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Hidden popup windows, destroyed at the end of each test. An owned popup gets its owner from
// the parent argument of CreateWindowEx.
class PlacementTest : public testing::Test {
  protected:
    void TearDown() override {
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
            DestroyWindow(*it);
        }
    }

    HWND MakeWindow(int x, int y, int width, int height, HWND owner = NULL,
                    DWORD style = WS_POPUP) {
        HWND window = CreateWindowExA(0, "STATIC", "placement", style, x, y, width, height, owner,
                                      NULL, GetModuleHandleA(NULL), NULL);
        EXPECT_NE(nullptr, window) << "error " << GetLastError();
        if (window != NULL) {
            windows_.push_back(window);
        }
        return window;
    }

    std::vector<HWND> windows_;
};

RECT WindowRect(HWND window) {
    RECT rect = {0, 0, 0, 0};
    EXPECT_TRUE(GetWindowRect(window, &rect));
    return rect;
}

int ScreenWidth() {
    return GetSystemMetrics(SM_CXVIRTUALSCREEN);
}
int ScreenHeight() {
    return GetSystemMetrics(SM_CYVIRTUALSCREEN);
}

// Where a window of the given size lands centred over `owner` when nothing needs clamping:
// the owner's centre minus half of one more than the window's width (and height).
POINT CentreOver(const RECT& owner, int width, int height) {
    POINT point;
    point.x = (owner.left + owner.right) / 2 - (width + 1) / 2;
    point.y = (owner.top + owner.bottom) / 2 - (height + 1) / 2;
    return point;
}

void ExpectAt(HWND window, int x, int y, int width, int height) {
    const RECT rect = WindowRect(window);
    EXPECT_EQ(x, rect.left);
    EXPECT_EQ(y, rect.top);
    // Moved, never resized.
    EXPECT_EQ(width, rect.right - rect.left);
    EXPECT_EQ(height, rect.bottom - rect.top);
}

class PlacementOnScreen : public PlacementTest {
  protected:
    void SetUp() override {
        // Every position below fits comfortably on a screen of this size.
        ASSERT_GE(ScreenWidth(), 800);
        ASSERT_GE(ScreenHeight(), 600);
    }
};

TEST_F(PlacementOnScreen, CentresOverTheWindowsOwnOwner) {
    HWND owner = MakeWindow(100, 100, 400, 300);
    HWND window = MakeWindow(0, 0, 200, 100, owner);
    CenterWindow(window, NULL);
    // (100 + 500) / 2 - 201 / 2 = 200 and (100 + 400) / 2 - 101 / 2 = 200.
    ExpectAt(window, 200, 200, 200, 100);
}

TEST_F(PlacementOnScreen, OddSizesTruncate) {
    HWND owner = MakeWindow(101, 51, 301, 201);
    HWND window = MakeWindow(0, 0, 151, 75, owner);
    CenterWindow(window, NULL);
    // (101 + 402) / 2 - 152 / 2 = 251 - 76 and (51 + 252) / 2 - 76 / 2 = 151 - 38.
    ExpectAt(window, 175, 113, 151, 75);
}

TEST_F(PlacementOnScreen, AnExplicitOwnerTakesPrecedence) {
    HWND realOwner = MakeWindow(100, 100, 400, 300);
    HWND other = MakeWindow(300, 200, 200, 200);
    HWND window = MakeWindow(0, 0, 100, 50, realOwner);
    CenterWindow(window, other);
    // (300 + 500) / 2 - 101 / 2 = 350 and (200 + 400) / 2 - 51 / 2 = 275.
    ExpectAt(window, 350, 275, 100, 50);
}

TEST_F(PlacementOnScreen, CentresOverAHiddenMainWindowAtTheOrigin) {
    // Like the installer's main window: overlapped, at (0, 0), default size, never shown.
    HWND owner = MakeWindow(0, 0, CW_USEDEFAULT, CW_USEDEFAULT, NULL, WS_OVERLAPPEDWINDOW);
    HWND window = MakeWindow(500, 500, 120, 60, owner);
    const RECT ownerRect = WindowRect(owner);
    ASSERT_GT(ownerRect.right - ownerRect.left, 120);
    ASSERT_GT(ownerRect.bottom - ownerRect.top, 60);
    CenterWindow(window, NULL);
    const POINT expected = CentreOver(ownerRect, 120, 60);
    ExpectAt(window, expected.x, expected.y, 120, 60);
}

TEST_F(PlacementOnScreen, AMinimisedOwnerIsReplacedByTheDesktop) {
    HWND owner = MakeWindow(100, 100, 400, 300, NULL, WS_OVERLAPPEDWINDOW);
    HWND window = MakeWindow(0, 0, 200, 100, owner);
    ShowWindow(owner, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(owner));
    CenterWindow(window, NULL);
    const POINT expected = CentreOver(WindowRect(GetDesktopWindow()), 200, 100);
    const POINT overOwner = CentreOver(WindowRect(owner), 200, 100);
    ASSERT_FALSE(expected.x == overOwner.x && expected.y == overOwner.y);
    ExpectAt(window, expected.x, expected.y, 200, 100);
}

TEST_F(PlacementOnScreen, NoOwnerOrADeadOneMeansTheDesktop) {
    const POINT expected = CentreOver(WindowRect(GetDesktopWindow()), 200, 100);

    HWND unowned = MakeWindow(10, 10, 200, 100);
    CenterWindow(unowned, NULL);
    ExpectAt(unowned, expected.x, expected.y, 200, 100);

    HWND window = MakeWindow(10, 10, 200, 100);
    HWND gone = CreateWindowExA(0, "STATIC", "gone", WS_POPUP, 0, 0, 50, 50, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    ASSERT_NE(nullptr, gone);
    DestroyWindow(gone);
    CenterWindow(window, gone);
    ExpectAt(window, expected.x, expected.y, 200, 100);
}

TEST_F(PlacementOnScreen, AWindowPastTheFarEdgesIsMovedBackOntoTheScreen) {
    const int width = ScreenWidth();
    const int height = ScreenHeight();
    HWND owner = MakeWindow(width - 100, height - 80, 100, 80);
    HWND window = MakeWindow(0, 0, 300, 200, owner);
    CenterWindow(window, NULL);
    const RECT rect = WindowRect(window);
    // The window's right and bottom coordinates end one short of the screen's size.
    EXPECT_EQ(width - 1, rect.right);
    EXPECT_EQ(height - 1, rect.bottom);
    ExpectAt(window, width - 301, height - 201, 300, 200);
}

TEST_F(PlacementOnScreen, AnOwnerOffTheTopLeftPullsTheWindowToTheOrigin) {
    HWND owner = MakeWindow(-600, -500, 400, 300);
    HWND window = MakeWindow(300, 300, 200, 100, owner);
    CenterWindow(window, NULL);
    ExpectAt(window, 0, 0, 200, 100);
}

TEST_F(PlacementOnScreen, AWindowLargerThanTheScreenStartsAtTheOrigin) {
    const int width = ScreenWidth() + 40;
    const int height = ScreenHeight() + 30;
    HWND owner = MakeWindow(200, 200, 100, 100);
    HWND window = MakeWindow(50, 50, width, height, owner);
    const RECT before = WindowRect(window);
    ASSERT_EQ(width, before.right - before.left);
    CenterWindow(window, NULL);
    ExpectAt(window, 0, 0, width, height);
}

TEST(VirtualScreenMetricTest, AsksTheSystemWhereItKnowsMultipleMonitors) {
    for (int index :
         {SM_CXSCREEN, SM_CYSCREEN, SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN, SM_CXVIRTUALSCREEN,
          SM_CYVIRTUALSCREEN, SM_CMONITORS, SM_SAMEDISPLAYFORMAT, SM_CXICON}) {
        EXPECT_EQ(GetSystemMetrics(index), VirtualScreenMetric(index)) << "metric " << index;
    }
}

TEST(VirtualScreenMetricTest, FindsTheMetricsFunctionOnlyWhereAllMultiMonitorExportsExist) {
    HMODULE user32 = GetModuleHandleA("USER32");
    ASSERT_NE(nullptr, user32);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(user32, "GetSystemMetrics")),
              reinterpret_cast<void*>(FindMultiMonitorMetrics(user32)));
    // KERNEL32 exports none of them, and a missing module none at all.
    EXPECT_EQ(nullptr, FindMultiMonitorMetrics(GetModuleHandleA("KERNEL32")));
    EXPECT_EQ(nullptr, FindMultiMonitorMetrics(NULL));
}

struct EmulatedRow {
    int index;
    int expected;  // -1: the primary metric of `primary`
    int primary;
};

TEST(VirtualScreenMetricTest, EmulationAnswersFromThePrimaryScreen) {
    const EmulatedRow rows[] = {
        {SM_XVIRTUALSCREEN, 0, 0},
        {SM_YVIRTUALSCREEN, 0, 0},
        {SM_CXVIRTUALSCREEN, -1, SM_CXSCREEN},
        {SM_CYVIRTUALSCREEN, -1, SM_CYSCREEN},
        {SM_CMONITORS, 1, 0},
        {SM_SAMEDISPLAYFORMAT, 1, 0},
        {SM_CXSCREEN, -1, SM_CXSCREEN},
        {SM_CYSCREEN, -1, SM_CYSCREEN},
        {SM_CXICON, -1, SM_CXICON},
        {SM_CYCAPTION, -1, SM_CYCAPTION},
    };
    for (const EmulatedRow& row : rows) {
        const int expected = row.expected >= 0 ? row.expected : GetSystemMetrics(row.primary);
        EXPECT_EQ(expected, EmulatedVirtualScreenMetric(row.index)) << "metric " << row.index;
    }
}

}  // namespace
