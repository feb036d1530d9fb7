// The common controls: window subclassing helpers, status bar, toolbar, rebar and tooltip.
//
// They are written as ordinary window classes over the calls of win32.h, the way the
// library is built on Windows: each keeps its state behind a pointer in its window's extra
// bytes, made on WM_NCCREATE and freed on WM_NCDESTROY.
#include "internal.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace platform::detail {

namespace {

template <typename State> State* stateOf(HWND hwnd) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(hwnd, 0));
}

template <typename State> LRESULT createState(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new State()));
    return DefWindowProcW(hwnd, WM_NCCREATE, wParam, lParam);
}

template <typename State> void destroyState(HWND hwnd) {
    delete stateOf<State>(hwnd);
    SetWindowLongPtrW(hwnd, 0, 0);
}

// Fonts are kept for whoever asks; drawing is the display driver's business.
template <typename State>
bool handleFont(HWND hwnd, State* state, UINT message, WPARAM wParam, LPARAM lParam,
                LRESULT& result) {
    if (message == WM_SETFONT) {
        state->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        result = 0;
        return true;
    }
    if (message == WM_GETFONT) {
        result = reinterpret_cast<LRESULT>(state->font);
        return true;
    }
    return false;
}

// Controls ask their parent once, when they are made, which kind of text their
// notifications should carry.
void queryNotifyFormat(HWND hwnd) {
    if (HWND parent = GetParent(hwnd))
        SendMessageW(parent, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(hwnd), NF_QUERY);
}

int rectWidth(const RECT& r) {
    return r.right - r.left;
}
int rectHeight(const RECT& r) {
    return r.bottom - r.top;
}

// Height of the window's frame: what it adds to its client height. Asked of the window
// itself, since a window smaller than its frame shows no client area to measure.
int frameHeight(HWND hwnd) {
    constexpr LONG kProbe = 10000;
    RECT r{0, 0, kProbe, kProbe};
    SendMessageW(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&r));
    return std::max<LONG>(0, kProbe - rectHeight(r));
}

// ---------------------------------------------------------------------------------------------
// Subclassing

struct SubclassEntry {
    SUBCLASSPROC proc;
    UINT_PTR id;
    DWORD_PTR refData;
};

struct SubclassChain {
    bool installed = false;
    WNDPROC original = nullptr;
    std::vector<SubclassEntry> entries; // the last one installed is called first
};

std::map<uintptr_t, SubclassChain>& chains() {
    static std::map<uintptr_t, SubclassChain> c;
    return c;
}

// Which entry of which window's chain is running, so DefSubclassProc knows the next one.
struct SubclassFrame {
    HWND hwnd;
    size_t next; // entries below this index are still to be called
};
thread_local std::vector<SubclassFrame> subclassFrames;

LRESULT callChain(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, size_t below) {
    auto it = chains().find(handleKey(hwnd));
    if (it == chains().end()) return DefWindowProcW(hwnd, message, wParam, lParam);
    SubclassChain& chain = it->second;
    below = std::min(below, chain.entries.size());
    if (below == 0) return CallWindowProcW(chain.original, hwnd, message, wParam, lParam);
    SubclassEntry entry = chain.entries[below - 1];
    subclassFrames.push_back({hwnd, below - 1});
    LRESULT r = entry.proc(hwnd, message, wParam, lParam, entry.id, entry.refData);
    subclassFrames.pop_back();
    return r;
}

LRESULT CALLBACK subclassShim(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto it = chains().find(handleKey(hwnd));
    if (it == chains().end()) return DefWindowProcW(hwnd, message, wParam, lParam);
    WNDPROC original = it->second.original;
    LRESULT r = callChain(hwnd, message, wParam, lParam, it->second.entries.size());
    if (message == WM_NCDESTROY) {
        // The window is gone; whatever subclasses remain are dropped with it.
        chains().erase(handleKey(hwnd));
        if (IsWindow(hwnd) &&
            GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(subclassShim))
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    }
    return r;
}

// ---------------------------------------------------------------------------------------------
// Status bar

constexpr int kStatusHeight = 20;

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
    bool top = (style & 3) == CCS_TOP;
    SetWindowPos(hwnd, nullptr, 0, top ? 0 : pc.bottom - h, pc.right, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

StatusPart* statusPart(StatusBar* s, WPARAM part) {
    if (part == SB_SIMPLEID) return &s->simplePart;
    if (part >= s->parts.size()) return nullptr;
    return &s->parts[part];
}

LRESULT CALLBACK statusProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) return createState<StatusBar>(hwnd, wParam, lParam);
    StatusBar* s = stateOf<StatusBar>(hwnd);
    if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (LRESULT fontResult; handleFont(hwnd, s, message, wParam, lParam, fontResult))
        return fontResult;
    switch (message) {
    case WM_CREATE: {
        queryNotifyFormat(hwnd);
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        s->parts[0].text = copyString(cs->lpszName);
        alignStatusBar(hwnd);
        return 0;
    }
    case WM_NCDESTROY:
        destroyState<StatusBar>(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
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
    case SB_SETTEXTW: {
        StatusPart* p = statusPart(s, LOBYTE(wParam));
        if (!p) return FALSE;
        p->text = copyString(reinterpret_cast<LPCWSTR>(lParam));
        p->flags = static_cast<UINT>(wParam & 0xFF00);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case SB_GETTEXTW:
    case SB_GETTEXTLENGTHW: {
        StatusPart* p = statusPart(s, LOBYTE(wParam));
        if (!p) return 0;
        if (message == SB_GETTEXTW && lParam) {
            auto* out = reinterpret_cast<LPWSTR>(lParam);
            p->text.copy(out, p->text.size());
            out[p->text.size()] = 0;
        }
        return MAKELONG(p->text.size(), p->flags);
    }
    case SB_SETPARTS: {
        auto* rights = reinterpret_cast<const int*>(lParam);
        if (wParam == 0 || wParam > 256 || !rights) return FALSE;
        s->rights.assign(rights, rights + wParam);
        s->parts.resize(wParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case SB_GETPARTS: {
        auto* out = reinterpret_cast<int*>(lParam);
        for (size_t i = 0; out && i < std::min<size_t>(wParam, s->rights.size()); i++)
            out[i] = s->rights[i];
        return static_cast<LRESULT>(s->rights.size());
    }
    case SB_SIMPLE:
        s->simple = wParam != 0;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case SB_ISSIMPLE:
        return s->simple;
    case SB_SETMINHEIGHT:
        s->minHeight = static_cast<int>(std::min<WPARAM>(wParam, 1000));
        return 0;
    case SB_GETRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r || wParam >= s->rights.size()) return FALSE;
        RECT c;
        GetClientRect(hwnd, &c);
        int left = wParam == 0 ? 0 : s->rights[wParam - 1];
        int right = s->rights[wParam] < 0 ? c.right : s->rights[wParam];
        *r = {left, 0, right, c.bottom};
        return TRUE;
    }
    case SB_GETBORDERS: {
        auto* b = reinterpret_cast<int*>(lParam);
        if (!b) return FALSE;
        b[0] = 0, b[1] = 2, b[2] = 2;
        return TRUE;
    }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Toolbar

struct ToolbarButton {
    TBBUTTON button{};
    std::u16string text;
};

struct Toolbar {
    size_t structSize = sizeof(TBBUTTON);
    std::vector<ToolbarButton> buttons;
    int images = 0;
    // Bitmaps already added, by source, with the index of their first image.
    std::vector<std::pair<std::pair<HINSTANCE, UINT_PTR>, int>> bitmaps;
    int buttonWidth = 23, buttonHeight = 22;
    int bitmapWidth = 16, bitmapHeight = 15;
    bool pressed = false;
    int pressedIndex = -1;
    HFONT font = nullptr;
};

constexpr int kSeparatorWidth = 8;
constexpr int kDividerHeight = 2;
constexpr size_t kMaxButtons = 4096;

// Client height; the divider line above the buttons is part of the frame.
int toolbarHeight(Toolbar* t) {
    return t->buttonHeight + 4;
}

void alignToolbar(HWND hwnd) {
    Toolbar* t = stateOf<Toolbar>(hwnd);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (!t || (style & CCS_NORESIZE)) return;
    int h = toolbarHeight(t) + frameHeight(hwnd);
    if (style & CCS_NOPARENTALIGN) {
        RECT w;
        GetWindowRect(hwnd, &w);
        SetWindowPos(hwnd, nullptr, 0, 0, rectWidth(w), h,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    HWND parent = GetParent(hwnd);
    RECT pc;
    if (!parent || !GetClientRect(parent, &pc)) return;
    bool bottom = (style & 3) == CCS_BOTTOM;
    SetWindowPos(hwnd, nullptr, 0, bottom ? pc.bottom - h : 0, pc.right, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT buttonRect(Toolbar* t, size_t index) {
    int x = 0;
    for (size_t i = 0; i < t->buttons.size(); i++) {
        const TBBUTTON& b = t->buttons[i].button;
        if (b.fsState & TBSTATE_HIDDEN) {
            if (i == index) return RECT{x, 2, x, 2};
            continue;
        }
        int w = (b.fsStyle & TBSTYLE_SEP) ? kSeparatorWidth : t->buttonWidth;
        if (i == index) return RECT{x, 2, x + w, 2 + t->buttonHeight};
        x += w;
    }
    return RECT{};
}

int buttonAt(Toolbar* t, POINT p) {
    for (size_t i = 0; i < t->buttons.size(); i++) {
        const TBBUTTON& b = t->buttons[i].button;
        if ((b.fsStyle & TBSTYLE_SEP) || (b.fsState & TBSTATE_HIDDEN)) continue;
        RECT r = buttonRect(t, i);
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom)
            return static_cast<int>(i);
    }
    return -1;
}

int commandIndex(Toolbar* t, WPARAM command) {
    for (size_t i = 0; i < t->buttons.size(); i++)
        if (t->buttons[i].button.idCommand == static_cast<int>(command)) return static_cast<int>(i);
    return -1;
}

bool insertButtons(Toolbar* t, size_t at, size_t count, const BYTE* data) {
    if (!data || t->buttons.size() + count > kMaxButtons) return false;
    at = std::min(at, t->buttons.size());
    for (size_t i = 0; i < count; i++) {
        ToolbarButton b;
        std::memcpy(&b.button, data + i * t->structSize, std::min(t->structSize, sizeof(TBBUTTON)));
        if (b.button.iString != 0 && b.button.iString != -1 && !IS_INTRESOURCE(b.button.iString)) {
            b.text = copyString(reinterpret_cast<LPCWSTR>(b.button.iString));
        }
        t->buttons.insert(t->buttons.begin() + static_cast<ptrdiff_t>(at + i), b);
    }
    return true;
}

LRESULT CALLBACK toolbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) return createState<Toolbar>(hwnd, wParam, lParam);
    Toolbar* t = stateOf<Toolbar>(hwnd);
    if (!t) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (LRESULT fontResult; handleFont(hwnd, t, message, wParam, lParam, fontResult))
        return fontResult;
    auto changed = [&] { InvalidateRect(hwnd, nullptr, TRUE); };
    switch (message) {
    case WM_NCDESTROY:
        destroyState<Toolbar>(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_CREATE:
        queryNotifyFormat(hwnd);
        alignToolbar(hwnd);
        return 0;
    case WM_NCCALCSIZE: {
        LRESULT r = DefWindowProcW(hwnd, message, wParam, lParam);
        RECT* rc = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                          : reinterpret_cast<RECT*>(lParam);
        if (rc && !(GetWindowLongPtrW(hwnd, GWL_STYLE) & CCS_NODIVIDER))
            rc->top = std::min(rc->top + kDividerHeight, rc->bottom);
        return r;
    }
    case TB_BUTTONSTRUCTSIZE:
        if (wParam >= 16 && wParam <= 64) t->structSize = wParam;
        return 0;
    case TB_ADDBITMAP: {
        auto* add = reinterpret_cast<const TBADDBITMAP*>(lParam);
        if (!add) return -1;
        int added;
        if (add->hInst == HINST_COMMCTRL) {
            switch (add->nID) {
            case IDB_STD_SMALL_COLOR:
            case IDB_STD_LARGE_COLOR:
                added = 15;
                break;
            case IDB_VIEW_SMALL_COLOR:
            case IDB_VIEW_LARGE_COLOR:
                added = 12;
                break;
            case IDB_HIST_SMALL_COLOR:
            case IDB_HIST_LARGE_COLOR:
                added = 5;
                break;
            default:
                return -1;
            }
        } else if (!add->hInst && add->nID) {
            added = static_cast<int>(std::min<WPARAM>(wParam, 4096)); // a bitmap handle
        } else {
            return -1; // no module of ours carries bitmap resources
        }
        // The same bitmap again adds nothing and answers where it already is.
        for (auto& [source, index] : t->bitmaps)
            if (source.first == add->hInst && source.second == add->nID) return index;
        int first = t->images;
        t->images += added;
        t->bitmaps.push_back({{add->hInst, add->nID}, first});
        changed();
        return first;
    }
    case TB_ADDBUTTONSW:
        if (!insertButtons(t, t->buttons.size(), wParam, reinterpret_cast<const BYTE*>(lParam)))
            return FALSE;
        changed();
        return TRUE;
    case TB_INSERTBUTTONW:
        if (!insertButtons(t, wParam, 1, reinterpret_cast<const BYTE*>(lParam))) return FALSE;
        changed();
        return TRUE;
    case TB_DELETEBUTTON:
        if (wParam >= t->buttons.size()) return FALSE;
        t->buttons.erase(t->buttons.begin() + static_cast<ptrdiff_t>(wParam));
        changed();
        return TRUE;
    case TB_BUTTONCOUNT:
        return static_cast<LRESULT>(t->buttons.size());
    case TB_GETBUTTON:
        if (wParam >= t->buttons.size() || !lParam) return FALSE;
        std::memcpy(reinterpret_cast<void*>(lParam), &t->buttons[wParam].button,
                    std::min(t->structSize, sizeof(TBBUTTON)));
        return TRUE;
    case TB_COMMANDTOINDEX:
        return commandIndex(t, wParam);
    case TB_GETITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (wParam >= t->buttons.size() || !r) return FALSE;
        *r = buttonRect(t, wParam);
        return TRUE;
    }
    case TB_SETBUTTONSIZE:
        t->buttonWidth = std::clamp<int>(LOWORD(lParam), 1, 1000);
        t->buttonHeight = std::clamp<int>(HIWORD(lParam), 1, 1000);
        return TRUE;
    case TB_SETBITMAPSIZE:
        t->bitmapWidth = LOWORD(lParam);
        t->bitmapHeight = HIWORD(lParam);
        return TRUE;
    case TB_GETBUTTONSIZE:
        return MAKELONG(t->buttonWidth, t->buttonHeight);
    case TB_AUTOSIZE:
        alignToolbar(hwnd);
        return 0;
    case WM_SIZE:
        return 0;
    case TB_ENABLEBUTTON:
    case TB_CHECKBUTTON:
    case TB_PRESSBUTTON:
    case TB_HIDEBUTTON: {
        int i = commandIndex(t, wParam);
        if (i < 0) return FALSE;
        BYTE bit = message == TB_ENABLEBUTTON  ? TBSTATE_ENABLED
                   : message == TB_CHECKBUTTON ? TBSTATE_CHECKED
                   : message == TB_PRESSBUTTON ? TBSTATE_PRESSED
                                               : TBSTATE_HIDDEN;
        BYTE& state = t->buttons[static_cast<size_t>(i)].button.fsState;
        state = LOWORD(lParam) ? (state | bit) : (state & ~bit);
        changed();
        return TRUE;
    }
    case TB_ISBUTTONENABLED:
    case TB_ISBUTTONCHECKED: {
        int i = commandIndex(t, wParam);
        if (i < 0) return 0;
        BYTE bit = message == TB_ISBUTTONENABLED ? TBSTATE_ENABLED : TBSTATE_CHECKED;
        return (t->buttons[static_cast<size_t>(i)].button.fsState & bit) != 0;
    }
    case TB_GETSTATE: {
        int i = commandIndex(t, wParam);
        return i < 0 ? -1 : t->buttons[static_cast<size_t>(i)].button.fsState;
    }
    case TB_SETSTATE: {
        int i = commandIndex(t, wParam);
        if (i < 0) return FALSE;
        t->buttons[static_cast<size_t>(i)].button.fsState = static_cast<BYTE>(LOWORD(lParam));
        changed();
        return TRUE;
    }
    case WM_LBUTTONDOWN:
        t->pressedIndex = buttonAt(t, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP: {
        int i = buttonAt(t, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        int pressed = t->pressedIndex;
        t->pressedIndex = -1;
        if (i < 0 || i != pressed) return 0;
        const TBBUTTON& b = t->buttons[static_cast<size_t>(i)].button;
        if (!(b.fsState & TBSTATE_ENABLED)) return 0;
        // A click on a button is a command to the toolbar's parent, like a menu item's.
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(b.idCommand, 0),
                     reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Rebar

struct Band {
    REBARBANDINFOW info{};
    std::u16string text;
    RECT rect{};
};

struct Rebar {
    std::vector<Band> bands;
    HFONT font = nullptr;
    int height = 0; // client height of the last layout
    int rows = 0;
    bool layingOut = false;
    bool again = false;
};

constexpr int kGripper = 9;
constexpr int kEmptyBandHeight = 4;
constexpr int kBandMargin = 4;
constexpr int kRowGap = 2;
constexpr size_t kMaxBands = 1024;

bool bandVisible(const Band& b) {
    return !(b.info.fStyle & RBBS_HIDDEN);
}

int bandHeight(const Band& b) {
    // Without a child window a band is only as high as its own decoration.
    if (!b.info.hwndChild || !IsWindow(b.info.hwndChild)) return kEmptyBandHeight;
    int h = static_cast<int>(std::min<UINT>(b.info.cyMinChild, 10000));
    if ((b.info.fStyle & RBBS_VARIABLEHEIGHT) && b.info.cyChild > b.info.cyMinChild)
        h = static_cast<int>(std::min<UINT>(b.info.cyChild, 10000));
    if (h == 0 && b.info.hwndChild && IsWindow(b.info.hwndChild)) {
        RECT r;
        GetWindowRect(b.info.hwndChild, &r);
        h = rectHeight(r);
    }
    return h;
}

// A lone band has no gripper to drag it by; with several each has one.
int bandHeader(const Band& b, size_t shownBands) {
    bool gripper = !(b.info.fStyle & RBBS_NOGRIPPER) &&
                   (shownBands > 1 || (b.info.fStyle & RBBS_GRIPPERALWAYS));
    return gripper ? kGripper : 0;
}

int bandWidth(const Band& b, size_t shownBands) {
    int w = static_cast<int>(std::min<UINT>(std::max(b.info.cx, b.info.cxMinChild), 100000));
    return bandHeader(b, shownBands) + w + kBandMargin;
}

size_t shownBands(const Rebar* r) {
    size_t shown = 0;
    for (const Band& b : r->bands)
        shown += bandVisible(b) ? 1 : 0;
    return shown;
}

// Lays the bands out in rows over the current width; returns the client height they need.
int arrangeBands(Rebar* r, int width, bool borders) {
    int top = 0, rows = 0;
    const size_t shown = shownBands(r);
    auto bandWidth = [shown](const Band& b) { return ::platform::detail::bandWidth(b, shown); };
    size_t i = 0;
    while (i < r->bands.size()) {
        if (!bandVisible(r->bands[i])) {
            r->bands[i].rect = {};
            i++;
            continue;
        }
        size_t first = i, last = i;
        int rowWidth = bandWidth(r->bands[i]);
        int rowHeight = bandHeight(r->bands[i]);
        for (size_t j = i + 1; j < r->bands.size(); j++) {
            const Band& b = r->bands[j];
            if (!bandVisible(b)) continue;
            if ((b.info.fStyle & RBBS_BREAK) || rowWidth + bandWidth(b) > width) break;
            rowWidth += bandWidth(b);
            rowHeight = std::max(rowHeight, bandHeight(b));
            last = j;
        }
        if (rows > 0 && borders) top += kRowGap;
        int x = 0;
        for (size_t j = first; j <= last; j++) {
            Band& b = r->bands[j];
            if (!bandVisible(b)) continue;
            // The last band of a row takes the rest of the row.
            int w = j == last ? std::max(width - x, bandWidth(b)) : bandWidth(b);
            b.rect = {x, top, x + w, top + rowHeight};
            x += w;
        }
        top += rowHeight;
        rows++;
        i = last + 1;
    }
    r->rows = rows;
    return top;
}

void placeBandChildren(Rebar* r) {
    const size_t shown = shownBands(r);
    for (const Band& b : r->bands) {
        if (!b.info.hwndChild || !IsWindow(b.info.hwndChild) || !bandVisible(b)) continue;
        int header = bandHeader(b, shown);
        int h = bandHeight(b);
        int y = b.rect.top + (rectHeight(b.rect) - h) / 2;
        int w = std::max(0, rectWidth(b.rect) - header - kBandMargin);
        MoveWindow(b.info.hwndChild, b.rect.left + header, y, w, h, TRUE);
    }
}

void layoutRebar(HWND hwnd) {
    Rebar* r = stateOf<Rebar>(hwnd);
    if (!r) return;
    if (r->layingOut) {
        r->again = true;
        return;
    }
    r->layingOut = true;
    // Moving the rebar or its parent's answer to a height change may ask for another
    // layout; a few rounds settle it.
    for (int round = 0; round < 8 && IsWindow(hwnd); round++) {
        r = stateOf<Rebar>(hwnd);
        if (!r) return;
        r->again = false;
        DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
        RECT c;
        GetClientRect(hwnd, &c);
        int height = arrangeBands(r, c.right, (style & RBS_BANDBORDERS) != 0);
        placeBandChildren(r);
        r = stateOf<Rebar>(hwnd);
        if (!r) return;
        bool heightChanged = height != r->height;
        r->height = height;
        RECT outer;
        GetWindowRect(hwnd, &outer);
        if (!(style & CCS_NORESIZE) && rectHeight(outer) != height + frameHeight(hwnd)) {
            if (style & CCS_NOPARENTALIGN) {
                RECT w;
                GetWindowRect(hwnd, &w);
                SetWindowPos(hwnd, nullptr, 0, 0, rectWidth(w), height + frameHeight(hwnd),
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            } else {
                RECT pc{};
                GetClientRect(GetParent(hwnd), &pc);
                SetWindowPos(hwnd, nullptr, 0, 0, pc.right, height + frameHeight(hwnd),
                             SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        if (heightChanged) {
            NMHDR nm{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), RBN_HEIGHTCHANGE};
            HWND parent = GetParent(hwnd);
            if (parent) SendMessageW(parent, WM_NOTIFY, nm.idFrom, reinterpret_cast<LPARAM>(&nm));
        }
        r = stateOf<Rebar>(hwnd);
        if (!r || !r->again) break;
    }
    if ((r = stateOf<Rebar>(hwnd))) r->layingOut = false;
}

// Copies the members a record names into a band; false for a record too small to be one.
bool readBand(Band& band, const REBARBANDINFOW* in) {
    if (!in || in->cbSize < REBARBANDINFOW_V3_SIZE) return false;
    REBARBANDINFOW info{};
    std::memcpy(&info, in, std::min<size_t>(in->cbSize, sizeof info));
    REBARBANDINFOW& b = band.info;
    UINT mask = info.fMask;
    if (mask & RBBIM_STYLE) b.fStyle = info.fStyle;
    if (mask & RBBIM_COLORS) b.clrFore = info.clrFore, b.clrBack = info.clrBack;
    if (mask & RBBIM_TEXT) band.text = copyString(info.lpText);
    if (mask & RBBIM_IMAGE) b.iImage = info.iImage;
    if (mask & RBBIM_CHILD) {
        if (info.hwndChild && !IsWindow(info.hwndChild)) return false;
        b.hwndChild = info.hwndChild;
    }
    if (mask & RBBIM_CHILDSIZE) {
        b.cxMinChild = info.cxMinChild;
        b.cyMinChild = info.cyMinChild;
        if (in->cbSize >= REBARBANDINFOW_V6_SIZE ||
            in->cbSize >= offsetof(REBARBANDINFOW, cxIdeal)) {
            b.cyChild = info.cyChild;
            b.cyMaxChild = info.cyMaxChild;
            b.cyIntegral = info.cyIntegral;
        }
    }
    if (mask & RBBIM_SIZE) b.cx = info.cx;
    if (mask & RBBIM_BACKGROUND) b.hbmBack = info.hbmBack;
    if (mask & RBBIM_ID) b.wID = info.wID;
    if ((mask & RBBIM_IDEALSIZE) && in->cbSize > offsetof(REBARBANDINFOW, cxIdeal))
        b.cxIdeal = info.cxIdeal;
    if ((mask & RBBIM_LPARAM) && in->cbSize > offsetof(REBARBANDINFOW, lParam))
        b.lParam = info.lParam;
    if ((mask & RBBIM_HEADERSIZE) && in->cbSize > offsetof(REBARBANDINFOW, cxHeader))
        b.cxHeader = info.cxHeader;
    return true;
}

LRESULT CALLBACK rebarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) return createState<Rebar>(hwnd, wParam, lParam);
    Rebar* r = stateOf<Rebar>(hwnd);
    if (!r) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (LRESULT fontResult; handleFont(hwnd, r, message, wParam, lParam, fontResult))
        return fontResult;
    switch (message) {
    case WM_NCDESTROY:
        destroyState<Rebar>(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_CREATE:
        queryNotifyFormat(hwnd);
        layoutRebar(hwnd);
        return 0;
    case WM_DESTROY: {
        // The windows in the bands go with the rebar, before the other children.
        std::vector<HWND> inBands;
        for (const Band& b : r->bands)
            if (b.info.hwndChild) inBands.push_back(b.info.hwndChild);
        for (HWND child : inBands)
            if (IsWindow(child)) DestroyWindow(child);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case RB_INSERTBANDW: {
        if (r->bands.size() >= kMaxBands) return FALSE;
        Band band;
        if (!readBand(band, reinterpret_cast<const REBARBANDINFOW*>(lParam))) return FALSE;
        size_t at = static_cast<UINT>(wParam) >= r->bands.size() ? r->bands.size() : wParam;
        r->bands.insert(r->bands.begin() + static_cast<ptrdiff_t>(at), band);
        // The band's window becomes the rebar's child, as on Windows.
        if (band.info.hwndChild && GetParent(band.info.hwndChild) != hwnd)
            SetParent(band.info.hwndChild, hwnd);
        layoutRebar(hwnd);
        return TRUE;
    }
    case RB_SETBANDINFOW: {
        if (wParam >= r->bands.size()) return FALSE;
        Band band = r->bands[wParam];
        if (!readBand(band, reinterpret_cast<const REBARBANDINFOW*>(lParam))) return FALSE;
        r->bands[wParam] = band;
        if (band.info.hwndChild && GetParent(band.info.hwndChild) != hwnd)
            SetParent(band.info.hwndChild, hwnd);
        layoutRebar(hwnd);
        return TRUE;
    }
    case RB_GETBANDINFOW: {
        auto* out = reinterpret_cast<REBARBANDINFOW*>(lParam);
        if (wParam >= r->bands.size() || !out || out->cbSize < REBARBANDINFOW_V3_SIZE) return FALSE;
        UINT size = out->cbSize, mask = out->fMask;
        LPWSTR textBuffer = out->lpText;
        UINT textSize = out->cch;
        REBARBANDINFOW info = r->bands[wParam].info;
        info.cbSize = size;
        info.fMask = mask;
        info.lpText = textBuffer;
        info.cch = textSize;
        if ((mask & RBBIM_TEXT) && textBuffer)
            copyToBuffer(r->bands[wParam].text, textBuffer, static_cast<int>(textSize));
        std::memcpy(out, &info, std::min<size_t>(size, sizeof info));
        return TRUE;
    }
    case RB_DELETEBAND:
        if (wParam >= r->bands.size()) return FALSE;
        if (HWND child = r->bands[wParam].info.hwndChild; child && IsWindow(child))
            ShowWindow(child, SW_HIDE);
        r->bands.erase(r->bands.begin() + static_cast<ptrdiff_t>(wParam));
        layoutRebar(hwnd);
        return TRUE;
    case RB_GETBANDCOUNT:
        return static_cast<LRESULT>(r->bands.size());
    case RB_GETROWCOUNT:
        return r->rows;
    case RB_GETBARHEIGHT:
        return r->height;
    case RB_GETROWHEIGHT:
        return wParam < r->bands.size() ? rectHeight(r->bands[wParam].rect) : 0;
    case RB_GETRECT: {
        auto* out = reinterpret_cast<RECT*>(lParam);
        if (wParam >= r->bands.size() || !out) return FALSE;
        *out = r->bands[wParam].rect;
        return TRUE;
    }
    case RB_IDTOINDEX:
        for (size_t i = 0; i < r->bands.size(); i++)
            if (r->bands[i].info.wID == wParam) return static_cast<LRESULT>(i);
        return -1;
    case WM_NCCALCSIZE: {
        // The rebar draws its own frame: a border becomes a thin edge, and there is never
        // a caption, whatever the styles say.
        RECT* rc = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                          : reinterpret_cast<RECT*>(lParam);
        if (rc && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_BORDER)) {
            int edge = GetSystemMetrics(SM_CXEDGE);
            rc->left = std::min(rc->left + edge, rc->right);
            rc->right = std::max(rc->right - edge, rc->left);
            rc->top = std::min(rc->top + edge, rc->bottom);
            rc->bottom = std::max(rc->bottom - edge, rc->top);
        }
        return 0;
    }
    case WM_WINDOWPOSCHANGING: {
        // Unless told otherwise the rebar is as high as its bands, whatever it is asked to be.
        auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
        DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
        if (wp && !(wp->flags & SWP_NOSIZE) && !(style & CCS_NORESIZE))
            wp->cy = r->height + frameHeight(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_SIZE:
        layoutRebar(hwnd);
        return 0;
    case WM_NOTIFY:
    case WM_COMMAND:
        // The controls in the bands talk to the rebar's parent.
        return SendMessageW(GetParent(hwnd), message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Tooltip

struct Tool {
    TTTOOLINFOW info{};
    std::u16string text;
    bool callback = false;
};

struct Tooltip {
    std::vector<Tool> tools;
    HFONT font = nullptr;
    bool active = true;
    int current = -1;
};

constexpr size_t kMaxTools = 4096;

HWND toolWindow(const TTTOOLINFOW& t) {
    return (t.uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(t.uId) : t.hwnd;
}

int findTool(Tooltip* tip, const TTTOOLINFOW* key) {
    if (!key) return -1;
    for (size_t i = 0; i < tip->tools.size(); i++)
        if (tip->tools[i].info.hwnd == key->hwnd && tip->tools[i].info.uId == key->uId)
            return static_cast<int>(i);
    return -1;
}

void setToolText(Tool& tool, LPWSTR text) {
    tool.callback = text == LPSTR_TEXTCALLBACKW;
    tool.text = tool.callback ? std::u16string() : copyString(text);
}

void showTool(HWND tooltip, int index) {
    Tooltip* tip = stateOf<Tooltip>(tooltip);
    if (!tip || tip->current == index) return;
    tip->current = index;
    if (index >= 0) {
        SetWindowTextW(tooltip, tip->tools[static_cast<size_t>(index)].text.c_str());
        ShowWindow(tooltip, SW_SHOWNA);
    } else {
        ShowWindow(tooltip, SW_HIDE);
    }
}

// Watches a mouse message of a tool's window.
void relayMouse(HWND tooltip, const MSG& msg) {
    Tooltip* tip = stateOf<Tooltip>(tooltip);
    if (!tip) return;
    if (msg.message != WM_MOUSEMOVE) {
        if (msg.message >= WM_LBUTTONDOWN && msg.message <= WM_MBUTTONDBLCLK) showTool(tooltip, -1);
        return;
    }
    if (!tip->active) return;
    POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    int hit = -1;
    for (size_t i = 0; i < tip->tools.size() && hit < 0; i++) {
        const TTTOOLINFOW& t = tip->tools[i].info;
        if (toolWindow(t) != msg.hwnd) continue;
        if (t.uFlags & TTF_IDISHWND) {
            hit = static_cast<int>(i);
        } else if (p.x >= t.rect.left && p.x < t.rect.right && p.y >= t.rect.top &&
                   p.y < t.rect.bottom) {
            hit = static_cast<int>(i);
        }
    }
    showTool(tooltip, hit);
}

LRESULT CALLBACK tooltipSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR) {
    HWND tooltip = reinterpret_cast<HWND>(id);
    if ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) && IsWindow(tooltip))
        relayMouse(tooltip, MSG{hwnd, message, wParam, lParam, 0, {}});
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, tooltipSubclass, id);
    // Watching only: every message goes on to the window's own procedure.
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void unsubclassIfUnused(HWND tooltip, Tooltip* tip, HWND window) {
    for (const Tool& t : tip->tools)
        if ((t.info.uFlags & TTF_SUBCLASS) && toolWindow(t.info) == window) return;
    if (IsWindow(window))
        RemoveWindowSubclass(window, tooltipSubclass, reinterpret_cast<UINT_PTR>(tooltip));
}

LRESULT CALLBACK tooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // A tooltip is always a pop-up window of its owner.
        DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
        SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>((style & ~WS_CHILD) | WS_POPUP));
        SetWindowLongPtrW(hwnd, GWL_EXSTYLE,
                          GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
        return createState<Tooltip>(hwnd, wParam, lParam);
    }
    Tooltip* tip = stateOf<Tooltip>(hwnd);
    if (!tip) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (LRESULT fontResult; handleFont(hwnd, tip, message, wParam, lParam, fontResult))
        return fontResult;
    auto* info = reinterpret_cast<TTTOOLINFOW*>(lParam);
    switch (message) {
    case WM_NCDESTROY: {
        std::vector<HWND> watched;
        for (const Tool& t : tip->tools)
            if (t.info.uFlags & TTF_SUBCLASS) watched.push_back(toolWindow(t.info));
        for (HWND w : watched)
            if (IsWindow(w))
                RemoveWindowSubclass(w, tooltipSubclass, reinterpret_cast<UINT_PTR>(hwnd));
        destroyState<Tooltip>(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_CREATE:
        queryNotifyFormat(hwnd);
        // Hidden and empty until it has something to show.
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    case TTM_ADDTOOLW: {
        if (!info || tip->tools.size() >= kMaxTools) return FALSE;
        // Windows reads the first version of the record whatever cbSize says.
        Tool tool;
        std::memcpy(&tool.info, info,
                    std::max<size_t>(TTTOOLINFOW_V1_SIZE,
                                     std::min<size_t>(info->cbSize, sizeof tool.info)));
        tool.info.cbSize = sizeof tool.info;
        setToolText(tool, info->lpszText);
        tool.info.lpszText = nullptr;
        HWND window = toolWindow(tool.info);
        if ((tool.info.uFlags & TTF_SUBCLASS) && IsWindow(window))
            SetWindowSubclass(window, tooltipSubclass, reinterpret_cast<UINT_PTR>(hwnd), 0);
        tip->tools.push_back(std::move(tool));
        return TRUE;
    }
    case TTM_DELTOOLW: {
        int i = findTool(tip, info);
        if (i < 0) return 0;
        HWND window = toolWindow(tip->tools[static_cast<size_t>(i)].info);
        if (tip->current == i) showTool(hwnd, -1);
        if ((tip = stateOf<Tooltip>(hwnd)) == nullptr) return 0;
        tip->tools.erase(tip->tools.begin() + i);
        if (tip->current > i) tip->current--;
        unsubclassIfUnused(hwnd, tip, window);
        return 0;
    }
    case TTM_NEWTOOLRECTW: {
        int i = findTool(tip, info);
        if (i >= 0) tip->tools[static_cast<size_t>(i)].info.rect = info->rect;
        return 0;
    }
    case TTM_UPDATETIPTEXTW:
    case TTM_SETTOOLINFOW: {
        int i = findTool(tip, info);
        if (i < 0) return 0;
        Tool& tool = tip->tools[static_cast<size_t>(i)];
        if (message == TTM_SETTOOLINFOW) {
            tool.info.uFlags = info->uFlags;
            tool.info.rect = info->rect;
            tool.info.hinst = info->hinst;
        }
        setToolText(tool, info->lpszText);
        return 0;
    }
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(tip->tools.size());
    case TTM_GETTOOLINFOW:
    case TTM_GETCURRENTTOOLW:
    case TTM_ENUMTOOLSW: {
        int i = message == TTM_GETTOOLINFOW ? findTool(tip, info)
                : message == TTM_ENUMTOOLSW
                    ? (wParam < tip->tools.size() ? static_cast<int>(wParam) : -1)
                    : tip->current;
        if (!info) return i >= 0;
        if (i < 0 || info->cbSize < TTTOOLINFOW_V1_SIZE) return FALSE;
        UINT size = info->cbSize;
        LPWSTR buffer = info->lpszText;
        std::memcpy(info, &tip->tools[static_cast<size_t>(i)].info,
                    std::min<size_t>(size, sizeof(TTTOOLINFOW)));
        info->cbSize = size;
        info->lpszText = buffer;
        return TRUE;
    }
    case TTM_GETTEXTW: {
        int i = findTool(tip, info);
        if (i < 0 || !info->lpszText) return 0;
        // The buffer's size comes in wParam; without one, Windows assumes 80 units.
        int size = wParam ? static_cast<int>(std::min<WPARAM>(wParam, INT32_MAX)) : 80;
        copyToBuffer(tip->tools[static_cast<size_t>(i)].text, info->lpszText, size);
        return 0;
    }
    case TTM_ACTIVATE:
        tip->active = wParam != 0;
        if (!tip->active) showTool(hwnd, -1);
        return 0;
    case TTM_POP:
        showTool(hwnd, -1);
        return 0;
    case TTM_RELAYEVENT:
        if (lParam) relayMouse(hwnd, *reinterpret_cast<const MSG*>(lParam));
        return 0;
    case TTM_SETDELAYTIME:
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool classesRegistered = false;

void registerControl(LPCWSTR name, WNDPROC proc, HCURSOR cursor) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = sizeof(void*);
    wc.hCursor = cursor;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

} // namespace

void registerCommonControlClasses() {
    if (classesRegistered) return;
    classesRegistered = true;
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    registerControl(STATUSCLASSNAMEW, statusProc, arrow);
    registerControl(TOOLBARCLASSNAMEW, toolbarProc, arrow);
    registerControl(REBARCLASSNAMEW, rebarProc, arrow);
    registerControl(TOOLTIPS_CLASSW, tooltipProc, arrow);
}

void resetControls() {
    classesRegistered = false;
    chains().clear();
    subclassFrames.clear();
}

} // namespace platform::detail

using namespace platform::detail;

void WINAPI InitCommonControls(void) {
    registerCommonControlClasses();
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
    if (!icc || icc->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    registerCommonControlClasses();
    return TRUE;
}

HWND WINAPI CreateStatusWindowW(LONG style, LPCWSTR text, HWND parent, UINT id) {
    registerCommonControlClasses();
    return CreateWindowExW(0, STATUSCLASSNAMEW, text, static_cast<DWORD>(style), -100, -100, 10, 10,
                           parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr,
                           nullptr);
}

HWND WINAPI CreateToolbarEx(HWND parent, DWORD style, UINT id, int bitmapCount,
                            HINSTANCE bitmapInstance, UINT_PTR bitmapId, LPCTBBUTTON buttons,
                            int buttonCount, int dxButton, int dyButton, int dxBitmap, int dyBitmap,
                            UINT structSize) {
    registerCommonControlClasses();
    if (buttonCount < 0 || (buttonCount > 0 && !buttons)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND hwnd =
        CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, style | WS_CHILD, 0, 0, 100, 30, parent,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    if (!hwnd) return nullptr;
    SendMessageW(hwnd, TB_BUTTONSTRUCTSIZE, structSize, 0);
    if (dxBitmap > 0 && dyBitmap > 0)
        SendMessageW(hwnd, TB_SETBITMAPSIZE, 0, MAKELPARAM(dxBitmap, dyBitmap));
    if (dxButton > 0 && dyButton > 0)
        SendMessageW(hwnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(dxButton, dyButton));
    if (bitmapCount > 0) {
        TBADDBITMAP add{bitmapInstance, bitmapId};
        SendMessageW(hwnd, TB_ADDBITMAP, static_cast<WPARAM>(bitmapCount),
                     reinterpret_cast<LPARAM>(&add));
    }
    if (buttonCount > 0)
        SendMessageW(hwnd, TB_ADDBUTTONSW, static_cast<WPARAM>(buttonCount),
                     reinterpret_cast<LPARAM>(buttons));
    SendMessageW(hwnd, TB_AUTOSIZE, 0, 0);
    return hwnd;
}

BOOL WINAPI SetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR refData) {
    if (!IsWindow(hwnd) || !proc) return FALSE;
    auto& chain = chains()[handleKey(hwnd)];
    for (auto& e : chain.entries)
        if (e.proc == proc && e.id == id) {
            e.refData = refData;
            return TRUE;
        }
    if (!chain.installed) {
        chain.installed = true;
        chain.original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassShim)));
    }
    chain.entries.push_back({proc, id, refData});
    return TRUE;
}

BOOL WINAPI GetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR* refData) {
    auto it = chains().find(handleKey(hwnd));
    if (it == chains().end()) return FALSE;
    for (auto& e : it->second.entries)
        if (e.proc == proc && e.id == id) {
            if (refData) *refData = e.refData;
            return TRUE;
        }
    return FALSE;
}

BOOL WINAPI RemoveWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id) {
    auto it = chains().find(handleKey(hwnd));
    if (it == chains().end()) return FALSE;
    auto& entries = it->second.entries;
    for (size_t i = 0; i < entries.size(); i++) {
        if (entries[i].proc != proc || entries[i].id != id) continue;
        entries.erase(entries.begin() + static_cast<ptrdiff_t>(i));
        // Frames of this window that still have entries below the removed one to call
        // now find them one place lower.
        for (auto& f : subclassFrames)
            if (f.hwnd == hwnd && f.next > i) f.next--;
        // The shim stays installed: someone may have subclassed on top of it since, and it
        // passes straight to the original procedure when its chain is empty.
        return TRUE;
    }
    return FALSE;
}

LRESULT WINAPI DefSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    for (auto f = subclassFrames.rbegin(); f != subclassFrames.rend(); ++f)
        if (f->hwnd == hwnd) return callChain(hwnd, message, wParam, lParam, f->next);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
