// The page runs the program on one thread (no shared memory is needed, so any web server
// can serve it). The wave output keeps a feeder thread per open device, which starts the
// blocks queued behind a finished one; the player writes a single block, so the feeder
// has nothing to do while the device is open. Here a thread does not start when it is
// created but runs when it is joined, which is when the wave output tells its feeder to
// quit, so every thread still runs and returns exactly once.
#include <pthread.h>

#include <cerrno>
#include <cstdint>
#include <map>

namespace {

struct Pending {
    void* (*start)(void*) = nullptr;
    void* arg = nullptr;
};

std::map<pthread_t, Pending>& pending() {
    static auto* threads = new std::map<pthread_t, Pending>;
    return *threads;
}

uintptr_t nextThread = 1;

} // namespace

extern "C" {

int pthread_create(pthread_t* thread, const pthread_attr_t*, void* (*start)(void*), void* arg) {
    const auto id = (pthread_t)(nextThread++ << 4); // never 0, never a real thread
    pending()[id] = Pending{start, arg};
    *thread = id;
    return 0;
}

int pthread_join(pthread_t thread, void** result) {
    auto it = pending().find(thread);
    if (it == pending().end()) return ESRCH;
    const Pending p = it->second;
    pending().erase(it);
    void* r = p.start(p.arg);
    if (result) *result = r;
    return 0;
}

int pthread_detach(pthread_t thread) {
    // Nothing will join it: it would never run, so it is dropped now.
    return pending().erase(thread) ? 0 : ESRCH;
}
}
