// winmm's wave output over an audio driver.
//
// Handles, headers, their flags and the notifications are kept here; the driver's device
// only plays one block at a time on a thread of its own and says when it has finished.
//
// Locking. One mutex (`state`) guards every handle's bookkeeping; the device's end-of-block
// report takes only that one and does nothing but bookkeeping and PostMessageW. Calls into
// a device are made without it, under the handle's own `deviceCalls` mutex, which keeps
// play and stop of one device in order (always taken before `state`). A report that comes
// late (after a reset, a close or a newer block) carries an old block number and is
// ignored. The report must not start the next block itself (a device may not be called
// from its report), so each open handle has a feeder thread that starts blocks queued
// behind a finished one, and the repeats of a looped header.
#include "platform/common/handles.h"
#include "platform/drivers/driver.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace platform::detail {

namespace {

struct WaveOut {
    uintptr_t handle = 0;
    std::unique_ptr<AudioDevice> device;
    HWND window = nullptr; // null: CALLBACK_NULL
    std::mutex deviceCalls;

    // Guarded by the state mutex.
    bool open = true;
    std::deque<WAVEHDR*> queue; // written and not done yet; the first one is playing
    bool playing = false;       // the device has been given the first header
    uint64_t block = 0;         // number of the block the device is playing
    DWORD playsLeft = 0;        // of the first header, including the current one
    bool feed = false;          // the feeder is to start the first header
    bool repeat = false;        // ... again, as a loop
    bool quit = false;
    std::condition_variable wake;
    std::thread feeder;
};

struct State {
    std::mutex mutex;
    std::map<uintptr_t, std::shared_ptr<WaveOut>> handles;
    uint64_t nextBlock = 1;
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
    WAVEHDR* h = w.queue.front();
    w.queue.pop_front();
    h->dwFlags = (h->dwFlags & ~static_cast<DWORD>(WHDR_INQUEUE)) | WHDR_DONE;
    notify(w, MM_WOM_DONE, reinterpret_cast<LPARAM>(h));
}

DWORD playsOf(const WAVEHDR& h) {
    // A header that is a loop of its own repeats dwLoops times; loops spanning several
    // headers are not supported and play once.
    const DWORD loop = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    return (h.dwFlags & loop) == loop && h.dwLoops > 1 ? h.dwLoops : 1;
}

struct Block {
    const uint8_t* data = nullptr;
    size_t size = 0;
    uint64_t number = 0;
};

void finished(uintptr_t handle, uint64_t number);

// With the state lock held: makes the first header the device's block. Empty headers are
// done at once. Returns the block to give the device, or no data when there is none.
Block startFirst(WaveOut& w, bool repeat) {
    auto& s = state();
    while (!w.queue.empty()) {
        WAVEHDR* h = w.queue.front();
        if (h->dwBufferLength == 0 || !h->lpData) {
            completeFirst(w);
            repeat = false;
            continue;
        }
        if (!repeat) w.playsLeft = playsOf(*h);
        w.playing = true;
        w.block = s.nextBlock++;
        return Block{reinterpret_cast<const uint8_t*>(h->lpData), h->dwBufferLength, w.block};
    }
    w.playing = false;
    return Block{};
}

// Without the state lock, with the handle's deviceCalls lock.
void play(WaveOut& w, const Block& b) {
    if (!b.data) return;
    uintptr_t handle = w.handle;
    uint64_t number = b.number;
    w.device->play(b.data, b.size, [handle, number] { finished(handle, number); });
}

// The device's report, on its thread.
void finished(uintptr_t handle, uint64_t number) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.handles.find(handle);
    if (it == s.handles.end()) return;
    WaveOut& w = *it->second;
    if (!w.playing || w.block != number || w.queue.empty()) return;
    w.playing = false;
    if (w.playsLeft > 1) {
        --w.playsLeft;
        w.repeat = true;
    } else {
        completeFirst(w);
        if (w.queue.empty()) return;
    }
    w.feed = true;
    w.wake.notify_all();
}

void feederLoop(WaveOut* w) {
    auto& s = state();
    for (;;) {
        {
            std::unique_lock lock(s.mutex);
            w->wake.wait(lock, [w] { return w->quit || w->feed; });
            if (w->quit) return;
        }
        std::lock_guard calls(w->deviceCalls);
        Block b;
        {
            std::lock_guard lock(s.mutex);
            if (w->quit) return;
            if (!w->feed) continue;
            w->feed = false;
            if (w->playing) continue; // a write got there first
            // Still the header that finished when it has plays left, else the next one.
            b = startFirst(*w, std::exchange(w->repeat, false));
        }
        play(*w, b);
    }
}

bool validFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f.nChannels < 1 || f.nChannels > 2) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
    if (f.nSamplesPerSec == 0) return false;
    DWORD align = static_cast<DWORD>(f.nChannels) * f.wBitsPerSample / 8;
    return f.nBlockAlign == align && f.nAvgBytesPerSec == f.nSamplesPerSec * align;
}

// Stops a handle's device and marks its headers done, or, when the whole layer is reset
// between tests, only forgets them (their memory may be gone by then). With the
// deviceCalls lock.
void resetLocked(WaveOut& w, bool markDone) {
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        w.playing = false;
        w.feed = false;
        w.repeat = false;
        w.block = 0;
        if (markDone) {
            while (!w.queue.empty())
                completeFirst(w);
        } else {
            w.queue.clear();
        }
    }
    w.device->stop();
}

// Ends a handle: no longer found, feeder stopped, device closed. Without any lock.
void retire(std::shared_ptr<WaveOut> w) {
    {
        std::lock_guard lock(state().mutex);
        w->quit = true;
        w->wake.notify_all();
    }
    if (w->feeder.joinable()) w->feeder.join();
    w->device.reset();
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
    w->feeder = std::thread(feederLoop, w.get());
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
    Block b;
    {
        std::lock_guard lock(state().mutex);
        if (!w->open) return MMSYSERR_INVALHANDLE;
        if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        header->dwFlags = (header->dwFlags | WHDR_INQUEUE) & ~static_cast<DWORD>(WHDR_DONE);
        w->queue.push_back(header);
        // An idle device starts at once; otherwise the header waits its turn.
        if (!w->playing && !w->feed) b = startFirst(*w, false);
    }
    play(*w, b);
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
    resetLocked(*w, true);
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
    retire(w);
    return MMSYSERR_NOERROR;
}
