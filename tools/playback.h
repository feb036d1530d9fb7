// Playing a rendering on the default sound device through winmm's wave output, the
// service the player itself plays through (the system's own on Windows, ours elsewhere).
#pragma once

#include "platform/win32.h"
#include "tools/render_tool.h"

#include <cstdint>
#include <string>
#include <vector>

class WavePlayer final : public SoundOutput {
public:
    WavePlayer() = default;
    ~WavePlayer() override;
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    std::string open(int32_t rate) override;
    void start(std::vector<uint8_t> pcm) override;
    bool playing() const override;
    bool lost() const override;
    int64_t position() const override;
    void stop() override;

private:
    HWAVEOUT device_ = nullptr;
    int32_t rate_ = 0;
    WAVEHDR header_{};
    bool queued_ = false;
    std::vector<uint8_t> pcm_; // read by the device until it is done or stopped
};
