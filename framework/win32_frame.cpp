#include "framework/win32_frame.h"

#include "framework/frame.h"
#include "framework/text.h"

#include <cstdio>

int Win32Frame::setMainWindow(Frame* frame) {
    mainWindow = frame;
    return 0;
}

int Win32Frame::setWindowRect(int newX, int newY, int newWidth, int newHeight) {
    x = newX;
    y = newY;
    width = newWidth;
    height = newHeight;
    return 0;
}

int Win32Frame::setWindowStyle(DWORD newStyle) {
    style = newStyle;
    return 0;
}

int Win32Frame::run() {
    instance = GetModuleHandleW(nullptr);
    // No main window is the same failure as one that cannot be opened.
    if (!mainWindow || mainWindow->open(style, x, y, width, height, nullptr, nullptr) < 0) {
        std::fputs("MainWindow open error.\n", stdout);
        std::fflush(stdout);
        return -1;
    }
    mainHandle = mainWindow->getHandle();
    const WString acceleratorName = toWide("MYACCEL");
    accelerators = LoadAcceleratorsW(instance, acceleratorName.c_str());
    for (;;) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        lastGetMessage = r;
        if (r == 0 || r == -1) return 0;
        if (TranslateAcceleratorW(mainHandle, accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
