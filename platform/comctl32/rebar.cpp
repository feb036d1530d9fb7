// The rebar: bands in rows, each holding a child window, as high as its bands need.
#include "platform/comctl32/comctl32_private.h"

#include <cstring>

namespace platform::detail {

namespace {

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
// A band is never taller or wider than this, whatever its record says.
constexpr UINT kMaxBandHeight = 10000;
constexpr UINT kMaxBandWidth = 100000;
// Moving the rebar, or its parent answering a height change, may ask for another layout;
// this many rounds settle it.
constexpr int kLayoutRounds = 8;

bool bandVisible(const Band& b) {
    return !(b.info.fStyle & RBBS_HIDDEN);
}

int bandHeight(const Band& b) {
    // Without a child window a band is only as high as its own decoration.
    if (!b.info.hwndChild || !IsWindow(b.info.hwndChild)) return kEmptyBandHeight;
    int h = static_cast<int>(std::min<UINT>(b.info.cyMinChild, kMaxBandHeight));
    if ((b.info.fStyle & RBBS_VARIABLEHEIGHT) && b.info.cyChild > b.info.cyMinChild)
        h = static_cast<int>(std::min<UINT>(b.info.cyChild, kMaxBandHeight));
    if (h == 0 && b.info.hwndChild && IsWindow(b.info.hwndChild)) {
        RECT r;
        GetWindowRect(b.info.hwndChild, &r);
        h = height(r);
    }
    return h;
}

// A lone band has no gripper to drag it by; with several each has one.
int bandHeader(const Band& b, size_t shownBands) {
    bool gripper = !(b.info.fStyle & RBBS_NOGRIPPER) &&
                   (shownBands > 1 || (b.info.fStyle & RBBS_GRIPPERALWAYS));
    return gripper ? kGripper : 0;
}

int bandWidthOf(const Band& b, size_t shownBands) {
    int w = static_cast<int>(std::min<UINT>(std::max(b.info.cx, b.info.cxMinChild), kMaxBandWidth));
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
    auto bandWidth = [shown](const Band& b) { return bandWidthOf(b, shown); };
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
        int y = b.rect.top + (height(b.rect) - h) / 2;
        int w = std::max(0, width(b.rect) - header - kBandMargin);
        MoveWindow(b.info.hwndChild, b.rect.left + header, y, w, h, TRUE);
    }
}

// Gives the rebar the height its bands need, unless its styles say otherwise.
void fitHeight(HWND hwnd, DWORD style, int height) {
    RECT outer;
    GetWindowRect(hwnd, &outer);
    if ((style & CCS_NORESIZE) || detail::height(outer) == height + frameHeight(hwnd)) return;
    if (style & CCS_NOPARENTALIGN) {
        SetWindowPos(hwnd, nullptr, 0, 0, width(outer), height + frameHeight(hwnd),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        RECT pc{};
        GetClientRect(GetParent(hwnd), &pc);
        SetWindowPos(hwnd, nullptr, 0, 0, pc.right, height + frameHeight(hwnd),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void notifyHeightChange(HWND hwnd) {
    NMHDR nm{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), RBN_HEIGHTCHANGE};
    HWND parent = GetParent(hwnd);
    if (parent) SendMessageW(parent, WM_NOTIFY, nm.idFrom, reinterpret_cast<LPARAM>(&nm));
}

// One round of layout; false when the rebar went away meanwhile.
bool layoutRound(HWND hwnd) {
    Rebar* r = stateOf<Rebar>(hwnd);
    if (!r) return false;
    r->again = false;
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    RECT c;
    GetClientRect(hwnd, &c);
    int height = arrangeBands(r, c.right, (style & RBS_BANDBORDERS) != 0);
    placeBandChildren(r);
    r = stateOf<Rebar>(hwnd);
    if (!r) return false;
    bool heightChanged = height != r->height;
    r->height = height;
    fitHeight(hwnd, style, height);
    InvalidateRect(hwnd, nullptr, TRUE);
    if (heightChanged) notifyHeightChange(hwnd);
    return true;
}

void layoutRebar(HWND hwnd) {
    Rebar* r = stateOf<Rebar>(hwnd);
    if (!r) return;
    if (r->layingOut) {
        r->again = true;
        return;
    }
    r->layingOut = true;
    for (int round = 0; round < kLayoutRounds && IsWindow(hwnd); round++) {
        if (!layoutRound(hwnd)) return;
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

LRESULT onDestroy(HWND hwnd, Rebar* r) {
    // The windows in the bands go with the rebar, before the other children.
    std::vector<HWND> inBands;
    for (const Band& b : r->bands)
        if (b.info.hwndChild) inBands.push_back(b.info.hwndChild);
    for (HWND child : inBands)
        if (IsWindow(child)) DestroyWindow(child);
    return DefWindowProcW(hwnd, WM_DESTROY, 0, 0);
}

// The band's window becomes the rebar's child, as on Windows, and the bands are laid out.
LRESULT adoptAndLayout(HWND hwnd, const Band& band) {
    if (band.info.hwndChild && GetParent(band.info.hwndChild) != hwnd)
        SetParent(band.info.hwndChild, hwnd);
    layoutRebar(hwnd);
    return TRUE;
}

LRESULT onInsertBand(HWND hwnd, Rebar* r, WPARAM wParam, LPARAM lParam) {
    if (r->bands.size() >= kMaxBands) return FALSE;
    Band band;
    if (!readBand(band, reinterpret_cast<const REBARBANDINFOW*>(lParam))) return FALSE;
    size_t at = static_cast<UINT>(wParam) >= r->bands.size() ? r->bands.size() : wParam;
    r->bands.insert(r->bands.begin() + static_cast<ptrdiff_t>(at), band);
    return adoptAndLayout(hwnd, band);
}

LRESULT onSetBandInfo(HWND hwnd, Rebar* r, WPARAM wParam, LPARAM lParam) {
    if (wParam >= r->bands.size()) return FALSE;
    Band band = r->bands[wParam];
    if (!readBand(band, reinterpret_cast<const REBARBANDINFOW*>(lParam))) return FALSE;
    r->bands[wParam] = band;
    return adoptAndLayout(hwnd, band);
}

LRESULT onGetBandInfo(Rebar* r, WPARAM wParam, LPARAM lParam) {
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

LRESULT onDeleteBand(HWND hwnd, Rebar* r, WPARAM wParam) {
    if (wParam >= r->bands.size()) return FALSE;
    if (HWND child = r->bands[wParam].info.hwndChild; child && IsWindow(child))
        ShowWindow(child, SW_HIDE);
    r->bands.erase(r->bands.begin() + static_cast<ptrdiff_t>(wParam));
    layoutRebar(hwnd);
    return TRUE;
}

LRESULT onGetRect(Rebar* r, WPARAM wParam, LPARAM lParam) {
    auto* out = reinterpret_cast<RECT*>(lParam);
    if (wParam >= r->bands.size() || !out) return FALSE;
    *out = r->bands[wParam].rect;
    return TRUE;
}

LRESULT onIdToIndex(Rebar* r, WPARAM wParam) {
    for (size_t i = 0; i < r->bands.size(); i++)
        if (r->bands[i].info.wID == wParam) return static_cast<LRESULT>(i);
    return -1;
}

LRESULT onNcCalcSize(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    // The rebar draws its own frame: a border becomes a thin edge, and there is never
    // a caption, whatever the styles say.
    RECT* rc = ncCalcSizeRect(wParam, lParam);
    if (rc && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_BORDER)) {
        int edge = GetSystemMetrics(SM_CXEDGE);
        rc->left = std::min(rc->left + edge, rc->right);
        rc->right = std::max(rc->right - edge, rc->left);
        rc->top = std::min(rc->top + edge, rc->bottom);
        rc->bottom = std::max(rc->bottom - edge, rc->top);
    }
    return 0;
}

LRESULT onWindowPosChanging(HWND hwnd, Rebar* r, WPARAM wParam, LPARAM lParam) {
    // Unless told otherwise the rebar is as high as its bands, whatever it is asked to be.
    auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (wp && !(wp->flags & SWP_NOSIZE) && !(style & CCS_NORESIZE))
        wp->cy = r->height + frameHeight(hwnd);
    return DefWindowProcW(hwnd, WM_WINDOWPOSCHANGING, wParam, lParam);
}

std::optional<LRESULT> onMessage(HWND hwnd, Rebar* r, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        queryNotifyFormat(hwnd);
        layoutRebar(hwnd);
        return 0;
    case WM_DESTROY:
        return onDestroy(hwnd, r);
    case RB_INSERTBANDW:
        return onInsertBand(hwnd, r, wParam, lParam);
    case RB_SETBANDINFOW:
        return onSetBandInfo(hwnd, r, wParam, lParam);
    case RB_GETBANDINFOW:
        return onGetBandInfo(r, wParam, lParam);
    case RB_DELETEBAND:
        return onDeleteBand(hwnd, r, wParam);
    case RB_GETBANDCOUNT:
        return static_cast<LRESULT>(r->bands.size());
    case RB_GETROWCOUNT:
        return r->rows;
    case RB_GETBARHEIGHT:
        return r->height;
    case RB_GETROWHEIGHT:
        return wParam < r->bands.size() ? height(r->bands[wParam].rect) : 0;
    case RB_GETRECT:
        return onGetRect(r, wParam, lParam);
    case RB_IDTOINDEX:
        return onIdToIndex(r, wParam);
    case WM_NCCALCSIZE:
        return onNcCalcSize(hwnd, wParam, lParam);
    case WM_WINDOWPOSCHANGING:
        return onWindowPosChanging(hwnd, r, wParam, lParam);
    case WM_SIZE:
        layoutRebar(hwnd);
        return 0;
    case WM_NOTIFY:
    case WM_COMMAND:
        // The controls in the bands talk to the rebar's parent.
        return SendMessageW(GetParent(hwnd), message, wParam, lParam);
    }
    return std::nullopt;
}

} // namespace

LRESULT CALLBACK rebarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return controlProc<Rebar>(hwnd, message, wParam, lParam, [&](Rebar* r) {
        return onMessage(hwnd, r, message, wParam, lParam);
    });
}

} // namespace platform::detail
