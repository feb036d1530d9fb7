// The engine's arithmetic of time, pitch and level in one place: the renderer plays by it,
// and tools that tell an author what a command does quote the same figures.
#pragma once

#include <algorithm>
#include <cstdint>

namespace figures {

// Octaves outside these are not heard.
constexpr int32_t lowestOctave = 0;
constexpr int32_t highestOctave = 8;
// A pulse shorter than this many samples has no high phase worth the name: not heard.
constexpr int64_t shortestPeriod = 3;
// Dots past this many add nothing a sample can hold.
constexpr int maxDots = 24;

// Samples in a whole note at tempo `tempo` (not 0: t0 leaves the tempo as it was).
constexpr int32_t wholeOfTempo(int32_t tempo) {
    return 3'500'000 / tempo;
}

// Samples in a note or rest: the whole-note length over the divisor (the written length, or
// `defaultLength` without one), each dot adding half of the one before, never less than one
// sample. `value` packs length * 256 + dots.
inline int64_t noteSamples(int32_t whole, int32_t value, int32_t defaultLength) {
    const int32_t written = value >> 8;
    const int64_t divisor = written > 0 ? written : defaultLength;
    const int dots = std::min(value & 0xFF, maxDots);
    const int64_t denominator = divisor * (int64_t{1} << dots);
    const int64_t n =
        denominator == 0 ? 0 : int64_t{whole} * ((int64_t{1} << (dots + 1)) - 1) / denominator;
    return std::max<int64_t>(n, 1);
}

// A note's length in quarters, as written (whatever the tempo): 0 where the divisor is 0.
inline double noteBeats(int32_t value, int32_t defaultLength) {
    const int32_t written = value >> 8;
    const double divisor = written > 0 ? written : defaultLength;
    const int dots = std::min(value & 0xFF, maxDots);
    if (divisor == 0) return 0;
    return 4.0 * static_cast<double>((int64_t{1} << (dots + 1)) - 1) /
           (divisor * static_cast<double>(int64_t{1} << dots));
}

// A gate counts the parts of a note that sound in eighths.
constexpr int32_t gateSteps = 8;

// The samples of a note of `n` samples that sound at gate `gate` (more than all of them past
// gateSteps: the renderer holds a note no longer than its length).
constexpr int64_t gateSamples(int64_t n, int32_t gate) {
    return n * gate / gateSteps;
}

// What a voice at `volume` adds to each high sample.
constexpr uint8_t levelOf(int32_t volume) {
    return static_cast<uint8_t>(volume & 0xFF);
}

// The pulse period, in whole samples, that a pitch of `frequency` gets at `rate`.
inline int64_t periodOf(double frequency, int32_t rate) {
    return static_cast<int64_t>(static_cast<double>(rate) / frequency);
}

} // namespace figures
