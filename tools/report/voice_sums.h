// Where the voices of a rendering add up past 255 and wrap, and which voices meet there. A
// rendering's notes add their levels as runs of samples; here each run costs two additions,
// whatever its length, so that finding the wraps costs a fraction of the rendering itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class VoiceSums {
public:
    // The names a wrap lists; the others are counted.
    static constexpr int kNamed = 16;

    struct Wrap {
        int64_t begin = 0, end = 0;
        int64_t peak = 0;
        int32_t named[kNamed] = {}; // the lowest channels that meet in it, in order
        int namedCount = 0;
        int64_t channels = 0;     // how many meet in it
        int32_t lastChannel = -1; // the channel last counted: a channel's notes come together
        int64_t byStart = -1;     // the note the wrap is told at, and where it starts
        int32_t byChannel = -1;
        int32_t byCommand = -1;
    };

    explicit VoiceSums(int64_t samples) : counts_(static_cast<size_t>(samples) + 1, 0) {}

    // A note adds `level` over the high runs of `period` in [from, to).
    void add(int64_t from, int64_t to, int64_t period, uint8_t level);

    // Once every note is added: the peak, and the moments where the sum passes 255. Runs of
    // wrapped samples closer than `gap` are one moment: a chord wraps in every period.
    // Whether any.
    bool findWraps(int64_t gap);
    int64_t peak() const { return peak_; }
    int64_t peakAt() const { return peakAt_; }

    // With the wraps found, the notes again: which of them meet in each wrap.
    void attribute(int32_t channel, int32_t command, int64_t from, int64_t to, int64_t period);
    const std::vector<Wrap>& wraps() const { return wraps_; }

private:
    // Whether any sample in [a, b) wraps.
    bool wrapsIn(int64_t a, int64_t b) const {
        return counts_[static_cast<size_t>(b)] > counts_[static_cast<size_t>(a)];
    }
    static void count(Wrap& w, int32_t channel);

    // Before findWraps, the change of the sum at each sample; after, how many samples before
    // each wrap.
    std::vector<int32_t> counts_;
    std::vector<Wrap> wraps_;
    int64_t peak_ = 0;
    int64_t peakAt_ = 0;
};
