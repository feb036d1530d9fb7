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
    int64_t length = 0;   // bytes of the command's text; 0 for a channel's name
    bool claimed = false; // on a line that one warning stands for, whole
};

class ScorePlaces {
public:
    // What the loader tells, handed on by an observer. Places are kept as an editor counts
    // them, worked out as each line comes: a file of 0xFF bytes is millions of the loader's
    // lines on one of the editor's, and nothing is kept per line.
    void line(int64_t line, std::string_view text, int ending);
    void read(int32_t channel, int32_t command, int64_t line, int64_t column, int64_t length);
    void declared(int32_t channel, int64_t line, int64_t column);
    void repeated(int32_t channel, int32_t from, int32_t to, int64_t count);
    void failed(int64_t line, int64_t column, std::string_view reason);
    // The loader's line being read is one that a single warning stands for, whole: what is
    // read on it from here on is marked so.
    void claim() { claimed_ = true; }

    // Where command `command` of `channel` was written, as an editor counts: a copy made by a
    // repeat leads back to its original, a command never told to the channel's name.
    TextPlace placeOf(int32_t channel, int64_t command) const;
    TextPlace declaredAt(int32_t channel) const;
    // A column of the loader's line being read, as an editor counts.
    TextPlace here(int64_t column) const { return {editorLine_, column + shift_, 0, claimed_}; }
    // Whether the loader's line before the one being read ended in a 0xFF.
    bool afterBreak() const { return afterBreak_; }

    struct Failure {
        TextPlace place; // as an editor counts
        std::string reason;
    };
    // Where the load stopped, if it did.
    std::optional<Failure> failure() const { return failure_; }

    // The commands told for `channel`, in the order of their index, which is their order in
    // the text too: how many, and the place of the i-th.
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
        bool claimed;
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
    std::optional<Failure> failure_;
    // The loader's line being read: the editor's line it is on, the columns before it there,
    // and whether it is claimed.
    int64_t editorLine_ = 0;
    int64_t shift_ = 0;
    bool claimed_ = false;
    bool afterBreak_ = false;
    int64_t lastLength_ = 0; // of the loader's line before
    int lastEnding_ = '\n';
};
