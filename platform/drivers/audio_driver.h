// The seam between winmm's wave output and whatever makes the sound.
//
// The wave output (waveOutOpen and friends) keeps handles, headers, flags and the
// notifications to the window; an audio driver only opens a device for a format and plays
// one block of bytes at a time on a thread of its own.
#pragma once

#ifndef _WIN32

#include "platform/win32.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Starts playing `size` bytes at `data` once, from the first byte to the last. The
    // bytes stay valid and unchanged until `finished` has been called or stop() has
    // returned. `finished` is called exactly once, on any thread, when the last byte has
    // been played, unless stop() came first; it must not call back into the device.
    virtual void play(const uint8_t* data, size_t size, std::function<void()> finished) = 0;
    // Stops at once. When it returns, the device no longer reads the bytes and `finished`
    // of the block being played will not be called.
    virtual void stop() = 0;
};

class AudioDriver {
public:
    virtual ~AudioDriver() = default;
    virtual const char* name() const = 0;
    // How many output devices there are, for waveOutGetNumDevs; the wave output uses only
    // the default one.
    virtual unsigned deviceCount() const { return 1; }
    // Opens the default output device for the format, or returns null when there is no
    // device or it cannot play the format.
    virtual std::unique_ptr<AudioDevice> open(const WAVEFORMATEX& format) = 0;
};

} // namespace platform

#endif // _WIN32
