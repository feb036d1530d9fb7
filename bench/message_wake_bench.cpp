// How soon a message posted from another thread ends the GUI thread's wait in GetMessageW
// on the desktop's display driver: the time from PostMessageW to GetMessageW's return. A
// wake that is lost shows as the wait's own slice of a second. It needs a display: `make
// bench` gives it a virtual one of its own.
#include "platform/drivers/driver_set.h"
#include "platform/win32.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

void postFromAnotherThreadEndsTheWait(benchmark::State& state) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"WakeProbe";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, u"WakeProbe", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    std::atomic<int> requested{0};
    std::atomic<bool> finished{false};
    std::atomic<Clock::rep> postedAt{0};
    std::thread poster([&] {
        int served = 0;
        while (!finished) {
            if (requested.load() == served) {
                std::this_thread::yield();
                continue;
            }
            served++;
            // Leaves the GUI thread the time to settle into its wait: the wake from a wait is
            // what is measured, not a message found at once.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            postedAt = Clock::now().time_since_epoch().count();
            PostMessageW(hwnd, WM_USER + 1, 0, 0);
        }
    });
    MSG msg;
    for (auto _ : state) {
        requested++;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_USER + 1)
            DispatchMessageW(&msg);
        const auto waited = Clock::now() - Clock::time_point(Clock::duration(postedAt.load()));
        state.SetIterationTime(std::chrono::duration<double>(waited).count());
    }
    finished = true;
    poster.join();
    DestroyWindow(hwnd);
}
BENCHMARK(postFromAnotherThreadEndsTheWait)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::string problem = platform::startDrivers();
    if (!problem.empty()) {
        std::fprintf(stderr, "message_wake_bench: %s\n", problem.c_str());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::stopDrivers(0);
    return 0;
}
