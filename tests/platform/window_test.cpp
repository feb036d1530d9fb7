// Classes, creation, procedures, default processing, destruction and geometry.
#include "recorder.h"

using namespace platform_test;

namespace {

using Classes = PlatformTest;

TEST_F(Classes, ANameRegisteredTwiceFailsWhateverItsCase) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"platformrecorder";
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    wc.lpszClassName = u"Another";
    EXPECT_NE(RegisterClassExW(&wc), 0);
}

TEST_F(Classes, AWrongRecordSizeOrNoNameIsRefused) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc - 4;
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"Sized";
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    wc.cbSize = sizeof wc;
    wc.lpszClassName = u"";
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(RegisterClassExW(nullptr), 0);
}

TEST_F(Classes, AnUnknownClassMakesNoWindow) {
    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(Classes, AClassWithWindowsCannotBeUnregistered) {
    HWND w = makeTopLevel();
    EXPECT_FALSE(UnregisterClassW(kRecorderClass, nullptr));
    DestroyWindow(w);
    EXPECT_TRUE(UnregisterClassW(kRecorderClass, nullptr));
    EXPECT_EQ(makeTopLevel(), nullptr);
}

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

using Procedures = PlatformTest;

WNDPROC previousProc = nullptr;
std::vector<UINT> subclassSaw;

LRESULT CALLBACK subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    subclassSaw.push_back(message);
    return CallWindowProcW(previousProc, hwnd, message, wParam, lParam);
}

TEST_F(Procedures, SubclassSeesMessagesFirstAndChainsToTheClassProcedure) {
    HWND w = makeTopLevel();
    subclassSaw.clear();
    previousProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC));
    LONG_PTR old = SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc));
    EXPECT_EQ(old, reinterpret_cast<LONG_PTR>(previousProc));
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(subclassProc));
    seen().clear();
    setHook([](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != WM_USER + 5) return false;
        *r = 99;
        return true;
    });
    EXPECT_EQ(SendMessageW(w, WM_USER + 5, 0, 0), 99);
    EXPECT_EQ(subclassSaw, (std::vector<UINT>{WM_USER + 5}));
    EXPECT_EQ(messagesOf(w), (std::vector<UINT>{WM_USER + 5}));
    // Posted messages go through the current procedure too.
    PostMessageW(w, WM_USER + 6, 0, 0);
    platform::headless::dispatchPending();
    EXPECT_EQ(subclassSaw.back(), static_cast<UINT>(WM_USER + 6));
}

TEST_F(Procedures, TheThirtyTwoBitNamesReachTheSameData) {
    HWND w = makeTopLevel();
    EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & WS_CAPTION, static_cast<LONG>(WS_CAPTION));
    SetWindowLongW(w, GWL_USERDATA, 1234);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA), 1234);
    EXPECT_EQ(GetWindowLongPtrW(w, 64), 0); // beyond the extra bytes
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(CallWindowProcW(nullptr, w, WM_USER, 0, 0), 0);
}

TEST_F(Procedures, SendMessageIsSynchronousAndReentrant) {
    HWND a = makeTopLevel(u"A");
    HWND b = makeTopLevel(u"B");
    std::vector<std::string> trail;
    setHook([&](HWND h, UINT m, WPARAM wp, LPARAM, LRESULT* r) {
        if (m != WM_USER) return false;
        trail.push_back((h == a ? "a" : "b") + std::to_string(wp));
        if (wp < 3)
            *r = SendMessageW(h == a ? b : a, WM_USER, wp + 1, 0) + 1;
        else
            *r = 100;
        trail.push_back((h == a ? "a" : "b") + std::to_string(wp) + " done");
        return true;
    });
    EXPECT_EQ(SendMessageW(a, WM_USER, 0, 0), 103);
    EXPECT_EQ(trail, (std::vector<std::string>{"a0", "b1", "a2", "b3", "b3 done", "a2 done",
                                               "b1 done", "a0 done"}));
    EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(0x7777), WM_USER, 0, 0), 0);
}

TEST_F(Procedures, EndlessSelfSendingStopsInsteadOfOverflowing) {
    HWND w = makeTopLevel();
    int depth = 0;
    setHook([&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != WM_USER) return false;
        depth++;
        *r = SendMessageW(h, WM_USER, 0, 0);
        return true;
    });
    SendMessageW(w, WM_USER, 0, 0);
    EXPECT_GT(depth, 10);
    EXPECT_LT(depth, 5000);
}

using DefaultProcessing = PlatformTest;

TEST_F(DefaultProcessing, TextIsKeptAndReturned) {
    HWND w = makeTopLevel(u"Initial");
    EXPECT_EQ(text(w), u"Initial");
    EXPECT_EQ(SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Changed")), TRUE);
    EXPECT_EQ(GetWindowTextLengthW(w), 7);
    WCHAR small[4];
    EXPECT_EQ(GetWindowTextW(w, small, 4), 3);
    EXPECT_EQ(std::u16string(small), u"Cha");
    EXPECT_TRUE(SetWindowTextW(w, nullptr));
    EXPECT_EQ(GetWindowTextLengthW(w), 0);
    EXPECT_FALSE(SetWindowTextW(reinterpret_cast<HWND>(0x4444), u"x"));
    EXPECT_EQ(SendMessageW(w, WM_SETFONT, 0, TRUE), 0);
}

TEST_F(DefaultProcessing, CloseDestroysParentBeforeChildren) {
    HWND parent = makeTopLevel(u"P", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND child = makeChild(parent, 1);
    HWND grandchild = makeChild(child, 2);
    seen().clear();
    SendMessageW(parent, WM_CLOSE, 0, 0);
    std::vector<std::pair<HWND, UINT>> order;
    for (const Seen& s : seen())
        if (s.message == WM_DESTROY || s.message == WM_NCDESTROY)
            order.push_back({s.hwnd, s.message});
    EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{parent, WM_DESTROY},
                                                         {child, WM_DESTROY},
                                                         {grandchild, WM_DESTROY},
                                                         {grandchild, WM_NCDESTROY},
                                                         {child, WM_NCDESTROY},
                                                         {parent, WM_NCDESTROY}}));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
    EXPECT_FALSE(DestroyWindow(parent));
}

TEST_F(DefaultProcessing, ChildrenAreStillValidDuringTheParentsDestroy) {
    HWND parent = makeTopLevel();
    HWND child = makeChild(parent, 1);
    bool childAlive = false;
    setHook([&](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (h == parent && m == WM_DESTROY)
            childAlive = IsWindow(child) && GetParent(child) == parent;
        return false;
    });
    DestroyWindow(parent);
    EXPECT_TRUE(childAlive);
}

TEST_F(DefaultProcessing, DestroyingInsideDestroyDoesNotRecurse) {
    HWND w = makeTopLevel();
    int destroys = 0;
    setHook([&](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
        if (m == WM_DESTROY) {
            destroys++;
            DestroyWindow(h);
        }
        return false;
    });
    EXPECT_TRUE(DestroyWindow(w));
    EXPECT_EQ(destroys, 1);
}

TEST_F(DefaultProcessing, OwnedWindowsGoBeforeTheirOwner) {
    HWND owner = makeTopLevel(u"Owner");
    HWND popup = CreateWindowExW(0, kRecorderClass, u"Popup", WS_POPUP, 0, 0, 10, 10, owner,
                                 nullptr, nullptr, nullptr);
    EXPECT_EQ(GetParent(popup), owner);
    EXPECT_EQ(GetWindow(popup, GW_OWNER), owner);
    seen().clear();
    DestroyWindow(owner);
    auto destroys = messagesOf(popup, {WM_NCDESTROY});
    ASSERT_EQ(destroys.size(), 1u);
    EXPECT_EQ(seen().front().hwnd, popup);
}

using Geometry = PlatformTest;

TEST_F(Geometry, ClientAreaIsTheWindowLessItsFrameAndMenuBar) {
    HWND plain = makeTopLevel(u"Plain", WS_OVERLAPPEDWINDOW, 10, 20, 300, 128);
    RECT wr, cr;
    GetWindowRect(plain, &wr);
    GetClientRect(plain, &cr);
    EXPECT_EQ(wr.left, 10);
    EXPECT_EQ(wr.top, 20);
    EXPECT_EQ(wr.right, 310);
    EXPECT_EQ(wr.bottom, 148);
    EXPECT_EQ(cr.left, 0);
    EXPECT_EQ(cr.top, 0);
    int frame = GetSystemMetrics(SM_CXFRAME);
    EXPECT_EQ(cr.right, 300 - 2 * frame);
    EXPECT_EQ(cr.bottom, 128 - 2 * frame - GetSystemMetrics(SM_CYCAPTION));

    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_STRING, 1, u"File");
    HWND withMenu = makeTopLevel(u"Menu", WS_OVERLAPPEDWINDOW, 10, 20, 300, 128, bar);
    RECT mr;
    GetClientRect(withMenu, &mr);
    EXPECT_EQ(mr.right, cr.right);
    EXPECT_EQ(mr.bottom, cr.bottom - GetSystemMetrics(SM_CYMENU));

    RECT adjusted = cr;
    AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_EQ(adjusted.right - adjusted.left, 300);
    EXPECT_EQ(adjusted.bottom - adjusted.top, 128);
}

TEST_F(Geometry, SettingAMenuShrinksTheClientAreaAndSendsSize) {
    HWND w = makeTopLevel();
    RECT before;
    GetClientRect(w, &before);
    seen().clear();
    HMENU bar = CreateMenu();
    ASSERT_TRUE(SetMenu(w, bar));
    EXPECT_EQ(GetMenu(w), bar);
    RECT after;
    GetClientRect(w, &after);
    EXPECT_EQ(after.bottom, before.bottom - GetSystemMetrics(SM_CYMENU));
    auto sizes = messagesOf(w, {WM_SIZE});
    ASSERT_EQ(sizes.size(), 1u);
    HWND child = makeChild(w, 3);
    EXPECT_FALSE(SetMenu(child, bar));
}

TEST_F(Geometry, ChildRectanglesAreInScreenAndParentClientCoordinates) {
    HWND parent = makeTopLevel(u"P", WS_OVERLAPPEDWINDOW, 100, 50, 400, 300);
    HWND child = makeChild(parent, 1, 5, 6, 70, 30);
    RECT wr, pr;
    GetWindowRect(child, &wr);
    POINT origin{0, 0};
    ClientToScreen(parent, &origin);
    GetWindowRect(parent, &pr);
    EXPECT_EQ(origin.x, pr.left + GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(wr.left, origin.x + 5);
    EXPECT_EQ(wr.top, origin.y + 6);
    EXPECT_EQ(wr.right - wr.left, 70);
    POINT p{wr.left, wr.top};
    ScreenToClient(parent, &p);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 6);
    RECT cr;
    GetClientRect(child, &cr);
    EXPECT_EQ(cr.right, 70);
    EXPECT_EQ(cr.bottom, 30);
}

TEST_F(Geometry, MoveWindowSendsPositionChangesThenMoveAndSize) {
    HWND parent = makeTopLevel();
    HWND child = makeChild(parent, 1, 0, 0, 50, 40);
    seen().clear();
    ASSERT_TRUE(MoveWindow(child, 10, 12, 60, 45, TRUE));
    EXPECT_EQ(messagesOf(child, {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE,
                                 WM_SIZE}),
              (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE,
                                 WM_SIZE}));
    for (const Seen& s : seen()) {
        if (s.hwnd != child) continue;
        if (s.message == WM_MOVE) {
            EXPECT_EQ(s.lParam, MAKELPARAM(10, 12));
        }
        if (s.message == WM_SIZE) {
            EXPECT_EQ(s.wParam, static_cast<WPARAM>(SIZE_RESTORED));
            EXPECT_EQ(s.lParam, MAKELPARAM(60, 45));
        }
    }
    // The same rectangle again changes nothing: the window hears the request and no more.
    seen().clear();
    MoveWindow(child, 10, 12, 60, 45, TRUE);
    EXPECT_EQ(messagesOf(child), (std::vector<UINT>{WM_WINDOWPOSCHANGING}));
    // A pure move sends no WM_SIZE.
    seen().clear();
    MoveWindow(child, 20, 12, 60, 45, TRUE);
    EXPECT_EQ(messagesOf(child, {WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_MOVE}));
}

TEST_F(Geometry, AWindowThatSkipsDefaultProcessingGetsNoSize) {
    HWND parent = makeTopLevel();
    HWND child = makeChild(parent, 1);
    setHook([&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h != child || m != WM_WINDOWPOSCHANGED) return false;
        *r = 0;
        return true;
    });
    seen().clear();
    MoveWindow(child, 1, 2, 3, 4, TRUE);
    EXPECT_TRUE(messagesOf(child, {WM_SIZE, WM_MOVE}).empty());
    RECT r;
    GetClientRect(child, &r);
    EXPECT_EQ(r.right, 3);
}

TEST_F(Geometry, TopLevelSizeIsHeldWithinTheMinMaxLimits) {
    HWND w = makeTopLevel(u"T", WS_OVERLAPPEDWINDOW, 0, 0, 5, 5);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXMINTRACK));
    setHook([](HWND, UINT m, WPARAM, LPARAM l, LRESULT*) {
        if (m == WM_GETMINMAXINFO) reinterpret_cast<MINMAXINFO*>(l)->ptMaxTrackSize = {400, 300};
        return false;
    });
    MoveWindow(w, 0, 0, 1000, 1000, TRUE);
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 400);
    EXPECT_EQ(r.bottom - r.top, 300);
}

TEST_F(Geometry, DefaultPositionAndSize) {
    HWND top = makeTopLevel(u"T", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT);
    RECT r;
    GetWindowRect(top, &r);
    EXPECT_GT(r.right - r.left, 100);
    EXPECT_GT(r.bottom - r.top, 100);
    HWND child = makeChild(top, 1, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    GetWindowRect(child, &r);
    EXPECT_EQ(r.right - r.left, 0);
    EXPECT_EQ(r.bottom - r.top, 0);
}

TEST_F(Geometry, InvalidWindowsFailCleanly) {
    HWND bogus = reinterpret_cast<HWND>(0x99999);
    RECT r{1, 2, 3, 4};
    EXPECT_FALSE(GetClientRect(bogus, &r));
    EXPECT_FALSE(GetWindowRect(bogus, &r));
    EXPECT_FALSE(MoveWindow(bogus, 0, 0, 1, 1, TRUE));
    EXPECT_FALSE(InvalidateRect(bogus, nullptr, TRUE));
    EXPECT_FALSE(UpdateWindow(bogus));
    EXPECT_EQ(GetParent(bogus), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

using Painting = PlatformTest;

TEST_F(Painting, UpdateWindowPaintsOnlyAnInvalidWindowOnce) {
    HWND w = makeTopLevel(u"T", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    UpdateWindow(w);
    seen().clear();
    UpdateWindow(w);
    EXPECT_TRUE(messagesOf(w, {WM_PAINT}).empty());
    InvalidateRect(w, nullptr, TRUE);
    UpdateWindow(w);
    EXPECT_EQ(messagesOf(w, {WM_PAINT, WM_ERASEBKGND}),
              (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
}

TEST_F(Painting, TheQueueAsksForPaintWhenNothingElseWaits) {
    HWND w = makeTopLevel(u"T", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    PostMessageW(w, WM_USER, 0, 0);
    MSG msg;
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageW(&msg);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

} // namespace
