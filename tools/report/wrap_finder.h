// Where the voices add past 255 and wrap: the rendering's notes are summed as it goes; where
// any wrap, the rendering is traced again to learn which voices meet in each, without adding
// a sample.
#pragma once

#include "tools/report/findings.h"
#include "tools/report/voice_sums.h"

#include <algorithm>
#include <cstdint>

namespace score_examination {

class WrapFinder {
public:
    WrapFinder(int64_t samples, int32_t rate) : sums_(samples), rate_(rate) {}

    // A note of the rendering, or, once the wraps are found, of its tracing.
    void sounds(int32_t channel, int32_t command, int64_t from, int64_t to, int64_t period,
                uint8_t level) {
        if (attributing_)
            sums_.attribute(channel, command, from, to, period);
        else
            sums_.add(from, to, period, level);
    }

    // Between the rendering and its tracing: whether any wrap, and so a tracing is wanted.
    bool findWraps() {
        attributing_ = sums_.findWraps(std::max<int64_t>(rate_ / 20, 1));
        return attributing_;
    }
    // Whether what the renderer tells now is the tracing, which tells nothing else.
    bool attributing() const { return attributing_; }

    // A wrap is told once per note, with how often it recurs.
    void report(Findings& findings) const;

    int64_t peak() const { return sums_.peak(); }
    int64_t peakAt() const { return sums_.peakAt(); }

private:
    VoiceSums sums_;
    int32_t rate_;
    bool attributing_ = false;
};

} // namespace score_examination
