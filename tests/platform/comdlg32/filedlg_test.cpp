// GetOpenFileNameW through the file chooser: the request it makes of the record, the
// scripted headless answers, and how the answer comes back into the caller's buffer.
#include "platform/comdlg32/comdlg32_private.h"
#include "platform/testing/testing.h"
#include "tests/platform/platform_fixture.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace platform_test;
namespace fs = std::filesystem;

namespace {

// The list a caller gives: pairs of zero-terminated strings, ended by an empty one (the
// literal's own terminator).
const WCHAR kFilter[] = u"MML {*.mml}\0*.mml\0ALL {*.*}\0*.*\0";

std::u16string ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

class OpenDialog : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        owner = makeTopLevel();
        dir = fs::temp_directory_path() /
              ("marrowtone-chooser-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        existing = (dir / "song.mml").string();
        std::ofstream(existing) << "A o4 c\n";
        buffer[0] = 0;
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = kFilter;
        ofn.lpstrFile = buffer;
        ofn.nMaxFile = 260;
        ofn.Flags = OFN_FILEMUSTEXIST;
    }
    void TearDown() override {
        platform::setFileChooser(nullptr);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        PlatformTest::TearDown();
    }

    std::u16string chosen() const { return std::u16string(buffer); }

    HWND owner = nullptr;
    fs::path dir;
    std::string existing;
    WCHAR buffer[260];
    OPENFILENAMEW ofn{};
};

TEST_F(OpenDialog, TheChooserGetsTheFilterPairsTheOwnerAndTheMustExistRule) {
    headless::scriptOpenFileName(existing);
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(chosen(), ascii(existing));
    auto request = headless::lastOpenFileRequest();
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->owner, owner);
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(request->filters, (Pairs{{"MML {*.mml}", "*.mml"}, {"ALL {*.*}", "*.*"}}));
    EXPECT_EQ(request->selectedFilter, 0u);
    EXPECT_TRUE(request->fileMustExist);
    EXPECT_TRUE(request->title.empty());
    EXPECT_FALSE(request->initialDirectory.empty()); // the starting folder's rules below
    EXPECT_EQ(headless::lastOpenFileFilters(),
              (std::vector<std::string>{"MML {*.mml}", "*.mml", "ALL {*.*}", "*.*"}));
    EXPECT_EQ(headless::scriptedOpenFileNames(), 0u);
}

TEST_F(OpenDialog, TheFilterIndexCountsFromOneAndZeroMeansTheFirst) {
    for (DWORD index : {0u, 1u, 2u}) {
        headless::scriptOpenFileName(existing);
        ofn.nFilterIndex = index;
        ASSERT_TRUE(GetOpenFileNameW(&ofn));
        EXPECT_EQ(headless::lastOpenFileRequest()->selectedFilter, index == 2 ? 1u : 0u);
    }
}

TEST_F(OpenDialog, AnEmptyScriptCancelsWithZero) {
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_TRUE(headless::lastOpenFileRequest().has_value()); // the dialog was shown
    // A cancel in the middle of a script.
    headless::scriptOpenFileName("");
    headless::scriptOpenFileName(existing);
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    EXPECT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(chosen(), ascii(existing));
}

TEST_F(OpenDialog, AMissingFileCannotBeChosenWhenItMustExist) {
    std::string missing = (dir / "missing.mml").string();
    headless::scriptOpenFileName(missing);
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(headless::scriptedOpenFileNames(), 0u); // the answer was used up

    // Nor can a folder be opened as a file.
    headless::scriptOpenFileName(dir.string());
    EXPECT_FALSE(GetOpenFileNameW(&ofn));

    // Without the rule the name is returned as typed.
    ofn.Flags = 0;
    headless::scriptOpenFileName(missing);
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(chosen(), ascii(missing));
    EXPECT_FALSE(headless::lastOpenFileRequest()->fileMustExist);
}

TEST_F(OpenDialog, APathWithCharactersBeyondAsciiComesBackAsUtf16) {
    fs::path file = dir / "Ode \xC3\xA0 la joie \xE2\x99\xAA \xF0\x9F\x8E\xB5.mml";
    std::ofstream(file) << "A c\n";
    headless::scriptOpenFileName(file.string());
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(chosen(), ascii(dir.string()) + u"/Ode \u00E0 la joie \u266A \U0001F3B5.mml");
}

TEST_F(OpenDialog, ABufferTooSmallForThePathFails) {
    std::string name(200, 'n');
    fs::path file = dir / (name + ".mml");
    std::ofstream(file) << "A c\n";
    const size_t units = file.string().size();
    headless::scriptOpenFileName(file.string());
    ofn.nMaxFile = static_cast<DWORD>(units); // no room for the terminator
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    EXPECT_EQ(static_cast<size_t>(buffer[0]), units + 1); // the size it needs

    headless::scriptOpenFileName(file.string());
    ofn.nMaxFile = static_cast<DWORD>(units + 1);
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(chosen(), ascii(file.string()));
}

class FixedChooser : public platform::FileChooser {
public:
    const char* name() const override { return "fixed"; }
    std::optional<std::string> chooseFileToOpen(const platform::OpenFileRequest& r) override {
        seen = r;
        return answer;
    }
    std::optional<std::string> answer;
    platform::OpenFileRequest seen;
};

TEST_F(OpenDialog, AnInstalledChooserIsAskedInsteadOfTheScript) {
    FixedChooser fixed;
    fixed.answer = "/elsewhere/tune.mml";
    platform::setFileChooser(&fixed);
    EXPECT_STREQ(platform::fileChooser().name(), "fixed");
    headless::scriptOpenFileName(existing);
    ofn.lpstrTitle = u"Pick a tune";
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(chosen(), u"/elsewhere/tune.mml");
    EXPECT_EQ(fixed.seen.title, "Pick a tune");
    EXPECT_EQ(fixed.seen.filters.size(), 2u);
    EXPECT_EQ(headless::scriptedOpenFileNames(), 1u); // untouched
    fixed.answer.reset();
    EXPECT_FALSE(GetOpenFileNameW(&ofn));

    platform::setFileChooser(nullptr);
    EXPECT_STREQ(platform::fileChooser().name(), "headless");
    EXPECT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(chosen(), ascii(existing));
}

TEST(FilePatterns, MatchAsOnWindows) {
    using platform::detail::matchesFilePattern;
    EXPECT_TRUE(matchesFilePattern("*.*", "README"));
    EXPECT_TRUE(matchesFilePattern("*.*", "song.mml"));
    EXPECT_TRUE(matchesFilePattern("*.*", ".hidden"));
    EXPECT_TRUE(matchesFilePattern("*.mml", "SONG.MML"));
    EXPECT_FALSE(matchesFilePattern("*.mml", "README"));
    EXPECT_FALSE(matchesFilePattern("*.mml", "song.mml.bak"));
    EXPECT_TRUE(matchesFilePattern("song.*", "song"));
    EXPECT_TRUE(matchesFilePattern("s?ng.mml", "sang.mml"));
    EXPECT_FALSE(matchesFilePattern("s?ng.mml", "sng.mml"));
    // Many stars against a long name that does not match: no exponential search.
    EXPECT_FALSE(matchesFilePattern("*a*a*a*a*a*a*a*a*a*a*b", std::string(5000, 'a')));
}

// Where the dialog starts when the caller names no folder. Each case runs in a folder and
// with a home of its own, and puts both back.
class StartingFolder : public OpenDialog {
protected:
    void SetUp() override {
        OpenDialog::SetUp();
        savedCwd = fs::current_path();
        const char* h = std::getenv("HOME");
        savedHome = h ? h : "";
        home = dir / "home";
        empty = dir / "empty";
        others = dir / "others";
        fs::create_directories(home);
        fs::create_directories(empty);
        fs::create_directories(others);
        std::ofstream(others / "README") << "no dot\n";
        setenv("HOME", home.c_str(), 1);
    }
    void TearDown() override {
        fs::current_path(savedCwd);
        setenv("HOME", savedHome.c_str(), 1);
        OpenDialog::TearDown();
    }

    std::string startsIn(DWORD filterIndex = 1) {
        ofn.nFilterIndex = filterIndex;
        GetOpenFileNameW(&ofn); // nothing scripted: cancelled
        auto request = headless::lastOpenFileRequest();
        return request ? request->initialDirectory : "(not asked)";
    }

    fs::path savedCwd, home, empty, others;
    std::string savedHome;
};

TEST_F(StartingFolder, TheCurrentFolderWhenItHoldsFilesOfTheFilterElseHome) {
    fs::current_path(dir); // holds song.mml
    EXPECT_EQ(startsIn(1), dir.string());
    fs::current_path(empty);
    EXPECT_EQ(startsIn(1), home.string());
    EXPECT_EQ(startsIn(2), home.string());
    // A file without a dot counts for "ALL {*.*}", not for "MML {*.mml}".
    fs::current_path(others);
    EXPECT_EQ(startsIn(2), others.string());
    EXPECT_EQ(startsIn(1), home.string());
}

TEST_F(StartingFolder, LaterTheFolderOfTheLastChoice) {
    fs::current_path(empty);
    const std::string readme = (others / "README").string();
    headless::scriptOpenFileName(readme);
    ofn.nFilterIndex = 2;
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(chosen(), ascii(readme));
    fs::current_path(dir);
    EXPECT_EQ(startsIn(1), others.string());
}

TEST_F(StartingFolder, AnInitialFolderGivenIsKept) {
    fs::current_path(dir);
    const std::u16string given = ascii(empty.string());
    ofn.lpstrInitialDir = given.c_str();
    EXPECT_EQ(startsIn(1), empty.string());
}

} // namespace
