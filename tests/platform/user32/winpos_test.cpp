// Window positions: frames, client areas, moves and the size limits.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

using Geometry = PlatformTest;

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
