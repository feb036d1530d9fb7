#pragma once

#include "platform/win32.h"

class Frame;

// The application object: opens the main window and runs the thread's message loop.
class Win32Frame {
public:
    Win32Frame() = default;
    Win32Frame(const Win32Frame&) = delete;
    Win32Frame& operator=(const Win32Frame&) = delete;
    virtual ~Win32Frame() = default;

    virtual int setMainWindow(Frame* frame);
    virtual int setWindowRect(int x, int y, int width, int height);
    virtual int setWindowStyle(DWORD style);
    virtual int run();

protected:
    Frame* mainWindow = nullptr;
    MSG msg{};
    HWND mainHandle = nullptr;
    int lastGetMessage = 0;
    HACCEL accelerators = nullptr;
    HINSTANCE instance = nullptr;
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    int width = CW_USEDEFAULT;
    int height = CW_USEDEFAULT;
    DWORD style = 0;
};
