// The narrow seam between the window system and whatever shows it.
//
// The window system keeps every window, menu and message itself; a display driver only
// learns what changed and turns the user's actions into the messages Windows would send.
// It reads back what it needs (text, rectangles, menus) through the ordinary calls of
// win32.h. Notifications arrive on the GUI thread; wake() may be called from any thread.
#pragma once

#ifndef _WIN32

#include "platform/win32.h"

#include <chrono>

namespace platform {

class DisplayDriver {
public:
    virtual ~DisplayDriver() = default;

    virtual const char* name() const = 0;

    virtual void windowCreated(HWND) {}
    // Called while the window is still valid, after WM_NCDESTROY.
    virtual void windowDestroyed(HWND) {}
    // Position or size changed; GetWindowRect and GetClientRect give the new geometry.
    virtual void windowMoved(HWND) {}
    virtual void windowShown(HWND, bool /*visible*/) {}
    virtual void windowTextChanged(HWND) {}
    // The menu bar of the window was attached, replaced, removed, or one of its items changed.
    virtual void menuChanged(HWND) {}
    // The menu bar of the window entered, changed or left its mode (platform::user::menuMode
    // tells which item is highlighted and whether its popup is open).
    virtual void menuModeChanged(HWND) {}
    // Part of the window needs repainting; controls invalidate themselves when their content
    // (a status bar's text, a toolbar's buttons) changes.
    virtual void windowInvalidated(HWND) {}
    // The non-client frame this display gives a window with these styles, as the thickness
    // of each edge; false keeps the window system's own metrics. A desktop that draws the
    // caption and borders itself outside the window leaves only the menu bar inside it.
    virtual bool frameInsets(DWORD /*style*/, DWORD /*exStyle*/, bool /*hasMenu*/,
                             RECT& /*insets*/) {
        return false;
    }

    // The GUI thread's queue is empty: block until wake() is called, until the driver has
    // handled events of its own (which may have posted messages), or until the timeout.
    virtual void waitForEvents(std::chrono::milliseconds timeout) = 0;
    // Thread-safe: a message has been posted and a waiting GUI thread should look again.
    virtual void wake() = 0;
};

} // namespace platform

#endif // _WIN32
