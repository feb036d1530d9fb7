// Warnings as an examination finds them, of which only the first few in the text are kept
// whole: a file written for another player may hold millions, and every one past those is
// counted, never built.
#pragma once

#include "tools/report/score_report.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

class WarningList {
public:
    explicit WarningList(size_t kept) : kept_(kept) {}

    // Whether a warning at this place would be kept; one that would not is only counted.
    bool keeps(int64_t line, int64_t column) const {
        return heap_.size() < kept_ ||
               std::tie(line, column) <
                   std::tie(heap_.front().warning.line, heap_.front().warning.column);
    }

    // Adds a warning at (line, column) whose text `text()` gives, asked only if it is kept.
    template <typename Text> void add(int64_t line, int64_t column, Text&& text) {
        ++count_;
        if (!keeps(line, column)) return;
        heap_.push_back({{line, column, text()}, seq_++});
        std::push_heap(heap_.begin(), heap_.end(), later);
        if (heap_.size() > kept_) {
            std::pop_heap(heap_.begin(), heap_.end(), later);
            heap_.pop_back();
        }
    }

    // Takes back the warnings kept at exactly (line, column).
    void erase(int64_t line, int64_t column) {
        const size_t before = heap_.size();
        std::erase_if(heap_, [&](const Entry& e) {
            return e.warning.line == line && e.warning.column == column;
        });
        count_ -= before - heap_.size();
        std::make_heap(heap_.begin(), heap_.end(), later);
    }

    // Every warning added, kept or counted.
    size_t count() const { return count_; }

    // The warnings kept, in order of place and, at one place, of adding.
    std::vector<ScoreWarning> take() {
        std::sort_heap(heap_.begin(), heap_.end(), later);
        std::vector<ScoreWarning> out;
        out.reserve(heap_.size());
        for (Entry& e : heap_)
            out.push_back(std::move(e.warning));
        heap_.clear();
        return out;
    }

private:
    struct Entry {
        ScoreWarning warning;
        uint64_t seq;
    };
    static bool later(const Entry& a, const Entry& b) {
        return std::tie(a.warning.line, a.warning.column, a.seq) <
               std::tie(b.warning.line, b.warning.column, b.seq);
    }

    size_t kept_;
    size_t count_ = 0;
    uint64_t seq_ = 0;
    std::vector<Entry> heap_; // the largest place on top, to give way first
};
