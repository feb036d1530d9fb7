// marrowtone-render as its users run it, a whole process at a time: a 64-voice score
// rendered to a WAV file against the literal reading doing the same, and `--version`
// against a program that does nothing. Each pair runs in the same benchmark, alternately,
// and reports their ratio, so that a loaded machine slows both alike.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path& workDir() {
    static const fs::path dir = [] {
        const fs::path d =
            fs::temp_directory_path() / ("marrowtone-process-bench-" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// Sixty-four busy voices of eighths and sixteenths over four octaves.
const std::string& scorePath() {
    static const std::string path = [] {
        std::mt19937 random(64);
        const char* notes[] = {"c", "d", "e", "f", "g", "a", "b", "c+", "f+", "b-"};
        std::string text;
        for (int ch = 0; ch < 64; ++ch) {
            const std::string name = "V" + std::to_string(ch);
            text += name + " t132 o" + std::to_string(2 + ch % 4) + " v" +
                    std::to_string(2 + ch % 5) + " q" + std::to_string(4 + ch % 5) + " l" +
                    (ch % 2 ? "16" : "8") + "\n";
            for (int line = 0; line < 4; ++line) {
                text += name + " ";
                for (int i = 0; i < 16; ++i)
                    text += notes[random() % std::size(notes)];
                text += "\n";
            }
        }
        const std::string p = (workDir() / "sixty-four.mml").string();
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }();
    return path;
}

// Runs the program to its end; the seconds it took, or a skipped benchmark when it failed.
double run(benchmark::State& state, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        state.SkipWithError((args[0] + " failed").c_str());
    return took.count();
}

void reportPair(benchmark::State& state, double ours, double other, const char* otherName) {
    state.counters["ours_ms"] = 1000 * ours / static_cast<double>(state.iterations());
    state.counters[otherName] = 1000 * other / static_cast<double>(state.iterations());
    state.counters["ratio"] = ours > 0 ? other / ours : 0;
}

void BM_RenderSixtyFourVoicesAgainstTheLiteralReading(benchmark::State& state) {
    const std::string wav = (workDir() / "out.wav").string();
    const std::string raw = (workDir() / "out.raw").string();
    double ours = 0, literal = 0;
    for (auto _ : state) {
        ours += run(state, {MARROWTONE_RENDER, scorePath(), wav});
        literal += run(state, {LITERAL_RENDER, scorePath(), raw});
    }
    reportPair(state, ours, literal, "literal_ms");
}
BENCHMARK(BM_RenderSixtyFourVoicesAgainstTheLiteralReading)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

void BM_VersionAgainstABareProgram(benchmark::State& state) {
    double ours = 0, bare = 0;
    for (auto _ : state) {
        ours += run(state, {MARROWTONE_RENDER, "--version"});
        bare += run(state, {BARE_PROGRAM});
    }
    // Here the ratio is how many times longer than doing nothing the start takes.
    reportPair(state, bare, ours, "version_ms");
}
BENCHMARK(BM_VersionAgainstABareProgram)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(workDir());
    return 0;
}
