// The window system's side of the display drivers: the user's actions turned into the
// messages Windows sends, and what a screen shows read back through the ordinary calls.
#include "platform/drivers/driver.h"
#include "platform/user32/user32_private.h"

#include <algorithm>

namespace platform::detail {

namespace {

// Deeper menus than this are not shown (nor can a menu contain itself that deep).
constexpr int kMenuDepthLimit = 32;
constexpr int kMenuTextLimit = 512;
constexpr int kClassNameLimit = 256;

using user::MenuEntry;

bool isTopLevel(HWND h) {
    return IsWindow(h) && !(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD);
}

void collectMenu(HMENU menu, std::vector<MenuEntry>& out, int depth) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count && depth < kMenuDepthLimit; i++) {
        MenuEntry e;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        WCHAR text[kMenuTextLimit];
        GetMenuStringW(menu, static_cast<UINT>(i), text, kMenuTextLimit, MF_BYPOSITION);
        e.text = toUtf8(text);
        e.id = info.wID;
        e.separator = (info.fType & MFT_SEPARATOR) != 0;
        e.grayed = (info.fState & MFS_GRAYED) != 0;
        e.checked = (info.fState & MFS_CHECKED) != 0;
        if (info.hSubMenu) {
            e.popup = true;
            collectMenu(info.hSubMenu, e.items, depth + 1);
        }
        out.push_back(std::move(e));
    }
}

// The command item with this identifier, searched as a user would reach it.
const MenuEntry* findCommand(const std::vector<MenuEntry>& items, UINT id) {
    for (auto& e : items) {
        if (e.popup) {
            if (auto* found = findCommand(e.items, id)) return found;
        } else if (!e.separator && e.id == id) {
            return &e;
        }
    }
    return nullptr;
}

} // namespace

std::vector<HWND> childrenOf(HWND hwnd) {
    std::vector<HWND> out;
    if (!IsWindow(hwnd)) return out;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        out.push_back(c);
    return out;
}

} // namespace platform::detail

using namespace platform::detail;

namespace platform::user {

bool resizeWindow(HWND hwnd, int width, int height) {
    if (!isTopLevel(hwnd) || width < 0 || height < 0) return false;
    RECT r;
    GetWindowRect(hwnd, &r);
    SendMessageW(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    RECT sizing{r.left, r.top, r.left + width, r.top + height};
    SendMessageW(hwnd, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&sizing));
    if (IsWindow(hwnd))
        SetWindowPos(hwnd, nullptr, sizing.left, sizing.top, sizing.right - sizing.left,
                     sizing.bottom - sizing.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (IsWindow(hwnd)) SendMessageW(hwnd, WM_EXITSIZEMOVE, 0, 0);
    return true;
}

bool moveWindow(HWND hwnd, int x, int y) {
    if (!isTopLevel(hwnd)) return false;
    RECT r;
    GetWindowRect(hwnd, &r);
    SendMessageW(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    RECT moving{x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
    SendMessageW(hwnd, WM_MOVING, 0, reinterpret_cast<LPARAM>(&moving));
    if (IsWindow(hwnd))
        SetWindowPos(hwnd, nullptr, moving.left, moving.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (IsWindow(hwnd)) SendMessageW(hwnd, WM_EXITSIZEMOVE, 0, 0);
    return true;
}

bool chooseMenuItem(HWND hwnd, UINT id) {
    if (!isTopLevel(hwnd) || !IsWindowEnabled(hwnd)) return false;
    auto bar = menuBar(hwnd);
    const MenuEntry* item = findCommand(bar, id);
    if (!item || item->grayed) return false;
    return PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0) != FALSE;
}

bool chooseMenuItem(HWND hwnd, const std::vector<std::string>& path) {
    if (!isTopLevel(hwnd) || path.empty()) return false;
    auto entries = menuBar(hwnd);
    const std::vector<MenuEntry>* level = &entries;
    for (size_t i = 0; i < path.size(); i++) {
        const MenuEntry* found = nullptr;
        for (auto& e : *level)
            if (e.text == path[i]) {
                found = &e;
                break;
            }
        if (!found || found->grayed) return false;
        if (i + 1 == path.size()) {
            if (found->popup || found->separator) return false;
            return PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(found->id, 0), 0) != FALSE;
        }
        if (!found->popup) return false;
        level = &found->items;
    }
    return false;
}

namespace {

bool postKey(HWND hwnd, UINT vk, bool down) {
    if (!isTopLevel(hwnd) || vk == 0 || vk > 0xFE) return false;
    HWND target = GetFocus();
    if (!target || (target != hwnd && !IsChild(hwnd, target))) target = hwnd;
    bool& altHeld = keyboardState().altHeld;
    if (vk == VK_MENU) altHeld = down;
    // Alt counts as held for its own release too.
    const bool alt = altHeld || vk == VK_MENU;
    const bool system = alt || vk == VK_F10;
    LPARAM lParam = 1;
    if (alt) lParam |= kKeyAltDown;
    if (!down) lParam |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
    const UINT message =
        down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    return PostMessageW(target, message, vk, lParam) != FALSE;
}

} // namespace

bool pressKey(HWND hwnd, UINT vk) {
    return postKey(hwnd, vk, true);
}

bool releaseKey(HWND hwnd, UINT vk) {
    return postKey(hwnd, vk, false);
}

bool clickCloseBox(HWND hwnd) {
    if (!isTopLevel(hwnd)) return false;
    if ((GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_SYSMENU) == 0) return false;
    return PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
}

int dispatchPending(int limit) {
    int n = 0;
    MSG msg;
    while (n < limit && PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (msg.message == WM_QUIT) break;
        // The menu may take what was peeked, while it has the keyboard.
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
        if (msg.message == WM_QUIT) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        n++;
    }
    return n;
}

bool placedBySystem(HWND hwnd) {
    const Window* w = findWindow(hwnd);
    return w && w->defaultPosition;
}

HICON classIcon(HWND hwnd) {
    const Window* w = findWindow(hwnd);
    return w ? w->cls->wc.hIcon : nullptr;
}

std::string caption(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::u16string text(static_cast<size_t>(std::max(n, 0)) + 1, u'\0');
    int got = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return toUtf8(text);
}

std::string className(HWND hwnd) {
    WCHAR name[kClassNameLimit];
    int n = GetClassNameW(hwnd, name, kClassNameLimit);
    return toUtf8(std::u16string(name, static_cast<size_t>(n)));
}

std::vector<MenuEntry> menuBar(HWND hwnd) {
    std::vector<MenuEntry> out;
    if (HMENU menu = GetMenu(hwnd)) collectMenu(menu, out, 0);
    return out;
}

HWND findChild(HWND parent, const std::string& cls) {
    std::u16string wanted = foldCase(fromUtf8(cls));
    for (HWND c : childrenOf(parent)) {
        if (foldCase(fromUtf8(className(c))) == wanted) return c;
        if (HWND deeper = findChild(c, cls)) return deeper;
    }
    return nullptr;
}

} // namespace platform::user
