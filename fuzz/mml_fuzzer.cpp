// Feeds arbitrary bytes through the loader and the renderer. Errors the loader
// raises on purpose are fine; crashes, hangs, sanitizer reports and runaway
// memory are not.
#include "sound/play_format.h"
#include "sound/sound.h"

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
    return 0;
}
