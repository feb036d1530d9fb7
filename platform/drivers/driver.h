// The contract between the window system and a driver, and nothing else: what a driver
// implements for the display, the file chooser and the audio output, and what it may call
// back in the window system. The window-system core has no toolkit in it; whatever the user
// sees and hears goes through these interfaces, the way Wine keeps its driver functions
// apart from user32's internals.
//
// Drivers are told what changed on the GUI thread and read back what they show through the
// ordinary calls of win32.h and the few below; only wake() and an audio device's report may
// come from another thread.
#pragma once

#ifndef _WIN32

#include "platform/win32.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The display

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

// The file chooser, behind GetOpenFileNameW

struct OpenFileRequest {
    HWND owner = nullptr;                                     // the dialog is modal to it
    std::vector<std::pair<std::string, std::string>> filters; // display text, patterns
    size_t selectedFilter = 0;                                // index into filters
    std::string title;                                        // empty: the default caption
    std::string initialDirectory;                             // empty: the default
    bool fileMustExist = false;
};

// The patterns of one filter ("*.mml; *.txt"), each trimmed, the empty ones left out.
inline std::vector<std::string> splitFilePatterns(const std::string& patterns) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t stop = patterns.find(';', start);
        if (stop == std::string::npos) stop = patterns.size();
        const size_t first = patterns.find_first_not_of(' ', start);
        if (first != std::string::npos && first < stop) {
            const size_t last = patterns.find_last_not_of(' ', stop - 1);
            out.push_back(patterns.substr(first, last - first + 1));
        }
        start = stop + 1;
    }
    return out;
}

class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual const char* name() const = 0;
    // Shows the dialog and waits for the user; the chosen path in UTF-8, or nothing when
    // the user cancelled. Runs on the GUI thread and may run a modal loop of its own.
    virtual std::optional<std::string> chooseFileToOpen(const OpenFileRequest& request) = 0;
};

// The audio output, behind winmm's wave output: winmm keeps handles, headers, flags and the
// notifications to the window; a device only plays the bytes it is given, in order, on a
// thread of its own, as a sound card plays the buffers queued to it.

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Queues `size` bytes at `data` to be played `times` times over, from the first byte
    // to the last, after the blocks queued before it. The bytes stay valid and unchanged
    // until `finished` has been called or stop() has returned. `finished` is called once,
    // on any thread, when the last play of the block is over, unless stop() came first; it
    // must not call back into the device.
    virtual void play(const uint8_t* data, size_t size, uint32_t times,
                      std::function<void()> finished) = 0;
    void play(const uint8_t* data, size_t size, std::function<void()> finished) {
        play(data, size, 1, std::move(finished));
    }
    // Stops at once and forgets every queued block. When it returns, the device no longer
    // reads their bytes and none of their `finished` will be called.
    virtual void stop() = 0;
    // Bytes played since the device was opened or last stopped: every play heard to its
    // end, and of the one under way what the device knows was heard. A device that loses
    // its output ends its blocks without counting what was not heard.
    virtual uint64_t played() const = 0;
};

class AudioDriver {
public:
    virtual ~AudioDriver() = default;
    virtual const char* name() const = 0;
    // How many output devices there are, for waveOutGetNumDevs; the wave output uses only
    // the default one.
    virtual unsigned deviceCount() const { return 1; }
    // Opens the default output device for the format, or returns null when there is no
    // device or it cannot play the format.
    virtual std::unique_ptr<AudioDevice> open(const WAVEFORMATEX& format) = 0;
};

// The drivers in use, one of each kind. Until a program's driver set installs its own, each
// kind has its headless driver, so the window system, the wave output and the open dialog
// work without a desktop.

DisplayDriver& displayDriver();
AudioDriver& audioDriver();
FileChooser& fileChooser();

// Installs a driver (not owned, must outlive its use); null restores the headless one.
void setDisplayDriver(DisplayDriver* driver);
void setAudioDriver(AudioDriver* driver);
void setFileChooser(FileChooser* chooser);

// What a display driver may call back: the user's actions, turned into the messages Windows
// sends (each returns false, doing nothing, when the window cannot take it), and what a
// screen shows, read back. On the GUI thread.
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
// Clicks the close box: posts WM_SYSCOMMAND with SC_CLOSE, which the default processing
// turns into WM_CLOSE.
bool clickCloseBox(HWND topLevel);

// A key going down or up, as the keyboard reports it: posted to the focus window when it is
// the window or inside it (else to the window itself) as WM_KEYDOWN and WM_KEYUP, or as
// WM_SYSKEYDOWN and WM_SYSKEYUP for F10, for Alt itself and for any key while Alt is held.
bool pressKey(HWND topLevel, UINT vk);
bool releaseKey(HWND topLevel, UINT vk);
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
// The first child (depth first) of the given class, or null.
HWND findChild(HWND parent, const std::string& className);

} // namespace user

// What a display driver reads back from the common controls to show them.
namespace comctl {

// The text a status bar shows in a part; SB_SIMPLEID asks for the simple-mode text.
// Accepts the status bar itself or a window that has one among its children.
std::string statusText(HWND statusBarOrParent, int part = SB_SIMPLEID);
// The text of the tool a tooltip currently shows, empty when it shows none.
std::string tooltipShownText(HWND tooltip);

} // namespace comctl

} // namespace platform

#endif // _WIN32
