// The headless drivers, for the registry that falls back on them, and their state, for the
// testing library that drives and reads it (platform/testing/headless_controls.cpp); not
// for the window system. As a program's fallback they keep nothing of what they are told:
// whatever a test reads back, the testing library records through a watcher.
#pragma once

#include "platform/drivers/block_queue.h"
#include "platform/drivers/driver.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace platform::headless {

DisplayDriver& displayDriver();
AudioDriver& audioDriver();
FileChooser& fileChooser();

// What a test watches of the drivers. A program installs none: the display then forgets
// what it is told and the open dialog cancels, as nobody is there to pick a file.
class Watcher {
public:
    virtual ~Watcher() = default;
    // The display was told `what` ("created", "shown", ...) of the window.
    virtual void told(const char* what, HWND hwnd) = 0;
    // The open dialog's answer; none, or an empty path, cancels.
    virtual std::optional<std::string> answer(const OpenFileRequest& request) = 0;
    // A device was opened in `format`.
    virtual void opened(const WAVEFORMATEX& format) = 0;
};
// Installed once, before the drivers start, and never removed.
void watch(Watcher* watcher);
Watcher* watcher();

class HeadlessDevice;

// The audio devices and what they played, on a virtual clock the tests advance.
struct AudioState {
    std::mutex mutex;
    std::condition_variable callbackDone;
    bool available = true;
    std::vector<HeadlessDevice*> devices;
    // Devices whose end of block is being reported, and the thread reporting it.
    std::vector<std::pair<const HeadlessDevice*, std::thread::id>> reporting;
};
AudioState& audioState();

class HeadlessDevice final : public AudioDevice {
public:
    explicit HeadlessDevice(const WAVEFORMATEX& format);
    ~HeadlessDevice() override;
    void play(const uint8_t* data, size_t size, uint32_t times,
              std::function<void()> finished) override;
    void stop() override;
    uint64_t played() const override;

    // With the audio state's lock held. The output is gone, as when a sound server ends:
    // every block ends unheard, now and from now on; returns their reports.
    std::deque<std::function<void()>> lose();

    // With the audio state's lock held. Plays what is due in `time` into `out`; returns the
    // report to make, after the lock is released and with the device in `reporting`, when a
    // block has ended.
    std::function<void()> advance(std::chrono::milliseconds time, std::vector<uint8_t>& out);
    bool playing() const { return !blocks_.empty(); }
    // Of the play under way.
    size_t remaining() const { return blocks_.empty() ? 0 : blocks_.first().size - position_; }

private:
    void waitForCallback(std::unique_lock<std::mutex>& lock);

    WAVEFORMATEX format_;
    BlockQueue blocks_;
    size_t position_ = 0; // in the first block's play under way
    uint64_t carry_ = 0;
    uint64_t played_ = 0;
    bool lost_ = false;
};

} // namespace platform::headless
