// The menu bar's keyboard mode, as Windows' default window procedure runs it: Alt or F10
// highlights the first item, Down or Return opens its popup, Left and Right move between
// the top-level items, Up and Down between a popup's, Return chooses, and Escape, Alt, F10
// or a click elsewhere leave the mode. While the mode lasts the menu takes the thread's
// keyboard messages as they are retrieved (Windows runs a modal loop for it); once it ends
// every key reaches its window again.
#include "platform/drivers/driver.h"
#include "platform/user32/user32_private.h"

namespace platform::detail {

namespace {

user::MenuMode mode;

// Entries of a menu that the keyboard can land on: everything but separators.
bool selectable(HMENU menu, int index) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(index), TRUE, &info)) return false;
    return !(info.fType & MFT_SEPARATOR);
}

// The next selectable entry from index in direction step (+1 or -1), wrapping; -1 if none.
int nextSelectable(HMENU menu, int index, int step) {
    const int count = GetMenuItemCount(menu);
    if (count <= 0) return -1;
    int at = index;
    for (int i = 0; i < count; i++) {
        at = at < 0 ? (step > 0 ? 0 : count - 1) : (at + step + count) % count;
        if (selectable(menu, at)) return at;
    }
    return -1;
}

HMENU barOf(HWND hwnd) {
    return IsWindow(hwnd) ? GetMenu(hwnd) : nullptr;
}

HMENU openPopup() {
    HMENU bar = barOf(mode.window);
    return bar && mode.open ? GetSubMenu(bar, mode.highlighted) : nullptr;
}

void changed() {
    if (mode.window) displayDriver().menuModeChanged(mode.window);
}

void announceSelection() {
    HMENU bar = barOf(mode.window);
    if (!bar) return;
    HMENU menu = mode.open && mode.item >= 0 ? GetSubMenu(bar, mode.highlighted) : bar;
    const int index = mode.open && mode.item >= 0 ? mode.item : mode.highlighted;
    UINT state = GetMenuState(menu, static_cast<UINT>(index), MF_BYPOSITION);
    UINT id = (state & MF_POPUP) ? static_cast<UINT>(index)
                                 : GetMenuItemID(menu, static_cast<int>(index));
    SendMessageW(mode.window, WM_MENUSELECT, MAKEWPARAM(id, (state & 0xFF) | MF_HILITE),
                 reinterpret_cast<LPARAM>(menu));
}

// Opens the popup of the highlighted top-level item; from the keyboard its first item is
// highlighted, from the mouse none.
void open(bool byKeyboard) {
    HMENU bar = barOf(mode.window);
    HMENU popup = bar ? GetSubMenu(bar, mode.highlighted) : nullptr;
    if (!popup) return;
    SendMessageW(mode.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
                 MAKELPARAM(mode.highlighted, 0));
    if (!mode.window || !IsMenu(popup)) return;
    mode.open = true;
    mode.item = byKeyboard ? nextSelectable(popup, -1, 1) : -1;
    if (mode.item >= 0) announceSelection();
    changed();
}

void moveOnBar(int step) {
    HMENU bar = barOf(mode.window);
    const bool wasOpen = mode.open;
    const int next = nextSelectable(bar, mode.highlighted, step);
    if (next < 0) return;
    mode.highlighted = next;
    mode.open = false;
    mode.item = -1;
    announceSelection();
    // A popup that was open moves along with the highlight.
    if (wasOpen)
        open(true);
    else
        changed();
}

void choose() {
    HMENU popup = openPopup();
    if (!popup || mode.item < 0) return;
    const UINT state = GetMenuState(popup, static_cast<UINT>(mode.item), MF_BYPOSITION);
    if (state & (MF_GRAYED | MF_DISABLED | MF_POPUP | MF_SEPARATOR)) return;
    const HWND hwnd = mode.window;
    const UINT id = GetMenuItemID(popup, mode.item);
    endMenuMode();
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// A key while the menu has the keyboard. Keys it has no use for are taken all the same, as
// Windows' menu loop takes them.
void onKeyDown(UINT vk) {
    switch (vk) {
    case VK_ESCAPE:
    case VK_MENU:
    case VK_F10:
        endMenuMode();
        return;
    case VK_LEFT:
        moveOnBar(-1);
        return;
    case VK_RIGHT:
        moveOnBar(1);
        return;
    case VK_UP:
    case VK_DOWN:
        if (!mode.open) {
            open(true);
        } else if (HMENU popup = openPopup()) {
            const int next = nextSelectable(popup, mode.item, vk == VK_DOWN ? 1 : -1);
            if (next >= 0 && next != mode.item) {
                mode.item = next;
                announceSelection();
                changed();
            }
        }
        return;
    case VK_RETURN:
        if (!mode.open)
            open(true);
        else
            choose();
        return;
    default:
        return;
    }
}

bool startMode(HWND hwnd) {
    if (mode.window == hwnd) return true;
    if (mode.window) endMenuMode();
    HMENU bar = barOf(hwnd);
    if (!bar || !IsWindowEnabled(hwnd)) return false;
    const int first = nextSelectable(bar, -1, 1);
    if (first < 0) return false;
    SendMessageW(hwnd, WM_ENTERMENULOOP, FALSE, 0);
    if (!IsWindow(hwnd) || GetMenu(hwnd) != bar) return false;
    SendMessageW(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    if (!IsWindow(hwnd) || GetMenu(hwnd) != bar) return false;
    mode = user::MenuMode{hwnd, first, false, -1};
    return true;
}

} // namespace

void enterMenuMode(HWND hwnd) {
    if (!startMode(hwnd)) return;
    announceSelection();
    changed();
}

void endMenuMode() {
    const HWND hwnd = mode.window;
    if (!hwnd) return;
    mode = user::MenuMode{};
    if (!IsWindow(hwnd)) return;
    displayDriver().menuModeChanged(hwnd);
    SendMessageW(hwnd, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    if (IsWindow(hwnd)) SendMessageW(hwnd, WM_EXITMENULOOP, FALSE, 0);
}

bool menuModeTakes(const MSG& msg) {
    if (!mode.window) return false;
    if (!IsWindow(mode.window) || !GetMenu(mode.window)) {
        mode = user::MenuMode{};
        return false;
    }
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        onKeyDown(static_cast<UINT>(msg.wParam));
        return true;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
        return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // A click elsewhere ends the mode and still reaches its window.
        endMenuMode();
        return false;
    default:
        return false;
    }
}

void forgetMenuMode(HWND hwnd) {
    if (mode.window == hwnd) mode = user::MenuMode{};
}

KeyboardState& keyboardState() {
    static KeyboardState state;
    return state;
}

} // namespace platform::detail

using namespace platform::detail;

namespace platform::user {

MenuMode menuMode() {
    return mode;
}

bool openMenu(HWND hwnd, int index) {
    HMENU bar = barOf(hwnd);
    if (!bar || index < 0 || index >= GetMenuItemCount(bar) || !GetSubMenu(bar, index))
        return false;
    if (mode.window == hwnd && mode.open && mode.highlighted == index) return true;
    if (!startMode(hwnd)) return false;
    mode.highlighted = index;
    mode.open = false;
    announceSelection();
    open(false);
    return mode.window == hwnd && mode.open;
}

bool hoverMenuItem(HWND hwnd, int item) {
    if (mode.window != hwnd || !mode.open) return false;
    HMENU popup = openPopup();
    if (!popup || item < -1 || item >= GetMenuItemCount(popup)) return false;
    if (item >= 0 && !selectable(popup, item)) item = -1;
    if (item == mode.item) return true;
    mode.item = item;
    if (item >= 0) announceSelection();
    changed();
    return true;
}

bool closeMenu(HWND hwnd) {
    if (mode.window != hwnd) return false;
    endMenuMode();
    return true;
}

} // namespace platform::user
