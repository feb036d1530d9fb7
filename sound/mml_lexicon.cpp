#include "sound/mml_lexicon.h"

#include <utility>

namespace mml {

namespace {

int32_t skipDigits(const uint8_t* s, size_t n, size_t& p) {
    while (p < n && isDigit(s[p]))
        ++p;
    return 0;
}

template <Kind K> Word word(const uint8_t* s, size_t n, size_t p, int64_t open) {
    if constexpr (K == Kind::Comment) {
        return {K, n};
    } else if constexpr (K == Kind::Blank) {
        return {K, p + 1};
    } else {
        const Parts parts = readParts<K>(s, n, p, skipDigits);
        const bool lacking = shapeOf(K).number == Number::Required && !parts.hasNumber;
        // No byte starts a name: it is the line's first word whatever its bytes.
        if (K == Kind::Skipped || K == Kind::Name || lacking || (K == Kind::Close && open == 0))
            return {Kind::Skipped, p + 1};
        return {K, parts.end};
    }
}

using Reader = Word (*)(const uint8_t*, size_t, size_t, int64_t);
template <size_t... K> constexpr std::array<Reader, kKinds> readers(std::index_sequence<K...>) {
    return {&word<static_cast<Kind>(K)>...};
}
constexpr std::array<Reader, kKinds> kReaders = readers(std::make_index_sequence<kKinds>());

} // namespace

Word readWord(std::string_view line, size_t p, int64_t open) {
    const auto* s = reinterpret_cast<const uint8_t*>(line.data());
    return kReaders[static_cast<size_t>(kindOf(s[p]))](s, line.size(), p, open);
}

} // namespace mml
