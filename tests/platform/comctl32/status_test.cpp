// The library's classes, and the status bar: its place on the parent and the text of its
// parts.
#include "tests/platform/comctl32/controls_fixture.h"

using namespace platform_test;

namespace {

// The classes come with initialising the library, not with linking it.
TEST_F(PlatformTest, TheControlClassesAreThereOnceTheLibraryIsInitialised) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    EXPECT_FALSE(GetClassInfoExW(nullptr, STATUSCLASSNAMEW, &wc));
    InitCommonControls();
    EXPECT_TRUE(GetClassInfoExW(nullptr, STATUSCLASSNAMEW, &wc));
}

TEST_F(Controls, StatusBarKeepsTheTextOfEachPart) {
    HWND frame = makeTopLevel();
    HWND bar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, u"first", frame, 1);
    EXPECT_EQ(platform::comctl::statusText(bar, 0), "first");
    EXPECT_TRUE(SendMessageW(bar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(u"simple")));
    EXPECT_EQ(platform::comctl::statusText(frame), "simple");
    EXPECT_EQ(LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, SB_SIMPLEID, 0)), 6);
    EXPECT_FALSE(SendMessageW(bar, SB_SETTEXTW, 5, reinterpret_cast<LPARAM>(u"no such part")));
    int rights[] = {100, -1};
    EXPECT_TRUE(SendMessageW(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(rights)));
    EXPECT_TRUE(SendMessageW(bar, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(u"second")));
    EXPECT_EQ(platform::comctl::statusText(bar, 1), "second");
    EXPECT_FALSE(SendMessageW(bar, SB_ISSIMPLE, 0, 0));
    SendMessageW(bar, SB_SIMPLE, TRUE, 0);
    EXPECT_TRUE(SendMessageW(bar, SB_ISSIMPLE, 0, 0));
}

} // namespace
