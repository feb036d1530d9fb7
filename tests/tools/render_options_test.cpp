// The command line of marrowtone-render on its own: what each option sets, what is refused
// with which message, and the sample count computed exactly from decimal seconds.
#include "tools/render_options.h"
#include "tools/render_tool.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::optional<RenderOptions> parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string message;
    auto options = parseRenderOptions(args, message);
    if (error) *error = message;
    return options;
}

std::string errorOf(std::vector<std::string> args) {
    std::string error;
    EXPECT_FALSE(parse(std::move(args), &error));
    return error;
}

TEST(RenderOptions, DefaultsAreAMinuteAtThePlayersRateBesideTheInput) {
    auto options = parse({"songs/tune.mml"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->input, "songs/tune.mml");
    EXPECT_EQ(options->output, "songs/tune.wav");
    EXPECT_EQ(options->rate, 11025);
    EXPECT_EQ(options->samples, 661500);
    EXPECT_FALSE(options->dump || options->help || options->version);
}

TEST(RenderOptions, ValuesComeAfterAnEqualsSignOrAsTheNextArgument) {
    auto joined = parse({"--seconds=2.5", "--rate=8000", "a.mml", "out.wav"});
    auto apart = parse({"--seconds", "2.5", "--rate", "8000", "a.mml", "out.wav"});
    ASSERT_TRUE(joined && apart);
    for (const auto& o : {*joined, *apart}) {
        EXPECT_EQ(o.rate, 8000);
        EXPECT_EQ(o.samples, 20000);
        EXPECT_EQ(o.output, "out.wav");
    }
}

TEST(RenderOptions, ADashIsStandardOutputAndADoubleDashEndsTheOptions) {
    auto raw = parse({"a.mml", "-"});
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->output, "-");
    auto named = parse({"--", "--odd.mml"});
    ASSERT_TRUE(named);
    EXPECT_EQ(named->input, "--odd.mml");
    EXPECT_EQ(named->output, "--odd.wav");
}

TEST(RenderOptions, AScoreFromStandardInputIsTheOnlyOneAndIsNotWatched) {
    for (const std::vector<std::string>& ok : {std::vector<std::string>{"-", "out.wav"},
                                               {"--check", "-"},
                                               {"--play", "-"},
                                               {"--dump", "-"}})
        EXPECT_TRUE(parse(ok)) << ok[0];
    EXPECT_EQ(errorOf({"-"}),
              "a score read from standard input needs an OUTPUT (a file, or '-' for raw samples)");
    EXPECT_EQ(errorOf({"--check", "a.mml", "-"}),
              "'-' (standard input) can only be the first and only INPUT");
    EXPECT_EQ(errorOf({"--play", "--watch", "-"}),
              "--watch needs a file to watch, not standard input");
}

TEST(RenderTool, RawSamplesAreNotWrittenToATerminal) {
    ToolStreams streams;
    streams.outTerminal = true;
    streams.err = std::tmpfile();
    ASSERT_NE(streams.err, nullptr);
    EXPECT_EQ(runRenderTool({"song.mml", "-"}, streams), 2);
    std::rewind(streams.err);
    char line[200] = {};
    ASSERT_NE(std::fgets(line, sizeof line, streams.err), nullptr);
    EXPECT_EQ(std::string(line).rfind("marrowtone-render: raw samples are not written to a "
                                      "terminal",
                                      0),
              0u)
        << line;
    std::fclose(streams.err);
}

TEST(RenderOptions, HelpAndVersionNeedNoInput) {
    auto help = parse({"--help"});
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->help);
    auto version = parse({"--version"});
    ASSERT_TRUE(version);
    EXPECT_TRUE(version->version);
}

TEST(RenderOptions, UsageErrorsSayWhatIsWrong) {
    EXPECT_EQ(errorOf({}), "no input file given");
    EXPECT_EQ(errorOf({"a", "b", "c"}), "too many arguments");
    EXPECT_EQ(errorOf({"-x", "a.mml"}), "unknown option '-x'");
    EXPECT_EQ(errorOf({"--loud", "a.mml"}), "unknown option '--loud'");
    EXPECT_EQ(errorOf({"--dump=yes", "a.mml"}), "option '--dump' takes no value");
    EXPECT_EQ(errorOf({"a.mml", "--rate"}), "option '--rate' needs a value");
    EXPECT_EQ(errorOf({"--dump", "a.mml", "b.wav"}),
              "--dump prints to standard output and takes no OUTPUT");
    EXPECT_EQ(errorOf({"a.mml", ""}), "the output file name is empty");
}

TEST(RenderOptions, TheRateIsAWholeNumberWithinThirtyTwoBits) {
    for (const char* bad : {"0", "-5", "12k", "2147483648", "", "99999999999"})
        EXPECT_NE(errorOf({"--rate", bad, "a.mml"}).find("--rate needs a whole number"),
                  std::string::npos)
            << bad;
    auto top = parse({"--rate", "2147483647", "--seconds", "0", "a.mml"});
    ASSERT_TRUE(top);
    EXPECT_EQ(top->rate, 2147483647);
}

TEST(RenderOptions, SecondsOutsideTheLimitAreRefusedWithTheLimit) {
    const std::string error = errorOf({"--seconds", "100000", "a.mml"});
    EXPECT_NE(error.find(std::to_string(maxRenderSamples)), std::string::npos) << error;
    EXPECT_NE(error.find("'100000'"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--seconds", "-1", "a.mml"}));
}

TEST(SampleCount, IsExactForDecimalSeconds) {
    // 0.29 s at 100 Hz is 29 samples, where a double would give 28.
    EXPECT_EQ(samplesFor("0.29", 100), 29);
    EXPECT_EQ(samplesFor("60", 11025), 661500);
    EXPECT_EQ(samplesFor("1.5", 11025), 16537); // floor(16537.5)
    EXPECT_EQ(samplesFor(".5", 10), 5);
    EXPECT_EQ(samplesFor("3.", 10), 30);
    EXPECT_EQ(samplesFor("0.0000001", 2147483647), 214);
}

TEST(SampleCount, RefusesWhatIsNotAPlainNonNegativeNumber) {
    for (const char* bad : {"", ".", "1e3", "-1", "+1", "1.2.3", "1,5", " 1"})
        EXPECT_FALSE(samplesFor(bad, 11025)) << bad;
}

TEST(SampleCount, StopsAtTheLargestBufferWithoutOverflowing) {
    EXPECT_EQ(samplesFor(std::to_string(maxRenderSamples), 1), maxRenderSamples);
    EXPECT_FALSE(samplesFor(std::to_string(maxRenderSamples + 1), 1));
    EXPECT_FALSE(samplesFor("99999999999999999999999", 2147483647));
    EXPECT_FALSE(samplesFor("1000", 2147483647));
}

TEST(DefaultOutputName, ReplacesOnlyTheLastExtension) {
    EXPECT_EQ(defaultOutputName("a/b.c/song.mml"), "a/b.c/song.wav");
    EXPECT_EQ(defaultOutputName("song"), "song.wav");
    EXPECT_EQ(defaultOutputName("song.tar.mml"), "song.tar.wav");
}

} // namespace

TEST(RenderOptions, FromIsSecondsOrMinutesAndSecondsBeforeTheEnd) {
    auto options = parse({"--from", "1:02.5", "--seconds", "70", "--rate", "100", "a.mml"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->from, 6250);
    EXPECT_EQ(parse({"--from=0.29", "--rate=100", "a.mml"})->from, 29);
    for (const char* bad : {"1:60", "1:5x", ":30", "x", "1:2:3"})
        EXPECT_NE(errorOf({"--from", bad, "a.mml"}).find("--from needs a time"), std::string::npos)
            << bad;
    EXPECT_EQ(errorOf({"--from", "1:00", "a.mml"}),
              "--from 1:00 is not before the end of the rendering (60 s)");
    EXPECT_NE(errorOf({"--check", "--from", "1", "a.mml"}).find("--from works with"),
              std::string::npos);
}

TEST(RenderOptions, SoloAndMuteTakeCommaSeparatedNamesAndAddUp) {
    auto options = parse({"--solo", "A,B", "--solo=C", "--mute", "B", "a.mml"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->solo, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(options->mute, (std::vector<std::string>{"B"}));
    EXPECT_EQ(errorOf({"--mute", "A,,B", "a.mml"}),
              "--mute needs channel names separated by commas, not 'A,,B'");
    EXPECT_NE(errorOf({"--info", "--solo", "A", "a.mml"}).find("--solo and --mute work with"),
              std::string::npos);
}
