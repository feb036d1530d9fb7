// The default window procedure, one handler for each message it gives a meaning.
#include "platform/user32/user32_private.h"

#include <algorithm>

namespace platform::detail {

namespace {

// The low four bits of a WM_SYSCOMMAND are the system's own.
constexpr WPARAM kSysCommandMask = 0xFFF0;

LRESULT onNcCreate(Window* w, LPARAM lParam) {
    auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
        w->text = copyString(cs->lpszName);
        displayDriver().windowTextChanged(w->handle);
    }
    return TRUE;
}

LRESULT onNcCalcSize(Window* w, WPARAM wParam, LPARAM lParam) {
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

LRESULT onSetText(Window* w, LPARAM lParam) {
    w->text = lParam ? copyString(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string();
    displayDriver().windowTextChanged(w->handle);
    return TRUE;
}

LRESULT onGetText(Window* w, WPARAM wParam, LPARAM lParam) {
    if (!wParam || !lParam) return 0;
    return copyToBuffer(w->text, reinterpret_cast<LPWSTR>(lParam),
                        static_cast<int>(std::min<WPARAM>(wParam, INT32_MAX)));
}

LRESULT onWindowPosChanging(Window* w, LPARAM lParam) {
    auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
    if (wp && !(wp->flags & SWP_NOSIZE) && wantsMinMax(w->style))
        clampToTrackSize(w->handle, wp->cx, wp->cy);
    return 0;
}

LRESULT onPaint(HWND hwnd) {
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
    return 0;
}

LRESULT onSysCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    switch (wParam & kSysCommandMask) {
    case SC_KEYMENU:
        // Alt or F10 alone (lParam 0) gives the menu bar the keyboard; mnemonics are not
        // kept, so a character finds nothing.
        if (lParam == 0) enterMenuMode(GetAncestor(hwnd, GA_ROOT));
        break;
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
}

LRESULT onKeyDown(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool repeat = (lParam & (LPARAM{1} << 30)) != 0;
    if (message == WM_SYSKEYDOWN && (wParam == VK_MENU || wParam == VK_F10)) {
        if (!repeat) keyboardState().menuKeyAlone = true;
        return 0;
    }
    keyboardState().menuKeyAlone = false;
    if (message == WM_SYSKEYDOWN && wParam == VK_F4 && (lParam & kKeyAltDown))
        PostMessageW(GetAncestor(hwnd, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
}

LRESULT onKeyUp(HWND hwnd, WPARAM wParam) {
    if ((wParam == VK_MENU || wParam == VK_F10) && keyboardState().menuKeyAlone)
        send(GetAncestor(hwnd, GA_ROOT), WM_SYSCOMMAND, SC_KEYMENU, 0);
    keyboardState().menuKeyAlone = false;
    return 0;
}

LRESULT onNcHitTest(Window* w, LPARAM lParam) {
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    RECT wr;
    GetWindowRect(w->handle, &wr);
    POINT o = clientOrigin(w);
    RECT cr{o.x, o.y, o.x + width(w->client), o.y + height(w->client)};
    if (p.x >= cr.left && p.x < cr.right && p.y >= cr.top && p.y < cr.bottom) return HTCLIENT;
    if (p.x >= wr.left && p.x < wr.right && p.y >= wr.top && p.y < wr.bottom) return HTCAPTION;
    return HTNOWHERE;
}

} // namespace

void sendSizeAndMove(HWND hwnd, const WINDOWPOS* wp) {
    Window* w = findWindow(hwnd);
    if (!w) return;
    if (!(wp->flags & kNoClientMove)) {
        send(hwnd, WM_MOVE, 0, MAKELPARAM(w->client.left, w->client.top));
        if (!(w = findWindow(hwnd))) return;
    }
    if (!(wp->flags & kNoClientSize))
        send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width(w->client), height(w->client)));
}

} // namespace platform::detail

using namespace platform::detail;

LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = windowOrError(hwnd);
    if (!w) return 0;
    switch (message) {
    case WM_NCCREATE:
        return onNcCreate(w, lParam);
    case WM_NCCALCSIZE:
        return onNcCalcSize(w, wParam, lParam);
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETTEXT:
        return onSetText(w, lParam);
    case WM_GETTEXT:
        return onGetText(w, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_WINDOWPOSCHANGING:
        return onWindowPosChanging(w, lParam);
    case WM_WINDOWPOSCHANGED:
        if (lParam) sendSizeAndMove(hwnd, reinterpret_cast<const WINDOWPOS*>(lParam));
        return 0;
    case WM_PAINT:
        return onPaint(hwnd);
    case WM_ERASEBKGND:
        return w->cls->wc.hbrBackground ? 1 : 0;
    case WM_SYSCOMMAND:
        return onSysCommand(hwnd, wParam, lParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return onKeyDown(hwnd, message, wParam, lParam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return onKeyUp(hwnd, wParam);
    case WM_NCHITTEST:
        return onNcHitTest(w, lParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hwnd);
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_NOTIFYFORMAT:
        return lParam == NF_QUERY ? NFR_UNICODE : 0;
    case WM_NCACTIVATE:
    case WM_QUERYENDSESSION:
        return TRUE;
    default:
        return 0;
    }
}
