#include "tools/playback.h"

#include "platform/pcm_format.h"

#include <algorithm>
#include <atomic>

WavePlayer::~WavePlayer() {
    stop();
    if (device_) waveOutClose(device_);
}

std::string WavePlayer::open(int32_t rate) {
    rate_ = rate;
    const WAVEFORMATEX format = monoPcm8Format(static_cast<DWORD>(rate));
    // No notifications: the header's done flag is looked at instead, so that no window
    // and no callback thread are needed.
    const MMRESULT result = waveOutOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (result == MMSYSERR_NOERROR) return "";
    device_ = nullptr;
    if (result == MMSYSERR_BADDEVICEID || result == MMSYSERR_NODRIVER)
        return "cannot play: there is no sound device";
    if (result == WAVERR_BADFORMAT)
        return "cannot play: the sound device cannot play " + std::to_string(rate) +
               " samples per second";
    return "cannot play: the sound device cannot be opened (error " + std::to_string(result) + ")";
}

void WavePlayer::start(std::vector<uint8_t> pcm) {
    const bool reopen = lost();
    stop();
    if (reopen) {
        // A device whose output went away plays no more; one opened now finds the output
        // as it is, a sound server that is back included.
        waveOutClose(device_);
        device_ = nullptr;
        open(rate_);
    }
    // Only now, with the device no longer reading the old bytes, may they go.
    pcm_ = std::move(pcm);
    header_ = WAVEHDR{};
    header_.lpData = reinterpret_cast<LPSTR>(pcm_.data());
    header_.dwBufferLength = static_cast<DWORD>(pcm_.size());
    if (!device_ || waveOutPrepareHeader(device_, &header_, sizeof header_) != MMSYSERR_NOERROR)
        return;
    if (waveOutWrite(device_, &header_, sizeof header_) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(device_, &header_, sizeof header_);
        return;
    }
    queued_ = true;
}

bool WavePlayer::playing() const {
    if (!queued_) return false;
    // The device sets the flag from a thread of its own.
    std::atomic_thread_fence(std::memory_order_acquire);
    return (static_cast<const volatile DWORD&>(header_.dwFlags) & WHDR_DONE) == 0;
}

bool WavePlayer::lost() const {
    if (!queued_ || playing()) return false;
    // Done, but the device did not play every byte.
    MMTIME position{};
    position.wType = TIME_BYTES;
    if (waveOutGetPosition(device_, &position, sizeof position) != MMSYSERR_NOERROR) return false;
    return position.wType == TIME_BYTES && position.u.cb < pcm_.size();
}

int64_t WavePlayer::position() const {
    if (!queued_) return 0;
    MMTIME position{};
    position.wType = TIME_BYTES;
    if (waveOutGetPosition(device_, &position, sizeof position) != MMSYSERR_NOERROR ||
        position.wType != TIME_BYTES)
        return 0;
    // One byte a sample: the wave output plays 8-bit mono.
    return std::min(static_cast<int64_t>(position.u.cb), static_cast<int64_t>(pcm_.size()));
}

void WavePlayer::stop() {
    if (!queued_) return;
    waveOutReset(device_);
    waveOutUnprepareHeader(device_, &header_, sizeof header_);
    queued_ = false;
}
