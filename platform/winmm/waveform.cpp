// winmm's wave output over an audio driver.
//
// Handles, headers, their flags and the notifications are kept here; the driver's device
// plays the blocks it is given in order, on a thread of its own, and says when each has
// finished. A header is given to the device when it is written, so nothing here needs a
// thread: the device goes on to the next block by itself, as a sound card does.
//
// Locking. One mutex (`state`) guards every handle's bookkeeping; the device's end-of-block
// report takes only that one and does nothing but bookkeeping and PostMessageW. Calls into
// a device are made without it, under the handle's own `deviceCalls` mutex, which keeps
// play and stop of one device in order (always taken before `state`). A report that comes
// late (after a reset) carries an older generation and is ignored.
#include "platform/common/handles.h"
#include "platform/drivers/driver.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace platform::detail {

namespace {

struct Queued {
    WAVEHDR* header = nullptr;
    bool played = false; // given to the device; an empty header is not, it is done in turn
};

struct WaveOut {
    uintptr_t handle = 0;
    std::unique_ptr<AudioDevice> device;
    HWND window = nullptr; // null: CALLBACK_NULL
    WAVEFORMATEX format{};
    std::mutex deviceCalls;

    // Guarded by the state mutex.
    bool open = true;
    std::deque<Queued> queue; // written and not done yet, in order
    uint64_t generation = 0;  // of the blocks the device has; a reset starts a new one
};

struct State {
    std::mutex mutex;
    std::map<uintptr_t, std::shared_ptr<WaveOut>> handles;
};

State& state() {
    // Never destroyed: a device may still play when the process ends, as the program does
    // when its window is closed during playback.
    static State* s = new State;
    return *s;
}

std::shared_ptr<WaveOut> find(HWAVEOUT h) {
    if (!h) return nullptr;
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.handles.find(handleKey(h));
    return it == s.handles.end() ? nullptr : it->second;
}

// With the state lock held.
void notify(const WaveOut& w, UINT message, LPARAM lParam) {
    if (w.window) PostMessageW(w.window, message, static_cast<WPARAM>(w.handle), lParam);
}

// With the state lock held: the first header is done.
void completeFirst(WaveOut& w) {
    WAVEHDR* h = w.queue.front().header;
    w.queue.pop_front();
    h->dwFlags = (h->dwFlags & ~static_cast<DWORD>(WHDR_INQUEUE)) | WHDR_DONE;
    notify(w, MM_WOM_DONE, reinterpret_cast<LPARAM>(h));
}

// With the state lock held: empty headers that have come first are done at once.
void completeEmptyOnes(WaveOut& w) {
    while (!w.queue.empty() && !w.queue.front().played)
        completeFirst(w);
}

DWORD playsOf(const WAVEHDR& h) {
    // A header that is a loop of its own repeats dwLoops times; loops spanning several
    // headers are not supported and play once.
    const DWORD loop = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    return (h.dwFlags & loop) == loop && h.dwLoops > 1 ? h.dwLoops : 1;
}

// The device's report, on its thread: the first header given to it has played.
void finished(uintptr_t handle, uint64_t generation) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.handles.find(handle);
    if (it == s.handles.end()) return;
    WaveOut& w = *it->second;
    if (w.generation != generation || w.queue.empty() || !w.queue.front().played) return;
    completeFirst(w);
    completeEmptyOnes(w);
}

bool validFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f.nChannels < 1 || f.nChannels > 2) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
    if (f.nSamplesPerSec == 0) return false;
    DWORD align = static_cast<DWORD>(f.nChannels) * f.wBitsPerSample / 8;
    return f.nBlockAlign == align && f.nAvgBytesPerSec == f.nSamplesPerSec * align;
}

// Stops a handle's device and marks its headers done. With the deviceCalls lock.
void resetLocked(WaveOut& w) {
    {
        std::lock_guard lock(state().mutex);
        w.generation++;
        while (!w.queue.empty())
            completeFirst(w);
    }
    w.device->stop();
}

} // namespace

} // namespace platform::detail

using namespace platform::detail;

UINT WINAPI waveOutGetNumDevs(void) {
    return platform::audioDriver().deviceCount();
}

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT waveOut, UINT deviceId, LPCWAVEFORMATEX format,
                            DWORD_PTR callback, DWORD_PTR, DWORD flags) {
    const bool query = (flags & WAVE_FORMAT_QUERY) != 0;
    if (!format || (!waveOut && !query)) return MMSYSERR_INVALPARAM;
    auto& driver = platform::audioDriver();
    if (deviceId != WAVE_MAPPER && deviceId >= driver.deviceCount()) return MMSYSERR_BADDEVICEID;
    if (driver.deviceCount() == 0) return MMSYSERR_BADDEVICEID;
    if (!validFormat(*format)) return WAVERR_BADFORMAT;
    HWND window = nullptr;
    switch (flags & CALLBACK_TYPEMASK) {
    case CALLBACK_NULL:
        break;
    case CALLBACK_WINDOW:
        window = reinterpret_cast<HWND>(callback);
        if (window && !IsWindow(window)) return MMSYSERR_INVALPARAM;
        break;
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
    std::unique_ptr<platform::AudioDevice> device = driver.open(*format);
    if (!device) return MMSYSERR_NODRIVER;
    if (query) return MMSYSERR_NOERROR;

    auto w = std::make_shared<WaveOut>();
    w->handle = newHandleValue();
    w->device = std::move(device);
    w->window = window;
    w->format = *format;
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.handles.emplace(w->handle, w);
    *waveOut = reinterpret_cast<HWAVEOUT>(w->handle);
    notify(*w, MM_WOM_OPEN, 0);
    return MMSYSERR_NOERROR;
}

// Marks a header prepared or not, for an open handle and a whole record; a queued header
// stays prepared.
static MMRESULT setPrepared(HWAVEOUT waveOut, LPWAVEHDR header, UINT size, bool prepared) {
    auto w = find(waveOut);
    if (!w) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    std::lock_guard lock(state().mutex);
    if (!w->open) return MMSYSERR_INVALHANDLE;
    if (prepared) {
        header->dwFlags |= WHDR_PREPARED;
    } else {
        if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        header->dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
    return setPrepared(waveOut, header, size, true);
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
    return setPrepared(waveOut, header, size, false);
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
    auto w = find(waveOut);
    if (!w) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    std::lock_guard calls(w->deviceCalls);
    uint64_t generation = 0;
    {
        std::lock_guard lock(state().mutex);
        if (!w->open) return MMSYSERR_INVALHANDLE;
        if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        header->dwFlags = (header->dwFlags | WHDR_INQUEUE) & ~static_cast<DWORD>(WHDR_DONE);
        const bool empty = header->dwBufferLength == 0 || !header->lpData;
        w->queue.push_back(Queued{header, !empty});
        if (empty) {
            completeEmptyOnes(*w);
            return MMSYSERR_NOERROR;
        }
        generation = w->generation;
    }
    // The device takes it behind what it plays already. The header stays in the queue
    // until the device reports it, so its bytes are not given back before.
    const uintptr_t handle = w->handle;
    w->device->play(reinterpret_cast<const uint8_t*>(header->lpData), header->dwBufferLength,
                    playsOf(*header), [handle, generation] { finished(handle, generation); });
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutReset(HWAVEOUT waveOut) {
    auto w = find(waveOut);
    if (!w) return MMSYSERR_INVALHANDLE;
    std::lock_guard calls(w->deviceCalls);
    {
        std::lock_guard lock(state().mutex);
        if (!w->open) return MMSYSERR_INVALHANDLE;
    }
    resetLocked(*w);
    return MMSYSERR_NOERROR;
}

// The bytes played since the open or the last reset, as the device counts them: a device
// whose output went away counts none of what was not heard.
MMRESULT WINAPI waveOutGetPosition(HWAVEOUT waveOut, LPMMTIME time, UINT size) {
    auto w = find(waveOut);
    if (!w) return MMSYSERR_INVALHANDLE;
    if (!time || size < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
    std::lock_guard calls(w->deviceCalls);
    if (!w->device) return MMSYSERR_INVALHANDLE;
    const uint64_t bytes = w->device->played();
    const WAVEFORMATEX& f = w->format;
    switch (time->wType) {
    case TIME_SAMPLES:
        time->u.sample = static_cast<DWORD>(bytes / f.nBlockAlign);
        break;
    case TIME_MS:
        time->u.ms = static_cast<DWORD>(bytes * 1000 / f.nAvgBytesPerSec);
        break;
    default:
        // A kind of time the wave output does not keep is answered in bytes, as Windows does.
        time->wType = TIME_BYTES;
        time->u.cb = static_cast<DWORD>(bytes);
        break;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutClose(HWAVEOUT waveOut) {
    auto w = find(waveOut);
    if (!w) return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard calls(w->deviceCalls);
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (!w->open) return MMSYSERR_INVALHANDLE;
        if (!w->queue.empty()) return WAVERR_STILLPLAYING;
        w->open = false;
        s.handles.erase(w->handle);
        notify(*w, MM_WOM_CLOSE, 0);
    }
    // The device goes with the handle; nothing of it is left to report.
    std::lock_guard calls(w->deviceCalls);
    w->device.reset();
    return MMSYSERR_NOERROR;
}
