#include "tools/report/findings.h"

namespace score_examination {

const std::string& Findings::nameOf(int32_t channel) {
    if (names_.size() != sound_.channelIndex.size()) {
        names_.assign(sound_.channelIndex.size(), nullptr);
        for (const auto& [name, index] : sound_.channelIndex)
            if (index >= 0 && static_cast<size_t>(index) < names_.size()) names_[index] = &name;
    }
    static const std::string none;
    const auto i = static_cast<size_t>(channel);
    return i < names_.size() && names_[i] ? *names_[i] : none;
}

std::vector<ScoreWarning> Findings::take(std::optional<ScoreWarning> first) {
    size_t total = warnings_.count();
    std::vector<ScoreWarning> warnings = warnings_.take();
    if (first) {
        warnings.insert(warnings.begin(), std::move(*first));
        ++total;
    }
    if (total > kMostWarnings) {
        const ScoreWarning& cut = warnings[kMostWarnings];
        const size_t more = total - kMostWarnings;
        warnings[kMostWarnings] = {cut.line, cut.column,
                                   "and " + std::to_string(more) + " more warning" +
                                       (more == 1 ? "" : "s") + " from here on"};
        warnings.resize(kMostWarnings + 1);
    }
    return warnings;
}

} // namespace score_examination
