// The menu bar's keyboard mode: Alt or F10, the arrows, Return, Escape and the mouse, as the
// keyboard and the desktop report them, with the player's own menu ("File", "MML Open",
// "Exit") and a second popup to move to.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

constexpr UINT kOpen = 257;
constexpr UINT kExit = 260;
constexpr UINT kAbout = 300;

class MenuMode : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        HMENU bar = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, kOpen, u"MML Open");
        AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(file, MF_STRING, kExit, u"Exit");
        HMENU help = CreatePopupMenu();
        AppendMenuW(help, MF_STRING, kAbout, u"About");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"File");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), u"Help");
        w = makeTopLevel(u"Top", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 20, 300, 128, bar);
        user::dispatchPending();
        seen().clear();
    }

    // Types the keys one after the other and lets the window's queue run, as the program's
    // message loop does.
    void type(std::initializer_list<UINT> keys) {
        for (UINT vk : keys) {
            ASSERT_TRUE(user::typeKey(w, vk));
            user::dispatchPending();
        }
    }

    std::vector<WPARAM> keysReceived(UINT message) {
        std::vector<WPARAM> out;
        for (const Seen& s : seen())
            if (s.hwnd == w && s.message == message) out.push_back(s.wParam);
        return out;
    }

    std::vector<WPARAM> commands() { return keysReceived(WM_COMMAND); }

    HWND w = nullptr;
};

TEST_F(MenuMode, F10HighlightsFileAndTellsTheDisplay) {
    headless::clearEvents();
    type({VK_F10});
    const auto mode = user::menuMode();
    EXPECT_EQ(mode.window, w);
    EXPECT_EQ(mode.highlighted, 0);
    EXPECT_FALSE(mode.open);
    bool told = false;
    for (const auto& e : headless::events())
        told = told || e.rfind("menu mode", 0) == 0;
    EXPECT_TRUE(told);
    // The window heard the mode begin as Windows announces it.
    EXPECT_EQ(messagesOf(w, {WM_ENTERMENULOOP, WM_INITMENU}),
              (std::vector<UINT>{WM_ENTERMENULOOP, WM_INITMENU}));
}

TEST_F(MenuMode, AltPressedAndReleasedAloneHighlightsFile) {
    type({VK_MENU});
    EXPECT_EQ(user::menuMode().window, w);
    EXPECT_EQ(user::menuMode().highlighted, 0);
}

TEST_F(MenuMode, AltUsedWithAnotherKeyIsNoMenuKey) {
    ASSERT_TRUE(user::pressKey(w, VK_MENU));
    ASSERT_TRUE(user::typeKey(w, 'X'));
    ASSERT_TRUE(user::releaseKey(w, VK_MENU));
    user::dispatchPending();
    EXPECT_EQ(user::menuMode().window, nullptr);
    EXPECT_EQ(keysReceived(WM_SYSKEYDOWN), (std::vector<WPARAM>{VK_MENU, 'X'}));
}

TEST_F(MenuMode, F10DownReturnChoosesTheFirstItem) {
    type({VK_F10, VK_DOWN});
    auto mode = user::menuMode();
    EXPECT_TRUE(mode.open);
    EXPECT_EQ(mode.item, 0);
    EXPECT_EQ(messagesOf(w, {WM_INITMENUPOPUP}).size(), 1u);
    type({VK_RETURN});
    EXPECT_EQ(commands(), (std::vector<WPARAM>{MAKEWPARAM(kOpen, 0)}));
    EXPECT_EQ(user::menuMode().window, nullptr);
    // No key of the sequence reached the window as a plain key.
    EXPECT_TRUE(keysReceived(WM_KEYDOWN).empty());
}

TEST_F(MenuMode, ReturnOpensAndDownSkipsTheSeparator) {
    type({VK_MENU, VK_RETURN});
    EXPECT_TRUE(user::menuMode().open);
    type({VK_DOWN});
    EXPECT_EQ(user::menuMode().item, 2);
    type({VK_DOWN}); // wraps to the top
    EXPECT_EQ(user::menuMode().item, 0);
    type({VK_UP, VK_RETURN});
    EXPECT_EQ(commands(), (std::vector<WPARAM>{MAKEWPARAM(kExit, 0)}));
}

TEST_F(MenuMode, LeftAndRightMoveBetweenTopLevelItems) {
    type({VK_F10, VK_RIGHT});
    EXPECT_EQ(user::menuMode().highlighted, 1);
    EXPECT_FALSE(user::menuMode().open);
    type({VK_RIGHT});
    EXPECT_EQ(user::menuMode().highlighted, 0);
    type({VK_LEFT});
    EXPECT_EQ(user::menuMode().highlighted, 1);
    // With a popup open, the neighbour's popup opens in its place.
    type({VK_DOWN, VK_LEFT});
    EXPECT_EQ(user::menuMode().highlighted, 0);
    EXPECT_TRUE(user::menuMode().open);
    EXPECT_EQ(user::menuMode().item, 0);
    type({VK_RIGHT, VK_RETURN});
    EXPECT_EQ(commands(), (std::vector<WPARAM>{MAKEWPARAM(kAbout, 0)}));
}

TEST_F(MenuMode, EscapeLeavesAndTheNextKeyReachesTheWindow) {
    type({VK_F10, VK_DOWN, VK_ESCAPE});
    EXPECT_EQ(user::menuMode().window, nullptr);
    seen().clear();
    type({VK_DOWN});
    EXPECT_EQ(keysReceived(WM_KEYDOWN), (std::vector<WPARAM>{VK_DOWN}));
    EXPECT_EQ(keysReceived(WM_KEYUP), (std::vector<WPARAM>{VK_DOWN}));
    EXPECT_TRUE(commands().empty());
    // From the bar alone as well.
    type({VK_MENU, VK_ESCAPE});
    EXPECT_EQ(user::menuMode().window, nullptr);
    seen().clear();
    type({VK_LEFT});
    EXPECT_EQ(keysReceived(WM_KEYDOWN), (std::vector<WPARAM>{VK_LEFT}));
}

TEST_F(MenuMode, KeysQueuedBehindF10GoToTheMenu) {
    // A fast typist: every key is queued before the loop runs.
    for (UINT vk : {VK_F10, VK_DOWN, VK_RETURN})
        ASSERT_TRUE(user::typeKey(w, vk));
    user::dispatchPending();
    EXPECT_EQ(commands(), (std::vector<WPARAM>{MAKEWPARAM(kOpen, 0)}));
    EXPECT_TRUE(keysReceived(WM_KEYDOWN).empty());
}

TEST_F(MenuMode, AltOrF10AgainLeavesTheMode) {
    type({VK_F10, VK_F10});
    EXPECT_EQ(user::menuMode().window, nullptr);
    type({VK_MENU});
    EXPECT_EQ(user::menuMode().window, w);
    type({VK_MENU});
    EXPECT_EQ(user::menuMode().window, nullptr);
}

TEST_F(MenuMode, AClickElsewhereLeavesTheModeAndIsDelivered) {
    type({VK_F10, VK_DOWN});
    ASSERT_TRUE(user::click(w, 50, 50));
    user::dispatchPending();
    EXPECT_EQ(user::menuMode().window, nullptr);
    EXPECT_EQ(messagesOf(w, {WM_LBUTTONDOWN}).size(), 1u);
    EXPECT_EQ(messagesOf(w, {WM_EXITMENULOOP}).size(), 1u);
    type({VK_UP});
    EXPECT_EQ(keysReceived(WM_KEYDOWN), (std::vector<WPARAM>{VK_UP}));
}

TEST_F(MenuMode, TheMouseOpensHoversAndClosesAsTheDesktopReports) {
    ASSERT_TRUE(user::openMenu(w, 0));
    EXPECT_TRUE(user::menuMode().open);
    EXPECT_EQ(user::menuMode().item, -1); // the mouse highlights nothing yet
    EXPECT_TRUE(user::hoverMenuItem(w, 2));
    type({VK_RETURN});
    EXPECT_EQ(commands(), (std::vector<WPARAM>{MAKEWPARAM(kExit, 0)}));
    ASSERT_TRUE(user::openMenu(w, 1));
    EXPECT_TRUE(user::closeMenu(w));
    EXPECT_EQ(user::menuMode().window, nullptr);
    EXPECT_FALSE(user::openMenu(w, 5));
    EXPECT_FALSE(user::hoverMenuItem(w, 0)); // nothing is open
}

TEST_F(MenuMode, AGrayedItemIsNotChosen) {
    EnableMenuItem(GetMenu(w), kOpen, MF_BYCOMMAND | MF_GRAYED);
    type({VK_F10, VK_DOWN, VK_RETURN});
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(user::menuMode().open);
    type({VK_ESCAPE});
    EXPECT_EQ(user::menuMode().window, nullptr);
}

TEST_F(MenuMode, AWindowThatHandlesF10ItselfKeepsIt) {
    setHook([](HWND, UINT m, WPARAM wp, LPARAM, LRESULT* r) {
        if ((m == WM_SYSKEYDOWN || m == WM_SYSKEYUP) && wp == VK_F10) {
            *r = 0;
            return true;
        }
        return false;
    });
    type({VK_F10});
    EXPECT_EQ(user::menuMode().window, nullptr);
}

TEST_F(MenuMode, AWindowWithoutAMenuBarStaysOutOfTheMode) {
    HWND bare = makeTopLevel(u"Bare", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(user::typeKey(bare, VK_F10));
    user::dispatchPending();
    EXPECT_EQ(user::menuMode().window, nullptr);
    ASSERT_TRUE(user::typeKey(bare, VK_DOWN));
    user::dispatchPending();
    EXPECT_EQ(messagesOf(bare, {WM_KEYDOWN}).size(), 1u);
}

TEST_F(MenuMode, DestroyingTheWindowEndsTheMode) {
    type({VK_F10, VK_DOWN});
    DestroyWindow(w);
    EXPECT_EQ(user::menuMode().window, nullptr);
}

TEST_F(MenuMode, AltF4StillCloses) {
    ASSERT_TRUE(user::pressKey(w, VK_MENU));
    ASSERT_TRUE(user::pressKey(w, VK_F4));
    user::dispatchPending();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(user::menuMode().window, nullptr);
}

} // namespace
