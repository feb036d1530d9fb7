#pragma once

#include "framework/window_object.h"

#include <memory>

class Rebar;
class StatusBar;
class ToolBarEx;

// A top-level window that registers its own class and creates itself in one step.
class Frame : public WindowObject {
public:
    explicit Frame(const std::string& title);

    LRESULT windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    // A frame is never a child made by addFitableObject; reaching this is a programming
    // error and ends the program.
    int open(HWND parent, int id) override;

    virtual int open(DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu);
};

// The frame an application derives its main window from: class defaults, an optional
// rebar across the top, a status bar along the bottom and the fitted children between.
class MainWindow : public Frame {
public:
    MainWindow(const std::string& title, const std::string& className);
    ~MainWindow() override;

    LRESULT onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    virtual int enableRebar();
    virtual int addRebarChild(WindowObject* child, int id);
    virtual int addRebarBand(ToolBarEx* control);
    virtual int attachStatusBar(StatusBar* bar, const std::string& text);

protected:
    void layout(WPARAM wParam, LPARAM lParam);

    std::unique_ptr<Rebar> rebar;
    int rebarHeight = 0;
    int rebarEnabled = 0;
    HWND statusBarHandle = nullptr;
};
