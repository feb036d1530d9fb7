// What --check and --info cost against a rendering of the same score, on the inputs that
// once made them take minutes and gigabytes: many 0xFF bytes, random bytes, a million
// channels, a hundred thousand, a name of ten million NUL bytes, and 5,000 channels of a line
// each. Each case reports its time, the process's peak resident size during it (peak_MB, the
// case's input included) and how far that rose above the size before it (added_MB). Run with `make
// bench`; `--full` gives the sizes at full scale (100 MB of random bytes, a minute for the channel
// cases), which take minutes.
#include "sound/sound.h"
#include "tools/report/score_report.h"
#include "tools/score_text.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

constexpr int32_t kRate = 11025;
bool full = false;

struct Case {
    const char* name;
    std::string (*text)();
    int64_t seconds; // of the rendering at the default scale
};

std::string manyFF() {
    return std::string(10'000'000, '\xFF');
}
std::string randomBytes() {
    std::mt19937_64 random(5);
    std::string text(full ? 100'000'000 : 10'000'000, '\0');
    for (char& c : text)
        c = static_cast<char>(random());
    return text;
}
std::string channels(int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += "c" + std::to_string(i) + " c\n";
    return text;
}
std::string millionChannels() {
    return channels(1'000'001);
}
std::string hundredThousandChannels() {
    return channels(100'000);
}
std::string nulName() {
    return std::string(10'000'000, '\0') + "\n";
}
std::string fiveThousandChannels() {
    std::mt19937 random(5);
    const char* lengths[] = {"", "4", "16", "8."};
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += "V" + std::to_string(i) + " t" + std::to_string(100 + i % 60) + " o" +
                std::to_string(2 + i % 4) + " v" + std::to_string(3 + i % 5) + " l8";
        for (int n = 0; n < 24; ++n)
            text += std::string(" ") + "cdefgab"[random() % 7] + lengths[random() % 4];
        text += "\n";
    }
    return text;
}

const Case kCases[] = {
    {"many_0xFF_10MB", manyFF, 60},           {"random_bytes", randomBytes, 60},
    {"million_channels", millionChannels, 1}, {"100k_channels", hundredThousandChannels, 6},
    {"NUL_name_10MB", nulName, 60},           {"5000_channels", fiveThousandChannels, 60},
};

// The peak resident size since the last reset, in kB; resetting leaves it at the current size.
long peakKb(bool reset) {
    if (reset) {
#if defined(__GLIBC__)
        // What the cases before freed goes back to the system, or the peak would stand on it.
        malloc_trim(0);
#endif
        std::ofstream("/proc/self/clear_refs") << "5";
    }
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

void run(benchmark::State& state, const Case& c, bool check) {
    const std::string text = c.text();
    const int64_t seconds = full ? 60 : c.seconds;
    const long before = peakKb(true);
    for (auto _ : state) {
        Sound sound;
        std::vector<uint8_t> pcm(static_cast<size_t>(seconds * kRate));
        try {
            if (check) {
                const ScoreReport report = examineScore(sound, c.name, pcm, kRate, &text);
                benchmark::DoNotOptimize(warningLines(c.name, report).size() +
                                         infoText(c.name, report).size());
            } else {
                loadScore(sound, c.name, &text);
                sound.render(pcm, kRate);
            }
        } catch (const SoundError&) {
            // A score past the engine's limits ends both with the same error.
        }
        benchmark::DoNotOptimize(pcm.data());
    }
    const long peak = peakKb(false);
    state.counters["peak_MB"] = static_cast<double>(peak) / 1024.0;
    state.counters["added_MB"] = static_cast<double>(peak - before) / 1024.0;
    state.counters["seconds"] = static_cast<double>(seconds);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--full") == 0) {
            full = true;
            std::memmove(argv + i, argv + i + 1, sizeof(char*) * static_cast<size_t>(argc - i));
            --argc;
            --i;
        }
    for (const Case& c : kCases)
        for (const bool check : {false, true})
            benchmark::RegisterBenchmark(
                (std::string(check ? "Check/" : "Render/") + c.name).c_str(),
                [&c, check](benchmark::State& s) { run(s, c, check); })
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
