// Window data and procedures: the window longs, the extra bytes and calling a procedure.
#include "platform/user32/user32_private.h"

#include <cstring>

using namespace platform::detail;

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

namespace {

// The LONG at a non-negative index of the window's extra bytes, or null with the error set.
BYTE* extraLong(HWND hwnd, int index) {
    Window* w = windowOrError(hwnd);
    if (!w) return nullptr;
    if (static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return nullptr;
    }
    return w->extra.data() + index;
}

} // namespace

LONG WINAPI GetWindowLongW(HWND hwnd, int index) {
    if (index < 0) return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
    BYTE* at = extraLong(hwnd, index);
    if (!at) return 0;
    LONG value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

LONG WINAPI SetWindowLongW(HWND hwnd, int index, LONG value) {
    if (index < 0) return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
    BYTE* at = extraLong(hwnd, index);
    if (!at) return 0;
    LONG old;
    std::memcpy(&old, at, sizeof old);
    std::memcpy(at, &value, sizeof value);
    return old;
}

LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam,
                               LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}
