// Window classes, windows, their procedures, geometry and destruction.
#include "internal.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace platform::detail {

namespace {

// SetWindowPos reports to WM_WINDOWPOSCHANGED whether the client area moved or changed size,
// so the default processing can send WM_MOVE and WM_SIZE only when they did.
constexpr UINT kNoClientSize = 0x0800;
constexpr UINT kNoClientMove = 0x1000;

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kCaption = 19;
constexpr int kSmallCaption = 15;
constexpr int kMenuBar = 19;
constexpr int kThickFrame = 4;
constexpr int kDialogFrame = 3;
constexpr int kEdge = 2;
constexpr size_t kUserObjectQuota = 10000;
constexpr DWORD kNotEnoughQuota = 1816; // ERROR_NOT_ENOUGH_QUOTA

struct WindowClass {
    std::u16string name;
    std::u16string key;
    ATOM atom = 0;
    WNDCLASSEXW wc{};
    int windows = 0;
};

} // namespace

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
    std::thread::id thread;
};

namespace {

struct Registry {
    std::mutex mutex; // guards the map's structure for PostMessageW from other threads
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM nextAtom = 0xC000;
    int cascade = 0;
    HWND focus = nullptr;
    HWND active = nullptr;
    int ownedWindows = 0; // windows with an owner, so most destructions need not look
};

Registry& registry() {
    static Registry r;
    return r;
}

thread_local DWORD lastError = 0;

int width(const RECT& r) {
    return r.right - r.left;
}
int height(const RECT& r) {
    return r.bottom - r.top;
}

std::shared_ptr<WindowClass> findClass(LPCWSTR name) {
    if (!name) return nullptr;
    auto& classes = registry().classes;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (auto& c : classes)
            if (c->atom == atom) return c;
        return nullptr;
    }
    std::u16string key = foldCase(copyString(name));
    for (auto& c : classes)
        if (c->key == key) return c;
    return nullptr;
}

LONG clampInt(long long v) {
    return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN / 2, INT32_MAX / 2));
}

// The window's client origin in screen coordinates.
POINT clientOrigin(const Window* w) {
    POINT p{w->client.left, w->client.top};
    if ((w->style & WS_CHILD) && w->parent) {
        if (const Window* parent = findWindow(w->parent)) {
            POINT o = clientOrigin(parent);
            p.x += o.x;
            p.y += o.y;
        }
    }
    return p;
}

bool hasMenuBar(const Window* w) {
    return !(w->style & WS_CHILD) && w->menu;
}

void invalidate(Window* w, bool erase) {
    w->invalid = true;
    w->erase = w->erase || erase;
    displayDriver().windowInvalidated(w->handle);
}

LRESULT send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(hwnd, message, wParam, lParam);
}

void fillMinMaxInfo(MINMAXINFO& info, const Window* w) {
    RECT frame = frameInsets(w->style, w->exStyle, false);
    info.ptMaxSize = {kScreenWidth + frame.left + frame.right,
                      kScreenHeight + frame.top + frame.bottom};
    info.ptMaxPosition = {-frame.left, -frame.top};
    info.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    info.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
}

bool wantsMinMax(DWORD style) {
    return (style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD));
}

void applyMinMax(HWND hwnd, int& cx, int& cy) {
    Window* w = findWindow(hwnd);
    if (!w || !wantsMinMax(w->style)) return;
    MINMAXINFO info{};
    fillMinMaxInfo(info, w);
    send(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    cx = std::clamp<int>(cx, std::min(info.ptMinTrackSize.x, info.ptMaxTrackSize.x),
                         info.ptMaxTrackSize.x);
    cy = std::clamp<int>(cy, std::min(info.ptMinTrackSize.y, info.ptMaxTrackSize.y),
                         info.ptMaxTrackSize.y);
}

void freeWindow(HWND hwnd);

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
    {
        std::lock_guard lock(reg.mutex);
        reg.windows.erase(handleKey(hwnd));
    }
    if (menu) DestroyMenu(menu);
}

} // namespace

uintptr_t newHandleValue() {
    static std::atomic<uintptr_t> next{0x00010004};
    return next.fetch_add(4);
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

bool isInvalidated(HWND hwnd) {
    Window* w = findWindow(hwnd);
    return w && w->invalid;
}

HWND findWindowToPaint(HWND filter) {
    for (auto& [key, w] : registry().windows) {
        if (!w->invalid || w->destroying || !IsWindowVisible(w->handle)) continue;
        if (filter && filter != w->handle) continue;
        if (w->thread != std::this_thread::get_id()) continue;
        return w->handle;
    }
    return nullptr;
}

void validateWindow(HWND hwnd) {
    if (Window* w = findWindow(hwnd)) w->invalid = w->erase = false;
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

RECT frameInsets(DWORD style, DWORD exStyle, bool hasMenu) {
    RECT shown;
    if (displayDriver().frameInsets(style, exStyle, hasMenu, shown)) return shown;
    int frame = 0;
    bool dialogFrame =
        (exStyle & WS_EX_DLGMODALFRAME) || ((style & WS_DLGFRAME) && !(style & WS_THICKFRAME));
    bool thickFrame = (style & WS_THICKFRAME) && (style & (WS_DLGFRAME | WS_BORDER)) != WS_DLGFRAME;
    if (thickFrame)
        frame = kThickFrame;
    else if (dialogFrame)
        frame = kDialogFrame;
    else if ((style & WS_BORDER) || !(style & (WS_CHILD | WS_POPUP)))
        frame = 1;
    if ((exStyle & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME)) == WS_EX_STATICEDGE) frame++;
    RECT r{frame, frame, frame, frame};
    if ((style & WS_CAPTION) == WS_CAPTION)
        r.top += (exStyle & WS_EX_TOOLWINDOW) ? kSmallCaption : kCaption;
    if (hasMenu) r.top += kMenuBar;
    if (exStyle & WS_EX_CLIENTEDGE) {
        r.left += kEdge;
        r.top += kEdge;
        r.right += kEdge;
        r.bottom += kEdge;
    }
    return r;
}

void resetWindows() {
    auto& reg = registry();
    std::vector<HWND> tops;
    for (auto& [key, w] : reg.windows)
        if (!(w->style & WS_CHILD)) tops.push_back(w->handle);
    for (HWND top : tops)
        if (findWindow(top)) DestroyWindow(top);
    std::lock_guard lock(reg.mutex);
    reg.windows.clear();
    reg.classes.clear();
    reg.nextAtom = 0xC000;
    reg.cascade = 0;
    reg.focus = nullptr;
    reg.active = nullptr;
    reg.ownedWindows = 0;
}

} // namespace platform::detail

using namespace platform::detail;

// ---------------------------------------------------------------------------------------------
// Errors

DWORD WINAPI GetLastError(void) {
    return lastError;
}
void WINAPI SetLastError(DWORD error) {
    lastError = error;
}

static Window* windowOrError(HWND hwnd) {
    Window* w = findWindow(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

// ---------------------------------------------------------------------------------------------
// Classes

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpszClassName || wc->cbClsExtra < 0 ||
        wc->cbWndExtra < 0 || wc->cbWndExtra > 40 * 1024) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!IS_INTRESOURCE(wc->lpszClassName) && wc->lpszClassName[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (IS_INTRESOURCE(wc->lpszClassName) || findClass(wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto& reg = registry();
    auto cls = std::make_shared<WindowClass>();
    cls->name = copyString(wc->lpszClassName);
    cls->key = foldCase(cls->name);
    cls->atom = reg.nextAtom++;
    cls->wc = *wc;
    cls->wc.lpszClassName = nullptr; // the caller's storage may go away
    cls->wc.lpszMenuName = nullptr;
    reg.classes.push_back(cls);
    return cls->atom;
}

ATOM WINAPI RegisterClassW(const WNDCLASSW* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXW ex{sizeof(WNDCLASSEXW), wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,      wc->hInstance,    wc->hIcon,         wc->hCursor,
                   wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExW(&ex);
}

BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE) {
    auto cls = findClass(className);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (cls->windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    auto& classes = registry().classes;
    classes.erase(std::remove(classes.begin(), classes.end(), cls), classes.end());
    return TRUE;
}

BOOL WINAPI GetClassInfoExW(HINSTANCE, LPCWSTR className, WNDCLASSEXW* wc) {
    auto cls = findClass(className);
    if (!cls) registerCommonControlClasses(), cls = findClass(className);
    if (!cls || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *wc = cls->wc;
    wc->lpszClassName = className;
    return cls->atom;
}

int WINAPI GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount) {
    Window* w = windowOrError(hwnd);
    if (!w) return 0;
    return copyToBuffer(w->cls->name, buffer, maxCount);
}

// ---------------------------------------------------------------------------------------------
// Creation and destruction

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                            int x, int y, int cx, int cy, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    auto cls = findClass(className);
    if (!cls) {
        registerCommonControlClasses();
        cls = findClass(className);
    }
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent == HWND_MESSAGE) parent = nullptr;
    if (style & WS_CHILD) {
        if (!parent || !findWindow(parent)) {
            SetLastError(parent ? ERROR_INVALID_WINDOW_HANDLE : 1406 /*ERROR_TLW_WITH_WSCHILD*/);
            return nullptr;
        }
    } else if (parent && !findWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }

    // An overlapped window always has a caption; it is what makes it overlapped.
    if (!(style & (WS_CHILD | WS_POPUP))) style |= WS_CLIPSIBLINGS | WS_CAPTION;
    if ((style & WS_THICKFRAME) || (style & WS_DLGFRAME)) exStyle |= WS_EX_WINDOWEDGE;

    // Windows gives a process at most this many window and menu handles; the limit keeps
    // a runaway creator from eating memory.
    if (registry().windows.size() >= kUserObjectQuota) {
        SetLastError(kNotEnoughQuota);
        return nullptr;
    }

    // Default geometry: children get nothing, overlapped windows a cascade position and a
    // size of three quarters of the screen.
    auto& reg = registry();
    if (style & (WS_CHILD | WS_POPUP)) {
        if (x == CW_USEDEFAULT) x = y = 0;
        if (cx == CW_USEDEFAULT) cx = cy = 0;
    } else {
        if (x == CW_USEDEFAULT) {
            x = y = 26 * (1 + reg.cascade % 8);
            reg.cascade++;
        }
        if (cx == CW_USEDEFAULT) {
            cx = kScreenWidth * 3 / 4;
            cy = kScreenHeight * 3 / 4;
        }
    }
    cx = std::max(cx, 0);
    cy = std::max(cy, 0);

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
    w->window = {clampInt(x), clampInt(y), clampInt(static_cast<long long>(x) + cx),
                 clampInt(static_cast<long long>(y) + cy)};
    w->client = w->window;
    cls->windows++;
    {
        std::lock_guard lock(reg.mutex);
        reg.windows[handleKey(hwnd)] = std::move(owned);
    }
    if (w->parent) findWindow(w->parent)->children.push_back(hwnd);

    CREATESTRUCTW cs{param,      instance,  menu,   parent, cy, cx, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};

    if (wantsMinMax(style)) {
        applyMinMax(hwnd, cx, cy);
        if (!(w = findWindow(hwnd))) return nullptr;
        cs.cx = cx;
        cs.cy = cy;
        w->window.right = clampInt(static_cast<long long>(w->window.left) + cx);
        w->window.bottom = clampInt(static_cast<long long>(w->window.top) + cy);
        w->client = w->window;
    }

    if (!send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        freeWindow(hwnd);
        return nullptr;
    }
    if (!(w = findWindow(hwnd))) return nullptr;
    displayDriver().windowCreated(hwnd);

    RECT rc = w->window;
    send(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&rc));
    if (!(w = findWindow(hwnd))) return nullptr;
    rc.right = std::max(rc.right, rc.left);
    rc.bottom = std::max(rc.bottom, rc.top);
    w->client = rc;

    if (send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!(w = findWindow(hwnd))) return nullptr;

    if (!w->needSize) {
        send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width(w->client), height(w->client)));
        if (!(w = findWindow(hwnd))) return nullptr;
        send(hwnd, WM_MOVE, 0, MAKELPARAM(w->client.left, w->client.top));
        if (!(w = findWindow(hwnd))) return nullptr;
    }

    if ((w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOPARENTNOTIFY))
        send(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, w->id),
             reinterpret_cast<LPARAM>(hwnd));
    if (!findWindow(hwnd)) return nullptr;

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

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    bool wasVisible = (w->style & WS_VISIBLE) != 0;
    bool show = cmdShow != SW_HIDE && cmdShow != SW_MINIMIZE;
    if (show == wasVisible) return wasVisible;
    send(hwnd, WM_SHOWWINDOW, show, 0);
    if (!(w = findWindow(hwnd))) return wasVisible;
    bool activates = show && !(w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOACTIVATE) &&
                     cmdShow != SW_SHOWNA && cmdShow != SW_SHOWNOACTIVATE &&
                     cmdShow != SW_SHOWMINNOACTIVE;
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW) | SWP_NOSIZE | SWP_NOMOVE |
                     (activates ? 0 : SWP_NOZORDER | SWP_NOACTIVATE));
    if (!(w = findWindow(hwnd))) return wasVisible;
    if (show && w->needSize) {
        w->needSize = false;
        send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width(w->client), height(w->client)));
        if ((w = findWindow(hwnd)))
            send(hwnd, WM_MOVE, 0, MAKELPARAM(w->client.left, w->client.top));
    }
    return wasVisible;
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

// ---------------------------------------------------------------------------------------------
// Window data and procedures

LONG_PTR WINAPI GetWindowLongPtrW(HWND hwnd, int index) {
    Window* w = windowOrError(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
    case GWLP_ID:
        return (w->style & WS_CHILD) ? static_cast<LONG_PTR>(w->id)
                                     : reinterpret_cast<LONG_PTR>(w->menu);
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWLP_USERDATA:
        return w->userData;
    default:
        if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        LONG_PTR value;
        std::memcpy(&value, w->extra.data() + index, sizeof value);
        return value;
    }
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    Window* w = windowOrError(hwnd);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrW(hwnd, index);
    switch (index) {
    case GWLP_WNDPROC:
        w->proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWLP_HINSTANCE:
        w->instance = reinterpret_cast<HINSTANCE>(value);
        break;
    case GWLP_HWNDPARENT:
        if (w->style & WS_CHILD)
            SetParent(hwnd, reinterpret_cast<HWND>(value));
        else
            w->owner = reinterpret_cast<HWND>(value);
        break;
    case GWLP_ID:
        if (w->style & WS_CHILD)
            w->id = static_cast<UINT_PTR>(value);
        else
            w->menu = reinterpret_cast<HMENU>(value);
        break;
    case GWL_STYLE:
    case GWL_EXSTYLE: {
        STYLESTRUCT ss{static_cast<DWORD>(old), static_cast<DWORD>(value)};
        send(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
        if (!(w = findWindow(hwnd))) return 0;
        if (index == GWL_STYLE) {
            // Visibility changes only through ShowWindow and SetWindowPos.
            w->style = (ss.styleNew & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
        } else {
            w->exStyle = ss.styleNew;
        }
        send(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
        break;
    }
    case GWLP_USERDATA:
        w->userData = value;
        break;
    default:
        if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        break;
    }
    return old;
}

LONG WINAPI GetWindowLongW(HWND hwnd, int index) {
    if (index >= 0) {
        Window* w = windowOrError(hwnd);
        if (!w) return 0;
        if (static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        LONG value;
        std::memcpy(&value, w->extra.data() + index, sizeof value);
        return value;
    }
    return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}

LONG WINAPI SetWindowLongW(HWND hwnd, int index, LONG value) {
    if (index >= 0) {
        Window* w = windowOrError(hwnd);
        if (!w) return 0;
        if (static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        LONG old;
        std::memcpy(&old, w->extra.data() + index, sizeof old);
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        return old;
    }
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam,
                               LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

// ---------------------------------------------------------------------------------------------
// Default processing

static void sendSizeAndMove(HWND hwnd, const WINDOWPOS* wp) {
    Window* w = findWindow(hwnd);
    if (!w) return;
    if (!(wp->flags & kNoClientMove)) {
        send(hwnd, WM_MOVE, 0, MAKELPARAM(w->client.left, w->client.top));
        if (!(w = findWindow(hwnd))) return;
    }
    if (!(wp->flags & kNoClientSize))
        send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width(w->client), height(w->client)));
}

LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = findWindow(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (message) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
            w->text = copyString(cs->lpszName);
            displayDriver().windowTextChanged(hwnd);
        }
        return TRUE;
    }
    case WM_NCCALCSIZE: {
        if (!lParam) return 0;
        RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                         : reinterpret_cast<RECT*>(lParam);
        RECT in = frameInsets(w->style, w->exStyle, hasMenuBar(w));
        r->left += in.left;
        r->top += in.top;
        r->right = std::max(r->left, r->right - in.right);
        r->bottom = std::max(r->top, r->bottom - in.bottom);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETTEXT:
        w->text = lParam ? copyString(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string();
        displayDriver().windowTextChanged(hwnd);
        return TRUE;
    case WM_GETTEXT:
        if (!wParam || !lParam) return 0;
        return copyToBuffer(w->text, reinterpret_cast<LPWSTR>(lParam),
                            static_cast<int>(std::min<WPARAM>(wParam, INT32_MAX)));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_WINDOWPOSCHANGING: {
        auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
        if (wp && !(wp->flags & SWP_NOSIZE) && wantsMinMax(w->style)) {
            MINMAXINFO info{};
            fillMinMaxInfo(info, w);
            send(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
            wp->cx = std::clamp<int>(wp->cx, std::min(info.ptMinTrackSize.x, info.ptMaxTrackSize.x),
                                     info.ptMaxTrackSize.x);
            wp->cy = std::clamp<int>(wp->cy, std::min(info.ptMinTrackSize.y, info.ptMaxTrackSize.y),
                                     info.ptMaxTrackSize.y);
        }
        return 0;
    }
    case WM_WINDOWPOSCHANGED:
        if (lParam) sendSizeAndMove(hwnd, reinterpret_cast<const WINDOWPOS*>(lParam));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return w->cls->wc.hbrBackground ? 1 : 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            send(hwnd, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ShowWindow(hwnd, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
        case SC_RESTORE:
            ShowWindow(hwnd, SW_SHOW);
            break;
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & (1 << 29)))
            PostMessageW(GetAncestor(hwnd, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_NCHITTEST: {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT wr;
        GetWindowRect(hwnd, &wr);
        POINT o = clientOrigin(w);
        RECT cr{o.x, o.y, o.x + width(w->client), o.y + height(w->client)};
        if (p.x >= cr.left && p.x < cr.right && p.y >= cr.top && p.y < cr.bottom) return HTCLIENT;
        if (p.x >= wr.left && p.x < wr.right && p.y >= wr.top && p.y < wr.bottom) return HTCAPTION;
        return HTNOWHERE;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hwnd);
        return 0;
    case WM_MOUSEACTIVATE:
        return 1; // MA_ACTIVATE
    case WM_NOTIFYFORMAT:
        return lParam == NF_QUERY ? NFR_UNICODE : 0;
    case WM_NCACTIVATE:
    case WM_QUERYENDSESSION:
        return TRUE;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Geometry

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    Window* w = windowOrError(hwnd);
    if (!w || !rect) return FALSE;
    *rect = {0, 0, width(w->client), height(w->client)};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    Window* w = windowOrError(hwnd);
    if (!w || !rect) return FALSE;
    *rect = w->window;
    if ((w->style & WS_CHILD) && w->parent) {
        if (Window* parent = findWindow(w->parent)) {
            POINT o = clientOrigin(parent);
            rect->left += o.x;
            rect->right += o.x;
            rect->top += o.y;
            rect->bottom += o.y;
        }
    }
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    Window* w = windowOrError(hwnd);
    if (!w || !point) return FALSE;
    POINT o = clientOrigin(w);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    Window* w = windowOrError(hwnd);
    if (!w || !point) return FALSE;
    POINT o = clientOrigin(w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    POINT a{0, 0}, b{0, 0};
    if (from && !ClientToScreen(from, &a)) return 0;
    if (to && !ClientToScreen(to, &b)) return 0;
    int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; i++) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(dx, dy);
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect) return FALSE;
    RECT in = frameInsets(style, exStyle, menu != FALSE);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
    return AdjustWindowRectEx(rect, style, menu, 0);
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    flags &= ~(kNoClientSize | kNoClientMove);
    // The window hears the request as it was made; what it leaves unchanged is found after.
    WINDOWPOS wp{hwnd, insertAfter, x, y, cx, cy, flags};
    if (!(flags & SWP_NOSENDCHANGING)) {
        send(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
        if (!(w = findWindow(hwnd))) return FALSE;
        flags = wp.flags & ~(kNoClientSize | kNoClientMove);
    }
    RECT old = w->window;
    if (flags & SWP_NOMOVE)
        x = old.left, y = old.top;
    else
        x = wp.x, y = wp.y;
    if (flags & SWP_NOSIZE)
        cx = width(old), cy = height(old);
    else
        cx = std::max(wp.cx, 0), cy = std::max(wp.cy, 0);
    bool visible = (w->style & WS_VISIBLE) != 0;
    if ((flags & SWP_SHOWWINDOW) && visible) flags &= ~SWP_SHOWWINDOW;
    if ((flags & SWP_HIDEWINDOW) && !visible) flags &= ~SWP_HIDEWINDOW;
    if (cx == width(old) && cy == height(old)) flags |= SWP_NOSIZE;
    if (x == old.left && y == old.top) flags |= SWP_NOMOVE;
    if ((flags & SWP_NOSIZE) && (flags & SWP_NOMOVE) &&
        !(flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW | SWP_FRAMECHANGED)))
        return TRUE; // nothing to do, and Windows then sends nothing more
    RECT newWindow{x, y, clampInt(static_cast<long long>(x) + cx),
                   clampInt(static_cast<long long>(y) + cy)};
    RECT oldClient = w->client;
    RECT newClient;
    if (!(flags & SWP_NOSIZE) || (flags & SWP_FRAMECHANGED)) {
        NCCALCSIZE_PARAMS params{{newWindow, old, oldClient}, &wp};
        wp.x = x, wp.y = y, wp.cx = cx, wp.cy = cy, wp.flags = flags;
        send(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
        if (!(w = findWindow(hwnd))) return FALSE;
        newClient = params.rgrc[0];
        newClient.right = std::max(newClient.right, newClient.left);
        newClient.bottom = std::max(newClient.bottom, newClient.top);
    } else {
        int dx = x - old.left, dy = y - old.top;
        newClient = {oldClient.left + dx, oldClient.top + dy, oldClient.right + dx,
                     oldClient.bottom + dy};
    }
    if (width(newClient) == width(oldClient) && height(newClient) == height(oldClient))
        flags |= kNoClientSize;
    if (newClient.left == oldClient.left && newClient.top == oldClient.top) flags |= kNoClientMove;

    w->window = newWindow;
    w->client = newClient;
    bool geometryChanged = !(flags & kNoClientSize) || !(flags & kNoClientMove) ||
                           !(flags & SWP_NOSIZE) || !(flags & SWP_NOMOVE);
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
    if (geometryChanged) displayDriver().windowMoved(hwnd);
    if (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))
        displayDriver().windowShown(hwnd, (flags & SWP_SHOWWINDOW) != 0);
    if ((flags & SWP_SHOWWINDOW) && !(flags & SWP_NOACTIVATE) && !(w->style & WS_CHILD)) {
        activate(hwnd);
        if (!(w = findWindow(hwnd))) return FALSE;
    }
    if (!(flags & SWP_NOREDRAW) &&
        ((flags & SWP_SHOWWINDOW) || !(flags & kNoClientSize) || (flags & SWP_FRAMECHANGED)))
        invalidate(w, true);

    wp = {hwnd, insertAfter, x, y, cx, cy, flags};
    send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, cx, cy,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return kScreenWidth;
    case SM_CYSCREEN:
        return kScreenHeight;
    case SM_CYCAPTION:
        return kCaption;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return kDialogFrame;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return kThickFrame;
    case SM_CYMENU:
        return kMenuBar;
    case SM_CYSMCAPTION:
        return kSmallCaption;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return kEdge;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 18;
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMINTRACK:
        return 27;
    case SM_CXMAXTRACK:
        return kScreenWidth + 2 * kThickFrame;
    case SM_CYMAXTRACK:
        return kScreenHeight + 2 * kThickFrame;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL erase) {
    if (!hwnd) return TRUE; // the whole screen: nothing of ours to mark
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    invalidate(w, erase != FALSE);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT*) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    w->invalid = w->erase = false;
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = w->invalid ? RECT{0, 0, width(w->client), height(w->client)} : RECT{};
    return w->invalid;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    if (w->invalid && IsWindowVisible(hwnd)) {
        send(hwnd, WM_PAINT, 0, 0);
        // A procedure that paints nothing must not be asked again and again.
        validateWindow(hwnd);
    }
    return TRUE;
}

BOOL WINAPI RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
    if (flags & RDW_INVALIDATE) InvalidateRect(hwnd, rect, (flags & RDW_ERASE) != 0);
    if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
    return TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    Window* w = windowOrError(hwnd);
    if (!w || !paint) return nullptr;
    *paint = {};
    paint->hdc = GetDC(hwnd);
    paint->rcPaint = {0, 0, width(w->client), height(w->client)};
    bool erase = w->erase;
    w->invalid = w->erase = false;
    if (erase) paint->fErase = !send(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0);
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT*) {
    return TRUE;
}

HDC WINAPI GetDC(HWND) {
    // Drawing is the display driver's business; callers only need a handle to hand back.
    static const HDC dc = makeHandle<HDC>();
    return dc;
}

int WINAPI ReleaseDC(HWND, HDC) {
    return 1;
}
int WINAPI FillRect(HDC, const RECT*, HBRUSH) {
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Text

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

// ---------------------------------------------------------------------------------------------
// Menu bar attachment

BOOL WINAPI SetMenu(HWND hwnd, HMENU menu) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    if (w->style & WS_CHILD) {
        SetLastError(ERROR_CHILD_WINDOW_MENU);
        return FALSE;
    }
    if (menu && !IsMenu(menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    w->menu = menu;
    displayDriver().menuChanged(hwnd);
    // The menu bar is part of the frame, so the client area changes size.
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

HMENU WINAPI GetMenu(HWND hwnd) {
    Window* w = windowOrError(hwnd);
    return w && !(w->style & WS_CHILD) ? w->menu : nullptr;
}

BOOL WINAPI DrawMenuBar(HWND hwnd) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    displayDriver().menuChanged(hwnd);
    return TRUE;
}

namespace platform::detail {

void notifyMenuChanged(HMENU menu) {
    std::vector<HWND> affected;
    for (auto& [key, w] : registry().windows)
        if (hasMenuBar(w.get()) && menuTreeContains(w->menu, menu)) affected.push_back(w->handle);
    for (HWND hwnd : affected)
        displayDriver().menuChanged(hwnd);
}

void forgetMenu(HMENU menu) {
    for (auto& [key, w] : registry().windows)
        if (!(w->style & WS_CHILD) && w->menu == menu) w->menu = nullptr;
}

} // namespace platform::detail
