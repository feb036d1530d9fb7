// What a score's commands do, in the engine's own figures, for an editor that explains the
// command under the pointer and shows how long each line lasts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The command whose text covers the place (line, byte column, counted from 1 as an editor
// counts them) in a rendering at `rate`, said in a line: "t120: a quarter lasts 0.661 s".
// Empty where no command stands. Load errors propagate as from loadScoreAt.
std::string commandHelp(const std::string& name, const std::string& text, int64_t line,
                        int64_t column, int32_t rate);

// The notes and rests written on one line, over one pass of their channel (repeats included):
// their length in quarters and in samples.
struct LineLength {
    int64_t line = 0;
    double beats = 0;
    int64_t samples = 0;
};

// Every line that holds a note or a rest, in order.
std::vector<LineLength> lineLengths(const std::string& name, const std::string& text);
