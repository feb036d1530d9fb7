// The window system shown as page elements: each top-level window is a dialog with its
// caption, its menu bar and its status bar; the page turns the user's clicks, keys and
// drags into the actions the window system takes from a user.
#include "platform/drivers/web/display.h"

#include "platform/drivers/driver.h"
#include "platform/drivers/web/page.h"

#include <string>

namespace platform::web {

namespace {

bool isTopLevel(HWND hwnd) {
    return !(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD);
}

HWND topLevelOf(HWND hwnd) {
    while (hwnd && !isTopLevel(hwnd)) {
        HWND parent = GetParent(hwnd);
        if (!parent) break;
        hwnd = parent;
    }
    return hwnd;
}

void appendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void appendMenu(std::string& out, const std::vector<user::MenuEntry>& entries) {
    out += '[';
    bool first = true;
    for (const auto& e : entries) {
        if (!first) out += ',';
        first = false;
        out += "{\"text\":";
        appendJsonString(out, e.text);
        out += ",\"id\":" + std::to_string(e.id);
        out += e.separator ? ",\"separator\":true" : "";
        out += e.grayed ? ",\"grayed\":true" : "";
        out += e.checked ? ",\"checked\":true" : "";
        if (e.popup) {
            out += ",\"items\":";
            appendMenu(out, e.items);
        }
        out += '}';
    }
    out += ']';
}

} // namespace

void Display::show(HWND hwnd) {
    HWND top = topLevelOf(hwnd);
    if (!top || !IsWindow(top) || !isTopLevel(top)) return;
    RECT r{};
    GetWindowRect(top, &r);
    mt_window_show(reinterpret_cast<uintptr_t>(top), user::caption(top).c_str(), r.right - r.left,
                   r.bottom - r.top, IsWindowVisible(top) != 0);
}

void Display::showMenu(HWND top) {
    std::string json;
    appendMenu(json, user::menuBar(top));
    mt_window_menu(reinterpret_cast<uintptr_t>(top), json.c_str());
}

void Display::showStatus(HWND top) {
    HWND bar = user::findChild(top, "msctls_statusbar32");
    if (!bar) return;
    const bool grip = (GetWindowLongPtrW(bar, GWL_STYLE) & SBARS_SIZEGRIP) != 0;
    mt_window_status(reinterpret_cast<uintptr_t>(top), user::caption(bar).c_str(), grip);
}

void Display::windowCreated(HWND hwnd) {
    if (isTopLevel(hwnd)) {
        show(hwnd);
    } else if (HWND top = topLevelOf(hwnd); top && top != hwnd) {
        showStatus(top);
    }
}

void Display::windowDestroyed(HWND hwnd) {
    if (isTopLevel(hwnd)) mt_window_gone(reinterpret_cast<uintptr_t>(hwnd));
}

void Display::windowMoved(HWND hwnd) {
    if (isTopLevel(hwnd)) show(hwnd);
}

void Display::windowShown(HWND hwnd, bool) {
    HWND top = topLevelOf(hwnd);
    show(top);
    showStatus(top);
}

void Display::windowTextChanged(HWND hwnd) {
    if (isTopLevel(hwnd)) {
        show(hwnd);
    } else {
        showStatus(topLevelOf(hwnd));
    }
}

void Display::menuChanged(HWND hwnd) {
    showMenu(hwnd);
}

void Display::windowInvalidated(HWND hwnd) {
    if (!isTopLevel(hwnd)) showStatus(topLevelOf(hwnd));
}

bool Display::takeActions() {
    bool any = false;
    int32_t a[4];
    while (mt_next_action(a)) {
        any = true;
        HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(a[1])));
        switch (a[0]) {
        case kMenuCommand:
            if (IsWindow(hwnd)) user::chooseMenuItem(hwnd, static_cast<UINT>(a[2]));
            break;
        case kResize:
            if (IsWindow(hwnd)) user::resizeWindow(hwnd, a[2], a[3]);
            break;
        case kClose:
            if (IsWindow(hwnd)) user::clickCloseBox(hwnd);
            break;
        case kAudioEnded:
            audioEnded(a[2]);
            break;
        default:
            break;
        }
    }
    return any;
}

void Display::waitForEvents(std::chrono::milliseconds timeout) {
    if (takeActions()) return;
    const auto ms = timeout.count();
    mt_wait(ms < 0 ? 0 : ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms));
    takeActions();
}

void Display::wake() {
    mt_wake();
}

} // namespace platform::web
