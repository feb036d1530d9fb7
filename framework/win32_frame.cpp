#include "framework/win32_frame.h"

#include "framework/callback_error.h"
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
    const bool opened =
        mainWindow && mainWindow->open(style, x, y, width, height, nullptr, nullptr) >= 0;
    // An error raised while the window was being created is the cause, not the open failure.
    rethrowCallbackError();
    if (!opened) {
        std::fputs("MainWindow open error.\n", stdout);
        std::fflush(stdout);
        return -1;
    }
    mainHandle = mainWindow->getHandle();
    const WString acceleratorName = toWide("MYACCEL");
    accelerators = LoadAcceleratorsW(instance, acceleratorName.c_str());
    // Handlers run inside these calls (GetMessageW delivers sent messages, an accelerator
    // sends its command); each call is followed by the rethrow of what a handler raised, so
    // the error leaves run() as if the handler had been called from here.
    for (;;) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        lastGetMessage = r;
        rethrowCallbackError();
        if (r == 0 || r == -1) return 0;
        const bool translated = TranslateAcceleratorW(mainHandle, accelerators, &msg) != 0;
        rethrowCallbackError();
        if (translated) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        rethrowCallbackError();
    }
}
