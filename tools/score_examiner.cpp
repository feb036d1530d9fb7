// The loader's side of the examination: what each line, command and skipped byte tells.
#include "tools/score_examiner.h"

#include "tools/score_text.h"

#include <algorithm>
#include <limits>

namespace score_examination {

using namespace score_text;

void Examiner::line(int64_t line, std::string_view text, int ending) {
    closeRun();
    text_ = text;
    if (head_.size() < kHead) {
        head_.append(text.substr(0, kHead - head_.size()));
        if (ending >= 0 && head_.size() < kHead) head_ += static_cast<char>(ending);
    }
    const LineParts parts = lineParts(text);
    const std::string_view name = parts.name;
    commandBytes_ += parts.commandBytes;
    places_.line(line, text, ending);
    const bool afterBreak = places_.afterBreak();
    if (afterBreak) {
        // Told with the 0xFF that made it a line: the rest of the line is that one mistake.
        places_.claim();
        tellBreak(name);
    }
    if (ending == 0xFF) {
        breakAt_ = places_.here(static_cast<int64_t>(text.size()) + 1);
        breakPending_ = true;
    }
    if (name.empty() || afterBreak) return;
    const int64_t column = static_cast<int64_t>(name.data() - text.data()) + 1;
    if (line == 1 && name.starts_with(kUtf8Mark)) {
        markedName_ = name;
        const std::string_view rest = name.substr(kUtf8Mark.size());
        if (rest.empty() || rest.find(';') != std::string_view::npos) places_.claim();
        return;
    }
    if (const size_t semicolon = name.find(';'); semicolon != std::string_view::npos) {
        places_.claim();
        const TextPlace at = places_.here(column + static_cast<int64_t>(semicolon));
        warnings_.add(at.line, at.column, [&] {
            return "the ';' belongs to the channel name '" + shown(name) +
                   "', and the rest of the line is read as commands: a comment needs a "
                   "blank before its ';'";
        });
    } else if (readsAsCommands(name)) {
        warn(places_.here(column), [&] {
            return "the channel name '" + shown(name) +
                   "' is also a command: a line's first word names its channel, so here it "
                   "plays nothing";
        });
    }
}

void Examiner::dropped(Dropped what, int64_t line, int64_t column, std::string_view text) {
    if (what == Dropped::Bytes || what == Dropped::NoNumber || what == Dropped::UnopenedClose)
        skippedBytes_ += static_cast<int64_t>(text.size());
    if (what == Dropped::Bytes && run_.active && run_.line == line &&
        run_.column + run_.length == column && continuesRun(text)) {
        // One warning for one mistake: a run of skipped bytes, or what trails a
        // ']' or a 't', 'o', 'v', 'q' or 'l' that did not take it.
        extendRun(text);
        lastRead_ = {};
        return;
    }
    const bool sharp = what == Dropped::Bytes && text == "#" && lastRead_.line == line &&
                       lastRead_.column == column - 1 &&
                       isNoteLetter(text_[static_cast<size_t>(column) - 2]);
    lastRead_ = {};
    closeRun();
    switch (what) {
    case Dropped::Bytes:
    case Dropped::NoNumber:
    case Dropped::UnopenedClose:
        run_ = {true, what, sharp, line, column, 0, {}, places_.here(column)};
        extendRun(text);
        break;
    case Dropped::UnclosedOpen:
        warn(places_.here(column),
             [] { return "'[' without ']' on its line: the part plays once"; });
        break;
    case Dropped::ZeroRepeat:
        warn(places_.here(column), [] { return "repeat count 0: the part plays once"; });
        break;
    }
}

void Examiner::read(int32_t channel, int32_t command, int64_t line, int64_t column,
                    int64_t length) {
    closeRun();
    ChannelData& c = channelData(channel);
    places_.read(channel, command, line, column, length);
    const CommandList& list = sound_.channels[static_cast<size_t>(channel)];
    const std::string_view cmd = list.text(static_cast<size_t>(command));
    const int32_t value = list.value(static_cast<size_t>(command));
    const bool note = !cmd.empty() && isNoteOrRest(cmd[0]);
    lastRead_ = note ? Place{line, column} : Place{};
    const auto at = static_cast<size_t>(column) - 1;
    const TextPlace here = places_.here(column);
    if (cmd == "R+" || cmd == "R-") {
        // The renderer knows no such command and starts the channel over at it.
        if (c.signedRest < 0 && !here.claimed) {
            c.signedRest = static_cast<int64_t>(signedRests_.size());
            signedRests_.push_back({here, {text_[at], text_[at + 1]}, false});
        } else {
            warn(here, [&] { return signedRestText(text_.substr(at, 2)); });
        }
    } else if (cmd == "V" && value > 255) {
        warn(here, [&] {
            return "volume " + std::to_string(value) + " plays as " + std::to_string(value & 0xFF) +
                   " (volumes count modulo 256)" +
                   ((value & 0xFF) == 0 ? ": the notes after it are silent" : "");
        });
    } else if (note) {
        checkLength(here, at, cmd.size(), value);
    }
}

void Examiner::checkLength(const TextPlace& here, size_t at, size_t letters, int32_t value) {
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
            warn(here, [&] {
                return "'" + shown(text_.substr(at, end - at)) +
                       "' has length 0: it plays the default length";
            });
        return;
    }
    warn(here, [&] {
        return "'" + shown(text_.substr(at, end - at)) + "' has a length past " +
               std::to_string(std::numeric_limits<int32_t>::max() >> 8) +
               ", which wraps: it plays " +
               (played > 0 ? "as length " + std::to_string(played) : "the default length");
    });
}

bool Examiner::continuesRun(std::string_view next) const {
    const char c = next.empty() ? '\0' : next[0];
    switch (run_.kind) {
    case Dropped::Bytes:
        return true;
    case Dropped::UnopenedClose:
        return isDigit(c);
    case Dropped::NoNumber:
        return run_.length == 1 ? isSign(c) : isDigit(c);
    default:
        return false;
    }
}

std::string Examiner::runMessage() const {
    const std::string quoted = "'" + shown(run_.text) + "'";
    switch (run_.kind) {
    case Dropped::NoNumber:
        return run_.length == 1 ? quoted + " without a number: skipped"
                                : quoted + " is not a command: numbers take no sign; "
                                           "skipped";
    case Dropped::UnopenedClose:
        return quoted + " without '[' on its line: ignored";
    default:
        return quoted + " is not a command: skipped" +
               (run_.sharp ? "; sharps are written '+'" : "");
    }
}

void Examiner::tellBreak(std::string_view name) {
    if (!breakPending_) return;
    breakPending_ = false;
    warnings_.add(breakAt_.line, breakAt_.column, [&] {
        return "the byte 0xFF ends a line for the player: what follows it is read as a new "
               "line" +
               (name.empty() ? std::string()
                             : ", whose first word '" + shown(name) + "' names a channel");
    });
}

} // namespace score_examination
