// Watches a load and a rendering for examineScore, and tells what it finds as warnings and
// figures. Every finding costs at most a constant times what the rendering does with the same
// input: a warning past the first few is counted, never built; quoted bytes are cut; places
// are kept as an editor counts them, worked out once as the loader reads.
#pragma once

#include "sound/sound.h"
#include "tools/score_places.h"
#include "tools/score_report.h"
#include "tools/score_text.h"
#include "tools/voice_sums.h"
#include "tools/warning_list.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace score_examination {

inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// More warnings than this are one line: a file written for another player would
// otherwise bury the first, telling ones.
inline constexpr size_t kMostWarnings = 50;

class Examiner final : public SoundObserver {
public:
    Examiner(const Sound& sound, int64_t samples, int32_t rate)
        : sound_(sound), rate_(rate), samples_(samples), sums_(samples) {}

    // The loader.

    void line(int64_t line, std::string_view text, int ending) override;

    void dropped(Dropped what, int64_t line, int64_t column, std::string_view text) override;

    void read(int32_t channel, int32_t command, int64_t line, int64_t column,
              int64_t length) override;

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
                int64_t setting) override;

    void sounds(int32_t channel, int32_t command, int64_t from, int64_t to, int64_t period,
                uint8_t level) override;

    void rewound(int32_t channel, int64_t sample) override {
        if (attributing_) return;
        ChannelData& c = channelData(channel);
        if (c.rewinds++ == 0) c.firstRewind = sample;
    }

    void stopped(int32_t channel, int64_t) override;

    // Between the rendering and its tracing: the moments where the voices add past 255.
    bool findWraps() {
        attributing_ = sums_.findWraps(std::max<int64_t>(rate_ / 20, 1));
        return attributing_;
    }

    // After the rendering: each channel whose first pass outlasts it, walked to its end, told
    // where its notes go past what is heard. That is the rendering, or the minute the player
    // renders where the rendering is shorter: what a short one leaves out, the player plays.
    void reportPastTheEnd(Sound& sound);

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
        return "'" + score_text::shown(written) + "' is not a rest (a rest takes no '" +
               std::string(written.substr(1)) +
               "'): the channel starts over from its first command here";
    }

    // A length of zero, or one past what a note's value holds, which wraps.
    void checkLength(const TextPlace& here, size_t at, size_t letters, int32_t value);

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
    const std::string& nameOf(int32_t channel);

    bool continuesRun(std::string_view next) const;

    std::string runMessage() const;

    void tellBreak(std::string_view name);

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

} // namespace score_examination
