// The desktop drivers: the player's windows, menus and open dialog on Qt Widgets, and its
// sound through the desktop's audio server on PulseAudio's client library.
#pragma once

#include <string>

namespace platform::qt {

// Connects to the desktop and installs the display, file chooser and audio drivers. Returns
// false, installing nothing, when there is no display to connect to. Call it once, before the
// first window is created.
bool install();
// Why install() found no display, as a phrase for the user: none set, or the one set cannot
// be reached.
std::string displayProblem();

// Stops the sound and leaves the desktop, restoring the headless drivers. Call it before the
// program ends: Qt's own connections go away when the process exits, and a device still
// playing then would be stopped too late.
void uninstall();

// The sound alone, without a display, for programs with no window: installs the audio
// driver on the desktop's sound server. uninstallAudio stops the sound and restores the
// headless driver; call it before the program ends.
void installAudio();
void uninstallAudio();

} // namespace platform::qt
