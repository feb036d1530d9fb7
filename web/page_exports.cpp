// What the page asks of the program beside running it (its entry is the desktop program's,
// on the web drivers): the command a dropped file is opened with, and the renderer the
// page's tests compare with marrowtone-render.
#include "app/main_frame.h"
#include "platform/drivers/web/page.h"
#include "sound/play_format.h"
#include "sound/sound.h"

#include <emscripten/emscripten.h>

#include <cstdio>
#include <exception>
#include <span>
#include <utility>
#include <vector>

namespace {

// A score that takes long to load or render lets the page breathe meanwhile. Through a
// function of the module's own: Asyncify suspends a call of an import, not of a pointer to one.
void breathe() noexcept {
    mt_breathe();
}
[[maybe_unused]] const bool breathing = (Sound::breather = breathe, true);

std::vector<uint8_t>& rendered() {
    static auto* pcm = new std::vector<uint8_t>;
    return *pcm;
}

} // namespace

extern "C" {

// The menu command that opens a file: a file dropped on the window is opened through it.
EMSCRIPTEN_KEEPALIVE int mt_open_command() {
    return IDM_MML_OPEN;
}

// Renders the score at `path` as the player does before it plays (unsigned 8-bit mono,
// the player's rate and length). Returns 0, or 1 after writing the error line to standard
// error as the player and marrowtone-render do.
EMSCRIPTEN_KEEPALIVE int mt_render(const char* path) {
    // The page waits for this call to return: the module cannot be suspended inside it.
    struct Held {
        void (*breather)() noexcept = std::exchange(Sound::breather, nullptr);
        ~Held() { Sound::breather = breather; }
    } held;
    try {
        rendered().assign(play_format::bufferBytes, 0);
        Sound sound;
        sound.load(path);
        sound.render(std::span<uint8_t>(rendered()), play_format::sampleRate);
        return 0;
    } catch (const std::exception& e) {
        rendered().clear();
        std::fprintf(stderr, "Error: %s\n", e.what());
        std::fflush(stderr);
        return 1;
    }
}

EMSCRIPTEN_KEEPALIVE const uint8_t* mt_rendered() {
    return rendered().data();
}

EMSCRIPTEN_KEEPALIVE size_t mt_rendered_size() {
    return rendered().size();
}
}
