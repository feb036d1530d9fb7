// marrowtone-render.exe on the real Windows services, with file names that the ANSI code
// page cannot hold: the tool must open and create them as the player does.
// windows.h must come first.
#include <windows.h>

#include "sound/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const wchar_t* const kName = L"\u00f1o\u00f1o-\u97f3\u697d"; // "ñoño-音楽"

fs::path besideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path() / name;
}

std::string utf8(const std::wstring& wide) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The program and the arguments as a user would type them, each quoted.
std::wstring commandLineFor(const fs::path& program, const std::vector<std::wstring>& args) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    for (const auto& a : args)
        commandLine += L" \"" + a + L"\"";
    return commandLine;
}

// Runs the tool with the arguments as a user would type them, each quoted; returns its exit
// status, or -1 when it did not end.
DWORD runTool(const std::vector<std::wstring>& args) {
    const fs::path program = besideThisProgram(L"marrowtone-render.exe");
    std::wstring commandLine = commandLineFor(program, args);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return static_cast<DWORD>(-1);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code;
}

struct Captured {
    DWORD status = static_cast<DWORD>(-1);
    std::string out;
};

// Runs the tool in `folder` and keeps what it writes to standard output; the file `input`,
// if named, is its standard input.
Captured runToolIn(const fs::path& folder, const std::vector<std::wstring>& args,
                   const fs::path& input = {}) {
    Captured result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    HANDLE in = input.empty() ? GetStdHandle(STD_INPUT_HANDLE)
                              : CreateFileW(input.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    const fs::path program = besideThisProgram(L"marrowtone-render.exe");
    std::wstring commandLine = commandLineFor(program, args);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, folder.c_str(), &startup, &info);
    CloseHandle(writeEnd);
    if (!input.empty() && in != INVALID_HANDLE_VALUE) CloseHandle(in);
    if (started) {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
            result.out.append(buffer, n);
        if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &result.status);
        else
            TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    CloseHandle(readEnd);
    return result;
}

// Standard output is in text mode on Windows: its lines end in CR LF.
std::string withoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        path_ = fs::path(base) / (L"marrowtone-render-" + std::to_wstring(GetCurrentProcessId()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

} // namespace

TEST(RenderProgram, RendersAScoreWhoseNameAndFolderAreNotAscii) {
    const std::string score = "; two voices\nA t150 v70 l8 cdefg>c<b\nB o2 v40 c2 g2\n";
    TempFolder temp;
    const fs::path folder = temp.path() / kName;
    fs::create_directories(folder);
    const fs::path input = folder / (std::wstring(kName) + L".mml");
    const fs::path plain = temp.path() / L"plain.mml";
    std::ofstream(input, std::ios::binary) << score;
    std::ofstream(plain, std::ios::binary) << score;

    // The same score under a plain name is the reference the other renderings must match.
    ASSERT_EQ(runTool({plain.wstring(), (temp.path() / L"plain.wav").wstring()}), 0u);
    const std::string reference = readFile(temp.path() / L"plain.wav");
    ASSERT_EQ(reference.size(), 44u + 661500u);

    // The default output lands beside the input, under the same name.
    ASSERT_EQ(runTool({input.wstring()}), 0u);
    const fs::path besideInput = folder / (std::wstring(kName) + L".wav");
    ASSERT_TRUE(fs::exists(besideInput));
    EXPECT_TRUE(readFile(besideInput) == reference) << "the rendering differs by name";

    // An explicit output name of the same kind.
    const fs::path named = folder / (std::wstring(L"\u97f3\u697d-out") + L".wav");
    ASSERT_EQ(runTool({L"--seconds=60", input.wstring(), named.wstring()}), 0u);
    EXPECT_TRUE(readFile(named) == reference);

    // And the samples are the engine's own, loaded here through the UTF-8 name.
    Sound sound;
    sound.load(utf8(input.wstring()));
    std::vector<uint8_t> pcm(661500);
    sound.render(pcm, 11025);
    EXPECT_TRUE(reference.compare(44, std::string::npos, std::string(pcm.begin(), pcm.end())) == 0);

    // Nothing but the score and the two renderings in the folder: no temporary files.
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder))
        ++files;
    EXPECT_EQ(files, 3u);
}

// Both streams in binary: the score's line ends reach the loader as written, and the raw
// samples leave as they are.
TEST(RenderProgram, ReadsAScoreFromStandardInputAndWritesRawSamples) {
    const std::string score = "A t150 v70 l8 cdefg\r\nB o2 v40 c2 g2\r\n\xFF c\n";
    TempFolder temp;
    const fs::path input = temp.path() / L"piped.mml";
    std::ofstream(input, std::ios::binary) << score;
    const Captured c = runToolIn(temp.path(), {L"--seconds", L"1", L"-", L"-"}, input);
    ASSERT_EQ(c.status, 0u);
    Sound sound;
    sound.load(utf8(input.wstring()));
    std::vector<uint8_t> pcm(11025);
    sound.render(pcm, 11025);
    EXPECT_TRUE(c.out == std::string(pcm.begin(), pcm.end()));
}

// Played to its end on the system's wave output (the suites give Wine a sound server): a
// success, not a sound taken for lost, also from a moment on and with a channel muted.
TEST(RenderProgram, PlaysAScoreToItsEnd) {
    TempFolder temp;
    std::ofstream(temp.path() / L"short.mml", std::ios::binary) << "A t150 v70 l8 cdefg\nB o2 c1\n";
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"--play", L"--seconds", L"1", L"short.mml"},
          {L"--play", L"--seconds", L"1", L"--from", L"0.5", L"--mute", L"B", L"short.mml"}}) {
        const Captured c = runToolIn(temp.path(), args);
        EXPECT_EQ(c.status, 0u);
    }
}

// From a moment on (and up to another), one channel alone: that stretch of what the score
// gives without the other's line.
TEST(RenderProgram, RendersFromAMomentWithOneChannelAlone) {
    TempFolder temp;
    std::ofstream(temp.path() / L"two.mml", std::ios::binary) << "A t150 v70 l8 cdefg\nB o2 c1\n";
    std::ofstream(temp.path() / L"one.mml", std::ios::binary) << "A t150 v70 l8 cdefg\n";
    Sound sound;
    sound.load(utf8((temp.path() / L"one.mml").wstring()));
    std::vector<uint8_t> pcm(11025);
    sound.render(pcm, 11025);
    const auto run = [&](std::vector<std::wstring> args) {
        args.insert(args.begin(), {L"--seconds", L"1", L"--from", L"0:00.5", L"--solo", L"A"});
        args.insert(args.end(), {L"two.mml", L"-"});
        return runToolIn(temp.path(), args);
    };
    const Captured whole = run({});
    ASSERT_EQ(whole.status, 0u);
    EXPECT_TRUE(whole.out == std::string(pcm.begin() + 5512, pcm.end()));
    const Captured part = run({L"--to", L"0.75"});
    ASSERT_EQ(part.status, 0u);
    EXPECT_TRUE(part.out == std::string(pcm.begin() + 5512, pcm.begin() + 8268));
}

TEST(RenderProgram, AMissingNonAsciiFileIsAnErrorWithStatusOne) {
    TempFolder temp;
    const fs::path missing = temp.path() / (std::wstring(kName) + L"-missing.mml");
    EXPECT_EQ(runTool({missing.wstring()}), 1u);
    EXPECT_FALSE(fs::exists(temp.path() / (std::wstring(kName) + L"-missing.wav")));
}

// A score is never its own OUTPUT, however it is named; NUL, a device, takes a rendering as
// it is and is no score to read.
TEST(RenderProgram, NeverWritesOverItsScoreAndWritesIntoNulAsItIs) {
    const std::string score = "A t150 v70 l8 cdefg\n";
    TempFolder temp;
    std::ofstream(temp.path() / L"x.txt", std::ios::binary) << score;
    EXPECT_EQ(runToolIn(temp.path(), {L"x.txt", L"x.txt"}).status, 2u);
    EXPECT_EQ(runToolIn(temp.path(), {L"x.txt", L".\\x.txt"}).status, 2u);
    EXPECT_EQ(readFile(temp.path() / L"x.txt"), score);
    EXPECT_EQ(runToolIn(temp.path(), {L"x.txt", L"NUL"}).status, 0u);
    EXPECT_EQ(runToolIn(temp.path(), {L"--check", L"NUL"}).status, 1u);
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(temp.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(RenderProgram, CheckAndInfoSayWhatTheySayNatively) {
    // scripts/windows-tests.sh puts the scores there with what the native tool said of them.
    const fs::path folder = besideThisProgram(L"check-parity");
    ASSERT_TRUE(fs::is_directory(folder)) << "no check-parity folder beside the suite";
    size_t scores = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != L".mml") continue;
        ++scores;
        const std::wstring name = entry.path().filename().wstring();
        const std::string expected = readFile(folder / (name + L".expected"));
        const DWORD expectedStatus =
            static_cast<DWORD>(std::stoul(readFile(folder / (name + L".status"))));
        const Captured c = runToolIn(folder, {L"--check", L"--info", name});
        EXPECT_EQ(c.status, expectedStatus) << utf8(name);
        EXPECT_EQ(withoutCarriageReturns(c.out), expected) << utf8(name);
        EXPECT_NE(expected.find(utf8(name) + ": "), std::string::npos) << utf8(name);
    }
    EXPECT_EQ(scores, 4u); // the three of the source tree and one of them under a Unicode name
}
