// The sound alone, for programs with no window: the audio driver talks to the sound server
// directly and needs nothing else of the desktop.
#include "platform/drivers/driver_set.h"

#include "platform/drivers/pulse/pulse.h"

namespace platform {

std::string startDrivers() {
    pulse::prepare();
    setAudioDriver(&pulse::audioDriver());
    return {};
}

void stopDrivers(int) {
    pulse::shutDown();
    setAudioDriver(nullptr);
}

} // namespace platform
