// The toolbar: buttons, images and their states.
#include "tests/platform/comctl32/controls_fixture.h"

using namespace platform_test;

namespace {

TEST_F(Controls, ToolbarTakesButtonsAndImages) {
    HWND frame = makeTopLevel(u"F", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    TBBUTTON buttons[2] = {};
    buttons[0].iBitmap = STD_FILEOPEN;
    buttons[0].idCommand = 100;
    buttons[0].fsState = TBSTATE_ENABLED;
    buttons[1].iBitmap = STD_FILESAVE;
    buttons[1].idCommand = 101;
    buttons[1].fsState = TBSTATE_ENABLED;
    HWND tb = CreateToolbarEx(frame, WS_CHILD | WS_VISIBLE, 5, 15, HINST_COMMCTRL,
                              IDB_STD_SMALL_COLOR, buttons, 2, 0, 0, 0, 0, sizeof(TBBUTTON));
    ASSERT_NE(tb, nullptr);
    EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 2);
    TBADDBITMAP more{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
    // The standard images are there already: the same bitmap answers where it is.
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&more)), 0);
    TBADDBITMAP view{HINST_COMMCTRL, IDB_VIEW_SMALL_COLOR};
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&view)), 15);
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, 0), -1);
    EXPECT_TRUE(SendMessageW(tb, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(buttons)));
    EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 3);
    TBBUTTON read{};
    ASSERT_TRUE(SendMessageW(tb, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&read)));
    EXPECT_EQ(read.idCommand, 101);
    SendMessageW(tb, TB_AUTOSIZE, 0, 0);
    RECT r, pc;
    GetWindowRect(tb, &r);
    GetClientRect(frame, &pc);
    EXPECT_EQ(r.right - r.left, pc.right);
    // A click on the first button is a command to the parent.
    seen().clear();
    ASSERT_TRUE(platform::user::click(frame, 5, 5));
    platform::user::dispatchPending();
    auto commands = messagesOf(frame, {WM_COMMAND});
    ASSERT_EQ(commands.size(), 1u);
}

} // namespace
