#include "platform/drivers/driver.h"
#include "platform/drivers/driver_set.h"
#include "platform/drivers/web/audio.h"
#include "platform/drivers/web/display.h"
#include "platform/drivers/web/file_chooser.h"
#include "platform/drivers/web/page.h"

namespace platform {

namespace {

using web::Audio;
using web::Display;
using web::FileChooser;

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

std::string startDrivers() {
    setDisplayDriver(&drivers().display);
    setAudioDriver(&drivers().audio);
    setFileChooser(&drivers().chooser);
    return {};
}

// The page says that the program has ended, and how.
void stopDrivers(int status) {
    drivers().audio.stopAll();
    setDisplayDriver(nullptr);
    setAudioDriver(nullptr);
    setFileChooser(nullptr);
    mt_ended(status);
}

} // namespace platform
