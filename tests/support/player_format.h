#pragma once
// The format the player plays in: 8-bit unsigned mono, 11025 samples a second.
#include "platform/win32.h"
#include "sound/play_format.h"

inline WAVEFORMATEX playerFormat() {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = play_format::sampleRate;
    f.nAvgBytesPerSec = play_format::sampleRate;
    f.nBlockAlign = 1;
    f.wBitsPerSample = 8;
    return f;
}
