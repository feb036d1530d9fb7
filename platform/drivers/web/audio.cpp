// The wave output's device on Web Audio. The page plays each block as one buffer at the
// format's own rate (the browser resamples it to the output's) and queues an action when it
// has ended; the display driver hands that back here, on the program's only thread.
#include "platform/drivers/web/audio.h"

#include "platform/drivers/web/page.h"

#include <map>

namespace platform::web {

namespace {

// The `finished` of each block playing, by token.
std::map<int, std::function<void()>>& playing() {
    static auto* blocks = new std::map<int, std::function<void()>>;
    return *blocks;
}

int nextToken = 1;

class Device final : public AudioDevice {
public:
    explicit Device(const WAVEFORMATEX& format) : format_(format) {}
    ~Device() override { stop(); }

    void play(const uint8_t* data, size_t size, std::function<void()> finished) override {
        stop();
        token_ = nextToken++;
        playing()[token_] = std::move(finished);
        mt_audio_play(data, size, static_cast<int>(format_.nSamplesPerSec), format_.nChannels,
                      format_.wBitsPerSample, token_);
    }

    void stop() override {
        if (token_ == 0) return;
        mt_audio_stop(token_);
        playing().erase(token_);
        token_ = 0;
    }

private:
    WAVEFORMATEX format_;
    int token_ = 0;
};

} // namespace

std::unique_ptr<AudioDevice> Audio::open(const WAVEFORMATEX& format) {
    if (format.wFormatTag != WAVE_FORMAT_PCM) return nullptr;
    if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return nullptr;
    if (format.nChannels < 1 || format.nChannels > 2) return nullptr;
    // What an AudioBuffer can hold.
    if (format.nSamplesPerSec < 3000 || format.nSamplesPerSec > 768000) return nullptr;
    return std::make_unique<Device>(format);
}

void Audio::stopAll() {
    for (auto& [token, finished] : playing())
        mt_audio_stop(token);
    playing().clear();
}

void audioEnded(int token) {
    auto it = playing().find(token);
    if (it == playing().end()) return; // stopped meanwhile
    auto finished = std::move(it->second);
    playing().erase(it);
    finished();
}

} // namespace platform::web
