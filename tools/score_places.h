// Where a score's commands stand in its text, as an editor shows them. The loader tells
// each command's place on its own lines (a 0xFF ends one too) and the copies its repeats
// make; this leads a command of a channel back to the text it came from. The report and
// the map of what is heard when both read places through here.
#pragma once

#include <bit>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TextPlace {
    int64_t line = 0;
    int64_t column = 0;
    int64_t length = 0; // bytes of the command's text; 0 for a channel's name
};

class ScorePlaces {
public:
    // What the loader tells, handed on by an observer.
    void line(int64_t line, std::string_view text, int ending);
    void read(int32_t channel, int32_t command, int64_t line, int64_t column, int64_t length);
    void declared(int32_t channel, int64_t line, int64_t column);
    void repeated(int32_t channel, int32_t from, int32_t to, int64_t count);
    void failed(int64_t line, int64_t column, std::string_view reason);

    // Where command `command` of `channel` was written, on the loader's lines: a copy made
    // by a repeat leads back to its original, a command never told to the channel's name.
    TextPlace placeOf(int32_t channel, int64_t command) const;
    TextPlace declaredAt(int32_t channel) const;
    // A place on the loader's lines as an editor counts it.
    TextPlace editorPlace(TextPlace place) const;

    struct Failure {
        TextPlace place; // as an editor counts
        std::string reason;
    };
    // Where the load stopped, if it did.
    std::optional<Failure> failure() const;

    // Each 0xFF that ends a loader's line within an editor's line.
    struct Break {
        int64_t line;   // the loader's line it ends
        int64_t column; // of the 0xFF
        int64_t shift;  // columns before the next loader line on the editor's line
    };
    const std::vector<Break>& breaks() const { return breaks_; }
    // Whether loader line `line` ended in a 0xFF.
    bool brokenAt(int64_t line) const { return !breaks_.empty() && breaks_.back().line == line; }

    // The commands told for `channel`, in the order of their index, which is their order in
    // the text too: how many, and the place of the i-th, on the loader's lines.
    size_t readCount(int32_t channel) const;
    TextPlace readAt(int32_t channel, size_t i) const;
    size_t channelCount() const { return channels_.size(); }

private:
    struct Copy {
        int64_t at;     // the first copied command
        int64_t count;  // commands copied
        int64_t from;   // the part copied ...
        int64_t period; // ... and its length
    };
    // Commands told one after the other on one line share a run, so that a command costs
    // eight bytes: a score can hold sixteen million of them.
    struct Run {
        int64_t line;
        int64_t column;  // what the run's columns count from
        int64_t command; // the run's first command
        size_t first;    // its first entry in `reads`
    };
    struct Read {
        uint32_t column; // past the run's
        uint32_t length; // held at 2^32 - 1: no command is that long but a hostile one
    };
    // Grows without moving what it holds: a vector that doubles holds its contents twice
    // over for a moment, and the reads of a large score take a hundred megabytes.
    class Reads {
    public:
        void push_back(const Read& read) {
            if (size_ == capacity_) {
                blocks_.push_back(std::make_unique<Read[]>(kFirst << blocks_.size()));
                capacity_ += kFirst << (blocks_.size() - 1);
            }
            const size_t i = size_++;
            const size_t k = blockOf(i);
            blocks_[k][i - kFirst * ((size_t{1} << k) - 1)] = read;
        }
        const Read& operator[](size_t i) const {
            const size_t k = blockOf(i);
            return blocks_[k][i - kFirst * ((size_t{1} << k) - 1)];
        }
        size_t size() const { return size_; }

    private:
        static constexpr size_t kFirst = 4; // most channels hold few commands
        static size_t blockOf(size_t i) {
            return static_cast<size_t>(std::bit_width(i / kFirst + 1)) - 1;
        }
        std::vector<std::unique_ptr<Read[]>> blocks_;
        size_t size_ = 0;
        size_t capacity_ = 0;
    };
    struct Channel {
        TextPlace declared;
        std::vector<Run> runs;    // in order of command
        Reads reads;              // in order of command
        std::vector<Copy> copies; // in order of `at`, never overlapping
        // The run that holds `command`, or runs.end().
        std::vector<Run>::const_iterator runOf(int64_t command) const;
        TextPlace place(const Run& run, size_t read) const;
    };
    Channel& channel(int32_t channel);

    std::vector<Channel> channels_;
    std::vector<Break> breaks_;
    std::optional<Failure> failure_; // on the loader's lines
};
