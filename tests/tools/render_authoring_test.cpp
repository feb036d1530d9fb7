// marrowtone-render for people who write scores, run in place: --check and --info
// against hand-counted scores, --play and --watch on the headless sound driver.
#include "../sound/test_support.h"
#include "platform/testing/testing.h"
#include "tools/playback.h"
#include "tools/render_tool.h"
#include "tools/score_report.h"
#include "tools/warning_list.h"

#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
namespace headless = platform::headless;

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Waits until `state` holds, at most 30 s (a failing test must not hang the suite).
template <typename State> bool waitFor(State state) {
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (!state()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The tool on a thread of its own, its streams in files that the test reads as they grow.
class ToolRun {
public:
    ToolRun(const TempDir& dir, std::vector<std::string> args, bool terminal = false,
            int columns = 0)
        : outPath_(dir.path() / "out.txt"), errPath_(dir.path() / "err.txt") {
        streams_.terminal = terminal;
        streams_.columns = columns;
        out_ = std::fopen(outPath_.c_str(), "w");
        err_ = std::fopen(errPath_.c_str(), "w");
        streams_.out = out_;
        streams_.err = err_;
        streams_.interrupted = &interrupted_;
        streams_.soundOutput = [] { return std::make_unique<WavePlayer>(); };
        thread_ = std::thread([this, args = std::move(args)] {
            status_ = runRenderTool(args, streams_);
            done_ = true;
        });
    }
    ~ToolRun() {
        interrupted_ = true;
        join();
    }

    int finish() {
        join();
        return status_;
    }
    void interrupt() { interrupted_ = true; }
    bool done() const { return done_; }
    std::string out() const { return readFile(outPath_); }
    std::string err() const { return readFile(errPath_); }

private:
    void join() {
        if (thread_.joinable()) thread_.join();
        if (out_) std::fclose(std::exchange(out_, nullptr));
        if (err_) std::fclose(std::exchange(err_, nullptr));
    }

    std::filesystem::path outPath_, errPath_;
    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
    ToolStreams streams_;
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> done_{false};
    std::atomic<int> status_{-1};
    std::thread thread_;
};

struct Result {
    int status;
    std::string out, err;
};

Result run(const TempDir& dir, std::vector<std::string> args) {
    ToolRun tool(dir, std::move(args));
    const int status = tool.finish();
    return {status, tool.out(), tool.err()};
}

std::vector<uint8_t> renderingOf(const std::string& text, size_t samples) {
    Sound s = loadText(text);
    std::vector<uint8_t> pcm(samples);
    s.render(pcm, 11025);
    return pcm;
}

class Authoring : public ::testing::Test {
protected:
    TempDir dir;

    // What --check tells of `text` over a second of sound, without the file's name.
    std::string checked(const std::string& text) const {
        const std::string file = dir.write("score.mml", text);
        Sound sound;
        std::vector<uint8_t> pcm(11025);
        std::string out;
        std::istringstream lines(warningLines(file, examineScore(sound, file, pcm, 11025)));
        for (std::string line; std::getline(lines, line);)
            out += (line.rfind(file + ":", 0) == 0 ? line.substr(file.size() + 1) : line) + "\n";
        return out;
    }
};

// Saves `text` into the watched `file` and hears its first half second as the tool's
// `nthPlay`, then ends the tool as Ctrl+C does.
void saveAndHear(ToolRun& tool, const std::string& file, const std::string& text, size_t nthPlay) {
    headless::clearCapturedAudio();
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    ASSERT_TRUE(waitFor([&] { return count(tool.err(), "Playing ") == nthPlay; })) << tool.err();
    headless::advanceAudio(500ms);
    EXPECT_EQ(headless::capturedAudio(), renderingOf(text, 5512));
    tool.interrupt();
    EXPECT_EQ(tool.finish(), kExitInterrupted);
}

} // namespace

TEST_F(Authoring, WatchingALoadAndARenderingChangesNoByte) {
    size_t examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MARROWTONE_EXAMPLES_DIR)) {
        ++examples;
        const std::string path = entry.path().string();
        Sound plain;
        plain.load(path);
        std::vector<uint8_t> expected(661500);
        plain.render(expected, 11025);
        Sound watched;
        std::vector<uint8_t> pcm(661500);
        const ScoreReport report = examineScore(watched, path, pcm, 11025);
        EXPECT_TRUE(pcm == expected) << path;
        EXPECT_EQ(watched.observer, nullptr);
        EXPECT_EQ(report.channels.size(), static_cast<size_t>(plain.channelCount)) << path;
    }
    EXPECT_GE(examples, 3u);
}

TEST_F(Authoring, CheckTellsEveryKindAtItsLineAndColumn) {
    const std::string score = "; one kind of warning a line\n"
                              "A v10 c x d ]\n"
                              "B t0 l0 c\n"
                              "C [d]0 e v\n"
                              "D o9 c\n"
                              "E q0 c\n"
                              "F v256 c\n"
                              "G o8 b\n"
                              "H t120\n"
                              "I l4 [c\n"
                              "J xy$ c ; comments say what they like: x ] [\n";
    const std::string file = dir.write("kinds.mml", score);
    const Result r = run(dir, {"--check", file});
    EXPECT_EQ(r.status, kExitWarnings) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string w = file + ":";
    EXPECT_EQ(r.out,
              w + "2:9: warning: 'x' is not a command: skipped\n" + w +
                  "2:13: warning: ']' without '[' on its line: ignored\n" + w +
                  "3:3: warning: t0 is ignored: the tempo stays\n" + w +
                  "3:6: warning: l0 is ignored: the default length stays\n" + w +
                  "4:5: warning: repeat count 0: the part plays once\n" + w +
                  "4:10: warning: 'v' without a number: skipped\n" + w +
                  "5:6: warning: this note is silent: octave 9 is outside 0 to 8, "
                  "first at 0.000 s\n" +
                  w + "6:6: warning: this note is silent: the gate is q0, first at 0.000 s\n" + w +
                  "7:3: warning: volume 256 plays as 0 (volumes count modulo 256): the "
                  "notes after it are silent\n" +
                  w +
                  "8:6: warning: this note is silent: too high for 11025 samples per "
                  "second, first at 0.000 s\n" +
                  w + "9:1: warning: channel 'H' holds no note or rest: it plays nothing\n" + w +
                  "10:6: warning: '[' without ']' on its line: the part plays once\n" + w +
                  "11:3: warning: 'xy$' is not a command: skipped\n");
}

TEST_F(Authoring, CheckTellsWhereTheVoicesWrapAndAnEmptyReportForACleanScore) {
    // K and L start together at 0 with the same period (o3 c: 42 samples at 11025 Hz, high
    // for 14): 200 + 100 wraps in every high phase until the gate closes at 24000 samples
    // (6/8 of a whole note of 32000); the last high phase before it ends at 23996, 2.176 s.
    // The second pass starts at 32000, 0.5 s before the end of the 3 s rendering.
    const std::string wraps = dir.write("wraps.mml", "; loud\nK v200 c1\nL v100 c1\n");
    Result r = run(dir, {"--check", "--seconds", "3", wraps});
    EXPECT_EQ(r.status, kExitWarnings);
    EXPECT_EQ(r.out, wraps + ":3:8: warning: the voices add up to 300 and wrap past 255 from "
                             "0.000 s to 2.176 s (K, L), and 1 more time later\n");

    // A crowd of voices is named by its first few.
    std::string crowd;
    for (int c = 0; c < 20; ++c)
        crowd += "V" + std::to_string(c) + " v20 c1\n";
    r = run(dir, {"--check", "--seconds", "1", dir.write("crowd.mml", crowd)});
    EXPECT_NE(r.out.find("(V0, V1, V2, V3, V4, V5, V6, V7, V8, V9, V10, V11, V12, V13, V14, V15 "
                         "and 4 more)"),
              std::string::npos)
        << r.out;

    // Every command of the language, each heard as written, and loud chords that stay below
    // 256: nothing to tell.
    const std::string clean =
        dir.write("clean.mml", "; clean\nA t150 o4 v100 q7 l8 (1 c d+ e- [f g]2 > c < r4. )1 a16\n"
                               "B t150 o2 v100 l2 c g\n\n  ; the end\nC t150 v55 r1 c1\n");
    r = run(dir, {"--check", clean});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");

    // Several scores at once: the warnings of each, the status of the worst.
    r = run(dir, {"--check", "--seconds=3", clean, wraps});
    EXPECT_EQ(r.status, kExitWarnings);
    EXPECT_EQ(count(r.out, "warning:"), 1u);
    // A score that cannot be read is an error, whatever the others say.
    const std::string broken = dir.write("broken.mml", "A c99999999999\n");
    r = run(dir, {"--check", clean, broken, wraps});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(count(r.out, ": error: "), 1u) << r.out;
    EXPECT_EQ(count(r.out, "warning:"), 1u);
}

TEST_F(Authoring, InfoGivesHandCountedFigures) {
    // A: t120 makes a whole note 3500000 / 120 = 29166 samples, a quarter 7291; four steps
    // make a pass of 29164 samples (2.645 s), begun 23 times in 661500 samples. B: a whole
    // note of the default 32000 samples (2.902 s), begun 21 times. Both sound at once from
    // sample 0: 50 + 30.
    const std::string file = dir.write("info.mml", "A t120 l4 c d r e\nB v30 o2 c1\n");
    const Result r = run(dir, {"--info", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, file + ": 2 channels, 60.000 s at 11025 samples per second\n"
                            "  A: 6 commands, 3 notes, 1 rest; one pass 2.645 s, 23 passes; "
                            "loudest 50 at 0.000 s\n"
                            "  B: 3 commands, 1 note, 0 rests; one pass 2.902 s, 21 passes; "
                            "loudest 30 at 0.000 s\n"
                            "  peak sum 80 at 0.000 s\n");

    // A pass longer than the rendering, a voice that only rests, one that plays nothing, and
    // a peak that wraps: C's and D's notes start after a quarter rest of 29166 / 4 = 7291
    // samples (0.661 s) and join P's, all three on o3 c, whose period of 42 samples is high
    // again first at 7308 (0.662 s): 50 + 200 + 100.
    const std::string other =
        dir.write("other.mml", "P l1 c c c c\nQ r\nR v10\nC t120 v200 r c\nD t120 v100 r c\n");
    const Result o = run(dir, {"--info", "--seconds", "2", other});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, other + ": 5 channels, 2.000 s at 11025 samples per second\n"
                             "  P: 5 commands, 4 notes, 0 rests; one pass outlasts the "
                             "rendering; loudest 50 at 0.000 s\n"
                             "  Q: 1 command, 0 notes, 1 rest; one pass 0.725 s, 3 passes; "
                             "loudest silent\n"
                             "  R: 1 command, 0 notes, 0 rests; plays nothing; loudest silent\n"
                             "  C: 4 commands, 1 note, 1 rest; one pass 1.322 s, 2 passes; "
                             "loudest 200 at 0.661 s\n"
                             "  D: 4 commands, 1 note, 1 rest; one pass 1.322 s, 2 passes; "
                             "loudest 100 at 0.661 s\n"
                             "  peak sum 350 at 0.662 s (past 255: it wraps)\n");
}

TEST_F(Authoring, InfoShowsChannelNamesAsTextWhereTheyAreUtf8AndCutsLongOnes) {
    const std::string longName(50, 'L');
    const std::string file =
        dir.write("names.mml", "Bass\xC3\xA9 c\nX\xE9 c\n" + longName + "\xE2\x99\xAA c\n");
    const Result r = run(dir, {"--info", "--seconds", "1", file});
    EXPECT_NE(r.out.find("\n  Bass\xC3\xA9: 1 command,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  X\\xE9: 1 command,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  " + longName.substr(0, 40) + "...: 1 command,"), std::string::npos)
        << r.out;
}

TEST_F(Authoring, PlayPlaysTheRenderingThroughTheWaveOutput) {
    const std::string song = "A t150 v70 l8 cdefg\nB o2 v30 c2 g2\n";
    const std::string file = dir.write("song.mml", song);
    ToolRun tool(dir, {"--play", "--seconds", "2", file});
    ASSERT_TRUE(waitFor([] { return headless::audioPlaying(); }));
    EXPECT_EQ(headless::lastAudioFormat().nSamplesPerSec, 11025u);
    EXPECT_EQ(headless::lastAudioFormat().wBitsPerSample, 8);
    EXPECT_FALSE(tool.done());
    headless::advanceAudio(2s);
    EXPECT_EQ(tool.finish(), 0);
    EXPECT_EQ(headless::capturedAudio(), renderingOf(song, 22050));
    EXPECT_EQ(headless::openAudioDevices(), 0u);
    EXPECT_EQ(tool.out(), "");
    EXPECT_EQ(tool.err(), ""); // not a terminal: nothing to tell
}

TEST_F(Authoring, CtrlCOnATerminalClearsTheProgressLineAndItsEcho) {
    const std::string file = dir.write("song.mml", "A c d e f g\n");
    ToolRun tool(dir, {"--play", file}, true);
    ASSERT_TRUE(waitFor([&] { return count(tool.err(), " s of 60.0 s") >= 1; })) << tool.err();
    tool.interrupt();
    EXPECT_EQ(tool.finish(), kExitInterrupted);
    // ...PROGRESS\r<blanks>\rStopped.: the blanks reach past the progress and the "^C".
    const std::string err = tool.err();
    const size_t stopped = err.rfind("\rStopped.\n");
    ASSERT_NE(stopped, std::string::npos) << err;
    const size_t blanks = err.rfind('\r', stopped - 1);
    const size_t progress = err.rfind('\r', blanks - 1);
    ASSERT_NE(progress, std::string::npos) << err;
    EXPECT_GE(stopped - blanks - 1, blanks - progress - 1 + 2) << err;
}

TEST_F(Authoring, PlayStopsAtOnceWhenInterruptedAndFailsWithoutADevice) {
    const std::string file = dir.write("song.mml", "A c d e f g\n");
    {
        ToolRun tool(dir, {"--play", file});
        ASSERT_TRUE(waitFor([] { return headless::audioPlaying(); }));
        headless::advanceAudio(100ms);
        tool.interrupt();
        EXPECT_EQ(tool.finish(), kExitInterrupted);
        EXPECT_FALSE(headless::audioPlaying());
        EXPECT_EQ(headless::openAudioDevices(), 0u);
        EXPECT_EQ(headless::capturedAudio().size(), 1102u); // 100 ms of 11025 samples
        EXPECT_EQ(tool.err(), "Stopped.\n");
    }
    headless::setAudioDeviceAvailable(false);
    const Result r = run(dir, {"--play", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: cannot play: there is no sound device\n");
}

TEST_F(Authoring, WatchPlaysEachSaveOnFromWhereItIsAndKeepsTheLastGoodSound) {
    const std::string first = "A v40 l8 c e g\n", second = "A v90 o5 l16 g f e d\n",
                      third = "A o2 c1\nB o3 g1\n";
    const std::string file = dir.write("song.mml", first);
    ToolRun tool(dir, {"--play", "--watch", file}, true);
    auto started = [&tool](size_t times) {
        return waitFor([&] { return count(tool.err(), "Playing ") == times; });
    };
    // What was heard since the last clearing: `text`'s rendering from sample `from` on.
    auto heardFrom = [](const std::string& text, size_t from) {
        const auto heard = headless::capturedAudio();
        const auto sound = renderingOf(text, 661500);
        return heard ==
               std::vector<uint8_t>(sound.begin() + static_cast<ptrdiff_t>(from),
                                    sound.begin() + static_cast<ptrdiff_t>(from + heard.size()));
    };
    ASSERT_TRUE(started(1)) << tool.err();
    headless::advanceAudio(500ms);
    EXPECT_EQ(headless::capturedAudio(), renderingOf(first, 5512));

    // Written in place: on from the 5512 samples heard.
    headless::clearCapturedAudio();
    std::ofstream(file, std::ios::binary | std::ios::trunc) << second;
    ASSERT_TRUE(started(2)) << tool.err();
    headless::advanceAudio(500ms);
    EXPECT_TRUE(heardFrom(second, 5512));

    // A save that does not load: the error, and the sound goes on where it was.
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "A c99999999999\n";
    ASSERT_TRUE(waitFor([&] { return count(tool.err(), "Error: ") == 1; })) << tool.err();
    EXPECT_EQ(count(tool.err(), "Playing "), 2u);
    headless::advanceAudio(500ms);
    EXPECT_EQ(headless::capturedAudio().size(), 11025u);
    EXPECT_TRUE(heardFrom(second, 5512));

    // Written beside it and renamed over it, as many editors save.
    headless::clearCapturedAudio();
    const std::string temporary = dir.write(".song.mml.swp", third);
    std::filesystem::rename(temporary, file);
    ASSERT_TRUE(started(3)) << tool.err();
    headless::advanceAudio(500ms);
    EXPECT_TRUE(heardFrom(third, 5512 + 11025));

    // To the end, then waiting for the next save until Ctrl+C.
    headless::advanceAudio(60s);
    ASSERT_TRUE(waitFor([&] { return count(tool.err(), "Played to the end") == 1; }));
    EXPECT_FALSE(tool.done());
    tool.interrupt();
    EXPECT_EQ(tool.finish(), kExitInterrupted);
    EXPECT_EQ(headless::openAudioDevices(), 0u);
}

// The sound server ends while the tool plays: --play fails with its own status; --watch
// says so and plays the next save on the output that is back.
TEST_F(Authoring, ALostSoundDeviceFailsPlayAndWaitsUnderWatch) {
    const std::string file = dir.write("song.mml", "A c d e f g\n");
    {
        ToolRun tool(dir, {"--play", file});
        ASSERT_TRUE(waitFor([] { return headless::audioPlaying(); }));
        headless::advanceAudio(100ms);
        headless::loseAudioOutput();
        EXPECT_EQ(tool.finish(), kExitSoundLost);
        EXPECT_EQ(tool.err(),
                  "Error: the sound was lost: the sound device went away while playing\n");
    }
    headless::setAudioDeviceAvailable(true);
    ToolRun tool(dir, {"--play", "--watch", file}, true);
    ASSERT_TRUE(waitFor([] { return headless::audioPlaying(); }));
    headless::loseAudioOutput();
    ASSERT_TRUE(waitFor([&] { return count(tool.err(), "The sound was lost") == 1; }))
        << tool.err();
    EXPECT_EQ(count(tool.err(), "Played to the end"), 0u);
    headless::setAudioDeviceAvailable(true);
    saveAndHear(tool, file, "A e f g\n", 2);
}

TEST_F(Authoring, WatchWaitsForAScoreThatDoesNotLoadYetAndWarnsOnEverySave) {
    const std::string file = dir.write("song.mml", "A c99999999999\n");
    ToolRun tool(dir, {"--play", "--watch", file}, true);
    ASSERT_TRUE(waitFor([&] { return count(tool.err(), "Error: ") == 1; }));
    EXPECT_FALSE(headless::audioPlaying());
    EXPECT_FALSE(tool.done());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "A c x\n";
    ASSERT_TRUE(waitFor([&] { return count(tool.err(), "Playing ") == 1; })) << tool.err();
    EXPECT_NE(tool.err().find(file + ":1:5: warning: 'x' is not a command: skipped\n"),
              std::string::npos)
        << tool.err();
    EXPECT_TRUE(headless::audioPlaying());
    tool.interrupt();
    EXPECT_EQ(tool.finish(), kExitInterrupted);
}

// Editors and build systems keep scores behind links: a save of the file the link leads to
// is a save of the score.
TEST_F(Authoring, WatchFollowsALinkedScoreToItsFile) {
    std::filesystem::create_directory(dir.path() / "takes");
    const std::string file = dir.write("takes/song.mml", "A c d e\n");
    const auto link = dir.path() / "song.mml";
    std::filesystem::create_symlink("takes/song.mml", link);
    ToolRun tool(dir, {"--play", "--watch", link.string()}, true);
    ASSERT_TRUE(waitFor([&] { return count(tool.err(), "Playing ") == 1; })) << tool.err();
    saveAndHear(tool, file, "A e f g\n", 2);
}

TEST_F(Authoring, CheckNamesAUtf8ByteOrderMarkOnceInsteadOfTheFloodItCauses) {
    // The mark joins the comment's ';' into a channel name, and the comment's words play.
    EXPECT_EQ(checked("\xEF\xBB\xBF; walking bass\nA c\n"),
              "1:1: warning: the file starts with a UTF-8 byte-order mark (EF BB BF), which the "
              "player reads as the start of a channel name, so this comment is read as channel "
              "'\\xEF\\xBB\\xBF;'; save the file without the mark\n");
    // Before a name, it makes the first line a channel of its own.
    EXPECT_EQ(checked("\xEF\xBB\xBF"
                      "A c x\nA d\n"),
              "1:1: warning: the file starts with a UTF-8 byte-order mark (EF BB BF), which the "
              "player reads as the start of the first channel's name, '\\xEF\\xBB\\xBFA': this "
              "line does not join channel 'A'; save the file without the mark\n"
              "1:8: warning: 'x' is not a command: skipped\n");
}

TEST_F(Authoring, CheckTellsACommentGluedToItsChannelNameOnce) {
    EXPECT_EQ(checked("BASS; walking bass\nBASS c\n"),
              "1:5: warning: the ';' belongs to the channel name 'BASS;', and the rest of the "
              "line is read as commands: a comment needs a blank before its ';'\n");
}

TEST_F(Authoring, CheckTellsChannelNamesThatAreCommandsOrDifferOnlyInCase) {
    EXPECT_EQ(checked("Lead c\nc d e f g\nLEAD e\nA c\nV1 d\n"),
              "2:1: warning: the channel name 'c' is also a command: a line's first word names "
              "its channel, so here it plays nothing\n"
              "3:1: warning: channel 'LEAD' differs from channel 'Lead' (line 1) only in case: "
              "they are two channels\n");
}

TEST_F(Authoring, CheckTellsRestsWithASignVolumesPast255AndLengthsOfZero) {
    EXPECT_EQ(checked("A c r+ d\nB r- c\nC v300 c\nD c0 d4 e+00. r0\n"),
              "1:5: warning: 'r+' is not a rest (a rest takes no '+'): the channel starts over "
              "from its first command here\n"
              "2:3: warning: 'r-' is not a rest (a rest takes no '-'): the channel starts over "
              "from its first command here, before any note or rest: the channel plays nothing\n"
              "3:3: warning: volume 300 plays as 44 (volumes count modulo 256)\n"
              "4:3: warning: 'c0' has length 0: it plays the default length\n"
              "4:9: warning: 'e+00' has length 0: it plays the default length\n"
              "4:15: warning: 'r0' has length 0: it plays the default length\n");
}

TEST_F(Authoring, CheckCountsLinesAsAnEditorDoesAndTellsThe0xFFThatSplitsOne) {
    // The loader reads " d e" as a line of its own, with a channel 'd': that is the 0xFF's
    // doing, told once. The 'x' is on the editor's second line.
    EXPECT_EQ(checked("A c\xFF d e\nB c x\n"),
              "1:4: warning: the byte 0xFF ends a line for the player: what follows it is read "
              "as a new line, whose first word 'd' names a channel\n"
              "2:5: warning: 'x' is not a command: skipped\n");
}

TEST_F(Authoring, CheckTellsUtf16OnceInsteadOfAFlood) {
    const std::string text = std::string("A\0 \0c\0 \0x\0\n\0B\0 \0d\0\n\0", 20);
    EXPECT_EQ(checked(text), "1:1: warning: the file looks like UTF-16 text (a NUL byte beside "
                             "each character): the player reads single bytes, not UTF-16; save "
                             "the file as UTF-8\n");
    EXPECT_EQ(checked("\xFF\xFE" + text),
              "1:1: warning: the file starts with a UTF-16 byte-order mark (FF FE): the player "
              "reads single bytes, not UTF-16; save the file as UTF-8\n");
}

TEST_F(Authoring, CheckNamesAnotherDialectAndSumsUpWhatIsPastFiftyWarnings) {
    // After the names: 8 bytes on line 1 (6 skipped: S, o, m, S, o, n), 11 on line 2 (all
    // skipped), 14 on line 3 ('@' skipped), 2 on each of 60 more lines (the '$' skipped):
    // 78 of 153. Warnings: the dialect, 6 on line 1, 8 on line 2 (with '@v0' playing
    // nothing), 4 on line 3 ('@' and three eighths at v0 within the second), one on each of
    // the 60 lines. Past the first 50, from line 35 on: 29.
    std::string score = "#TITLE Some Song\n@v0 = { 15 14 13 12 }\nA @v0 o4 l8 cdefgab\n";
    for (int i = 0; i < 60; ++i)
        score += "A $ c\n";
    const std::string out = checked(score);
    EXPECT_EQ(out.substr(0, out.find('\n') + 1),
              "1:1: warning: 78 of the 153 bytes after the channel names are skipped: the score "
              "looks written for another MML dialect\n");
    EXPECT_EQ(count(out, "\n"), 51u);
    EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1),
              "35:3: warning: and 29 more warnings from here on\n");
}

TEST_F(Authoring, WarningsPastTheKeptOnesAreCountedWithoutTheirText) {
    WarningList list(3);
    int built = 0;
    for (int line = 1; line <= 1000; ++line)
        list.add(line, 1, [&] { return std::to_string(++built); });
    list.add(0, 5, [&] { return std::to_string(++built); }); // before them all: kept
    EXPECT_EQ(list.count(), 1001u);
    EXPECT_EQ(built, 4);
    const std::vector<ScoreWarning> kept = list.take();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].text, "4");
    EXPECT_EQ(kept[2].text, "2");
}

TEST_F(Authoring, CheckQuotesALongNameCutTellsLengthsThatWrapAndNotesPastTheMinute) {
    std::string quoted;
    for (int i = 0; i < 40; ++i)
        quoted += "\\x00";
    EXPECT_EQ(checked(std::string(100000, '\0') + "\n"),
              "1:1: warning: channel '" + quoted +
                  "...' holds no note or rest: it plays nothing\n");
    // A length is kept in 24 bits with its sign: 16777217 plays as 1, 8388608 as below zero.
    EXPECT_EQ(checked("A c16777217 d8388608 e8388607\n"),
              "1:3: warning: 'c16777217' has a length past 8388607, which wraps: it plays as "
              "length 1\n"
              "1:13: warning: 'd8388608' has a length past 8388607, which wraps: it plays the "
              "default length\n");
    // At t60 a whole note is 3500000 / 60 = 58333 samples: the twelfth begins at 641663, within
    // the minute's 661500, the thirteenth at 699996; twenty last 1166660 samples.
    std::string score = "A t60 ";
    for (int i = 0; i < 20; ++i)
        score += "c1 ";
    EXPECT_EQ(checked(score + "\n"), "1:43: warning: channel 'A' lasts 105.819 s: from here on it "
                                     "begins after 60.000 s and is never heard\n");
}

TEST_F(Authoring, CheckGivesOneWarningPerMistakeAndHintsAtSharps) {
    EXPECT_EQ(checked("A c ]3 v-5 d# e\n"),
              "1:5: warning: ']3' without '[' on its line: ignored\n"
              "1:8: warning: 'v-5' is not a command: numbers take no sign; skipped\n"
              "1:13: warning: '#' is not a command: skipped; sharps are written '+'\n");
}

TEST_F(Authoring, CheckTellsAScoreThatDoesNotLoadAtItsPlaceAndTheOthersKeepTheirError) {
    const std::string file = dir.write("big.mml", "A c d\nB e c99999999999\n");
    Result r = run(dir, {"--check", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, file + ":2:6: error: the number 99999999999 does not fit into 32 bits (the "
                            "largest is 2147483647)\n");
    EXPECT_EQ(r.err, "");
    r = run(dir, {"--info", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("Error: File '" + file + "', line 2: the number", 0), 0u) << r.err;
}

TEST_F(Authoring, FromSoloAndMuteWriteTheTailOfTheScoreWithoutTheLinesLeftOut) {
    const std::string a = "A t150 v70 l8 cdefg\n", b = "B o2 v90 c2 g2\n", c = "C o4 v120 e4 r\n";
    const std::string file = dir.write("song.mml", a + b + c + b + a);
    const auto tail = [](std::vector<uint8_t> pcm) {
        return std::string(pcm.begin() + 13781, pcm.end()); // from 1.25 s
    };
    Result r = run(dir, {"--from", "1.25", "--mute", "B", file, "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, tail(renderingOf(a + c + a, 661500)));
    r = run(dir, {"--from", "0:01.25", "--solo", "A,B", "--mute", "A", file, "-"});
    EXPECT_EQ(r.out, tail(renderingOf(b + b, 661500)));

    r = run(dir, {"--solo", "A,D", file, "-"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "marrowtone-render: --solo names 'D', which is no channel of " + file +
                         "; its channels: A, B, C (try 'marrowtone-render --help')\n");
}

TEST_F(Authoring, ToEndsTheOutputWhereTheWholeRenderingIsCut) {
    const std::string song = "A t150 v70 l8 cdefg\nB o2 v90 c2 g2\n";
    const std::string file = dir.write("song.mml", song);
    const auto whole = renderingOf(song, 661500);
    Result r = run(dir, {"--from", "1.25", "--to", "0:02.5", file, "-"});
    EXPECT_EQ(r.out, std::string(whole.begin() + 13781, whole.begin() + 27562)) << r.err;
    r = run(dir, {"--from", "59", "--to", "1:30", file, "-"}); // past the end: the end
    EXPECT_EQ(r.out, std::string(whole.begin() + 650475, whole.end())) << r.err;
    r = run(dir, {"--from", "2", "--to", "2", file, "-"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "marrowtone-render: --to 2 is not later than --from 2 (try "
                     "'marrowtone-render --help')\n");

    headless::clearCapturedAudio();
    ToolRun tool(dir, {"--play", "--from", "0.5", "--to", "0.75", file});
    ASSERT_TRUE(waitFor([] { return headless::audioPlaying(); }));
    headless::advanceAudio(1000ms);
    EXPECT_EQ(tool.finish(), 0);
    EXPECT_EQ(headless::capturedAudio(),
              std::vector<uint8_t>(whole.begin() + 5512, whole.begin() + 8268));
}

// On a terminal: the time and the place each mixed channel plays, kept to the width.
TEST_F(Authoring, PlayFromATimeShowsWhereEachChannelIsInTheText) {
    // Quarter notes of 8000 samples: at 11024, A plays its d and B still rests.
    const std::string ab = "A l4 c d e f g\nB r2 c1\n";
    const std::string file = dir.write("song.mml", ab + "C v200 c\n");
    for (int columns : {80, 24}) {
        headless::clearCapturedAudio();
        ToolRun tool(dir, {"--play", "--from", "0.5", "--mute", "C", file}, true, columns);
        ASSERT_TRUE(waitFor([] { return headless::audioPlaying(); }));
        headless::advanceAudio(500ms);
        const std::string line =
            columns == 80 ? "\r0.9 s of 60.0 s  A 1:8  B 2:3 \n" : "\r0.9 s of 60.0 s  A ... \n";
        EXPECT_TRUE(waitFor([&] { return count(tool.err() + "\n", line) == 1; })) << tool.err();
        const auto sound = renderingOf(ab, 11024);
        EXPECT_EQ(headless::capturedAudio(),
                  std::vector<uint8_t>(sound.begin() + 5512, sound.end()));
        tool.interrupt();
        EXPECT_EQ(tool.finish(), kExitInterrupted);
    }
}
