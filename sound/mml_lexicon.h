// MML's words, once: which byte starts which word, what each word takes after its first
// byte, what ends a line, a channel name and a line's commands. The loader reads with this,
// the tool's findings ask it, and the studio's highlighter reads a table written from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mml {

// What a word is. A byte's kind is that of the word it starts; Name is the line's first
// word, whatever its bytes, and Skipped what the loader passes over.
enum class Kind : uint8_t {
    Skipped,
    Blank,
    Note,
    Rest,
    Setting,
    Marker,
    Octave,
    Open,
    Close,
    Comment,
    Name,
};
inline constexpr size_t kKinds = 11;
inline constexpr std::array<std::string_view, kKinds> kKindNames = {
    "skipped", "blank", "note",  "rest",    "setting", "marker",
    "octave",  "open",  "close", "comment", "name"};

enum class Number : uint8_t { None, Optional, Required };

// What a word takes after its first byte, in this order: a sign ('+' or '-'), digits, dots.
// A word whose number is required and missing is one skipped byte; a Close with no Open
// before it on its line is one skipped byte too.
struct Shape {
    bool sign = false;
    Number number = Number::None;
    bool dots = false;
    friend constexpr bool operator==(const Shape&, const Shape&) = default;
};

constexpr Shape shapeOf(Kind kind) {
    switch (kind) {
    case Kind::Note:
    case Kind::Rest:
        return {true, Number::Optional, true};
    case Kind::Setting:
        return {false, Number::Required, false};
    case Kind::Marker:
    case Kind::Close:
        return {false, Number::Optional, false};
    default:
        return {};
    }
}

constexpr std::array<Kind, 256> makeKinds() {
    std::array<Kind, 256> t{};
    const auto set = [&t](std::string_view bytes, Kind kind) {
        for (char c : bytes)
            t[static_cast<uint8_t>(c)] = kind;
    };
    set(" \t", Kind::Blank);
    set("abcdefgABCDEFG", Kind::Note);
    set("rR", Kind::Rest);
    set("tovqlTOVQL", Kind::Setting);
    set("()", Kind::Marker);
    set("<>", Kind::Octave);
    set("[", Kind::Open);
    set("]", Kind::Close);
    set(";", Kind::Comment);
    return t;
}
inline constexpr std::array<Kind, 256> kByteKinds = makeKinds();

// What a note's or a rest's sign may be, and its dots.
inline constexpr std::string_view kSigns = "+-";
inline constexpr char kDot = '.';

// The bytes that end a line: LF, CR (CR LF is one end) and 0xFF.
inline constexpr std::string_view kLineEnds = "\n\r\xFF";

constexpr Kind kindOf(uint8_t c) {
    return kByteKinds[c];
}
// In compares: the loader asks these of every byte.
constexpr bool isBlank(uint8_t c) {
    return c == ' ' || c == '\t';
}
constexpr bool isDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}
constexpr bool isLineEnd(uint8_t c) {
    return c == '\n' || c == '\r' || c == 0xFF;
}

static_assert(static_cast<size_t>(Kind::Name) + 1 == kKinds);
// The compares above say what the table and kLineEnds say.
static_assert([] {
    for (int c = 0; c < 256; ++c) {
        const auto b = static_cast<uint8_t>(c);
        if (isBlank(b) != (kindOf(b) == Kind::Blank)) return false;
        if (isLineEnd(b) != (kLineEnds.find(static_cast<char>(b)) != std::string_view::npos))
            return false;
    }
    return true;
}());

// Where a line's first word, its channel's name, stands: from its first byte that is no
// blank to the next blank. A line that holds nothing else, or whose first such byte starts
// a comment, names nothing (begin == end; a comment starts at begin).
struct Span {
    size_t begin = 0;
    size_t end = 0;
};
constexpr Span nameOf(std::string_view line) {
    size_t p = 0;
    while (p < line.size() && isBlank(static_cast<uint8_t>(line[p])))
        ++p;
    if (p == line.size() || kindOf(static_cast<uint8_t>(line[p])) == Kind::Comment) return {p, p};
    const size_t begin = p;
    while (p < line.size() && !isBlank(static_cast<uint8_t>(line[p])))
        ++p;
    return {begin, p};
}

// Where a byte that starts a comment elsewhere stands in `text`, or npos: inside a channel's
// name such a byte is part of the name, which authors seldom mean.
constexpr size_t commentByteIn(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (kindOf(static_cast<uint8_t>(text[i])) == Kind::Comment) return i;
    return std::string_view::npos;
}
constexpr bool startsComment(std::string_view text) {
    return !text.empty() && kindOf(static_cast<uint8_t>(text[0])) == Kind::Comment;
}

// A word read after its first byte.
struct Parts {
    size_t end = 0; // past the word
    char sign = 0;  // '+', '-' or none
    bool hasNumber = false;
    int32_t number = 0; // what `readNumber` made of the digits
    size_t dots = 0;
};

// Reads the word of kind K whose first byte stands at `p`, as its shape says. `readNumber(s,
// n, q)` reads the digits from q, moves q past them and returns their value; the loader's
// also refuses numbers past 32 bits.
template <Kind K, class ReadNumber>
inline Parts readParts(const uint8_t* s, size_t n, size_t p, ReadNumber&& readNumber) {
    constexpr Shape shape = shapeOf(K);
    Parts w;
    ++p;
    if constexpr (shape.sign)
        if (p < n && (s[p] == kSigns[0] || s[p] == kSigns[1])) w.sign = static_cast<char>(s[p++]);
    if constexpr (shape.number != Number::None)
        if (p < n && isDigit(s[p])) {
            w.hasNumber = true;
            w.number = readNumber(s, n, p);
        }
    if constexpr (shape.dots)
        while (p < n && s[p] == kDot)
            ++w.dots, ++p;
    w.end = p;
    return w;
}

// A word of a line's commands, for readers that want no values.
struct Word {
    Kind kind = Kind::Skipped;
    size_t end = 0;
};

// The word at `p` of a line's commands (past its name), `open` counting the '['s still open
// before it on the line; a Comment runs to the end of the line.
Word readWord(std::string_view line, size_t p, int64_t open);

} // namespace mml
