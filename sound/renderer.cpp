// The PSG renderer. Each channel is a unipolar pulse voice whose phase runs from
// the buffer's first sample. Instead of stepping sample by sample, a channel's
// list is first folded into events (one per note or rest, carrying the combined
// effect of the control commands before it), and each sounding note adds its
// high phases as runs of bytes. The cost follows the notes and pulse edges, not
// the number of samples.
#include "sound/figures.h"
#include "sound/sound.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

enum class Kind : uint8_t { Note, Rest, Control, Unknown };
enum Control : uint8_t { Tempo, Octave, Volume, Gate, Down, Up, OpenParen, CloseParen, Length };

struct Code {
    Kind kind;
    uint8_t arg; // semitone for notes, the control for controls
};

// Semitones of the natural notes above C, by letter from A.
constexpr uint8_t kNatural[7] = {9, 11, 0, 2, 4, 5, 7};

// The fixed table of command texts, compared byte for byte.
Code commandCode(std::string_view cmd) {
    if (cmd.empty() || cmd.size() > 2) return {Kind::Unknown, 0};
    const char first = cmd[0];
    const bool letter = first >= 'A' && first <= 'G';
    if (cmd.size() == 2) {
        if (!letter || (cmd[1] != '+' && cmd[1] != '-')) return {Kind::Unknown, 0};
        const int semitone = (kNatural[first - 'A'] + (cmd[1] == '+' ? 1 : 11)) % 12;
        return {Kind::Note, static_cast<uint8_t>(semitone)};
    }
    if (letter) return {Kind::Note, kNatural[first - 'A']};
    if (first == 'R') return {Kind::Rest, 0};
    // The control letters in the order of Control.
    constexpr std::string_view kControls = "TOVQ<>()L";
    const size_t control = kControls.find(first);
    if (control == std::string_view::npos) return {Kind::Unknown, 0};
    return {Kind::Control, static_cast<uint8_t>(control)};
}

// A channel's settings as its controls leave them; before any, a whole note of 32000 samples,
// octave 3, volume 50, gate 6 of 8 and quarter notes.
using Voice = VoiceSettings;

// The combined effect of a run of control commands: the last setting of each
// field wins, and relative octave steps add up behind the last "O".
struct Effect {
    enum : uint32_t {
        HasWhole = 1,
        HasOctave = 2,
        HasDelta = 4,
        HasVolume = 8,
        HasGate = 16,
        HasLength = 32
    };
    uint32_t flags = 0;
    int32_t whole = 0, octave = 0, volume = 0, gate = 0, length = 0;
    uint32_t delta = 0; // octave steps, wrapping like the 32-bit octave itself

    void add(uint8_t control, int32_t value) {
        switch (control) {
        case Tempo:
            if (value != 0) whole = figures::wholeOfTempo(value), flags |= HasWhole;
            break;
        case Octave:
            octave = value, delta = 0, flags = (flags | HasOctave) & ~HasDelta;
            break;
        case Volume:
            volume = value, flags |= HasVolume;
            break;
        case Gate:
            gate = value, flags |= HasGate;
            break;
        case Length:
            if (value != 0) length = value, flags |= HasLength;
            break;
        case Down:
            delta -= 1, flags |= HasDelta;
            break;
        case Up:
            delta += 1, flags |= HasDelta;
            break;
        default:
            break;
        }
    }
};

// The settings once an effect has taken hold, in the order the renderer reads its fields.
VoiceSettings applied(VoiceSettings v, const Effect& e) {
    if (e.flags & Effect::HasWhole) v.whole = e.whole;
    if (e.flags & Effect::HasOctave) v.octave = e.octave;
    if (e.flags & Effect::HasDelta)
        v.octave = static_cast<int32_t>(static_cast<uint32_t>(v.octave) + e.delta);
    if (e.flags & Effect::HasVolume) v.volume = e.volume;
    if (e.flags & Effect::HasGate) v.gate = e.gate;
    if (e.flags & Effect::HasLength) v.length = e.length;
    return v;
}

// Events are packed into 32-bit words: a header (kind, semitone, which effect
// fields follow), the read position after the event, the note's value, then the
// effect's fields. Most notes carry no effect and take three words.
enum EventKind : uint32_t { NoteEvent = 0, RestEvent = 1, RewindEvent = 2 };

struct Program {
    std::vector<int32_t> words;
};

void emit(Program& program, EventKind kind, uint32_t semitone, int32_t positionAfter, int32_t value,
          const Effect& effect) {
    auto& w = program.words;
    w.push_back(static_cast<int32_t>(kind | (semitone << 2) | (effect.flags << 8)));
    w.push_back(positionAfter);
    if (kind != RewindEvent) w.push_back(value);
    if (effect.flags & Effect::HasWhole) w.push_back(effect.whole);
    if (effect.flags & Effect::HasOctave) w.push_back(effect.octave);
    if (effect.flags & Effect::HasDelta) w.push_back(static_cast<int32_t>(effect.delta));
    if (effect.flags & Effect::HasVolume) w.push_back(effect.volume);
    if (effect.flags & Effect::HasGate) w.push_back(effect.gate);
    if (effect.flags & Effect::HasLength) w.push_back(effect.length);
}

// Folds the list from `from` up to the first text outside the command table (or
// the list's end), where the channel rewinds. With Observed, the t0 and l0 left
// out of the fold are told to the observer. Without, the fold stops after `notes`
// notes and rests: each lasts at least a sample, so a rendering of that many samples
// never reads further, and a huge list costs no more than its heard part.
template <bool Observed>
Program compile(const CommandList& list, int32_t from, [[maybe_unused]] SoundObserver* observer,
                [[maybe_unused]] int32_t channel, [[maybe_unused]] int64_t notes) {
    Program program;
    Effect effect;
    const int64_t size = static_cast<int64_t>(list.size());
    if (from < 0 || from >= size) {
        emit(program, RewindEvent, 0, from, 0, effect);
        return program;
    }
    uint32_t read = 0;
    for (int64_t j = from;; ++j) {
        Sound::breatheEvery(read, 0x3FFF);
        if (j == size) {
            // The end record leaves the read position where it is.
            emit(program, RewindEvent, 0, static_cast<int32_t>(size), 0, effect);
            return program;
        }
        const int32_t value = list.value(j);
        const Code code = commandCode(list.text(j));
        switch (code.kind) {
        case Kind::Control:
            if constexpr (Observed) {
                if (value == 0 && (code.arg == Tempo || code.arg == Length))
                    observer->ignored(channel, static_cast<int32_t>(j),
                                      code.arg == Tempo ? SoundObserver::Ignored::Tempo
                                                        : SoundObserver::Ignored::Length);
            }
            effect.add(code.arg, value);
            break;
        case Kind::Unknown:
            emit(program, RewindEvent, 0, static_cast<int32_t>(j + 1), 0, effect);
            return program;
        case Kind::Note:
        case Kind::Rest:
            emit(program, code.kind == Kind::Note ? NoteEvent : RestEvent, code.arg,
                 static_cast<int32_t>(j + 1), value, effect);
            if constexpr (!Observed)
                if (--notes <= 0) return program;
            effect = Effect();
            break;
        }
    }
}

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

int32_t Sound::semitoneOf(std::string_view cmd) {
    const Code code = commandCode(cmd);
    return code.kind == Kind::Note ? code.arg : -1;
}

void Sound::walkSettings(
    int32_t index, const std::function<void(int64_t command, const VoiceSettings&)>& step) const {
    if (index < 0 || static_cast<size_t>(index) >= channels.size()) return;
    const CommandList& list = channels[static_cast<size_t>(index)];
    VoiceSettings voice;
    Effect effect;
    uint32_t read = 0;
    for (size_t j = 0; j < list.size(); ++j) {
        breatheEvery(read, 0x3FFF);
        const Code code = commandCode(list.text(j));
        if (code.kind == Kind::Unknown) return; // where the renderer rewinds
        if (code.kind == Kind::Control) {
            effect.add(code.arg, list.value(j));
            step(static_cast<int64_t>(j), applied(voice, effect));
            continue;
        }
        voice = applied(voice, effect);
        effect = Effect();
        step(static_cast<int64_t>(j), voice);
    }
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
        const int64_t period = figures::periodOf(sound.noteFreq[voice.octave][semitone], sampleRate);
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
