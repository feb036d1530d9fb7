// A word's number as the loader reads it: decimal digits, at most 2147483647. Scores are
// mostly short numbers, so those take a loop of their own and the rest stay out of its way.
#pragma once

#include "sound/mml_lexicon.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mml {

// What a load says of digits past 32 bits; a long run is cut to its first 40.
inline std::string tooLargeNumber(std::string_view digits) {
    std::string shown(digits.substr(0, 40));
    if (digits.size() > 40) shown += "...";
    return "the number " + shown + " does not fit into 32 bits (the largest is 2147483647)";
}

// Ten digits or more: `tooLarge(digits, begin)` hears of a number past 32 bits.
template <class TooLarge>
#if defined(__GNUC__)
[[gnu::noinline]]
#endif
int32_t
readLongNumber(const uint8_t* s, size_t n, size_t& p, TooLarge& tooLarge) {
    const size_t begin = p;
    uint64_t v = 0;
    bool past = false;
    for (; p < n && isDigit(s[p]); ++p) {
        if (past) continue;
        v = v * 10 + (s[p] - '0');
        past = v > 2147483647u;
    }
    if (past)
        tooLarge(std::string_view(reinterpret_cast<const char*>(s + begin), p - begin), begin);
    return static_cast<int32_t>(v);
}

// The digits from `p`, which holds one; leaves `p` past them.
template <class TooLarge>
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline int32_t
readNumber(const uint8_t* s, size_t n, size_t& p, TooLarge&& tooLarge) {
    // The common case: a short number, well inside 32 bits.
    uint32_t v = static_cast<uint32_t>(s[p] - '0');
    size_t q = p + 1;
    for (; q < n && q < p + 9 && isDigit(s[q]); ++q)
        v = v * 10 + (s[q] - '0');
    if (q == n || !isDigit(s[q])) {
        p = q;
        return static_cast<int32_t>(v);
    }
    return readLongNumber(s, n, p, tooLarge);
}

} // namespace mml
