// The figures of --info: for each channel how many commands, notes and rests it holds, how
// long a pass lasts and how many begin, how loud it gets; and the loudest moment of all.
#pragma once

#include "tools/report/findings.h"
#include "tools/report/render_watch.h"
#include "tools/report/score_report.h"
#include "tools/report/wrap_finder.h"

#include <cstdint>
#include <vector>

namespace score_examination {

class ScoreFigures {
public:
    // A note of the rendering adds `level` from `from` on.
    void sounds(int32_t channel, int64_t from, uint8_t level);

    // Counts what the rendering left, into `report`.
    void count(ScoreReport& report, Findings& findings, const RenderWatch& watch,
               const WrapFinder& wraps) const;

private:
    struct Loudest {
        int level = 0;
        int64_t at = 0;
    };
    std::vector<Loudest> loudest_; // by channel
};

} // namespace score_examination
