#pragma once

#include "framework/window_base.h"

#include <map>
#include <vector>

class ToolTip;

// A window that carries its own creation geometry and styles, creates child window
// objects inside itself and keeps registered children fitted to its client area.
class WindowObject : public WindowBase {
public:
    enum FitMode { FitWidth = 1, FitHeight = 2, FitBoth = 3 };

    explicit WindowObject(const std::string& title);

    LRESULT onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    int onSubclassMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    virtual int setRect(int x, int y, int width, int height);
    virtual int setStyle(DWORD style);
    virtual int addStyle(DWORD bits);
    virtual int setExStyle(DWORD exStyle);
    virtual int addExStyle(DWORD bits);
    virtual int addFitableObject(WindowObject* child, int id, bool fitWidth, bool fitHeight);
    virtual int attachToolTip(ToolTip* tip);
    virtual int open(HWND parent, int id);

protected:
    // Moves every fitted child as its mode asks, inside a client area of cw by ch.
    void fitChildren(int cw, int ch);
    // Forwards a WM_SIZE, with its own parameters, to every listener, last first.
    void notifySizeListeners(WPARAM wParam, LPARAM lParam);

    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    int width = CW_USEDEFAULT;
    int height = CW_USEDEFAULT;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::vector<HWND> fittedChildren;
    std::map<HWND, int> fitMode;
    std::vector<HWND> sizeListeners;
    ToolTip* toolTip = nullptr;
};

// The rectangle of a window in the client coordinates of another.
RECT rectInClientOf(HWND window, HWND parent);
