// The default processing: text, closing, and destruction in Windows' order.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

using DefaultProcessing = PlatformTest;

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

} // namespace
