// The wave format our programs play in: unsigned 8-bit mono PCM at a given rate (the
// player's is sound/play_format.h's), as winmm's wave output takes it, on every platform.
#pragma once

#include "platform/win32.h"

inline WAVEFORMATEX monoPcm8Format(DWORD samplesPerSecond) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = samplesPerSecond;
    format.nAvgBytesPerSec = samplesPerSecond; // one byte a sample
    format.nBlockAlign = 1;
    format.wBitsPerSample = 8;
    format.cbSize = 0;
    return format;
}
