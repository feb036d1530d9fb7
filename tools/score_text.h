// The text side of the tool's reports, for the report and its examiner: how bytes, names
// and counts are shown, the loader's own reading of a line's bytes (from its lexicon), and
// the lines of --check and --info.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace score_text {

// Bytes as text, every byte outside printable ASCII (and the backslash) as \xHH; past 40
// bytes, cut with "...".
std::string shown(std::string_view bytes);
// A channel name as --info shows it: as text where it is UTF-8, escaped bytes elsewhere, cut
// when long.
std::string readableName(std::string_view name);
// "1 note", "2 notes"; `plural` where adding an s is wrong.
std::string counted(int64_t n, const char* what, const char* plural = nullptr);

// The loader's own reading of a line's bytes, as its lexicon has it.
bool isBlank(char c);
bool isDigit(char c);
// What a note's sign may be.
bool isSign(char c);
bool isNoteLetter(char c);
// A note's or a rest's letter.
bool isNoteOrRest(char c);
// Past the digits from `p`.
size_t skipDigits(std::string_view s, size_t p);
// Whether a channel name would read as commands, every byte of it, had it not come first on
// its line.
bool readsAsCommands(std::string_view name);
// A line as the loader splits it: its channel's name (empty for a blank line or a comment)
// and the bytes of its commands, blanks and its comment aside: what the guess that a file
// was written for another player weighs its skipped bytes against.
struct LineParts {
    std::string_view name;
    int64_t commandBytes = 0;
};
LineParts lineParts(std::string_view text);
// The name with its ASCII capitals in lower case.
std::string folded(std::string_view name);

} // namespace score_text

struct ScoreReport;
class ScoreError;

// "12.345 s": a sample's time at `rate`, to the millisecond below.
std::string secondsText(int64_t sample, int32_t rate);

// The warnings as editors read them, "FILE:LINE:COLUMN: warning: TEXT", a line each.
std::string warningLines(const std::string& file, const ScoreReport& report);

// The error as editors read it: "FILE:LINE:COLUMN: error: REASON" and a line end.
std::string errorLine(const std::string& file, const ScoreError& error);

// The figures of --info.
std::string infoText(const std::string& file, const ScoreReport& report);
