// How a score's file begins: in what encoding, and whether a UTF-8 byte-order mark joins the
// first line's first word, which the loader reads as a word like any other.
#pragma once

#include "tools/report/findings.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace score_examination {

inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

class FileStart {
public:
    // Each of the loader's lines with the byte that ended it (-1 for none), until the
    // first few kilobytes are seen.
    void add(std::string_view text, int ending);

    // Line 1's channel name, which begins with the mark.
    void marked(std::string_view name) { markedName_ = name; }
    // Whether the mark makes the first word a name other than the one meant.
    bool spoilsName() const;

    // What to tell when the file is UTF-16, which nothing in it is read as; empty when not.
    std::string utf16Warning() const;
    void reportMark(Findings& findings) const;

private:
    static constexpr size_t kHead = 4096;
    std::string head_;       // the file's first bytes
    std::string markedName_; // line 1's channel name, when a UTF-8 byte-order mark begins it
};

} // namespace score_examination
