// The headless audio driver: nothing is heard, every byte a device plays is kept, and time
// passes only when a test says so. A block of 60 seconds thus plays in a few milliseconds
// of a test, and its end (MM_WOM_DONE) comes exactly when the virtual clock reaches it.
#pragma once

#ifndef _WIN32

#include "win32.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::headless {

// Whether the machine has an output device. Without one, opening fails (the driver returns
// no device) and waveOutGetNumDevs reports 0. Devices already open stay open.
void setAudioDeviceAvailable(bool available);
bool audioDeviceAvailable();

// Advances the virtual clock: every playing device plays the bytes due in that time at its
// format's nAvgBytesPerSec (fractions of a byte carry over to the next advance). A device
// that reaches the end of its block reports it on the calling thread before this returns.
void advanceAudio(std::chrono::milliseconds time);

// Every byte played so far, by all devices, in the order the clock played them.
std::vector<uint8_t> capturedAudio();
void clearCapturedAudio();

// Whether some device is in the middle of a block.
bool audioPlaying();
// Bytes of the current block not yet played, summed over the playing devices.
size_t audioBytesRemaining();
// Devices currently open.
size_t openAudioDevices();
// The format of the device opened last (zeros before the first open).
WAVEFORMATEX lastAudioFormat();

// Starts afresh: closes every wave output handle without notifications (and without
// touching the headers still queued, which may be gone), forgets the captured bytes and
// makes a device available again.
void resetAudio();

} // namespace platform::headless

#endif // _WIN32
