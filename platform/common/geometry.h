// Sizes of rectangles, for every DLL of the platform layer.
#pragma once

#include "platform/win32.h"

namespace platform::detail {

inline int width(const RECT& r) {
    return r.right - r.left;
}
inline int height(const RECT& r) {
    return r.bottom - r.top;
}

} // namespace platform::detail
