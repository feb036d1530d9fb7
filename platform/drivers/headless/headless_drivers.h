// The headless drivers, for the registry that falls back on them and for the test controls
// of headless.h; not for the window system.
#pragma once

#include "platform/drivers/driver.h"

namespace platform::headless {

DisplayDriver& displayDriver();
AudioDriver& audioDriver();
FileChooser& fileChooser();

} // namespace platform::headless
