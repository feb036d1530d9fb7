// The status bar: its place on the parent and the text of its parts.
#include "tests/platform/comctl32/controls_fixture.h"

using namespace platform_test;

namespace {

TEST_F(Controls, StatusBarSitsOnTheParentsBottomEdgeAndFollowsIt) {
    HWND frame = makeTopLevel(u"F", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 128);
    HWND bar =
        CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, u"", frame, 1);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetDlgCtrlID(bar), 1);
    auto check = [&] {
        RECT pc, br;
        GetClientRect(frame, &pc);
        GetWindowRect(bar, &br);
        POINT tl{br.left, br.top}, brc{br.right, br.bottom};
        ScreenToClient(frame, &tl);
        ScreenToClient(frame, &brc);
        EXPECT_EQ(tl.x, 0);
        EXPECT_EQ(brc.x, pc.right);
        EXPECT_EQ(brc.y, pc.bottom);
        EXPECT_GT(brc.y - tl.y, 10);
        return brc.y - tl.y;
    };
    int height = check();
    MoveWindow(frame, 0, 0, 500, 400, TRUE);
    // The frame forwards its size to the bar, as the main window does.
    RECT pc;
    GetClientRect(frame, &pc);
    SendMessageW(bar, WM_SIZE, SIZE_RESTORED, MAKELPARAM(pc.right, pc.bottom));
    EXPECT_EQ(check(), height);
}

TEST_F(Controls, StatusBarKeepsTheTextOfEachPart) {
    HWND frame = makeTopLevel();
    HWND bar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, u"first", frame, 1);
    EXPECT_EQ(platform::comctl::statusText(bar, 0), "first");
    EXPECT_TRUE(SendMessageW(bar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(u"simple")));
    EXPECT_EQ(platform::comctl::statusText(frame), "simple");
    EXPECT_EQ(LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, SB_SIMPLEID, 0)), 6);
    EXPECT_FALSE(SendMessageW(bar, SB_SETTEXTW, 5, reinterpret_cast<LPARAM>(u"no such part")));
    int rights[] = {100, -1};
    EXPECT_TRUE(SendMessageW(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(rights)));
    EXPECT_TRUE(SendMessageW(bar, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(u"second")));
    EXPECT_EQ(platform::comctl::statusText(bar, 1), "second");
    EXPECT_FALSE(SendMessageW(bar, SB_ISSIMPLE, 0, 0));
    SendMessageW(bar, SB_SIMPLE, TRUE, 0);
    EXPECT_TRUE(SendMessageW(bar, SB_ISSIMPLE, 0, 0));
}

} // namespace
