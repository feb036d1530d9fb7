#include "tools/score_places.h"

#include <algorithm>
#include <limits>

void ScorePlaces::line(int64_t line, std::string_view text, int ending) {
    if (ending != 0xFF) return;
    const int64_t column = static_cast<int64_t>(text.size()) + 1;
    breaks_.push_back({line, column, column + (brokenAt(line - 1) ? breaks_.back().shift : 0)});
}

void ScorePlaces::read(int32_t ch, int32_t command, int64_t line, int64_t column, int64_t length) {
    const auto most = static_cast<int64_t>(std::numeric_limits<uint32_t>::max());
    channel(ch).reads.push_back(
        {line, column, command, static_cast<uint32_t>(std::min(length, most))});
}

void ScorePlaces::declared(int32_t ch, int64_t line, int64_t column) {
    channel(ch).declared = {line, column, 0};
}

void ScorePlaces::repeated(int32_t ch, int32_t from, int32_t to, int64_t count) {
    channel(ch).copies.push_back({to, count, from, to - from});
}

void ScorePlaces::failed(int64_t line, int64_t column, std::string_view reason) {
    failure_ = Failure{{line, column, 0}, std::string(reason)};
}

std::optional<ScorePlaces::Failure> ScorePlaces::failure() const {
    if (!failure_) return std::nullopt;
    return Failure{editorPlace(failure_->place), failure_->reason};
}

ScorePlaces::Channel& ScorePlaces::channel(int32_t ch) {
    if (static_cast<size_t>(ch) >= channels_.size()) channels_.resize(static_cast<size_t>(ch) + 1);
    return channels_[static_cast<size_t>(ch)];
}

const std::vector<ScorePlaces::Read>& ScorePlaces::reads(int32_t ch) const {
    static const std::vector<Read> none;
    return static_cast<size_t>(ch) < channels_.size() ? channels_[static_cast<size_t>(ch)].reads
                                                      : none;
}

TextPlace ScorePlaces::declaredAt(int32_t ch) const {
    return static_cast<size_t>(ch) < channels_.size() ? channels_[static_cast<size_t>(ch)].declared
                                                      : TextPlace{};
}

TextPlace ScorePlaces::placeOf(int32_t ch, int64_t command) const {
    if (static_cast<size_t>(ch) >= channels_.size()) return {};
    const Channel& c = channels_[static_cast<size_t>(ch)];
    for (;;) {
        auto copy = std::upper_bound(c.copies.begin(), c.copies.end(), command,
                                     [](int64_t k, const Copy& x) { return k < x.at; });
        if (copy == c.copies.begin()) break;
        --copy;
        if (command >= copy->at + copy->count) break;
        command = copy->from + (command - copy->at) % copy->period;
    }
    auto r = std::lower_bound(c.reads.begin(), c.reads.end(), command,
                              [](const Read& x, int64_t k) { return x.command < k; });
    if (r == c.reads.end() || r->command != command) return c.declared;
    return {r->line, r->column, r->length};
}

TextPlace ScorePlaces::editorPlace(TextPlace place) const {
    auto after = std::lower_bound(breaks_.begin(), breaks_.end(), place.line,
                                  [](const Break& b, int64_t l) { return b.line < l; });
    const auto before = after - breaks_.begin();
    if (after != breaks_.begin() && (after - 1)->line == place.line - 1)
        place.column += (after - 1)->shift;
    place.line -= before;
    return place;
}
