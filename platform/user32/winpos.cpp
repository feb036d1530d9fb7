// Window positions: geometry, the frame, the size limits, SetWindowPos and showing.
#include "platform/user32/user32_private.h"

#include <algorithm>

namespace platform::detail {

namespace {

void fillMinMaxInfo(MINMAXINFO& info, const Window* w) {
    RECT frame = frameInsets(w->style, w->exStyle, false);
    info.ptMaxSize = {kScreenWidth + frame.left + frame.right,
                      kScreenHeight + frame.top + frame.bottom};
    info.ptMaxPosition = {-frame.left, -frame.top};
    info.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    info.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
}

// What SetWindowPos is asked, as it settles into the new place.
struct Move {
    int x, y, cx, cy;
    UINT flags;
};

// Fills in what the flags leave unchanged and drops the flags that change nothing; false
// when there is nothing to do at all.
bool settleMove(const Window* w, const WINDOWPOS& wp, Move& m) {
    RECT old = w->window;
    if (m.flags & SWP_NOMOVE)
        m.x = old.left, m.y = old.top;
    else
        m.x = wp.x, m.y = wp.y;
    if (m.flags & SWP_NOSIZE)
        m.cx = width(old), m.cy = height(old);
    else
        m.cx = std::max(wp.cx, 0), m.cy = std::max(wp.cy, 0);
    bool visible = (w->style & WS_VISIBLE) != 0;
    if ((m.flags & SWP_SHOWWINDOW) && visible) m.flags &= ~SWP_SHOWWINDOW;
    if ((m.flags & SWP_HIDEWINDOW) && !visible) m.flags &= ~SWP_HIDEWINDOW;
    if (m.cx == width(old) && m.cy == height(old)) m.flags |= SWP_NOSIZE;
    if (m.x == old.left && m.y == old.top) m.flags |= SWP_NOMOVE;
    return !((m.flags & SWP_NOSIZE) && (m.flags & SWP_NOMOVE) &&
             !(m.flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW | SWP_FRAMECHANGED)));
}

// The client rectangle at the new place: asked of the window (WM_NCCALCSIZE) when the size
// or the frame changes, else moved along. False when the window went away meanwhile.
bool newClientRect(HWND hwnd, const RECT& newWindow, WINDOWPOS& wp, const Move& m, RECT& out) {
    Window* w = findWindow(hwnd);
    RECT old = w->window;
    RECT oldClient = w->client;
    if (!(m.flags & SWP_NOSIZE) || (m.flags & SWP_FRAMECHANGED)) {
        NCCALCSIZE_PARAMS params{{newWindow, old, oldClient}, &wp};
        wp.x = m.x, wp.y = m.y, wp.cx = m.cx, wp.cy = m.cy, wp.flags = m.flags;
        send(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
        if (!findWindow(hwnd)) return false;
        out = params.rgrc[0];
        out.right = std::max(out.right, out.left);
        out.bottom = std::max(out.bottom, out.top);
    } else {
        int dx = m.x - old.left, dy = m.y - old.top;
        out = {oldClient.left + dx, oldClient.top + dy, oldClient.right + dx,
               oldClient.bottom + dy};
    }
    return true;
}

// Takes the new place and tells the driver; activates a top-level window being shown and
// marks what needs painting. False when the window went away meanwhile.
bool applyMove(HWND hwnd, const RECT& newWindow, const RECT& newClient, UINT& flags) {
    Window* w = findWindow(hwnd);
    if (width(newClient) == width(w->client) && height(newClient) == height(w->client))
        flags |= kNoClientSize;
    if (newClient.left == w->client.left && newClient.top == w->client.top) flags |= kNoClientMove;
    if (!(flags & SWP_NOMOVE)) w->defaultPosition = false;
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
        if (!(w = findWindow(hwnd))) return false;
    }
    if (!(flags & SWP_NOREDRAW) &&
        ((flags & SWP_SHOWWINDOW) || !(flags & kNoClientSize) || (flags & SWP_FRAMECHANGED)))
        invalidate(w, true);
    return true;
}

} // namespace

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

// Moves a point by the window's client origin: to the screen (sign 1) or from it (-1).
static BOOL shiftByClientOrigin(HWND hwnd, LPPOINT point, int sign) {
    Window* w = windowOrError(hwnd);
    if (!w || !point) return FALSE;
    POINT o = clientOrigin(w);
    point->x += sign * o.x;
    point->y += sign * o.y;
    return TRUE;
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

bool wantsMinMax(DWORD style) {
    return (style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD));
}

void clampToTrackSize(HWND hwnd, int& cx, int& cy) {
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

} // namespace platform::detail

using namespace platform::detail;

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
    return shiftByClientOrigin(hwnd, point, 1);
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    return shiftByClientOrigin(hwnd, point, -1);
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
    Move m{x, y, cx, cy, flags};
    if (!settleMove(w, wp, m)) return TRUE; // nothing to do, and Windows then sends nothing more
    RECT newWindow{m.x, m.y, clampInt(static_cast<long long>(m.x) + m.cx),
                   clampInt(static_cast<long long>(m.y) + m.cy)};
    RECT newClient;
    if (!newClientRect(hwnd, newWindow, wp, m, newClient)) return FALSE;
    if (!applyMove(hwnd, newWindow, newClient, m.flags)) return FALSE;
    wp = {hwnd, insertAfter, m.x, m.y, m.cx, m.cy, m.flags};
    send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, cx, cy,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
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
