#include "platform/drivers/driver.h"

#include "platform/drivers/headless/headless_drivers.h"

#include <atomic>

namespace platform {

namespace {

// Read from any thread (PostMessageW wakes the display from the audio side).
template <typename Driver> struct Slot {
    std::atomic<Driver*> installed{nullptr};

    Driver& get(Driver& fallback) const {
        Driver* d = installed.load();
        return d ? *d : fallback;
    }
};

Slot<DisplayDriver> display;
Slot<AudioDriver> audio;
Slot<FileChooser> chooser;

} // namespace

DisplayDriver& displayDriver() {
    return display.get(headless::displayDriver());
}
AudioDriver& audioDriver() {
    return audio.get(headless::audioDriver());
}
FileChooser& fileChooser() {
    return chooser.get(headless::fileChooser());
}

void setDisplayDriver(DisplayDriver* driver) {
    display.installed.store(driver);
}
void setAudioDriver(AudioDriver* driver) {
    audio.installed.store(driver);
}
void setFileChooser(FileChooser* c) {
    chooser.installed.store(c);
}

} // namespace platform
