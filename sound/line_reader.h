// The loader's lines: a file split where the lexicon says a line ends.
#pragma once

#include "sound/mml_lexicon.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace mml {

// Hands out the file's lines without their line ends. A line end is LF, CR,
// CR LF or the byte 0xFF. Lines are views into the read buffer when they fit in
// it, so the common case copies nothing. With Observed it also keeps the byte that
// ended the line, which only tools that point into the file need.
template <bool Observed> class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in), buffer_(1 << 20) {}

    bool next(std::string_view& line) {
        carry_.clear();
        bool carrying = false;
        for (;;) {
            if (begin_ == end_) {
                if (!refill()) {
                    if (!carrying) return false;
                    line = carry_;
                    ++number_;
                    if constexpr (Observed) ending_ = -1;
                    return true;
                }
                continue;
            }
            if (afterCR_) {
                afterCR_ = false;
                if (buffer_[begin_] == '\n') {
                    ++begin_;
                    continue;
                }
            }
            const char* data = buffer_.data();
            size_t k = begin_;
            while (k < end_ && !isLineEnd(static_cast<uint8_t>(data[k])))
                ++k;
            if (k == end_) {
                carry_.append(data + begin_, end_ - begin_);
                carrying = true;
                begin_ = end_;
                continue;
            }
            if (carrying) {
                carry_.append(data + begin_, k - begin_);
                line = carry_;
            } else {
                line = std::string_view(data + begin_, k - begin_);
            }
            afterCR_ = data[k] == '\r';
            if constexpr (Observed) ending_ = static_cast<uint8_t>(data[k]);
            begin_ = k + 1;
            ++number_;
            return true;
        }
    }

    int64_t number() const { return number_; }
    int ending() const { return ending_; }
    bool failed() const { return failed_; }

private:
    bool refill() {
        if (eof_) return false;
        in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        end_ = static_cast<size_t>(in_.gcount());
        begin_ = 0;
        if (in_.bad()) failed_ = true;
        if (end_ == 0) eof_ = true;
        return end_ > 0;
    }

    std::istream& in_;
    std::vector<char> buffer_;
    std::string carry_;
    size_t begin_ = 0;
    size_t end_ = 0;
    int64_t number_ = 0;
    int ending_ = -1;
    bool afterCR_ = false;
    bool eof_ = false;
    bool failed_ = false;
};

} // namespace mml
