#include "tests/sound/test_support.h"

#include <cmath>

TEST(NoteFrequencies, TableHasNineOctavesOfTwelveSemitones) {
    Sound s;
    ASSERT_EQ(s.noteFreq.size(), 9u);
    for (const auto& row : s.noteFreq)
        ASSERT_EQ(row.size(), 12u);
    EXPECT_EQ(s.noteFreq[3][9], 440.0);
    EXPECT_NEAR(s.noteFreq[0][0], 32.703, 0.0005);
    EXPECT_NEAR(s.noteFreq[8][11], 15804.266, 0.0005);
    // Each semitone is a twelfth of an octave above the one before.
    for (int o = 0; o < 9; ++o)
        for (int n = 1; n < 12; ++n)
            EXPECT_NEAR(s.noteFreq[o][n] / s.noteFreq[o][n - 1], std::pow(2.0, 1.0 / 12), 1e-12);
    for (int o = 1; o < 9; ++o)
        EXPECT_NEAR(s.noteFreq[o][0], 2 * s.noteFreq[o - 1][0], 1e-9);
}

TEST(ChannelTable, GrowsByDoublingFromEightAndIsTrimmedAfterLoading) {
    Sound s;
    s.channels.assign(Sound::initialChannels, CommandList());
    for (int i = 0; i < 7; ++i)
        s.declareChannel("c" + std::to_string(i));
    EXPECT_EQ(s.channels.size(), 8u);
    s.declareChannel("c7");
    EXPECT_EQ(s.channels.size(), 16u);
    EXPECT_EQ(s.channelCount, 8);
    EXPECT_EQ(s.channelIndex.at("c7"), 7);
    s.finishLoad();
    EXPECT_EQ(s.channels.size(), 8u);
}

TEST(CommandLists, StartAt1024RecordsDoubleWhenFullAndAreCutToTheirCommands) {
    Sound s;
    s.channels.assign(Sound::initialChannels, CommandList());
    s.declareChannel("A");
    const auto& list = s.channels[0];
    EXPECT_EQ(list.size(), 1024u);
    for (int i = 0; i < 1023; ++i)
        s.addCommand("A", "c", i);
    EXPECT_EQ(list.size(), 1024u);
    s.addCommand("A", "c", 1023); // the 1024th append fills the list
    EXPECT_EQ(s.channels[0].size(), 2048u);
    EXPECT_EQ(s.channels[0][2047], CMDstruct{}); // new records are default records
    for (int i = 1024; i < 2048; ++i)
        s.addCommand("A", "c", i);
    EXPECT_EQ(s.channels[0].size(), 4096u);
    EXPECT_EQ(s.channelPos.at("A"), 2048);
    s.finishLoad();
    EXPECT_EQ(s.channels[0].size(), 2048u);
    EXPECT_EQ(s.channelPos.at("A"), 0);
    EXPECT_EQ(s.channels[0][2047].value, 2047);
}

TEST(CommandLists, AddCommandUpperCasesOnlyAsciiLetters) {
    Sound s = scoreOf({{"A", {{"c+", 5}, {"b-", 1}, {"x\xe9", 2}, {"<", 0}}}});
    EXPECT_EQ(recordsOf(s, "A"), (Records{{"C+", 5}, {"B-", 1}, {"X\xe9", 2}, {"<", 0}}));
}

TEST(ReadPositions, NextCommandHandsOutRecordsThenTheEndRecordWithoutMoving) {
    Sound s = scoreOf({{"A", {{"C", 1}, {"D", 2}}}, {"E", {}}});
    EXPECT_EQ(s.nextCommand("A"), (CMDstruct{"C", 1}));
    EXPECT_EQ(s.nextCommand("A"), (CMDstruct{"D", 2}));
    EXPECT_EQ(s.channelPos.at("A"), 2);
    EXPECT_EQ(s.nextCommand("A"), (CMDstruct{"", -1}));
    EXPECT_EQ(s.nextCommand("A"), (CMDstruct{"", -1}));
    EXPECT_EQ(s.channelPos.at("A"), 2);
    EXPECT_EQ(s.nextCommand("E"), (CMDstruct{"", -1}));
    EXPECT_EQ(s.channelPos.at("E"), 0);

    EXPECT_EQ(s.resetChannel("A"), 0);
    EXPECT_EQ(s.channelPos.at("A"), 0);
    s.nextCommand("A");
    s.resetPositions();
    EXPECT_EQ(s.channelPos.at("A"), 0);
}

TEST(ReadPositions, UnknownNamesAreRangeErrorsExceptForResetChannel) {
    Sound s = scoreOf({{"A", {{"C", 0}}}});
    EXPECT_EQ(s.resetChannel("a"), -1);
    EXPECT_FALSE(s.channelPos.contains("a"));
    EXPECT_FALSE(s.channelIndex.contains("a"));
    EXPECT_THROW(s.nextCommand("B"), std::out_of_range);
    EXPECT_THROW(s.addCommand("B", "C", 0), std::out_of_range);
    EXPECT_FALSE(s.channelPos.contains("B"));
}
