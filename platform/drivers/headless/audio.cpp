// The headless audio driver.
//
// A headless device plays on the virtual clock the tests advance: the bytes due go to the
// capture of whoever advances it, and the end of a block is reported from
// the thread that advanced the clock, after the driver's own lock has been released, so the
// wave output may take its locks and post its messages there. A play that ends takes the
// rest of that advance with it: the next one (a repeat, or the next block) starts with the
// next advance, so a test sees each block end on its own.
#include "platform/drivers/headless/headless_drivers.h"

#include <algorithm>

namespace platform::headless {

AudioState& audioState() {
    // Never destroyed: a device may still be open when the process ends.
    static AudioState* audio = new AudioState;
    return *audio;
}

HeadlessDevice::HeadlessDevice(const WAVEFORMATEX& format) : format_(format) {
    auto& a = audioState();
    std::lock_guard lock(a.mutex);
    a.devices.push_back(this);
}

HeadlessDevice::~HeadlessDevice() {
    auto& a = audioState();
    std::unique_lock lock(a.mutex);
    waitForCallback(lock);
    a.devices.erase(std::find(a.devices.begin(), a.devices.end(), this));
}

void HeadlessDevice::play(const uint8_t* data, size_t size, uint32_t times,
                          std::function<void()> finished) {
    auto& a = audioState();
    std::function<void()> unheard;
    {
        std::lock_guard lock(a.mutex);
        if (lost_) {
            unheard = std::move(finished);
        } else if (blocks_.push(data, size, times, std::move(finished))) {
            position_ = 0;
            carry_ = 0;
        }
    }
    // Nothing can be heard: the block is over at once.
    if (unheard) unheard();
}

void HeadlessDevice::stop() {
    auto& a = audioState();
    std::unique_lock lock(a.mutex);
    blocks_.clear();
    played_ = 0;
    // A report already on its way must be over before the caller may reuse the bytes.
    waitForCallback(lock);
}

std::function<void()> HeadlessDevice::advance(std::chrono::milliseconds time,
                                              std::vector<uint8_t>& out) {
    if (blocks_.empty()) return nullptr;
    const BlockQueue::Block& block = blocks_.first();
    // Whole bytes due, with the remainder kept in thousandths of a byte.
    uint64_t due = static_cast<uint64_t>(time.count()) * format_.nAvgBytesPerSec + carry_;
    uint64_t bytes = due / 1000;
    carry_ = due % 1000;
    size_t n = static_cast<size_t>(std::min<uint64_t>(bytes, block.size - position_));
    out.insert(out.end(), block.data + position_, block.data + position_ + n);
    position_ += n;
    played_ += n;
    if (position_ < block.size) return nullptr;
    position_ = 0;
    carry_ = 0;
    return blocks_.playedOnce();
}

uint64_t HeadlessDevice::played() const {
    std::lock_guard lock(audioState().mutex);
    return played_;
}

std::deque<std::function<void()>> HeadlessDevice::lose() {
    lost_ = true;
    position_ = 0;
    carry_ = 0;
    return blocks_.takeAll();
}

void HeadlessDevice::waitForCallback(std::unique_lock<std::mutex>& lock) {
    // The reporting thread must not wait for itself.
    auto& a = audioState();
    a.callbackDone.wait(lock, [this, &a] {
        return std::none_of(a.reporting.begin(), a.reporting.end(), [this](const auto& r) {
            return r.first == this && r.second != std::this_thread::get_id();
        });
    });
}

namespace {

class HeadlessAudioDriver final : public AudioDriver {
public:
    const char* name() const override { return "headless"; }
    unsigned deviceCount() const override {
        auto& a = audioState();
        std::lock_guard lock(a.mutex);
        return a.available ? 1 : 0;
    }
    std::unique_ptr<AudioDevice> open(const WAVEFORMATEX& format) override {
        auto& a = audioState();
        {
            std::lock_guard lock(a.mutex);
            if (!a.available) return nullptr;
        }
        if (Watcher* w = watcher()) w->opened(format);
        return std::make_unique<HeadlessDevice>(format);
    }
};

} // namespace

AudioDriver& audioDriver() {
    static HeadlessAudioDriver* driver = new HeadlessAudioDriver;
    return *driver;
}

} // namespace platform::headless
