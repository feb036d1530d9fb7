#include "tests/sound/test_support.h"

#include <algorithm>

namespace {

std::vector<std::string> exampleFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(MARROWTONE_EXAMPLES_DIR))
        if (entry.path().extension() == ".mml") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(Examples, EveryExampleLoadsAndSounds) {
    const auto files = exampleFiles();
    ASSERT_GE(files.size(), 4u);
    for (const auto& file : files) {
        Sound s;
        ASSERT_NO_THROW(s.load(file)) << file;
        EXPECT_GT(s.channelCount, 0) << file;
        std::vector<uint8_t> pcm(661500);
        s.render(pcm, 11025);
        const auto sounding = std::count_if(pcm.begin(), pcm.end(), [](uint8_t b) { return b; });
        EXPECT_GT(sounding, 661500 / 20) << file;
    }
}

TEST(Examples, TheTourUsesEveryCommand) {
    Sound s;
    s.load(std::string(MARROWTONE_EXAMPLES_DIR) + "/every-command.mml");
    std::string seen;
    for (const auto& list : s.channels)
        for (size_t i = 0; i < list.size(); ++i)
            seen += list[i].cmd;
    for (char c : std::string("CDEFGABRTOVQL<>()+-"))
        EXPECT_NE(seen.find(c), std::string::npos) << c;
    bool dotted = false;
    for (const auto& list : s.channels)
        for (size_t i = 0; i < list.size(); ++i)
            dotted |= (list[i].value & 0xFF) > 0;
    EXPECT_TRUE(dotted);
}

TEST(Examples, NestedRepeatsExpand) {
    Sound s;
    s.load(std::string(MARROWTONE_EXAMPLES_DIR) + "/nested-repeats.mml");
    // 2 x (4 figures x 2 x 8 records) plus the settings line.
    EXPECT_EQ(s.channels[s.channelIndex.at("ARP")].size(), 5u + 2 * 4 * 2 * 8);
}
