#include "tools/score_input.h"

#include "sound/score_file.h"
#include "sound/sound.h"

#include <istream>

namespace {

std::string tooLarge(const std::string& what) {
    return "cannot read " + what + ": it holds more than " + kScoreByteLimitText + " (" +
           std::to_string(kScoreByteLimit) + " bytes), the most a score may hold";
}

} // namespace

void checkScoreFile(const std::string& file) {
    const ScoreFile score(file);
    switch (score.kind()) {
    case ScoreFile::Kind::Unopened:
        return;
    case ScoreFile::Kind::Regular:
        if (score.size() > kScoreByteLimit) throw SoundError(tooLarge("'" + file + "'"));
        return;
    default:
        throw SoundError("cannot read '" + file + "': it is " + ScoreFile::describe(score.kind()) +
                         ", not a regular file; a score is read from a file, or from standard "
                         "input as '-'");
    }
}

std::optional<std::string> scoreFileText(const std::string& file) {
    ScoreFile score(file);
    if (score.kind() != ScoreFile::Kind::Regular || score.size() > kScoreByteLimit)
        return std::nullopt;
    std::istream in(&score);
    std::string text(static_cast<size_t>(score.size()), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    // A file that changed meanwhile is read as far as it went: the loader reads it anew.
    text.resize(static_cast<size_t>(in.gcount()));
    if (in.bad()) return std::nullopt;
    return text;
}

std::string readScoreStream(std::FILE* in) {
    std::string text;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        if (text.size() + n > static_cast<size_t>(kScoreByteLimit))
            throw SoundError(tooLarge("standard input"));
        text.append(buffer, n);
    }
    if (std::ferror(in)) throw SoundError("cannot read standard input");
    return text;
}
