// The whole player on the headless drivers: the window, the menu, the dialog, loading,
// rendering and the wave output, driven as a user would drive them.
#include "app/main_frame.h"
#include "app/player.h"
#include "platform/testing/testing.h"
#include "sound/sound.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

using namespace std::chrono_literals;
namespace comctl = platform::comctl;
namespace headless = platform::headless;
namespace user = platform::user;

namespace {

// Runs one step of the test each time the player waits for input, on the player's own
// thread, so that the steps see the window exactly as a user would between messages.
class ScriptedUser : public platform::DisplayDriver {
public:
    explicit ScriptedUser(platform::DisplayDriver& screen) : screen_(screen) {}

    void then(std::function<void()> step) { steps_.push_back(std::move(step)); }

    const char* name() const override { return "scripted"; }
    void windowCreated(HWND h) override { screen_.windowCreated(h); }
    void windowDestroyed(HWND h) override { screen_.windowDestroyed(h); }
    void windowMoved(HWND h) override { screen_.windowMoved(h); }
    void windowShown(HWND h, bool v) override { screen_.windowShown(h, v); }
    void windowTextChanged(HWND h) override { screen_.windowTextChanged(h); }
    void menuChanged(HWND h) override { screen_.menuChanged(h); }
    void windowInvalidated(HWND h) override { screen_.windowInvalidated(h); }
    void wake() override { screen_.wake(); }

    void waitForEvents(std::chrono::milliseconds) override {
        if (steps_.empty()) {
            // The player should have ended by now; make it end rather than hang.
            ADD_FAILURE() << "the player is still waiting for input after the last step";
            PostQuitMessage(0);
            return;
        }
        auto step = std::move(steps_.front());
        steps_.pop_front();
        step();
    }

    bool finished() const { return steps_.empty(); }

private:
    platform::DisplayDriver& screen_;
    std::deque<std::function<void()>> steps_;
};

HWND mainWindow() {
    for (HWND h : headless::topLevelWindows())
        if (user::caption(h) == "Marrowtone") return h;
    return nullptr;
}

void choose(UINT id) {
    ASSERT_TRUE(user::chooseMenuItem(mainWindow(), id));
}

std::vector<uint8_t> rendered(const std::string& path) {
    Sound s;
    s.load(path);
    std::vector<uint8_t> pcm(MainFrame::bufferBytes);
    s.render(pcm, MainFrame::sampleRate);
    return pcm;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& v, size_t from, size_t to) {
    return std::vector<uint8_t>(v.begin() + from, v.begin() + to);
}

class Player : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setMessageWaitLimit(10s);
        headless::setAudioDeviceAvailable(true);
        user_ = std::make_unique<ScriptedUser>(platform::displayDriver());
        platform::setDisplayDriver(user_.get());
        char pattern[] = "/tmp/marrowtone-player-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        platform::setDisplayDriver(nullptr);
        std::filesystem::remove_all(dir_);
    }

    std::string score(const std::string& name, const std::string& text) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    // Scripts the dialog to answer with `path` ("" cancels), then chooses "MML Open".
    void open(const std::string& path) {
        headless::scriptOpenFileName(path);
        choose(IDM_MML_OPEN);
    }

    int run() {
        const int status = runPlayer();
        EXPECT_TRUE(user_->finished()) << "the player ended before the script did";
        return status;
    }

    std::unique_ptr<ScriptedUser> user_;
    std::filesystem::path dir_;
};

const char* const songA = "A t140 o4 v70 l8 c e g > c < g e\nB o2 v40 l2 c g\n";
const char* const songB = "Z t90 o5 v90 q8 l4 a b > c+ d\n";

} // namespace

TEST_F(Player, ShowsItsWindowSilentlyAndExitEndsTheRun) {
    user_->then([] {
        HWND w = mainWindow();
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(headless::visible(w));
        const RECT r = headless::windowRect(w);
        EXPECT_EQ(r.right - r.left, 300);
        EXPECT_EQ(r.bottom - r.top, 128);
        const auto bar = user::menuBar(w);
        ASSERT_EQ(bar.size(), 1u);
        EXPECT_EQ(bar[0].text, "File");
        ASSERT_EQ(bar[0].items.size(), 2u);
        EXPECT_EQ(bar[0].items[0].text, "MML Open");
        EXPECT_EQ(bar[0].items[0].id, 257u);
        EXPECT_EQ(bar[0].items[1].text, "Exit");
        EXPECT_EQ(bar[0].items[1].id, 260u);
        HWND status = user::findChild(w, "msctls_statusbar32");
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(comctl::statusText(status), "");
        // The bar spans the client area's width along its bottom edge.
        const RECT client = headless::clientRect(w), strip = headless::windowRect(status);
        EXPECT_EQ(strip.right - strip.left, client.right);
        POINT bottom{0, client.bottom};
        ClientToScreen(w, &bottom);
        EXPECT_EQ(strip.bottom, bottom.y);
        EXPECT_EQ(headless::openAudioDevices(), 0u);
        choose(IDM_EXIT);
    });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(mainWindow(), nullptr);
    EXPECT_TRUE(headless::capturedAudio().empty());
}

TEST_F(Player, PlaysExactlyWhatTheRendererGivesThenStaysSilent) {
    const std::string a = score("a.mml", songA);
    user_->then([&] {
        // The first open resets and closes a null handle on the way; nothing breaks.
        open(a);
    });
    user_->then([&] {
        EXPECT_EQ(headless::lastOpenFileFilters(),
                  (std::vector<std::string>{"MML {*.mml}", "*.mml", "ALL {*.*}", "*.*"}));
        EXPECT_TRUE(headless::audioPlaying());
        const WAVEFORMATEX f = headless::lastAudioFormat();
        EXPECT_EQ(f.nSamplesPerSec, 11025u);
        EXPECT_EQ(f.wBitsPerSample, 8);
        EXPECT_EQ(f.nChannels, 1);
        headless::advanceAudio(61s);
    });
    user_->then([&] {
        EXPECT_FALSE(headless::audioPlaying());
        EXPECT_EQ(headless::capturedAudio(), rendered(a));
        choose(IDM_EXIT);
    });
    EXPECT_EQ(run(), 0);
}

TEST_F(Player, CancelledDialogChangesNothing) {
    const std::string a = score("a.mml", songA);
    const auto expected = rendered(a);
    user_->then([&] { open(a); });
    user_->then([&] {
        headless::advanceAudio(2s);
        open(""); // cancelled
    });
    user_->then([&] {
        EXPECT_TRUE(headless::audioPlaying());
        headless::advanceAudio(60s);
    });
    user_->then([&] {
        EXPECT_EQ(headless::capturedAudio(), expected); // uninterrupted, start to end
        choose(IDM_EXIT);
    });
    EXPECT_EQ(run(), 0);
}

TEST_F(Player, AnotherFileStopsTheFirstAtOnceAndPlaysFromItsStart) {
    const std::string a = score("a.mml", songA), b = score("b.mml", songB);
    const auto soundA = rendered(a), soundB = rendered(b);
    user_->then([&] { open(a); });
    user_->then([&] {
        headless::advanceAudio(2s);
        open(b);
    });
    user_->then([&] { headless::advanceAudio(60s); });
    user_->then([&] {
        auto expected = slice(soundA, 0, 22050);
        expected.insert(expected.end(), soundB.begin(), soundB.end());
        EXPECT_EQ(headless::capturedAudio(), expected);
        // The same file again starts again from its beginning.
        headless::clearCapturedAudio();
        open(b);
    });
    user_->then([&] { headless::advanceAudio(1s); });
    user_->then([&] {
        EXPECT_EQ(headless::capturedAudio(), slice(soundB, 0, 11025));
        choose(IDM_EXIT);
    });
    EXPECT_EQ(run(), 0);
}

TEST_F(Player, ClosingWhilePlayingEndsTheRun) {
    const std::string a = score("a.mml", songA);
    user_->then([&] { open(a); });
    user_->then([&] {
        headless::advanceAudio(1s);
        ASSERT_TRUE(user::clickCloseBox(mainWindow()));
    });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(headless::capturedAudio().size(), 11025u);
}

TEST_F(Player, MenuCommandsActOnTheLowWordAndMiceAreIgnored) {
    user_->then([] {
        HWND w = mainWindow();
        ASSERT_TRUE(user::click(w, 20, 20));
        // Identifiers 258 and 259 do nothing; 260 with a notification code still exits.
        PostMessageW(w, WM_COMMAND, 258, 0);
        PostMessageW(w, WM_COMMAND, 259, 0);
    });
    user_->then([] {
        ASSERT_NE(mainWindow(), nullptr);
        PostMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_EXIT, 1), 0);
    });
    EXPECT_EQ(run(), 0);
}

TEST_F(Player, WithoutADeviceItRunsSilently) {
    headless::setAudioDeviceAvailable(false);
    const std::string a = score("a.mml", songA);
    user_->then([&] { open(a); });
    user_->then([&] {
        EXPECT_FALSE(headless::audioPlaying());
        open(a); // reset and close on whatever the failed open left
    });
    user_->then([&] {
        headless::advanceAudio(5s);
        EXPECT_TRUE(headless::capturedAudio().empty());
        choose(IDM_EXIT);
    });
    EXPECT_EQ(run(), 0);
}

TEST_F(Player, PathsWithCharactersOutsideAsciiPlay) {
    const std::string a = score("Ünïcödé ♫ song.mml", songB);
    user_->then([&] { open(a); });
    user_->then([&] { headless::advanceAudio(1s); });
    user_->then([&] {
        EXPECT_EQ(headless::capturedAudio(), slice(rendered(a), 0, 11025));
        choose(IDM_EXIT);
    });
    EXPECT_EQ(run(), 0);
}

// A number past 32 bits, a file the user picked that is gone by the time it is read, a
// named pipe that nobody writes (which must not hold the window), and a path longer than
// the dialog's buffer.
enum class BadFile { TooBigANumber, Vanished, Pipe, PathTooLong };
std::string badFileName(BadFile kind) {
    const char* const names[] = {"TooBigANumber", "Vanished", "Pipe", "PathTooLong"};
    return names[static_cast<int>(kind)];
}
void PrintTo(BadFile kind, std::ostream* out) {
    *out << badFileName(kind);
}
class PlayerLoadError : public Player, public ::testing::WithParamInterface<BadFile> {};

TEST_P(PlayerLoadError, EndsTheProgramAfterStoppingTheSound) {
    const BadFile kind = GetParam();
    const std::string a = score("a.mml", songA);
    struct VanishingChoice : platform::FileChooser {
        std::string path;
        const char* name() const override { return "vanishing"; }
        std::optional<std::string> chooseFileToOpen(const platform::OpenFileRequest&) override {
            std::filesystem::remove(path);
            return path;
        }
    } vanishing;
    vanishing.path = score("gone.mml", "A c");
    std::string bad;
    if (kind == BadFile::TooBigANumber) bad = score("big.mml", "A c4 v2147483648");
    if (kind == BadFile::Vanished) bad = vanishing.path;
    if (kind == BadFile::Pipe) {
        bad = (dir_ / "pipe.mml").string();
        ASSERT_EQ(mkfifo(bad.c_str(), 0600), 0);
    }
    if (kind == BadFile::PathTooLong) {
        auto folder = dir_;
        while (folder.string().size() < 260)
            folder /= std::string(60, 'f');
        std::filesystem::create_directories(folder);
        bad = (folder / "long.mml").string();
        std::ofstream(bad) << songB;
    }
    user_->then([&] { open(a); });
    user_->then([&] {
        headless::advanceAudio(1s);
        if (kind == BadFile::Vanished) platform::setFileChooser(&vanishing);
        open(bad);
    });
    char* text = nullptr;
    size_t size = 0;
    std::FILE* err = open_memstream(&text, &size);
    const int status = playerMain(err);
    std::fclose(err);
    const std::string message(text, size);
    std::free(text);
    platform::setFileChooser(nullptr);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(message.rfind("Error: ", 0), 0u) << message;
    EXPECT_EQ(message.back(), '\n');
    if (kind == BadFile::Vanished || kind == BadFile::Pipe) {
        EXPECT_EQ(message, "Error: Cannot open or create file '" + bad + "'\n");
    } else if (kind == BadFile::TooBigANumber) {
        EXPECT_NE(message.find("2147483648"), std::string::npos) << message;
    } else {
        EXPECT_NE(message.find("longer than the 259 characters"), std::string::npos) << message;
    }
    EXPECT_FALSE(headless::audioPlaying()) << "the previous sound was not stopped";
    EXPECT_EQ(headless::capturedAudio().size(), 11025u);
}
INSTANTIATE_TEST_SUITE_P(BadFiles, PlayerLoadError,
                         ::testing::Values(BadFile::TooBigANumber, BadFile::Vanished, BadFile::Pipe,
                                           BadFile::PathTooLong),
                         [](const auto& info) { return badFileName(info.param); });
