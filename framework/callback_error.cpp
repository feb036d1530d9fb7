#include "framework/callback_error.h"

namespace {

// Per thread: each thread's windows are dispatched by that thread's own loop.
thread_local std::exception_ptr keptError;

} // namespace

void keepCallbackError(std::exception_ptr error) noexcept {
    if (!keptError) keptError = std::move(error);
}

void rethrowCallbackError() {
    if (!keptError) return;
    std::exception_ptr error = std::move(keptError);
    keptError = nullptr;
    std::rethrow_exception(error);
}
