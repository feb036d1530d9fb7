#include "framework/frame.h"

#include "controls/rebar.h"
#include "framework/fatal.h"
#include "framework/status_bar.h"

Frame::Frame(const std::string& title) : WindowObject(title) {}

LRESULT Frame::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int Frame::open(HWND, int) {
    fatalInternalError("Frame::open(parent, id) is not available");
}

int Frame::open(DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu) {
    const int r = registerClass();
    if (r != 0) return r;
    return create(0, style, x, y, width, height, parent, menu);
}

MainWindow::MainWindow(const std::string& title, const std::string& className) : Frame(title) {
    wc.style = 0;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    wc.lpszMenuName = nullptr;
    setClassName(className);
    statusBarHandle = nullptr;
}

MainWindow::~MainWindow() = default;

int MainWindow::enableRebar() {
    rebarEnabled = 1;
    return 0;
}

int MainWindow::addRebarChild(WindowObject* child, int id) {
    if (rebarEnabled != 1 || !rebar) return -1;
    return rebar->addFitableObject(child, id, true, true);
}

int MainWindow::addRebarBand(ToolBarEx* control) {
    if (rebarEnabled != 1 || !rebar) return -1;
    return rebar->insertBand(control);
}

int MainWindow::attachStatusBar(StatusBar* bar, const std::string& text) {
    if (!bar) return -1;
    const int r = bar->create(getHandle(), text);
    HWND h = bar->getHandle();
    if (h) {
        sizeListeners.push_back(h);
        statusBarHandle = h;
    }
    return r;
}

void MainWindow::layout(WPARAM wParam, LPARAM lParam) {
    RECT c{};
    GetClientRect(hwnd, &c);
    if (statusBarHandle) {
        RECT s{};
        GetWindowRect(statusBarHandle, &s);
        c.bottom -= s.bottom - s.top;
    }
    const int cw = c.right - c.left;
    const int ch = c.bottom - c.top;
    HWND rebarWindow = rebar ? rebar->getHandle() : nullptr;
    const std::vector<HWND> children = fittedChildren;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        HWND child = *it;
        if (rebarEnabled != 1 || child == rebarWindow) {
            MoveWindow(child, 0, 0, cw, ch, TRUE);
        } else {
            MoveWindow(child, 0, rebarHeight, cw, ch - rebarHeight, TRUE);
        }
    }
    notifySizeListeners(wParam, lParam);
    // The bar has re-aligned itself to the new width. With a class style of 0 the window
    // keeps the bar's old pixels wherever it only grew, and a status bar repaints no more
    // than its newly exposed strip (Wine's does so): each earlier size grip would stay
    // painted. The whole bar is redrawn instead.
    if (statusBarHandle) InvalidateRect(statusBarHandle, nullptr, TRUE);
}

LRESULT MainWindow::onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if (rebarEnabled == 1) {
            rebar = std::make_unique<Rebar>("Rebar");
            addFitableObject(rebar.get(), 0, true, true);
        }
        break;
    case WM_MOVE:
        x = LOWORD(lParam);
        y = HIWORD(lParam);
        break;
    case WM_SIZE:
        width = LOWORD(lParam);
        height = HIWORD(lParam);
        layout(wParam, lParam);
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        HWND rebarWindow = rebar ? rebar->getHandle() : nullptr;
        if (rebarEnabled == 1 && rebarWindow && header && header->hwndFrom == rebarWindow &&
            header->code == static_cast<UINT>(RBN_HEIGHTCHANGE)) {
            InvalidateRect(hwnd, nullptr, TRUE);
            UpdateWindow(rebarWindow);
            RECT r{};
            GetClientRect(rebarWindow, &r);
            rebarHeight = r.bottom - r.top + 2;
            RECT w{};
            GetWindowRect(hwnd, &w);
            SendMessageW(hwnd, WM_SIZE, 0, MAKELPARAM(w.right - w.left, w.bottom - w.top));
        }
        break;
    }
    default:
        break;
    }
    return windowProc(hwnd, message, wParam, lParam);
}
