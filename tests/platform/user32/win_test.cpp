// Creating windows: the messages, their order, refusals and the handle quota.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

using Creation = PlatformTest;

TEST_F(Creation, TopLevelMessagesComeInWindowsOrder) {
    HWND w = makeTopLevel(u"Top", WS_OVERLAPPEDWINDOW);
    ASSERT_NE(w, nullptr);
    // An overlapped window hears its size only when it is first shown.
    EXPECT_EQ(messagesOf(w),
              (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE}));
    HWND popup = makeTopLevel(u"Popup", WS_POPUP);
    EXPECT_EQ(messagesOf(popup),
              (std::vector<UINT>{WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}));
    seen().clear();
    ShowWindow(w, SW_SHOW);
    EXPECT_EQ(messagesOf(w, {WM_SHOWWINDOW, WM_SIZE, WM_MOVE}),
              (std::vector<UINT>{WM_SHOWWINDOW, WM_SIZE, WM_MOVE}));
    seen().clear();
    ShowWindow(w, SW_HIDE);
    ShowWindow(w, SW_SHOW);
    EXPECT_TRUE(messagesOf(w, {WM_SIZE, WM_MOVE}).empty());
}

TEST_F(Creation, VisibleWindowIsShownActivatedAndSizedDuringCreation) {
    HWND w = makeTopLevel(u"Top", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    auto order = messagesOf(w, {WM_CREATE, WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_ACTIVATEAPP,
                                WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS, WM_WINDOWPOSCHANGED,
                                WM_SIZE, WM_MOVE});
    EXPECT_EQ(order, (std::vector<UINT>{WM_CREATE, WM_SHOWWINDOW, WM_WINDOWPOSCHANGING,
                                        WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS,
                                        WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE}));
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(GetActiveWindow(), w);
    EXPECT_EQ(GetFocus(), w);
    HWND hidden = makeTopLevel(u"Hidden", WS_OVERLAPPEDWINDOW);
    EXPECT_FALSE(IsWindowVisible(hidden));
    seen().clear();
    DestroyWindow(w);
    EXPECT_EQ(
        messagesOf(w, {WM_NCACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS, WM_DESTROY}),
        (std::vector<UINT>{WM_NCACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS, WM_DESTROY}));
    EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(Creation, ChildGetsNoMinMaxAndItsParentIsNotified) {
    HWND parent = makeTopLevel();
    seen().clear();
    HWND child = makeChild(parent, 7);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(messagesOf(child, {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE,
                                 WM_MOVE}),
              (std::vector<UINT>{WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}));
    ASSERT_EQ(messagesOf(parent), (std::vector<UINT>{WM_PARENTNOTIFY}));
    for (const Seen& s : seen()) {
        if (s.hwnd != parent) continue;
        EXPECT_EQ(LOWORD(s.wParam), WM_CREATE);
        EXPECT_EQ(HIWORD(s.wParam), 7);
        EXPECT_EQ(s.lParam, reinterpret_cast<LPARAM>(child));
    }
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetDlgCtrlID(child), 7);
    EXPECT_EQ(GetDlgItem(parent, 7), child);
}

TEST_F(Creation, CreateParamsArriveFirstInTheRecord) {
    int marker = 42;
    void* received = nullptr;
    HWND handleDuringCreate = nullptr;
    setHook([&](HWND h, UINT m, WPARAM, LPARAM l, LRESULT*) {
        if (m == WM_CREATE) {
            received = *reinterpret_cast<void**>(l);
            handleDuringCreate = h;
            EXPECT_TRUE(IsWindow(h));
        }
        return false;
    });
    HWND w = CreateWindowExW(0, kRecorderClass, u"T", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, nullptr, &marker);
    EXPECT_EQ(received, &marker);
    EXPECT_EQ(handleDuringCreate, w);
}

TEST_F(Creation, RefusingCreationDestroysTheWindowAndReturnsNull) {
    HWND refused = nullptr;
    setHook([&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m == WM_CREATE) {
            refused = h;
            *r = -1;
            return true;
        }
        return false;
    });
    EXPECT_EQ(makeTopLevel(), nullptr);
    EXPECT_FALSE(IsWindow(refused));
    EXPECT_EQ(messagesOf(refused, {WM_DESTROY, WM_NCDESTROY}),
              (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));

    setHook([](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != WM_NCCREATE) return false;
        *r = FALSE;
        return true;
    });
    seen().clear();
    EXPECT_EQ(makeTopLevel(), nullptr);
    for (const Seen& s : seen())
        EXPECT_NE(s.message, WM_CREATE);
}

TEST_F(Creation, ChildWithoutParentFails) {
    EXPECT_EQ(makeChild(nullptr, 1), nullptr);
    EXPECT_EQ(makeChild(reinterpret_cast<HWND>(0x12345678), 1), nullptr);
}

TEST_F(Creation, HandlesAreNeverReused) {
    HWND a = makeTopLevel();
    DestroyWindow(a);
    HWND b = makeTopLevel();
    EXPECT_NE(a, b);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_NE(reinterpret_cast<uintptr_t>(b) & 0xFFFFFFFFu, 0u);
}

TEST_F(Creation, ARunawayCreatorMeetsTheHandleQuota) {
    int made = 0;
    while (made < 20000 && makeTopLevel(u"w", WS_POPUP, 0, 0, 1, 1))
        made++;
    EXPECT_EQ(made, 10000);
    EXPECT_EQ(GetLastError(), 1816u);
    int menus = 0;
    while (menus < 20000 && CreateMenu())
        menus++;
    EXPECT_EQ(menus, 10000);
}

} // namespace
