#include "sound/mml_lexicon.h"

namespace mml {

namespace {

int32_t skipDigits(const uint8_t* s, size_t n, size_t& p) {
    while (p < n && isDigit(s[p]))
        ++p;
    return 0;
}

template <Kind K> Word word(const uint8_t* s, size_t n, size_t p) {
    const Parts parts = readParts<K>(s, n, p, skipDigits);
    if (shapeOf(K).number == Number::Required && !parts.hasNumber) return {Kind::Skipped, p + 1};
    return {K, parts.end};
}

} // namespace

Word readWord(std::string_view line, size_t p, int64_t open) {
    const auto* s = reinterpret_cast<const uint8_t*>(line.data());
    const size_t n = line.size();
    switch (kindOf(s[p])) {
    case Kind::Note:
        return word<Kind::Note>(s, n, p);
    case Kind::Rest:
        return word<Kind::Rest>(s, n, p);
    case Kind::Setting:
        return word<Kind::Setting>(s, n, p);
    case Kind::Marker:
        return word<Kind::Marker>(s, n, p);
    case Kind::Octave:
        return word<Kind::Octave>(s, n, p);
    case Kind::Open:
        return word<Kind::Open>(s, n, p);
    case Kind::Close:
        if (open == 0) return {Kind::Skipped, p + 1};
        return word<Kind::Close>(s, n, p);
    case Kind::Comment:
        return {Kind::Comment, n};
    case Kind::Blank:
        return {Kind::Blank, p + 1};
    default:
        return {Kind::Skipped, p + 1};
    }
}

} // namespace mml
