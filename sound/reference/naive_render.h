// A straightforward, sample-by-sample reading of the renderer's steps, driven
// through nextCommand and resetChannel. It is slow on purpose: the benchmarks
// measure the real renderer against it, and the tests use it as an oracle. It sits
// beside the engine, not in either, so that neither depends on the other; nothing
// the player ships includes it.
#pragma once

#include "sound/sound.h"

#include <cstring>
#include <span>
#include <string>

namespace naive {

inline int32_t code(const std::string& cmd) {
    static const struct {
        const char* text;
        int32_t code;
    } table[] = {{"C", 0},   {"B+", 0},  {"C+", 1},  {"D-", 1},  {"D", 2},   {"D+", 3},  {"E-", 3},
                 {"E", 4},   {"F-", 4},  {"F", 5},   {"E+", 5},  {"F+", 6},  {"G-", 6},  {"G", 7},
                 {"G+", 8},  {"A-", 8},  {"A", 9},   {"A+", 10}, {"B-", 10}, {"B", 11},  {"C-", 11},
                 {"R", 16},  {"T", 100}, {"O", 101}, {"V", 102}, {"Q", 103}, {"<", 104}, {">", 105},
                 {"(", 106}, {")", 107}, {"L", 108}};
    for (const auto& entry : table)
        if (cmd == entry.text) return entry.code;
    return -1;
}

// One channel's pass over the buffer, its settings as the renderer keeps them.
class ChannelPass {
public:
    ChannelPass(Sound& s, const std::string& name, std::span<uint8_t> buffer, int32_t rate)
        : s_(s), name_(name), buffer_(buffer), rate_(rate) {}

    void run() {
        const int64_t size = static_cast<int64_t>(buffer_.size());
        if (!read()) return;
        for (;;) {
            if (sounding_) {
                const auto p = static_cast<int64_t>(static_cast<double>(rate_) /
                                                    s_.noteFreq[octave_][semitone_]);
                const int64_t h = p / 3;
                if (i_ % p < h) buffer_[i_] = static_cast<uint8_t>(buffer_[i_] + (volume_ & 0xFF));
            }
            ++i_;
            if (i_ >= size) return;
            if (i_ == gateEnd_) {
                sounding_ = false;
                if (i_ == noteEnd_ && !read()) return;
                continue;
            }
            if (i_ != noteEnd_) continue;
            if (!read()) return;
        }
    }

private:
    // Whether `k` is a control command, applied.
    bool control(int32_t k, int32_t value) {
        switch (k) {
        case 100:
            if (value != 0) whole_ = 3500000 / value;
            return true;
        case 101:
            octave_ = value;
            return true;
        case 102:
            volume_ = value;
            return true;
        case 103:
            gate_ = value;
            return true;
        case 104:
            octave_ = static_cast<int32_t>(static_cast<uint32_t>(octave_) - 1);
            return true;
        case 105:
            octave_ = static_cast<int32_t>(static_cast<uint32_t>(octave_) + 1);
            return true;
        case 106:
        case 107:
            return true;
        case 108:
            if (value != 0) length_ = value;
            return true;
        default:
            return false;
        }
    }

    // The next note or rest; false when the channel stops for good.
    bool read() {
        for (;;) {
            CMDstruct c = s_.nextCommand(name_);
            const int32_t k = code(c.cmd);
            if (k < 0) {
                if (rewound_ && !met_) return false;
                rewound_ = true;
                met_ = false;
                s_.resetChannel(name_);
                sounding_ = false;
                continue;
            }
            if (control(k, c.value)) continue;
            met_ = true;
            start(k, c.value);
            return true;
        }
    }

    void start(int32_t k, int32_t value) {
        const int32_t b = value >> 8;
        const int64_t d = b > 0 ? b : length_;
        const int dots = (value & 0xFF) > 24 ? 24 : (value & 0xFF);
        int64_t n = int64_t{whole_} * ((int64_t{1} << (dots + 1)) - 1) / (d * (int64_t{1} << dots));
        if (n < 1) n = 1;
        const int64_t g = n * gate_ / 8;
        sounding_ = false;
        if (k != 16) {
            semitone_ = k;
            sounding_ = g > 0 && octave_ >= 0 && octave_ <= 8 &&
                        static_cast<int64_t>(rate_ / s_.noteFreq[octave_][semitone_]) >= 3;
        }
        noteEnd_ = i_ + n;
        gateEnd_ = i_ + g;
    }

    Sound& s_;
    const std::string& name_;
    std::span<uint8_t> buffer_;
    int32_t rate_;
    int32_t whole_ = 32000, octave_ = 3, volume_ = 50, gate_ = 6, length_ = 4, semitone_ = 0;
    bool sounding_ = false, rewound_ = false, met_ = false;
    int64_t i_ = 0, noteEnd_ = 0, gateEnd_ = 0;
};

inline int32_t render(Sound& s, std::span<uint8_t> buffer, int32_t rate) {
    if (buffer.empty()) return 0;
    std::memset(buffer.data(), 0, buffer.size());
    for (const auto& entry : s.channelIndex)
        ChannelPass(s, entry.first, buffer, rate).run();
    return 0;
}

} // namespace naive
