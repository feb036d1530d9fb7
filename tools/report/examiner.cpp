#include "tools/report/examiner.h"

namespace score_examination {

std::vector<ScoreWarning> Examiner::warnings() {
    // Read byte by byte, every other byte of UTF-16 is a NUL: nothing in it is as written.
    if (const std::string utf16 = load_.close(); !utf16.empty()) return {{1, 1, utf16}};
    wraps_.report(findings_);
    load_.reportScore();
    return findings_.take(load_.dialectWarning());
}

} // namespace score_examination
