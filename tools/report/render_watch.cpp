#include "tools/report/render_watch.h"

#include "tools/score_text.h"

#include <algorithm>

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

std::string silenceReason(SoundObserver::Silence why, int64_t setting, int32_t rate) {
    using Silence = SoundObserver::Silence;
    switch (why) {
    case Silence::Octave:
        return "octave " + std::to_string(setting) + " is outside 0 to 8";
    case Silence::TooHigh:
        return "too high for " + std::to_string(rate) + " samples per second";
    case Silence::Gate:
        return setting == 0 ? "the gate is q0" : "too short for gate q" + std::to_string(setting);
    case Silence::Volume:
        return "volume " + std::to_string(setting) + " plays as 0 (volumes count modulo 256)";
    }
    return {};
}

} // namespace

void RenderWatch::ignored(int32_t channel, int32_t command, SoundObserver::Ignored what) {
    const bool tempo = what == SoundObserver::Ignored::Tempo;
    once(channel, command, tempo ? 't' : 'l', [tempo] {
        return tempo ? "t0 is ignored: the tempo stays" : "l0 is ignored: the default length stays";
    });
}

void RenderWatch::silent(int32_t channel, int32_t command, int64_t sample,
                         SoundObserver::Silence why, int64_t setting) {
    if (why == SoundObserver::Silence::Volume && setting > 255) return; // told at the 'v' itself
    once(channel, command, 's', [&] {
        return "this note is silent: " + silenceReason(why, setting, rate_) + ", first at " +
               secondsText(sample, rate_);
    });
}

void RenderWatch::rewound(int32_t channel, int64_t sample) {
    ChannelRun& c = channelRun(channel);
    if (c.rewinds++ == 0) c.firstRewind = sample;
}

void RenderWatch::stopped(int32_t channel) {
    ChannelRun& c = channelRun(channel);
    if (c.stops) return;
    c.stops = true;
    if (load_.signedRestStops(channel)) return;
    findings_.warn(findings_.places().declaredAt(channel), [&] {
        return "channel '" + shown(findings_.nameOf(channel)) +
               "' holds no note or rest: it plays nothing";
    });
}

void RenderWatch::reportPastTheEnd(Sound& sound, SoundObserver* watcher) {
    const int64_t end = std::max(samples_, int64_t{60} * rate_);
    for (int32_t ch = 0; ch < sound.channelCount; ++ch) {
        const ChannelRun& c = channelRun(ch);
        if (c.rewinds > 0 || c.stops || !c.played) continue;
        PassWalk walk(sound.channels[static_cast<size_t>(ch)], end);
        sound.observer = &walk;
        sound.tracePass(ch, rate_);
        sound.observer = watcher;
        if (!walk.noteUnheard) continue;
        findings_.warn(findings_.places().placeOf(ch, walk.firstUnheard), [&] {
            return "channel '" + shown(findings_.nameOf(ch)) + "' lasts " +
                   secondsText(walk.samples, rate_) + ": from here on it begins after " +
                   secondsText(end, rate_) + " and is never heard";
        });
    }
}

RenderWatch::ChannelRun& RenderWatch::channelRun(int32_t channel) {
    if (static_cast<size_t>(channel) >= channels_.size())
        channels_.resize(static_cast<size_t>(channel) + 1);
    return channels_[static_cast<size_t>(channel)];
}

const RenderWatch::ChannelRun& RenderWatch::channelRun(int32_t channel) const {
    static const ChannelRun none;
    return static_cast<size_t>(channel) < channels_.size() ? channels_[static_cast<size_t>(channel)]
                                                           : none;
}

} // namespace score_examination
