// The drivers in use, one of each kind: the display, the audio output and the file chooser.
// Until another is installed each kind has its headless driver, so the window system, the
// wave output and the open dialog work without a desktop.
#pragma once

#ifndef _WIN32

#include "platform/drivers/audio_driver.h"
#include "platform/drivers/display_driver.h"
#include "platform/drivers/file_chooser.h"

namespace platform {

DisplayDriver& displayDriver();
AudioDriver& audioDriver();
FileChooser& fileChooser();

// Install a driver (not owned, must outlive its use); null restores the headless one.
void setDisplayDriver(DisplayDriver* driver);
void setAudioDriver(AudioDriver* driver);
void setFileChooser(FileChooser* chooser);

} // namespace platform

#endif // _WIN32
