// What a display driver may ask of the window system: it reports what the user does
// (resizing, moving, the close box, the mouse, the menu bar) and wakes or runs the queue,
// and it reads back what it shows. The tests act through the same calls, as a user would.
// Everything here runs on the GUI thread.
#pragma once

#ifndef _WIN32

#include "platform/win32.h"

#include <chrono>
#include <cstddef>
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

// The user's actions. Each returns false (and does nothing) when the window cannot take it.

// Drags the frame to an outer size of width by height: WM_ENTERSIZEMOVE, WM_SIZING, the
// position change with WM_SIZE (SIZE_RESTORED) and WM_MOVE as needed, WM_EXITSIZEMOVE.
bool resizeWindow(HWND topLevel, int width, int height);
// Drags the window by its caption so that its outer top-left corner is at (x, y).
bool moveWindow(HWND topLevel, int x, int y);
// Chooses a command item of the window's menu bar: posts WM_COMMAND with the identifier in
// the low word, 0 in the high word and lParam 0. Refuses items that are absent or grayed.
bool chooseMenuItem(HWND topLevel, UINT id);
// The same, addressed by the texts along the way, e.g. {"File", "Exit"}.
bool chooseMenuItem(HWND topLevel, const std::vector<std::string>& path);
// Clicks the left button at (x, y) in the window's client coordinates. The deepest visible
// child under the point receives WM_MOUSEMOVE, WM_LBUTTONDOWN and WM_LBUTTONUP, posted with
// the point in its own client coordinates.
bool click(HWND hwnd, int x, int y);
// Moves the mouse to (x, y) in the window's client coordinates (posts WM_MOUSEMOVE).
bool mouseMove(HWND hwnd, int x, int y);
// Clicks the close box: posts WM_SYSCOMMAND with SC_CLOSE, which the default processing
// turns into WM_CLOSE.
bool clickCloseBox(HWND topLevel);

// A key going down or up, as the keyboard reports it: posted to the focus window when it is
// the window or inside it (else to the window itself) as WM_KEYDOWN and WM_KEYUP, or as
// WM_SYSKEYDOWN and WM_SYSKEYUP for F10, for Alt itself and for any key while Alt is held.
bool pressKey(HWND topLevel, UINT vk);
bool releaseKey(HWND topLevel, UINT vk);
// Both, one after the other.
bool typeKey(HWND topLevel, UINT vk);

// The mouse on the menu bar, which the desktop may handle itself: a click on a top-level item
// opened its popup, the pointer is over an item of the open popup, the popup was closed
// (a click elsewhere or the desktop took it away). Each leaves the menu mode in the state a
// screen shows.
bool openMenu(HWND topLevel, int index);
bool hoverMenuItem(HWND topLevel, int item);
bool closeMenu(HWND topLevel);

// Retrieves and dispatches every message that is waiting, without blocking; stops at
// WM_QUIT, which stays pending. Returns the number of messages dispatched.
int dispatchPending(int limit = 100000);

// What a screen shows.

struct MenuEntry {
    std::string text;
    UINT id = 0;
    bool separator = false;
    bool grayed = false;
    bool checked = false;
    std::vector<MenuEntry> items; // a popup's entries
    bool popup = false;
};

// The menu bar's mode as a screen shows it: whether the menu has the keyboard, which
// top-level item is highlighted, whether its popup is open and which of its items is
// highlighted (-1: none).
struct MenuMode {
    HWND window = nullptr; // null: no menu has the keyboard
    int highlighted = -1;
    bool open = false;
    int item = -1;
};
MenuMode menuMode();

// Whether the top-level window still stands where CW_USEDEFAULT put it: a desktop with a
// window manager lets that place it instead, and reports the place as a move.
bool placedBySystem(HWND topLevel);

// The big icon of the window's class.
HICON classIcon(HWND hwnd);

std::string caption(HWND hwnd);
std::string className(HWND hwnd);
std::vector<MenuEntry> menuBar(HWND topLevel);
std::vector<HWND> children(HWND hwnd);
// The first child (depth first) of the given class, or null.
HWND findChild(HWND parent, const std::string& className);

} // namespace user
} // namespace platform

#endif // _WIN32
