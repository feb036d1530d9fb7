// Windows: creation and destruction, the tree of parents, children and owners, and text.
#include "platform/user32/user32_private.h"

#include <algorithm>

namespace platform::detail {

namespace {

// Windows gives a process at most this many window and menu handles; the limit keeps a
// runaway creator from eating memory.
constexpr size_t kUserObjectQuota = 10000;
// Overlapped windows placed by CW_USEDEFAULT step down and right by this much, over this
// many places.
constexpr int kCascadeStep = 26;
constexpr int kCascadePlaces = 8;

void sendDestroy(HWND hwnd) {
    Window* w = findWindow(hwnd);
    if (!w) return;
    w->destroying = true;
    send(hwnd, WM_DESTROY, 0, 0);
    w = findWindow(hwnd);
    if (!w) return;
    std::vector<HWND> children = w->children;
    for (HWND child : children)
        sendDestroy(child);
}

// The checks of CreateWindowExW on the parent; false (with the error set) refuses it.
bool acceptsParent(DWORD style, HWND parent) {
    if (style & WS_CHILD) {
        if (!parent || !findWindow(parent)) {
            SetLastError(parent ? ERROR_INVALID_WINDOW_HANDLE : ERROR_TLW_WITH_WSCHILD);
            return false;
        }
    } else if (parent && !findWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return true;
}

// Default geometry: children get nothing, overlapped windows a cascade position and a size
// of three quarters of the screen.
void applyDefaultGeometry(DWORD style, int& x, int& y, int& cx, int& cy) {
    if (style & (WS_CHILD | WS_POPUP)) {
        if (x == CW_USEDEFAULT) x = y = 0;
        if (cx == CW_USEDEFAULT) cx = cy = 0;
    } else {
        auto& reg = registry();
        if (x == CW_USEDEFAULT) {
            x = y = kCascadeStep * (1 + reg.cascade % kCascadePlaces);
            reg.cascade++;
        }
        if (cx == CW_USEDEFAULT) {
            cx = kScreenWidth * 3 / 4;
            cy = kScreenHeight * 3 / 4;
        }
    }
    cx = std::max(cx, 0);
    cy = std::max(cy, 0);
}

// Enters a new window into the registry and its parent's children, before any message.
HWND addWindow(const std::shared_ptr<WindowClass>& cls, DWORD exStyle, DWORD style, RECT rect,
               HWND parent, HMENU menu, HINSTANCE instance) {
    auto& reg = registry();
    auto owned = std::make_unique<Window>();
    Window* w = owned.get();
    HWND hwnd = makeHandle<HWND>();
    w->handle = hwnd;
    w->cls = cls;
    w->proc = cls->wc.lpfnWndProc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->instance = instance;
    w->extra.assign(static_cast<size_t>(cls->wc.cbWndExtra), 0);
    w->thread = std::this_thread::get_id();
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = reinterpret_cast<UINT_PTR>(menu);
    } else {
        w->owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
        if (w->owner) reg.ownedWindows++;
        w->needSize = !(style & WS_POPUP);
        if (menu && IsMenu(menu)) w->menu = menu;
    }
    w->window = rect;
    w->client = rect;
    cls->windows++;
    {
        std::lock_guard lock(reg.mutex);
        reg.windows[handleKey(hwnd)] = std::move(owned);
    }
    if (w->parent) findWindow(w->parent)->children.push_back(hwnd);
    return hwnd;
}

// WM_NCCREATE, WM_NCCALCSIZE and WM_CREATE; false when the window refused or is gone.
bool sendCreation(HWND hwnd, CREATESTRUCTW& cs) {
    if (!send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        freeWindow(hwnd);
        return false;
    }
    Window* w = findWindow(hwnd);
    if (!w) return false;
    displayDriver().windowCreated(hwnd);

    RECT rc = w->window;
    send(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&rc));
    if (!(w = findWindow(hwnd))) return false;
    rc.right = std::max(rc.right, rc.left);
    rc.bottom = std::max(rc.bottom, rc.top);
    w->client = rc;

    if (send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return false;
    }
    return findWindow(hwnd) != nullptr;
}

// What follows a successful WM_CREATE: the first WM_SIZE and WM_MOVE of windows that are
// not overlapped, and the parent's WM_PARENTNOTIFY.
bool sendCreated(HWND hwnd) {
    Window* w = findWindow(hwnd);
    if (!w->needSize) {
        send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width(w->client), height(w->client)));
        if (!(w = findWindow(hwnd))) return false;
        send(hwnd, WM_MOVE, 0, MAKELPARAM(w->client.left, w->client.top));
        if (!(w = findWindow(hwnd))) return false;
    }
    if ((w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOPARENTNOTIFY))
        send(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, w->id),
             reinterpret_cast<LPARAM>(hwnd));
    return findWindow(hwnd) != nullptr;
}

} // namespace

Registry& registry() {
    // Never destroyed: as on Windows, a program may end with windows open, and the state
    // their controls keep stays theirs until the process is gone.
    static auto* r = new Registry;
    return *r;
}

LONG clampInt(long long v) {
    return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN / 2, INT32_MAX / 2));
}

void freeWindow(HWND hwnd) {
    Window* w = findWindow(hwnd);
    if (!w) return;
    w->destroying = true;
    std::vector<HWND> children = w->children;
    for (HWND child : children)
        freeWindow(child);
    if (!findWindow(hwnd)) return;
    send(hwnd, WM_NCDESTROY, 0, 0);
    w = findWindow(hwnd);
    if (!w) return;
    displayDriver().windowDestroyed(hwnd);
    if (w->parent) {
        if (Window* parent = findWindow(w->parent)) {
            auto& siblings = parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
        }
    }
    HMENU menu = hasMenuBar(w) ? w->menu : nullptr;
    w->cls->windows--;
    auto& reg = registry();
    if (!(w->style & WS_CHILD) && w->owner) reg.ownedWindows--;
    if (reg.focus == hwnd) reg.focus = nullptr;
    if (reg.active == hwnd) reg.active = nullptr;
    discardMessagesFor(hwnd);
    forgetMenuMode(hwnd);
    {
        std::lock_guard lock(reg.mutex);
        reg.windows.erase(handleKey(hwnd));
    }
    if (menu) DestroyMenu(menu);
}

Window* findWindow(HWND hwnd) {
    auto& windows = registry().windows;
    auto it = windows.find(handleKey(hwnd));
    return it == windows.end() ? nullptr : it->second.get();
}

bool isLiveWindow(HWND hwnd) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    return reg.windows.count(handleKey(hwnd)) != 0;
}

std::thread::id windowThread(HWND hwnd) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.windows.find(handleKey(hwnd));
    return it == reg.windows.end() ? std::thread::id{} : it->second->thread;
}

std::vector<HWND> allWindows() {
    std::vector<HWND> result;
    for (auto& [key, w] : registry().windows)
        result.push_back(w->handle);
    return result;
}

HMENU windowMenu(HWND hwnd) {
    Window* w = findWindow(hwnd);
    return w && hasMenuBar(w) ? w->menu : nullptr;
}

Window* windowOrError(HWND hwnd) {
    Window* w = findWindow(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

} // namespace platform::detail

using namespace platform::detail;

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                            int x, int y, int cx, int cy, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    auto cls = findClass(className);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent == HWND_MESSAGE) parent = nullptr;
    if (!acceptsParent(style, parent)) return nullptr;

    // An overlapped window always has a caption; it is what makes it overlapped.
    if (!(style & (WS_CHILD | WS_POPUP))) style |= WS_CLIPSIBLINGS | WS_CAPTION;
    if ((style & WS_THICKFRAME) || (style & WS_DLGFRAME)) exStyle |= WS_EX_WINDOWEDGE;
    if (registry().windows.size() >= kUserObjectQuota) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return nullptr;
    }
    const bool defaultPosition = x == CW_USEDEFAULT && !(style & (WS_CHILD | WS_POPUP));
    applyDefaultGeometry(style, x, y, cx, cy);
    RECT rect{clampInt(x), clampInt(y), clampInt(static_cast<long long>(x) + cx),
              clampInt(static_cast<long long>(y) + cy)};
    HWND hwnd = addWindow(cls, exStyle, style, rect, parent, menu, instance);
    if (Window* added = findWindow(hwnd)) added->defaultPosition = defaultPosition;

    CREATESTRUCTW cs{param,      instance,  menu,   parent, cy, cx, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (wantsMinMax(style)) {
        clampToTrackSize(hwnd, cx, cy);
        Window* w = findWindow(hwnd);
        if (!w) return nullptr;
        cs.cx = cx;
        cs.cy = cy;
        w->window.right = clampInt(static_cast<long long>(w->window.left) + cx);
        w->window.bottom = clampInt(static_cast<long long>(w->window.top) + cy);
        w->client = w->window;
    }
    if (!sendCreation(hwnd, cs) || !sendCreated(hwnd)) return nullptr;
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return findWindow(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    if (w->destroying) return TRUE;
    if ((w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOPARENTNOTIFY) && w->parent) {
        send(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, w->id),
             reinterpret_cast<LPARAM>(hwnd));
        if (!(w = findWindow(hwnd)) || w->destroying) return TRUE;
    }
    if (w->style & WS_VISIBLE) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (!(w = findWindow(hwnd)) || w->destroying) return TRUE;
    }
    if (registry().active == hwnd) {
        activate(nullptr);
        if (!(w = findWindow(hwnd)) || w->destroying) return TRUE;
    }
    // Owned windows (tooltips, dialogs) go before their owner, as on Windows.
    if (!(w->style & WS_CHILD) && registry().ownedWindows > 0) {
        std::vector<HWND> ownedWindows;
        for (auto& [key, other] : registry().windows)
            if (other->owner == hwnd && !other->destroying) ownedWindows.push_back(other->handle);
        for (HWND o : ownedWindows)
            DestroyWindow(o);
    }
    if (!findWindow(hwnd)) return TRUE;
    sendDestroy(hwnd);
    freeWindow(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    return findWindow(hwnd) != nullptr;
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    Window* w = findWindow(hwnd);
    while (w) {
        if (!(w->style & WS_VISIBLE)) return FALSE;
        if (!(w->style & WS_CHILD)) return TRUE;
        w = findWindow(w->parent);
    }
    return FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    Window* w = findWindow(hwnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable && wasDisabled) {
        w->style &= ~WS_DISABLED;
        send(hwnd, WM_ENABLE, TRUE, 0);
    } else if (!enable && !wasDisabled) {
        w->style |= WS_DISABLED;
        send(hwnd, WM_ENABLE, FALSE, 0);
    }
    return wasDisabled;
}

BOOL WINAPI IsChild(HWND parent, HWND hwnd) {
    Window* w = findWindow(hwnd);
    while (w && (w->style & WS_CHILD)) {
        if (w->parent == parent) return TRUE;
        w = findWindow(w->parent);
    }
    return FALSE;
}

HWND WINAPI GetParent(HWND hwnd) {
    Window* w = windowOrError(hwnd);
    if (!w) return nullptr;
    if (w->style & WS_CHILD) return w->parent;
    if (w->style & WS_POPUP) return w->owner;
    return nullptr;
}

HWND WINAPI SetParent(HWND child, HWND newParent) {
    Window* w = windowOrError(child);
    if (!w || (newParent && !findWindow(newParent)) || newParent == child ||
        IsChild(child, newParent)) {
        if (w) SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND old = (w->style & WS_CHILD) ? w->parent : nullptr;
    RECT screen;
    GetWindowRect(child, &screen);
    if (old) {
        auto& siblings = findWindow(old)->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), child), siblings.end());
    }
    int dx = w->client.left - w->window.left, dy = w->client.top - w->window.top;
    if (newParent) {
        w->style |= WS_CHILD;
        w->parent = newParent;
        findWindow(newParent)->children.push_back(child);
    } else {
        w->style &= ~WS_CHILD;
        w->parent = nullptr;
    }
    // The window keeps its place on the screen.
    POINT p{screen.left, screen.top};
    if (newParent) ScreenToClient(newParent, &p);
    int cw = width(w->window), ch = height(w->window);
    int ccw = width(w->client), cch = height(w->client);
    w->window = {p.x, p.y, p.x + cw, p.y + ch};
    w->client = {p.x + dx, p.y + dy, p.x + dx + ccw, p.y + dy + cch};
    displayDriver().windowMoved(child);
    return old ? old : GetDesktopWindow();
}

HWND WINAPI GetAncestor(HWND hwnd, UINT flags) {
    Window* w = windowOrError(hwnd);
    if (!w) return nullptr;
    switch (flags) {
    case GA_PARENT:
        return (w->style & WS_CHILD) ? w->parent : GetDesktopWindow();
    case GA_ROOT:
    case GA_ROOTOWNER: {
        while ((w->style & WS_CHILD) && findWindow(w->parent))
            w = findWindow(w->parent);
        if (flags == GA_ROOTOWNER)
            while (w->owner && findWindow(w->owner))
                w = findWindow(w->owner);
        return w->handle;
    }
    default:
        return nullptr;
    }
}

HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
    Window* w = windowOrError(hwnd);
    if (!w) return nullptr;
    if (cmd == GW_OWNER) return (w->style & WS_CHILD) ? nullptr : w->owner;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (!(w->style & WS_CHILD)) return nullptr;
    auto& siblings = findWindow(w->parent)->children;
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    switch (cmd) {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return it + 1 == siblings.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV:
        return it == siblings.begin() ? nullptr : *(it - 1);
    default:
        SetLastError(ERROR_INVALID_GW_COMMAND);
        return nullptr;
    }
}

HWND WINAPI GetDesktopWindow(void) {
    // A fixed value outside the counter's range: it names the screen, not a window of ours.
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x00010000));
}

HWND WINAPI GetDlgItem(HWND parent, int id) {
    Window* w = windowOrError(parent);
    if (!w) return nullptr;
    for (HWND child : w->children)
        if (findWindow(child)->id == static_cast<UINT_PTR>(id)) return child;
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
    Window* w = windowOrError(hwnd);
    return w && (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    auto cls = className ? findClass(className) : nullptr;
    if (className && !cls) return nullptr;
    for (auto& [key, w] : registry().windows) {
        if (w->style & WS_CHILD) continue;
        if (cls && w->cls != cls) continue;
        if (windowName && w->text != copyString(windowName)) continue;
        return w->handle;
    }
    return nullptr;
}

BOOL WINAPI SetWindowTextW(HWND hwnd, LPCWSTR text) {
    if (!windowOrError(hwnd)) return FALSE;
    return send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    buffer[0] = 0;
    if (!windowOrError(hwnd)) return 0;
    return static_cast<int>(
        send(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthW(HWND hwnd) {
    if (!windowOrError(hwnd)) return 0;
    return static_cast<int>(send(hwnd, WM_GETTEXTLENGTH, 0, 0));
}
