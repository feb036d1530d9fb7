#include "tools/report/skipped_run.h"

#include "tools/score_text.h"

#include <algorithm>

namespace score_examination {

using Dropped = SoundObserver::Dropped;
using score_text::isDigit;
using score_text::isSign;
using score_text::shown;

bool SkippedRun::continues(Dropped what, int64_t line, int64_t column,
                           std::string_view text) const {
    if (what != Dropped::Bytes || !active_ || line_ != line || column_ + length_ != column)
        return false;
    const char c = text.empty() ? '\0' : text[0];
    switch (kind_) {
    case Dropped::Bytes:
        return true;
    case Dropped::UnopenedClose:
        return isDigit(c);
    case Dropped::NoNumber:
        return length_ == 1 ? isSign(c) : isDigit(c);
    default:
        return false;
    }
}

void SkippedRun::start(Dropped what, bool sharp, int64_t line, int64_t column,
                       const TextPlace& place, std::string_view text) {
    active_ = true;
    kind_ = what;
    sharp_ = sharp;
    line_ = line;
    column_ = column;
    length_ = 0;
    text_.clear();
    place_ = place;
    extend(text);
}

void SkippedRun::extend(std::string_view text) {
    length_ += static_cast<int64_t>(text.size());
    const size_t room = kQuoted + 1 - std::min(text_.size(), kQuoted + 1);
    text_.append(text.substr(0, room));
}

void SkippedRun::close(Findings& findings) {
    if (!active_) return;
    findings.warn(place_, [this] { return message(); });
    *this = {};
}

std::string SkippedRun::message() const {
    const std::string quoted = "'" + shown(text_) + "'";
    switch (kind_) {
    case Dropped::NoNumber:
        return length_ == 1 ? quoted + " without a number: skipped"
                            : quoted + " is not a command: numbers take no sign; "
                                       "skipped";
    case Dropped::UnopenedClose:
        return quoted + " without '[' on its line: ignored";
    default:
        return quoted + " is not a command: skipped" + (sharp_ ? "; sharps are written '+'" : "");
    }
}

} // namespace score_examination
