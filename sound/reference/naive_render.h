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

inline void channelPass(Sound& s, const std::string& name, std::span<uint8_t> buffer,
                        int32_t rate) {
    int32_t whole = 32000, octave = 3, volume = 50, gate = 6, length = 4, semitone = 0;
    bool sounding = false;
    int64_t i = 0, noteEnd = 0, gateEnd = 0;
    bool rewound = false, met = false;
    const int64_t size = static_cast<int64_t>(buffer.size());

    // Returns false when the channel stops for good.
    auto read = [&]() -> bool {
        for (;;) {
            CMDstruct c = s.nextCommand(name);
            const int32_t k = code(c.cmd);
            if (k < 0) {
                if (rewound && !met) return false;
                rewound = true;
                met = false;
                s.resetChannel(name);
                sounding = false;
                continue;
            }
            switch (k) {
            case 100:
                if (c.value != 0) whole = 3500000 / c.value;
                continue;
            case 101:
                octave = c.value;
                continue;
            case 102:
                volume = c.value;
                continue;
            case 103:
                gate = c.value;
                continue;
            case 104:
                octave = static_cast<int32_t>(static_cast<uint32_t>(octave) - 1);
                continue;
            case 105:
                octave = static_cast<int32_t>(static_cast<uint32_t>(octave) + 1);
                continue;
            case 106:
            case 107:
                continue;
            case 108:
                if (c.value != 0) length = c.value;
                continue;
            default:
                break;
            }
            met = true;
            const int32_t b = c.value >> 8;
            const int64_t d = b > 0 ? b : length;
            const int dots = (c.value & 0xFF) > 24 ? 24 : (c.value & 0xFF);
            int64_t n =
                int64_t{whole} * ((int64_t{1} << (dots + 1)) - 1) / (d * (int64_t{1} << dots));
            if (n < 1) n = 1;
            const int64_t g = n * gate / 8;
            sounding = false;
            if (k != 16) {
                semitone = k;
                sounding = g > 0 && octave >= 0 && octave <= 8 &&
                           static_cast<int64_t>(rate / s.noteFreq[octave][semitone]) >= 3;
            }
            noteEnd = i + n;
            gateEnd = i + g;
            return true;
        }
    };

    sounding = false;
    if (!read()) return;
    for (;;) {
        if (sounding) {
            const auto p =
                static_cast<int64_t>(static_cast<double>(rate) / s.noteFreq[octave][semitone]);
            const int64_t h = p / 3;
            if (i % p < h) buffer[i] = static_cast<uint8_t>(buffer[i] + (volume & 0xFF));
        }
        ++i;
        if (i >= size) return;
        if (i == gateEnd) {
            sounding = false;
            if (i == noteEnd && !read()) return;
            continue;
        }
        if (i != noteEnd) continue;
        if (!read()) return;
    }
}

inline int32_t render(Sound& s, std::span<uint8_t> buffer, int32_t rate) {
    if (buffer.empty()) return 0;
    std::memset(buffer.data(), 0, buffer.size());
    for (const auto& entry : s.channelIndex)
        channelPass(s, entry.first, buffer, rate);
    return 0;
}

} // namespace naive
