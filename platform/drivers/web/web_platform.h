// The page's drivers: the player's window, menu and status bar as page elements, the
// browser's file picker as the open dialog, and its sound through Web Audio.
#pragma once

namespace platform::web {

// Installs the display, file chooser and audio drivers. Call it once, before the first
// window is created.
void install();

// The program has ended with `status`: stops the sound, restores the headless drivers and
// lets the page say so.
void uninstall(int status);

} // namespace platform::web
