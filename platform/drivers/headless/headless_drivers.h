// The headless drivers, for the registry that falls back on them and for the test controls
// of headless.h; not for the window system.
#pragma once

#include "platform/drivers/audio_driver.h"
#include "platform/drivers/display_driver.h"
#include "platform/drivers/file_chooser.h"

namespace platform::headless {

DisplayDriver& displayDriver();
AudioDriver& audioDriver();
FileChooser& fileChooser();

// The drivers' own parts of a reset: the display forgets its events, the audio driver its
// capture (and makes a device available again), the chooser its script.
void resetDisplayDriver();
void resetAudioDriver();

} // namespace platform::headless
