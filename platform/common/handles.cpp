#include "platform/common/handles.h"

#include <atomic>

namespace platform::detail {

uintptr_t newHandleValue() {
    static std::atomic<uintptr_t> next{0x00010004};
    return next.fetch_add(4);
}

} // namespace platform::detail
