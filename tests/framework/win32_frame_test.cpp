#include "tests/framework/recording.h"

#include "framework/frame.h"
#include "framework/status_bar.h"
#include "framework/win32_frame.h"
#include "framework/window_menu.h"

#include <algorithm>

namespace {

// A main window that ends the loop the way the application does, from inside a handler.
class QuittingWindow : public MainWindow {
public:
    explicit QuittingWindow(int exitCode)
        : MainWindow("Quitting", uniqueClassName("Quit")), exitCode(exitCode) {}

    LRESULT windowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE) PostMessageW(h, WM_APP + 5, 11, 22);
        if (message == WM_APP + 5) {
            sawPosted = wParam == 11 && lParam == 22;
            PostQuitMessage(exitCode);
            return 0;
        }
        if (message == WM_APP + 6) afterQuit = true;
        return MainWindow::windowProc(h, message, wParam, lParam);
    }

    int exitCode;
    bool sawPosted = false;
    bool afterQuit = false;
    using WindowObject::x;
    using WindowObject::y;
};

class TestApplication : public Win32Frame {
public:
    using Win32Frame::accelerators;
    using Win32Frame::height;
    using Win32Frame::instance;
    using Win32Frame::lastGetMessage;
    using Win32Frame::mainHandle;
    using Win32Frame::mainWindow;
    using Win32Frame::style;
    using Win32Frame::width;
    using Win32Frame::x;
    using Win32Frame::y;
};

class ApplicationTest : public testing::Test {
protected:
    void SetUp() override { drainMessages(); }
    void TearDown() override { drainMessages(); }
};

TEST_F(ApplicationTest, StartsWithDefaultsAndStoresTheSettings) {
    TestApplication app;
    EXPECT_EQ(app.mainWindow, nullptr);
    EXPECT_EQ(app.x, CW_USEDEFAULT);
    EXPECT_EQ(app.y, CW_USEDEFAULT);
    EXPECT_EQ(app.width, CW_USEDEFAULT);
    EXPECT_EQ(app.height, CW_USEDEFAULT);
    EXPECT_EQ(app.style, 0u);
    QuittingWindow w(0);
    EXPECT_EQ(app.setMainWindow(&w), 0);
    EXPECT_EQ(app.setWindowRect(1, 2, 3, 4), 0);
    EXPECT_EQ(app.setWindowStyle(0x16CF0000), 0);
    EXPECT_EQ(app.mainWindow, &w);
    EXPECT_EQ(app.x, 1);
    EXPECT_EQ(app.height, 4);
    EXPECT_EQ(app.style, 0x16CF0000u);
}

class QuitCodes : public ApplicationTest, public testing::WithParamInterface<int> {};

TEST_P(QuitCodes, RunEndsWithZeroWhateverTheQuitCode) {
    TestApplication app;
    QuittingWindow w(GetParam());
    app.setMainWindow(&w);
    app.setWindowRect(20, 30, 300, 128);
    app.setWindowStyle(WS_OVERLAPPEDWINDOW);
    std::string out;
    int result = 1;
    out = captureStdout([&] { result = app.run(); });
    WindowGuard guard{w.getHandle()};
    EXPECT_EQ(result, 0);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(w.sawPosted); // the loop dispatched with no accelerator table
    EXPECT_EQ(app.lastGetMessage, 0);
    EXPECT_EQ(app.mainHandle, w.getHandle());
    EXPECT_EQ(app.accelerators, nullptr); // no "MYACCEL" resource in this program
    EXPECT_EQ(app.instance, GetModuleHandleW(nullptr));
    RECT r{};
    GetWindowRect(w.getHandle(), &r);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 128);
}

INSTANTIATE_TEST_SUITE_P(AnyExitCode, QuitCodes, testing::Values(0, 1, 7, -1, 255));

TEST_F(ApplicationTest, CloseThroughTheDefaultProcedureEndsTheLoop) {
    class ClosingWindow : public MainWindow {
    public:
        ClosingWindow() : MainWindow("Closing", uniqueClassName("Close")) {}
        LRESULT windowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
            if (message == WM_CREATE) PostMessageW(h, WM_CLOSE, 0, 0);
            if (message == WM_DESTROY) {
                destroyed = true;
                PostQuitMessage(0);
                return 0;
            }
            return MainWindow::windowProc(h, message, wParam, lParam);
        }
        bool destroyed = false;
    };
    TestApplication app;
    ClosingWindow w;
    app.setMainWindow(&w);
    EXPECT_EQ(app.run(), 0);
    EXPECT_TRUE(w.destroyed);
    EXPECT_FALSE(IsWindow(w.getHandle()));
}

TEST_F(ApplicationTest, WithoutSetWindowRectThePlatformChoosesTheGeometry) {
    TestApplication app;
    QuittingWindow w(0);
    app.setMainWindow(&w);
    EXPECT_EQ(app.run(), 0);
    WindowGuard guard{w.getHandle()};
    RECT r{};
    GetWindowRect(w.getHandle(), &r);
    EXPECT_GT(r.right - r.left, 0);
    EXPECT_GT(r.bottom - r.top, 0);
}

TEST_F(ApplicationTest, AFailingOpenPrintsTheLineOnceAndRunsNoLoop) {
    TestApplication app;
    QuittingWindow w(0);
    // Opened before run: run's own registration of the same class then fails.
    ASSERT_EQ(w.open(WS_POPUP, 0, 0, 50, 50, nullptr, nullptr), 0);
    WindowGuard guard{w.getHandle()};
    drainMessages();
    app.setMainWindow(&w);
    PostMessageW(w.getHandle(), WM_APP + 6, 0, 0);
    std::string out;
    int result = 0;
    out = captureStdout([&] { result = app.run(); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(out, "MainWindow open error.\n");
    EXPECT_FALSE(w.afterQuit); // nothing was dispatched
    EXPECT_EQ(app.mainHandle, nullptr);
}

TEST_F(ApplicationTest, RunWithoutMainWindowIsAnOpenError) {
    TestApplication app;
    std::string out;
    out = captureStdout([&] { EXPECT_EQ(app.run(), -1); });
    EXPECT_EQ(out, "MainWindow open error.\n");
}

// ---- menus ----

class TestMenu : public WindowMenu {
public:
    using WindowMenu::itemInfo;
    using WindowMenu::popupMap;
};

std::vector<UINT> itemIds(HMENU menu) {
    std::vector<UINT> ids;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        ids.push_back(GetMenuItemID(menu, i));
    return ids;
}

std::string itemText(HMENU menu, int position) {
    WCHAR buffer[64] = {};
    const int n = GetMenuStringW(menu, static_cast<UINT>(position), buffer, 64, MF_BYPOSITION);
    return toUtf8(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

TEST(WindowMenuTest, EverythingFailsWithoutAMenuBar) {
    TestMenu menu;
    EXPECT_EQ(menu.itemInfo.cbSize, sizeof(MENUITEMINFOW));
    EXPECT_EQ(menu.getHandle(), nullptr);
    EXPECT_EQ(menu.addPopup(MFT_STRING, "File", 0), -1);
    EXPECT_EQ(menu.addSubPopup("File", MFT_STRING, "Recent", 0), -1);
    EXPECT_EQ(menu.addItem("File", MFT_STRING, "Open", 1), -1);
    EXPECT_EQ(menu.deleteItem(1), -1);
    EXPECT_EQ(menu.deleteSubItem("File", 1), -1);
    EXPECT_TRUE(menu.popupMap.empty());
}

TEST(WindowMenuTest, ItemsFollowOneAnotherInCallOrder) {
    TestMenu menu;
    ASSERT_EQ(menu.create(), 0);
    ASSERT_NE(menu.getHandle(), nullptr);
    // Identifiers that are not in the menu: each entry goes to the end.
    EXPECT_EQ(menu.addPopup(MFT_STRING, "File", 1000), 0);
    EXPECT_EQ(menu.addPopup(MFT_STRING, "Help", 1001), 0);
    EXPECT_EQ(menu.addItem("File", MFT_STRING, "MML Open", 257), 0);
    EXPECT_EQ(menu.addItem("File", MFT_STRING, "Exit", 260), 0);
    EXPECT_EQ(menu.addItem("File", MFT_STRING, "Über", 258), 0);

    HMENU bar = menu.getHandle();
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(GetSubMenu(bar, 0), menu.popupMap["File"]);
    EXPECT_EQ(GetSubMenu(bar, 1), menu.popupMap["Help"]);
    EXPECT_EQ(itemText(bar, 0), "File");
    HMENU file = menu.popupMap["File"];
    EXPECT_EQ(itemIds(file), (std::vector<UINT>{257, 260, 258}));
    EXPECT_EQ(itemText(file, 0), "MML Open");
    EXPECT_EQ(itemText(file, 2), "Über");
    EXPECT_EQ(menu.itemInfo.fMask, static_cast<UINT>(MIIM_ID | MIIM_TYPE));
    EXPECT_EQ(menu.itemInfo.wID, 258u);
}

TEST(WindowMenuTest, AnIdentifierAlreadyInTheMenuInsertsBeforeThatEntry) {
    TestMenu menu;
    ASSERT_EQ(menu.create(), 0);
    // A popup inserted without MIIM_ID has identifier 0, so a second popup inserted
    // "before 0" lands in front of it.
    menu.addPopup(MFT_STRING, "File", 0);
    menu.addPopup(MFT_STRING, "Help", 0);
    EXPECT_EQ(itemText(menu.getHandle(), 0), "Help");
    EXPECT_EQ(itemText(menu.getHandle(), 1), "File");
    menu.addItem("Help", MFT_STRING, "About", 300);
    menu.addItem("Help", MFT_STRING, "Index", 300);
    EXPECT_EQ(itemText(menu.popupMap["Help"], 0), "Index");
}

TEST(WindowMenuTest, APopupNameIsUsedOnceInTheWholeTree) {
    TestMenu menu;
    ASSERT_EQ(menu.create(), 0);
    EXPECT_EQ(menu.addPopup(MFT_STRING, "File", 0), 0);
    EXPECT_EQ(menu.addPopup(MFT_STRING, "File", 0), 0);
    EXPECT_EQ(GetMenuItemCount(menu.getHandle()), 1);
    EXPECT_EQ(menu.addPopup(MFT_STRING, "Edit", 0), 0);
    EXPECT_EQ(menu.addSubPopup("File", MFT_STRING, "Recent", 0), 0);
    EXPECT_EQ(GetMenuItemCount(menu.popupMap["File"]), 1);
    EXPECT_EQ(GetSubMenu(menu.popupMap["File"], 0), menu.popupMap["Recent"]);
    // Already used under "File": under "Edit" it changes nothing.
    EXPECT_EQ(menu.addSubPopup("Edit", MFT_STRING, "Recent", 0), 0);
    EXPECT_EQ(GetMenuItemCount(menu.popupMap["Edit"]), 0);
    EXPECT_EQ(menu.popupMap.size(), 3u);
    EXPECT_EQ(menu.addItem("Recent", MFT_STRING, "a.mml", 300), 0);
    EXPECT_EQ(itemIds(menu.popupMap["Recent"]), (std::vector<UINT>{300}));
}

TEST(WindowMenuTest, DeletingReportsWhetherTheItemWasThere) {
    TestMenu menu;
    ASSERT_EQ(menu.create(), 0);
    menu.addPopup(MFT_STRING, "File", 0);
    menu.addItem("File", MFT_STRING, "Open", 257);
    menu.addItem("File", MFT_STRING, "Exit", 260);
    EXPECT_EQ(menu.deleteItem(999), -1);
    EXPECT_EQ(menu.deleteSubItem("File", 999), -1);
    EXPECT_EQ(menu.deleteSubItem("File", 257), 0);
    EXPECT_EQ(itemIds(menu.popupMap["File"]), (std::vector<UINT>{260}));
    EXPECT_EQ(menu.deleteSubItem("File", 257), -1);
    EXPECT_EQ(menu.popupMap.count("File"), 1u);
}

TEST(WindowMenuTest, AnUnknownParentIsRefused) {
    TestMenu menu;
    ASSERT_EQ(menu.create(), 0);
    EXPECT_EQ(menu.addItem("Nowhere", MFT_STRING, "Open", 1), -1);
    EXPECT_EQ(menu.addSubPopup("Nowhere", MFT_STRING, "Sub", 0), -1);
    EXPECT_EQ(menu.deleteSubItem("Nowhere", 1), -1);
    EXPECT_TRUE(menu.popupMap.empty());
}

TEST(WindowMenuTest, TheBarAttachesToAWindow) {
    TestMenu menu;
    ASSERT_EQ(menu.create(), 0);
    menu.addPopup(MFT_STRING, "File", 0);
    menu.addItem("File", MFT_STRING, "Exit", 260);
    RecordingObject w;
    ASSERT_EQ(w.registerClass(), 0);
    ASSERT_EQ(w.create(0, WS_OVERLAPPEDWINDOW, 0, 0, 300, 128, nullptr, nullptr), 0);
    WindowGuard guard{w.getHandle()};
    const RECT before = clientRect(w.getHandle());
    EXPECT_TRUE(SetMenu(w.getHandle(), menu.getHandle()));
    EXPECT_EQ(GetMenu(w.getHandle()), menu.getHandle());
    // The menu bar takes room from the client area.
    EXPECT_LT(clientRect(w.getHandle()).bottom, before.bottom);
}

// ---- status bar ----

class TestStatusBar : public StatusBar {
public:
    using StatusBar::style;
};

TEST(StatusBarTest, StartsAsAVisibleChildStyleWithoutWindow) {
    TestStatusBar bar;
    EXPECT_EQ(bar.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(bar.getHandle(), nullptr);
    EXPECT_EQ(bar.setText("nothing"), 0);
    EXPECT_EQ(bar.addStyle(SBARS_SIZEGRIP | CCS_BOTTOM), 0);
    EXPECT_EQ(bar.style, 0x50000103u);
}

TEST(StatusBarTest, CreateOnceThenKeepTheWindow) {
    RecordingObject parent;
    ASSERT_EQ(parent.makeTopLevel(300, 100), 0);
    WindowGuard guard{parent.getHandle()};
    TestStatusBar bar;
    ASSERT_EQ(bar.create(parent.getHandle(), ""), 0);
    HWND first = bar.getHandle();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetParent(first), parent.getHandle());
    EXPECT_EQ(GetDlgCtrlID(first), 1);
    EXPECT_EQ(bar.create(parent.getHandle(), "again"), 0);
    EXPECT_EQ(bar.getHandle(), first);
    EXPECT_NE(bar.setText("Playing"), 0);
}

TEST(StatusBarTest, ACreationThatFailsCanBeRetried) {
    TestStatusBar bar;
    EXPECT_EQ(bar.create(nullptr, "x"), -1); // a child control needs a parent
    EXPECT_EQ(bar.getHandle(), nullptr);
    RecordingObject parent;
    ASSERT_EQ(parent.makeTopLevel(), 0);
    WindowGuard guard{parent.getHandle()};
    EXPECT_EQ(bar.create(parent.getHandle(), "x"), 0);
    EXPECT_NE(bar.getHandle(), nullptr);
}

} // namespace
