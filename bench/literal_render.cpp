// The literal, sample-by-sample reading of a score as a program of its own, so that the
// renderer's whole process can be compared with it whole: loading, rendering and writing.
//
//   literal_render SCORE OUTPUT
#include "sound/play_format.h"
#include "sound/reference/naive_render.h"
#include "sound/sound.h"

#include <cstdio>
#include <exception>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    try {
        Sound sound;
        sound.load(argv[1]);
        std::vector<uint8_t> pcm(play_format::bufferBytes);
        naive::render(sound, pcm, play_format::sampleRate);
        std::FILE* out = std::fopen(argv[2], "wb");
        if (!out) return 1;
        const bool written = std::fwrite(pcm.data(), 1, pcm.size(), out) == pcm.size();
        return std::fclose(out) == 0 && written ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error: %s\n", e.what());
        return 1;
    }
}
