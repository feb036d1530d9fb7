#include "tools/score_map.h"

#include "tools/report/score_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

constexpr int32_t kRate = 11025;
constexpr int64_t kMinute = 60 * kRate;

// The score's text without the lines whose first word is one of `names`.
std::string withoutLines(const std::string& text, const std::vector<std::string>& names) {
    std::istringstream in(text);
    std::string out, line;
    while (std::getline(in, line)) {
        const size_t begin = line.find_first_not_of(" \t");
        const size_t end = begin == std::string::npos ? begin : line.find_first_of(" \t", begin);
        const std::string first = begin == std::string::npos ? "" : line.substr(begin, end - begin);
        if (std::find(names.begin(), names.end(), first) == names.end()) out += line + "\n";
    }
    return out;
}

std::vector<uint8_t> rendered(const std::string& text) {
    Sound sound;
    loadScore(sound, "score", &text);
    std::vector<uint8_t> pcm(kMinute);
    sound.render(pcm, kRate);
    return pcm;
}

// Each channel left out, and each played alone, against the text without those lines.
void expectSilencingIsRemovingLines(const std::string& text, const std::string& what) {
    Sound sound;
    loadScore(sound, what, &text);
    std::vector<std::string> names;
    for (const auto& [name, index] : sound.channelIndex)
        names.push_back(name);
    for (const std::string& name : names) {
        std::vector<std::string> others = names;
        std::erase(others, name);
        for (const auto& silenced : {std::vector<std::string>{name}, others}) {
            std::vector<uint8_t> pcm(kMinute);
            sound.resetPositions();
            renderWithout(sound, pcm, kRate, silenced);
            ASSERT_EQ(pcm, rendered(withoutLines(text, silenced)))
                << what << " without " << silenced.size() << " channels, around " << name;
        }
    }
}

} // namespace

TEST(ScoreMap, NotesAndRestsAtTheirSamplesAndPlaces) {
    // t120: a whole note of 29166 samples, an eighth of 3645, a quarter of 7291.
    const std::string text = "; two voices\n"
                             "A t120 l8 [c d]2 r4\n"
                             "B c1.\n"
                             "X v10\n";
    const ScoreMap map = ScoreMap::read("score", text, kMinute, kRate);
    ASSERT_EQ(map.channels().size(), 3u);
    EXPECT_EQ(map.channels()[0].name, "A");
    const auto& a = map.channels()[0].notes;
    ASSERT_GT(a.size(), 6u);
    const int64_t cols[] = {12, 14, 12, 14, 18, 12};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(a[i].from, i == 5 ? 4 * 3645 + 7291 : static_cast<int64_t>(i) * 3645) << i;
        EXPECT_EQ(a[i].to, i == 4 ? 4 * 3645 + 7291 : a[i].from + 3645) << i;
        EXPECT_EQ(a[i].line, 2) << i;
        EXPECT_EQ(a[i].column, cols[i]) << i;
        EXPECT_EQ(a[i].length, i == 4 ? 2 : 1) << i;
        EXPECT_EQ(a[i].rest, i == 4) << i;
    }
    EXPECT_EQ(a.back().to, kMinute);
    // Pitch as the pulse's period: d above c, the repeat's c as the first, the rest none.
    EXPECT_GT(a[0].period, a[1].period);
    EXPECT_EQ(a[2].period, a[0].period);
    EXPECT_EQ(a[4].period, 0);
    const auto& b = map.channels()[1].notes;
    ASSERT_GE(b.size(), 2u);
    EXPECT_EQ(b[1].from, 48000); // c1. at the default tempo: 32000 and a half
    EXPECT_EQ(b[1].line, 3);
    EXPECT_EQ(b[1].length, 3);
    EXPECT_TRUE(map.channels()[2].notes.empty());
    EXPECT_EQ(map.mappedUntil(), kMinute);

    EXPECT_EQ(map.at(0, 3645)->column, 14);
    EXPECT_EQ(map.at(0, 3644)->column, 12);
    EXPECT_EQ(map.at(1, 48000), &b[1]);
    EXPECT_EQ(map.at(2, 0), nullptr);
    EXPECT_EQ(map.at(3, 0), nullptr);

    EXPECT_EQ(map.firstHeard(2, 14), 3645);     // on d
    EXPECT_EQ(map.firstHeard(2, 13), 3645);     // before d
    EXPECT_EQ(map.firstHeard(2, 19), 4 * 3645); // on the rest's length
    EXPECT_EQ(map.firstHeard(2, 20), 0);        // past line 2: B's note
    EXPECT_EQ(map.firstHeard(1, 1), 0);         // the comment: A's first note
    EXPECT_EQ(map.firstHeard(4, 1), -1);        // no note after it
    // Never reached within a shorter rendering.
    EXPECT_EQ(ScoreMap::read("score", text, 5000, kRate).firstHeard(2, 18), -1);
}

TEST(ScoreMap, KeepsTheEarliestNotesUpToItsLimit) {
    // A whole note of one sample: every note takes one sample, 661,500 a channel.
    std::string text;
    for (const char* name : {"A", "B", "C", "D"})
        text += std::string(name) + " t3500000 l64 c\n";
    const ScoreMap map = ScoreMap::read("score", text, kMinute, kRate);
    size_t notes = 0;
    for (const ChannelMap& channel : map.channels()) {
        notes += channel.notes.size();
        EXPECT_EQ(static_cast<int64_t>(channel.notes.size()), map.mappedUntil());
    }
    EXPECT_LE(notes, ScoreMap::noteLimit);
    EXPECT_GE(notes, ScoreMap::noteLimit - 4);
    EXPECT_EQ(map.at(3, map.mappedUntil() - 1)->from, map.mappedUntil() - 1);
}

TEST(ScoreMap, AFailedLoadTellsItsPlace) {
    try {
        ScoreMap::read("score", "A c\nB c99999999999\n", kMinute, kRate);
        FAIL() << "loaded";
    } catch (const ScoreError& e) {
        EXPECT_EQ(e.line, 2);
        EXPECT_EQ(e.column, 4);
    }
}

TEST(RenderWithout, IsTheScoreWithoutTheChannelsLinesOnEveryExample) {
    for (const auto& entry : std::filesystem::directory_iterator(MARROWTONE_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".mml") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        expectSilencingIsRemovingLines(text, entry.path().filename().string());
    }
}

TEST(RenderWithout, IsTheScoreWithoutTheChannelsLinesOnRandomScores) {
    std::mt19937 random(20261209);
    const char* pieces[] = {"c",    "d+8",  "e-16.", "r",  "r8",  "a2",   "<",   ">", "o2", "o5",
                            "v120", "v250", "q3",    "q8", "t90", "t200", "l16", "[", "]3", "b4"};
    for (int score = 0; score < 30; ++score) {
        std::string text;
        const int lines = 2 + static_cast<int>(random() % 10);
        for (int line = 0; line < lines; ++line) {
            text += std::string(1, static_cast<char>('A' + random() % 4));
            for (int k = static_cast<int>(random() % 12); k > 0; --k)
                text += std::string(" ") + pieces[random() % std::size(pieces)];
            text += random() % 5 == 0 ? " ; note\n" : "\n";
        }
        expectSilencingIsRemovingLines(text, "random score " + std::to_string(score));
    }
}

TEST(RenderWithout, AnUnknownChannelIsAnError) {
    Sound sound;
    const std::string text = "A c\n";
    loadScore(sound, "score", &text);
    std::vector<uint8_t> pcm(100);
    EXPECT_THROW(renderWithout(sound, pcm, kRate, {"B"}), SoundError);
}
