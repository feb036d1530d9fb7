// The Qt audio driver against a real audio server: a block plays once and is reported when
// it has been heard, and a stop silences at once and reports nothing.
#include "platform/drivers/registry.h"
#include "tests/support/player_format.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

bool waitFor(const std::atomic<bool>& flag, milliseconds limit) {
    const auto end = steady_clock::now() + limit;
    while (!flag && steady_clock::now() < end)
        std::this_thread::sleep_for(5ms);
    return flag;
}

TEST(QtAudioDevice, ABlockIsReportedOnceAfterItsDuration) {
    auto device = platform::audioDriver().open(playerFormat());
    ASSERT_NE(device, nullptr) << "no output device on the test's audio server";
    const std::vector<uint8_t> block(11025 / 2, 60); // half a second
    std::atomic<int> reports{0};
    std::atomic<bool> done{false};
    const auto start = steady_clock::now();
    std::atomic<long long> after{0};
    device->play(block.data(), block.size(), [&] {
        after = duration_cast<milliseconds>(steady_clock::now() - start).count();
        reports++;
        done = true;
    });
    ASSERT_TRUE(waitFor(done, 3s));
    EXPECT_GE(after.load(), 500);
    EXPECT_LT(after.load(), 1500);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(reports.load(), 1);
}

TEST(QtAudioDevice, StopSilencesAtOnceAndReportsNothing) {
    auto device = platform::audioDriver().open(playerFormat());
    ASSERT_NE(device, nullptr);
    const std::vector<uint8_t> block(11025 * 5, 60);
    std::atomic<bool> done{false};
    device->play(block.data(), block.size(), [&] { done = true; });
    std::this_thread::sleep_for(300ms);
    const auto start = steady_clock::now();
    device->stop();
    EXPECT_LT(steady_clock::now() - start, 200ms);
    EXPECT_FALSE(waitFor(done, 500ms));

    // The device plays again after a stop.
    const std::vector<uint8_t> shorter(11025 / 10, 60);
    device->play(shorter.data(), shorter.size(), [&] { done = true; });
    EXPECT_TRUE(waitFor(done, 3s));
}

} // namespace
