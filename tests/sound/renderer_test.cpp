#include "sound/reference/naive_render.h"
#include "tests/sound/test_support.h"

#include <random>

namespace {

// The expected byte of one voice with period p at index i.
uint8_t pulse(int64_t i, int64_t p, uint8_t level) {
    return i % p < p / 3 ? level : 0;
}

std::vector<uint8_t> render(Sound& s, size_t samples, int32_t rate = 11025) {
    return renderOf(s, samples, rate);
}

std::vector<uint8_t> render(Sound&& s, size_t samples, int32_t rate = 11025) {
    return renderOf(s, samples, rate);
}

std::vector<uint8_t> renderText(const std::string& text, size_t samples, int32_t rate = 11025) {
    return render(loadText(text), samples, rate);
}

} // namespace

TEST(RenderBasics, EmptyBufferReadsNothingAndEmptyScoreIsSilence) {
    Sound s = scoreOf({{"A", {{"C", 0}, {"D", 0}}}});
    s.nextCommand("A");
    std::vector<uint8_t> none;
    EXPECT_EQ(s.render(none, 11025), 0);
    EXPECT_EQ(s.channelPos.at("A"), 1);

    Sound empty = loadText("");
    for (uint8_t b : render(empty, 5000))
        ASSERT_EQ(b, 0);
}

TEST(RenderBasics, OneNoteAtTheDefaultsRepeatsEvery8000Samples) {
    const auto buffer = render(scoreOf({{"A", {{"C", 0}}}}), 661500);
    // 11025 / 261.63 Hz gives a period of 42 and a high phase of 14.
    for (int64_t i = 0; i < 661500; ++i) {
        const int64_t inNote = i % 8000;
        const uint8_t expected = inNote < 6000 ? pulse(i, 42, 50) : 0;
        ASSERT_EQ(buffer[i], expected) << "sample " << i;
    }
    EXPECT_EQ(buffer[8000], 0); // phase runs from the buffer's start: 8000 % 42 = 20
    EXPECT_EQ(buffer[8022], 50);
}

TEST(RenderBasics, TempoDefaultLengthAndGate) {
    // T120 gives 29166 samples a whole note; L8 makes notes 3645 long, sounding 2733.
    const auto b = renderText("A t120 l8 a", 20000);
    // A at octave 3 is 440 Hz: period 25, high phase 8.
    for (int64_t i = 0; i < 20000; ++i) {
        const uint8_t expected = i % 3645 < 3645 * 6 / 8 ? pulse(i, 25, 50) : 0;
        ASSERT_EQ(b[i], expected) << i;
    }
    // Gate 8 and above: no gap between notes.
    const auto full = renderText("A q8 a", 20000);
    for (int64_t i = 0; i < 20000; ++i)
        ASSERT_EQ(full[i], pulse(i, 25, 50)) << i;
    const auto over = renderText("A q200 a", 20000);
    EXPECT_EQ(over, full);
}

TEST(RenderBasics, VolumeUsesItsLowEightBits) {
    const auto v256 = renderText("A v256 c", 8000);
    for (uint8_t b : v256)
        ASSERT_EQ(b, 0);
    EXPECT_EQ(renderText("A v300 c", 8000), renderText("A v44 c", 8000));
    EXPECT_EQ(renderText("A v44 c", 8000)[0], 44);
}

TEST(RenderBasics, ChannelsAddModulo256InAnyOrder) {
    const auto ab = renderText("A v200 c\nB v200 c", 8000);
    const auto ba = renderText("B v200 c\nA v200 c", 8000);
    EXPECT_EQ(ab, ba);
    EXPECT_EQ(ab[0], 144);
    EXPECT_EQ(ab[20], 0);
    // Different pitches mix sample by sample.
    const auto mixed = renderText("A v100 c\nB v100 g", 6000);
    const auto c = renderText("A v100 c", 6000), g = renderText("B v100 g", 6000);
    for (size_t i = 0; i < mixed.size(); ++i)
        ASSERT_EQ(mixed[i], uint8_t(c[i] + g[i])) << i;
}

TEST(RenderCommands, RestsParenthesesAndPhaseContinuity) {
    // A rest keeps silence for its length; the next note picks up the running phase.
    const auto b = renderText("A q8 r8 c8", 8000);
    for (int64_t i = 0; i < 4000; ++i)
        ASSERT_EQ(b[i], 0) << i;
    for (int64_t i = 4000; i < 8000; ++i)
        ASSERT_EQ(b[i], pulse(i, 42, 50)) << i;
    EXPECT_EQ(renderText("A ( c )5 (", 30000), renderText("A c", 30000));
}

TEST(RenderCommands, RelativeOctavesCarryOverTheRewindButOSetsAnew) {
    const auto climbing = renderText("A q8 > c", 24000);
    const int64_t periods[] = {21, 10, 5}; // octaves 4, 5 and 6
    for (int64_t note = 0; note < 3; ++note)
        for (int64_t i = note * 8000; i < note * 8000 + 8000; ++i)
            ASSERT_EQ(climbing[i], pulse(i, periods[note], 50)) << i;
    const auto fixed = renderText("A q8 o4 > c", 24000);
    for (int64_t i = 0; i < 24000; ++i)
        ASSERT_EQ(fixed[i], pulse(i, 10, 50)) << i;
    // Other voice settings carry over the rewind too: the second pass is louder.
    const auto louder = renderText("A q8 c v99", 16000);
    EXPECT_EQ(louder[0], 50);
    EXPECT_EQ(louder[8022], 99);
}

TEST(RenderCommands, UnknownTextsRewindTheChannel) {
    // "R+" is no command of the renderer: the list starts again there.
    EXPECT_EQ(renderText("A c4 r+ d", 40000), renderText("A c4", 40000));
    Sound s = scoreOf({{"A", {{"C", 0}, {"X", 0}, {"D", 0}}}});
    EXPECT_EQ(render(s, 40000), renderText("A c", 40000));
}

TEST(RenderDecisions, DottedLengthsAddHalfOfTheDotBefore) {
    // Quarter, dotted quarter, double-dotted quarter: 8000, 12000, 14000 samples.
    const auto b = renderText("A q8 c4.. r", 14000 + 8000);
    for (int64_t i = 0; i < 14000; ++i)
        ASSERT_EQ(b[i], pulse(i, 42, 50)) << i;
    for (int64_t i = 14000; i < 22000; ++i)
        ASSERT_EQ(b[i], 0) << i;
    // 255 dots count as 24: 32000 * (2^25 - 1) / (4 * 2^24) = 15999.
    Sound many = scoreOf({{"A", {{"Q", 8}, {"C", 4 * 256 + 255}, {"R", 0}}}});
    const auto m = render(many, 16100);
    EXPECT_EQ(m[15960], 50);
    EXPECT_EQ(m[16002], 0); // a period starts here, but the rest began at 15999
}

TEST(RenderDecisions, ZeroTempoAndZeroLengthAreIgnored) {
    EXPECT_EQ(renderText("A t0 l0 c", 30000), renderText("A c", 30000));
    EXPECT_EQ(renderText("A t120 t0 c", 30000), renderText("A t120 c", 30000));
}

TEST(RenderDecisions, DurationsBelowOneSampleLastOneSample) {
    // T above 3,500,000 makes the whole note 0 samples: every note lasts one sample
    // and sounds for trunc(1 * 8 / 8) = 1 with gate 8, for none with gate 6.
    const auto fast = renderText("A t4000000 q8 c", 100);
    for (int64_t i = 0; i < 100; ++i)
        ASSERT_EQ(fast[i], pulse(i, 42, 50)) << i;
    const auto gated = renderText("A t4000000 c", 100);
    for (uint8_t b : gated)
        ASSERT_EQ(b, 0);
    Sound negative = scoreOf({{"A", {{"L", -4}, {"Q", 8}, {"C", 0}}}});
    EXPECT_EQ(render(negative, 100), fast);
}

TEST(RenderDecisions, SilentNotesStillTakeTheirTime) {
    // Gate 0: silent for the whole note, then the next note plays on time.
    const auto gate0 = renderText("A q0 c q8 c", 16000);
    for (int64_t i = 0; i < 8000; ++i)
        ASSERT_EQ(gate0[i], 0) << i;
    EXPECT_EQ(gate0[8022], 50);
    // Octaves outside 0..8 are silent, and later steps count from them.
    const auto high = renderText("A q8 o9 c <<< c", 16000);
    for (int64_t i = 0; i < 8000; ++i)
        ASSERT_EQ(high[i], 0) << i;
    for (int64_t i = 8000; i < 16000; ++i)
        ASSERT_EQ(high[i], pulse(i, 5, 50)) << i;
    const auto low = renderText("A q8 o0 < c > c", 16000);
    for (int64_t i = 0; i < 8000; ++i)
        ASSERT_EQ(low[i], 0) << i;
    EXPECT_EQ(low[8088], 50); // octave 0: period 337
    // Periods below 3 (octave 6 A+ at 11025 Hz is 2) write nothing.
    const auto shrill = renderText("A q8 o6 a+", 8000);
    for (uint8_t b : shrill)
        ASSERT_EQ(b, 0);
    const auto audible = renderText("A q8 o6 a", 8000); // period 3
    EXPECT_EQ(audible[0], 50);
}

TEST(RenderDecisions, ChannelsWithNothingToPlayStopAndLeaveTheirPosition) {
    Sound s = scoreOf({{"A", {{"T", 100}, {"V", 20}}}, {"B", {{"C", 0}}}});
    const auto b = render(s, 20000);
    EXPECT_EQ(b, renderText("B c", 20000));
    EXPECT_EQ(s.channelPos.at("A"), 2);
    Sound empty = scoreOf({{"A", {}}});
    for (uint8_t x : render(empty, 1000))
        ASSERT_EQ(x, 0);
    // A second render continues where the first one stopped reading.
    Sound two = scoreOf({{"A", {{"C", 0}, {"D", 0}}}});
    render(two, 8000);
    EXPECT_EQ(two.channelPos.at("A"), 1);
}

TEST(RenderDecisions, SampleRateOnlyChangesThePitch) {
    const auto b = renderText("A q8 c", 8000, 22050); // period 84, high phase 28
    for (int64_t i = 0; i < 8000; ++i)
        ASSERT_EQ(b[i], pulse(i, 84, 50)) << i;
    for (uint8_t x : renderText("A c", 1000, 0))
        ASSERT_EQ(x, 0);
    for (uint8_t x : renderText("A c", 1000, -11025))
        ASSERT_EQ(x, 0);
}

TEST(RenderOracle, MatchesTheSampleBySampleReadingOnRandomScores) {
    std::mt19937 random(12345);
    const char* const commands[] = {"C",  "C+", "D-", "D",  "E", "F", "G", "A",
                                    "B-", "B+", "C-", "E+", "R", "T", "O", "V",
                                    "Q",  "L",  "<",  ">",  "(", ")", "X", "R+"};
    for (int round = 0; round < 60; ++round) {
        std::vector<std::pair<std::string, Records>> channels;
        const int channelCount = 1 + random() % 5;
        for (int c = 0; c < channelCount; ++c) {
            Records records;
            const int length = random() % 30;
            for (int i = 0; i < length; ++i) {
                std::string cmd = commands[random() % std::size(commands)];
                int32_t value = 0;
                if (cmd == "T")
                    value = static_cast<int32_t>(random() % 400) - 20;
                else if (cmd == "O")
                    value = static_cast<int32_t>(random() % 11) - 1;
                else if (cmd == "V")
                    value = static_cast<int32_t>(random() % 300);
                else if (cmd == "Q")
                    value = static_cast<int32_t>(random() % 11) - 1;
                else if (cmd == "L")
                    value = static_cast<int32_t>(random() % 40) - 2;
                else
                    value = static_cast<int32_t>((random() % 70) * 256 + random() % 4);
                if (cmd == "X" && random() % 4) continue; // keep unknown texts rare
                records.emplace_back(cmd, value);
            }
            channels.emplace_back("ch" + std::to_string(c), records);
        }
        // Some buffers shorter than the lists, which the renderer then reads only in part.
        const size_t samples = round % 5 == 2 ? 1 + random() % 40 : 1 + random() % 120000;
        const int32_t rate = round % 3 == 0 ? 11025 : 4000 + static_cast<int32_t>(random() % 40000);
        Sound fast = scoreOf(channels), slow = scoreOf(channels);
        // Start some channels mid-list, as a second render would.
        if (round % 4 == 1)
            for (auto& [name, pos] : fast.channelPos) {
                const auto size =
                    static_cast<int32_t>(fast.channels[fast.channelIndex[name]].size());
                pos = size ? static_cast<int32_t>(random() % (size + 1)) : 0;
                slow.channelPos[name] = pos;
            }
        std::vector<uint8_t> a(samples), b(samples);
        fast.render(a, rate);
        naive::render(slow, b, rate);
        ASSERT_EQ(a, b) << "round " << round;
        EXPECT_EQ(fast.channelPos, slow.channelPos) << "round " << round;
    }
}

TEST(RenderBasics, LongWorkBreathesWithoutChangingWhatItMakes) {
    TempDir dir;
    std::string text = "A t255 l64 [c d e]400000\n";
    for (int c = 0; c < 600; ++c)
        text += "B" + std::to_string(c) + " r1 c\n";
    const std::string file = dir.write("long.mml", text);
    std::vector<uint8_t> quiet(50000), breathing(50000);
    Sound a, b;
    a.load(file);
    a.render(quiet, 11025);
    static int breaths = 0;
    Sound::breather = []() noexcept { ++breaths; };
    b.load(file);
    b.render(breathing, 11025);
    Sound::breather = nullptr;
    EXPECT_GE(breaths, 3); // the repeat's copy, and twice among the channels
    EXPECT_EQ(quiet, breathing);
}
