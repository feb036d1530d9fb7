// The tooltip: watching its tools' windows through a subclass.
#include "tests/platform/comctl32/controls_fixture.h"

using namespace platform_test;

namespace {

TEST_F(Controls, TooltipShowsItsToolsTextWherePointedAt) {
    HWND owner = makeTopLevel(u"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND tip = CreateWindowExW(0, u"tooltips_class32", nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(tip, nullptr);
    std::u16string tipText = u"Hello";
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = 0;
    GetClientRect(owner, &tool.rect);
    tool.lpszText = tipText.data();
    ASSERT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));

    // Input that reaches the owner through the queue passes the tooltip on its way.
    seen().clear();
    ASSERT_TRUE(platform::user::mouseMove(owner, 5, 5));
    ASSERT_TRUE(platform::user::click(owner, 6, 6));
    platform::user::dispatchPending();
    EXPECT_EQ(messagesOf(owner, {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}),
              (std::vector<UINT>{WM_MOUSEMOVE, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}));

    platform::user::mouseMove(owner, 5, 5);
    platform::user::dispatchPending();
    EXPECT_EQ(platform::comctl::tooltipShownText(tip), "Hello");

    // The tool moves with its owner's new client area.
    tool.rect = {0, 0, 2, 2};
    SendMessageW(tip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    platform::user::mouseMove(owner, 5, 5);
    platform::user::dispatchPending();
    EXPECT_EQ(platform::comctl::tooltipShownText(tip), "");
}

WNDPROC savedProc = nullptr;
int outerCalls = 0;
LRESULT CALLBACK outerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    outerCalls++;
    return CallWindowProcW(savedProc, h, m, w, l);
}

TEST_F(Controls, TooltipSubclassStaysChainedUnderALaterSubclass) {
    HWND owner = makeTopLevel(u"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, 0, 0, 0, 0, owner, nullptr, nullptr,
                               nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = owner;
    GetClientRect(owner, &tool.rect);
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    savedProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(outerProc)));
    outerCalls = 0;
    seen().clear();
    SendMessageW(owner, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(outerCalls, 1);
    EXPECT_EQ(messagesOf(owner, {WM_MOUSEMOVE}).size(), 1u);
    EXPECT_TRUE(IsWindowVisible(tip));
}

} // namespace
