// Creating windows: the messages, their order, refusals and the handle quota.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

using Creation = PlatformTest;

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
