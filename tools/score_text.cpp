// How the tool writes what it finds: bytes and names shown readably, counts and seconds,
// and the lines of --check and --info.
#include "tools/score_text.h"

#include "sound/mml_lexicon.h"
#include "tools/report/score_report.h"

#include <cstdio>

namespace score_text {

namespace {

// How long a channel name --info shows, in characters, and how many bytes a warning quotes:
// a name may be a whole line.
constexpr size_t kShownNameLength = 40;

// The length of the UTF-8 sequence of printable text at `s`, or 0 where there is none.
size_t printableUtf8(std::string_view s) {
    const auto c = static_cast<unsigned char>(s[0]);
    if (c < 0x80) return c >= 0x20 && c < 0x7F && c != '\\' ? 1 : 0;
    const size_t n = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || s.size() < n) return 0;
    uint32_t cp = c & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (b & 0x3F);
    }
    // Overlong forms, surrogates, beyond Unicode and the C1 controls are not text.
    static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[n] || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF || cp < 0xA0) return 0;
    return n;
}

} // namespace

std::string shown(std::string_view bytes) {
    std::string out;
    // A name or a run of skipped bytes may be a whole file: what is quoted of it is cut.
    const bool cut = bytes.size() > kShownNameLength;
    if (cut) bytes = bytes.substr(0, kShownNameLength);
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return cut ? out + "..." : out;
}

// A channel name as --info shows it: as text where it is UTF-8, escaped bytes elsewhere,
// and cut after kShownNameLength characters.
std::string readableName(std::string_view name) {
    std::string out;
    size_t characters = 0;
    for (size_t p = 0; p < name.size(); ++characters) {
        if (characters == kShownNameLength) return out + "...";
        const size_t n = printableUtf8(name.substr(p));
        out += n > 0 ? std::string(name.substr(p, n)) : shown(name.substr(p, 1));
        p += n > 0 ? n : 1;
    }
    return out;
}

// "1 note", "2 notes".
std::string counted(int64_t n, const char* what, const char* plural) {
    return std::to_string(n) + " " + (n == 1 ? what : plural ? plural : std::string(what) + "s");
}

// The loader's own reading, from its lexicon.
bool isBlank(char c) {
    return mml::isBlank(static_cast<uint8_t>(c));
}
bool isDigit(char c) {
    return mml::isDigit(static_cast<uint8_t>(c));
}
bool isSign(char c) {
    return mml::kSigns.find(c) != std::string_view::npos;
}
bool isNoteLetter(char c) {
    return mml::kindOf(static_cast<uint8_t>(c)) == mml::Kind::Note;
}

bool isNoteOrRest(char c) {
    const mml::Kind kind = mml::kindOf(static_cast<uint8_t>(c));
    return kind == mml::Kind::Note || kind == mml::Kind::Rest;
}

size_t skipDigits(std::string_view s, size_t p) {
    while (p < s.size() && isDigit(s[p]))
        ++p;
    return p;
}

// Whether a channel name would read as commands, every byte of it, had it not come first
// on its line: a line of notes that lost its name. Names that start with a capital are
// left alone, as authors name their channels A, B or V1 on purpose; a ']' counts as none,
// as no '[' before the name could have opened it.
bool readsAsCommands(std::string_view name) {
    if (name.empty() || (name[0] >= 'A' && name[0] <= 'Z')) return false;
    for (size_t p = 0; p < name.size();) {
        const mml::Word word = mml::readWord(name, p, 0);
        if (word.kind == mml::Kind::Skipped || word.kind == mml::Kind::Comment ||
            word.kind == mml::Kind::Blank)
            return false;
        p = word.end;
    }
    return true;
}

LineParts lineParts(std::string_view text) {
    const mml::Span name = mml::nameOf(text);
    LineParts parts{text.substr(name.begin, name.end - name.begin)};
    if (name.begin == name.end) return parts;
    for (size_t p = name.end;
         p < text.size() && mml::kindOf(static_cast<uint8_t>(text[p])) != mml::Kind::Comment; ++p)
        if (!isBlank(text[p])) ++parts.commandBytes;
    return parts;
}

std::string folded(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace score_text

using namespace score_text;

std::string secondsText(int64_t sample, int32_t rate) {
    const int64_t ms = rate > 0 ? sample * 1000 / rate : 0;
    char text[48];
    std::snprintf(text, sizeof text, "%lld.%03lld s", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text;
}

std::string warningLines(const std::string& file, const ScoreReport& report) {
    std::string out;
    for (const ScoreWarning& w : report.warnings)
        out += file + ":" + std::to_string(w.line) + ":" + std::to_string(w.column) +
               ": warning: " + w.text + "\n";
    return out;
}

std::string errorLine(const std::string& file, const ScoreError& error) {
    return file + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) +
           ": error: " + error.reason + "\n";
}

std::string infoText(const std::string& file, const ScoreReport& report) {
    std::string out = file + ": " +
                      counted(static_cast<int64_t>(report.channels.size()), "channel") + ", " +
                      secondsText(report.samples, report.rate) + " at " +
                      std::to_string(report.rate) + " samples per second\n";
    for (const ChannelFigures& c : report.channels) {
        out += "  " + readableName(c.name) + ": " + counted(c.commands, "command") + ", " +
               counted(c.notes, "note") + ", " + counted(c.rests, "rest") + "; ";
        if (c.passes == 0)
            out += "plays nothing";
        else if (c.passSamples < 0)
            out += "one pass outlasts the rendering";
        else
            out += "one pass " + secondsText(c.passSamples, report.rate) + ", " +
                   counted(c.passes, "pass", "passes");
        out += "; loudest ";
        out += c.loudest == 0
                   ? std::string("silent")
                   : std::to_string(c.loudest) + " at " + secondsText(c.loudestAt, report.rate);
        out += "\n";
    }
    out += "  peak sum " + std::to_string(report.peak);
    if (report.peak > 0) out += " at " + secondsText(report.peakAt, report.rate);
    if (report.peak > 255) out += " (past 255: it wraps)";
    out += "\n";
    return out;
}
