// Window procedures: subclassing, the window longs and sending.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

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
    platform::user::dispatchPending();
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

} // namespace
