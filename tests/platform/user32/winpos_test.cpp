// Window positions: frames, client areas, moves and the size limits.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

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

} // namespace
