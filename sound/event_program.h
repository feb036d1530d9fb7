// A channel's command list folded into events for the renderer: one per note or rest,
// carrying the combined effect of the control commands before it. The settings walk reads
// the same table of command texts, so what it reports is what the renderer plays.
#pragma once

#include "sound/figures.h"
#include "sound/sound.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace events {

enum class Kind : uint8_t { Note, Rest, Control, Unknown };
enum Control : uint8_t { Tempo, Octave, Volume, Gate, Down, Up, OpenParen, CloseParen, Length };

struct Code {
    Kind kind;
    uint8_t arg; // semitone for notes, the control for controls
};

// Semitones of the natural notes above C, by letter from A.
constexpr uint8_t kNatural[7] = {9, 11, 0, 2, 4, 5, 7};

// The fixed table of command texts, compared byte for byte.
inline Code commandCode(std::string_view cmd) {
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
inline VoiceSettings applied(VoiceSettings v, const Effect& e) {
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

inline void emit(Program& program, EventKind kind, uint32_t semitone, int32_t positionAfter,
                 int32_t value, const Effect& effect) {
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

} // namespace events
