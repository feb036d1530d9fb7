// Connecting to the desktop and installing the drivers.
#include <QApplication>
#include <QIcon>
#include <QMenuBar>

#include "platform/drivers/driver_set.h"
#include "platform/drivers/pulse/pulse.h"
#include "platform/drivers/qt/qt_drivers.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
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

// Whether a Wayland compositor answers at WAYLAND_DISPLAY: a socket name in
// XDG_RUNTIME_DIR, or an absolute path.
bool waylandReachable() {
    const std::string name = std::getenv("WAYLAND_DISPLAY");
    std::string path = name;
    if (name.front() != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime) return false;
        path = std::string(runtime) + "/" + name;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// The height Qt gives a menu bar with one menu in the current style and font.
int menuBarHeight() {
    QMenuBar probe;
    probe.addMenu(QStringLiteral("File"));
    return std::max(probe.sizeHint().height(), 1);
}

} // namespace

} // namespace platform::qt

namespace platform {

using namespace qt;

void stopDrivers(int) {
    if (!application) return;
    // The sound stops with the program, and nothing may call into Qt once it is gone.
    pulse::shutDown();
    setAudioDriver(nullptr);
    setFileChooser(nullptr);
    setDisplayDriver(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete application;
    application = nullptr;
}

std::string startDrivers() {
    if (application) return {};
    std::optional<XDisplayProbe> probe;
    const bool wayland = hasVariable("WAYLAND_DISPLAY") && waylandReachable();
    if (!wayland) {
        if (!hasVariable("DISPLAY")) {
            return hasVariable("WAYLAND_DISPLAY")
                       ? "no display: the Wayland display " +
                             std::string(std::getenv("WAYLAND_DISPLAY")) + " cannot be reached"
                       : "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
        }
        probe.emplace();
        if (!probe->reachable()) {
            return "no display: the display " + std::string(std::getenv("DISPLAY")) +
                   " cannot be reached";
        }
        // A compositor that does not answer is no reason to fail where X does.
        if (hasVariable("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "xcb", 1);
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
    // The sound server is reached on the audio driver's own thread while the window opens,
    // so that the first score is heard as soon as the later ones.
    pulse::prepare();
    setAudioDriver(&pulse::audioDriver());
    return {};
}

} // namespace platform
