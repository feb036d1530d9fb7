// A run of skipped bytes, or what trails a ']' or a 't', 'o', 'v', 'q' or 'l' that did not
// take it, told as one warning: one mistake is one line of the report, however long.
#pragma once

#include "sound/sound.h"
#include "tools/report/findings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace score_examination {

class SkippedRun {
public:
    // Whether `text`, skipped at (line, column) of the loader's lines, carries this run on.
    bool continues(SoundObserver::Dropped what, int64_t line, int64_t column,
                   std::string_view text) const;

    // A new run from `text`; `sharp`: a '#' right after a note letter.
    void start(SoundObserver::Dropped what, bool sharp, int64_t line, int64_t column,
               const TextPlace& place, std::string_view text);
    void extend(std::string_view text);

    // Tells the run, if there is one, and forgets it.
    void close(Findings& findings);

private:
    std::string message() const;

    static constexpr size_t kQuoted = 40; // bytes of a run that shown() quotes

    bool active_ = false;
    SoundObserver::Dropped kind_ = SoundObserver::Dropped::Bytes;
    bool sharp_ = false;
    int64_t line_ = 0, column_ = 0; // on the loader's line
    int64_t length_ = 0;
    std::string text_; // its first bytes, as many as are quoted
    TextPlace place_;
};

} // namespace score_examination
