// The tick count: milliseconds since the process started.
#include "platform/win32.h"

#include <chrono>

DWORD WINAPI GetTickCount(void) {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
}
