// The studio's engine, run in a Web Worker: the score the author is writing, rendered as
// the player renders it and examined as marrowtone-render --check and --info examine it,
// with the tool's own code, so that the page can tell nothing the tool would not.
#include "sound/play_format.h"
#include "sound/sound.h"
#include "tools/render_options.h"
#include "tools/report/score_report.h"
#include "tools/score_help.h"
#include "tools/score_map.h"
#include "tools/score_text.h"
#include "tools/wav.h"

#include <emscripten/emscripten.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

// What the last call left for the page to read; one score at a time, as the worker runs
// one job at a time.
struct Result {
    std::vector<uint8_t> bytes;
    std::string text;
    std::vector<double> notes;
};

// The map of the score last checked: playing from the cursor asks it again and again while
// the text stays the same.
struct Mapped {
    std::string text;
    std::optional<ScoreMap> map;
};

Mapped& mapped() {
    static auto* m = new Mapped;
    return *m;
}

// Where the notes sound, for the page to show while playing: per channel its count, then
// from, to, line, column, length, rest and period for each note. Only as much as the page can
// follow frame by frame; past that it shows the time alone.
constexpr size_t kShownChannels = 256;
constexpr size_t kShownNotes = 200'000;

std::vector<double> notesOf(const ScoreMap& map) {
    std::vector<double> out;
    size_t total = 0;
    for (const ChannelMap& c : map.channels())
        total += c.notes.size();
    if (total > kShownNotes || map.channels().size() > kShownChannels) return out;
    for (const ChannelMap& c : map.channels()) {
        out.push_back(static_cast<double>(c.notes.size()));
        for (const HeardNote& n : c.notes)
            out.insert(out.end(), {static_cast<double>(n.from), static_cast<double>(n.to),
                                   static_cast<double>(n.line), static_cast<double>(n.column),
                                   static_cast<double>(n.length), n.rest ? 1.0 : 0.0,
                                   static_cast<double>(n.period)});
    }
    return out;
}

// The page names channels as --info shows them; the engine knows them as the score spells them.
std::vector<std::string> spelledNames(const Sound& sound, std::string_view shown) {
    std::vector<std::string> out;
    while (!shown.empty()) {
        const size_t end = shown.find('\n');
        const std::string_view one = shown.substr(0, end);
        for (const auto& [name, index] : sound.channelIndex)
            if (score_text::readableName(name) == one) out.push_back(name);
        shown = end == std::string_view::npos ? std::string_view() : shown.substr(end + 1);
    }
    return out;
}

Result& result() {
    static auto* r = new Result;
    return *r;
}

// The name the page's score goes by in the tool's messages.
constexpr const char* kName = "score.mml";

// The samples [from, to) that marrowtone-render --from FROM --to TO keeps of a rendering, its
// options read by its own parser; empty times keep the whole. Throws its message otherwise,
// named for the page's fields.
std::pair<size_t, size_t> keptRange(std::string_view range) {
    const size_t cut = range.find('\n');
    std::vector<std::string> args;
    for (const auto& [option, time] :
         {std::pair{"--from", range.substr(0, cut)},
          std::pair{"--to",
                    cut == std::string_view::npos ? std::string_view() : range.substr(cut + 1)}})
        if (!time.empty()) args.insert(args.end(), {option, std::string(time)});
    args.insert(args.end(), {kName, "score.wav"});
    std::string error;
    const std::optional<RenderOptions> options = parseRenderOptions(args, error);
    if (!options) {
        for (const auto& [option, field] : {std::pair{"--from", "From"}, std::pair{"--to", "To"}})
            for (size_t at; (at = error.find(option)) != std::string::npos;)
                error.replace(at, std::string_view(option).size(), field);
        throw std::runtime_error(error);
    }
    return {static_cast<size_t>(options->from), static_cast<size_t>(options->to)};
}

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    return out + '"';
}

// A problem as the page lists it: where, what kind ("warning" or "error") and what.
std::string problemJson(int64_t line, int64_t column, const char* kind, std::string_view text) {
    return "{\"line\":" + std::to_string(line) + ",\"column\":" + std::to_string(column) +
           ",\"kind\":\"" + kind + "\",\"text\":" + jsonString(text) + "}";
}

std::string problemsJson(const ScoreReport& report) {
    std::string out = "[";
    for (const ScoreWarning& w : report.warnings)
        out += (out.size() > 1 ? "," : "") + problemJson(w.line, w.column, "warning", w.text);
    return out + "]";
}

} // namespace

extern "C" {

// Renders `size` bytes of score text as the player does, without the channels named in
// `silenced` (names as --info shows them, a line each). Returns 0, or 1 with the tool's
// "Error: ..." line as the result's text.
EMSCRIPTEN_KEEPALIVE int ms_render(const char* text, size_t size, const char* silenced,
                                   size_t silencedSize) {
    Result& r = result();
    try {
        const std::string score(text, size);
        r.bytes.assign(play_format::bufferBytes, 0);
        r.text.clear();
        Sound sound;
        loadScore(sound, kName, &score);
        const std::vector<std::string> names =
            spelledNames(sound, std::string_view(silenced, silencedSize));
        if (names.empty())
            sound.render(std::span<uint8_t>(r.bytes), play_format::sampleRate);
        else
            renderWithout(sound, std::span<uint8_t>(r.bytes), play_format::sampleRate, names);
        return 0;
    } catch (const std::exception& e) {
        r.bytes = {};
        r.text = std::string("Error: ") + e.what();
        return 1;
    }
}

// Examines the score as --check and --info do. The result's text is JSON: the problems
// --check finds, each with its line, column, kind and text; the channels as --info names
// them; and for a score that does not load, the tool's error line and where it stopped. The
// rendering, the same bytes the player's would be, stays as the result's bytes.
EMSCRIPTEN_KEEPALIVE int ms_check(const char* text, size_t size) {
    Result& r = result();
    r.bytes = {};
    r.notes = {};
    const std::string score(text, size);
    Sound sound;
    std::vector<uint8_t> pcm(play_format::bufferBytes);
    try {
        const ScoreReport report = examineScore(sound, kName, pcm, play_format::sampleRate, &score);
        std::string names;
        for (size_t i = 0; i < report.channels.size() && i < kShownChannels; ++i)
            names += (names.empty() ? "" : ",") +
                     jsonString(score_text::readableName(report.channels[i].name));
        r.text = "{\"problems\":" + problemsJson(report) + ",\"channels\":[" + names +
                 "],\"channelCount\":" + std::to_string(report.channels.size()) + "}";
        r.bytes = std::move(pcm);
        // The map is read only where the page follows the notes: for a score of thousands
        // of channels it would cost more than the check. Playing from the cursor reads it
        // when asked.
        Mapped& m = mapped();
        m.map.reset();
        m.text.clear();
        if (report.channels.size() <= kShownChannels) {
            m.map = ScoreMap::read(kName, score, play_format::bufferBytes, play_format::sampleRate);
            m.text = score;
            r.notes = notesOf(*m.map);
        }
        return 0;
    } catch (const ScoreError& e) {
        r.text = "{\"error\":" + jsonString(std::string("Error: ") + e.what()) + ",\"problems\":[" +
                 problemJson(e.line, e.column, "error", e.reason) + "]}";
    } catch (const std::exception& e) {
        r.text = "{\"error\":" + jsonString(std::string("Error: ") + e.what()) + "}";
    }
    return 1;
}

// The WAV file marrowtone-render writes for the score with the channels named in `silenced`
// left out (as ms_render) and `range` ("FROM\nTO", either may be empty) kept, as its --mute
// and --from/--to do; 1 and the error line when it cannot.
EMSCRIPTEN_KEEPALIVE int ms_wav(const char* text, size_t size, const char* silenced,
                                size_t silencedSize, const char* range, size_t rangeSize) {
    Result& r = result();
    std::pair<size_t, size_t> kept;
    try {
        kept = keptRange(std::string_view(range, rangeSize));
    } catch (const std::exception& e) {
        r.bytes = {};
        r.text = std::string("Error: ") + e.what();
        return 1;
    }
    if (ms_render(text, size, silenced, silencedSize) != 0) return 1;
    r.bytes =
        wavFile(std::span<const uint8_t>(r.bytes).subspan(kept.first, kept.second - kept.first),
                play_format::sampleRate);
    return 0;
}

// What the command at (line, byte column) does, in the engine's figures, as the result's
// text; empty where no command stands or the score does not load.
EMSCRIPTEN_KEEPALIVE int ms_help(const char* text, size_t size, double line, double column) {
    Result& r = result();
    r.bytes = {};
    r.notes = {};
    try {
        r.text = commandHelp(kName, std::string(text, size), static_cast<int64_t>(line),
                             static_cast<int64_t>(column), play_format::sampleRate);
    } catch (const std::exception&) {
        r.text.clear();
    }
    return 0;
}

// Each line's length as the result's numbers: line, beats, seconds for every line that holds
// a note or a rest; none for a score that does not load.
EMSCRIPTEN_KEEPALIVE int ms_lines(const char* text, size_t size) {
    Result& r = result();
    r.bytes = {};
    r.notes = {};
    r.text.clear();
    try {
        for (const LineLength& l : lineLengths(kName, std::string(text, size)))
            r.notes.insert(r.notes.end(),
                           {static_cast<double>(l.line), l.beats,
                            static_cast<double>(l.samples) / play_format::sampleRate});
    } catch (const std::exception& e) {
        r.text = std::string("Error: ") + e.what();
        return 1;
    }
    return 0;
}

// The first sample at which the note at or after (line, byte column) is heard; -1 when it
// never is, -2 for a score that does not load (the error line as the result's text).
EMSCRIPTEN_KEEPALIVE double ms_first_heard(const char* text, size_t size, double line,
                                           double column) {
    Result& r = result();
    r.bytes = {};
    r.notes = {};
    r.text.clear();
    Mapped& m = mapped();
    try {
        if (!m.map || m.text != std::string_view(text, size)) {
            m.map.reset();
            m.text.assign(text, size);
            m.map =
                ScoreMap::read(kName, m.text, play_format::bufferBytes, play_format::sampleRate);
        }
    } catch (const std::exception& e) {
        m.map.reset();
        r.text = std::string("Error: ") + e.what();
        return -2;
    }
    return static_cast<double>(
        m.map->firstHeard(static_cast<int64_t>(line), static_cast<int64_t>(column)));
}

// The play format of every rendering here, for the page to time the sound by.
EMSCRIPTEN_KEEPALIVE int ms_sample_rate() {
    return play_format::sampleRate;
}

EMSCRIPTEN_KEEPALIVE int ms_play_seconds() {
    return play_format::playSeconds;
}

EMSCRIPTEN_KEEPALIVE const double* ms_notes() {
    return result().notes.data();
}

EMSCRIPTEN_KEEPALIVE size_t ms_notes_size() {
    return result().notes.size();
}

EMSCRIPTEN_KEEPALIVE const uint8_t* ms_bytes() {
    return result().bytes.data();
}

EMSCRIPTEN_KEEPALIVE size_t ms_bytes_size() {
    return result().bytes.size();
}

EMSCRIPTEN_KEEPALIVE const char* ms_text() {
    return result().text.c_str();
}
}
