// The headless drivers as the tests see them: windows live only in memory, the open dialog
// answers from a script, and sound is captured on a virtual clock. Tests act on windows as
// a user would through the window system's own calls (platform/user32/window_system.h) and
// read back here what a screen would show and what a speaker would play.
#pragma once

#ifndef _WIN32

#include "platform/drivers/file_chooser.h"
#include "platform/user32/window_system.h"
#include "platform/win32.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Destroys every window, menu and class, empties the queue, closes every wave output and
// forgets what the drivers were told, so a test starts afresh.
void resetForTests();

namespace headless {

// The display

// What the driver has been told, in order, as lines such as "created 0x10008".
std::vector<std::string> events();
void clearEvents();

RECT windowRect(HWND hwnd); // screen coordinates
RECT clientRect(HWND hwnd); // from (0, 0)
bool visible(HWND hwnd);
std::vector<HWND> topLevelWindows();

// The open dialog

// The next GetOpenFileNameW answers with this path; an empty path, or none, cancels it.
void scriptOpenFileName(const std::string& path);
// The filter strings the last GetOpenFileNameW was given, in order.
std::vector<std::string> lastOpenFileFilters();
// The request the headless chooser was given last, if it was asked since the last reset.
std::optional<OpenFileRequest> lastOpenFileRequest();
// Scripted answers not used yet.
size_t scriptedOpenFileNames();
// Forgets the script and the last request.
void resetFileChooser();

// The sound. A block of 60 seconds thus plays in a few milliseconds of a test, and its end
// (MM_WOM_DONE) comes exactly when the virtual clock reaches it.

// Whether the machine has an output device. Without one, opening fails (the driver returns
// no device) and waveOutGetNumDevs reports 0. Devices already open stay open.
void setAudioDeviceAvailable(bool available);
bool audioDeviceAvailable();

// Advances the virtual clock: every playing device plays the bytes due in that time at its
// format's nAvgBytesPerSec (fractions of a byte carry over to the next advance). A device
// that reaches the end of its block reports it on the calling thread before this returns.
void advanceAudio(std::chrono::milliseconds time);

// Every byte played so far, by all devices, in the order the clock played them.
std::vector<uint8_t> capturedAudio();
void clearCapturedAudio();

// Whether some device is in the middle of a block.
bool audioPlaying();
// Bytes of the current block not yet played, summed over the playing devices.
size_t audioBytesRemaining();
// Devices currently open.
size_t openAudioDevices();
// The format of the device opened last (zeros before the first open).
WAVEFORMATEX lastAudioFormat();

// Starts afresh: closes every wave output handle without notifications (and without
// touching the headers still queued, which may be gone), forgets the captured bytes and
// makes a device available again.
void resetAudio();

} // namespace headless
} // namespace platform

#endif // _WIN32
