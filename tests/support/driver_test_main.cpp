// Runs a suite on the drivers it is linked with (a display, a sound server) started, as a
// program would.
#include "platform/drivers/driver_set.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (const std::string problem = platform::startDrivers(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    platform::stopDrivers(result);
    return result;
}
