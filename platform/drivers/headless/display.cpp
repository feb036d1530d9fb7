// The headless display: windows live only in memory; what the driver is told goes to the
// watcher of a test, if there is one.
#include "platform/drivers/headless/headless_drivers.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace platform::headless {

namespace {

std::atomic<Watcher*> installed{nullptr};

class HeadlessDisplay : public DisplayDriver {
public:
    const char* name() const override { return "headless"; }

    void windowCreated(HWND h) override { log("created", h); }
    void windowDestroyed(HWND h) override { log("destroyed", h); }
    void windowMoved(HWND h) override { log("moved", h); }
    void windowShown(HWND h, bool visible) override { log(visible ? "shown" : "hidden", h); }
    void windowTextChanged(HWND h) override { log("text", h); }
    void menuChanged(HWND h) override { log("menu", h); }
    void menuModeChanged(HWND h) override { log("menu mode", h); }
    void windowInvalidated(HWND) override {} // too frequent to be worth recording

    void waitForEvents(std::chrono::milliseconds timeout) override {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, timeout, [this] { return woken_; });
        woken_ = false;
    }

    void wake() override {
        {
            std::lock_guard lock(mutex_);
            woken_ = true;
        }
        cv_.notify_all();
    }

private:
    static void log(const char* what, HWND h) {
        if (Watcher* w = watcher()) w->told(what, h);
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    bool woken_ = false;
};

HeadlessDisplay& driverInstance() {
    static HeadlessDisplay d;
    return d;
}

} // namespace

DisplayDriver& displayDriver() {
    return driverInstance();
}

void watch(Watcher* w) {
    installed.store(w);
}

Watcher* watcher() {
    return installed.load();
}

} // namespace platform::headless
