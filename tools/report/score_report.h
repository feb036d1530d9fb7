// What an author needs to know about a score: where the text says something other
// than what will be heard, and how long and how loud each voice runs. Everything
// comes from the loader and the renderer themselves, told through an observer, so
// the report cannot drift from what the player does.
#pragma once

#include "sound/sound.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ScoreWarning {
    int64_t line = 0;
    int64_t column = 0;
    std::string text;
};

struct ChannelFigures {
    std::string name;
    int64_t commands = 0;
    int64_t notes = 0;
    int64_t rests = 0;
    int64_t passSamples = -1; // one pass; -1 when the first pass outlasts the rendering
    int64_t passes = 0;       // passes begun within the rendering; 0 for a channel that stops
    int loudest = 0;          // the highest level a note of it adds; 0 for none
    int64_t loudestAt = 0;    // the sample where that level first sounds
};

struct ScoreReport {
    std::vector<ScoreWarning> warnings;   // in order of line and column
    std::vector<ChannelFigures> channels; // in the order the score declares them
    int64_t peak = 0;                     // the highest sum of all voices at one sample
    int64_t peakAt = 0;
    int64_t samples = 0;
    int32_t rate = 0;
};

// A load that stops at a place in the file, counted as an editor counts lines: what
// an author's editor can jump to. what() is the loader's own message.
class ScoreError : public SoundError {
public:
    ScoreError(const std::string& what, int64_t line, int64_t column, std::string reason)
        : SoundError(what), line(line), column(column), reason(std::move(reason)) {}
    int64_t line;
    int64_t column;
    std::string reason;
};

// Loads `file` (or its `text`, as loadScore) into `sound` and renders it into `pcm` (whose size
// gives the length) at `rate`, exactly as the player would, watching both. Load errors propagate as
// SoundError, as ScoreError where the place is known. `pcm` then holds the rendering
// itself.
ScoreReport examineScore(Sound& sound, const std::string& file, std::vector<uint8_t>& pcm,
                         int32_t rate, const std::string* text = nullptr);

// Loads `file` into `sound`, or, given its `text` (a score read from standard input), that
// text under the name `file`.
void loadScore(Sound& sound, const std::string& file, const std::string* text = nullptr);

class ScorePlaces;
// loadScore with `sound`'s observer handing the loader's places to `places`: a load that
// stops is raised as a ScoreError at its place where the loader told it.
void loadScoreAt(Sound& sound, const ScorePlaces& places, const std::string& file,
                 const std::string* text = nullptr);
