#include "tools/report/score_places.h"

#include <algorithm>
#include <limits>

void ScorePlaces::line(int64_t, std::string_view text, int ending) {
    afterBreak_ = lastEnding_ == 0xFF;
    if (afterBreak_) {
        shift_ += lastLength_ + 1;
    } else {
        ++editorLine_;
        shift_ = 0;
    }
    claimed_ = false;
    lastLength_ = static_cast<int64_t>(text.size());
    lastEnding_ = ending;
}

void ScorePlaces::read(int32_t ch, int32_t command, int64_t, int64_t column, int64_t length) {
    constexpr auto most = static_cast<int64_t>(std::numeric_limits<uint32_t>::max());
    Channel& c = channel(ch);
    column += shift_;
    const bool follows =
        !c.runs.empty() && c.runs.back().line == editorLine_ && c.runs.back().claimed == claimed_ &&
        c.runs.back().command + static_cast<int64_t>(c.reads.size() - c.runs.back().first) ==
            command &&
        column - c.runs.back().column <= most;
    if (!follows) c.runs.push_back({editorLine_, column, command, c.reads.size(), claimed_});
    c.reads.push_back({static_cast<uint32_t>(column - c.runs.back().column),
                       static_cast<uint32_t>(std::min(length, most))});
}

void ScorePlaces::declared(int32_t ch, int64_t, int64_t column) {
    channel(ch).declared = here(column);
}

void ScorePlaces::repeated(int32_t ch, int32_t from, int32_t to, int64_t count) {
    channel(ch).copies.push_back({to, count, from, to - from});
}

void ScorePlaces::failed(int64_t, int64_t column, std::string_view reason) {
    failure_ = Failure{here(column), std::string(reason)};
}

ScorePlaces::Channel& ScorePlaces::channel(int32_t ch) {
    if (static_cast<size_t>(ch) >= channels_.size()) channels_.resize(static_cast<size_t>(ch) + 1);
    return channels_[static_cast<size_t>(ch)];
}

std::vector<ScorePlaces::Run>::const_iterator ScorePlaces::Channel::runOf(int64_t command) const {
    auto run = std::upper_bound(runs.begin(), runs.end(), command,
                                [](int64_t k, const Run& r) { return k < r.command; });
    if (run == runs.begin()) return runs.end();
    --run;
    const size_t end = run + 1 == runs.end() ? reads.size() : (run + 1)->first;
    return command - run->command < static_cast<int64_t>(end - run->first) ? run : runs.end();
}

TextPlace ScorePlaces::Channel::place(const Run& run, size_t read) const {
    return {run.line, run.column + reads[read].column, reads[read].length, run.claimed};
}

size_t ScorePlaces::readCount(int32_t ch) const {
    return static_cast<size_t>(ch) < channels_.size()
               ? channels_[static_cast<size_t>(ch)].reads.size()
               : 0;
}

TextPlace ScorePlaces::readAt(int32_t ch, size_t i) const {
    const Channel& c = channels_[static_cast<size_t>(ch)];
    auto run = std::upper_bound(c.runs.begin(), c.runs.end(), i,
                                [](size_t k, const Run& r) { return k < r.first; });
    return c.place(*(run - 1), i);
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
    const auto run = c.runOf(command);
    if (run == c.runs.end()) return c.declared;
    return c.place(*run, run->first + static_cast<size_t>(command - run->command));
}
