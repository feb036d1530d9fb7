// The audio driver on the desktop's sound server, through PulseAudio's client library
// (which PipeWire serves too), loaded at run time: without the library or a server there is
// no device, as on a machine without sound.
#pragma once

#include "platform/drivers/driver.h"

namespace platform::pulse {

AudioDriver& audioDriver();
// Begins loading the library and connecting to the server on a thread of the driver's own
// and returns at once, so that the first open is as quick as the later ones. Optional: the
// first use does it otherwise.
void prepare();
// Stops every device and the library's thread; devices then play nothing. Call it before
// the program ends, while the objects the sound was played for still exist.
void shutDown();

} // namespace platform::pulse
