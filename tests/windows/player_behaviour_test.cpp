// The whole player on the real Windows services (or Wine's): scores chosen through the
// real open dialog, heard on the test's own audio server, against what marrowtone-render
// makes of them; the ways the program ends; and the window's status bar after resizing.
#include "tests/windows/player_process.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace playerTest;

namespace {

// Levels that never add up to 128, the level the server plays when no stream feeds it.
// The two voices of the first repeat at different lengths, so it does not repeat itself
// within the seconds a test listens: a restart cannot pass for going on.
const char* const songA =
    "A t140 o4 v70 l8 c e g > c < g e d f a b > d < b a f\nB o2 v40 l2 c g f e c\n";
const char* const songB = "Z t90 o5 v90 q8 l4 a b > c+ d\n";
constexpr size_t second = 11025;

constexpr uint8_t filler = 128;

size_t bytesHeard(const std::vector<uint8_t>& rec, size_t from, size_t end) {
    return static_cast<size_t>(std::count_if(rec.begin() + static_cast<std::ptrdiff_t>(from),
                                             rec.begin() + static_cast<std::ptrdiff_t>(end),
                                             [](uint8_t b) { return b != filler; }));
}

// Where in `sound` the bytes heard from rec[i] go on when they are not its byte `k`: the
// place near `k` (bytes of the stream may have been lost, or held back) that carries the
// longest stretch of them, up to the next filler.
size_t resync(const std::vector<uint8_t>& rec, size_t i, const std::vector<uint8_t>& sound,
              size_t k) {
    size_t run = 0;
    while (i + run < rec.size() && rec[i + run] != filler && run < 4096)
        ++run;
    size_t best = std::string::npos, bestLength = 0;
    const size_t low = k > second / 2 ? k - second / 2 : 0;
    const size_t high = std::min(sound.size(), k + 10 * second);
    for (size_t p = low; p < high; ++p) {
        size_t n = 0;
        while (n < run && p + n < sound.size() && sound[p + n] == rec[i + n])
            ++n;
        if (n > bestLength) {
            best = p;
            bestLength = n;
            if (n == run) break;
        }
    }
    // A stretch this short could sit anywhere: it proves nothing either way.
    return bestLength == run || bestLength >= 256 ? best : std::string::npos;
}

// How the recording carries a sound: where it stops carrying it, how many bytes heard
// were the sound's, and how many in between could not be placed in it.
struct Followed {
    size_t stop = 0;
    size_t heard = 0;
    size_t unplaced = 0;
    // Mostly the sound's, in order. On an idle machine every byte is; with every core busy,
    // Wine's wave output garbles up to a tenth of the stream in short pieces. Another sound,
    // or the sound from another place, leaves nearly nothing placed.
    bool faithful() const { return unplaced * 5 <= heard; }
};

// Follows `sound`, from its first byte, through rec[from, end): every byte heard is the
// sound's byte, in the sound's order. On a loaded machine Wine's wave output and the server
// lose or hold back some of the stream (mostly where the server ran dry and played its
// filler, but not only there), and now and then garble a piece, so after a byte that is
// not the next one the bytes heard must carry on from a nearby place of the sound, within
// a quarter of a second of bytes that cannot be placed. The recording stops carrying the
// sound where that fails.
Followed follow(const std::vector<uint8_t>& rec, size_t from, size_t end,
                const std::vector<uint8_t>& sound) {
    Followed f;
    size_t i = from, k = 0;
    while (i < end && rec[i] == filler)
        ++i;
    while (i < end) {
        if (rec[i] == filler) {
            ++i;
            continue;
        }
        if (k < sound.size() && rec[i] == sound[k]) {
            ++i;
            ++k;
            ++f.heard;
            continue;
        }
        size_t p = std::string::npos, j = i;
        for (; j < end && j - i <= second / 4; j += 64) {
            p = resync(rec, j, sound, k + (j - i));
            if (p != std::string::npos) break;
        }
        if (p == std::string::npos) {
            f.stop = i;
            return f;
        }
        f.unplaced += bytesHeard(rec, i, j);
        i = j;
        k = p;
    }
    f.stop = end;
    return f;
}

// Whether the server ran dry so often while the sound played that what it played says
// nothing about the program: on a machine this loaded Wine's wave output hands over short
// pieces, late and out of joint. A machine that keeps up lets it run dry a few times.
bool starved(const std::vector<uint8_t>& rec) {
    const auto first = std::find_if(rec.begin(), rec.end(), [](uint8_t b) { return b != filler; });
    const auto last = std::find_if(rec.rbegin(), rec.rend(), [](uint8_t b) { return b != filler; });
    if (first == rec.end()) return false;
    size_t gaps = 0;
    for (auto it = first + 1; it < last.base(); ++it)
        gaps += *it == filler && *(it - 1) != filler;
    const size_t seconds = static_cast<size_t>(last.base() - first) / second + 1;
    return gaps > 4 * seconds;
}

// Whether the recording is `sound` from its start, with nothing else heard.
testing::AssertionResult carries(const std::vector<uint8_t>& rec,
                                 const std::vector<uint8_t>& sound) {
    const Followed f = follow(rec, 0, rec.size(), sound);
    if (f.stop == rec.size() && f.faithful()) return testing::AssertionSuccess();
    // Kept for a closer look: MARROWTONE_ARTEFACTS names a folder for what failed.
    if (const char* folder = std::getenv("MARROWTONE_ARTEFACTS")) {
        const std::string base =
            std::string("Z:") + folder + "/failed-" + std::to_string(GetCurrentProcessId());
        if (FILE* out = std::fopen((base + ".recorded").c_str(), "wb")) {
            std::fwrite(rec.data(), 1, rec.size(), out);
            std::fclose(out);
        }
        if (FILE* out = std::fopen((base + ".rendered").c_str(), "wb")) {
            std::fwrite(sound.data(), 1, sound.size(), out);
            std::fclose(out);
        }
    }
    std::string around;
    for (size_t i = f.stop < 8 ? 0 : f.stop - 8; i < std::min(rec.size(), f.stop + 8); ++i)
        around += std::to_string(rec[i]) + (i + 1 == f.stop ? " | " : " ");
    return testing::AssertionFailure()
           << "of " << rec.size() << " bytes recorded, " << f.heard << " follow the rendering and "
           << f.unplaced << " cannot be placed in it; it stops at " << f.stop << ": " << around;
}

// Expects `result` about the sound recorded in `rec`, unless the server was starved: then
// the case is skipped, saying why, rather than judged on noise.
#define EXPECT_SOUND(result, rec)                                                                  \
    do {                                                                                           \
        const testing::AssertionResult soundResult = (result);                                     \
        if (!soundResult && starved(rec))                                                          \
            GTEST_SKIP() << "the audio server ran dry too often to judge the sound: "              \
                         << soundResult.message();                                                 \
        EXPECT_TRUE(soundResult);                                                                  \
    } while (false)

// Whether the recording is `first` from its start for at least `atLeast` bytes heard, then
// `then` from its start for at least `wanted` bytes heard.
bool isCutThenRestarted(const std::vector<uint8_t>& rec, const std::vector<uint8_t>& first,
                        const std::vector<uint8_t>& then, size_t atLeast, size_t wanted) {
    const Followed before = follow(rec, 0, rec.size(), first);
    if (before.heard < atLeast || before.stop == rec.size() || !before.faithful()) return false;
    // The second's first bytes may match what the first had next: start it earlier too.
    for (size_t start = before.stop + 1, tries = 0; start-- > 0 && tries < 512; ++tries) {
        const Followed after = follow(rec, start, rec.size(), then);
        if (after.stop == rec.size() && after.faithful() && after.heard >= wanted) return true;
    }
    return false;
}

std::string describe(const std::vector<uint8_t>& rec, const std::vector<uint8_t>& first) {
    const Followed f = follow(rec, 0, rec.size(), first);
    return "recorded " + std::to_string(rec.size()) + " bytes (" +
           std::to_string(bytesHeard(rec, 0, rec.size())) + " heard); " + std::to_string(f.heard) +
           " follow the first score up to " + std::to_string(f.stop) + ", " +
           std::to_string(f.unplaced) + " could not be placed";
}

class WindowsPlayer : public testing::Test {
protected:
    void SetUp() override {
        if (!recording.available())
            GTEST_SKIP() << "no audio server recording (MARROWTONE_RECORDING) in this run";
        ASSERT_TRUE(player.started()) << "cannot start marrowtone.exe";
        ASSERT_NE(player.window(), nullptr) << "the player's window did not appear";
        recording.restart();
    }

    void open(const std::wstring& path) {
        std::string why;
        ASSERT_TRUE(player.open(path, why)) << why;
    }

    // Waits until what was heard is the start of `first` followed by `then` played for at
    // least `wanted` bytes; keeps the recording in `recorded`.
    testing::AssertionResult hearCutThen(const std::vector<uint8_t>& first,
                                         const std::vector<uint8_t>& then, size_t atLeast,
                                         size_t wanted) {
        const bool seen = waitFor(
            [&] {
                recorded = recording.raw();
                return isCutThenRestarted(recorded, first, then, atLeast, wanted);
            },
            60000);
        if (seen) return testing::AssertionSuccess();
        return testing::AssertionFailure() << describe(recorded, first);
    }

    // Opens `first`, lets `atLeast` bytes of it be heard, opens `then`, and waits for the
    // first to be cut there and the second heard from its start.
    testing::AssertionResult opensOneThenTheOther(const std::wstring& first,
                                                  const std::wstring& then, size_t atLeast) {
        const auto renderedFirst = renderedByTool(first), renderedThen = renderedByTool(then);
        open(first);
        hear(atLeast);
        open(then);
        return hearCutThen(renderedFirst, renderedThen, atLeast, 2 * second);
    }

    // Waits for `bytes` of sound and returns the recording so far.
    std::vector<uint8_t> hear(size_t bytes) {
        EXPECT_TRUE(recording.waitForSound(bytes, 60000))
            << "only " << recording.heard().size() << " bytes of sound in 60 s";
        return recording.raw();
    }

    void endsCleanly() {
        EXPECT_EQ(player.waitForExit(), 0);
        EXPECT_EQ(player.standardOutput(), "");
        EXPECT_EQ(player.standardError(), "");
    }

    TempFolder scores;
    Recording recording;
    Player player;
    std::vector<uint8_t> recorded;
};

TEST_F(WindowsPlayer, PlaysTheChosenScoreExactlyAsTheToolRendersIt) {
    const std::wstring a = scores.write(L"a.mml", songA);
    const std::vector<uint8_t> rendered = renderedByTool(a);
    ASSERT_EQ(rendered.size(), 661500u);
    open(a);
    const std::vector<uint8_t> heard = hear(2 * second);
    EXPECT_SOUND(carries(heard, rendered), heard);
    player.chooseExit();
    endsCleanly();
}

TEST_F(WindowsPlayer, ASecondScoreCutsTheFirstAndPlaysFromItsStart) {
    const std::wstring a = scores.write(L"a.mml", songA);
    const std::wstring b = scores.write(L"b.mml", songB);
    EXPECT_SOUND(opensOneThenTheOther(a, b, second / 2), recorded);
    player.clickCloseBox();
    endsCleanly();
}

TEST_F(WindowsPlayer, TheSameScoreTwiceStartsAgain) {
    const std::wstring a = scores.write(L"a.mml", songA);
    EXPECT_SOUND(opensOneThenTheOther(a, a, second), recorded);
    player.chooseExit();
    endsCleanly();
}

TEST_F(WindowsPlayer, ACancelledDialogChangesNothing) {
    const std::wstring a = scores.write(L"a.mml", songA);
    const auto rendered = renderedByTool(a);
    open(a);
    hear(second / 2);
    open(L""); // cancelled
    const auto heard = hear(3 * second);
    EXPECT_SOUND(carries(heard, rendered), heard);
    player.chooseExit();
    endsCleanly();
}

TEST_F(WindowsPlayer, AScoreWithCharactersBeyondAsciiInItsPathPlays) {
    TempFolder folder(L"\u00F1o\u00F1o-\u97F3\u697D");
    const std::wstring score = folder.write(L"\u00F1o\u00F1o-\u97F3\u697D.mml", songB);
    // The same text under a plain name, for the tool.
    const auto rendered = renderedByTool(scores.write(L"plain.mml", songB));
    open(score);
    const auto heard = hear(2 * second);
    EXPECT_SOUND(carries(heard, rendered), heard);
    player.clickCloseBox();
    endsCleanly();
}

// The three ways a chosen file can fail to load: each ends the program with the error's
// line and status 1, after the earlier sound was stopped.
enum class LoadFailure { NumberTooLarge, FileLockedByAnother, TooManyCommands };

class WindowsPlayerLoadError : public WindowsPlayer,
                               public testing::WithParamInterface<LoadFailure> {};

TEST_P(WindowsPlayerLoadError, EndsTheProgramWithTheErrorLineAndStatusOne) {
    const std::wstring a = scores.write(L"a.mml", songA);
    const auto rendered = renderedByTool(a);
    std::wstring bad;
    std::string expected;
    HANDLE lock = INVALID_HANDLE_VALUE;
    switch (GetParam()) {
    case LoadFailure::NumberTooLarge:
        bad = scores.write(L"big.mml", "A o4 c2147483648\n");
        expected = "2147483648";
        break;
    case LoadFailure::FileLockedByAnother:
        bad = scores.write(L"locked.mml", songB);
        // Held without sharing, as an editor or a copy in progress might.
        lock = CreateFileW(bad.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        expected = "Cannot open or create file '";
        break;
    case LoadFailure::TooManyCommands:
        bad = scores.write(L"many.mml", "A [c]2147483647\n");
        expected = "many.mml";
        break;
    }
    open(a);
    hear(second / 2);
    std::string why;
    ASSERT_TRUE(player.openAndLeave(bad, why)) << why;
    const long status = player.waitForExit();
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    EXPECT_EQ(status, 1);
    const std::string err = player.standardError();
    EXPECT_EQ(err.rfind("Error: ", 0), 0u) << err;
    EXPECT_NE(err.find(expected), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(player.standardOutput(), "");
    // Only the earlier score was heard, and nothing after the program ended.
    const auto rec = recording.raw();
    EXPECT_SOUND(carries(rec, rendered), rec);
    const size_t heard = recording.heard().size();
    // The server keeps recording (its filler) after the program ended: half a second of it.
    const uint64_t recorded = recording.recordedBytes();
    ASSERT_TRUE(waitFor([&] { return recording.recordedBytes() >= recorded + second / 2; }, 30000));
    EXPECT_EQ(recording.heard().size(), heard) << "sound went on after the error";
}

INSTANTIATE_TEST_SUITE_P(EachFailure, WindowsPlayerLoadError,
                         testing::Values(LoadFailure::NumberTooLarge,
                                         LoadFailure::FileLockedByAnother,
                                         LoadFailure::TooManyCommands),
                         [](const testing::TestParamInfo<LoadFailure>& info) {
                             switch (info.param) {
                             case LoadFailure::NumberTooLarge:
                                 return "NumberTooLarge";
                             case LoadFailure::FileLockedByAnother:
                                 return "FileLockedByAnother";
                             case LoadFailure::TooManyCommands:
                                 return "TooManyCommands";
                             }
                             return "Unknown";
                         });

} // namespace
