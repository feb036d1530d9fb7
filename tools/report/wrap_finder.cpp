#include "tools/report/wrap_finder.h"

#include "tools/score_text.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace score_examination {

using namespace score_text;

namespace {

// A few names say which voices; a score of thousands would make the line unreadable.
std::string voiceNames(const VoiceSums::Wrap& w, Findings& findings) {
    std::string names;
    for (int i = 0; i < w.namedCount; ++i)
        names += (names.empty() ? "" : ", ") + shown(findings.nameOf(w.named[i]));
    if (w.channels > w.namedCount)
        names += " and " + std::to_string(w.channels - w.namedCount) + " more";
    return names;
}

} // namespace

void WrapFinder::report(Findings& findings) const {
    struct Told {
        const VoiceSums::Wrap* wrap;
        TextPlace place;
        int64_t more = 0;
    };
    std::vector<Told> told;
    std::map<std::tuple<int64_t, int64_t>, size_t> byPlace;
    for (const VoiceSums::Wrap& w : sums_.wraps()) {
        if (w.byChannel < 0) continue;
        const TextPlace p = findings.places().placeOf(w.byChannel, w.byCommand);
        auto [it, first] = byPlace.emplace(std::make_tuple(p.line, p.column), told.size());
        if (first)
            told.push_back({&w, p});
        else
            ++told[it->second].more;
    }
    for (const Told& t : told) {
        const VoiceSums::Wrap& w = *t.wrap;
        findings.warn(t.place, [&] {
            return "the voices add up to " + std::to_string(w.peak) + " and wrap past 255 from " +
                   secondsText(w.begin, rate_) + " to " + secondsText(w.end, rate_) + " (" +
                   voiceNames(w, findings) + ")" +
                   (t.more > 0 ? ", and " + std::to_string(t.more) + " more time" +
                                     (t.more == 1 ? "" : "s") + " later"
                               : "");
        });
    }
}

} // namespace score_examination
