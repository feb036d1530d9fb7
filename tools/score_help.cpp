#include "tools/score_help.h"

#include "sound/figures.h"
#include "sound/sound.h"
#include "tools/report/places_watch.h"
#include "tools/report/score_report.h"
#include "tools/score_text.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

namespace {

// Hands the loader's places on, and notes the command whose text covers a place.
class Finder final : public PlacesWatch {
public:
    Finder(ScorePlaces& places, int64_t line, int64_t column)
        : PlacesWatch(places), line_(line), column_(column) {}

    void read(int32_t channel, int32_t command, int64_t line, int64_t column,
              int64_t length) override {
        PlacesWatch::read(channel, command, line, column, length);
        const TextPlace at = places_.here(column);
        if (at.line == line_ && at.column <= column_ && column_ < at.column + length)
            found = {channel, command};
    }

    std::optional<std::pair<int32_t, int64_t>> found;

private:
    int64_t line_;
    int64_t column_;
};

// `value` with at most `decimals` decimals, without trailing zeros.
std::string number(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

std::string beatsText(double beats) {
    return number(beats, 4) + (beats == 1 ? " beat" : " beats");
}

// How long a note or rest lasts: "1 beat, 0.661 s".
std::string lengthText(int32_t value, const VoiceSettings& voice, int32_t rate) {
    return beatsText(figures::noteBeats(value, voice.length)) + ", " +
           secondsText(figures::noteSamples(voice.whole, value, voice.length), rate);
}

// Whether and how a note at these settings sounds, in the renderer's order of reasons.
std::string pitchText(const Sound& sound, int32_t semitone, const VoiceSettings& voice,
                      int32_t rate) {
    if (voice.gate <= 0) return "not heard at q" + std::to_string(voice.gate);
    if (figures::levelOf(voice.volume) == 0) return "not heard at v" + std::to_string(voice.volume);
    if (voice.octave < figures::lowestOctave || voice.octave > figures::highestOctave)
        return "not heard (octaves " + std::to_string(figures::lowestOctave) + " to " +
               std::to_string(figures::highestOctave) + " sound)";
    const double pitch =
        sound.noteFreq[static_cast<size_t>(voice.octave)][static_cast<size_t>(semitone)];
    const int64_t period = figures::periodOf(pitch, rate);
    if (period < figures::shortestPeriod)
        return number(pitch, 0) + " Hz, too high to be heard at " + std::to_string(rate) + " Hz";
    const double heard = static_cast<double>(rate) / static_cast<double>(period);
    const long cents = std::lround(1200 * std::log2(heard / pitch));
    return number(pitch, 0) + " Hz, " +
           (cents == 0 ? std::string("in tune") : std::to_string(cents) + " cents sharp") +
           " at this rate";
}

std::string noteText(const Sound& sound, std::string_view cmd, int32_t value,
                     const VoiceSettings& voice, int32_t rate) {
    std::string name(cmd);
    name[0] = static_cast<char>(name[0] - 'A' + 'a');
    const std::string length = lengthText(value, voice, rate);
    if (cmd == "R") return "r: a rest of " + length;
    return "o" + std::to_string(voice.octave) + " " + name + ": " +
           pitchText(sound, Sound::semitoneOf(cmd), voice, rate) + "; " + length;
}

std::string volumeText(int32_t value) {
    const std::string v = "v" + std::to_string(value);
    const uint8_t level = figures::levelOf(value);
    if (level != value) return v + " plays as " + std::to_string(level) + (level ? "" : ": silent");
    return value == 0 ? v + ": silent" : v + ": a level of " + std::to_string(level) + " of 255";
}

std::string gateText(int32_t value) {
    const std::string q = "q" + std::to_string(value);
    const std::string whole = std::to_string(figures::gateSteps);
    if (value <= 0) return q + ": notes are not heard";
    if (value >= figures::gateSteps)
        return q + (value > figures::gateSteps ? " plays as q" + whole : "") +
               ": notes sound their whole length";
    return q + ": notes sound for " + std::to_string(value) + "/" + whole + " of their length";
}

std::string controlText(char control, int32_t value, const VoiceSettings& voice, int32_t rate) {
    const std::string v = std::to_string(value);
    switch (control) {
    case 'T':
        if (value == 0) return "t0 is ignored: the tempo stays as it was";
        return "t" + v + ": a quarter lasts " +
               secondsText(figures::noteSamples(figures::wholeOfTempo(value), 4 << 8, 4), rate);
    case 'L':
        if (value == 0)
            return "l0 is ignored: a note without a length stays l" + std::to_string(voice.length);
        return "l" + v + ": a note without a length lasts " + lengthText(0, voice, rate);
    case 'V':
        return volumeText(value);
    case 'Q':
        return gateText(value);
    case 'O':
    case '<':
    case '>': {
        const std::string to = control == 'O' ? "o" + v + ": octave " + v
                                              : std::string(1, control) + ": one octave " +
                                                    (control == '<' ? "down" : "up") + ", to o" +
                                                    std::to_string(voice.octave);
        if (voice.octave < figures::lowestOctave || voice.octave > figures::highestOctave)
            return to + ", where notes are not heard";
        return to;
    }
    default:
        return std::string(1, control) + ": no effect on the sound";
    }
}

} // namespace

std::string commandHelp(const std::string& name, const std::string& text, int64_t line,
                        int64_t column, int32_t rate) {
    Sound sound;
    ScorePlaces places;
    Finder finder(places, line, column);
    sound.observer = &finder;
    loadScoreAt(sound, places, name, &text);
    sound.observer = nullptr;
    if (!finder.found) return {};
    // Plain names: the page's compiler cannot capture a structured binding in a lambda.
    const int32_t channel = finder.found->first;
    const int64_t command = finder.found->second;
    std::optional<VoiceSettings> voice;
    sound.walkSettings(channel, [&voice, command](int64_t j, const VoiceSettings& v) {
        if (j == command) voice = v;
    });
    if (!voice) return {};
    const CommandList& list = sound.channels[static_cast<size_t>(channel)];
    const std::string_view cmd = list.text(static_cast<size_t>(command));
    const int32_t value = list.value(static_cast<size_t>(command));
    if (cmd == "R" || Sound::semitoneOf(cmd) >= 0) return noteText(sound, cmd, value, *voice, rate);
    return controlText(cmd.empty() ? ' ' : cmd[0], value, *voice, rate);
}

std::vector<LineLength> lineLengths(const std::string& name, const std::string& text) {
    Sound sound;
    ScorePlaces places;
    Finder finder(places, 0, 0);
    sound.observer = &finder;
    loadScoreAt(sound, places, name, &text);
    sound.observer = nullptr;
    std::map<int64_t, LineLength> lines;
    for (int32_t c = 0; c < sound.channelCount; ++c) {
        const CommandList& list = sound.channels[static_cast<size_t>(c)];
        sound.walkSettings(c, [&](int64_t j, const VoiceSettings& v) {
            const std::string_view cmd = list.text(static_cast<size_t>(j));
            if (cmd != "R" && Sound::semitoneOf(cmd) < 0) return;
            const int32_t value = list.value(static_cast<size_t>(j));
            LineLength& l = lines[places.placeOf(c, j).line];
            l.beats += figures::noteBeats(value, v.length);
            l.samples += figures::noteSamples(v.whole, value, v.length);
        });
    }
    std::vector<LineLength> out;
    out.reserve(lines.size());
    for (auto& [number, length] : lines) {
        length.line = number;
        out.push_back(length);
    }
    return out;
}
