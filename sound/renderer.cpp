// The PSG renderer. Each channel is a unipolar pulse voice whose phase runs from
// the buffer's first sample. Instead of stepping sample by sample, a channel's
// list is first folded into events (one per note or rest, carrying the combined
// effect of the control commands before it), and each sounding note adds its
// high phases as runs of bytes. The cost follows the notes and pulse edges, not
// the number of samples.
#include "sound/event_program.h"
#include "sound/figures.h"
#include "sound/sound.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

using namespace events;

// A channel's settings as its controls leave them; before any, a whole note of 32000 samples,
// octave 3, volume 50, gate 6 of 8 and quarter notes.
using Voice = VoiceSettings;

void addPulse(uint8_t* buffer, int64_t from, int64_t to, int64_t period, uint8_t level) {
    forEachHighRun(from, to, period, [buffer, level](int64_t lo, int64_t hi) {
        for (int64_t i = lo; i < hi; ++i)
            buffer[i] = static_cast<uint8_t>(buffer[i] + level);
    });
}

// Traced, the channel is walked and told without adding a sample (`buffer` is unused), up to
// `tracedEnd`; with `onePass` it ends at its first rewind. The player's rendering is not traced.
template <bool Observed, bool Traced = false>
void renderChannel(const Sound& sound, std::span<uint8_t> buffer, int32_t sampleRate, int32_t index,
                   int32_t& position, int64_t tracedEnd = 0, bool onePass = false);

// The watched renderings, out of line: the player's own keeps the registers of its loop.
#if defined(__GNUC__)
[[gnu::noinline]]
#endif
void renderObserved(const Sound& sound, std::span<uint8_t> buffer, int32_t sampleRate,
                    int32_t index, int32_t& position) {
    renderChannel<true>(sound, buffer, sampleRate, index, position);
}

// Every channel that has a read position, with it.
template <typename F> void forEachChannel(Sound& sound, F f) {
    uint32_t visited = 0;
    for (const auto& [name, index] : sound.channelIndex) {
        Sound::breatheEvery(visited, 0x3F);
        auto pos = sound.channelPos.find(name);
        if (pos == sound.channelPos.end() || index < 0 ||
            static_cast<size_t>(index) >= sound.channels.size())
            continue;
        f(index, pos->second);
    }
}

} // namespace

int32_t Sound::render(std::span<uint8_t> buffer, int32_t sampleRate) {
    if (buffer.empty()) return 0;
    std::memset(buffer.data(), 0, buffer.size());
    forEachChannel(*this, [&](int32_t index, int32_t& position) {
        if (observer)
            renderObserved(*this, buffer, sampleRate, index, position);
        else
            renderChannel<false>(*this, buffer, sampleRate, index, position);
    });
    return 0;
}

void Sound::trace(int64_t samples, int32_t sampleRate) {
    if (!observer || samples <= 0) return;
    forEachChannel(*this, [&](int32_t index, int32_t& position) {
        renderChannel<true, true>(*this, {}, sampleRate, index, position, samples);
    });
}

void Sound::tracePass(int32_t index, int32_t sampleRate) {
    if (!observer || index < 0 || static_cast<size_t>(index) >= channels.size()) return;
    int32_t position = 0;
    renderChannel<true, true>(*this, {}, sampleRate, index, position,
                              std::numeric_limits<int64_t>::max(), true);
}

namespace {

#if defined(__GNUC__)
#define MARROWTONE_INLINE [[gnu::always_inline]] inline
#else
#define MARROWTONE_INLINE inline
#endif

// An event's effect fields, which follow its header, into the voice; returns past them.
MARROWTONE_INLINE const int32_t* applyEffect(Voice& voice, uint32_t flags, const int32_t* field) {
    if (flags & Effect::HasWhole) voice.whole = *field++;
    if (flags & Effect::HasOctave) voice.octave = *field++;
    if (flags & Effect::HasDelta)
        voice.octave = static_cast<int32_t>(static_cast<uint32_t>(voice.octave) +
                                            static_cast<uint32_t>(*field++));
    if (flags & Effect::HasVolume) voice.volume = *field++;
    if (flags & Effect::HasGate) voice.gate = *field++;
    if (flags & Effect::HasLength) voice.length = *field++;
    return field;
}

// Why a note of `gate` samples at `level` is silent: the first reason that holds, in the order
// the renderer tests them, and the setting that makes it so.
void tellSilent(SoundObserver* observer, int32_t index, int32_t command, int64_t sample,
                const Voice& voice, int64_t gate, uint8_t level) {
    using Silence = SoundObserver::Silence;
    const Silence why = gate <= 0 ? Silence::Gate : level == 0 ? Silence::Volume : Silence::Octave;
    const int64_t setting = why == Silence::Gate     ? voice.gate
                            : why == Silence::Volume ? voice.volume
                                                     : voice.octave;
    observer->silent(index, command, sample, why, setting);
}

// A note of `n` samples from `sample`: its high phases added (or, traced, only told), up to
// `end`.
template <bool Observed, bool Traced>
MARROWTONE_INLINE void playNote(const Sound& sound, uint8_t* buffer, int32_t sampleRate,
                                int32_t index, int32_t command, const Voice& voice,
                                uint32_t semitone, int64_t sample, int64_t n, int64_t end) {
    [[maybe_unused]] SoundObserver* const observer = sound.observer;
    const int64_t g = figures::gateSamples(n, voice.gate);
    const uint8_t level = figures::levelOf(voice.volume);
    if (g > 0 && level != 0 && voice.octave >= figures::lowestOctave &&
        voice.octave <= figures::highestOctave && sampleRate > 0) {
        const int64_t period =
            figures::periodOf(sound.noteFreq[voice.octave][semitone], sampleRate);
        if (period >= figures::shortestPeriod) {
            const int64_t to = std::min(sample + std::min(g, n), end);
            if constexpr (!Traced) addPulse(buffer, sample, to, period, level);
            if constexpr (Observed) observer->sounds(index, command, sample, to, period, level);
        } else if constexpr (Observed) {
            observer->silent(index, command, sample, SoundObserver::Silence::TooHigh, period);
        }
    } else if constexpr (Observed) {
        if (sampleRate > 0) tellSilent(observer, index, command, sample, voice, g, level);
    }
}

template <bool Observed, bool Traced>
void renderChannel(const Sound& sound, std::span<uint8_t> buffer, int32_t sampleRate, int32_t index,
                   int32_t& position, [[maybe_unused]] int64_t tracedEnd,
                   [[maybe_unused]] bool onePass) {
    [[maybe_unused]] SoundObserver* const observer = sound.observer;
    const CommandList& list = sound.channels[index];
    const int64_t end = Traced ? tracedEnd : static_cast<int64_t>(buffer.size());
    const Program loop = compile<Observed>(list, 0, observer, index, end);
    const Program head =
        position == 0 ? Program() : compile<Observed>(list, position, observer, index, end);
    const Program* program = position == 0 ? &loop : &head;

    Voice voice;
    int64_t sample = 0;
    bool rewound = false;
    bool metSound = false;
    size_t w = 0;
    uint32_t events = 0;

    for (;;) {
        Sound::breatheEvery(events, 0x3FF);
        const int32_t* word = program->words.data() + w;
        const uint32_t header = static_cast<uint32_t>(word[0]);
        const auto kind = static_cast<EventKind>(header & 3);
        const int32_t positionAfter = word[1];
        const int32_t* field =
            applyEffect(voice, header >> 8, word + (kind == RewindEvent ? 2 : 3));
        w = static_cast<size_t>(field - program->words.data());

        if (kind == RewindEvent) {
            position = positionAfter;
            if constexpr (Traced)
                if (onePass) return;
            // A list that holds nothing to play would rewind forever without a
            // sample passing: the channel stops here instead.
            if (rewound && !metSound) {
                if constexpr (Observed) observer->stopped(index, sample);
                return;
            }
            if constexpr (Observed)
                if (metSound) observer->rewound(index, sample);
            rewound = true;
            metSound = false;
            position = 0;
            program = &loop;
            w = 0;
            continue;
        }

        metSound = true;
        position = positionAfter;
        const int64_t n = figures::noteSamples(voice.whole, word[2], voice.length);
        if (kind == NoteEvent)
            playNote<Observed, Traced>(sound, buffer.data(), sampleRate, index, positionAfter - 1,
                                       voice, (header >> 2) & 15, sample, n, end);
        if constexpr (Observed)
            observer->played(index, positionAfter - 1, sample, std::min(sample + n, end));
        sample += n;
        if (sample >= end) return;
    }
}

#undef MARROWTONE_INLINE

} // namespace
