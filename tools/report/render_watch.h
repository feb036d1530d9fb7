// What a rendering tells: notes that stay silent, t0 and l0 left out, channels that hold
// nothing to play, and channels whose notes begin past what is heard.
#pragma once

#include "sound/sound.h"
#include "tools/report/findings.h"
#include "tools/report/load_examiner.h"

#include <cstdint>
#include <functional>
#include <unordered_set>
#include <vector>

namespace score_examination {

class RenderWatch {
public:
    // How a channel ran: what --info counts of it, and whether its first pass ends.
    struct ChannelRun {
        int64_t rewinds = 0;
        int64_t firstRewind = 0;
        bool stops = false;
        bool played = false;
    };

    RenderWatch(Findings& findings, LoadExaminer& load, int64_t samples, int32_t rate)
        : findings_(findings), load_(load), samples_(samples), rate_(rate) {}

    // As the renderer tells them.
    void ignored(int32_t channel, int32_t command, SoundObserver::Ignored what);
    void silent(int32_t channel, int32_t command, int64_t sample, SoundObserver::Silence why,
                int64_t setting);
    void rewound(int32_t channel, int64_t sample);
    void stopped(int32_t channel);
    void played(int32_t channel) { channelRun(channel).played = true; }

    // After the rendering: each channel whose first pass outlasts it, walked to its end, told
    // where its notes go past what is heard. That is the rendering, or the minute the player
    // renders where the rendering is shorter: what a short one leaves out, the player plays.
    // `sound`'s observer is `watcher` again after.
    void reportPastTheEnd(Sound& sound, SoundObserver* watcher);

    const ChannelRun& channelRun(int32_t channel) const;

private:
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

    ChannelRun& channelRun(int32_t channel);

    // One warning per place and kind: a looping channel meets the same note again and again.
    template <typename Text> void once(int32_t channel, int32_t command, char kind, Text&& text) {
        const TextPlace p = findings_.places().placeOf(channel, command);
        if (p.claimed || !seen_.insert({p.line, p.column, kind}).second) return;
        findings_.warn(p, std::forward<Text>(text));
    }

    Findings& findings_;
    LoadExaminer& load_;
    int64_t samples_;
    int32_t rate_;
    std::vector<ChannelRun> channels_;
    std::unordered_set<Key, KeyHash> seen_;
};

} // namespace score_examination
