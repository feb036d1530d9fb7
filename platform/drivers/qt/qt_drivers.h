// Shared by the desktop drivers; not for their users.
#pragma once

#include "platform/drivers/driver.h"
#include "platform/win32.h"

class QIcon;
class QWidget;

namespace platform::qt {

// The display on Qt Widgets. menuBarHeight is what a menu bar takes inside a window.
DisplayDriver* createDisplay(int menuBarHeight);
// The desktop window showing the top-level window that owns hwnd, or null.
QWidget* desktopWindowFor(HWND hwnd);
// While a modal loop of ours runs (the open dialog), messages posted to our queue are
// dispatched from Qt's loop, as a Windows modal loop does.
class ModalLoopScope {
public:
    ModalLoopScope();
    ~ModalLoopScope();
    ModalLoopScope(const ModalLoopScope&) = delete;
    ModalLoopScope& operator=(const ModalLoopScope&) = delete;
};

// What the desktop shows for the system's application icon (IDI_APPLICATION): the program's
// own, from the icon theme or built in.
QIcon applicationIcon();

FileChooser* createFileChooser();

} // namespace platform::qt
