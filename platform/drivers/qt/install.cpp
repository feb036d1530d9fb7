// Connecting to the desktop and installing the drivers.
#include <QApplication>
#include <QIcon>
#include <QMenuBar>

#include "platform/drivers/qt/qt_drivers.h"
#include "platform/drivers/qt/qt_platform.h"

#include <cstdlib>
#include <dlfcn.h>
#include <optional>
#include <unistd.h>

namespace platform::qt {

namespace {

QApplication* application = nullptr;

bool hasVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt ends the process when it cannot reach the display it is pointed at, so look first. The
// X library is loaded only to ask; Qt's own X support brings it along anyway. The connection
// stays open until Qt has its own: an X server that is left without clients resets itself,
// and refuses connections while it does.
class XDisplayProbe {
public:
    XDisplayProbe() {
        library_ = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!library_) return;
        auto connect = reinterpret_cast<Connect>(dlsym(library_, "xcb_connect"));
        auto hasError = reinterpret_cast<HasError>(dlsym(library_, "xcb_connection_has_error"));
        disconnect_ = reinterpret_cast<Disconnect>(dlsym(library_, "xcb_disconnect"));
        if (!connect || !hasError || !disconnect_) return;
        // A server resetting for another client's departure answers again a moment later.
        for (int attempt = 0; attempt < 5 && !reachable_; attempt++) {
            if (attempt > 0) usleep(100000);
            void* connection = connect(nullptr, nullptr);
            if (connection && hasError(connection) == 0) {
                connection_ = connection;
                reachable_ = true;
            } else if (connection) {
                disconnect_(connection);
            }
        }
    }
    ~XDisplayProbe() {
        if (connection_) disconnect_(connection_);
        if (library_) dlclose(library_);
    }
    XDisplayProbe(const XDisplayProbe&) = delete;
    XDisplayProbe& operator=(const XDisplayProbe&) = delete;

    bool reachable() const { return reachable_; }

private:
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    void* library_ = nullptr;
    void* connection_ = nullptr;
    Disconnect disconnect_ = nullptr;
    bool reachable_ = false;
};

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
    std::optional<XDisplayProbe> probe;
    if (!hasVariable("WAYLAND_DISPLAY")) {
        if (!hasVariable("DISPLAY")) return false;
        probe.emplace();
        if (!probe->reachable()) return false;
    }
    // The player reads no command line: Qt gets a fixed one instead of ours.
    static int argc = 1;
    static char name[] = "marrowtone";
    static char* argv[] = {name, nullptr};
    application = new QApplication(argc, argv);
    probe.reset();
    QApplication::setApplicationName(QStringLiteral("Marrowtone"));
    // The desktop matches our windows to data/marrowtone.desktop, and every window of ours,
    // the open dialog too, shows the program's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("marrowtone"));
    QApplication::setWindowIcon(applicationIcon());
    // Our layer decides when the program ends (WM_QUIT), not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);

    setDisplayDriver(createDisplay(menuBarHeight()));
    setFileChooser(createFileChooser());
    setAudioDriver(createAudioDriver());
    return true;
}

} // namespace platform::qt
