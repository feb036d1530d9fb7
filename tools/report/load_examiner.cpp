#include "tools/report/load_examiner.h"

#include "sound/mml_lexicon.h"
#include "tools/score_text.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace score_examination {

using namespace score_text;
using Dropped = SoundObserver::Dropped;

namespace {

std::string signedRestText(std::string_view written) {
    return "'" + shown(written) + "' is not a rest (a rest takes no '" +
           std::string(written.substr(1)) +
           "'): the channel starts over from its first command here";
}

} // namespace

void LoadExaminer::line(int64_t line, std::string_view text, int ending) {
    run_.close(findings_);
    text_ = text;
    start_.add(text, ending);
    const LineParts parts = lineParts(text);
    commandBytes_ += parts.commandBytes;
    ScorePlaces& places = findings_.places();
    places.line(line, text, ending);
    const bool afterBreak = places.afterBreak();
    if (afterBreak) {
        // Told with the 0xFF that made it a line: the rest of the line is that one mistake.
        places.claim();
        tellBreak(parts.name);
    }
    if (ending == 0xFF) {
        breakAt_ = places.here(static_cast<int64_t>(text.size()) + 1);
        breakPending_ = true;
    }
    if (!parts.name.empty() && !afterBreak) checkName(line, text, parts.name);
}

void LoadExaminer::checkName(int64_t line, std::string_view text, std::string_view name) {
    ScorePlaces& places = findings_.places();
    const int64_t column = static_cast<int64_t>(name.data() - text.data()) + 1;
    if (line == 1 && name.starts_with(kUtf8Mark)) {
        start_.marked(name);
        if (start_.spoilsName()) findings_.spoilStart();
        const std::string_view rest = name.substr(kUtf8Mark.size());
        if (rest.empty() || mml::commentByteIn(rest) != std::string_view::npos) places.claim();
        return;
    }
    if (const size_t comment = mml::commentByteIn(name); comment != std::string_view::npos) {
        places.claim();
        const TextPlace at = places.here(column + static_cast<int64_t>(comment));
        findings_.add(at.line, at.column, [&] {
            const std::string byte(1, name[comment]);
            return "the '" + byte + "' belongs to the channel name '" + shown(name) +
                   "', and the rest of the line is read as commands: a comment needs a "
                   "blank before its '" +
                   byte + "'";
        });
    } else if (readsAsCommands(name)) {
        findings_.warn(places.here(column), [&] {
            return "the channel name '" + shown(name) +
                   "' is also a command: a line's first word names its channel, so here it "
                   "plays nothing";
        });
    }
}

void LoadExaminer::dropped(Dropped what, int64_t line, int64_t column, std::string_view text) {
    if (what == Dropped::Bytes || what == Dropped::NoNumber || what == Dropped::UnopenedClose)
        skippedBytes_ += static_cast<int64_t>(text.size());
    if (run_.continues(what, line, column, text)) {
        run_.extend(text);
        lastRead_ = {};
        return;
    }
    const bool sharp = what == Dropped::Bytes && text == "#" && lastRead_.line == line &&
                       lastRead_.column == column - 1 &&
                       isNoteLetter(text_[static_cast<size_t>(column) - 2]);
    lastRead_ = {};
    run_.close(findings_);
    const TextPlace here = findings_.places().here(column);
    switch (what) {
    case Dropped::Bytes:
    case Dropped::NoNumber:
    case Dropped::UnopenedClose:
        run_.start(what, sharp, line, column, here, text);
        break;
    case Dropped::UnclosedOpen:
        findings_.warn(here, [] { return "'[' without ']' on its line: the part plays once"; });
        break;
    case Dropped::ZeroRepeat:
        findings_.warn(here, [] { return "repeat count 0: the part plays once"; });
        break;
    }
}

void LoadExaminer::read(int32_t channel, int32_t command, int64_t line, int64_t column,
                        int64_t length) {
    run_.close(findings_);
    findings_.places().read(channel, command, line, column, length);
    const CommandList& list = findings_.sound().channels[static_cast<size_t>(channel)];
    const std::string_view cmd = list.text(static_cast<size_t>(command));
    const int32_t value = list.value(static_cast<size_t>(command));
    const bool note = !cmd.empty() && isNoteOrRest(cmd[0]);
    lastRead_ = note ? Place{line, column} : Place{};
    const auto at = static_cast<size_t>(column) - 1;
    const TextPlace here = findings_.places().here(column);
    if (cmd == "R+" || cmd == "R-") {
        readSignedRest(channel, here, at);
    } else if (cmd == "V" && value > 255) {
        findings_.warn(here, [&] {
            return "volume " + std::to_string(value) + " plays as " + std::to_string(value & 0xFF) +
                   " (volumes count modulo 256)" +
                   ((value & 0xFF) == 0 ? ": the notes after it are silent" : "");
        });
    } else if (note) {
        checkLength(here, at, cmd.size(), value);
    }
}

// The renderer knows no such command and starts the channel over at it.
void LoadExaminer::readSignedRest(int32_t channel, const TextPlace& here, size_t at) {
    const auto ch = static_cast<size_t>(channel);
    if (ch >= signedRestOf_.size()) signedRestOf_.resize(ch + 1, -1);
    if (signedRestOf_[ch] < 0 && !here.claimed) {
        signedRestOf_[ch] = static_cast<int64_t>(signedRests_.size());
        signedRests_.push_back({here, {text_[at], text_[at + 1]}, false});
    } else {
        findings_.warn(here, [&] { return signedRestText(text_.substr(at, 2)); });
    }
}

void LoadExaminer::checkLength(const TextPlace& here, size_t at, size_t letters, int32_t value) {
    const size_t digits = at + letters;
    const size_t end = skipDigits(text_, digits);
    if (end == digits) return;
    const size_t significant = std::min(text_.find_first_not_of('0', digits), end);
    // The loader takes no number past 32 bits, so ten digits at most are left.
    int64_t written = 0;
    for (size_t i = significant; i < end; ++i)
        written = written * 10 + (text_[i] - '0');
    // What the renderer divides by: the value's length, sign and all.
    const int32_t played = value >> 8;
    if (written == played) {
        if (written == 0)
            findings_.warn(here, [&] {
                return "'" + shown(text_.substr(at, end - at)) +
                       "' has length 0: it plays the default length";
            });
        return;
    }
    findings_.warn(here, [&] {
        return "'" + shown(text_.substr(at, end - at)) + "' has a length past " +
               std::to_string(std::numeric_limits<int32_t>::max() >> 8) +
               ", which wraps: it plays " +
               (played > 0 ? "as length " + std::to_string(played) : "the default length");
    });
}

void LoadExaminer::tellBreak(std::string_view name) {
    if (!breakPending_) return;
    breakPending_ = false;
    findings_.add(breakAt_.line, breakAt_.column, [&] {
        return "the byte 0xFF ends a line for the player: what follows it is read as a new "
               "line" +
               (name.empty() ? std::string()
                             : ", whose first word '" + shown(name) + "' names a channel");
    });
}

bool LoadExaminer::signedRestStops(int32_t channel) {
    const auto ch = static_cast<size_t>(channel);
    if (ch >= signedRestOf_.size() || signedRestOf_[ch] < 0) return false;
    signedRests_[static_cast<size_t>(signedRestOf_[ch])].stops = true;
    return true;
}

std::string LoadExaminer::close() {
    run_.close(findings_);
    tellBreak({});
    return start_.utf16Warning();
}

void LoadExaminer::reportScore() {
    start_.reportMark(findings_);
    reportCaseTwins();
    reportSignedRests();
}

std::optional<ScoreWarning> LoadExaminer::dialectWarning() const {
    if (skippedBytes_ < 16 || skippedBytes_ * 2 <= commandBytes_) return std::nullopt;
    return ScoreWarning{1, 1,
                        std::to_string(skippedBytes_) + " of the " + std::to_string(commandBytes_) +
                            " bytes after the channel names are skipped: the score "
                            "looks written for another MML dialect"};
}

void LoadExaminer::reportSignedRests() {
    for (const SignedRest& r : signedRests_)
        findings_.warn(r.place, [&] {
            return signedRestText(std::string_view(r.written, 2)) +
                   (r.stops ? ", before any note or rest: the channel plays nothing" : "");
        });
}

// Channel names are exact: 'Lead' and 'LEAD' are two voices.
void LoadExaminer::reportCaseTwins() {
    std::unordered_map<std::string, int32_t> byFolded;
    const Sound& sound = findings_.sound();
    for (int32_t ch = 0; ch < sound.channelCount; ++ch) {
        const std::string& name = findings_.nameOf(ch);
        const auto [it, first] = byFolded.emplace(folded(name), ch);
        if (first) continue;
        const int32_t twin = it->second;
        const TextPlace there = findings_.places().declaredAt(twin);
        findings_.warn(findings_.places().declaredAt(ch), [&] {
            return "channel '" + shown(name) + "' differs from channel '" +
                   shown(findings_.nameOf(twin)) + "' (line " + std::to_string(there.line) +
                   ") only in case: they are two channels";
        });
    }
}

} // namespace score_examination
