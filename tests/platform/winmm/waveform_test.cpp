// winmm's wave output over the headless audio driver: handles, header flags, the
// notifications, and the bytes a device plays on the virtual clock.
#include "platform/testing/testing.h"
#include "tests/platform/platform_fixture.h"
#include "tests/support/player_format.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

using namespace platform_test;
using namespace std::chrono_literals;

namespace {

constexpr DWORD kBufferBytes = 661500; // 60 seconds at 11025 bytes a second

std::vector<uint8_t> pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
    return bytes;
}

WAVEHDR headerFor(std::vector<uint8_t>& bytes, DWORD flags = WHDR_BEGINLOOP | WHDR_ENDLOOP,
                  DWORD loops = 1) {
    WAVEHDR h{};
    h.lpData = reinterpret_cast<LPSTR>(bytes.data());
    h.dwBufferLength = static_cast<DWORD>(bytes.size());
    h.dwFlags = flags;
    h.dwLoops = loops;
    return h;
}

struct Notice {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

bool operator==(const Notice& a, const Notice& b) {
    return a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam;
}

void PrintTo(const Notice& n, std::ostream* os) {
    *os << "{" << n.message << ", " << n.wParam << ", " << n.lParam << "}";
}

// A driver whose device reports the end of a block when the test says so, from a thread of
// its own, including after it was told to stop, as a careless device might.
class ManualDriver : public platform::AudioDriver {
public:
    class Device : public platform::AudioDevice {
    public:
        explicit Device(ManualDriver& driver) : driver_(driver) {}
        void play(const uint8_t*, size_t size, uint32_t, std::function<void()> finished) override {
            std::lock_guard lock(driver_.mutex);
            driver_.plays.push_back(size);
            driver_.reports.push_back(std::move(finished));
        }
        void stop() override {
            std::lock_guard lock(driver_.mutex);
            ++driver_.stops;
        }
        uint64_t played() const override { return 0; }

    private:
        ManualDriver& driver_;
    };

    const char* name() const override { return "manual"; }
    std::unique_ptr<platform::AudioDevice> open(const WAVEFORMATEX&) override {
        return std::make_unique<Device>(*this);
    }
    // Makes report i from another thread and waits for it.
    void report(size_t i) {
        std::function<void()> r;
        {
            std::lock_guard lock(mutex);
            r = reports.at(i);
        }
        std::thread(r).join();
    }

    std::mutex mutex;
    std::vector<size_t> plays;
    std::vector<std::function<void()>> reports;
    int stops = 0;
};

class WaveOut : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        window = makeTopLevel();
        ASSERT_NE(window, nullptr);
        format = playerFormat();
    }
    void TearDown() override {
        platform::setAudioDriver(nullptr);
        PlatformTest::TearDown();
    }

    // Delivers what is waiting and returns the wave output's notifications the window got.
    std::vector<Notice> notices() {
        user::dispatchPending();
        std::vector<Notice> out;
        for (const Seen& s : seen())
            if (s.hwnd == window && s.message >= MM_WOM_OPEN && s.message <= MM_WOM_DONE)
                out.push_back({s.message, s.wParam, s.lParam});
        return out;
    }

    HWAVEOUT openDevice() {
        HWAVEOUT h = nullptr;
        EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window), 0,
                              CALLBACK_WINDOW),
                  static_cast<MMRESULT>(MMSYSERR_NOERROR));
        return h;
    }

    // Prepares and writes a header, as the player does.
    // Opens a device on the manual driver and queues `block`, 4000 bytes, on it.
    HWAVEOUT queueOneBlockOnManual() {
        platform::setAudioDriver(&manual);
        HWAVEOUT h = openDevice();
        blockBytes = pattern(4000, 1);
        block = headerFor(blockBytes);
        queue(h, block);
        return h;
    }

    static void queue(HWAVEOUT h, WAVEHDR& header) {
        EXPECT_EQ(waveOutPrepareHeader(h, &header, sizeof header),
                  static_cast<MMRESULT>(MMSYSERR_NOERROR));
        EXPECT_EQ(waveOutWrite(h, &header, sizeof header), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    }

    static WPARAM key(HWAVEOUT h) { return reinterpret_cast<WPARAM>(h); }
    static LPARAM addressOf(WAVEHDR& h) { return reinterpret_cast<LPARAM>(&h); }

    HWND window = nullptr;
    WAVEFORMATEX format{};
    // Outlives every device, which the tear-down closes.
    ManualDriver manual;
    std::vector<uint8_t> blockBytes;
    WAVEHDR block{};
};

// Polls for a state the feeder thread brings about.
bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 2000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return condition();
}

TEST_F(WaveOut, OpenPostsTheOpenNoticeWithTheNewHandle) {
    EXPECT_EQ(waveOutGetNumDevs(), 1u);
    HWAVEOUT h = openDevice();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(headless::openAudioDevices(), 1u);
    WAVEFORMATEX opened = headless::lastAudioFormat();
    EXPECT_EQ(opened.nSamplesPerSec, 11025u);
    EXPECT_EQ(opened.wBitsPerSample, 8);
    EXPECT_EQ(notices(), (std::vector<Notice>{{MM_WOM_OPEN, key(h), 0}}));
    EXPECT_FALSE(headless::audioPlaying());

    HWAVEOUT second = nullptr;
    ASSERT_EQ(
        waveOutOpen(&second, 0, &format, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW),
        static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_NE(second, h);
    EXPECT_EQ(headless::openAudioDevices(), 2u);
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(waveOutClose(second), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(headless::openAudioDevices(), 0u);
}

TEST_F(WaveOut, PreparingTwiceSucceedsAndKeepsTheLoopFlags) {
    HWAVEOUT h = openDevice();
    auto bytes = pattern(100, 1);
    WAVEHDR hdr = headerFor(bytes);
    EXPECT_EQ(waveOutPrepareHeader(h, &hdr, sizeof hdr), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(hdr.dwFlags, static_cast<DWORD>(WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED));
    EXPECT_EQ(waveOutPrepareHeader(h, &hdr, sizeof hdr), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(hdr.dwFlags, static_cast<DWORD>(WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED));
    EXPECT_EQ(waveOutPrepareHeader(h, &hdr, 8), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, sizeof hdr), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(hdr.dwFlags & WHDR_PREPARED, 0u);
}

TEST_F(WaveOut, AWrittenBufferPlaysWholeOnceThenReportsDone) {
    HWAVEOUT h = openDevice();
    auto bytes = pattern(kBufferBytes, 3);
    WAVEHDR hdr = headerFor(bytes);
    ASSERT_EQ(waveOutPrepareHeader(h, &hdr, sizeof hdr), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    ASSERT_EQ(notices().size(), 1u); // the open
    ASSERT_EQ(waveOutWrite(h, &hdr, sizeof hdr), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_NE(hdr.dwFlags & WHDR_INQUEUE, 0u);
    EXPECT_EQ(hdr.dwFlags & WHDR_DONE, 0u);
    EXPECT_TRUE(headless::audioPlaying());

    headless::advanceAudio(59999ms);
    EXPECT_EQ(headless::capturedAudio().size(), 661488u); // 59.999 s at 11025 bytes a second
    EXPECT_EQ(headless::audioBytesRemaining(), 12u);
    EXPECT_EQ(hdr.dwFlags & WHDR_DONE, 0u);
    EXPECT_EQ(notices().size(), 1u);

    headless::advanceAudio(1ms);
    EXPECT_EQ(headless::capturedAudio(), bytes);
    EXPECT_FALSE(headless::audioPlaying());
    EXPECT_EQ(hdr.dwFlags,
              static_cast<DWORD>(WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED | WHDR_DONE));
    EXPECT_EQ(notices(), (std::vector<Notice>{{MM_WOM_OPEN, key(h), 0},
                                              {MM_WOM_DONE, key(h), addressOf(hdr)}}));

    // Played once: more time brings neither bytes nor notices.
    headless::advanceAudio(60s);
    EXPECT_EQ(headless::capturedAudio().size(), bytes.size());
    EXPECT_EQ(notices().size(), 2u);
}

TEST_F(WaveOut, TheClockCarriesFractionsOfAByte) {
    format.nSamplesPerSec = format.nAvgBytesPerSec = 1500;
    HWAVEOUT h = openDevice();
    auto bytes = pattern(100, 5);
    WAVEHDR hdr = headerFor(bytes, 0, 0);
    waveOutPrepareHeader(h, &hdr, sizeof hdr);
    ASSERT_EQ(waveOutWrite(h, &hdr, sizeof hdr), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    for (int i = 0; i < 10; ++i)
        headless::advanceAudio(1ms); // 1.5 bytes each
    EXPECT_EQ(headless::capturedAudio().size(), 15u);
    EXPECT_EQ(waveOutReset(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
}

TEST_F(WaveOut, ResetStopsAtOnceAndMarksTheHeaderDone) {
    HWAVEOUT h = openDevice();
    auto bytes = pattern(kBufferBytes, 9);
    WAVEHDR hdr = headerFor(bytes);
    waveOutPrepareHeader(h, &hdr, sizeof hdr);
    ASSERT_EQ(waveOutWrite(h, &hdr, sizeof hdr), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    headless::advanceAudio(1000ms);
    ASSERT_EQ(headless::capturedAudio().size(), 11025u);

    EXPECT_EQ(waveOutReset(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_FALSE(headless::audioPlaying());
    EXPECT_EQ(hdr.dwFlags & WHDR_INQUEUE, 0u);
    EXPECT_NE(hdr.dwFlags & WHDR_DONE, 0u);
    EXPECT_NE(hdr.dwFlags & WHDR_PREPARED, 0u);
    headless::advanceAudio(60s);
    EXPECT_EQ(headless::capturedAudio(),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + 11025));
    EXPECT_EQ(notices(), (std::vector<Notice>{{MM_WOM_OPEN, key(h), 0},
                                              {MM_WOM_DONE, key(h), addressOf(hdr)}}));

    // Resetting an idle device is harmless and reports nothing.
    EXPECT_EQ(waveOutReset(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(headless::openAudioDevices(), 0u);
    EXPECT_EQ(notices(), (std::vector<Notice>{{MM_WOM_OPEN, key(h), 0},
                                              {MM_WOM_DONE, key(h), addressOf(hdr)},
                                              {MM_WOM_CLOSE, key(h), 0}}));
}

TEST_F(WaveOut, TheSameHeaderPlaysFromItsStartAfterAResetAndANewOpen) {
    HWAVEOUT h = openDevice();
    auto bytes = pattern(22050, 2);
    WAVEHDR hdr = headerFor(bytes);
    queue(h, hdr);
    headless::advanceAudio(500ms);
    waveOutReset(h);
    ASSERT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    headless::clearCapturedAudio();

    HWAVEOUT again = openDevice();
    ASSERT_NE(again, h);
    EXPECT_EQ(waveOutPrepareHeader(again, &hdr, sizeof hdr),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    ASSERT_EQ(waveOutWrite(again, &hdr, sizeof hdr), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    headless::advanceAudio(2s);
    EXPECT_EQ(headless::capturedAudio(), bytes);
}

TEST_F(WaveOut, CloseIsRefusedWhileAHeaderIsQueued) {
    HWAVEOUT h = openDevice();
    auto bytes = pattern(11025, 4);
    WAVEHDR hdr = headerFor(bytes);
    queue(h, hdr);
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, sizeof hdr),
              static_cast<MMRESULT>(WAVERR_STILLPLAYING));
    EXPECT_EQ(waveOutWrite(h, &hdr, sizeof hdr), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
    EXPECT_EQ(headless::openAudioDevices(), 1u);

    // The device stays open and goes on playing.
    headless::advanceAudio(1s);
    EXPECT_EQ(headless::capturedAudio(), bytes);
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(notices(), (std::vector<Notice>{{MM_WOM_OPEN, key(h), 0},
                                              {MM_WOM_DONE, key(h), addressOf(hdr)},
                                              {MM_WOM_CLOSE, key(h), 0}}));
}

TEST_F(WaveOut, NullAndStaleHandlesFailWithoutEffect) {
    auto bytes = pattern(64, 6);
    WAVEHDR hdr = headerFor(bytes);
    const auto invalid = static_cast<MMRESULT>(MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutReset(nullptr), invalid);
    EXPECT_EQ(waveOutClose(nullptr), invalid);
    EXPECT_EQ(waveOutPrepareHeader(nullptr, &hdr, sizeof hdr), invalid);
    EXPECT_EQ(waveOutUnprepareHeader(nullptr, &hdr, sizeof hdr), invalid);
    EXPECT_EQ(waveOutWrite(nullptr, &hdr, sizeof hdr), invalid);
    EXPECT_EQ(hdr.dwFlags, static_cast<DWORD>(WHDR_BEGINLOOP | WHDR_ENDLOOP));

    HWAVEOUT h = openDevice();
    ASSERT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    size_t before = notices().size();
    EXPECT_EQ(waveOutReset(h), invalid);
    EXPECT_EQ(waveOutClose(h), invalid);
    EXPECT_EQ(waveOutPrepareHeader(h, &hdr, sizeof hdr), invalid);
    EXPECT_EQ(waveOutWrite(h, &hdr, sizeof hdr), invalid);
    EXPECT_EQ(hdr.dwFlags, static_cast<DWORD>(WHDR_BEGINLOOP | WHDR_ENDLOOP));
    // Other kinds of handle are not wave outputs either.
    EXPECT_EQ(waveOutReset(reinterpret_cast<HWAVEOUT>(window)), invalid);
    EXPECT_EQ(notices().size(), before);
    EXPECT_FALSE(headless::audioPlaying());
    EXPECT_TRUE(headless::capturedAudio().empty());

    // A new open never hands out the old value again.
    HWAVEOUT next = openDevice();
    EXPECT_NE(next, h);
}

TEST_F(WaveOut, WithoutADeviceOpenFailsSilently) {
    headless::setAudioDeviceAvailable(false);
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    auto sentinel = reinterpret_cast<HWAVEOUT>(static_cast<uintptr_t>(0x1234));
    HWAVEOUT h = sentinel;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window), 0,
                          CALLBACK_WINDOW),
              static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(h, sentinel);
    EXPECT_EQ(platform::pendingMessageCount(), 0u);
    EXPECT_EQ(headless::openAudioDevices(), 0u);
    // The calls that follow on the untouched value fail too.
    EXPECT_EQ(waveOutReset(h), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    EXPECT_TRUE(notices().empty());
}

TEST_F(WaveOut, FormatsOtherThanPcmAreRefused) {
    HWAVEOUT h = nullptr;
    format.wFormatTag = 3; // IEEE float
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window), 0,
                          CALLBACK_WINDOW),
              static_cast<MMRESULT>(WAVERR_BADFORMAT));
    format = playerFormat();
    format.nAvgBytesPerSec = 22050; // does not match the rate and block size
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(window), 0,
                          CALLBACK_WINDOW),
              static_cast<MMRESULT>(WAVERR_BADFORMAT));
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(headless::openAudioDevices(), 0u);
    EXPECT_EQ(platform::pendingMessageCount(), 0u);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, nullptr, 0, 0, CALLBACK_NULL),
              static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
}

TEST_F(WaveOut, AnUnpreparedHeaderIsNotWritten) {
    HWAVEOUT h = openDevice();
    auto bytes = pattern(100, 7);
    WAVEHDR hdr = headerFor(bytes);
    EXPECT_EQ(waveOutWrite(h, &hdr, sizeof hdr), static_cast<MMRESULT>(WAVERR_UNPREPARED));
    EXPECT_EQ(hdr.dwFlags & WHDR_INQUEUE, 0u);
    EXPECT_FALSE(headless::audioPlaying());
}

TEST_F(WaveOut, WithoutACallbackNothingIsPostedButHeadersStillFinish) {
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    auto bytes = pattern(1000, 8);
    WAVEHDR hdr = headerFor(bytes);
    queue(h, hdr);
    headless::advanceAudio(1s);
    EXPECT_NE(hdr.dwFlags & WHDR_DONE, 0u);
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(platform::pendingMessageCount(), 0u);
}

TEST_F(WaveOut, QueuedHeadersPlayInOrder) {
    HWAVEOUT h = openDevice();
    auto first = pattern(1000, 10);
    auto second = pattern(500, 20);
    WAVEHDR a = headerFor(first, 0, 0);
    WAVEHDR b = headerFor(second, 0, 0);
    waveOutPrepareHeader(h, &a, sizeof a);
    waveOutPrepareHeader(h, &b, sizeof b);
    waveOutWrite(h, &a, sizeof a);
    ASSERT_EQ(waveOutWrite(h, &b, sizeof b), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(headless::audioBytesRemaining(), 1000u); // the second waits its turn

    headless::advanceAudio(1s);
    EXPECT_NE(a.dwFlags & WHDR_DONE, 0u);
    EXPECT_NE(b.dwFlags & WHDR_INQUEUE, 0u);
    ASSERT_TRUE(eventually([] { return headless::audioPlaying(); }));
    headless::advanceAudio(1s);
    ASSERT_TRUE(eventually([&] { return (b.dwFlags & WHDR_DONE) != 0; }));

    std::vector<uint8_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(headless::capturedAudio(), expected);
    EXPECT_EQ(notices(), (std::vector<Notice>{{MM_WOM_OPEN, key(h), 0},
                                              {MM_WOM_DONE, key(h), addressOf(a)},
                                              {MM_WOM_DONE, key(h), addressOf(b)}}));
}

TEST_F(WaveOut, ALoopedHeaderPlaysAsOftenAsItsLoopsSay) {
    HWAVEOUT h = openDevice();
    auto bytes = pattern(300, 30);
    WAVEHDR hdr = headerFor(bytes, WHDR_BEGINLOOP | WHDR_ENDLOOP, 2);
    queue(h, hdr);
    headless::advanceAudio(1s);
    EXPECT_EQ(hdr.dwFlags & WHDR_DONE, 0u);
    ASSERT_TRUE(eventually([] { return headless::audioPlaying(); }));
    headless::advanceAudio(1s);
    EXPECT_NE(hdr.dwFlags & WHDR_DONE, 0u);
    std::vector<uint8_t> twice = bytes;
    twice.insert(twice.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(headless::capturedAudio(), twice);
    EXPECT_EQ(notices().size(), 2u); // open, one done
}

TEST_F(WaveOut, ThePositionCountsWhatWasHeardUntilAResetOrALostOutput) {
    HWAVEOUT h = openDevice();
    auto bytes = pattern(11025, 3);
    WAVEHDR hdr = headerFor(bytes);
    queue(h, hdr);
    headless::advanceAudio(200ms);
    MMTIME t{};
    t.wType = TIME_SAMPLES;
    ASSERT_EQ(waveOutGetPosition(h, &t, sizeof t), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(t.u.sample, 2205u);
    t.wType = TIME_MS;
    waveOutGetPosition(h, &t, sizeof t);
    EXPECT_EQ(t.u.ms, 200u);
    t.wType = TIME_SMPTE; // not kept: answered in bytes
    waveOutGetPosition(h, &t, sizeof t);
    EXPECT_EQ(t.wType, static_cast<UINT>(TIME_BYTES));
    EXPECT_EQ(t.u.cb, 2205u);
    EXPECT_EQ(waveOutGetPosition(h, nullptr, sizeof t), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));

    waveOutReset(h);
    waveOutGetPosition(h, &t, sizeof t);
    EXPECT_EQ(t.u.cb, 0u);
    waveOutUnprepareHeader(h, &hdr, sizeof hdr);

    // The output goes away mid-block: the header is done, short of its length.
    queue(h, hdr);
    headless::advanceAudio(100ms);
    headless::loseAudioOutput();
    EXPECT_NE(hdr.dwFlags & WHDR_DONE, 0u);
    waveOutGetPosition(h, &t, sizeof t);
    EXPECT_EQ(t.u.cb, 1102u);
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(waveOutGetPosition(h, &t, sizeof t), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
}

TEST_F(WaveOut, ResetMarksEveryQueuedHeaderDone) {
    HWAVEOUT h = openDevice();
    auto first = pattern(1000, 1);
    auto second = pattern(1000, 2);
    WAVEHDR a = headerFor(first);
    WAVEHDR b = headerFor(second);
    waveOutPrepareHeader(h, &a, sizeof a);
    waveOutPrepareHeader(h, &b, sizeof b);
    waveOutWrite(h, &a, sizeof a);
    waveOutWrite(h, &b, sizeof b);
    EXPECT_EQ(waveOutReset(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(a.dwFlags & (WHDR_INQUEUE | WHDR_DONE), static_cast<DWORD>(WHDR_DONE));
    EXPECT_EQ(b.dwFlags & (WHDR_INQUEUE | WHDR_DONE), static_cast<DWORD>(WHDR_DONE));
    headless::advanceAudio(5s);
    EXPECT_TRUE(headless::capturedAudio().empty());
    EXPECT_EQ(notices(), (std::vector<Notice>{{MM_WOM_OPEN, key(h), 0},
                                              {MM_WOM_DONE, key(h), addressOf(a)},
                                              {MM_WOM_DONE, key(h), addressOf(b)}}));
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
}

TEST_F(WaveOut, ADeviceReportingFromItsOwnThreadPostsTheDoneNotice) {
    ManualDriver& driver = manual;
    HWAVEOUT h = queueOneBlockOnManual();
    WAVEHDR& hdr = block;
    ASSERT_EQ(driver.plays, (std::vector<size_t>{4000}));
    driver.report(0);
    EXPECT_NE(hdr.dwFlags & WHDR_DONE, 0u);
    MSG msg;
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(MM_WOM_OPEN));
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(MM_WOM_DONE));
    EXPECT_EQ(msg.lParam, addressOf(hdr));
    // A second report of the same block changes nothing.
    driver.report(0);
    EXPECT_EQ(platform::pendingMessageCount(), 0u);
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
}

TEST_F(WaveOut, AReportAfterResetOrCloseIsHarmless) {
    ManualDriver& driver = manual;
    HWAVEOUT h = queueOneBlockOnManual();
    WAVEHDR& hdr = block;
    ASSERT_EQ(waveOutReset(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(driver.stops, 1);
    size_t afterReset = notices().size();
    driver.report(0); // late: the block was stopped
    EXPECT_EQ(notices().size(), afterReset);

    // The header is written again; the old report must not end the new block.
    waveOutWrite(h, &hdr, sizeof hdr);
    ASSERT_EQ(driver.plays.size(), 2u);
    driver.report(0);
    EXPECT_NE(hdr.dwFlags & WHDR_INQUEUE, 0u);
    driver.report(1);
    EXPECT_NE(hdr.dwFlags & WHDR_DONE, 0u);
    ASSERT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    size_t afterClose = notices().size();
    driver.report(1);
    EXPECT_EQ(notices().size(), afterClose);
    EXPECT_EQ(notices().back(), (Notice{MM_WOM_CLOSE, key(h), 0}));
}

} // namespace
