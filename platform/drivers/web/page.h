// What the drivers ask of the page (library_*.js, a file for each driver's side), and the
// user's actions it keeps for them. The page never calls into the program: the program may
// be suspended (waiting for events, or for the file picker), so the page queues what the
// user does and wakes it.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Suspends the program until the page wakes it or `timeoutMs` has passed.
void mt_wait(int timeoutMs);
// Suspends the program for a moment, when it has worked long enough, so that the browser can
// draw and take input meanwhile; returns at once otherwise. Only where the program may be
// suspended: inside main, never inside a call the page makes into the module.
void mt_breathe();
// Wakes a waiting program; when it is not waiting, its next wait returns at once.
void mt_wake();
// The user's next action as four numbers: its kind (Action below), the window, and two
// arguments; false when there is none.
bool mt_next_action(int32_t* out);

// The window: shown, its caption, outer size and the client size, or gone.
void mt_window_show(uintptr_t id, const char* caption, int width, int height, bool visible);
void mt_window_gone(uintptr_t id);
// The menu bar as JSON: [{"text":..., "items":[{"text":..., "id":..., "grayed":...}]}].
void mt_window_menu(uintptr_t id, const char* json);
void mt_window_status(uintptr_t id, const char* text, bool grip);

// Shows the file picker and suspends the program until the user has chosen a file (which
// the page writes into the program's file system) or cancelled. Returns the file's name,
// allocated with malloc, or null.
char* mt_choose_file(const char* accept);

// Plays `size` bytes of PCM once; when it has ended the page queues an action with the token.
void mt_audio_play(const uint8_t* data, size_t size, int rate, int channels, int bits, int token);
void mt_audio_stop(int token);

// The program has ended.
void mt_ended(int status);
}

namespace platform::web {

enum Action : int32_t {
    kNone = 0,
    kMenuCommand = 1, // the item's identifier
    kResize = 2,      // the new outer width and height
    kClose = 3,       // the close box
    kAudioEnded = 4,  // no window; the token of the block that has ended
};

// Delivered by the display driver when it takes the user's actions.
void audioEnded(int token);

} // namespace platform::web
