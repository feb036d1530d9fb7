// The desktop's sound without its display, for programs that have no window: the audio
// driver talks to the sound server directly and needs nothing else of the desktop.
#include "platform/drivers/qt/qt_drivers.h"
#include "platform/drivers/qt/qt_platform.h"

namespace platform::qt {

namespace {

bool installed = false;

} // namespace

void installAudio() {
    if (installed) return;
    installed = true;
    setAudioDriver(createAudioDriver());
}

void uninstallAudio() {
    if (!installed) return;
    shutDownAudio();
    setAudioDriver(nullptr);
    installed = false;
}

} // namespace platform::qt
