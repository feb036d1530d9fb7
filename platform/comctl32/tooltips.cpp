// The tooltip: a pop-up that shows the text of the tool under the mouse, watching the
// tools' windows through a subclass or the mouse messages relayed to it.
#include "platform/comctl32/comctl32_private.h"

#include <cstring>

namespace platform::detail {

namespace {

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

// Without a size in wParam, TTM_GETTEXTW assumes a buffer of this many units, as Windows does.
constexpr int kDefaultTextBuffer = 80;

// A tooltip is always a pop-up window of its owner.
void makePopup(HWND hwnd) {
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>((style & ~WS_CHILD) | WS_POPUP));
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
}

// Stops watching the windows of the tools, as the tooltip goes away.
void unwatchAll(HWND hwnd) {
    Tooltip* tip = stateOf<Tooltip>(hwnd);
    if (!tip) return;
    std::vector<HWND> watched;
    for (const Tool& t : tip->tools)
        if (t.info.uFlags & TTF_SUBCLASS) watched.push_back(toolWindow(t.info));
    for (HWND w : watched)
        if (IsWindow(w)) RemoveWindowSubclass(w, tooltipSubclass, reinterpret_cast<UINT_PTR>(hwnd));
}

LRESULT onAddTool(HWND hwnd, Tooltip* tip, const TTTOOLINFOW* info) {
    if (!info || tip->tools.size() >= kMaxTools) return FALSE;
    // Windows reads the first version of the record whatever cbSize says.
    Tool tool;
    std::memcpy(
        &tool.info, info,
        std::max<size_t>(TTTOOLINFOW_V1_SIZE, std::min<size_t>(info->cbSize, sizeof tool.info)));
    tool.info.cbSize = sizeof tool.info;
    setToolText(tool, info->lpszText);
    tool.info.lpszText = nullptr;
    HWND window = toolWindow(tool.info);
    if ((tool.info.uFlags & TTF_SUBCLASS) && IsWindow(window))
        SetWindowSubclass(window, tooltipSubclass, reinterpret_cast<UINT_PTR>(hwnd), 0);
    tip->tools.push_back(std::move(tool));
    return TRUE;
}

LRESULT onDelTool(HWND hwnd, Tooltip* tip, const TTTOOLINFOW* info) {
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

LRESULT onNewToolRect(Tooltip* tip, const TTTOOLINFOW* info) {
    int i = findTool(tip, info);
    if (i >= 0) tip->tools[static_cast<size_t>(i)].info.rect = info->rect;
    return 0;
}

// TTM_UPDATETIPTEXTW changes the text; TTM_SETTOOLINFOW the flags and place too.
LRESULT onSetToolInfo(Tooltip* tip, const TTTOOLINFOW* info, bool all) {
    int i = findTool(tip, info);
    if (i < 0) return 0;
    Tool& tool = tip->tools[static_cast<size_t>(i)];
    if (all) {
        tool.info.uFlags = info->uFlags;
        tool.info.rect = info->rect;
        tool.info.hinst = info->hinst;
    }
    setToolText(tool, info->lpszText);
    return 0;
}

// TTM_GETTOOLINFOW, TTM_GETCURRENTTOOLW and TTM_ENUMTOOLSW: the record of tool i.
LRESULT onGetToolInfo(Tooltip* tip, int i, TTTOOLINFOW* info) {
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

LRESULT onGetText(Tooltip* tip, WPARAM wParam, TTTOOLINFOW* info) {
    int i = findTool(tip, info);
    if (i < 0 || !info->lpszText) return 0;
    int size = wParam ? static_cast<int>(std::min<WPARAM>(wParam, INT32_MAX)) : kDefaultTextBuffer;
    copyToBuffer(tip->tools[static_cast<size_t>(i)].text, info->lpszText, size);
    return 0;
}

// The messages about the tools.
std::optional<LRESULT> onToolMessage(HWND hwnd, Tooltip* tip, UINT message, WPARAM wParam,
                                     TTTOOLINFOW* info) {
    switch (message) {
    case TTM_ADDTOOLW:
        return onAddTool(hwnd, tip, info);
    case TTM_DELTOOLW:
        return onDelTool(hwnd, tip, info);
    case TTM_NEWTOOLRECTW:
        return onNewToolRect(tip, info);
    case TTM_UPDATETIPTEXTW:
    case TTM_SETTOOLINFOW:
        return onSetToolInfo(tip, info, message == TTM_SETTOOLINFOW);
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(tip->tools.size());
    case TTM_GETTOOLINFOW:
        return onGetToolInfo(tip, findTool(tip, info), info);
    case TTM_ENUMTOOLSW:
        return onGetToolInfo(tip, wParam < tip->tools.size() ? static_cast<int>(wParam) : -1, info);
    case TTM_GETCURRENTTOOLW:
        return onGetToolInfo(tip, tip->current, info);
    case TTM_GETTEXTW:
        return onGetText(tip, wParam, info);
    }
    return std::nullopt;
}

// The tooltip's own creation, showing and hiding, and the mouse messages relayed to it.
std::optional<LRESULT> onMessage(HWND hwnd, Tooltip* tip, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        queryNotifyFormat(hwnd);
        // Hidden and empty until it has something to show.
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
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
    return onToolMessage(hwnd, tip, message, wParam, reinterpret_cast<TTTOOLINFOW*>(lParam));
}

} // namespace

LRESULT CALLBACK tooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) makePopup(hwnd);
    if (message == WM_NCDESTROY) unwatchAll(hwnd);
    return controlProc<Tooltip>(hwnd, message, wParam, lParam, [&](Tooltip* tip) {
        return onMessage(hwnd, tip, message, wParam, lParam);
    });
}

} // namespace platform::detail
