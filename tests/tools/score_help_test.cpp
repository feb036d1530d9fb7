#include "tools/score_help.h"

#include "tools/report/score_report.h"
#include "tools/score_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

constexpr int32_t kRate = 11025;

// The samples each command of channel 0 takes in a rendering, as the renderer tells them.
struct Played final : SoundObserver {
    std::map<int32_t, std::pair<int64_t, int64_t>> spans;
    void played(int32_t channel, int32_t command, int64_t from, int64_t to) override {
        if (channel == 0 && !spans.contains(command)) spans[command] = {from, to};
    }
};

std::vector<uint8_t> rendered(const std::string& text, SoundObserver* observer = nullptr) {
    Sound sound;
    loadScore(sound, "score", &text);
    sound.observer = observer;
    std::vector<uint8_t> pcm(static_cast<size_t>(kRate) * 4);
    sound.render(pcm, kRate);
    return pcm;
}

// Hovered at the first byte of `word` on line 1.
std::string helpAt(const std::string& text, const std::string& word) {
    return commandHelp("score", text, 1, static_cast<int64_t>(text.find(word)) + 1, kRate);
}

// The figures said are the ones the rendering shows: a quarter's samples, the pulse period of
// a pitch against equal temperament (a = 440 Hz in octave 3), and the level a volume adds.
TEST(ScoreHelp, FiguresAreTheRenderingsOwn) {
    Played played;
    rendered("A t120 c4 c4", &played);
    const auto quarter = played.spans.at(1);
    EXPECT_EQ(helpAt("A t120 c4 c4", "t120"),
              "t120: a quarter lasts " + secondsText(quarter.second - quarter.first, kRate));

    const std::vector<uint8_t> pulse = rendered("A o4 v20 a+1");
    int64_t period = 1;
    while (pulse[static_cast<size_t>(period)] != 0 || pulse[static_cast<size_t>(period + 1)] == 0)
        ++period;
    ++period; // the second high run begins here
    const double tempered = 440 * std::pow(2.0, 13 / 12.0);
    const long cents =
        std::lround(1200 * std::log2(kRate / static_cast<double>(period) / tempered));
    EXPECT_NE(helpAt("A o4 v20 a+1", "a+1")
                  .find("o4 a+: " + std::to_string(std::lround(tempered)) + " Hz, " +
                        std::to_string(cents) + " cents sharp at this rate; 4 beats"),
              std::string::npos)
        << helpAt("A o4 v20 a+1", "a+1");

    const std::vector<uint8_t> loud = rendered("A v300 c");
    EXPECT_EQ(helpAt("A v300 c", "v300"),
              "v300 plays as " + std::to_string(*std::max_element(loud.begin(), loud.end())));
    EXPECT_EQ(helpAt("A v300 c", "A"), "");
}

// A line's length is that of its notes and rests over one pass, repeats included.
TEST(ScoreHelp, LineLengthsAddTheirNotes) {
    const std::string text = "A t150 l8 c d [e]3\nB c\nA r2.\n";
    Played played;
    rendered(text, &played);
    const std::vector<LineLength> lines = lineLengths("score", text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].line, 1);
    EXPECT_DOUBLE_EQ(lines[0].beats, 2.5);
    EXPECT_EQ(lines[0].samples, played.spans.at(7).first);
    EXPECT_DOUBLE_EQ(lines[2].beats, 3);
    EXPECT_EQ(lines[2].samples, played.spans.at(7).second - played.spans.at(7).first);
}

} // namespace
