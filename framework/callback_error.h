#pragma once

#include "platform/win32.h"

#include <exception>
#include <utility>

// A C++ exception must never unwind through the system's own frames: a window procedure
// is called from DispatchMessageW, SendMessageW or CreateWindowExW, whose frames have no
// unwind tables for our exceptions (32-bit MinGW) or swallow them (64-bit Windows). So
// every function the system calls back runs inside guardCallback, which keeps what it
// raised, and the message loop rethrows it once the system has handed control back.

// Keeps `error` for the loop; the first error wins, later ones are the same failure
// unwinding further and would only hide its cause.
void keepCallbackError(std::exception_ptr error) noexcept;

// Rethrows the kept error, if any, and forgets it.
void rethrowCallbackError();

// Runs `body` and returns its result; if it raises, keeps the error and returns
// `neutral`, the result that asks the system for nothing more.
template <typename Body> LRESULT guardCallback(LRESULT neutral, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        keepCallbackError(std::current_exception());
        return neutral;
    }
}
