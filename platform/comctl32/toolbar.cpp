// The toolbar: a row of buttons whose clicks are commands to its parent.
#include "platform/comctl32/comctl32_private.h"

#include <cstring>

namespace platform::detail {

namespace {

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
constexpr int kButtonTop = 2;
constexpr size_t kMaxButtons = 4096;
constexpr int kMaxButtonSide = 1000;
// The images in each of the system's own bitmaps.
constexpr int kStandardImages = 15;
constexpr int kViewImages = 12;
constexpr int kHistoryImages = 5;
constexpr WPARAM kMaxImages = 4096;
// TB_BUTTONSTRUCTSIZE accepts the sizes a TBBUTTON has had, and a little room.
constexpr WPARAM kMinStructSize = 16;
constexpr WPARAM kMaxStructSize = 64;

// Client height; the divider line above the buttons is part of the frame.
int toolbarHeight(Toolbar* t) {
    return t->buttonHeight + 2 * kButtonTop;
}

void alignToolbar(HWND hwnd) {
    Toolbar* t = stateOf<Toolbar>(hwnd);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (!t || (style & CCS_NORESIZE)) return;
    int h = toolbarHeight(t) + frameHeight(hwnd);
    if (style & CCS_NOPARENTALIGN) {
        RECT w;
        GetWindowRect(hwnd, &w);
        SetWindowPos(hwnd, nullptr, 0, 0, width(w), h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    HWND parent = GetParent(hwnd);
    RECT pc;
    if (!parent || !GetClientRect(parent, &pc)) return;
    bool bottom = (style & CCS_BOTTOM) == CCS_BOTTOM;
    SetWindowPos(hwnd, nullptr, 0, bottom ? pc.bottom - h : 0, pc.right, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT buttonRect(Toolbar* t, size_t index) {
    int x = 0;
    for (size_t i = 0; i < t->buttons.size(); i++) {
        const TBBUTTON& b = t->buttons[i].button;
        if (b.fsState & TBSTATE_HIDDEN) {
            if (i == index) return RECT{x, kButtonTop, x, kButtonTop};
            continue;
        }
        int w = (b.fsStyle & TBSTYLE_SEP) ? kSeparatorWidth : t->buttonWidth;
        if (i == index) return RECT{x, kButtonTop, x + w, kButtonTop + t->buttonHeight};
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

void changed(HWND hwnd) {
    InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT onNcCalcSize(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    LRESULT r = DefWindowProcW(hwnd, WM_NCCALCSIZE, wParam, lParam);
    RECT* rc = ncCalcSizeRect(wParam, lParam);
    if (rc && !(GetWindowLongPtrW(hwnd, GWL_STYLE) & CCS_NODIVIDER))
        rc->top = std::min(rc->top + kDividerHeight, rc->bottom);
    return r;
}

// How many images a bitmap brings, or -1 for one that cannot be had.
int imagesIn(const TBADDBITMAP* add, WPARAM count) {
    if (add->hInst == HINST_COMMCTRL) {
        switch (add->nID) {
        case IDB_STD_SMALL_COLOR:
        case IDB_STD_LARGE_COLOR:
            return kStandardImages;
        case IDB_VIEW_SMALL_COLOR:
        case IDB_VIEW_LARGE_COLOR:
            return kViewImages;
        case IDB_HIST_SMALL_COLOR:
        case IDB_HIST_LARGE_COLOR:
            return kHistoryImages;
        default:
            return -1;
        }
    }
    if (!add->hInst && add->nID) return static_cast<int>(std::min(count, kMaxImages)); // a handle
    return -1; // no module of ours carries bitmap resources
}

LRESULT onAddBitmap(HWND hwnd, Toolbar* t, WPARAM wParam, LPARAM lParam) {
    auto* add = reinterpret_cast<const TBADDBITMAP*>(lParam);
    if (!add) return -1;
    int added = imagesIn(add, wParam);
    if (added < 0) return -1;
    // The same bitmap again adds nothing and answers where it already is.
    for (auto& [source, index] : t->bitmaps)
        if (source.first == add->hInst && source.second == add->nID) return index;
    int first = t->images;
    t->images += added;
    t->bitmaps.push_back({{add->hInst, add->nID}, first});
    changed(hwnd);
    return first;
}

LRESULT onInsertButtons(HWND hwnd, Toolbar* t, size_t at, size_t count, LPARAM lParam) {
    if (!insertButtons(t, at, count, reinterpret_cast<const BYTE*>(lParam))) return FALSE;
    changed(hwnd);
    return TRUE;
}

// TB_ENABLEBUTTON, TB_CHECKBUTTON, TB_PRESSBUTTON and TB_HIDEBUTTON: one state bit each.
LRESULT onSetStateBit(HWND hwnd, Toolbar* t, BYTE bit, WPARAM command, LPARAM lParam) {
    int i = commandIndex(t, command);
    if (i < 0) return FALSE;
    BYTE& state = t->buttons[static_cast<size_t>(i)].button.fsState;
    state = LOWORD(lParam) ? (state | bit) : (state & ~bit);
    changed(hwnd);
    return TRUE;
}

LRESULT onGetStateBit(Toolbar* t, BYTE bit, WPARAM command) {
    int i = commandIndex(t, command);
    if (i < 0) return 0;
    return (t->buttons[static_cast<size_t>(i)].button.fsState & bit) != 0;
}

LRESULT onSetState(HWND hwnd, Toolbar* t, WPARAM command, LPARAM lParam) {
    int i = commandIndex(t, command);
    if (i < 0) return FALSE;
    t->buttons[static_cast<size_t>(i)].button.fsState = static_cast<BYTE>(LOWORD(lParam));
    changed(hwnd);
    return TRUE;
}

LRESULT onDeleteButton(HWND hwnd, Toolbar* t, WPARAM index) {
    if (index >= t->buttons.size()) return FALSE;
    t->buttons.erase(t->buttons.begin() + static_cast<ptrdiff_t>(index));
    changed(hwnd);
    return TRUE;
}

LRESULT onGetButton(Toolbar* t, WPARAM index, LPARAM lParam) {
    if (index >= t->buttons.size() || !lParam) return FALSE;
    std::memcpy(reinterpret_cast<void*>(lParam), &t->buttons[index].button,
                std::min(t->structSize, sizeof(TBBUTTON)));
    return TRUE;
}

LRESULT onGetItemRect(Toolbar* t, WPARAM index, LPARAM lParam) {
    auto* r = reinterpret_cast<RECT*>(lParam);
    if (index >= t->buttons.size() || !r) return FALSE;
    *r = buttonRect(t, index);
    return TRUE;
}

LRESULT onGetState(Toolbar* t, WPARAM command) {
    int i = commandIndex(t, command);
    return i < 0 ? -1 : t->buttons[static_cast<size_t>(i)].button.fsState;
}

LRESULT onButtonUp(HWND hwnd, Toolbar* t, LPARAM lParam) {
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

// The state bit each of the state messages sets or reads.
BYTE stateBitOf(UINT message) {
    switch (message) {
    case TB_ENABLEBUTTON:
    case TB_ISBUTTONENABLED:
        return TBSTATE_ENABLED;
    case TB_CHECKBUTTON:
    case TB_ISBUTTONCHECKED:
        return TBSTATE_CHECKED;
    case TB_PRESSBUTTON:
        return TBSTATE_PRESSED;
    default:
        return TBSTATE_HIDDEN;
    }
}

// The messages about the buttons, their images and their states.
std::optional<LRESULT> onButtonMessage(HWND hwnd, Toolbar* t, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
    switch (message) {
    case TB_ADDBITMAP:
        return onAddBitmap(hwnd, t, wParam, lParam);
    case TB_ADDBUTTONSW:
        return onInsertButtons(hwnd, t, t->buttons.size(), wParam, lParam);
    case TB_INSERTBUTTONW:
        return onInsertButtons(hwnd, t, wParam, 1, lParam);
    case TB_DELETEBUTTON:
        return onDeleteButton(hwnd, t, wParam);
    case TB_BUTTONCOUNT:
        return static_cast<LRESULT>(t->buttons.size());
    case TB_GETBUTTON:
        return onGetButton(t, wParam, lParam);
    case TB_COMMANDTOINDEX:
        return commandIndex(t, wParam);
    case TB_GETITEMRECT:
        return onGetItemRect(t, wParam, lParam);
    case TB_ENABLEBUTTON:
    case TB_CHECKBUTTON:
    case TB_PRESSBUTTON:
    case TB_HIDEBUTTON:
        return onSetStateBit(hwnd, t, stateBitOf(message), wParam, lParam);
    case TB_ISBUTTONENABLED:
    case TB_ISBUTTONCHECKED:
        return onGetStateBit(t, stateBitOf(message), wParam);
    case TB_GETSTATE:
        return onGetState(t, wParam);
    case TB_SETSTATE:
        return onSetState(hwnd, t, wParam, lParam);
    }
    return std::nullopt;
}

// The toolbar's own shape and size, and the mouse.
std::optional<LRESULT> onMessage(HWND hwnd, Toolbar* t, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        queryNotifyFormat(hwnd);
        alignToolbar(hwnd);
        return 0;
    case WM_NCCALCSIZE:
        return onNcCalcSize(hwnd, wParam, lParam);
    case TB_BUTTONSTRUCTSIZE:
        if (wParam >= kMinStructSize && wParam <= kMaxStructSize) t->structSize = wParam;
        return 0;
    case TB_SETBUTTONSIZE:
        t->buttonWidth = std::clamp<int>(LOWORD(lParam), 1, kMaxButtonSide);
        t->buttonHeight = std::clamp<int>(HIWORD(lParam), 1, kMaxButtonSide);
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
    case WM_LBUTTONDOWN:
        t->pressedIndex = buttonAt(t, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        return onButtonUp(hwnd, t, lParam);
    }
    return onButtonMessage(hwnd, t, message, wParam, lParam);
}

} // namespace

LRESULT CALLBACK toolbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return controlProc<Toolbar>(hwnd, message, wParam, lParam, [&](Toolbar* t) {
        return onMessage(hwnd, t, message, wParam, lParam);
    });
}

} // namespace platform::detail
