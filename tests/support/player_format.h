#pragma once
// The format the player plays in: 8-bit unsigned mono, 11025 samples a second.
#include "platform/pcm_format.h"
#include "sound/play_format.h"

inline WAVEFORMATEX playerFormat() {
    return monoPcm8Format(play_format::sampleRate);
}
