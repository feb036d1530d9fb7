// Shared between the implementation files of the platform layer; not for its users.
#pragma once

#include "display_driver.h"
#include "win32.h"

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace platform::detail {

using platform::displayDriver;

// Every handle the layer gives out comes from this one counter, so no two objects of any
// kind share a value and a value is never reused within the process.
uintptr_t newHandleValue();

template <typename H> H makeHandle() {
    return reinterpret_cast<H>(newHandleValue());
}
template <typename H> uintptr_t handleKey(H h) {
    return reinterpret_cast<uintptr_t>(h);
}

std::u16string copyString(LPCWSTR text);
std::u16string foldCase(const std::u16string& text);
std::string toUtf8(const std::u16string& text);
std::u16string fromUtf8(const std::string& text);
// Copies text into a caller's buffer of maxCount units, always terminated; returns the units
// copied without the terminator.
int copyToBuffer(const std::u16string& text, LPWSTR buffer, int maxCount);

struct Window;
Window* findWindow(HWND hwnd);
HMENU windowMenu(HWND hwnd);
std::vector<HWND> allWindows();
// Safe from any thread.
bool isLiveWindow(HWND hwnd);
std::thread::id windowThread(HWND hwnd);

// Painting state, for the message queue.
HWND findWindowToPaint(HWND filter);
void validateWindow(HWND hwnd);
bool isInvalidated(HWND hwnd);

// Drops queued messages of a window that is going away.
void discardMessagesFor(HWND hwnd);

// Non-client frame of a window with these styles, as the thickness of each edge.
RECT frameInsets(DWORD style, DWORD exStyle, bool hasMenu);

// Menus, for the window code.
bool menuTreeContains(HMENU root, HMENU menu);
void notifyMenuChanged(HMENU menu);
// A destroyed menu no longer belongs to any window.
void forgetMenu(HMENU menu);

// The common controls register their classes lazily, when a window of an unknown class is
// asked for, just as when the library is loaded on Windows.
void registerCommonControlClasses();

// Clearing everything between tests.
void resetWindows();
void resetMessages();
void resetMenus();
void resetGdi();
void resetControls();
void resetDialogs();

} // namespace platform::detail
