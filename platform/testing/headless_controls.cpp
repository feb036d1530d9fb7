// The headless drivers' controls: the display's record, the open dialog's script, and the
// sound's virtual clock and capture. The drivers keep none of it themselves; a test's
// process watches them from its start.
#include "platform/drivers/headless/headless_drivers.h"
#include "platform/testing/testing.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>

namespace platform::headless {

namespace {

// Keep the record bounded however long a test runs.
constexpr size_t kMaxEvents = 100000;

// What the display was told, in order; the open dialog's answers, one per dialog, and what
// it was asked last; the format of the device opened last; and, under the audio state's
// lock, every byte played.
class Recorder final : public Watcher {
public:
    void told(const char* what, HWND h) override {
        char line[64];
        std::snprintf(line, sizeof line, "%s %#llx", what,
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
        std::lock_guard lock(mutex);
        if (events.size() >= kMaxEvents)
            events.erase(events.begin(), events.begin() + kMaxEvents / 2);
        events.emplace_back(line);
    }

    std::optional<std::string> answer(const OpenFileRequest& request) override {
        std::lock_guard lock(mutex);
        lastRequest = request;
        if (answers.empty()) return std::nullopt;
        std::string next = std::move(answers.front());
        answers.pop_front();
        return next;
    }

    void opened(const WAVEFORMATEX& format) override {
        std::lock_guard lock(mutex);
        lastFormat = format;
    }

    std::mutex mutex;
    std::vector<std::string> events;
    std::deque<std::string> answers;
    std::optional<OpenFileRequest> lastRequest;
    WAVEFORMATEX lastFormat{};
    std::vector<uint8_t> captured; // under the audio state's lock
};

// Never destroyed: a driver may still be told something while the process ends.
Recorder& recorder() {
    static Recorder* r = new Recorder;
    return *r;
}

// From the process's start, before any driver is used.
[[maybe_unused]] const bool watching = (watch(&recorder()), true);

// Runs f on the state under its lock and returns what f returns.
template <typename State, typename F> auto with(State& state, F f) {
    std::lock_guard lock(state.mutex);
    return f(state);
}

} // namespace

std::vector<std::string> events() {
    return with(recorder(), [](Recorder& r) { return r.events; });
}

void clearEvents() {
    with(recorder(), [](Recorder& r) { r.events.clear(); });
}

void scriptOpenFileName(const std::string& path) {
    with(recorder(), [&](Recorder& s) { s.answers.push_back(path); });
}

std::vector<std::string> lastOpenFileFilters() {
    return with(recorder(), [](Recorder& s) {
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
    return with(recorder(), [](Recorder& s) { return s.lastRequest; });
}

size_t scriptedOpenFileNames() {
    return with(recorder(), [](Recorder& s) { return s.answers.size(); });
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
            if (auto report = d->advance(time, recorder().captured))
                reports.add(d, std::move(report));
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
    return with(audioState(), [](AudioState&) { return recorder().captured; });
}

void clearCapturedAudio() {
    with(audioState(), [](AudioState&) { std::vector<uint8_t>().swap(recorder().captured); });
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
    return with(recorder(), [](Recorder& r) { return r.lastFormat; });
}

} // namespace platform::headless
