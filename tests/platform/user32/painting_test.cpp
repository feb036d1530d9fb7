// Painting: invalid windows and WM_PAINT from the queue.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

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
