// Connecting to the desktop and installing the drivers.
#include <QApplication>
#include <QMenuBar>

#include "qt_drivers.h"
#include "qt_platform.h"

#include <cstdlib>
#include <dlfcn.h>

namespace platform::qt {

namespace {

QApplication* application = nullptr;

bool hasVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt ends the process when it cannot reach the display it is pointed at, so look first. The
// X library is loaded only to ask; Qt's own X support brings it along anyway.
bool xDisplayReachable() {
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) return false;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool reachable = false;
    if (connect && hasError && disconnect) {
        void* connection = connect(nullptr, nullptr);
        reachable = connection && hasError(connection) == 0;
        if (connection) disconnect(connection);
    }
    dlclose(xcb);
    return reachable;
}

bool displayAvailable() {
    if (hasVariable("WAYLAND_DISPLAY")) return true;
    return hasVariable("DISPLAY") && xDisplayReachable();
}

// The height Qt gives a menu bar with one menu in the current style and font.
int menuBarHeight() {
    QMenuBar probe;
    probe.addMenu(QStringLiteral("File"));
    return std::max(probe.sizeHint().height(), 1);
}

} // namespace

void uninstall() {
    if (!application) return;
    // The sound stops with the program, and nothing may call into Qt once it is gone.
    shutDownAudio();
    setAudioDriver(nullptr);
    setFileChooser(nullptr);
    setDisplayDriver(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete application;
    application = nullptr;
}

bool install() {
    if (application) return true;
    if (!displayAvailable()) return false;
    // The player reads no command line: Qt gets a fixed one instead of ours.
    static int argc = 1;
    static char name[] = "marrowtone";
    static char* argv[] = {name, nullptr};
    application = new QApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marrowtone"));
    // Our layer decides when the program ends (WM_QUIT), not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);

    setDisplayDriver(createDisplay(menuBarHeight()));
    setFileChooser(createFileChooser());
    setAudioDriver(createAudioDriver());
    return true;
}

} // namespace platform::qt
