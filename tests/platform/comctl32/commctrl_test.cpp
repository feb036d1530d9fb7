// The library: initialising the common controls.
#include "tests/platform/comctl32/controls_fixture.h"

using namespace platform_test;

namespace {

TEST_F(Controls, InitialisationChecksTheRecordSize) {
    INITCOMMONCONTROLSEX bad{4, ICC_BAR_CLASSES};
    EXPECT_FALSE(InitCommonControlsEx(&bad));
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    EXPECT_TRUE(GetClassInfoExW(nullptr, u"ReBarWindow32", &wc));
    EXPECT_TRUE(GetClassInfoExW(nullptr, u"tooltips_class32", &wc));
}

} // namespace
