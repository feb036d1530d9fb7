// The headless display: windows live only in memory, and the driver keeps a record of what
// it was told, in order, for the tests to read.
#include "platform/drivers/headless/headless_drivers.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace platform::headless {

namespace {

// Keep the record bounded however long a test runs.
constexpr size_t kMaxEvents = 100000;

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
    void log(const char* what, HWND h) {
        char line[64];
        std::snprintf(line, sizeof line, "%s %#llx", what,
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
        DisplayRecord& record = displayRecord();
        std::lock_guard lock(record.mutex);
        if (record.events.size() >= kMaxEvents)
            record.events.erase(record.events.begin(), record.events.begin() + kMaxEvents / 2);
        record.events.emplace_back(line);
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

DisplayRecord& displayRecord() {
    static auto* record = new DisplayRecord;
    return *record;
}

} // namespace platform::headless
