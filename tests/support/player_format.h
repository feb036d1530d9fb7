#pragma once
// The format the player plays in: 8-bit unsigned mono, 11025 samples a second.
#include "platform/win32.h"

inline WAVEFORMATEX playerFormat() {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 11025;
    f.nAvgBytesPerSec = 11025;
    f.nBlockAlign = 1;
    f.wBitsPerSample = 8;
    return f;
}
