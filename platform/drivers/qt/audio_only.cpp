// The desktop's sound without its display, for programs that have no window.
//
// Qt Multimedia needs an application object but not a GUI one: a QCoreApplication reaches
// the sound server with no display at all. The audio thread runs its own event loop, so
// the program's thread never has to run Qt's.
#include <QCoreApplication>

#include <cstdio>

#include "platform/drivers/qt/qt_drivers.h"
#include "platform/drivers/qt/qt_platform.h"

namespace platform::qt {

namespace {

QCoreApplication* core = nullptr;

// A command-line program tells its user in its own words when there is no sound; Qt's
// diagnostics for the same (no server to connect to) would only add noise to its output.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
    // Qt ends the program itself after a fatal message.
    if (type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

void installAudio() {
    if (core || QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "marrowtone";
    static char* argv[] = {name, nullptr};
    qInstallMessageHandler(quiet);
    core = new QCoreApplication(argc, argv);
    setAudioDriver(createAudioDriver());
}

void uninstallAudio() {
    if (!core) return;
    shutDownAudio();
    setAudioDriver(nullptr);
    delete core;
    core = nullptr;
}

} // namespace platform::qt
