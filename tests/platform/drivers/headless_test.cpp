// The headless display: a user's actions and what a screen would show.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

class Headless : public PlatformTest {
protected:
    // A window like the player's: a menu bar with "File" > "MML Open", "Exit" and a status bar.
    HWND makePlayerWindow() {
        HMENU bar = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, 257, u"MML Open");
        AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(file, MF_STRING, 260, u"Exit");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"File");
        HWND w = makeTopLevel(u"Marrowtone", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                              CW_USEDEFAULT, 300, 128);
        SetMenu(w, bar);
        InitCommonControls();
        status =
            CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, u"", w, 1);
        return w;
    }
    HWND status = nullptr;
};

TEST_F(Headless, ShowsCaptionMenuAndStatusText) {
    HWND w = makePlayerWindow();
    EXPECT_EQ(user::caption(w), "Marrowtone");
    EXPECT_EQ(user::className(w), "PlatformRecorder");
    auto bar = user::menuBar(w);
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0].text, "File");
    ASSERT_TRUE(bar[0].popup);
    ASSERT_EQ(bar[0].items.size(), 3u);
    EXPECT_EQ(bar[0].items[0].text, "MML Open");
    EXPECT_EQ(bar[0].items[0].id, 257u);
    EXPECT_TRUE(bar[0].items[1].separator);
    EXPECT_EQ(bar[0].items[2].text, "Exit");
    SendMessageW(status, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(u"Playing \u266A"));
    EXPECT_EQ(comctl::statusText(w), "Playing \u266A");
    EXPECT_TRUE(headless::visible(w));
    EXPECT_EQ(user::findChild(w, "msctls_statusbar32"), status);
    EXPECT_EQ(headless::topLevelWindows(), (std::vector<HWND>{w}));
}

TEST_F(Headless, ChoosingAMenuItemPostsItsCommand) {
    HWND w = makePlayerWindow();
    ASSERT_TRUE(user::chooseMenuItem(w, std::vector<std::string>{"File", "MML Open"}));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, w);
    EXPECT_EQ(msg.wParam, 257u);
    EXPECT_EQ(msg.lParam, 0);
    EXPECT_TRUE(user::chooseMenuItem(w, 260));
    EXPECT_FALSE(user::chooseMenuItem(w, 999));
    EXPECT_FALSE(user::chooseMenuItem(w, std::vector<std::string>{"File"}));
    EXPECT_FALSE(user::chooseMenuItem(w, std::vector<std::string>{"Edit", "Undo"}));
    EnableMenuItem(GetMenu(w), 260, MF_GRAYED);
    EXPECT_FALSE(user::chooseMenuItem(w, 260));
}

TEST_F(Headless, ResizingLikeAUserSendsClientSizeAndMovesTheStatusBar) {
    HWND w = makePlayerWindow();
    // Forward sizes to the status bar as the main window does.
    setHook([&](HWND h, UINT m, WPARAM wp, LPARAM lp, LRESULT*) {
        if (h == w && m == WM_SIZE && IsWindow(status)) SendMessageW(status, WM_SIZE, wp, lp);
        return false;
    });
    seen().clear();
    ASSERT_TRUE(user::resizeWindow(w, 420, 240));
    auto order = messagesOf(w, {WM_ENTERSIZEMOVE, WM_SIZING, WM_WINDOWPOSCHANGING,
                                WM_WINDOWPOSCHANGED, WM_SIZE, WM_EXITSIZEMOVE});
    EXPECT_EQ(order, (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_SIZING, WM_WINDOWPOSCHANGING,
                                        WM_WINDOWPOSCHANGED, WM_SIZE, WM_EXITSIZEMOVE}));
    RECT client = headless::clientRect(w);
    for (const Seen& s : seen())
        if (s.hwnd == w && s.message == WM_SIZE) {
            EXPECT_EQ(s.wParam, static_cast<WPARAM>(SIZE_RESTORED));
            EXPECT_EQ(s.lParam, MAKELPARAM(client.right, client.bottom));
        }
    RECT outer = headless::windowRect(w);
    EXPECT_EQ(outer.right - outer.left, 420);
    EXPECT_EQ(outer.bottom - outer.top, 240);
    RECT bar = headless::windowRect(status);
    POINT bottomRight{client.right, client.bottom};
    ClientToScreen(w, &bottomRight);
    EXPECT_EQ(bar.right, bottomRight.x);
    EXPECT_EQ(bar.bottom, bottomRight.y);
    EXPECT_FALSE(user::resizeWindow(status, 10, 10)); // not a frame a user can drag
}

TEST_F(Headless, ClickingPostsButtonMessagesInClientCoordinates) {
    HWND w = makeTopLevel(u"T", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND child = makeChild(w, 1, 100, 10, 50, 20);
    ASSERT_TRUE(user::click(w, 20, 30));
    ASSERT_TRUE(user::click(w, 110, 15)); // lands on the child
    seen().clear();
    user::dispatchPending();
    auto own = messagesOf(w, {WM_LBUTTONDOWN, WM_LBUTTONUP});
    EXPECT_EQ(own, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    for (const Seen& s : seen()) {
        if (s.hwnd == w && s.message == WM_LBUTTONDOWN) {
            EXPECT_EQ(s.wParam, static_cast<WPARAM>(MK_LBUTTON));
            EXPECT_EQ(s.lParam, MAKELPARAM(20, 30));
        }
        if (s.hwnd == child && s.message == WM_LBUTTONUP) {
            EXPECT_EQ(s.lParam, MAKELPARAM(10, 5));
        }
    }
    EXPECT_EQ(messagesOf(child, {WM_LBUTTONDOWN}).size(), 1u);
    EXPECT_FALSE(user::click(w, -1, 5));
    EXPECT_FALSE(user::click(w, 5000, 5));
}

TEST_F(Headless, TheCloseBoxClosesThroughTheDefaultProcessing) {
    HWND w = makePlayerWindow();
    setHook([](HWND, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (m == WM_DESTROY) PostQuitMessage(3);
        return false;
    });
    seen().clear();
    ASSERT_TRUE(user::clickCloseBox(w));
    MSG msg;
    int r;
    while ((r = GetMessageW(&msg, nullptr, 0, 0)) > 0)
        DispatchMessageW(&msg);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindow(status));
    EXPECT_EQ(messagesOf(w, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}),
              (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_TRUE(headless::topLevelWindows().empty());
}

TEST_F(Headless, TheDriverHearsOfEveryVisibleChange) {
    headless::clearEvents();
    HWND w = makeTopLevel(u"T", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetWindowTextW(w, u"New");
    SetMenu(w, CreateMenu());
    MoveWindow(w, 1, 2, 300, 200, TRUE);
    DestroyWindow(w);
    auto events = headless::events();
    auto has = [&](const std::string& what) {
        char line[64];
        std::snprintf(line, sizeof line, "%s %#llx", what.c_str(),
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)));
        return std::find(events.begin(), events.end(), line) != events.end();
    };
    for (const char* what : {"created", "shown", "text", "menu", "moved", "hidden", "destroyed"})
        EXPECT_TRUE(has(what)) << what;
    EXPECT_EQ(events.back().rfind("destroyed", 0), 0u);
}

} // namespace
