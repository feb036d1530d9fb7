// Window classes: registration, lookup and unregistering.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

using Classes = PlatformTest;

TEST_F(Classes, AWrongRecordSizeOrNoNameIsRefused) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc - 4;
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"Sized";
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    wc.cbSize = sizeof wc;
    wc.lpszClassName = u"";
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(RegisterClassExW(nullptr), 0);
}

TEST_F(Classes, AnUnknownClassMakesNoWindow) {
    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(Classes, AClassWithWindowsCannotBeUnregistered) {
    HWND w = makeTopLevel();
    EXPECT_FALSE(UnregisterClassW(kRecorderClass, nullptr));
    DestroyWindow(w);
    EXPECT_TRUE(UnregisterClassW(kRecorderClass, nullptr));
    EXPECT_EQ(makeTopLevel(), nullptr);
}

} // namespace
