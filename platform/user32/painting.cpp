// Painting: what needs it, WM_PAINT and the device contexts handed out for it.
#include "platform/user32/user32_private.h"

namespace platform::detail {

void invalidate(Window* w, bool erase) {
    w->invalid = true;
    w->erase = w->erase || erase;
    displayDriver().windowInvalidated(w->handle);
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

} // namespace platform::detail

using namespace platform::detail;

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
