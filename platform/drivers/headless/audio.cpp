// The headless audio driver.
//
// A headless device plays on the virtual clock of advanceAudio: the bytes due are appended
// to one capture shared by all devices, and the end of a block is reported from the thread
// that advanced the clock, after the driver's own lock has been released, so the wave
// output may take its locks and post its messages there. A play that ends takes the rest
// of that advance with it: the next one (a repeat, or the next block) starts with the next
// advance, so a test sees each block end on its own.
#include "platform/drivers/block_queue.h"
#include "platform/drivers/headless/headless_drivers.h"
#include "platform/testing/testing.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace platform {

namespace {

class HeadlessDevice;

struct HeadlessAudio {
    std::mutex mutex;
    std::condition_variable callbackDone;
    bool available = true;
    std::vector<uint8_t> captured;
    std::vector<HeadlessDevice*> devices;
    // Devices whose end of block is being reported, and the thread reporting it.
    std::vector<std::pair<const HeadlessDevice*, std::thread::id>> reporting;
    WAVEFORMATEX lastFormat{};
};

HeadlessAudio& headlessAudio() {
    // Never destroyed: a device may still be open when the process ends.
    static HeadlessAudio* audio = new HeadlessAudio;
    return *audio;
}

// Runs f on the audio state under its lock and returns what f returns.
template <typename F> auto withAudio(F f) {
    auto& a = headlessAudio();
    std::lock_guard lock(a.mutex);
    return f(a);
}

class HeadlessDevice final : public AudioDevice {
public:
    explicit HeadlessDevice(const WAVEFORMATEX& format) : format_(format) {
        auto& a = headlessAudio();
        std::lock_guard lock(a.mutex);
        a.devices.push_back(this);
    }

    ~HeadlessDevice() override {
        auto& a = headlessAudio();
        std::unique_lock lock(a.mutex);
        waitForCallback(lock);
        a.devices.erase(std::find(a.devices.begin(), a.devices.end(), this));
    }

    void play(const uint8_t* data, size_t size, uint32_t times,
              std::function<void()> finished) override {
        auto& a = headlessAudio();
        std::lock_guard lock(a.mutex);
        if (blocks_.push(data, size, times, std::move(finished))) {
            position_ = 0;
            carry_ = 0;
        }
    }

    void stop() override {
        auto& a = headlessAudio();
        std::unique_lock lock(a.mutex);
        blocks_.clear();
        // A report already on its way must be over before the caller may reuse the bytes.
        waitForCallback(lock);
    }

    // Plays what is due in `time`; returns the report to make when the block has ended.
    // Called with the driver's lock held.
    std::function<void()> advance(std::chrono::milliseconds time, std::vector<uint8_t>& out) {
        if (blocks_.empty()) return nullptr;
        const BlockQueue::Block& block = blocks_.first();
        // Whole bytes due, with the remainder kept in thousandths of a byte.
        uint64_t due = static_cast<uint64_t>(time.count()) * format_.nAvgBytesPerSec + carry_;
        uint64_t bytes = due / 1000;
        carry_ = due % 1000;
        size_t n = static_cast<size_t>(std::min<uint64_t>(bytes, block.size - position_));
        out.insert(out.end(), block.data + position_, block.data + position_ + n);
        position_ += n;
        if (position_ < block.size) return nullptr;
        position_ = 0;
        carry_ = 0;
        auto report = blocks_.playedOnce();
        if (report) headlessAudio().reporting.emplace_back(this, std::this_thread::get_id());
        return report;
    }

    bool playing() const { return !blocks_.empty(); }
    // Of the play under way.
    size_t remaining() const { return blocks_.empty() ? 0 : blocks_.first().size - position_; }

private:
    void waitForCallback(std::unique_lock<std::mutex>& lock) {
        // The reporting thread must not wait for itself.
        auto& a = headlessAudio();
        a.callbackDone.wait(lock, [this, &a] {
            return std::none_of(a.reporting.begin(), a.reporting.end(), [this](const auto& r) {
                return r.first == this && r.second != std::this_thread::get_id();
            });
        });
    }

    WAVEFORMATEX format_;
    BlockQueue blocks_;
    size_t position_ = 0; // in the first block's play under way
    uint64_t carry_ = 0;
};

class HeadlessAudioDriver final : public AudioDriver {
public:
    const char* name() const override { return "headless"; }
    unsigned deviceCount() const override { return headless::audioDeviceAvailable() ? 1 : 0; }
    std::unique_ptr<AudioDevice> open(const WAVEFORMATEX& format) override {
        auto& a = headlessAudio();
        {
            std::lock_guard lock(a.mutex);
            if (!a.available) return nullptr;
            a.lastFormat = format;
        }
        return std::make_unique<HeadlessDevice>(format);
    }
};

} // namespace

namespace headless {

AudioDriver& audioDriver() {
    static HeadlessAudioDriver* driver = new HeadlessAudioDriver;
    return *driver;
}

void setAudioDeviceAvailable(bool available) {
    withAudio([&](HeadlessAudio& a) { a.available = available; });
}

bool audioDeviceAvailable() {
    return withAudio([](HeadlessAudio& a) { return a.available; });
}

void advanceAudio(std::chrono::milliseconds time) {
    if (time.count() <= 0) return;
    auto& a = headlessAudio();
    std::vector<std::pair<HeadlessDevice*, std::function<void()>>> reports;
    {
        std::lock_guard lock(a.mutex);
        for (HeadlessDevice* d : a.devices)
            if (auto report = d->advance(time, a.captured)) reports.emplace_back(d, report);
    }
    // Until its report is over, a device waits in stop() and in its destructor, unless it
    // is stopped or destroyed from the report itself; the pointer is only compared here.
    for (auto& [device, report] : reports) {
        report();
        std::lock_guard lock(a.mutex);
        auto it = std::find_if(a.reporting.begin(), a.reporting.end(),
                               [device = device](const auto& r) { return r.first == device; });
        if (it != a.reporting.end()) a.reporting.erase(it);
        a.callbackDone.notify_all();
    }
}

std::vector<uint8_t> capturedAudio() {
    return withAudio([](HeadlessAudio& a) { return a.captured; });
}

void clearCapturedAudio() {
    withAudio([](HeadlessAudio& a) { std::vector<uint8_t>().swap(a.captured); });
}

bool audioPlaying() {
    return withAudio([](HeadlessAudio& a) {
        return std::any_of(a.devices.begin(), a.devices.end(),
                           [](HeadlessDevice* d) { return d->playing(); });
    });
}

size_t audioBytesRemaining() {
    return withAudio([](HeadlessAudio& a) {
        size_t n = 0;
        for (HeadlessDevice* d : a.devices)
            n += d->remaining();
        return n;
    });
}

size_t openAudioDevices() {
    return withAudio([](HeadlessAudio& a) { return a.devices.size(); });
}

WAVEFORMATEX lastAudioFormat() {
    return withAudio([](HeadlessAudio& a) { return a.lastFormat; });
}

} // namespace headless
} // namespace platform
