#include "tests/framework/recording.h"

#include "controls/rebar.h"
#include "controls/tool_bar_ex.h"
#include "framework/frame.h"
#include "framework/status_bar.h"
#include "framework/win32_frame.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <tuple>

namespace {

class TestMainWindow : public MainWindow {
public:
    explicit TestMainWindow(const std::string& title = "Main")
        : MainWindow(title, uniqueClassName("Main")) {}

    LRESULT windowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        if (message == WM_CREATE && onCreate) onCreate();
        if (message == WM_CREATE && refuseCreate) return -1;
        return MainWindow::windowProc(h, message, wParam, lParam);
    }

    Rebar* theRebar() { return rebar.get(); }

    using MainWindow::rebarEnabled;
    using MainWindow::rebarHeight;
    using MainWindow::statusBarHandle;
    using WindowBase::wc;
    using WindowObject::height;
    using WindowObject::sizeListeners;
    using WindowObject::width;

    std::vector<UINT> seen;
    std::function<void()> onCreate;
    bool refuseCreate = false;
};

class FrameTest : public testing::Test {
protected:
    void TearDown() override { drainMessages(); }
};

int openMain(TestMainWindow& w, int width = 300, int height = 128) {
    return w.open(WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr, nullptr);
}

TEST_F(FrameTest, MainWindowFillsTheClassDefaults) {
    TestMainWindow w;
    EXPECT_EQ(w.wc.style, 0u);
    EXPECT_EQ(w.wc.cbClsExtra, 0);
    EXPECT_EQ(w.wc.cbWndExtra, 0);
    EXPECT_NE(w.wc.hIcon, nullptr);
    EXPECT_NE(w.wc.hCursor, nullptr);
    EXPECT_NE(w.wc.hbrBackground, nullptr);
    EXPECT_EQ(w.wc.lpszMenuName, nullptr);
    EXPECT_EQ(w.wc.lpfnWndProc, &WindowBase::classWindowProc);
    EXPECT_EQ(w.statusBarHandle, nullptr);
    EXPECT_EQ(w.rebarEnabled, 0);
    EXPECT_EQ(w.rebarHeight, 0);
}

TEST_F(FrameTest, OpenRegistersThenCreatesAndFailsOnASecondRegistration) {
    TestMainWindow w("Opened");
    ASSERT_EQ(openMain(w), 0);
    WindowGuard guard{w.getHandle()};
    EXPECT_NE(w.getHandle(), nullptr);
    EXPECT_EQ(w.getText(), "Opened");
    RECT r{};
    GetWindowRect(w.getHandle(), &r);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 128);
    // The caption and borders take room: the client area is smaller than the window.
    const RECT c = clientRect(w.getHandle());
    EXPECT_LT(c.right, 300);
    EXPECT_LT(c.bottom, 128);

    // Same class name again: registration fails and no window is made.
    TestMainWindow again("Again");
    again.wc.lpszClassName = w.wc.lpszClassName;
    EXPECT_EQ(openMain(again), -1);
    EXPECT_EQ(again.getHandle(), nullptr);
}

TEST_F(FrameTest, OpenReportsACreationThatFails) {
    TestMainWindow w;
    w.refuseCreate = true;
    EXPECT_EQ(openMain(w), -2);
    EXPECT_EQ(w.getHandle(), nullptr);
}

TEST_F(FrameTest, FrameWindowProcIsTheDefaultProcedure) {
    Frame frame("Frame");
    EXPECT_EQ(frame.windowProc(nullptr, WM_APP, 0, 0), 0);
}

TEST(FrameDeathTest, TheTwoArgumentOpenIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Frame frame("Frame");
    WindowObject& asObject = frame;
    EXPECT_DEATH(asObject.open(nullptr, 0), "Frame::open\\(parent, id\\)");
}

TEST_F(FrameTest, LayoutWithoutRebarLeavesRoomForTheStatusBar) {
    TestMainWindow w;
    StatusBar bar;
    ChildObject child("Content");
    w.onCreate = [&] {
        bar.addStyle(SBARS_SIZEGRIP | CCS_BOTTOM);
        EXPECT_EQ(w.attachStatusBar(&bar, ""), 0);
    };
    ASSERT_EQ(openMain(w), 0);
    WindowGuard guard{w.getHandle()};
    ASSERT_NE(bar.getHandle(), nullptr);
    EXPECT_EQ(w.statusBarHandle, bar.getHandle());
    ASSERT_EQ(w.sizeListeners.size(), 1u);

    // The main window's layout ignores the fit mode: width only still fills the area.
    captureStdout([&] { EXPECT_EQ(w.addFitableObject(&child, 7, true, false), 0); });
    MoveWindow(w.getHandle(), 0, 0, 420, 320, TRUE);

    const RECT c = clientRect(w.getHandle());
    const RECT s = rectIn(bar.getHandle(), w.getHandle());
    const int barHeight = s.bottom - s.top;
    EXPECT_GT(barHeight, 0);
    // The bar aligned itself to the bottom edge on the forwarded WM_SIZE.
    EXPECT_EQ(s.bottom, c.bottom);
    const RECT r = rectIn(child.getHandle(), w.getHandle());
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, c.right);
    EXPECT_EQ(r.bottom, c.bottom - barHeight);
}

TEST_F(FrameTest, LayoutWithoutStatusBarUsesTheWholeClientArea) {
    TestMainWindow w;
    ASSERT_EQ(openMain(w), 0);
    WindowGuard guard{w.getHandle()};
    ChildObject child;
    captureStdout([&] { w.addFitableObject(&child, 1, false, true); });
    MoveWindow(w.getHandle(), 0, 0, 350, 200, TRUE);
    const RECT c = clientRect(w.getHandle());
    const RECT r = rectIn(child.getHandle(), w.getHandle());
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, c.right);
    EXPECT_EQ(r.bottom, c.bottom);
    EXPECT_EQ(w.width, c.right);
    EXPECT_EQ(w.height, c.bottom);
}

TEST_F(FrameTest, WithoutRebarTheRebarOperationsFail) {
    TestMainWindow w;
    ChildObject child;
    ToolBarEx* none = nullptr;
    EXPECT_EQ(w.addRebarChild(&child, 1), -1); // not created yet
    ASSERT_EQ(openMain(w), 0);
    WindowGuard guard{w.getHandle()};
    EXPECT_EQ(w.enableRebar(), 0); // too late: the rebar is made on WM_CREATE
    EXPECT_EQ(w.theRebar(), nullptr);
    EXPECT_EQ(w.addRebarChild(&child, 1), -1);
    EXPECT_EQ(w.addRebarBand(none), -1);
    EXPECT_EQ(child.getHandle(), nullptr);

    // rebarHeight stays 0: a fitted child covers the whole client area.
    ChildObject content;
    captureStdout([&] { w.addFitableObject(&content, 2, true, true); });
    MoveWindow(w.getHandle(), 0, 0, 310, 150, TRUE);
    const RECT r = rectIn(content.getHandle(), w.getHandle());
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, clientRect(w.getHandle()).bottom);
}

TEST_F(FrameTest, AResizeRedrawsTheWholeStatusBar) {
    // Only growing, a bar would otherwise keep the grip it painted at every earlier width.
    TestMainWindow w;
    StatusBar bar;
    w.onCreate = [&] {
        bar.addStyle(SBARS_SIZEGRIP | CCS_BOTTOM);
        w.attachStatusBar(&bar, "");
    };
    ASSERT_EQ(openMain(w), 0);
    WindowGuard guard{w.getHandle()};
    ASSERT_NE(bar.getHandle(), nullptr);
    // A hidden window collects no update region.
    ShowWindow(w.getHandle(), SW_SHOWNOACTIVATE);
    UpdateWindow(w.getHandle());
    ValidateRect(bar.getHandle(), nullptr);
    ASSERT_FALSE(GetUpdateRect(bar.getHandle(), nullptr, FALSE));
    RECT before{};
    GetWindowRect(w.getHandle(), &before);
    MoveWindow(w.getHandle(), before.left, before.top, before.right - before.left + 40,
               before.bottom - before.top, TRUE);
    RECT dirty{};
    ASSERT_TRUE(GetUpdateRect(bar.getHandle(), &dirty, FALSE));
    const RECT whole = clientRect(bar.getHandle());
    EXPECT_EQ(std::tie(dirty.left, dirty.top, dirty.right, dirty.bottom),
              std::tie(whole.left, whole.top, whole.right, whole.bottom));
}

TEST_F(FrameTest, AttachStatusBarWithoutBarOrWindowRecordsNothing) {
    TestMainWindow w;
    EXPECT_EQ(w.attachStatusBar(nullptr, ""), -1);
    StatusBar bar;
    // No parent window yet: a child control cannot be made.
    EXPECT_EQ(w.attachStatusBar(&bar, "text"), -1);
    EXPECT_EQ(w.statusBarHandle, nullptr);
    EXPECT_TRUE(w.sizeListeners.empty());
}

class RebarLayoutTest : public FrameTest {
protected:
    void SetUp() override {
        w.enableRebar();
        output = captureStdout([&] { ASSERT_EQ(openMain(w, 400, 300), 0); });
        guard.window = w.getHandle();
        ASSERT_NE(w.theRebar(), nullptr);
        rebarWindow = w.theRebar()->getHandle();
        ASSERT_NE(rebarWindow, nullptr);
        captureStdout([&] { ASSERT_EQ(w.addFitableObject(&content, 5, true, true), 0); });
    }

    TestMainWindow w{"WithRebar"};
    ChildObject content{"Content"};
    WindowGuard guard{nullptr};
    HWND rebarWindow = nullptr;
    std::string output;
};

TEST_F(RebarLayoutTest, TheRebarIsMadeOnCreateAndAnnounced) {
    char line[96];
    std::snprintf(
        line, sizeof line, "add fitable Object : hwnd=%08x name=Rebar\n",
        static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(rebarWindow) & 0xFFFFFFFFu));
    EXPECT_EQ(output, std::string("exec InitCommonControlsEx()\n") + line);
    EXPECT_EQ(GetParent(rebarWindow), w.getHandle());
}

TEST_F(RebarLayoutTest, ChildrenStartBelowTheRebarOnceItReportsItsHeight) {
    MoveWindow(w.getHandle(), 0, 0, 420, 320, TRUE);
    const RECT c = clientRect(w.getHandle());
    const RECT bar = rectIn(rebarWindow, w.getHandle());
    EXPECT_EQ(bar.left, 0);
    EXPECT_EQ(bar.top, 0);
    EXPECT_EQ(bar.right, c.right);
    const RECT r = rectIn(content.getHandle(), w.getHandle());
    EXPECT_EQ(r.top, w.rebarHeight);
    EXPECT_EQ(r.bottom, c.bottom);

    // Whatever made the rebar report, the layout now starts at its client height + 2.
    NMHDR header{rebarWindow, 0, static_cast<UINT>(RBN_HEIGHTCHANGE)};
    SendMessageW(w.getHandle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    const RECT rc = clientRect(rebarWindow);
    EXPECT_EQ(w.rebarHeight, rc.bottom - rc.top + 2);
    const RECT c2 = clientRect(w.getHandle());
    const RECT moved = rectIn(content.getHandle(), w.getHandle());
    EXPECT_EQ(moved.left, 0);
    EXPECT_EQ(moved.top, w.rebarHeight);
    EXPECT_EQ(moved.right, c2.right);
    EXPECT_EQ(moved.bottom, c2.bottom);
    // The relayout ran through the whole path, so the application saw a WM_SIZE.
    EXPECT_NE(std::find(w.seen.begin(), w.seen.end(), UINT(WM_SIZE)), w.seen.end());
}

TEST_F(RebarLayoutTest, AHeightChangeFromAnotherWindowChangesNothing) {
    const int before = w.rebarHeight;
    NMHDR header{content.getHandle(), 0, static_cast<UINT>(RBN_HEIGHTCHANGE)};
    w.seen.clear();
    SendMessageW(w.getHandle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(w.rebarHeight, before);
    EXPECT_EQ(std::count(w.seen.begin(), w.seen.end(), UINT(WM_SIZE)), 0);
}

TEST_F(RebarLayoutTest, InsertingABandGrowsTheRebarAndRelaysOut) {
    std::unique_ptr<ToolBarEx> toolbar;
    captureStdout([&] { toolbar = std::make_unique<ToolBarEx>(); });
    TBBUTTON button{};
    button.iBitmap = STD_FILENEW;
    button.idCommand = 100;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON;
    ASSERT_EQ(toolbar->create(w.getHandle(), 9, 1, std::span<const TBBUTTON>(&button, 1), 1), 0);
    EXPECT_EQ(w.addRebarBand(toolbar.get()), 0);
    EXPECT_EQ(SendMessageW(rebarWindow, RB_GETBANDCOUNT, 0, 0), 1);
    // The band (at least 25 pixels high) made the rebar report its new height.
    EXPECT_GE(w.rebarHeight, 25 + 2);
    const RECT rc = clientRect(rebarWindow);
    EXPECT_EQ(w.rebarHeight, rc.bottom - rc.top + 2);
    const RECT r = rectIn(content.getHandle(), w.getHandle());
    EXPECT_EQ(r.top, w.rebarHeight);
}

TEST_F(RebarLayoutTest, RebarChildIsMadeInsideTheRebar) {
    ChildObject inside("Inside");
    std::string out = captureStdout([&] { EXPECT_EQ(w.addRebarChild(&inside, 4), 0); });
    ASSERT_NE(inside.getHandle(), nullptr);
    EXPECT_EQ(GetParent(inside.getHandle()), rebarWindow);
    EXPECT_NE(out.find("name=Inside\n"), std::string::npos);
}

} // namespace
