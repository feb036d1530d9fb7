#include "framework/window_object.h"

#include "controls/tool_tip.h"
#include "framework/fatal.h"

#include <cstdint>
#include <cstdio>

WindowObject::WindowObject(const std::string& title) : WindowBase(title) {}

int WindowObject::setRect(int newX, int newY, int newWidth, int newHeight) {
    x = newX;
    y = newY;
    width = newWidth;
    height = newHeight;
    return 0;
}

int WindowObject::setStyle(DWORD newStyle) {
    style = newStyle;
    return 0;
}

int WindowObject::addStyle(DWORD bits) {
    style |= bits;
    return 0;
}

int WindowObject::setExStyle(DWORD newExStyle) {
    exStyle = newExStyle;
    return 0;
}

int WindowObject::addExStyle(DWORD bits) {
    exStyle |= bits;
    return 0;
}

int WindowObject::addFitableObject(WindowObject* child, int id, bool fitWidth, bool fitHeight) {
    if (!child) return -1;
    const int result = child->open(getHandle(), id);
    HWND h = child->getHandle();
    if (!h || (!fitWidth && !fitHeight)) return result;
    const auto low32 = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(h) & 0xFFFFFFFFu);
    std::printf("add fitable Object : hwnd=%08x name=%s\n", low32, child->title.c_str());
    std::fflush(stdout);
    fittedChildren.push_back(h);
    fitMode[h] = (fitWidth ? FitWidth : 0) + (fitHeight ? FitHeight : 0);
    return result;
}

int WindowObject::attachToolTip(ToolTip* tip) {
    if (!tip) return -1;
    toolTip = tip;
    const int result = tip->create(getHandle());
    tip->addTool();
    return result;
}

int WindowObject::open(HWND parent, int id) {
    return create(exStyle, style, x, y, width, height, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

RECT rectInClientOf(HWND window, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    POINT origin{0, 0};
    ClientToScreen(parent, &origin);
    r.left -= origin.x;
    r.right -= origin.x;
    r.top -= origin.y;
    r.bottom -= origin.y;
    return r;
}

void WindowObject::fitChildren(int cw, int ch) {
    // A copy: moving a child re-enters window procedures, which may register more children.
    const std::vector<HWND> children = fittedChildren;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        HWND child = *it;
        auto mode = fitMode.find(child);
        if (mode == fitMode.end()) fatalInternalError("fitted child without a fit mode");
        const RECT r = rectInClientOf(child, hwnd);
        switch (mode->second) {
        case FitWidth:
            MoveWindow(child, 0, r.top, cw, r.bottom - r.top, TRUE);
            break;
        case FitHeight:
            MoveWindow(child, r.left, 0, r.right - r.left, ch, TRUE);
            break;
        case FitBoth:
            MoveWindow(child, 0, 0, cw, ch, TRUE);
            break;
        default:
            fatalInternalError("fit mode outside 1 to 3");
        }
    }
}

void WindowObject::notifySizeListeners(WPARAM wParam, LPARAM lParam) {
    const std::vector<HWND> listeners = sizeListeners;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
        SendMessageW(*it, WM_SIZE, wParam, lParam);
    }
}

LRESULT WindowObject::onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        RECT client{};
        GetClientRect(hwnd, &client);
        x = 0;
        y = 0;
        width = client.right;
        height = client.bottom;
        break;
    }
    case WM_MOVE:
        x = LOWORD(lParam);
        y = HIWORD(lParam);
        break;
    case WM_SIZE: {
        width = LOWORD(lParam);
        height = HIWORD(lParam);
        RECT c{};
        GetClientRect(hwnd, &c);
        fitChildren(c.right - c.left, c.bottom - c.top);
        notifySizeListeners(wParam, lParam);
        break;
    }
    default:
        break;
    }
    return windowProc(hwnd, message, wParam, lParam);
}

int WindowObject::onSubclassMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && toolTip) toolTip->updateToolRect();
    return subclassProc(hwnd, message, wParam, lParam);
}
