#include "tests/sound/test_support.h"

TEST(LoaderNotes, ParametersNotesAccidentalsLengthsAndDots) {
    EXPECT_EQ(recordsOf(loadText("A t120 o4 l8 cdef"), "A"),
              (Records{{"T", 120}, {"O", 4}, {"L", 8}, {"C", 0}, {"D", 0}, {"E", 0}, {"F", 0}}));
    EXPECT_EQ(recordsOf(loadText("A c+4. d-16 r2"), "A"),
              (Records{{"C+", 1025}, {"D-", 4096}, {"R", 512}}));
    EXPECT_EQ(recordsOf(loadText("A C4 c4"), "A"), (Records{{"C", 1024}, {"C", 1024}}));
    EXPECT_EQ(recordsOf(loadText("A c+8..;"), "A"), (Records{{"C+", 2050}}));
    EXPECT_EQ(recordsOf(loadText("A c."), "A"), (Records{{"C", 1}}));
    EXPECT_EQ(recordsOf(loadText("A c.8"), "A"), (Records{{"C", 1}}));
    EXPECT_EQ(recordsOf(loadText("A c8.5"), "A"), (Records{{"C", 2049}}));
    EXPECT_EQ(recordsOf(loadText("A c..."), "A"), (Records{{"C", 3}}));
    EXPECT_EQ(recordsOf(loadText("A r+4 R-"), "A"), (Records{{"R+", 1024}, {"R-", 0}}));
    EXPECT_EQ(recordsOf(loadText("A c004"), "A"), (Records{{"C", 1024}}));
}

TEST(LoaderNotes, LastByteOfTheLineAndThingsThatAreNotTies) {
    EXPECT_EQ(recordsOf(loadText("A cdef+"), "A").back(),
              (std::pair<std::string, int32_t>{"F+", 0}));
    EXPECT_EQ(recordsOf(loadText("A cdef"), "A").back(), (std::pair<std::string, int32_t>{"F", 0}));
    EXPECT_EQ(recordsOf(loadText("A c#d"), "A"), (Records{{"C", 0}, {"D", 0}}));
    EXPECT_EQ(namesOf(loadText("A c&c"), "A"), "C C");
    EXPECT_EQ(namesOf(loadText("A c^c"), "A"), "C C");
    EXPECT_EQ(namesOf(loadText("A c 4 d"), "A"), "C D"); // a blank ends the note
}

TEST(LoaderNotes, DotCountKeepsLowEightBitsAndLengthLosesHighBits) {
    EXPECT_EQ(recordsOf(loadText("A c" + std::string(257, '.')), "A"), (Records{{"C", 1}}));
    EXPECT_EQ(recordsOf(loadText("A c8388608"), "A"), (Records{{"C", INT32_MIN}}));
    EXPECT_EQ(recordsOf(loadText("A c16777216"), "A"), (Records{{"C", 0}}));
    EXPECT_EQ(recordsOf(loadText("A c8388607"), "A"), (Records{{"C", 8388607 * 256}}));
    EXPECT_EQ(recordsOf(loadText("A c16777217."), "A"), (Records{{"C", 256 | 1}}));
    EXPECT_EQ(recordsOf(loadText("A c16777215"), "A"), (Records{{"C", -256}}));
}

TEST(LoaderParameters, LettersNeedDigitsBracketsDefaultToZero) {
    EXPECT_EQ(recordsOf(loadText("A t"), "A"), Records{});
    EXPECT_EQ(recordsOf(loadText("A tx"), "A"), Records{});
    EXPECT_EQ(recordsOf(loadText("A t-5"), "A"), Records{});
    EXPECT_EQ(recordsOf(loadText("A (x"), "A"), (Records{{"(", 0}}));
    EXPECT_EQ(recordsOf(loadText("A ("), "A"), (Records{{"(", 0}}));
    EXPECT_EQ(recordsOf(loadText("A )3"), "A"), (Records{{")", 3}}));
    EXPECT_EQ(recordsOf(loadText("A <>"), "A"), (Records{{"<", 0}, {">", 0}}));
    EXPECT_EQ(recordsOf(loadText("A T5o0V300q8L16"), "A"),
              (Records{{"T", 5}, {"O", 0}, {"V", 300}, {"Q", 8}, {"L", 16}}));
    EXPECT_EQ(recordsOf(loadText("A v2147483647"), "A"), (Records{{"V", 2147483647}}));
}

TEST(LoaderRepeats, ExpandInPlaceAndNest) {
    EXPECT_EQ(namesOf(loadText("A [cd]3 e"), "A"), "C D C D C D E");
    EXPECT_EQ(namesOf(loadText("A [cd] e"), "A"), "C D E");
    EXPECT_EQ(namesOf(loadText("A [cd]1 e"), "A"), "C D E");
    EXPECT_EQ(namesOf(loadText("A [cd]0 e"), "A"), "C D E");
    EXPECT_EQ(namesOf(loadText("A [[c]2 d]2"), "A"), "C C D C C D");
    EXPECT_EQ(namesOf(loadText("A [c [d]3]2"), "A"), "C D D D C D D D");
    EXPECT_EQ(namesOf(loadText("A []5 c"), "A"), "C");
    EXPECT_EQ(namesOf(loadText("A [cd"), "A"), "C D");
    // Repeats do not reach across lines, and the part is appended after what
    // the channel already held.
    EXPECT_EQ(namesOf(loadText("A c [d\nA e]3"), "A"), "C D E");
    EXPECT_EQ(namesOf(loadText("A c\nA [d]2"), "A"), "C D D");
}

TEST(LoaderRepeats, CloseWithoutOpenIsAnIgnoredByteAndSoAreItsDigits) {
    EXPECT_EQ(namesOf(loadText("A c]3 d"), "A"), "C D");
    EXPECT_EQ(namesOf(loadText("A [c]2]9 d"), "A"), "C C D");
    // Not parsed as a count, so not an overflow either.
    EXPECT_EQ(namesOf(loadText("A c]99999999999 d"), "A"), "C D");
}

TEST(LoaderRepeats, DeepNestingGrowsTheStacks) {
    std::string line = "A " + std::string(200, '[') + "c";
    for (int i = 0; i < 200; ++i)
        line += i < 3 ? "]2" : "]";
    EXPECT_EQ(recordsOf(loadText(line), "A").size(), 8u);
}

TEST(LoaderLines, CommentsBlanksAndChannelNames) {
    EXPECT_EQ(namesOf(loadText("A c d ; e f"), "A"), "C D");
    EXPECT_EQ(namesOf(loadText("A cd;ef"), "A"), "C D");
    EXPECT_EQ(loadText("; A c").channelCount, 0);
    EXPECT_EQ(loadText("   ; A c\n\t\n   \n").channelCount, 0);
    EXPECT_EQ(loadText("").channelCount, 0);
    EXPECT_TRUE(loadText("").channels.empty());

    Sound alone = loadText("A");
    EXPECT_EQ(alone.channelCount, 1);
    EXPECT_EQ(alone.channels[0].size(), 0u);
    EXPECT_EQ(recordsOf(loadText("A c   \t"), "A"), (Records{{"C", 0}}));
    EXPECT_EQ(recordsOf(loadText("\t A;x c"), "A;x"), (Records{{"C", 0}}));
    EXPECT_EQ(namesOf(loadText("A ;c\nA d"), "A"), "D");
}

TEST(LoaderLines, ChannelsAreIndexedInOrderOfFirstAppearanceAndCaseMatters) {
    Sound s = loadText("B c\nA c\nB d\na e");
    EXPECT_EQ(s.channelCount, 3);
    EXPECT_EQ(s.channelIndex.at("B"), 0);
    EXPECT_EQ(s.channelIndex.at("A"), 1);
    EXPECT_EQ(s.channelIndex.at("a"), 2);
    EXPECT_EQ(namesOf(s, "B"), "C D");
    EXPECT_EQ(namesOf(s, "a"), "E");
    EXPECT_EQ(s.channels.size(), 3u);
    for (const auto& [name, pos] : s.channelPos)
        EXPECT_EQ(pos, 0) << name;
}

TEST(LoaderLines, EveryLineEndReadsAlike) {
    const std::string lf = "A c\nB d\n\nA e\nB f";
    const Sound reference = loadText(lf);
    for (const std::string& text :
         {std::string("A c\r\nB d\r\n\r\nA e\r\nB f\r\n"), std::string("A c\rB d\r\rA e\rB f"),
          std::string("A c\xff"
                      "B d\xff\xff"
                      "A e\xff"
                      "B f\xff"),
          std::string("A c\r\nB d\n\rA e\xff\r\nB f\n")}) {
        Sound s = loadText(text);
        EXPECT_EQ(recordsOf(s, "A"), recordsOf(reference, "A"));
        EXPECT_EQ(recordsOf(s, "B"), recordsOf(reference, "B"));
        EXPECT_EQ(s.channelCount, 2);
    }
}

TEST(LoaderLines, NamesTakeAnyByteButBlanksAndLineEnds) {
    Sound bom = loadText("\xEF\xBB\xBF"
                         "A c");
    EXPECT_TRUE(bom.channelIndex.contains("\xEF\xBB\xBF"
                                          "A"));
    std::string allBytes;
    for (int b = 0; b < 256; ++b)
        if (b != ' ' && b != '\t' && b != '\n' && b != '\r' && b != 0xFF && b != ';')
            allBytes += static_cast<char>(b);
    Sound s = loadText(allBytes + " c\n" + allBytes + " d");
    EXPECT_EQ(s.channelCount, 1);
    EXPECT_EQ(namesOf(s, allBytes), "C D");
}

TEST(LoaderLines, LongListsAreExactAfterLoading) {
    std::string text;
    for (int line = 0; line < 15; ++line)
        text += "A " + std::string(100, 'c') + "\n";
    Sound s = loadText(text);
    EXPECT_EQ(s.channels[0].size(), 1500u);
    // A one-megabyte line, and a line that straddles the reader's buffer.
    Sound wide = loadText("W " + std::string(1 << 20, 'd') + "\nX e");
    EXPECT_EQ(wide.channels[0].size(), size_t{1} << 20);
    EXPECT_EQ(namesOf(wide, "X"), "E");
}

TEST(LoaderLines, ASecondLoadStartsFromNothing) {
    TempDir dir;
    Sound s;
    s.load(dir.write("one.mml", "A c\nB d"));
    s.load(dir.write("two.mml", "C e"));
    EXPECT_EQ(s.channelCount, 1);
    EXPECT_FALSE(s.channelIndex.contains("A"));
    EXPECT_EQ(namesOf(s, "C"), "E");
}

TEST(LoaderErrors, MissingFileLeavesTheScoreUntouched) {
    Sound s = loadText("A c");
    try {
        s.load("/nonexistent/dir/song.mml");
        FAIL() << "no error raised";
    } catch (const SoundError& e) {
        EXPECT_STREQ(e.what(), "Cannot open or create file '/nonexistent/dir/song.mml'");
    }
    EXPECT_EQ(namesOf(s, "A"), "C");
    TempDir dir;
    EXPECT_THROW(s.load(dir.path().string()), SoundError); // a directory is no score
}

TEST(LoaderErrors, NumbersAbove32BitsNameFileLineAndNumber) {
    TempDir dir;
    const std::string file = dir.write("big.mml", "A c\n\nA c4 t2147483648 d");
    Sound s;
    try {
        s.load(file);
        FAIL() << "no error raised";
    } catch (const SoundError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(file), std::string::npos) << what;
        EXPECT_NE(what.find("line 3"), std::string::npos) << what;
        EXPECT_NE(what.find("2147483648"), std::string::npos) << what;
    }
    for (const char* text : {"A c99999999999", "A [c]4294967297", "A (2147483648",
                             "A l"
                             "0000000000000000000009999999999"})
        EXPECT_THROW(loadText(text), SoundError) << text;
    EXPECT_EQ(recordsOf(loadText("A l00000000000000000000000000000000000016"), "A"),
              (Records{{"L", 16}}));
}

TEST(LoaderErrors, ScoresBeyondTheCommandLimitFailBeforeTakingMemory) {
    // 2^31 - 1 copies of a note would be billions of records.
    try {
        loadText("A c\nA [c]2147483647");
        FAIL() << "no error raised";
    } catch (const SoundError& e) {
        EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("16777216"), std::string::npos) << e.what();
    }
    EXPECT_THROW(loadText("A [[[[cdef]64]64]64]64"), SoundError);
    // Exactly at the limit is still a score.
    Sound full = loadText("A [[[[c]64]64]64]64");
    EXPECT_EQ(full.channels[0].size(), size_t{16777216});
}

TEST(LoaderErrors, TenThousandChannelsLoad) {
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "ch" + std::to_string(i) + " c\n";
    Sound s = loadText(text);
    EXPECT_EQ(s.channelCount, 10000);
    EXPECT_EQ(s.channels.size(), 10000u);
    EXPECT_EQ(s.channelIndex.at("ch9999"), 9999);
}

TEST(LoaderPaths, OpensUtf8PathsWithNonAsciiCharacters) {
    TempDir dir;
    const std::string file = dir.write("Für Elise – ♪.mml", "A e d+ e");
    Sound s;
    s.load(file);
    EXPECT_EQ(namesOf(s, "A"), "E D+ E");
}
