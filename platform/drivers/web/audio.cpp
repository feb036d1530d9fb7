// The wave output's device on Web Audio. The page plays each block as one buffer at the
// format's own rate (the browser resamples it to the output's) and queues an action when it
// has ended; the display driver hands that back here, on the program's only thread, where
// the device reports a block played as often as asked and starts its next play.
#include "platform/drivers/web/audio.h"

#include "platform/drivers/block_queue.h"
#include "platform/drivers/web/page.h"

#include <map>

namespace platform::web {

namespace {

class Device;

// The device of each play under way, by the token the page reports its end with.
std::map<int, Device*>& playing() {
    static auto* plays = new std::map<int, Device*>;
    return *plays;
}

int nextToken = 1;

class Device final : public AudioDevice {
public:
    explicit Device(const WAVEFORMATEX& format) : format_(format) {}
    ~Device() override { stop(); }

    void play(const uint8_t* data, size_t size, uint32_t times,
              std::function<void()> finished) override {
        if (blocks_.push(data, size, times, std::move(finished))) begin();
    }

    void stop() override {
        silence();
        blocks_.clear();
        played_ = 0;
    }

    uint64_t played() const override { return played_; }

    // The page has played the play of this token to its end.
    void ended() {
        playing().erase(token_);
        token_ = 0;
        played_ += blocks_.first().size;
        if (auto finished = blocks_.playedOnce()) finished();
        if (!blocks_.empty()) begin();
    }

private:
    void begin() {
        const BlockQueue::Block& block = blocks_.first();
        token_ = nextToken++;
        playing()[token_] = this;
        mt_audio_play(block.data, block.size, static_cast<int>(format_.nSamplesPerSec),
                      format_.nChannels, format_.wBitsPerSample, token_);
    }

    void silence() {
        if (token_ == 0) return;
        mt_audio_stop(token_);
        playing().erase(token_);
        token_ = 0;
    }

    WAVEFORMATEX format_;
    BlockQueue blocks_;
    int token_ = 0;       // of the play under way
    uint64_t played_ = 0; // of the plays heard to their end
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
    while (!playing().empty())
        playing().begin()->second->stop();
}

void audioEnded(int token) {
    auto it = playing().find(token);
    if (it == playing().end()) return; // stopped meanwhile
    it->second->ended();
}

} // namespace platform::web
