// Window subclassing: the chain of procedures and removing from it.
#include "tests/platform/comctl32/controls_fixture.h"

using namespace platform_test;

namespace {

LRESULT CALLBACK tagging(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR ref) {
    if (m == WM_USER + 3) reinterpret_cast<std::string*>(ref)->append(std::to_string(id));
    return DefSubclassProc(h, m, w, l);
}

TEST_F(Controls, SubclassesRunNewestFirstAndCanBeRemoved) {
    HWND w = makeTopLevel();
    std::string order;
    ASSERT_TRUE(SetWindowSubclass(w, tagging, 1, reinterpret_cast<DWORD_PTR>(&order)));
    ASSERT_TRUE(SetWindowSubclass(w, tagging, 2, reinterpret_cast<DWORD_PTR>(&order)));
    seen().clear();
    SendMessageW(w, WM_USER + 3, 0, 0);
    EXPECT_EQ(order, "21");
    EXPECT_EQ(messagesOf(w), (std::vector<UINT>{WM_USER + 3}));
    EXPECT_TRUE(RemoveWindowSubclass(w, tagging, 2));
    EXPECT_FALSE(RemoveWindowSubclass(w, tagging, 2));
    order.clear();
    SendMessageW(w, WM_USER + 3, 0, 0);
    EXPECT_EQ(order, "1");
    RemoveWindowSubclass(w, tagging, 1);
    ASSERT_TRUE(SetWindowSubclass(w, tagging, 4, reinterpret_cast<DWORD_PTR>(&order)));
    order.clear();
    SendMessageW(w, WM_USER + 3, 0, 0);
    EXPECT_EQ(order, "4");
}

} // namespace
