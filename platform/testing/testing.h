// What only tests use, in a library the programs never link: scripted input and read-backs
// of the window system, and the headless drivers' controls (windows live only in memory,
// the open dialog answers from a script, and sound is captured on a virtual clock). Tests
// act on windows as a user would, through the same calls a display driver makes
// (platform/drivers/driver.h), and read back here what a screen would show and what a
// speaker would play.
//
// Nothing here resets the platform: each test case runs in a process of its own (CTest runs
// them one by one; by hand, pick one with --gtest_filter), so every case starts on a fresh
// one, as a program does.
#pragma once

#ifndef _WIN32

#include "platform/drivers/driver.h"
#include "platform/win32.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// GetMessageW gives up with -1 after waiting this long for a message; zero (the default)
// waits for ever, as on Windows. Lets a test of a message loop fail instead of hanging.
void setMessageWaitLimit(std::chrono::milliseconds limit);
// Posted messages not yet retrieved.
size_t pendingMessageCount();
// Whether PostQuitMessage was called and its WM_QUIT not yet retrieved.
bool quitRequested(int* exitCode = nullptr);

namespace user {

// Clicks the left button at (x, y) in the window's client coordinates. The deepest visible
// child under the point receives WM_MOUSEMOVE, WM_LBUTTONDOWN and WM_LBUTTONUP, posted with
// the point in its own client coordinates.
bool click(HWND hwnd, int x, int y);
// Moves the mouse to (x, y) in the window's client coordinates (posts WM_MOUSEMOVE).
bool mouseMove(HWND hwnd, int x, int y);
// pressKey and releaseKey, one after the other.
bool typeKey(HWND topLevel, UINT vk);
// The window's children, top of the Z order first.
std::vector<HWND> children(HWND hwnd);

} // namespace user

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
// The request the headless chooser was given last, if it was asked.
std::optional<OpenFileRequest> lastOpenFileRequest();
// Scripted answers not used yet.
size_t scriptedOpenFileNames();

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

// The output goes away, as when the sound server ends: every open device ends its blocks
// at once, unheard, and plays no more, and opening a device fails until
// setAudioDeviceAvailable(true). The reports are made on the calling thread.
void loseAudioOutput();

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

} // namespace headless
} // namespace platform

#endif // _WIN32
