// Watches a load and a rendering for examineScore and hands each part of the report what it
// watches for: the loader's reading, the rendering's findings, the voices' sums and the
// figures of --info.
#pragma once

#include "sound/sound.h"
#include "tools/report/findings.h"
#include "tools/report/load_examiner.h"
#include "tools/report/render_watch.h"
#include "tools/report/score_figures.h"
#include "tools/report/score_report.h"
#include "tools/report/wrap_finder.h"

#include <cstdint>
#include <string_view>

namespace score_examination {

class Examiner final : public SoundObserver {
public:
    Examiner(const Sound& sound, int64_t samples, int32_t rate)
        : findings_(sound), load_(findings_), watch_(findings_, load_, samples, rate),
          wraps_(samples, rate) {}

    // The loader.
    void line(int64_t line, std::string_view text, int ending) override {
        load_.line(line, text, ending);
    }
    void dropped(Dropped what, int64_t line, int64_t column, std::string_view text) override {
        load_.dropped(what, line, column, text);
    }
    void read(int32_t channel, int32_t command, int64_t line, int64_t column,
              int64_t length) override {
        load_.read(channel, command, line, column, length);
    }
    void failed(int64_t line, int64_t column, std::string_view reason) override {
        findings_.places().failed(line, column, reason);
    }
    void declared(int32_t channel, int64_t line, int64_t column) override {
        findings_.places().declared(channel, line, column);
    }
    void repeated(int32_t channel, int32_t from, int32_t to, int64_t count) override {
        findings_.places().repeated(channel, from, to, count);
    }

    // The renderer; once the wraps are found, its tracing tells only which notes meet in them.
    void ignored(int32_t channel, int32_t command, Ignored what) override {
        if (!wraps_.attributing()) watch_.ignored(channel, command, what);
    }
    void silent(int32_t channel, int32_t command, int64_t sample, Silence why,
                int64_t setting) override {
        if (!wraps_.attributing()) watch_.silent(channel, command, sample, why, setting);
    }
    void sounds(int32_t channel, int32_t command, int64_t from, int64_t to, int64_t period,
                uint8_t level) override {
        if (!wraps_.attributing()) figures_.sounds(channel, from, level);
        wraps_.sounds(channel, command, from, to, period, level);
    }
    void rewound(int32_t channel, int64_t sample) override {
        if (!wraps_.attributing()) watch_.rewound(channel, sample);
    }
    void stopped(int32_t channel, int64_t) override {
        if (!wraps_.attributing()) watch_.stopped(channel);
    }
    void played(int32_t channel, int32_t, int64_t, int64_t) override {
        if (!wraps_.attributing()) watch_.played(channel);
    }

    // After the rendering, the channels that outlast it; see RenderWatch.
    void reportPastTheEnd(Sound& sound) { watch_.reportPastTheEnd(sound, this); }
    bool findWraps() { return wraps_.findWraps(); }

    // The load and the rendering over: the warnings, then the figures.
    void finish(ScoreReport& report) {
        report.warnings = warnings();
        figures_.count(report, findings_, watch_, wraps_);
    }

    const ScorePlaces& places() const { return findings_.places(); }

private:
    std::vector<ScoreWarning> warnings();

    Findings findings_;
    LoadExaminer load_;
    RenderWatch watch_;
    WrapFinder wraps_;
    ScoreFigures figures_;
};

} // namespace score_examination
