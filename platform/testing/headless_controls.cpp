// The headless drivers' controls: the display's record, the open dialog's script, and the
// sound's virtual clock and capture.
#include "platform/drivers/headless/headless_drivers.h"
#include "platform/testing/testing.h"

#include <algorithm>

namespace platform::headless {

namespace {

// Runs f on the state under its lock and returns what f returns.
template <typename State, typename F> auto with(State& state, F f) {
    std::lock_guard lock(state.mutex);
    return f(state);
}

} // namespace

std::vector<std::string> events() {
    return with(displayRecord(), [](DisplayRecord& r) { return r.events; });
}

void clearEvents() {
    with(displayRecord(), [](DisplayRecord& r) { r.events.clear(); });
}

void scriptOpenFileName(const std::string& path) {
    with(chooserScript(), [&](ChooserScript& s) { s.answers.push_back(path); });
}

std::vector<std::string> lastOpenFileFilters() {
    return with(chooserScript(), [](ChooserScript& s) {
        std::vector<std::string> out;
        if (!s.lastRequest) return out;
        for (const auto& [text, patterns] : s.lastRequest->filters) {
            out.push_back(text);
            out.push_back(patterns);
        }
        return out;
    });
}

std::optional<OpenFileRequest> lastOpenFileRequest() {
    return with(chooserScript(), [](ChooserScript& s) { return s.lastRequest; });
}

size_t scriptedOpenFileNames() {
    return with(chooserScript(), [](ChooserScript& s) { return s.answers.size(); });
}

void setAudioDeviceAvailable(bool available) {
    with(audioState(), [&](AudioState& a) { a.available = available; });
}

bool audioDeviceAvailable() {
    return with(audioState(), [](AudioState& a) { return a.available; });
}

namespace {

// The devices' ends of block, gathered under the audio state's lock and reported after it
// is released, as a device of the desktop does. Until its report is over, a device waits in
// stop() and in its destructor, unless it is stopped or destroyed from the report itself;
// the pointer is only compared here.
class Reports {
public:
    // With the audio state's lock held.
    void add(HeadlessDevice* device, std::function<void()> report) {
        audioState().reporting.emplace_back(device, std::this_thread::get_id());
        reports_.emplace_back(device, std::move(report));
    }

    // Without the lock.
    void make() {
        auto& a = audioState();
        for (auto& [device, report] : reports_) {
            report();
            std::lock_guard lock(a.mutex);
            auto it = std::find_if(a.reporting.begin(), a.reporting.end(),
                                   [device = device](const auto& r) { return r.first == device; });
            if (it != a.reporting.end()) a.reporting.erase(it);
            a.callbackDone.notify_all();
        }
    }

private:
    std::vector<std::pair<HeadlessDevice*, std::function<void()>>> reports_;
};

} // namespace

void advanceAudio(std::chrono::milliseconds time) {
    if (time.count() <= 0) return;
    auto& a = audioState();
    Reports reports;
    {
        std::lock_guard lock(a.mutex);
        for (HeadlessDevice* d : a.devices)
            if (auto report = d->advance(time, a.captured)) reports.add(d, std::move(report));
    }
    reports.make();
}

void loseAudioOutput() {
    auto& a = audioState();
    Reports reports;
    {
        std::lock_guard lock(a.mutex);
        a.available = false;
        for (HeadlessDevice* d : a.devices)
            for (auto& report : d->lose())
                reports.add(d, std::move(report));
    }
    reports.make();
}

std::vector<uint8_t> capturedAudio() {
    return with(audioState(), [](AudioState& a) { return a.captured; });
}

void clearCapturedAudio() {
    with(audioState(), [](AudioState& a) { std::vector<uint8_t>().swap(a.captured); });
}

bool audioPlaying() {
    return with(audioState(), [](AudioState& a) {
        return std::any_of(a.devices.begin(), a.devices.end(),
                           [](HeadlessDevice* d) { return d->playing(); });
    });
}

size_t audioBytesRemaining() {
    return with(audioState(), [](AudioState& a) {
        size_t n = 0;
        for (HeadlessDevice* d : a.devices)
            n += d->remaining();
        return n;
    });
}

size_t openAudioDevices() {
    return with(audioState(), [](AudioState& a) { return a.devices.size(); });
}

WAVEFORMATEX lastAudioFormat() {
    return with(audioState(), [](AudioState& a) { return a.lastFormat; });
}

} // namespace platform::headless
