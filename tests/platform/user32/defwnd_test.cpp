// The default processing: text, closing, and destruction in Windows' order.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

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

} // namespace
