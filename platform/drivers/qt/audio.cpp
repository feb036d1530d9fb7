// The wave output's sound through the desktop's audio server, on PulseAudio's client library
// (which PipeWire's server answers too).
//
// Qt Multimedia was not enough: it names the client after itself, gives its streams no
// role, and keeps the device list it found at start, so a server that was away once stayed
// away for the program's life. With the client library each open asks the server itself.
//
// One connection serves every device. It is made on the first open and made again on the
// first open after it was lost, so an open finds the server as it is now. Everything runs on
// the library's own thread, which feeds the server whenever it asks for more: the GUI thread
// may be busy loading a score, idle in its wait, or inside a resize, and the sound goes on.
// The wave output's calls take that thread's lock, so a block's end is never reported after
// a stop has returned.
#include <pulse/pulseaudio.h>

#include "platform/drivers/qt/qt_drivers.h"

#include <algorithm>
#include <functional>
#include <set>

namespace platform::qt {

namespace {

// How much the server is asked to hold ahead of what it plays. Small enough that a new
// score is heard at once (the server's own latency follows it), large enough that a busy
// machine does not starve the stream: the bytes are all in memory, so refilling costs little.
constexpr pa_usec_t kBufferUsec = 100 * PA_USEC_PER_MSEC;
// An answer from a server that is there comes in milliseconds; one that does not answer is
// as good as none.
constexpr pa_usec_t kAnswerLimitUsec = 3 * PA_USEC_PER_SEC;

class PulseAudioDevice;

struct Pulse {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr; // under the loop's lock
    bool running = false;          // under the loop's lock
    std::set<PulseAudioDevice*> devices;
};

Pulse& pulse() {
    // Never destroyed: devices may outlive every other object of the program.
    static Pulse* p = new Pulse;
    return *p;
}

class Lock {
public:
    Lock() { pa_threaded_mainloop_lock(pulse().loop); }
    ~Lock() { pa_threaded_mainloop_unlock(pulse().loop); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

// With the lock held, from outside the loop's thread: waits until `done` holds or the
// server has had kAnswerLimitUsec to answer. Every callback that changes what `done` looks
// at signals the loop.
bool waitFor(pa_context* context, const std::function<bool()>& done) {
    pa_threaded_mainloop* loop = pulse().loop;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    bool late = false;
    pa_time_event* timer = pa_context_rttime_new(
        context, pa_rtclock_now() + kAnswerLimitUsec,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* flag) {
            *static_cast<bool*>(flag) = true;
            pa_threaded_mainloop_signal(pulse().loop, 0);
        },
        &late);
    while (!done() && !late)
        pa_threaded_mainloop_wait(loop);
    if (timer) api->time_free(timer);
    return done();
}

void signalLoop(pa_context*, void*) {
    pa_threaded_mainloop_signal(pulse().loop, 0);
}

// How the program shows in the desktop's sound settings: its own name and icon, as music,
// and under one name from run to run, so that its volume is kept.
pa_proplist* clientProperties() {
    pa_proplist* p = pa_proplist_new();
    pa_proplist_sets(p, PA_PROP_APPLICATION_NAME, "Marrowtone");
    pa_proplist_sets(p, PA_PROP_APPLICATION_ID, "marrowtone");
    pa_proplist_sets(p, PA_PROP_APPLICATION_ICON_NAME, "marrowtone");
    pa_proplist_sets(p, PA_PROP_MEDIA_ROLE, "music");
    // PulseAudio keeps a stream's volume by its role unless told otherwise; by role, every
    // music player would share one.
    pa_proplist_sets(p, "module-stream-restore.id", "sink-input-by-application-id:marrowtone");
    return p;
}

// With the lock held: the connection to the server, made afresh when there is none or the
// last one was lost. Null when no server answers.
pa_context* connection() {
    Pulse& p = pulse();
    if (p.context && pa_context_get_state(p.context) == PA_CONTEXT_READY) return p.context;
    if (p.context) {
        pa_context_set_state_callback(p.context, nullptr, nullptr);
        pa_context_disconnect(p.context);
        pa_context_unref(p.context);
        p.context = nullptr;
    }
    pa_proplist* properties = clientProperties();
    pa_context* c = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(p.loop), "Marrowtone",
                                                 properties);
    pa_proplist_free(properties);
    if (!c) return nullptr;
    pa_context_set_state_callback(c, signalLoop, nullptr);
    // No server started on demand: no server means no device, as on a machine without one.
    const bool ready = pa_context_connect(c, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
                       waitFor(c,
                               [c] {
                                   return !PA_CONTEXT_IS_GOOD(pa_context_get_state(c)) ||
                                          pa_context_get_state(c) == PA_CONTEXT_READY;
                               }) &&
                       pa_context_get_state(c) == PA_CONTEXT_READY;
    if (!ready) {
        pa_context_set_state_callback(c, nullptr, nullptr);
        pa_context_disconnect(c);
        pa_context_unref(c);
        return nullptr;
    }
    p.context = c;
    return c;
}

class PulseAudioDevice final : public AudioDevice {
public:
    // With the lock held; the stream is connected and ready.
    explicit PulseAudioDevice(pa_stream* stream) : stream_(stream) {
        pa_stream_set_state_callback(stream_, onState, this);
        pa_stream_set_write_callback(stream_, onWritable, this);
        pulse().devices.insert(this);
    }

    ~PulseAudioDevice() override {
        Lock lock;
        halt();
        pulse().devices.erase(this);
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        if (pulse().running) pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }

    void play(const uint8_t* data, size_t size, std::function<void()> finished) override {
        Lock lock;
        halt();
        finished_ = std::move(finished);
        if (!pulse().running || pa_stream_get_state(stream_) != PA_STREAM_READY) {
            // The server went away since the open: nothing can be heard, so the block is
            // over at once.
            complete();
            return;
        }
        data_ = data;
        size_ = size;
        position_ = 0;
        const pa_sample_spec* sampleSpec = pa_stream_get_sample_spec(stream_);
        playedBy_ = pa_rtclock_now() + pa_bytes_to_usec(size, sampleSpec);
        feed();
    }

    void stop() override {
        Lock lock;
        halt();
    }

    // With the lock held: silence at once, and forget the block.
    void halt() {
        cancelTimer();
        if (drain_) {
            pa_operation_cancel(drain_);
            pa_operation_unref(drain_);
            drain_ = nullptr;
        }
        if (data_ && pulse().running && pa_stream_get_state(stream_) == PA_STREAM_READY) {
            // Drops what the server still holds of the block.
            if (pa_operation* o = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(o);
        }
        data_ = nullptr;
        size_ = position_ = 0;
        finished_ = nullptr;
    }

private:
    // On the loop's thread, or with its lock: gives the server what it has room for, and
    // once it has the whole block, waits for it to have played it.
    void feed() {
        if (!data_ || drain_ || timer_) return;
        size_t room = pa_stream_writable_size(stream_);
        if (room == static_cast<size_t>(-1)) return; // the stream is going; onState ends it
        while (room > 0 && position_ < size_) {
            const size_t n = std::min(room, size_ - position_);
            if (pa_stream_write(stream_, data_ + position_, n, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                return;
            position_ += n;
            room -= n;
        }
        if (position_ < size_) return;
        // Draining also starts a block shorter than what the server waits for before playing.
        drain_ = pa_stream_drain(stream_, onDrained, this);
    }

    void cancelTimer() {
        if (!timer_) return;
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(pulse().loop);
        api->time_free(timer_);
        timer_ = nullptr;
    }

    void complete() {
        cancelTimer();
        if (drain_) {
            pa_operation_unref(drain_);
            drain_ = nullptr;
        }
        auto finished = std::move(finished_);
        finished_ = nullptr;
        data_ = nullptr;
        size_ = position_ = 0;
        if (finished) finished();
    }

    static void onWritable(pa_stream*, size_t, void* self) {
        static_cast<PulseAudioDevice*>(self)->feed();
    }

    // The server has played everything written, or the stream went away meanwhile: either
    // way the block is over. A drain cancelled by a stop or a new block never gets here. The
    // server's reading runs a little ahead of its playing, and a block cannot have been
    // played in less than its own duration, so an early report waits for that.
    static void onDrained(pa_stream* stream, int, void* self) {
        auto* device = static_cast<PulseAudioDevice*>(self);
        const pa_usec_t now = pa_rtclock_now();
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)) || now >= device->playedBy_) {
            device->complete();
            return;
        }
        pa_operation_unref(device->drain_);
        device->drain_ = nullptr;
        device->timer_ = pa_context_rttime_new(
            pa_stream_get_context(stream), device->playedBy_,
            [](pa_mainloop_api* api, pa_time_event* e, const struct timeval*, void* self) {
                auto* device = static_cast<PulseAudioDevice*>(self);
                api->time_free(e);
                device->timer_ = nullptr;
                device->complete();
            },
            device);
        if (!device->timer_) device->complete();
    }

    // A stream lost while playing (the server ended, or dropped us) will play no more: its
    // block ends rather than waiting for an end that never comes.
    static void onState(pa_stream* stream, void* self) {
        auto* device = static_cast<PulseAudioDevice*>(self);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)) && device->finished_) {
            if (device->drain_) pa_operation_cancel(device->drain_);
            device->complete();
        }
        pa_threaded_mainloop_signal(pulse().loop, 0);
    }

    pa_stream* stream_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t position_ = 0;
    pa_operation* drain_ = nullptr;
    pa_time_event* timer_ = nullptr; // an early drain waiting for the block's duration
    pa_usec_t playedBy_ = 0;         // when the block can have been played at the earliest
    std::function<void()> finished_;
};

bool toPulseFormat(const WAVEFORMATEX& in, pa_sample_spec& out) {
    if (in.wFormatTag != WAVE_FORMAT_PCM || in.nChannels == 0 || in.nSamplesPerSec == 0)
        return false;
    switch (in.wBitsPerSample) {
    case 8:
        out.format = PA_SAMPLE_U8;
        break;
    case 16:
        out.format = PA_SAMPLE_S16LE;
        break;
    case 32:
        out.format = PA_SAMPLE_S32LE;
        break;
    default:
        return false;
    }
    out.channels = static_cast<uint8_t>(in.nChannels);
    out.rate = in.nSamplesPerSec;
    return in.nChannels <= PA_CHANNELS_MAX && pa_sample_spec_valid(&out);
}

class PulseAudioDriver final : public AudioDriver {
public:
    const char* name() const override { return "pulse"; }

    // The server's default output is the one device; without a server there is none.
    unsigned deviceCount() const override {
        Lock lock;
        return pulse().running && connection() ? 1 : 0;
    }

    std::unique_ptr<AudioDevice> open(const WAVEFORMATEX& format) override {
        pa_sample_spec sampleSpec{};
        if (!toPulseFormat(format, sampleSpec)) return nullptr;
        Lock lock;
        if (!pulse().running) return nullptr;
        pa_context* c = connection();
        if (!c) return nullptr;
        pa_proplist* properties = clientProperties();
        pa_stream* stream =
            pa_stream_new_with_proplist(c, "Playback", &sampleSpec, nullptr, properties);
        pa_proplist_free(properties);
        if (!stream) return nullptr;
        pa_stream_set_state_callback(
            stream, [](pa_stream*, void*) { pa_threaded_mainloop_signal(pulse().loop, 0); },
            nullptr);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kBufferUsec, &sampleSpec));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        // The server plays no further ahead than asked, so that a new score starts soon.
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
        const bool ready =
            pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) >= 0 &&
            waitFor(c,
                    [stream] {
                        return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)) ||
                               pa_stream_get_state(stream) == PA_STREAM_READY;
                    }) &&
            pa_stream_get_state(stream) == PA_STREAM_READY;
        if (!ready) {
            // No output the server can play this on, or it went away while asked.
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
            return nullptr;
        }
        return std::make_unique<PulseAudioDevice>(stream);
    }
};

} // namespace

AudioDriver* createAudioDriver() {
    // Stateless: everything it opens lives in pulse().
    static PulseAudioDriver driver;
    Pulse& p = pulse();
    if (!p.loop) {
        p.loop = pa_threaded_mainloop_new();
        if (!p.loop) return nullptr;
        pa_threaded_mainloop_set_name(p.loop, "marrowtone audio");
    }
    {
        Lock lock;
        if (p.running) return &driver;
    }
    if (pa_threaded_mainloop_start(p.loop) < 0) return nullptr;
    Lock lock;
    p.running = true;
    return &driver;
}

void shutDownAudio() {
    Pulse& p = pulse();
    if (!p.loop) return;
    {
        Lock lock;
        if (!p.running) return;
        for (PulseAudioDevice* d : p.devices)
            d->halt();
        if (p.context) {
            pa_context_set_state_callback(p.context, nullptr, nullptr);
            pa_context_disconnect(p.context);
        }
        p.running = false;
    }
    pa_threaded_mainloop_stop(p.loop);
}

} // namespace platform::qt
