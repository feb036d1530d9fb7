// Playing a rendering on the default sound device through winmm's wave output, the
// service the player itself plays through (the system's own on Windows, ours elsewhere).
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <string>
#include <vector>

class WavePlayer {
public:
    WavePlayer() = default;
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    // Opens the default device for 8-bit mono at `rate`; empty on success, else why not.
    std::string open(int32_t rate);
    // Stops what plays and plays `pcm` from its start.
    void start(std::vector<uint8_t> pcm);
    // Whether the device is still playing the last start.
    bool playing() const;
    // Silence at once.
    void stop();

private:
    HWAVEOUT device_ = nullptr;
    WAVEHDR header_{};
    bool queued_ = false;
    std::vector<uint8_t> pcm_; // read by the device until it is done or stopped
};
