// The common controls' suites start with the controls initialised.
#pragma once

#include "tests/platform/platform_fixture.h"

namespace platform_test {

class Controls : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
    }
};

} // namespace platform_test
