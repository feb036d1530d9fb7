#include "tools/render_time.h"

#include <algorithm>

std::optional<int64_t> samplesFor(const std::string& seconds, int32_t rate) {
    // Exact decimal arithmetic: 0.29 s at 100 Hz is 29 samples, where doubles
    // would give 28.
    const size_t point = seconds.find('.');
    const std::string whole = seconds.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : seconds.substr(point + 1);
    if (whole.empty() && fraction.empty()) return std::nullopt;
    int64_t samples = 0;
    for (char c : whole) {
        if (c < '0' || c > '9') return std::nullopt;
        samples = samples * 10 + (c - '0');
        if (samples > maxRenderSamples) return std::nullopt;
    }
    samples *= rate;
    // floor(0.fraction * rate): the carry out of a right-to-left multiplication.
    uint64_t carry = 0;
    for (auto c = fraction.rbegin(); c != fraction.rend(); ++c) {
        if (*c < '0' || *c > '9') return std::nullopt;
        carry = (static_cast<uint64_t>(*c - '0') * static_cast<uint64_t>(rate) + carry) / 10;
    }
    samples += static_cast<int64_t>(carry);
    if (samples > maxRenderSamples) return std::nullopt;
    return samples;
}

std::optional<int64_t> samplesForTime(const std::string& time, int32_t rate) {
    const size_t colon = time.find(':');
    if (colon == std::string::npos) return samplesFor(time, rate);
    const std::string minutes = time.substr(0, colon), seconds = time.substr(colon + 1);
    // m:ss.s: the seconds below 60, in one or two digits before any point.
    const size_t whole =
        seconds.find('.') == std::string::npos ? seconds.size() : seconds.find('.');
    const auto digits = [](const std::string& text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (minutes.empty() || minutes.size() > 9 || whole == 0 || whole > 2 || !digits(minutes) ||
        !digits(seconds.substr(0, whole)) || (whole == 2 && seconds[0] >= '6'))
        return std::nullopt;
    const auto inMinute = samplesFor(seconds, rate);
    if (!inMinute) return std::nullopt;
    const int64_t minuteSeconds = std::stoll(minutes) * 60;
    if (minuteSeconds > maxRenderSamples) return std::nullopt; // and the product below fits
    const int64_t total = minuteSeconds * rate + *inMinute;
    if (total > maxRenderSamples) return std::nullopt;
    return total;
}
