// What the player plays and the render tool writes by default: unsigned 8-bit mono at
// sampleRate samples a second, playSeconds of it. A score shorter than that repeats.
#pragma once

#include <cstddef>
#include <cstdint>

namespace play_format {

inline constexpr int32_t sampleRate = 11025;
inline constexpr int32_t playSeconds = 60;
// One byte a sample: the buffer the player renders into and hands to the wave output.
inline constexpr size_t bufferBytes = size_t{sampleRate} * playSeconds; // 661,500

} // namespace play_format
