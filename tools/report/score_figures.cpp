#include "tools/report/score_figures.h"

#include <string_view>
#include <utility>

namespace score_examination {

void ScoreFigures::sounds(int32_t channel, int64_t from, uint8_t level) {
    const auto ch = static_cast<size_t>(channel);
    if (ch >= loudest_.size()) loudest_.resize(ch + 1);
    if (level > loudest_[ch].level) loudest_[ch] = {level, from};
}

void ScoreFigures::count(ScoreReport& report, Findings& findings, const RenderWatch& watch,
                         const WrapFinder& wraps) const {
    const Sound& sound = findings.sound();
    for (int32_t ch = 0; ch < sound.channelCount; ++ch) {
        const RenderWatch::ChannelRun& c = watch.channelRun(ch);
        ChannelFigures f;
        f.name = findings.nameOf(ch);
        const CommandList& list = sound.channels[static_cast<size_t>(ch)];
        f.commands = static_cast<int64_t>(list.size());
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string_view text = list.text(i);
            if (text == "R")
                ++f.rests;
            else if (!text.empty() && text[0] >= 'A' && text[0] <= 'G')
                ++f.notes;
        }
        f.passes = c.stops ? 0 : c.rewinds + 1;
        f.passSamples = c.stops ? 0 : c.rewinds > 0 ? c.firstRewind : -1;
        if (static_cast<size_t>(ch) < loudest_.size()) {
            f.loudest = loudest_[static_cast<size_t>(ch)].level;
            f.loudestAt = loudest_[static_cast<size_t>(ch)].at;
        }
        report.channels.push_back(std::move(f));
    }
    report.peak = wraps.peak();
    report.peakAt = wraps.peakAt();
}

} // namespace score_examination
