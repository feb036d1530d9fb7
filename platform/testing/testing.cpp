// Scripted input and read-backs for the tests, through the ordinary calls of win32.h.
#include "platform/testing/testing.h"

#include "platform/user32/user32_private.h"

namespace platform {

namespace {

// The deepest visible child of hwnd under p, given in hwnd's client coordinates and turned
// into the child's.
HWND childAt(HWND hwnd, POINT& p) {
    for (;;) {
        HWND hit = nullptr;
        for (HWND child : user::children(hwnd)) {
            if (!(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE)) continue;
            RECT r;
            GetWindowRect(child, &r);
            POINT s = p;
            ClientToScreen(hwnd, &s);
            // Siblings come top of the Z order first; the first under the point wins.
            if (s.x >= r.left && s.x < r.right && s.y >= r.top && s.y < r.bottom) {
                hit = child;
                break;
            }
        }
        if (!hit) return hwnd;
        ClientToScreen(hwnd, &p);
        ScreenToClient(hit, &p);
        hwnd = hit;
    }
}

} // namespace

void setMessageWaitLimit(std::chrono::milliseconds limit) {
    detail::setMessageWaitLimit(limit);
}

size_t pendingMessageCount() {
    return detail::postedMessageCount();
}

bool quitRequested(int* exitCode) {
    return detail::quitPosted(exitCode);
}

namespace user {

bool typeKey(HWND hwnd, UINT vk) {
    return pressKey(hwnd, vk) && releaseKey(hwnd, vk);
}

bool mouseMove(HWND hwnd, int x, int y) {
    if (!IsWindow(hwnd)) return false;
    POINT p{x, y};
    HWND target = childAt(hwnd, p);
    return PostMessageW(target, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y)) != FALSE;
}

bool click(HWND hwnd, int x, int y) {
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return false;
    RECT c;
    GetClientRect(hwnd, &c);
    if (x < 0 || y < 0 || x >= c.right || y >= c.bottom) return false;
    POINT p{x, y};
    HWND target = childAt(hwnd, p);
    if (!IsWindowEnabled(target)) return false;
    LPARAM at = MAKELPARAM(p.x, p.y);
    PostMessageW(target, WM_MOUSEMOVE, 0, at);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(target, WM_LBUTTONUP, 0, at);
    return true;
}

std::vector<HWND> children(HWND hwnd) {
    return detail::childrenOf(hwnd);
}

} // namespace user

namespace headless {

RECT windowRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

RECT clientRect(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return r;
}

bool visible(HWND hwnd) {
    return IsWindowVisible(hwnd) != FALSE;
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> out;
    for (HWND h : detail::allWindows())
        if (IsWindow(h) && !(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) out.push_back(h);
    return out;
}

} // namespace headless
} // namespace platform
