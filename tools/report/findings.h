// What an examination has found so far, and what each of its parts tells through: the
// warnings (only the first few in the text built), the places of the commands, and the
// channels' names. Every finding costs at most a constant times what the rendering does
// with the same input.
#pragma once

#include "sound/sound.h"
#include "tools/report/score_places.h"
#include "tools/report/score_report.h"
#include "tools/report/warning_list.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace score_examination {

// More warnings than this are one line: a file written for another player would
// otherwise bury the first, telling ones.
inline constexpr size_t kMostWarnings = 50;

class Findings {
public:
    explicit Findings(const Sound& sound) : sound_(sound) {}

    // A warning at a place, unless one warning already stands for the line it is on.
    template <typename Text> void warn(const TextPlace& at, Text&& text) {
        if (at.claimed) return;
        // The byte-order mark's warning stands for what else is told of the name it spoils.
        if (startSpoiled_ && at.line == 1 && at.column == 1) return;
        warnings_.add(at.line, at.column, std::forward<Text>(text));
    }

    // A warning at a place, whatever else stands for its line.
    template <typename Text> void add(int64_t line, int64_t column, Text&& text) {
        warnings_.add(line, column, std::forward<Text>(text));
    }

    // From here on the mark at the file's start is told instead of what begins there.
    void spoilStart() { startSpoiled_ = true; }

    ScorePlaces& places() { return places_; }
    const ScorePlaces& places() const { return places_; }
    const Sound& sound() const { return sound_; }

    // Names by index, gathered once: a score may declare a million channels.
    const std::string& nameOf(int32_t channel);

    // The warnings, in order of place, `first` ahead of them; past kMostWarnings, one line
    // counts the rest.
    std::vector<ScoreWarning> take(std::optional<ScoreWarning> first);

private:
    const Sound& sound_;
    WarningList warnings_{kMostWarnings + 1};
    ScorePlaces places_;
    std::vector<const std::string*> names_;
    bool startSpoiled_ = false;
};

} // namespace score_examination
