// The drivers a program runs on. A program names them once, by the driver set it links:
// marrowtone_drivers_desktop (windows, menus and the open dialog on Qt, sound through the
// desktop's audio server), marrowtone_drivers_sound (that sound alone, for programs without
// a window), marrowtone_drivers_web (the page), or none, which leaves the headless drivers
// the tests run on. On Windows the system is the driver and there is nothing to start.
#pragma once

#include <string>

namespace platform {

#ifdef _WIN32

inline std::string startDrivers() {
    return {};
}
inline void stopDrivers(int /*exitStatus*/) {}

#else

// Connects to what the drivers need and installs them; call it once, before the first
// window or sound. Empty when ready, else why not, as a phrase for the user (e.g. "no
// display: ..."), with nothing installed.
std::string startDrivers();
// Stops the sound and leaves the desktop, restoring the headless drivers. Call it before the
// program ends, with the program's exit status: a device still playing when the process
// exits would be stopped too late.
void stopDrivers(int exitStatus);

#endif

} // namespace platform
