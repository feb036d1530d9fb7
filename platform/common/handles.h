// Handle values, shared by every DLL of the platform layer.
#pragma once

#include "platform/win32.h"

#include <cstdint>

namespace platform::detail {

// Every handle the layer gives out comes from this one counter, so no two objects of any
// kind share a value and a value is never reused within the process.
uintptr_t newHandleValue();

template <typename H> H makeHandle() {
    return reinterpret_cast<H>(newHandleValue());
}
template <typename H> uintptr_t handleKey(H h) {
    return reinterpret_cast<uintptr_t>(h);
}

} // namespace platform::detail
