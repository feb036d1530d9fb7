#include "tools/report/voice_sums.h"

#include "sound/sound.h"

#include <algorithm>
#include <tuple>

void VoiceSums::add(int64_t from, int64_t to, int64_t period, uint8_t level) {
    int32_t* counts = counts_.data();
    forEachHighRun(from, to, period, [counts, level](int64_t lo, int64_t hi) {
        counts[lo] += level;
        counts[hi] -= level;
    });
}

bool VoiceSums::findWraps(int64_t gap) {
    const int64_t n = static_cast<int64_t>(counts_.size()) - 1;
    int64_t sum = 0;
    int32_t wrapped = 0;
    for (int64_t i = 0; i < n; ++i) {
        sum += counts_[static_cast<size_t>(i)];
        counts_[static_cast<size_t>(i)] = wrapped;
        if (sum > peak_) {
            peak_ = sum;
            peakAt_ = i;
        }
        if (sum <= 255) continue;
        ++wrapped;
        if (!wraps_.empty() && i - wraps_.back().end < gap) {
            wraps_.back().end = i + 1;
        } else {
            wraps_.emplace_back();
            wraps_.back().begin = i;
            wraps_.back().end = i + 1;
        }
        wraps_.back().peak = std::max(wraps_.back().peak, sum);
    }
    counts_[static_cast<size_t>(n)] = wrapped;
    return !wraps_.empty();
}

void VoiceSums::count(Wrap& w, int32_t channel) {
    if (w.lastChannel == channel) return;
    w.lastChannel = channel;
    ++w.channels;
    if (w.namedCount == kNamed && channel >= w.named[kNamed - 1]) return;
    int k = std::min(w.namedCount, kNamed - 1);
    for (; k > 0 && w.named[k - 1] > channel; --k)
        w.named[k] = w.named[k - 1];
    w.named[k] = channel;
    w.namedCount = std::min(w.namedCount + 1, kNamed);
}

void VoiceSums::attribute(int32_t channel, int32_t command, int64_t from, int64_t to,
                          int64_t period) {
    const int64_t high = period / 3;
    auto w = std::upper_bound(wraps_.begin(), wraps_.end(), from,
                              [](int64_t k, const Wrap& x) { return k < x.end; });
    for (; w != wraps_.end() && w->begin < to; ++w) {
        // Told at the note that came in last among those sounding when the wrap begins (the
        // last declared of notes that start together): the one an author would look at.
        if (from <= w->begin && w->begin % period < high) {
            count(*w, channel);
            if (std::tie(from, channel) > std::tie(w->byStart, w->byChannel)) {
                w->byStart = from;
                w->byChannel = channel;
                w->byCommand = command;
            }
            continue;
        }
        if (w->lastChannel == channel) continue;
        const int64_t lo = std::max(from, w->begin), hi = std::min(to, w->end);
        for (int64_t start = lo - lo % period; start < hi; start += period) {
            const int64_t a = std::max(start, lo), b = std::min(start + high, hi);
            if (a < b && wrapsIn(a, b)) {
                count(*w, channel);
                break;
            }
        }
    }
}
