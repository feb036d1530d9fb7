#include "platform/drivers/driver.h"
#include "platform/drivers/web/audio.h"
#include "platform/drivers/web/display.h"
#include "platform/drivers/web/file_chooser.h"
#include "platform/drivers/web/page.h"
#include "platform/drivers/web/web_platform.h"

namespace platform::web {

namespace {

struct Drivers {
    Display display;
    Audio audio;
    FileChooser chooser;
};

Drivers& drivers() {
    // Never destroyed: a device may still be asked to stop after the program has ended.
    static auto* d = new Drivers;
    return *d;
}

} // namespace

void install() {
    setDisplayDriver(&drivers().display);
    setAudioDriver(&drivers().audio);
    setFileChooser(&drivers().chooser);
}

void uninstall(int status) {
    drivers().audio.stopAll();
    setDisplayDriver(nullptr);
    setAudioDriver(nullptr);
    setFileChooser(nullptr);
    mt_ended(status);
}

} // namespace platform::web
