// The desktop's audio driver against a real audio server: queued blocks play in turn and
// each is reported once it has been heard, a stop silences at once and reports nothing, and a
// server that goes away mid-play ends the block rather than leaving it playing for ever.
#include <pulse/simple.h>

#include "platform/drivers/driver.h"
#include "platform/win32.h"
#include "tests/support/player_format.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
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

// Listens to what the server's default output plays until a byte other than its silence
// (128) comes, or `limit` of sound has gone by.
bool heardSound(milliseconds limit);

// Generous: the waits below end with what they wait for, and only a hang takes this long.
constexpr auto kHang = 30s;

TEST(PulseAudioDevice, QueuedBlocksAreEachReportedOnceInTurnAfterTheirDuration) {
    auto device = platform::audioDriver().open(playerFormat());
    ASSERT_NE(device, nullptr) << "no output device on the test's audio server";
    const std::vector<uint8_t> block(11025 / 2, 60); // half a second
    std::mutex mutex;
    std::vector<std::pair<int, long long>> reports; // which block, when
    std::atomic<bool> done{false};
    const auto start = steady_clock::now();
    auto report = [&](int which) {
        std::lock_guard lock(mutex);
        reports.emplace_back(which,
                             duration_cast<milliseconds>(steady_clock::now() - start).count());
    };
    device->play(block.data(), block.size(), [&] { report(1); });
    // Played twice over, behind the first.
    device->play(block.data(), block.size() / 5, 2, [&] {
        report(2);
        done = true;
    });
    ASSERT_TRUE(waitFor(done, kHang));
    // A third block's report comes after any second report of the others.
    std::atomic<bool> thirdDone{false};
    device->play(block.data(), block.size() / 10, [&] { thirdDone = true; });
    ASSERT_TRUE(waitFor(thirdDone, kHang));
    std::lock_guard lock(mutex);
    ASSERT_EQ(reports.size(), 2u);
    // No sooner than the samples take to play, in whole milliseconds: half a second of 11025
    // samples is 5512 of them, 499.95 ms, which a report exactly on time shows as 499.
    const auto playedMs = [](size_t samples) {
        return static_cast<long long>(samples * 1000 / 11025);
    };
    EXPECT_EQ(reports[0].first, 1);
    EXPECT_GE(reports[0].second, playedMs(block.size()));
    EXPECT_EQ(reports[1].first, 2);
    EXPECT_GE(reports[1].second, playedMs(block.size() + 2 * (block.size() / 5)));
}

TEST(PulseAudioDevice, StopReportsNothingAndTheDevicePlaysAgain) {
    auto device = platform::audioDriver().open(playerFormat());
    ASSERT_NE(device, nullptr);
    const std::vector<uint8_t> block(11025 * 5, 60);
    std::atomic<bool> done{false};
    device->play(block.data(), block.size(), [&] { done = true; });
    ASSERT_TRUE(heardSound(3000ms)) << "the block never reached the server";
    device->stop();

    // The device plays again after a stop, and the stopped block's report would have come
    // before this one's.
    std::atomic<bool> shorterDone{false};
    const std::vector<uint8_t> shorter(11025 / 10, 60);
    device->play(shorter.data(), shorter.size(), [&] { shorterDone = true; });
    EXPECT_TRUE(waitFor(shorterDone, kHang));
    EXPECT_FALSE(done);
}

bool heardSound(milliseconds limit) {
    const pa_sample_spec sampleSpec{PA_SAMPLE_U8, 11025, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = 256;
    int error = 0;
    pa_simple* monitor = pa_simple_new(nullptr, "audio test", PA_STREAM_RECORD, "@DEFAULT_MONITOR@",
                                       "monitor", &sampleSpec, nullptr, &attr, &error);
    if (!monitor) return false;
    bool heard = false;
    uint8_t chunk[256];
    for (long long bytes = 0; !heard && bytes < limit.count() * 11025 / 1000;
         bytes += sizeof chunk) {
        if (pa_simple_read(monitor, chunk, sizeof chunk, &error) < 0) break;
        for (uint8_t b : chunk)
            heard = heard || b != 128;
    }
    pa_simple_free(monitor);
    return heard;
}

std::vector<MSG>& notices() {
    static std::vector<MSG> n;
    return n;
}

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_WOM_OPEN || message == MM_WOM_DONE || message == MM_WOM_CLOSE)
        notices().push_back(MSG{hwnd, message, wParam, lParam, 0, {}});
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Runs our message loop until a notice of this kind has come or the time is up.
const MSG* pumpUntilNotice(UINT message, milliseconds limit) {
    const auto end = steady_clock::now() + limit;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        for (const MSG& n : notices())
            if (n.message == message) return &n;
        if (steady_clock::now() > end) return nullptr;
        std::this_thread::sleep_for(5ms);
    }
}

// Last in this file: it ends the test's audio server.
TEST(ServerLost, AHeaderPlayingWhenTheServerDiesIsDone) {
    const char* runtime = std::getenv("PULSE_RUNTIME_PATH");
    ASSERT_NE(runtime, nullptr) << "run with a private audio server (with_audio_server.sh)";
    pid_t server = 0;
    std::ifstream(std::string(runtime) + "/pid") >> server;
    ASSERT_GT(server, 0);

    WNDCLASSW wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = u"AudioProbe";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND window = CreateWindowExW(0, u"AudioProbe", u"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(waveOutGetNumDevs(), 1u);
    const WAVEFORMATEX format = playerFormat();
    HWAVEOUT waveOut = nullptr;
    ASSERT_EQ(waveOutOpen(&waveOut, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window), 0,
                          CALLBACK_WINDOW),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    std::vector<uint8_t> bytes(11025 * 20, 60); // twenty seconds
    WAVEHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(bytes.data());
    header.dwBufferLength = static_cast<DWORD>(bytes.size());
    ASSERT_EQ(waveOutPrepareHeader(waveOut, &header, sizeof header),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    ASSERT_EQ(waveOutWrite(waveOut, &header, sizeof header),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    ASSERT_TRUE(heardSound(5s)) << "the header was not heard";
    ASSERT_EQ(pumpUntilNotice(MM_WOM_DONE, 0ms), nullptr) << "done before the server went";

    ASSERT_EQ(kill(server, SIGKILL), 0);
    const MSG* done = pumpUntilNotice(MM_WOM_DONE, kHang);
    ASSERT_NE(done, nullptr) << "the header hangs after its stream was lost";
    EXPECT_EQ(done->lParam, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(done->wParam, reinterpret_cast<WPARAM>(waveOut));
    EXPECT_TRUE(header.dwFlags & WHDR_DONE);
    EXPECT_FALSE(header.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveOutUnprepareHeader(waveOut, &header, sizeof header),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(waveOutClose(waveOut), static_cast<MMRESULT>(MMSYSERR_NOERROR));

    // With the server gone there is no device, as on a machine without one.
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    HWAVEOUT none = nullptr;
    EXPECT_NE(waveOutOpen(&none, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window), 0,
                          CALLBACK_WINDOW),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(none, nullptr);
    DestroyWindow(window);
}

} // namespace
