#include "tools/score_report.h"

#include "tools/score_places.h"
#include "tools/score_text.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>
#include <unordered_map>

namespace {

using namespace score_text;

struct Place {
    int64_t line = 0;
    int64_t column = 0;
};

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// More warnings than this are one line: a file written for another player would
// otherwise bury the first, telling ones.
constexpr size_t kMostWarnings = 50;

class Examiner final : public SoundObserver {
public:
    Examiner(const Sound& sound, int64_t samples, int32_t rate)
        : sound_(sound), rate_(rate), sums_(static_cast<size_t>(samples), 0) {}

    // The loader.

    void line(int64_t line, std::string_view text, int ending) override {
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
        const bool afterBreak = places_.brokenAt(line - 1);
        if (afterBreak) {
            // Told with the 0xFF that made it a line: the rest of the line is that one mistake.
            breakNames_.back() = name;
            claimed_.insert(line);
        }
        places_.line(line, text, ending);
        if (ending == 0xFF) breakNames_.emplace_back();
        if (name.empty() || afterBreak) return;
        const int64_t column = static_cast<int64_t>(name.data() - text.data()) + 1;
        if (line == 1 && name.starts_with(kUtf8Mark)) {
            markedName_ = name;
            return;
        }
        if (const size_t semicolon = name.find(';'); semicolon != std::string_view::npos) {
            claimed_.insert(line);
            claims_.push_back({line, column + static_cast<int64_t>(semicolon),
                               "the ';' belongs to the channel name '" + shown(name) +
                                   "', and the rest of the line is read as commands: a comment "
                                   "needs a blank before its ';'"});
        } else if (readsAsCommands(name)) {
            warnings_.push_back({line, column,
                                 "the channel name '" + shown(name) +
                                     "' is also a command: a line's first word names its "
                                     "channel, so here it plays nothing"});
        }
    }

    void dropped(Dropped what, int64_t line, int64_t column, std::string_view text) override {
        if (what == Dropped::Bytes || what == Dropped::NoNumber || what == Dropped::UnopenedClose)
            skippedBytes_ += static_cast<int64_t>(text.size());
        if (what == Dropped::Bytes && run_.active && run_.line == line &&
            run_.column + static_cast<int64_t>(run_.text.size()) == column && continuesRun(text)) {
            // One warning for one mistake: a run of skipped bytes, or what trails a
            // ']' or a 't', 'o', 'v', 'q' or 'l' that did not take it.
            run_.text += text;
            warnings_[run_.warning].text = runMessage();
            lastRead_ = {};
            return;
        }
        const bool sharp = what == Dropped::Bytes && text == "#" && lastRead_.line == line &&
                           lastRead_.column == column - 1 &&
                           isNoteLetter(text_[static_cast<size_t>(column) - 2]);
        lastRead_ = {};
        run_ = {};
        std::string message;
        switch (what) {
        case Dropped::Bytes:
        case Dropped::NoNumber:
        case Dropped::UnopenedClose:
            run_ = {true, what, sharp, line, column, std::string(text), warnings_.size()};
            message = runMessage();
            break;
        case Dropped::UnclosedOpen:
            message = "'[' without ']' on its line: the part plays once";
            break;
        case Dropped::ZeroRepeat:
            message = "repeat count 0: the part plays once";
            break;
        }
        warnings_.push_back({line, column, message});
    }

    void read(int32_t channel, int32_t command, int64_t line, int64_t column,
              int64_t length) override {
        run_ = {};
        ChannelData& c = channelData(channel);
        places_.read(channel, command, line, column, length);
        const CommandList& list = sound_.channels[static_cast<size_t>(channel)];
        const std::string_view cmd = list.text(static_cast<size_t>(command));
        const int32_t value = list.value(static_cast<size_t>(command));
        const bool note = !cmd.empty() && (isNoteLetter(cmd[0]) || cmd[0] == 'R');
        lastRead_ = note ? Place{line, column} : Place{};
        const auto at = static_cast<size_t>(column) - 1;
        if (cmd == "R+" || cmd == "R-") {
            // The renderer knows no such command and starts the channel over at it.
            if (c.signedRest < 0) c.signedRest = static_cast<int64_t>(warnings_.size());
            warnings_.push_back({line, column,
                                 "'" + shown(text_.substr(at, 2)) +
                                     "' is not a rest (a rest takes no '" + cmd[1] +
                                     "'): the channel starts over from its first command here"});
        } else if (cmd == "V" && value > 255) {
            warnings_.push_back(
                {line, column,
                 "volume " + std::to_string(value) + " plays as " + std::to_string(value & 0xFF) +
                     " (volumes count modulo 256)" +
                     ((value & 0xFF) == 0 ? ": the notes after it are silent" : "")});
        } else if (note && (value >> 8) == 0) {
            const size_t digits = at + cmd.size();
            const size_t end = skipDigits(text_, digits);
            if (end > digits && text_.find_first_not_of('0', digits) >= end)
                warnings_.push_back({line, column,
                                     "'" + shown(text_.substr(at, end - at)) +
                                         "' has length 0: it plays the default length"});
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
        once(channel, command, what == Ignored::Tempo ? 't' : 'l',
             what == Ignored::Tempo ? "t0 is ignored: the tempo stays"
                                    : "l0 is ignored: the default length stays");
    }

    void silent(int32_t channel, int32_t command, int64_t sample, Silence why,
                int64_t setting) override {
        if (attributing_) return;
        std::string reason;
        switch (why) {
        case Silence::Octave:
            reason = "octave " + std::to_string(setting) + " is outside 0 to 8";
            break;
        case Silence::TooHigh:
            reason = "too high for " + std::to_string(rate_) + " samples per second";
            break;
        case Silence::Gate:
            reason =
                setting == 0 ? "the gate is q0" : "too short for gate q" + std::to_string(setting);
            break;
        case Silence::Volume:
            if (setting > 255) return; // told at the 'v' itself
            reason = "volume " + std::to_string(setting) + " plays as 0 (volumes count modulo 256)";
            break;
        }
        once(channel, command, 's',
             "this note is silent: " + reason + ", first at " + secondsText(sample, rate_));
    }

    void sounds(int32_t channel, int32_t command, int64_t from, int64_t to, int64_t period,
                uint8_t level) override {
        if (attributing_) {
            attribute(channel, command, from, to, period);
            return;
        }
        ChannelData& c = channelData(channel);
        if (level > c.loudest) {
            c.loudest = level;
            c.loudestAt = from;
        }
        uint16_t* sums = sums_.data();
        forEachHighRun(from, to, period, [sums, level](int64_t lo, int64_t hi) {
            for (int64_t i = lo; i < hi; ++i)
                sums[i] = static_cast<uint16_t>(std::min<int>(sums[i] + level, 65535));
        });
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
            warnings_[static_cast<size_t>(c.signedRest)].text +=
                ", before any note or rest: the channel plays nothing";
            return;
        }
        warnings_.push_back(
            {places_.declaredAt(channel).line, places_.declaredAt(channel).column,
             "channel '" + shown(nameOf(channel)) + "' holds no note or rest: it plays nothing"});
    }

    // Between the two renderings: the moments where the voices add past 255. Runs of
    // wrapped samples closer than 50 ms are one moment: a chord wraps in every period.
    bool findWraps() {
        const int64_t gap = std::max<int64_t>(rate_ / 20, 1);
        const int64_t n = static_cast<int64_t>(sums_.size());
        for (int64_t i = 0; i < n; ++i) {
            if (sums_[i] <= 255) continue;
            if (!wraps_.empty() && i - wraps_.back().end < gap) {
                wraps_.back().end = i + 1;
            } else {
                Wrap w;
                w.begin = i;
                w.end = i + 1;
                wraps_.push_back(std::move(w));
            }
            wraps_.back().peak = std::max<int64_t>(wraps_.back().peak, sums_[i]);
        }
        attributing_ = !wraps_.empty();
        return attributing_;
    }

    void finish(ScoreReport& report) {
        if (const std::string utf16 = utf16Warning(); !utf16.empty()) {
            // Read byte by byte, every other byte is a NUL: nothing in it is as written.
            report.warnings = {{1, 1, utf16}};
        } else {
            reportWraps();
            reportMark();
            reportBreaks();
            reportCaseTwins();
            std::erase_if(warnings_,
                          [this](const ScoreWarning& w) { return claimed_.contains(w.line); });
            warnings_.insert(warnings_.end(), claims_.begin(), claims_.end());
            for (ScoreWarning& w : warnings_) {
                const Place p = editorPlace(w.line, w.column);
                w.line = p.line;
                w.column = p.column;
            }
            std::stable_sort(warnings_.begin(), warnings_.end(),
                             [](const ScoreWarning& a, const ScoreWarning& b) {
                                 return std::tie(a.line, a.column) < std::tie(b.line, b.column);
                             });
            // A whole file in another player's language: say so first, as the rest follows.
            if (skippedBytes_ >= 16 && skippedBytes_ * 2 > commandBytes_)
                warnings_.insert(warnings_.begin(),
                                 {1, 1,
                                  std::to_string(skippedBytes_) + " of the " +
                                      std::to_string(commandBytes_) +
                                      " bytes after the channel names are skipped: the score "
                                      "looks written for another MML dialect"});
            if (warnings_.size() > kMostWarnings) {
                const ScoreWarning& first = warnings_[kMostWarnings];
                const size_t more = warnings_.size() - kMostWarnings;
                warnings_[kMostWarnings] = {first.line, first.column,
                                            "and " + std::to_string(more) + " more warning" +
                                                (more == 1 ? "" : "s") + " from here on"};
                warnings_.resize(kMostWarnings + 1);
            }
            report.warnings = std::move(warnings_);
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
            report.channels.push_back(f);
        }
        for (size_t i = 0; i < sums_.size(); ++i) {
            if (sums_[i] > report.peak) {
                report.peak = sums_[i];
                report.peakAt = static_cast<int64_t>(i);
            }
        }
    }

    const ScorePlaces& places() const { return places_; }

private:
    struct ChannelData {
        int loudest = 0;
        int64_t loudestAt = 0;
        int64_t rewinds = 0;
        int64_t firstRewind = 0;
        int64_t signedRest = -1; // the warning of its first 'r+' or 'r-'
        bool stops = false;
    };
    struct Wrap {
        int64_t begin = 0, end = 0;
        int64_t peak = 0;
        std::vector<bool> channels;
        int64_t byStart = -1; // the note the wrap is told at, and where it starts
        int32_t byChannel = -1;
        int32_t byCommand = -1;
    };

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

    Place placeOf(int32_t channel, int64_t command) const {
        const TextPlace p = places_.placeOf(channel, command);
        return {p.line, p.column};
    }

    // One warning per place and kind: a looping channel meets the same note again and again.
    void once(int32_t channel, int32_t command, char kind, std::string text) {
        const Place p = placeOf(channel, command);
        if (!seen_.emplace(std::make_tuple(p.line, p.column, kind)).second) return;
        warnings_.push_back({p.line, p.column, std::move(text)});
    }

    void attribute(int32_t channel, int32_t command, int64_t from, int64_t to, int64_t period) {
        forEachHighRun(from, to, period, [&](int64_t lo, int64_t hi) {
            auto w = std::upper_bound(wraps_.begin(), wraps_.end(), lo,
                                      [](int64_t k, const Wrap& x) { return k < x.end; });
            for (; w != wraps_.end() && w->begin < hi; ++w) {
                const int64_t a = std::max(lo, w->begin), b = std::min(hi, w->end);
                bool wrapped = false;
                for (int64_t i = a; i < b && !wrapped; ++i)
                    wrapped = sums_[static_cast<size_t>(i)] > 255;
                if (!wrapped) continue;
                if (w->channels.size() <= static_cast<size_t>(channel))
                    w->channels.resize(static_cast<size_t>(channel) + 1);
                w->channels[static_cast<size_t>(channel)] = true;
                // Told at the note that came in last among those sounding when the wrap
                // begins (the last declared of notes that start together): the one an
                // author would look at.
                if (a == w->begin && std::tie(from, channel) > std::tie(w->byStart, w->byChannel)) {
                    w->byStart = from;
                    w->byChannel = channel;
                    w->byCommand = command;
                }
            }
        });
    }

    // A run of skipped bytes, or what trails a ']' or a 't', 'o', 'v', 'q' or 'l' that did
    // not take it, goes on with `next`.
    bool continuesRun(std::string_view next) const {
        const char c = next.empty() ? '\0' : next[0];
        switch (run_.kind) {
        case Dropped::Bytes:
            return true;
        case Dropped::UnopenedClose:
            return isDigit(c);
        case Dropped::NoNumber:
            return run_.text.size() == 1 ? c == '+' || c == '-' : isDigit(c);
        default:
            return false;
        }
    }

    std::string runMessage() const {
        const std::string quoted = "'" + shown(run_.text) + "'";
        switch (run_.kind) {
        case Dropped::NoNumber:
            return run_.text.size() == 1 ? quoted + " without a number: skipped"
                                         : quoted + " is not a command: numbers take no sign; "
                                                    "skipped";
        case Dropped::UnopenedClose:
            return quoted + " without '[' on its line: ignored";
        default:
            return quoted + " is not a command: skipped" +
                   (run_.sharp ? "; sharps are written '+'" : "");
        }
    }

    Place editorPlace(int64_t line, int64_t column) const {
        const TextPlace p = places_.editorPlace({line, column, 0});
        return {p.line, p.column};
    }

    std::string utf16Warning() const {
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
    void reportMark() {
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
            // The name is what the mark spoils; the line's commands are the author's own.
            std::erase_if(warnings_,
                          [](const ScoreWarning& w) { return w.line == 1 && w.column == 1; });
        }
        if (rest.empty() || rest.find(';') != std::string_view::npos) claimed_.insert(1);
        claims_.push_back({1, 1, text + "; save the file without the mark"});
    }

    void reportBreaks() {
        const auto& breaks = places_.breaks();
        for (size_t i = 0; i < breaks.size(); ++i) {
            const std::string& name = breakNames_[i];
            claims_.push_back(
                {breaks[i].line, breaks[i].column,
                 "the byte 0xFF ends a line for the player: what follows it is "
                 "read as a new line" +
                     (name.empty() ? std::string()
                                   : ", whose first word '" + shown(name) + "' names a channel")});
        }
    }

    // Channel names are exact: 'Lead' and 'LEAD' are two voices.
    void reportCaseTwins() {
        std::unordered_map<std::string, int32_t> byFolded;
        for (int32_t ch = 0; ch < sound_.channelCount; ++ch) {
            const std::string& name = nameOf(ch);
            const auto [it, first] = byFolded.emplace(folded(name), ch);
            if (first) continue;
            const TextPlace here = places_.declaredAt(ch);
            const TextPlace there = places_.declaredAt(it->second);
            warnings_.push_back({here.line, here.column,
                                 "channel '" + shown(name) + "' differs from channel '" +
                                     shown(nameOf(it->second)) + "' (line " +
                                     std::to_string(editorPlace(there.line, there.column).line) +
                                     ") only in case: they are two channels"});
        }
    }

    // A wrap is told once per note, with how often it recurs.
    void reportWraps() {
        std::map<std::tuple<int64_t, int64_t>, size_t> byPlace;
        std::vector<size_t> more;
        for (const Wrap& w : wraps_) {
            if (w.byChannel < 0) continue;
            const Place p = placeOf(w.byChannel, w.byCommand);
            auto [it, first] = byPlace.emplace(std::make_tuple(p.line, p.column), warnings_.size());
            if (!first) {
                ++more[it->second];
                continue;
            }
            std::string names;
            // A few names say which voices; a score of thousands would make the line unreadable.
            constexpr int kNamed = 16;
            int named = 0, unnamed = 0;
            for (size_t ch = 0; ch < w.channels.size(); ++ch) {
                if (!w.channels[ch]) continue;
                if (named++ < kNamed)
                    names += (names.empty() ? "" : ", ") + shown(nameOf(static_cast<int32_t>(ch)));
                else
                    ++unnamed;
            }
            if (unnamed > 0) names += " and " + std::to_string(unnamed) + " more";
            warnings_.push_back({p.line, p.column,
                                 "the voices add up to " + std::to_string(w.peak) +
                                     " and wrap past 255 from " + secondsText(w.begin, rate_) +
                                     " to " + secondsText(w.end, rate_) + " (" + names + ")"});
            more.resize(warnings_.size(), 0);
        }
        for (size_t i = 0; i < more.size(); ++i)
            if (more[i] > 0)
                warnings_[i].text += ", and " + std::to_string(more[i]) + " more time" +
                                     (more[i] == 1 ? "" : "s") + " later";
    }

    const Sound& sound_;
    int32_t rate_;
    std::vector<uint16_t> sums_; // every voice's level added up, held at 65535
    std::vector<ChannelData> channels_;
    std::vector<const std::string*> names_;
    std::vector<ScoreWarning> warnings_;
    std::set<std::tuple<int64_t, int64_t, char>> seen_;
    std::vector<Wrap> wraps_;
    bool attributing_ = false;

    // What the loader's lines show: how the file is encoded, where a 0xFF splits an editor's
    // line, and how much of it is skipped.
    static constexpr size_t kHead = 4096;
    struct Run {
        bool active = false;
        Dropped kind = Dropped::Bytes;
        bool sharp = false; // a '#' right after a note letter
        int64_t line = 0, column = 0;
        std::string text;
        size_t warning = 0;
    };
    std::string_view text_; // the line being read; valid only while the loader reads it
    std::string head_;      // the file's first bytes
    ScorePlaces places_;
    std::vector<std::string> breakNames_; // by 0xFF: the channel the loader line after it names
    std::string markedName_;    // line 1's channel name, when a UTF-8 byte-order mark begins it
    std::set<int64_t> claimed_; // loader lines that one warning stands for, whole
    std::vector<ScoreWarning> claims_;
    int64_t commandBytes_ = 0;
    int64_t skippedBytes_ = 0;
    Run run_;
    Place lastRead_; // the note just read, for a '#' right after it
};

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
    if (examiner.findWraps()) {
        // Again, to learn which voices meet in each wrap.
        // A rendering leaves each channel's read position where it stopped, and the
        // next would go on from there: start both from the same place. The bytes come
        // out the same, so they may go into the same buffer.
        sound.resetPositions();
        sound.render(pcm, rate);
    }
    ScoreReport report;
    report.samples = static_cast<int64_t>(pcm.size());
    report.rate = rate;
    examiner.finish(report);
    return report;
}
