// Loading and rendering speed. Run with `make bench`.
//
// Besides Google Benchmark's table this prints the figures the engine is held
// to: the renderer's speed-up over a sample-by-sample reading of its steps, the
// loader's throughput, and what 63 resting channels add to one playing channel.
#include "sound/play_format.h"
#include "sound/reference/naive_render.h"
#include "sound/sound.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr size_t kBufferSize = play_format::bufferBytes;
constexpr int32_t kRate = play_format::sampleRate;

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("marrowtone-bench-" + std::to_string(getpid()) + "-" + name))
        .string();
}

Sound loadScore(const std::string& name, const std::string& text) {
    const std::string path = tempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    Sound s;
    s.load(path);
    std::filesystem::remove(path);
    return s;
}

// A busy eight-voice piece: eighths and sixteenths over four octaves.
std::string eightChannelScore() {
    std::mt19937 random(7);
    const char* notes[] = {"c", "d", "e", "f", "g", "a", "b", "c+", "f+", "b-"};
    std::string text;
    for (int ch = 0; ch < 8; ++ch) {
        const std::string name = "V" + std::to_string(ch);
        text += name + " t132 o" + std::to_string(2 + ch % 4) + " v" + std::to_string(20 + ch * 3) +
                " q" + std::to_string(4 + ch % 5) + " l" + (ch % 2 ? "16" : "8") + "\n";
        for (int line = 0; line < 8; ++line) {
            text += name + " ";
            for (int i = 0; i < 16; ++i) {
                text += notes[random() % std::size(notes)];
                if (random() % 5 == 0) text += random() % 2 ? ">" : "<";
                if (random() % 7 == 0) text += "4.";
            }
            text += "\n";
        }
    }
    return text;
}

// One channel plays; the others rest through the whole buffer.
std::string mostlyRestingScore(int channels) {
    std::string text = "P t120 o4 l16 [cdefgab>c<]8\n";
    for (int ch = 1; ch < channels; ++ch)
        text += "R" + std::to_string(ch) + " r1\n";
    return text;
}

// About 48 MB of MML in lines of varied commands, well under the command limit.
const std::string& largeScoreFile() {
    static const std::string path = [] {
        const std::string p = tempPath("large.mml");
        std::ofstream out(p, std::ios::binary);
        std::mt19937 random(11);
        const char* pieces[] = {"c4 ", "d8. ", "e+16 ", "f ",  "g2 ", "r8 ", "a-4 ",  "b32.. ",
                                "o4 ", "v40 ", "q7 ",   "l8 ", "> ",  "< ",  "t120 ", "(3 "};
        std::string line;
        size_t written = 0;
        int n = 0;
        while (written < (48u << 20)) {
            line = "ch" + std::to_string(n++ % 16) + " ";
            for (int i = 0; i < 40; ++i)
                line += pieces[random() % std::size(pieces)];
            if (n % 10 == 0) line += "; a comment at the end of the line";
            line += "\n";
            out << line;
            written += line.size();
        }
        return p;
    }();
    return path;
}

void BM_RenderEightChannels(benchmark::State& state) {
    Sound loaded = loadScore("eight.mml", eightChannelScore());
    std::vector<uint8_t> buffer(kBufferSize);
    for (auto _ : state) {
        Sound s = loaded;
        s.render(buffer, kRate);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * kBufferSize);
}
BENCHMARK(BM_RenderEightChannels)->Unit(benchmark::kMillisecond);

void BM_RenderEightChannelsNaive(benchmark::State& state) {
    Sound loaded = loadScore("eight.mml", eightChannelScore());
    std::vector<uint8_t> buffer(kBufferSize), fast(kBufferSize);
    Sound check = loaded;
    check.render(fast, kRate);
    for (auto _ : state) {
        Sound s = loaded;
        naive::render(s, buffer, kRate);
        benchmark::DoNotOptimize(buffer.data());
    }
    if (buffer != fast) state.SkipWithError("the renderers disagree");
    state.SetBytesProcessed(state.iterations() * kBufferSize);
}
BENCHMARK(BM_RenderEightChannelsNaive)->Unit(benchmark::kMillisecond);

void BM_RenderMostlyResting(benchmark::State& state) {
    Sound loaded = loadScore("resting.mml", mostlyRestingScore(static_cast<int>(state.range(0))));
    std::vector<uint8_t> buffer(kBufferSize);
    for (auto _ : state) {
        Sound s = loaded;
        s.render(buffer, kRate);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_RenderMostlyResting)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_LoadLargeScore(benchmark::State& state) {
    const std::string& path = largeScoreFile();
    const auto bytes = std::filesystem::file_size(path);
    for (auto _ : state) {
        Sound s;
        s.load(path);
        benchmark::DoNotOptimize(s.channelCount);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_LoadLargeScore)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps each run's time so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
            if (run.counters.count("bytes_per_second"))
                rates[run.benchmark_name()] = run.counters.at("bytes_per_second");
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times, rates;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    if (t.count("BM_RenderEightChannels") && t.count("BM_RenderEightChannelsNaive"))
        std::printf("render, 8 channels, 60 s: %.1fx faster than the sample-by-sample reading "
                    "(target 10x)\n",
                    t["BM_RenderEightChannelsNaive"] / t["BM_RenderEightChannels"]);
    if (t.count("BM_RenderMostlyResting/1") && t.count("BM_RenderMostlyResting/64"))
        std::printf("render, 64 channels of which 63 rest: %.2fx the time of 1 channel\n",
                    t["BM_RenderMostlyResting/64"] / t["BM_RenderMostlyResting/1"]);
    if (reporter.rates.count("BM_LoadLargeScore/min_time:2.000"))
        std::printf("load: %.0f MB/s (target 100 MB/s)\n",
                    reporter.rates["BM_LoadLargeScore/min_time:2.000"] / 1e6);
    std::remove(largeScoreFile().c_str());
    benchmark::Shutdown();
    return 0;
}
