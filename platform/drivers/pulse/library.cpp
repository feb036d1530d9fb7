#include "platform/drivers/pulse/library.h"

#include <dlfcn.h>

namespace platform::pulse {

const Library* loadLibrary() {
    static bool tried = false;
    static Library library;
    static bool complete = false;
    if (tried) return complete ? &library : nullptr;
    tried = true;
    // The versioned name: the unversioned one comes only with the development files. Kept
    // loaded for the program's life, as devices may play until the process ends.
    void* handle = dlopen("libpulse.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    complete = true;
#define MARROWTONE_PULSE_FIND(name)                                                                \
    library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, "pa_" #name));           \
    complete = complete && library.name != nullptr;
    MARROWTONE_PULSE_FUNCTIONS(MARROWTONE_PULSE_FIND)
#undef MARROWTONE_PULSE_FIND
    return complete ? &library : nullptr;
}

} // namespace platform::pulse
