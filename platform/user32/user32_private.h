// What the files of user32 share, and its calls for the other DLLs of the platform layer;
// not for its users.
#pragma once

#include "platform/common/geometry.h"
#include "platform/common/handles.h"
#include "platform/common/unicode.h"
#include "platform/drivers/driver.h"
#include "platform/win32.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::detail {

using platform::displayDriver;

// The screen and the frame metrics of the classic theme.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kCaption = 19;
constexpr int kSmallCaption = 15;
constexpr int kMenuBar = 19;
constexpr int kThickFrame = 4;
constexpr int kDialogFrame = 3;
constexpr int kEdge = 2;

// The context code of a key message: set while Alt is held.
constexpr LPARAM kKeyAltDown = 1 << 29;

// SetWindowPos reports to WM_WINDOWPOSCHANGED whether the client area moved or changed size,
// so the default processing can send WM_MOVE and WM_SIZE only when they did.
constexpr UINT kNoClientSize = 0x0800;
constexpr UINT kNoClientMove = 0x1000;

// Atoms of registered classes start here, above the integer resources.
constexpr ATOM kFirstClassAtom = 0xC000;

struct WindowClass {
    std::u16string name;
    std::u16string key;
    ATOM atom = 0;
    WNDCLASSEXW wc{};
    int windows = 0;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr; // the parent of a child window
    HWND owner = nullptr;  // the owner of a top-level window
    UINT_PTR id = 0;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    RECT window{}; // in the parent's client coordinates; screen coordinates at the top level
    RECT client{}; // same coordinates as window
    std::u16string text;
    std::vector<HWND> children;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;
    bool destroying = false;
    bool invalid = false;
    bool erase = false;
    // An overlapped window hears its first WM_SIZE and WM_MOVE when it is first shown.
    bool needSize = false;
    // Created at CW_USEDEFAULT and not moved since: a desktop may place it where it likes.
    bool defaultPosition = false;
    std::thread::id thread;
};

struct Registry {
    std::mutex mutex; // guards the map's structure for PostMessageW from other threads
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM nextAtom = kFirstClassAtom;
    int cascade = 0;
    HWND focus = nullptr;
    HWND active = nullptr;
    int ownedWindows = 0; // windows with an owner, so most destructions need not look
};

Registry& registry();

// Coordinates kept well inside 32 bits, so sums of them cannot overflow.
LONG clampInt(long long v);

inline LRESULT send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(hwnd, message, wParam, lParam);
}

// Windows (win.cpp)
Window* findWindow(HWND hwnd);
// The window, or null with ERROR_INVALID_WINDOW_HANDLE.
Window* windowOrError(HWND hwnd);
std::vector<HWND> allWindows();
// Safe from any thread.
bool isLiveWindow(HWND hwnd);
std::thread::id windowThread(HWND hwnd);
inline bool hasMenuBar(const Window* w) {
    return !(w->style & WS_CHILD) && w->menu;
}
HMENU windowMenu(HWND hwnd);
// Frees a window and its children after WM_NCDESTROY, without WM_DESTROY.
void freeWindow(HWND hwnd);

// Classes (class.cpp)
std::shared_ptr<WindowClass> findClass(LPCWSTR name);

// The window's children, top of the Z order first (window_system.cpp).
std::vector<HWND> childrenOf(HWND hwnd);

// Focus and activation (focus.cpp)
// Makes hwnd the active top-level window (null: none), with the messages Windows sends to
// the window losing and the one gaining activation.
void activate(HWND hwnd);

// Geometry (winpos.cpp)
// The window's client origin in screen coordinates.
POINT clientOrigin(const Window* w);
// Non-client frame of a window with these styles, as the thickness of each edge.
RECT frameInsets(DWORD style, DWORD exStyle, bool hasMenu);
// Whether the window's size is held between its minimum and maximum tracking sizes.
bool wantsMinMax(DWORD style);
// Asks the window (WM_GETMINMAXINFO) and holds cx and cy within what it answers.
void clampToTrackSize(HWND hwnd, int& cx, int& cy);
// WM_MOVE and WM_SIZE for what WM_WINDOWPOSCHANGED reports moved or resized.
void sendSizeAndMove(HWND hwnd, const WINDOWPOS* wp);

// Painting (painting.cpp)
void invalidate(Window* w, bool erase);
HWND findWindowToPaint(HWND filter);
void validateWindow(HWND hwnd);
bool isInvalidated(HWND hwnd);

// Messages (message.cpp)
// Drops queued messages of a window that is going away.
void discardMessagesFor(HWND hwnd);

// Menus (menu.cpp)
bool menuTreeContains(HMENU root, HMENU menu);
void notifyMenuChanged(HMENU menu);
// A destroyed menu no longer belongs to any window.
void forgetMenu(HMENU menu);

// The menu bar's keyboard mode (menu_mode.cpp)
// Highlights the first item of the window's menu bar and gives the menu the keyboard.
void enterMenuMode(HWND hwnd);
void endMenuMode();
// Whether the menu, while it has the keyboard, takes this message just retrieved (it then
// never reaches its window).
bool menuModeTakes(const MSG& msg);
void forgetMenuMode(HWND hwnd);
// What the keyboard has down that the messages depend on: Alt for the system keys, and
// whether Alt or F10 went down with no other key since (its release enters the mode).
struct KeyboardState {
    bool altHeld = false;
    bool menuKeyAlone = false;
};
KeyboardState& keyboardState();

// The queue as a test looks at it (message.cpp): GetMessageW gives up with -1 after waiting
// `limit` (zero: never); the posted messages not yet retrieved; a pending WM_QUIT.
void setMessageWaitLimit(std::chrono::milliseconds limit);
size_t postedMessageCount();
bool quitPosted(int* exitCode);

} // namespace platform::detail
