// The wave output's sound on Qt Multimedia, through the desktop's audio server.
//
// Every sink lives on one thread of its own with its own event loop, which feeds the server
// in small steps: the GUI thread may be busy loading a score, idle in its wait, or inside a
// resize, and the sound goes on. The wave output's calls come from the GUI thread and run on
// the audio thread one at a time, so a block's end is never reported after a stop returned.
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include "platform/drivers/qt/qt_drivers.h"

#include <algorithm>
#include <mutex>
#include <set>

namespace platform::qt {

namespace {

class QtAudioDevice;

struct AudioThread {
    QThread thread;
    QObject* context = nullptr; // moved to the thread; calls are queued to it
    std::mutex mutex;
    bool running = false;
    std::set<QtAudioDevice*> devices; // touched on the audio thread only
};

AudioThread& audioThread() {
    // Never destroyed: devices may outlive every other object of the program.
    static AudioThread* audio = new AudioThread;
    return *audio;
}

bool audioRunning() {
    auto& a = audioThread();
    std::lock_guard lock(a.mutex);
    return a.running;
}

// Runs f on the audio thread and waits for it. False when the thread has been shut down.
template <typename F> bool onAudioThread(F&& f) {
    auto& a = audioThread();
    if (!audioRunning()) return false;
    if (QThread::currentThread() == &a.thread) {
        f();
        return true;
    }
    QMetaObject::invokeMethod(a.context, std::forward<F>(f), Qt::BlockingQueuedConnection);
    return true;
}

// How often the sink is topped up, and how much the server holds ahead of what it plays.
constexpr int kFeedIntervalMs = 10;
constexpr int kBufferMs = 250;

class QtAudioDevice final : public AudioDevice {
public:
    // Made on the audio thread.
    QtAudioDevice(const QAudioDevice& device, const QAudioFormat& format)
        : bytesPerSecond_(format.bytesForDuration(1000000)) {
        sink_ = new QAudioSink(device, format);
        sink_->setBufferSize(std::max<qsizetype>(format.bytesForDuration(kBufferMs * 1000), 64));
        feeder_ = new QTimer();
        feeder_->setTimerType(Qt::PreciseTimer);
        feeder_->setInterval(kFeedIntervalMs);
        QObject::connect(feeder_, &QTimer::timeout, [this] { feed(); });
        audioThread().devices.insert(this);
    }

    ~QtAudioDevice() override {
        onAudioThread([this] {
            halt();
            audioThread().devices.erase(this);
            delete feeder_;
            delete sink_;
        });
    }

    void play(const uint8_t* data, size_t size, std::function<void()> finished) override {
        onAudioThread([&] {
            halt();
            data_ = data;
            size_ = size;
            position_ = 0;
            draining_ = false;
            finished_ = std::move(finished);
            playClock_.start();
            output_ = sink_->start();
            if (!output_ || sink_->error() != QAudio::NoError) {
                // The server went away since the open: nothing can be heard, so the block
                // is over at once.
                complete();
                return;
            }
            feed();
            feeder_->start();
        });
    }

    void stop() override {
        onAudioThread([this] { halt(); });
    }

    // On the audio thread: silence at once, and forget the block.
    void halt() {
        feeder_->stop();
        if (output_) {
            sink_->reset(); // drops what the server still holds
            sink_->stop();
            output_ = nullptr;
        }
        finished_ = nullptr;
        data_ = nullptr;
        size_ = position_ = 0;
        draining_ = false;
    }

private:
    void feed() {
        if (!output_) return;
        if (!draining_) {
            const qint64 room = sink_->bytesFree();
            const qint64 left = static_cast<qint64>(size_ - position_);
            const qint64 n = std::min(room, left);
            if (n > 0) {
                const qint64 written =
                    output_->write(reinterpret_cast<const char*>(data_ + position_), n);
                if (written > 0) position_ += static_cast<size_t>(written);
            }
            if (position_ < size_) return;
            // Everything is with the server; the block is played when its buffer is empty.
            draining_ = true;
            drainClock_.start();
            drainLimitMs_ =
                (bytesPerSecond_ > 0 ? sink_->bufferSize() * 1000 / bytesPerSecond_ : 0) + 500;
        }
        // The server's buffer empties a little before its last bytes leave the speaker; the
        // block cannot have been played in less than its own duration either.
        const qint64 durationMs =
            bytesPerSecond_ > 0 ? static_cast<qint64>(size_) * 1000 / bytesPerSecond_ : 0;
        const bool drained = sink_->bytesFree() >= sink_->bufferSize();
        if ((drained && playClock_.elapsed() >= durationMs) ||
            drainClock_.elapsed() > drainLimitMs_)
            complete();
    }

    void complete() {
        feeder_->stop();
        auto finished = std::move(finished_);
        finished_ = nullptr;
        if (output_) {
            sink_->stop();
            output_ = nullptr;
        }
        data_ = nullptr;
        draining_ = false;
        if (finished) finished();
    }

    qint64 bytesPerSecond_;
    QAudioSink* sink_ = nullptr;
    QTimer* feeder_ = nullptr;
    QIODevice* output_ = nullptr;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t position_ = 0;
    bool draining_ = false;
    QElapsedTimer playClock_;
    QElapsedTimer drainClock_;
    qint64 drainLimitMs_ = 0;
    std::function<void()> finished_;
};

bool toQtFormat(const WAVEFORMATEX& in, QAudioFormat& out) {
    if (in.wFormatTag != WAVE_FORMAT_PCM || in.nChannels == 0 || in.nSamplesPerSec == 0)
        return false;
    switch (in.wBitsPerSample) {
    case 8:
        out.setSampleFormat(QAudioFormat::UInt8);
        break;
    case 16:
        out.setSampleFormat(QAudioFormat::Int16);
        break;
    case 32:
        out.setSampleFormat(QAudioFormat::Int32);
        break;
    default:
        return false;
    }
    out.setChannelCount(in.nChannels);
    out.setSampleRate(static_cast<int>(in.nSamplesPerSec));
    return true;
}

class QtAudioDriver final : public AudioDriver {
public:
    const char* name() const override { return "qt"; }

    unsigned deviceCount() const override {
        unsigned count = 0;
        onAudioThread([&] { count = static_cast<unsigned>(QMediaDevices::audioOutputs().size()); });
        return count;
    }

    std::unique_ptr<AudioDevice> open(const WAVEFORMATEX& format) override {
        QAudioFormat qtFormat;
        if (!toQtFormat(format, qtFormat)) return nullptr;
        std::unique_ptr<AudioDevice> device;
        onAudioThread([&] {
            // No audio server, or one without outputs: no default device.
            const QAudioDevice output = QMediaDevices::defaultAudioOutput();
            if (output.isNull() || !output.isFormatSupported(qtFormat)) return;
            device = std::make_unique<QtAudioDevice>(output, qtFormat);
        });
        return device;
    }
};

} // namespace

AudioDriver* createAudioDriver() {
    auto& a = audioThread();
    a.thread.setObjectName(QStringLiteral("marrowtone audio"));
    a.context = new QObject();
    a.context->moveToThread(&a.thread);
    a.thread.start(QThread::TimeCriticalPriority);
    {
        std::lock_guard lock(a.mutex);
        a.running = true;
    }
    return new QtAudioDriver();
}

void shutDownAudio() {
    auto& a = audioThread();
    onAudioThread([&a] {
        for (QtAudioDevice* d : a.devices)
            d->halt();
    });
    {
        std::lock_guard lock(a.mutex);
        if (!a.running) return;
        a.running = false;
    }
    a.thread.quit();
    a.thread.wait();
}

} // namespace platform::qt
