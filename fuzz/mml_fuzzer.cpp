// Feeds arbitrary bytes through the loader and the renderer. Errors the loader
// raises on purpose are fine; crashes, hangs, sanitizer reports and runaway
// memory are not.
#include "sound/play_format.h"
#include "sound/sound.h"
#include "tools/report/score_report.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& scratchFile() {
    static const std::string path = [] {
        std::string p = "/tmp/marrowtone-fuzz-XXXXXX";
        const int fd = mkstemp(p.data());
        if (fd < 0) std::abort();
        close(fd);
        std::atexit([] { std::remove(scratchFile().c_str()); });
        return p;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(scratchFile().c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    Sound sound;
    try {
        sound.load(scratchFile());
    } catch (const SoundError&) {
        return 0;
    }
    // A second of sound at the player's rate, and a little at another
    // rate so that pitch arithmetic sees other periods too.
    std::vector<uint8_t> buffer(play_format::sampleRate);
    sound.render(buffer, play_format::sampleRate);
    Sound again = sound;
    again.render(std::span(buffer).first(4000), 48000);

    // Watched by the checks of marrowtone-render, the same load must render the same bytes,
    // and every warning must point into the file.
    Sound watched;
    std::vector<uint8_t> observed(11025);
    const ScoreReport report = examineScore(watched, scratchFile(), observed, 11025);
    std::vector<uint8_t> plain(11025);
    sound.resetPositions();
    sound.render(plain, 11025);
    if (observed != plain) std::abort();
    for (const ScoreWarning& w : report.warnings)
        if (w.line < 1 || w.column < 1 || w.column > static_cast<int64_t>(size) + 1) std::abort();
    return 0;
}
