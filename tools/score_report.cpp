#include "tools/score_report.h"

#include "tools/score_places.h"
#include "tools/score_text.h"
#include "tools/voice_sums.h"
#include "tools/warning_list.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace {

using namespace score_text;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// More warnings than this are one line: a file written for another player would
// otherwise bury the first, telling ones.
constexpr size_t kMostWarnings = 50;

// One pass of a channel that outlasts the rendering, walked to its end: where the part not
// heard begins, and how long the pass lasts.
class PassWalk final : public SoundObserver {
public:
    explicit PassWalk(const CommandList& list, int64_t end) : list_(list), end_(end) {}
    void played(int32_t, int32_t command, int64_t from, int64_t to) override {
        samples = to;
        if (from < end_) {
            firstUnheard = command + 1;
        } else if (!noteUnheard) {
            const std::string_view text = list_.text(static_cast<size_t>(command));
            noteUnheard = !text.empty() && text[0] != 'R';
        }
    }
    int64_t samples = 0;
    int32_t firstUnheard = 0;
    bool noteUnheard = false;

private:
    const CommandList& list_;
    int64_t end_;
};

class Examiner final : public SoundObserver {
public:
    Examiner(const Sound& sound, int64_t samples, int32_t rate)
        : sound_(sound), rate_(rate), samples_(samples), sums_(samples) {}

    // The loader.

    void line(int64_t line, std::string_view text, int ending) override {
        closeRun();
        text_ = text;
        if (head_.size() < kHead) {
            head_.append(text.substr(0, kHead - head_.size()));
            if (ending >= 0 && head_.size() < kHead) head_ += static_cast<char>(ending);
        }
        size_t p = 0;
        while (p < text.size() && isBlank(text[p]))
            ++p;
        std::string_view name;
        if (p < text.size() && text[p] != ';') {
            const size_t nameBegin = p;
            while (p < text.size() && !isBlank(text[p]))
                ++p;
            name = text.substr(nameBegin, p - nameBegin);
            for (; p < text.size() && text[p] != ';'; ++p)
                if (!isBlank(text[p])) ++commandBytes_;
        }
        places_.line(line, text, ending);
        const bool afterBreak = places_.afterBreak();
        if (afterBreak) {
            // Told with the 0xFF that made it a line: the rest of the line is that one mistake.
            places_.claim();
            tellBreak(name);
        }
        if (ending == 0xFF) {
            breakAt_ = places_.here(static_cast<int64_t>(text.size()) + 1);
            breakPending_ = true;
        }
        if (name.empty() || afterBreak) return;
        const int64_t column = static_cast<int64_t>(name.data() - text.data()) + 1;
        if (line == 1 && name.starts_with(kUtf8Mark)) {
            markedName_ = name;
            const std::string_view rest = name.substr(kUtf8Mark.size());
            if (rest.empty() || rest.find(';') != std::string_view::npos) places_.claim();
            return;
        }
        if (const size_t semicolon = name.find(';'); semicolon != std::string_view::npos) {
            places_.claim();
            const TextPlace at = places_.here(column + static_cast<int64_t>(semicolon));
            warnings_.add(at.line, at.column, [&] {
                return "the ';' belongs to the channel name '" + shown(name) +
                       "', and the rest of the line is read as commands: a comment needs a "
                       "blank before its ';'";
            });
        } else if (readsAsCommands(name)) {
            warn(places_.here(column), [&] {
                return "the channel name '" + shown(name) +
                       "' is also a command: a line's first word names its channel, so here it "
                       "plays nothing";
            });
        }
    }

    void dropped(Dropped what, int64_t line, int64_t column, std::string_view text) override {
        if (what == Dropped::Bytes || what == Dropped::NoNumber || what == Dropped::UnopenedClose)
            skippedBytes_ += static_cast<int64_t>(text.size());
        if (what == Dropped::Bytes && run_.active && run_.line == line &&
            run_.column + run_.length == column && continuesRun(text)) {
            // One warning for one mistake: a run of skipped bytes, or what trails a
            // ']' or a 't', 'o', 'v', 'q' or 'l' that did not take it.
            extendRun(text);
            lastRead_ = {};
            return;
        }
        const bool sharp = what == Dropped::Bytes && text == "#" && lastRead_.line == line &&
                           lastRead_.column == column - 1 &&
                           isNoteLetter(text_[static_cast<size_t>(column) - 2]);
        lastRead_ = {};
        closeRun();
        switch (what) {
        case Dropped::Bytes:
        case Dropped::NoNumber:
        case Dropped::UnopenedClose:
            run_ = {true, what, sharp, line, column, 0, {}, places_.here(column)};
            extendRun(text);
            break;
        case Dropped::UnclosedOpen:
            warn(places_.here(column),
                 [] { return "'[' without ']' on its line: the part plays once"; });
            break;
        case Dropped::ZeroRepeat:
            warn(places_.here(column), [] { return "repeat count 0: the part plays once"; });
            break;
        }
    }

    void read(int32_t channel, int32_t command, int64_t line, int64_t column,
              int64_t length) override {
        closeRun();
        ChannelData& c = channelData(channel);
        places_.read(channel, command, line, column, length);
        const CommandList& list = sound_.channels[static_cast<size_t>(channel)];
        const std::string_view cmd = list.text(static_cast<size_t>(command));
        const int32_t value = list.value(static_cast<size_t>(command));
        const bool note = !cmd.empty() && (isNoteLetter(cmd[0]) || cmd[0] == 'R');
        lastRead_ = note ? Place{line, column} : Place{};
        const auto at = static_cast<size_t>(column) - 1;
        const TextPlace here = places_.here(column);
        if (cmd == "R+" || cmd == "R-") {
            // The renderer knows no such command and starts the channel over at it.
            if (c.signedRest < 0 && !here.claimed) {
                c.signedRest = static_cast<int64_t>(signedRests_.size());
                signedRests_.push_back({here, {text_[at], text_[at + 1]}, false});
            } else {
                warn(here, [&] { return signedRestText(text_.substr(at, 2)); });
            }
        } else if (cmd == "V" && value > 255) {
            warn(here, [&] {
                return "volume " + std::to_string(value) + " plays as " +
                       std::to_string(value & 0xFF) + " (volumes count modulo 256)" +
                       ((value & 0xFF) == 0 ? ": the notes after it are silent" : "");
            });
        } else if (note) {
            checkLength(here, at, cmd.size(), value);
        }
    }

    void failed(int64_t line, int64_t column, std::string_view reason) override {
        places_.failed(line, column, reason);
    }

    void declared(int32_t channel, int64_t line, int64_t column) override {
        places_.declared(channel, line, column);
    }

    void repeated(int32_t channel, int32_t from, int32_t to, int64_t count) override {
        places_.repeated(channel, from, to, count);
    }

    // The renderer.

    void ignored(int32_t channel, int32_t command, Ignored what) override {
        if (attributing_) return;
        once(channel, command, what == Ignored::Tempo ? 't' : 'l', [what] {
            return what == Ignored::Tempo ? "t0 is ignored: the tempo stays"
                                          : "l0 is ignored: the default length stays";
        });
    }

    void silent(int32_t channel, int32_t command, int64_t sample, Silence why,
                int64_t setting) override {
        if (attributing_) return;
        if (why == Silence::Volume && setting > 255) return; // told at the 'v' itself
        once(channel, command, 's', [&] {
            std::string reason;
            switch (why) {
            case Silence::Octave:
                reason = "octave " + std::to_string(setting) + " is outside 0 to 8";
                break;
            case Silence::TooHigh:
                reason = "too high for " + std::to_string(rate_) + " samples per second";
                break;
            case Silence::Gate:
                reason = setting == 0 ? "the gate is q0"
                                      : "too short for gate q" + std::to_string(setting);
                break;
            case Silence::Volume:
                reason =
                    "volume " + std::to_string(setting) + " plays as 0 (volumes count modulo 256)";
                break;
            }
            return "this note is silent: " + reason + ", first at " + secondsText(sample, rate_);
        });
    }

    void sounds(int32_t channel, int32_t command, int64_t from, int64_t to, int64_t period,
                uint8_t level) override {
        if (attributing_) {
            sums_.attribute(channel, command, from, to, period);
            return;
        }
        ChannelData& c = channelData(channel);
        if (level > c.loudest) {
            c.loudest = level;
            c.loudestAt = from;
        }
        sums_.add(from, to, period, level);
    }

    void rewound(int32_t channel, int64_t sample) override {
        if (attributing_) return;
        ChannelData& c = channelData(channel);
        if (c.rewinds++ == 0) c.firstRewind = sample;
    }

    void stopped(int32_t channel, int64_t) override {
        if (attributing_) return;
        ChannelData& c = channelData(channel);
        if (c.stops) return;
        c.stops = true;
        if (c.signedRest >= 0) {
            signedRests_[static_cast<size_t>(c.signedRest)].stops = true;
            return;
        }
        warn(places_.declaredAt(channel), [&] {
            return "channel '" + shown(nameOf(channel)) +
                   "' holds no note or rest: it plays nothing";
        });
    }

    // Between the rendering and its tracing: the moments where the voices add past 255.
    bool findWraps() {
        attributing_ = sums_.findWraps(std::max<int64_t>(rate_ / 20, 1));
        return attributing_;
    }

    // After the rendering: each channel whose first pass outlasts it, walked to its end, told
    // where its notes go past what is heard. That is the rendering, or the minute the player
    // renders where the rendering is shorter: what a short one leaves out, the player plays.
    void reportPastTheEnd(Sound& sound) {
        const int64_t end = std::max(samples_, int64_t{60} * rate_);
        for (int32_t ch = 0; ch < sound.channelCount; ++ch) {
            const ChannelData& c = channelData(ch);
            if (c.rewinds > 0 || c.stops || !c.played) continue;
            PassWalk walk(sound.channels[static_cast<size_t>(ch)], end);
            sound.observer = &walk;
            sound.tracePass(ch, rate_);
            sound.observer = this;
            if (!walk.noteUnheard) continue;
            warn(places_.placeOf(ch, walk.firstUnheard), [&] {
                return "channel '" + shown(nameOf(ch)) + "' lasts " +
                       secondsText(walk.samples, rate_) + ": from here on it begins after " +
                       secondsText(end, rate_) + " and is never heard";
            });
        }
    }

    void played(int32_t channel, int32_t, int64_t, int64_t) override {
        if (!attributing_) channelData(channel).played = true;
    }

    void finish(ScoreReport& report);

    const ScorePlaces& places() const { return places_; }

private:
    struct Place {
        int64_t line = 0;
        int64_t column = 0;
    };
    struct ChannelData {
        int loudest = 0;
        int64_t loudestAt = 0;
        int64_t rewinds = 0;
        int64_t firstRewind = 0;
        int64_t signedRest = -1; // its first 'r+' or 'r-', in signedRests_
        bool stops = false;
        bool played = false;
    };
    struct SignedRest {
        TextPlace place;
        char written[2]; // as the text spells it
        bool stops;      // before any note or rest
    };
    struct Key {
        int64_t line, column;
        char kind;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<int64_t>()(k.line * 1000003 + k.column * 4 + k.kind);
        }
    };
    // A run of skipped bytes, or what trails a ']' or a 't', 'o', 'v', 'q' or 'l' that did
    // not take it: its first bytes, and how many.
    struct Run {
        bool active = false;
        Dropped kind = Dropped::Bytes;
        bool sharp = false;           // a '#' right after a note letter
        int64_t line = 0, column = 0; // on the loader's line
        int64_t length = 0;
        std::string text; // its first bytes, as many as are quoted
        TextPlace place;
    };

    template <typename Text> void warn(const TextPlace& at, Text&& text) {
        if (at.claimed) return;
        // The byte-order mark's warning stands for what else is told of the name it spoils.
        if (markSpoilsName() && at.line == 1 && at.column == 1) return;
        warnings_.add(at.line, at.column, std::forward<Text>(text));
    }

    bool markSpoilsName() const {
        if (markedName_.empty()) return false;
        const std::string_view rest = std::string_view(markedName_).substr(kUtf8Mark.size());
        return !rest.empty() && !rest.starts_with(';');
    }

    static std::string signedRestText(std::string_view written) {
        return "'" + shown(written) + "' is not a rest (a rest takes no '" +
               std::string(written.substr(1)) +
               "'): the channel starts over from its first command here";
    }

    // A length of zero, or one past what a note's value holds, which wraps.
    void checkLength(const TextPlace& here, size_t at, size_t letters, int32_t value) {
        const size_t digits = at + letters;
        const size_t end = skipDigits(text_, digits);
        if (end == digits) return;
        const size_t significant = std::min(text_.find_first_not_of('0', digits), end);
        // The loader takes no number past 32 bits, so ten digits at most are left.
        int64_t written = 0;
        for (size_t i = significant; i < end; ++i)
            written = written * 10 + (text_[i] - '0');
        // What the renderer divides by: the value's length, sign and all.
        const int32_t played = value >> 8;
        if (written == played) {
            if (written == 0)
                warn(here, [&] {
                    return "'" + shown(text_.substr(at, end - at)) +
                           "' has length 0: it plays the default length";
                });
            return;
        }
        warn(here, [&] {
            return "'" + shown(text_.substr(at, end - at)) + "' has a length past " +
                   std::to_string(std::numeric_limits<int32_t>::max() >> 8) +
                   ", which wraps: it plays " +
                   (played > 0 ? "as length " + std::to_string(played) : "the default length");
        });
    }

    void extendRun(std::string_view text) {
        run_.length += static_cast<int64_t>(text.size());
        const size_t room = kQuoted + 1 - std::min(run_.text.size(), kQuoted + 1);
        run_.text.append(text.substr(0, room));
    }

    void closeRun() {
        if (!run_.active) return;
        warn(run_.place, [this] { return runMessage(); });
        run_ = {};
    }

    // One warning per place and kind: a looping channel meets the same note again and again.
    template <typename Text> void once(int32_t channel, int32_t command, char kind, Text&& text) {
        const TextPlace p = places_.placeOf(channel, command);
        if (p.claimed || !seen_.insert({p.line, p.column, kind}).second) return;
        warn(p, std::forward<Text>(text));
    }

    ChannelData& channelData(int32_t channel) {
        if (static_cast<size_t>(channel) >= channels_.size())
            channels_.resize(static_cast<size_t>(channel) + 1);
        return channels_[static_cast<size_t>(channel)];
    }
    const ChannelData& channelData(int32_t channel) const {
        static const ChannelData none;
        return static_cast<size_t>(channel) < channels_.size()
                   ? channels_[static_cast<size_t>(channel)]
                   : none;
    }

    // Names by index, gathered once: a score may declare a million channels.
    const std::string& nameOf(int32_t channel) {
        if (names_.size() != sound_.channelIndex.size()) {
            names_.assign(sound_.channelIndex.size(), nullptr);
            for (const auto& [name, index] : sound_.channelIndex)
                if (index >= 0 && static_cast<size_t>(index) < names_.size()) names_[index] = &name;
        }
        static const std::string none;
        const auto i = static_cast<size_t>(channel);
        return i < names_.size() && names_[i] ? *names_[i] : none;
    }

    bool continuesRun(std::string_view next) const {
        const char c = next.empty() ? '\0' : next[0];
        switch (run_.kind) {
        case Dropped::Bytes:
            return true;
        case Dropped::UnopenedClose:
            return isDigit(c);
        case Dropped::NoNumber:
            return run_.length == 1 ? c == '+' || c == '-' : isDigit(c);
        default:
            return false;
        }
    }

    std::string runMessage() const {
        const std::string quoted = "'" + shown(run_.text) + "'";
        switch (run_.kind) {
        case Dropped::NoNumber:
            return run_.length == 1 ? quoted + " without a number: skipped"
                                    : quoted + " is not a command: numbers take no sign; "
                                               "skipped";
        case Dropped::UnopenedClose:
            return quoted + " without '[' on its line: ignored";
        default:
            return quoted + " is not a command: skipped" +
                   (run_.sharp ? "; sharps are written '+'" : "");
        }
    }

    void tellBreak(std::string_view name) {
        if (!breakPending_) return;
        breakPending_ = false;
        warnings_.add(breakAt_.line, breakAt_.column, [&] {
            return "the byte 0xFF ends a line for the player: what follows it is read as a new "
                   "line" +
                   (name.empty() ? std::string()
                                 : ", whose first word '" + shown(name) + "' names a channel");
        });
    }

    std::string utf16Warning() const;
    void reportMark();
    void reportCaseTwins();
    void reportWraps();
    void reportSignedRests();

    static constexpr size_t kQuoted = 40; // bytes of a run that shown() quotes

    const Sound& sound_;
    int32_t rate_;
    int64_t samples_;
    VoiceSums sums_;
    std::vector<ChannelData> channels_;
    std::vector<const std::string*> names_;
    WarningList warnings_{kMostWarnings + 1};
    std::unordered_set<Key, KeyHash> seen_;
    std::vector<SignedRest> signedRests_;
    bool attributing_ = false;

    // What the loader's lines show: how the file is encoded, where a 0xFF splits an editor's
    // line, and how much of it is skipped.
    static constexpr size_t kHead = 4096;
    std::string_view text_; // the line being read; valid only while the loader reads it
    std::string head_;      // the file's first bytes
    ScorePlaces places_;
    TextPlace breakAt_; // the last 0xFF, told once the line after it is known
    bool breakPending_ = false;
    std::string markedName_; // line 1's channel name, when a UTF-8 byte-order mark begins it
    int64_t commandBytes_ = 0;
    int64_t skippedBytes_ = 0;
    Run run_;
    Place lastRead_; // the note just read, for a '#' right after it
};

void Examiner::finish(ScoreReport& report) {
    closeRun();
    tellBreak({});
    if (const std::string utf16 = utf16Warning(); !utf16.empty()) {
        // Read byte by byte, every other byte is a NUL: nothing in it is as written.
        report.warnings = {{1, 1, utf16}};
    } else {
        reportWraps();
        reportMark();
        reportCaseTwins();
        reportSignedRests();
        size_t total = warnings_.count();
        std::vector<ScoreWarning> warnings = warnings_.take();
        // A whole file in another player's language: say so first, as the rest follows.
        if (skippedBytes_ >= 16 && skippedBytes_ * 2 > commandBytes_) {
            warnings.insert(warnings.begin(),
                            {1, 1,
                             std::to_string(skippedBytes_) + " of the " +
                                 std::to_string(commandBytes_) +
                                 " bytes after the channel names are skipped: the score "
                                 "looks written for another MML dialect"});
            ++total;
        }
        if (total > kMostWarnings) {
            const ScoreWarning& first = warnings[kMostWarnings];
            const size_t more = total - kMostWarnings;
            warnings[kMostWarnings] = {first.line, first.column,
                                       "and " + std::to_string(more) + " more warning" +
                                           (more == 1 ? "" : "s") + " from here on"};
            warnings.resize(kMostWarnings + 1);
        }
        report.warnings = std::move(warnings);
    }
    for (int32_t ch = 0; ch < sound_.channelCount; ++ch) {
        const ChannelData& c = channelData(ch);
        ChannelFigures f;
        f.name = nameOf(ch);
        const CommandList& list = sound_.channels[static_cast<size_t>(ch)];
        f.commands = static_cast<int64_t>(list.size());
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string_view text = list.text(i);
            if (text == "R")
                ++f.rests;
            else if (!text.empty() && text[0] >= 'A' && text[0] <= 'G')
                ++f.notes;
        }
        f.passes = c.stops ? 0 : c.rewinds + 1;
        f.passSamples = c.stops ? 0 : c.rewinds > 0 ? c.firstRewind : -1;
        f.loudest = c.loudest;
        f.loudestAt = c.loudestAt;
        report.channels.push_back(std::move(f));
    }
    report.peak = sums_.peak();
    report.peakAt = sums_.peakAt();
}

void Examiner::reportSignedRests() {
    for (const SignedRest& r : signedRests_)
        warn(r.place, [&] {
            return signedRestText(std::string_view(r.written, 2)) +
                   (r.stops ? ", before any note or rest: the channel plays nothing" : "");
        });
}

std::string Examiner::utf16Warning() const {
    const std::string_view head = head_;
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF"))
        return "the file starts with a UTF-16 byte-order mark (" +
               std::string(head[0] == '\xFF' ? "FF FE" : "FE FF") +
               "): the player reads single bytes, not UTF-16; save the file as UTF-8";
    // Characters of two bytes, one of them NUL, all along the start of the file.
    size_t low = 0, high = 0;
    const size_t pairs = head.size() / 2;
    for (size_t i = 0; i < pairs; ++i) {
        const char a = head[2 * i], b = head[2 * i + 1];
        low += a != '\0' && b == '\0';
        high += a == '\0' && b != '\0';
    }
    if (pairs < 2 || std::max(low, high) * 4 < pairs * 3) return {};
    return "the file looks like UTF-16 text (a NUL byte beside each character): the player "
           "reads single bytes, not UTF-16; save the file as UTF-8";
}

// A UTF-8 byte-order mark is a word to the loader: it joins the first line's first word.
void Examiner::reportMark() {
    if (markedName_.empty()) return;
    const std::string_view rest = std::string_view(markedName_).substr(kUtf8Mark.size());
    std::string text = "the file starts with a UTF-8 byte-order mark (EF BB BF), which the "
                       "player reads as ";
    if (rest.empty()) {
        text += "a channel name of its own, so this line's first word is read as a command";
    } else if (rest.starts_with(';')) {
        text += "the start of a channel name, so this comment is read as channel '" +
                shown(markedName_) + "'";
    } else {
        text += "the start of the first channel's name, '" + shown(markedName_) + "'";
        if (sound_.channelIndex.contains(std::string(rest)))
            text += ": this line does not join channel '" + shown(rest) + "'";
    }
    warnings_.add(1, 1, [&] { return text + "; save the file without the mark"; });
}

// Channel names are exact: 'Lead' and 'LEAD' are two voices.
void Examiner::reportCaseTwins() {
    std::unordered_map<std::string, int32_t> byFolded;
    for (int32_t ch = 0; ch < sound_.channelCount; ++ch) {
        const std::string& name = nameOf(ch);
        const auto [it, first] = byFolded.emplace(folded(name), ch);
        if (first) continue;
        const TextPlace there = places_.declaredAt(it->second);
        warn(places_.declaredAt(ch), [&] {
            return "channel '" + shown(name) + "' differs from channel '" +
                   shown(nameOf(it->second)) + "' (line " + std::to_string(there.line) +
                   ") only in case: they are two channels";
        });
    }
}

// A wrap is told once per note, with how often it recurs.
void Examiner::reportWraps() {
    struct Told {
        const VoiceSums::Wrap* wrap;
        TextPlace place;
        int64_t more = 0;
    };
    std::vector<Told> told;
    std::map<std::tuple<int64_t, int64_t>, size_t> byPlace;
    for (const VoiceSums::Wrap& w : sums_.wraps()) {
        if (w.byChannel < 0) continue;
        const TextPlace p = places_.placeOf(w.byChannel, w.byCommand);
        auto [it, first] = byPlace.emplace(std::make_tuple(p.line, p.column), told.size());
        if (first)
            told.push_back({&w, p});
        else
            ++told[it->second].more;
    }
    for (const Told& t : told) {
        const VoiceSums::Wrap& w = *t.wrap;
        warn(t.place, [&] {
            // A few names say which voices; a score of thousands would make the line unreadable.
            std::string names;
            for (int i = 0; i < w.namedCount; ++i)
                names += (names.empty() ? "" : ", ") + shown(nameOf(w.named[i]));
            if (w.channels > w.namedCount)
                names += " and " + std::to_string(w.channels - w.namedCount) + " more";
            return "the voices add up to " + std::to_string(w.peak) + " and wrap past 255 from " +
                   secondsText(w.begin, rate_) + " to " + secondsText(w.end, rate_) + " (" + names +
                   ")" +
                   (t.more > 0 ? ", and " + std::to_string(t.more) + " more time" +
                                     (t.more == 1 ? "" : "s") + " later"
                               : "");
        });
    }
}

} // namespace

void loadScore(Sound& sound, const std::string& file, const std::string* text) {
    if (!text) {
        sound.load(file);
        return;
    }
    std::istringstream in(*text);
    sound.load(in, file);
}

void loadScoreAt(Sound& sound, const ScorePlaces& places, const std::string& file,
                 const std::string* text) {
    try {
        loadScore(sound, file, text);
    } catch (const SoundError& e) {
        if (const auto failure = places.failure())
            throw ScoreError(e.what(), failure->place.line, failure->place.column, failure->reason);
        throw;
    }
}

ScoreReport examineScore(Sound& sound, const std::string& file, std::vector<uint8_t>& pcm,
                         int32_t rate, const std::string* text) {
    Examiner examiner(sound, static_cast<int64_t>(pcm.size()), rate);
    struct Watching {
        Sound& sound;
        ~Watching() { sound.observer = nullptr; }
    } watching{sound};
    sound.observer = &examiner;
    loadScoreAt(sound, examiner.places(), file, text);
    sound.render(pcm, rate);
    examiner.reportPastTheEnd(sound);
    if (examiner.findWraps()) {
        // Again, to learn which voices meet in each wrap, without adding a sample.
        // A rendering leaves each channel's read position where it stopped, and the
        // next would go on from there: start both from the same place.
        sound.resetPositions();
        sound.trace(static_cast<int64_t>(pcm.size()), rate);
    }
    ScoreReport report;
    report.samples = static_cast<int64_t>(pcm.size());
    report.rate = rate;
    examiner.finish(report);
    return report;
}
