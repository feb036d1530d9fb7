// The wave output's sound through the desktop's audio server, on PulseAudio's client library
// (which PipeWire's server answers too).
//
// Qt Multimedia was not enough: it names the client after itself, gives its streams no
// role, and keeps the device list it found at start, so a server that was away once stayed
// away for the program's life. With the client library each open asks the server itself.
//
// The library is loaded, and its thread started, on first use, or ahead of it by prepare():
// loading it and reaching the server take longer than a user waits for a first note.
//
// One connection serves every device. It is made on the first open (or begun by prepare())
// and made again on the first open after it was lost, so an open finds the server as it is
// now. Everything runs on the library's own thread, which feeds the server whenever it asks
// for more: the GUI thread may be busy loading a score, idle in its wait, or inside a
// resize, and the sound goes on. The wave output's calls take that thread's lock, so a
// block's end is never reported after a stop has returned.
#include "platform/drivers/pulse/pulse.h"

#include "platform/drivers/block_queue.h"
#include "platform/drivers/pulse/library.h"

#include <algorithm>
#include <functional>
#include <future>
#include <mutex>
#include <set>

namespace platform::pulse {

namespace {

// How much the server is asked to hold ahead of what it plays. Small enough that a new
// score is heard at once (the server's own latency follows it), large enough that a busy
// machine does not starve the stream: the bytes are all in memory, so refilling costs little.
constexpr pa_usec_t kBufferUsec = 100 * PA_USEC_PER_MSEC;
// An answer from a server that is there comes in milliseconds; one that does not answer is
// as good as none.
constexpr pa_usec_t kAnswerLimitUsec = 3 * PA_USEC_PER_SEC;

// Set once the library is loaded, before the loop's thread starts; read-only after.
const Library* pa = nullptr;

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
    Lock() { pa->threaded_mainloop_lock(pulse().loop); }
    ~Lock() { pa->threaded_mainloop_unlock(pulse().loop); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

// With the lock held, from outside the loop's thread: waits until `done` holds or the
// server has had kAnswerLimitUsec to answer. Every callback that changes what `done` looks
// at signals the loop.
bool waitFor(pa_context* context, const std::function<bool()>& done) {
    pa_threaded_mainloop* loop = pulse().loop;
    pa_mainloop_api* api = pa->threaded_mainloop_get_api(loop);
    bool late = false;
    pa_time_event* timer = pa->context_rttime_new(
        context, pa->rtclock_now() + kAnswerLimitUsec,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* flag) {
            *static_cast<bool*>(flag) = true;
            pa->threaded_mainloop_signal(pulse().loop, 0);
        },
        &late);
    while (!done() && !late)
        pa->threaded_mainloop_wait(loop);
    if (timer) api->time_free(timer);
    return done();
}

void signalLoop(pa_context*, void*) {
    pa->threaded_mainloop_signal(pulse().loop, 0);
}

// How the program shows in the desktop's sound settings: its own name and icon, as music,
// and under one name from run to run, so that its volume is kept.
pa_proplist* clientProperties() {
    pa_proplist* p = pa->proplist_new();
    pa->proplist_sets(p, PA_PROP_APPLICATION_NAME, "Marrowtone");
    pa->proplist_sets(p, PA_PROP_APPLICATION_ID, "marrowtone");
    pa->proplist_sets(p, PA_PROP_APPLICATION_ICON_NAME, "marrowtone");
    pa->proplist_sets(p, PA_PROP_MEDIA_ROLE, "music");
    // PulseAudio keeps a stream's volume by its role unless told otherwise; by role, every
    // music player would share one.
    pa->proplist_sets(p, "module-stream-restore.id", "sink-input-by-application-id:marrowtone");
    return p;
}

// With the lock held: drops a connection that is not usable.
void dropConnection() {
    Pulse& p = pulse();
    if (!p.context) return;
    pa->context_set_state_callback(p.context, nullptr, nullptr);
    pa->context_disconnect(p.context);
    pa->context_unref(p.context);
    p.context = nullptr;
}

// With the lock held: asks the server for a connection and returns without waiting for the
// answer, which arrives on the loop's thread.
void beginConnecting() {
    Pulse& p = pulse();
    pa_proplist* properties = clientProperties();
    pa_context* c = pa->context_new_with_proplist(pa->threaded_mainloop_get_api(p.loop),
                                                  "Marrowtone", properties);
    pa->proplist_free(properties);
    if (!c) return;
    pa->context_set_state_callback(c, signalLoop, nullptr);
    p.context = c;
    // No server started on demand: no server means no device, as on a machine without one.
    if (pa->context_connect(c, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) dropConnection();
}

bool connecting(pa_context* c) {
    const pa_context_state_t state = pa->context_get_state(c);
    return PA_CONTEXT_IS_GOOD(state) && state != PA_CONTEXT_READY;
}

// With the lock held: the connection to the server, made afresh when there is none or the
// last one was lost, or the one under way once it is made. Null when no server answers.
pa_context* connection() {
    Pulse& p = pulse();
    if (p.context && connecting(p.context))
        waitFor(p.context, [c = p.context] { return !connecting(c); });
    if (p.context && pa->context_get_state(p.context) == PA_CONTEXT_READY) return p.context;
    dropConnection();
    beginConnecting();
    if (!p.context) return nullptr;
    waitFor(p.context, [c = p.context] { return !connecting(c); });
    if (pa->context_get_state(p.context) == PA_CONTEXT_READY) return p.context;
    dropConnection();
    return nullptr;
}

class PulseAudioDevice final : public AudioDevice {
public:
    // With the lock held; the stream is connected and ready.
    explicit PulseAudioDevice(pa_stream* stream) : stream_(stream) {
        pa->stream_set_state_callback(stream_, onState, this);
        pa->stream_set_write_callback(stream_, onWritable, this);
        pulse().devices.insert(this);
    }

    ~PulseAudioDevice() override {
        Lock lock;
        halt();
        pulse().devices.erase(this);
        pa->stream_set_state_callback(stream_, nullptr, nullptr);
        pa->stream_set_write_callback(stream_, nullptr, nullptr);
        if (pulse().running) pa->stream_disconnect(stream_);
        pa->stream_unref(stream_);
    }

    void play(const uint8_t* data, size_t size, uint32_t times,
              std::function<void()> finished) override {
        Lock lock;
        if (blocks_.push(data, size, times, std::move(finished))) begin();
    }

    void stop() override {
        Lock lock;
        halt();
        played_ = 0;
    }

    uint64_t played() const override {
        Lock lock;
        return played_;
    }

    // With the lock held: silence at once, and forget every block.
    void halt() {
        cancelWaits();
        if (data_ && pulse().running && pa->stream_get_state(stream_) == PA_STREAM_READY) {
            // Drops what the server still holds of the block.
            if (pa_operation* o = pa->stream_flush(stream_, nullptr, nullptr))
                pa->operation_unref(o);
        }
        data_ = nullptr;
        size_ = position_ = 0;
        blocks_.clear();
    }

private:
    // With the lock held: starts a play of the first block.
    void begin() {
        if (!pulse().running || pa->stream_get_state(stream_) != PA_STREAM_READY) {
            // The server went away since the open: nothing can be heard, so every block is
            // over at once.
            for (auto& finished : blocks_.takeAll())
                finished();
            return;
        }
        const BlockQueue::Block& block = blocks_.first();
        data_ = block.data;
        size_ = block.size;
        position_ = 0;
        const pa_sample_spec* sampleSpec = pa->stream_get_sample_spec(stream_);
        playedBy_ = pa->rtclock_now() + pa->bytes_to_usec(size_, sampleSpec);
        feed();
    }

    // On the loop's thread, or with its lock: gives the server what it has room for, and
    // once it has the whole block, waits for it to have played it.
    void feed() {
        if (!data_ || drain_ || timer_) return;
        size_t room = pa->stream_writable_size(stream_);
        if (room == static_cast<size_t>(-1)) return; // the stream is going; onState ends it
        while (room > 0 && position_ < size_) {
            const size_t n = std::min(room, size_ - position_);
            if (pa->stream_write(stream_, data_ + position_, n, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                return;
            position_ += n;
            room -= n;
        }
        if (position_ < size_) return;
        // Draining also starts a block shorter than what the server waits for before playing.
        drain_ = pa->stream_drain(stream_, onDrained, this);
    }

    // No more waiting for the play under way to end.
    void cancelWaits() {
        cancelTimer();
        if (!drain_) return;
        pa->operation_cancel(drain_);
        pa->operation_unref(drain_);
        drain_ = nullptr;
    }

    void cancelTimer() {
        if (!timer_) return;
        pa_mainloop_api* api = pa->threaded_mainloop_get_api(pulse().loop);
        api->time_free(timer_);
        timer_ = nullptr;
    }

    // A play of the first block is over: a block played as often as asked is reported, and
    // the next play (a repeat, or the next block) starts.
    void complete() {
        cancelTimer();
        if (drain_) {
            pa->operation_unref(drain_);
            drain_ = nullptr;
        }
        played_ += size_;
        data_ = nullptr;
        size_ = position_ = 0;
        if (auto finished = blocks_.playedOnce()) finished();
        if (!blocks_.empty()) begin();
    }

    // The stream will play no more: every block is over.
    void completeAll() {
        cancelWaits();
        data_ = nullptr;
        size_ = position_ = 0;
        for (auto& finished : blocks_.takeAll())
            finished();
    }

    static void onWritable(pa_stream*, size_t, void* self) {
        static_cast<PulseAudioDevice*>(self)->feed();
    }

    // The server has played everything written, or the stream went away meanwhile: either
    // way the play is over. A drain cancelled by a stop never gets here. The
    // server's reading runs a little ahead of its playing, and a block cannot have been
    // played in less than its own duration, so an early report waits for that.
    static void onDrained(pa_stream* stream, int, void* self) {
        auto* device = static_cast<PulseAudioDevice*>(self);
        const pa_usec_t now = pa->rtclock_now();
        if (!PA_STREAM_IS_GOOD(pa->stream_get_state(stream))) {
            pa->operation_unref(device->drain_);
            device->drain_ = nullptr;
            device->completeAll();
            return;
        }
        if (now >= device->playedBy_) {
            device->complete();
            return;
        }
        pa->operation_unref(device->drain_);
        device->drain_ = nullptr;
        device->timer_ = pa->context_rttime_new(
            pa->stream_get_context(stream), device->playedBy_,
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
        if (!PA_STREAM_IS_GOOD(pa->stream_get_state(stream)) && !device->blocks_.empty())
            device->completeAll();
        pa->threaded_mainloop_signal(pulse().loop, 0);
    }

    pa_stream* stream_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t position_ = 0;
    pa_operation* drain_ = nullptr;
    pa_time_event* timer_ = nullptr; // an early drain waiting for the block's duration
    pa_usec_t playedBy_ = 0;         // when the play can have been played at the earliest
    BlockQueue blocks_;
    uint64_t played_ = 0; // of the plays heard to their end
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
    return in.nChannels <= PA_CHANNELS_MAX && pa->sample_spec_valid(&out);
}

class PulseAudioDriver final : public AudioDriver {
public:
    const char* name() const override { return "pulse"; }

    // The server's default output is the one device; without a server there is none.
    unsigned deviceCount() const override {
        if (!started()) return 0;
        Lock lock;
        return pulse().running && connection() ? 1 : 0;
    }

    std::unique_ptr<AudioDevice> open(const WAVEFORMATEX& format) override {
        if (!started()) return nullptr;
        pa_sample_spec sampleSpec{};
        if (!toPulseFormat(format, sampleSpec)) return nullptr;
        Lock lock;
        if (!pulse().running) return nullptr;
        pa_context* c = connection();
        if (!c) return nullptr;
        pa_proplist* properties = clientProperties();
        pa_stream* stream =
            pa->stream_new_with_proplist(c, "Playback", &sampleSpec, nullptr, properties);
        pa->proplist_free(properties);
        if (!stream) return nullptr;
        pa->stream_set_state_callback(
            stream, [](pa_stream*, void*) { pa->threaded_mainloop_signal(pulse().loop, 0); },
            nullptr);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa->usec_to_bytes(kBufferUsec, &sampleSpec));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        // The server plays no further ahead than asked, so that a new score starts soon.
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
        const bool ready =
            pa->stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) >= 0 &&
            waitFor(c,
                    [stream] {
                        return !PA_STREAM_IS_GOOD(pa->stream_get_state(stream)) ||
                               pa->stream_get_state(stream) == PA_STREAM_READY;
                    }) &&
            pa->stream_get_state(stream) == PA_STREAM_READY;
        if (!ready) {
            // No output the server can play this on, or it went away while asked.
            pa->stream_set_state_callback(stream, nullptr, nullptr);
            pa->stream_disconnect(stream);
            pa->stream_unref(stream);
            return nullptr;
        }
        return std::make_unique<PulseAudioDevice>(stream);
    }

private:
    // Whether the library is loaded and its thread runs, once prepare() (started here if
    // nobody did) has got that far.
    static bool started();
};

// Loads the library, starts its thread and asks for the connection; true when the thread
// runs. Runs once, on a thread of its own when prepare() starts it.
bool start() {
    pa = loadLibrary();
    if (!pa) return false;
    Pulse& p = pulse();
    if (!p.loop) {
        p.loop = pa->threaded_mainloop_new();
        if (!p.loop) return false;
        pa->threaded_mainloop_set_name(p.loop, "marrowtone audio");
    }
    if (pa->threaded_mainloop_start(p.loop) < 0) return false;
    Lock lock;
    p.running = true;
    dropConnection();
    beginConnecting();
    return true;
}

std::mutex preparation;
std::shared_future<bool> prepared; // under `preparation`

std::shared_future<bool> preparing() {
    std::lock_guard guard(preparation);
    if (!prepared.valid()) prepared = std::async(std::launch::async, start).share();
    return prepared;
}

bool PulseAudioDriver::started() {
    return preparing().get();
}

} // namespace

void prepare() {
    preparing();
}

AudioDriver& audioDriver() {
    // Stateless: everything it opens lives in pulse().
    static PulseAudioDriver driver;
    return driver;
}

void shutDown() {
    std::shared_future<bool> started;
    {
        std::lock_guard guard(preparation);
        started = prepared;
    }
    // Nothing was ever started, or it could not be.
    if (!started.valid() || !started.get()) return;
    Pulse& p = pulse();
    {
        Lock lock;
        if (!p.running) return;
        for (PulseAudioDevice* d : p.devices)
            d->halt();
        if (p.context) {
            pa->context_set_state_callback(p.context, nullptr, nullptr);
            pa->context_disconnect(p.context);
        }
        p.running = false;
    }
    pa->threaded_mainloop_stop(p.loop);
    // A driver used again starts afresh.
    std::lock_guard guard(preparation);
    prepared = {};
}

} // namespace platform::pulse
