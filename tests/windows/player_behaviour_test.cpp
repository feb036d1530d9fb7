// The whole player on the real Windows services (or Wine's): scores chosen through the
// real open dialog, heard on the test's own audio server, against what marrowtone-render
// makes of them; the ways the program ends; and the window's status bar after resizing.
#include "player_process.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

using namespace playerTest;

namespace {

// Levels that never add up to 128, the level the server plays when no stream feeds it.
// The two voices of the first repeat at different lengths, so it does not repeat itself
// within the seconds a test listens: a restart cannot pass for going on.
const char* const songA =
    "A t140 o4 v70 l8 c e g > c < g e d f a b > d < b a f\nB o2 v40 l2 c g f e c\n";
const char* const songB = "Z t90 o5 v90 q8 l4 a b > c+ d\n";
constexpr size_t second = 11025;

std::vector<uint8_t> prefix(const std::vector<uint8_t>& v, size_t n) {
    return std::vector<uint8_t>(v.begin(),
                                v.begin() + static_cast<std::ptrdiff_t>(std::min(n, v.size())));
}

// True when `heard` is the start of `first`, cut after at least `atLeast` bytes, followed
// by at least `wanted` bytes of the start of `then`.
bool isCutThenRestarted(const std::vector<uint8_t>& heard, const std::vector<uint8_t>& first,
                        const std::vector<uint8_t>& then, size_t atLeast, size_t wanted) {
    size_t common = 0;
    while (common < heard.size() && common < first.size() && heard[common] == first[common])
        ++common;
    // The second may begin with what the first had next: try every cut up to the longest.
    for (size_t cut = common + 1; cut-- > atLeast;) {
        const size_t rest = heard.size() - cut;
        if (rest < wanted || rest > then.size()) continue;
        if (std::equal(heard.begin() + static_cast<std::ptrdiff_t>(cut), heard.end(), then.begin()))
            return true;
    }
    return false;
}

// For a failure message: how `heard` relates to the two scores.
std::string describe(const std::vector<uint8_t>& heard, const std::vector<uint8_t>& first,
                     const std::vector<uint8_t>& then) {
    size_t common = 0;
    while (common < heard.size() && common < first.size() && heard[common] == first[common])
        ++common;
    std::string text = "heard " + std::to_string(heard.size()) + " bytes, the first " +
                       std::to_string(common) + " as the first score";
    const size_t probe = std::min<size_t>(200, then.size());
    auto at = std::search(heard.begin() + 1, heard.end(), then.begin(), then.begin() + probe);
    if (at == heard.end()) return text + "; the second score's start is nowhere";
    const size_t from = static_cast<size_t>(at - heard.begin());
    size_t same = 0;
    while (from + same < heard.size() && same < then.size() && heard[from + same] == then[same])
        ++same;
    return text + "; the second score's start at " + std::to_string(from) + ", matching for " +
           std::to_string(same) + " bytes";
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
    // least `wanted` bytes, and returns it.
    std::vector<uint8_t> hearCutThen(const std::vector<uint8_t>& first,
                                     const std::vector<uint8_t>& then, size_t atLeast,
                                     size_t wanted) {
        std::vector<uint8_t> heard;
        const bool seen = waitFor(
            [&] {
                heard = recording.heard();
                return heard.size() >= atLeast + wanted &&
                       isCutThenRestarted(heard, first, then, atLeast, wanted);
            },
            60000);
        EXPECT_TRUE(seen) << describe(heard, first, then);
        return heard;
    }

    // Waits for `bytes` of sound and returns what was heard.
    std::vector<uint8_t> hear(size_t bytes) {
        EXPECT_TRUE(recording.waitForSound(bytes, 60000))
            << "only " << recording.heard().size() << " bytes of sound in 60 s";
        return recording.heard();
    }

    void endsCleanly() {
        EXPECT_EQ(player.waitForExit(), 0);
        EXPECT_EQ(player.standardOutput(), "");
        EXPECT_EQ(player.standardError(), "");
    }

    TempFolder scores;
    Recording recording;
    Player player;
};

TEST_F(WindowsPlayer, PlaysTheChosenScoreExactlyAsTheToolRendersIt) {
    const std::wstring a = scores.write(L"a.mml", songA);
    const std::vector<uint8_t> rendered = renderedByTool(a);
    ASSERT_EQ(rendered.size(), 661500u);
    open(a);
    const std::vector<uint8_t> heard = hear(2 * second);
    EXPECT_EQ(heard, prefix(rendered, heard.size()));
    player.chooseExit();
    endsCleanly();
}

TEST_F(WindowsPlayer, ASecondScoreCutsTheFirstAndPlaysFromItsStart) {
    const std::wstring a = scores.write(L"a.mml", songA);
    const std::wstring b = scores.write(L"b.mml", songB);
    const auto renderedA = renderedByTool(a), renderedB = renderedByTool(b);
    open(a);
    hear(second / 2);
    open(b);
    hearCutThen(renderedA, renderedB, second / 2, 2 * second);
    player.clickCloseBox();
    endsCleanly();
}

TEST_F(WindowsPlayer, TheSameScoreTwiceStartsAgain) {
    const std::wstring a = scores.write(L"a.mml", songA);
    const auto rendered = renderedByTool(a);
    open(a);
    hear(second);
    open(a);
    hearCutThen(rendered, rendered, second, 2 * second);
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
    EXPECT_EQ(heard, prefix(rendered, heard.size())) << "the playing score was disturbed";
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
    EXPECT_EQ(heard, prefix(rendered, heard.size()));
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
    const auto heard = recording.heard();
    EXPECT_EQ(heard, prefix(rendered, heard.size()));
    // The server keeps recording (its filler) after the program ended: half a second of it.
    const uint64_t recorded = recording.recordedBytes();
    ASSERT_TRUE(waitFor([&] { return recording.recordedBytes() >= recorded + second / 2; }, 30000));
    EXPECT_EQ(recording.heard().size(), heard.size()) << "sound went on after the error";
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
