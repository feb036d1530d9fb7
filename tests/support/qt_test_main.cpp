// Runs a suite with the Qt drivers installed, which needs a display.
#include "platform/drivers/qt/qt_platform.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!platform::qt::install()) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    platform::qt::uninstall();
    return result;
}
