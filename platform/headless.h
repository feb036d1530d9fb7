// The headless display: windows live only in memory. Tests act on them here as a user
// would, and read back what a screen would show.
#pragma once

#ifndef _WIN32

#include "display_driver.h"
#include "win32.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// Services of the window system for drivers and tests.

// GetMessageW gives up with -1 after waiting this long for a message; zero (the default)
// waits for ever, as on Windows. Lets a test of a message loop fail instead of hanging.
void setMessageWaitLimit(std::chrono::milliseconds limit);
// Posted messages not yet retrieved.
size_t pendingMessageCount();
// Whether PostQuitMessage was called and its WM_QUIT not yet retrieved.
bool quitRequested(int* exitCode = nullptr);
// Destroys every window, menu and class and empties the queue, so a test starts afresh.
void resetForTests();

namespace headless {

struct MenuEntry {
    std::string text;
    UINT id = 0;
    bool separator = false;
    bool grayed = false;
    bool checked = false;
    std::vector<MenuEntry> items; // a popup's entries
    bool popup = false;
};

// What the driver has been told, in order, as lines such as "created 0x10008".
std::vector<std::string> events();
void clearEvents();

// User actions. Each returns false (and does nothing) when the window cannot take it.

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

// Retrieves and dispatches every message that is waiting, without blocking; stops at
// WM_QUIT, which stays pending. Returns the number of messages dispatched.
int dispatchPending(int limit = 100000);

// What a screen would show.
std::string caption(HWND hwnd);
std::string className(HWND hwnd);
std::vector<MenuEntry> menuBar(HWND topLevel);
RECT windowRect(HWND hwnd); // screen coordinates
RECT clientRect(HWND hwnd); // from (0, 0)
bool visible(HWND hwnd);
std::vector<HWND> topLevelWindows();
std::vector<HWND> children(HWND hwnd);
// The first child (depth first) of the given class, or null.
HWND findChild(HWND parent, const std::string& className);
// The text a status bar shows in a part; SB_SIMPLEID asks for the simple-mode text.
// Accepts the status bar itself or a window that has one among its children.
std::string statusText(HWND statusBarOrParent, int part = SB_SIMPLEID);
// The text of the tool a tooltip currently shows, empty when it shows none.
std::string tooltipShownText(HWND tooltip);

// The next GetOpenFileNameW answers with this path; without one it is cancelled.
void scriptOpenFileName(const std::string& path);
// The filter strings the last GetOpenFileNameW was given, in order.
std::vector<std::string> lastOpenFileFilters();

} // namespace headless
} // namespace platform

#endif // _WIN32
