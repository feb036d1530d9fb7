// The web audio driver (see audio.cpp).
#pragma once

#include "platform/drivers/driver.h"

namespace platform::web {

class Audio final : public AudioDriver {
public:
    const char* name() const override { return "web"; }
    std::unique_ptr<AudioDevice> open(const WAVEFORMATEX& format) override;
    // Silences every block still playing: the program has ended.
    void stopAll();
};

} // namespace platform::web
