// The renderer's side of the examination, and what is told once both are over.
#include "tools/score_examiner.h"

#include "tools/score_text.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

namespace score_examination {

using namespace score_text;

namespace {

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

} // namespace

void Examiner::silent(int32_t channel, int32_t command, int64_t sample, Silence why,
                      int64_t setting) {
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
            reason =
                setting == 0 ? "the gate is q0" : "too short for gate q" + std::to_string(setting);
            break;
        case Silence::Volume:
            reason = "volume " + std::to_string(setting) + " plays as 0 (volumes count modulo 256)";
            break;
        }
        return "this note is silent: " + reason + ", first at " + secondsText(sample, rate_);
    });
}

void Examiner::sounds(int32_t channel, int32_t command, int64_t from, int64_t to, int64_t period,
                      uint8_t level) {
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

void Examiner::stopped(int32_t channel, int64_t) {
    if (attributing_) return;
    ChannelData& c = channelData(channel);
    if (c.stops) return;
    c.stops = true;
    if (c.signedRest >= 0) {
        signedRests_[static_cast<size_t>(c.signedRest)].stops = true;
        return;
    }
    warn(places_.declaredAt(channel), [&] {
        return "channel '" + shown(nameOf(channel)) + "' holds no note or rest: it plays nothing";
    });
}

void Examiner::reportPastTheEnd(Sound& sound) {
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
            return "channel '" + shown(nameOf(ch)) + "' lasts " + secondsText(walk.samples, rate_) +
                   ": from here on it begins after " + secondsText(end, rate_) +
                   " and is never heard";
        });
    }
}

const std::string& Examiner::nameOf(int32_t channel) {
    if (names_.size() != sound_.channelIndex.size()) {
        names_.assign(sound_.channelIndex.size(), nullptr);
        for (const auto& [name, index] : sound_.channelIndex)
            if (index >= 0 && static_cast<size_t>(index) < names_.size()) names_[index] = &name;
    }
    static const std::string none;
    const auto i = static_cast<size_t>(channel);
    return i < names_.size() && names_[i] ? *names_[i] : none;
}

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
        const int32_t twin = it->second;
        const TextPlace there = places_.declaredAt(twin);
        warn(places_.declaredAt(ch), [&] {
            return "channel '" + shown(name) + "' differs from channel '" + shown(nameOf(twin)) +
                   "' (line " + std::to_string(there.line) +
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

} // namespace score_examination
