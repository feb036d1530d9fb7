// The status bar: a strip along the parent's edge with parts of text, or one simple text.
#include "platform/comctl32/comctl32_private.h"

namespace platform::detail {

namespace {

constexpr int kStatusHeight = 20;
// The most parts a bar may be split into, and the tallest it may be asked to be.
constexpr WPARAM kMaxParts = 256;
constexpr WPARAM kMaxMinHeight = 1000;
// The high byte of SB_SETTEXT's wParam holds the drawing flags (SBT_...).
constexpr WPARAM kTextFlagsMask = 0xFF00;

struct StatusPart {
    std::u16string text;
    UINT flags = 0;
};

struct StatusBar {
    bool simple = false;
    StatusPart simplePart;
    std::vector<StatusPart> parts{StatusPart{}};
    std::vector<int> rights{-1};
    int minHeight = 0;
    HFONT font = nullptr;
};

int statusHeight(StatusBar* s) {
    return std::max(kStatusHeight, s->minHeight);
}

void alignStatusBar(HWND hwnd) {
    StatusBar* s = stateOf<StatusBar>(hwnd);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (!s || (style & (CCS_NORESIZE | CCS_NOPARENTALIGN))) return;
    HWND parent = GetParent(hwnd);
    RECT pc;
    if (!parent || !GetClientRect(parent, &pc)) return;
    int h = statusHeight(s) + frameHeight(hwnd);
    bool top = (style & CCS_BOTTOM) == CCS_TOP;
    SetWindowPos(hwnd, nullptr, 0, top ? 0 : pc.bottom - h, pc.right, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

StatusPart* statusPart(StatusBar* s, WPARAM part) {
    if (part == SB_SIMPLEID) return &s->simplePart;
    if (part >= s->parts.size()) return nullptr;
    return &s->parts[part];
}

LRESULT onCreate(HWND hwnd, StatusBar* s, LPARAM lParam) {
    queryNotifyFormat(hwnd);
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    s->parts[0].text = copyString(cs->lpszName);
    alignStatusBar(hwnd);
    return 0;
}

LRESULT onSetText(HWND hwnd, StatusBar* s, WPARAM wParam, LPARAM lParam) {
    StatusPart* p = statusPart(s, LOBYTE(wParam));
    if (!p) return FALSE;
    p->text = copyString(reinterpret_cast<LPCWSTR>(lParam));
    p->flags = static_cast<UINT>(wParam & kTextFlagsMask);
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

// SB_GETTEXTW, and SB_GETTEXTLENGTHW without a buffer to fill.
LRESULT onGetText(StatusBar* s, WPARAM wParam, LPWSTR out) {
    StatusPart* p = statusPart(s, LOBYTE(wParam));
    if (!p) return 0;
    if (out) {
        p->text.copy(out, p->text.size());
        out[p->text.size()] = 0;
    }
    return MAKELONG(p->text.size(), p->flags);
}

LRESULT onSetParts(HWND hwnd, StatusBar* s, WPARAM wParam, LPARAM lParam) {
    auto* rights = reinterpret_cast<const int*>(lParam);
    if (wParam == 0 || wParam > kMaxParts || !rights) return FALSE;
    s->rights.assign(rights, rights + wParam);
    s->parts.resize(wParam);
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

LRESULT onGetParts(StatusBar* s, WPARAM wParam, LPARAM lParam) {
    auto* out = reinterpret_cast<int*>(lParam);
    for (size_t i = 0; out && i < std::min<size_t>(wParam, s->rights.size()); i++)
        out[i] = s->rights[i];
    return static_cast<LRESULT>(s->rights.size());
}

LRESULT onGetRect(HWND hwnd, StatusBar* s, WPARAM wParam, LPARAM lParam) {
    auto* r = reinterpret_cast<RECT*>(lParam);
    if (!r || wParam >= s->rights.size()) return FALSE;
    RECT c;
    GetClientRect(hwnd, &c);
    int left = wParam == 0 ? 0 : s->rights[wParam - 1];
    int right = s->rights[wParam] < 0 ? c.right : s->rights[wParam];
    *r = {left, 0, right, c.bottom};
    return TRUE;
}

LRESULT onGetBorders(LPARAM lParam) {
    auto* b = reinterpret_cast<int*>(lParam);
    if (!b) return FALSE;
    b[0] = 0, b[1] = 2, b[2] = 2; // horizontal, vertical, between parts
    return TRUE;
}

// Every message of the bar's own, and the text and size messages it treats its own way.
std::optional<LRESULT> onMessage(HWND hwnd, StatusBar* s, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return onCreate(hwnd, s, lParam);
    case WM_SIZE:
        // The parent forwards its own WM_SIZE; the bar follows the parent's bottom edge.
        alignStatusBar(hwnd);
        return 0;
    case WM_SETTEXT:
        s->parts[0].text = copyString(reinterpret_cast<LPCWSTR>(lParam));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case WM_GETTEXT:
        return copyToBuffer(s->parts[0].text, reinterpret_cast<LPWSTR>(lParam),
                            static_cast<int>(std::min<WPARAM>(wParam, INT32_MAX)));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(s->parts[0].text.size());
    case SB_SETTEXTW:
        return onSetText(hwnd, s, wParam, lParam);
    case SB_GETTEXTW:
        return onGetText(s, wParam, reinterpret_cast<LPWSTR>(lParam));
    case SB_GETTEXTLENGTHW:
        return onGetText(s, wParam, nullptr);
    case SB_SETPARTS:
        return onSetParts(hwnd, s, wParam, lParam);
    case SB_GETPARTS:
        return onGetParts(s, wParam, lParam);
    case SB_SIMPLE:
        s->simple = wParam != 0;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case SB_ISSIMPLE:
        return s->simple;
    case SB_SETMINHEIGHT:
        s->minHeight = static_cast<int>(std::min<WPARAM>(wParam, kMaxMinHeight));
        return 0;
    case SB_GETRECT:
        return onGetRect(hwnd, s, wParam, lParam);
    case SB_GETBORDERS:
        return onGetBorders(lParam);
    }
    return std::nullopt;
}

} // namespace

LRESULT CALLBACK statusProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return controlProc<StatusBar>(hwnd, message, wParam, lParam, [&](StatusBar* s) {
        return onMessage(hwnd, s, message, wParam, lParam);
    });
}

} // namespace platform::detail
