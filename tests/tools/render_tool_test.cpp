// The command-line renderer, run as a user would run it.
#include "tests/tools/tool_process.h"

namespace {

uint32_t le32(const std::string& s, size_t at) {
    return uint8_t(s[at]) | uint8_t(s[at + 1]) << 8 | uint8_t(s[at + 2]) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}
uint16_t le16(const std::string& s, size_t at) {
    return uint8_t(s[at]) | uint8_t(s[at + 1]) << 8;
}

std::string rendered(const std::string& text, size_t samples, int32_t rate = 11025) {
    Sound s = loadText(text);
    auto pcm = renderOf(s, samples, rate);
    return std::string(pcm.begin(), pcm.end());
}

} // namespace

TEST(RenderTool, WritesAWavFileBesideTheInputByDefault) {
    TempDir dir;
    const std::string song = "A t150 v70 cdefg\nB o2 v30 c2 g2\n";
    dir.write("song.mml", song);
    const Result r = run(dir, {(dir.path() / "song.mml").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string wav = readFile(dir.path() / "song.wav");
    ASSERT_EQ(wav.size(), 44u + 661500);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), 36u + 661500);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(wav, 16), 16u);
    EXPECT_EQ(le16(wav, 20), 1);      // PCM
    EXPECT_EQ(le16(wav, 22), 1);      // mono
    EXPECT_EQ(le32(wav, 24), 11025u); // rate
    EXPECT_EQ(le32(wav, 28), 11025u); // bytes per second
    EXPECT_EQ(le16(wav, 32), 1);      // block align
    EXPECT_EQ(le16(wav, 34), 8);      // bits
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(le32(wav, 40), 661500u);
    EXPECT_EQ(wav.substr(44), rendered(song, 661500));
    // No temporary files are left behind.
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 4u); // song.mml, song.wav, stdout, stderr
}

TEST(RenderTool, RawOutputSecondsAndRate) {
    TempDir dir;
    const std::string song = "A l8 c e g > c";
    const std::string input = dir.write("x.mml", song);
    Result raw = run(dir, {input, "-"});
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out, rendered(song, 661500));

    raw = run(dir, {"--seconds", "0.29", "--rate=100", input, "-"});
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out.size(), 29u); // exact: floor(0.29 x 100)
    raw = run(dir, {input, "-", "--rate", "22050", "--seconds=2.5"});
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out, rendered(song, 55125, 22050));

    // An odd number of samples gets the RIFF pad byte.
    const std::string out = (dir.path() / "odd.wav").string();
    ASSERT_EQ(run(dir, {"--seconds", "0.001", input, out}).status, 0);
    const std::string wav = readFile(out);
    EXPECT_EQ(le32(wav, 40), 11u);
    EXPECT_EQ(wav.size(), 44u + 12);
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
}

TEST(RenderTool, DumpListsChannelsInIndexOrder) {
    TempDir dir;
    const std::string input = dir.write("d.mml", "Zed t90 c+4.\r\nA\x01 [r]2\nZed <\n");
    const Result r = run(dir, {"--dump", input});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Zed 3\n  T 90\n  C+ 1025\n  < 0\nA\x01 2\n  R 0\n  R 0\n");
}

TEST(RenderTool, UsageErrorsExitTwoWithOneLine) {
    TempDir dir;
    const std::string input = dir.write("u.mml", "A c");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--bogus", input},
                                               {input, "a.wav", "b.wav"},
                                               {"--seconds", input},
                                               {"--seconds", "-1", input},
                                               {"--seconds", "abc", input},
                                               {"--seconds", "99999999999", input},
                                               {"--rate", "0", input},
                                               {"--rate", "1.5", input},
                                               {"--dump", input, "out.wav"},
                                               {"-x", input},
                                               {"--watch", input},
                                               {"--play", input, "out.wav"},
                                               {"--play", "--check", input},
                                               {"--dump", "--info", input},
                                               {"--check=yes", input}}) {
        const Result r = run(dir, args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
    const Result help = run(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: marrowtone-render"), std::string::npos);
    const Result version = run(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("marrowtone-render ", 0), 0u);
}

TEST(RenderTool, LoadAndWriteErrorsExitOneAndLeaveNoFile) {
    TempDir dir;
    Result r = run(dir, {(dir.path() / "missing.mml").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Cannot open or create file '" + (dir.path() / "missing.mml").string() +
                         "'\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing.wav"));

    const std::string big = dir.write("big.mml", "A c99999999999");
    r = run(dir, {big});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("Error: ", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "big.wav"));

    const std::string good = dir.write("good.mml", "A c");
    r = run(dir, {good, (dir.path() / "no" / "such" / "dir.wav").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("Error: cannot write", 0), 0u) << r.err;
    // An existing file stays whole when the new one cannot be written.
    std::filesystem::create_directory(dir.path() / "taken.wav");
    r = run(dir, {good, (dir.path() / "taken.wav").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "taken.wav"));
    size_t leftovers = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        leftovers += e.path().filename().string().find(".tmp-") != std::string::npos;
    EXPECT_EQ(leftovers, 0u);
}

TEST(RenderTool, SeveralScoresAreEachWrittenBesideThemselves) {
    TempDir dir;
    const std::string one = "A t150 v70 l8 c d e\n", two = "B o2 v40 c1\n";
    const std::string a = dir.write("a.mml", one), b = dir.write("b.MML", two);
    Result r = run(dir, {a, b});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readFile(dir.path() / "a.wav").substr(44) == rendered(one, 661500));
    EXPECT_TRUE(readFile(dir.path() / "b.wav").substr(44) == rendered(two, 661500));
    EXPECT_EQ(readFile(dir.path() / "b.MML"), two); // a second score is never an OUTPUT

    // One that cannot be read is told; the others are still written.
    std::filesystem::remove(dir.path() / "a.wav");
    std::filesystem::remove(dir.path() / "b.wav");
    const std::string bad = dir.write("bad.mml", "A c99999999999");
    r = run(dir, {"--seconds", "1", a, bad, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("Error: File '" + bad + "'", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    // 11025 samples and the pad byte after an odd chunk.
    EXPECT_TRUE(readFile(dir.path() / "a.wav").substr(44) == rendered(one, 11025) + '\0');
    EXPECT_TRUE(readFile(dir.path() / "b.wav").substr(44) == rendered(two, 11025) + '\0');
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "bad.wav"));

    // Two names of which the second is no score: INPUT and OUTPUT, as always.
    r = run(dir, {a, (dir.path() / "out.wav").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out.wav"));
}

TEST(RenderTool, CheckExitStatusAndHelpListEveryOption) {
    TempDir dir;
    const std::string clean = dir.write("clean.mml", "A c d e\n");
    const std::string noisy = dir.write("noisy.mml", "A c % e\n");
    Result r = run(dir, {"--check", clean});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = run(dir, {"--check", noisy});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, noisy + ":1:5: warning: '%' is not a command: skipped\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "noisy.wav"));

    const Result help = run(dir, {"--help"});
    for (const char* option :
         {"--seconds", "--rate", "--from", "--to", "--solo", "--mute", "--check", "--info",
          "--play", "--watch", "--dump", "--version", "--help", "Exit status"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST(RenderTool, ADashAsInputReadsTheScoreFromStandardInput) {
    TempDir dir;
    const std::string song = "A t150 v70 cdefg\nB o2 v30 c2 g2\n";
    const std::string input = dir.write("piped", song);
    const Result raw = run(dir, {"--seconds", "1", "-", "-"}, input);
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out, rendered(song, 11025));
    const std::string broken = dir.write("broken", "A c d\nB c99999999999\n");
    const Result check = run(dir, {"--check", "-"}, broken);
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, "-:2:4: error: the number 99999999999 does not fit into 32 bits (the "
                         "largest is 2147483647)\n");
}
