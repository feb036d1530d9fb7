// Times on the command line, as samples of the rendering.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The largest buffer the tool renders: big enough for an hour at 48 kHz,
// small enough not to take the machine's memory.
constexpr int64_t maxRenderSamples = int64_t{1} << 28;

// floor(seconds * rate) computed exactly from the decimal text of `seconds`;
// nothing for text that is not a plain non-negative decimal number.
std::optional<int64_t> samplesFor(const std::string& seconds, int32_t rate);

// floor(time * rate) for a time given as seconds ("12.5") or as minutes and seconds
// ("1:02.5"); nothing for other text.
std::optional<int64_t> samplesForTime(const std::string& time, int32_t rate);
