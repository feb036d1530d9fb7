// Keyboard focus and the active window.
#include "platform/user32/user32_private.h"

namespace platform::detail {

// Makes hwnd the active top-level window (null: none), with the messages Windows sends to
// the window losing and the one gaining activation.
void activate(HWND hwnd) {
    auto& reg = registry();
    HWND old = reg.active;
    if (old == hwnd) return;
    reg.active = hwnd;
    if (old && findWindow(old)) {
        send(old, WM_NCACTIVATE, FALSE, 0);
        send(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
        if (!hwnd && findWindow(old)) send(old, WM_ACTIVATEAPP, FALSE, 0);
    }
    if (!hwnd) {
        if (reg.focus) SetFocus(nullptr);
        return;
    }
    if (!old && findWindow(hwnd)) send(hwnd, WM_ACTIVATEAPP, TRUE, 0);
    if (findWindow(hwnd)) send(hwnd, WM_NCACTIVATE, TRUE, 0);
    if (findWindow(hwnd)) send(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
}

} // namespace platform::detail

using namespace platform::detail;

HWND WINAPI GetFocus(void) {
    return registry().focus;
}

HWND WINAPI SetFocus(HWND hwnd) {
    auto& reg = registry();
    HWND old = reg.focus;
    if (hwnd && !windowOrError(hwnd)) return nullptr;
    if (old == hwnd) return old;
    reg.focus = hwnd;
    if (old && findWindow(old)) send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && findWindow(hwnd)) send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND WINAPI GetActiveWindow(void) {
    return registry().active;
}
