#include "tools/report/score_report.h"

#include "tools/report/examiner.h"
#include "tools/report/score_places.h"

#include <sstream>

using score_examination::Examiner;

void loadScore(Sound& sound, const std::string& file, const std::string* text) {
    if (!text) {
        sound.load(file);
        return;
    }
    std::istringstream in(*text);
    sound.load(in, file);
}

void loadScoreAt(Sound& sound, const ScorePlaces& places, const std::string& file,
                 const std::string* text) {
    try {
        loadScore(sound, file, text);
    } catch (const SoundError& e) {
        if (const auto failure = places.failure())
            throw ScoreError(e.what(), failure->place.line, failure->place.column, failure->reason);
        throw;
    }
}

ScoreReport examineScore(Sound& sound, const std::string& file, std::vector<uint8_t>& pcm,
                         int32_t rate, const std::string* text) {
    Examiner examiner(sound, static_cast<int64_t>(pcm.size()), rate);
    struct Watching {
        Sound& sound;
        ~Watching() { sound.observer = nullptr; }
    } watching{sound};
    sound.observer = &examiner;
    loadScoreAt(sound, examiner.places(), file, text);
    sound.render(pcm, rate);
    examiner.reportPastTheEnd(sound);
    if (examiner.findWraps()) {
        // Again, to learn which voices meet in each wrap, without adding a sample.
        // A rendering leaves each channel's read position where it stopped, and the
        // next would go on from there: start both from the same place.
        sound.resetPositions();
        sound.trace(static_cast<int64_t>(pcm.size()), rate);
    }
    ScoreReport report;
    report.samples = static_cast<int64_t>(pcm.size());
    report.rate = rate;
    examiner.finish(report);
    return report;
}
