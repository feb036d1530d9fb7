// PulseAudio's client library, loaded when the first sound is wanted rather than linked:
// it brings some thirty libraries of its own (codecs, X, systemd, ...), which a program that
// never plays, such as a batch render, should not pay for at every start.
#pragma once

#include <pulse/pulseaudio.h>

namespace platform::pulse {

// Every entry of the client library the driver calls, by its name without "pa_".
#define MARROWTONE_PULSE_FUNCTIONS(X)                                                              \
    X(bytes_to_usec)                                                                               \
    X(context_connect)                                                                             \
    X(context_disconnect)                                                                          \
    X(context_get_state)                                                                           \
    X(context_new_with_proplist)                                                                   \
    X(context_rttime_new)                                                                          \
    X(context_set_state_callback)                                                                  \
    X(context_unref)                                                                               \
    X(operation_cancel)                                                                            \
    X(operation_unref)                                                                             \
    X(proplist_free)                                                                               \
    X(proplist_new)                                                                                \
    X(proplist_sets)                                                                               \
    X(rtclock_now)                                                                                 \
    X(sample_spec_valid)                                                                           \
    X(stream_connect_playback)                                                                     \
    X(stream_disconnect)                                                                           \
    X(stream_drain)                                                                                \
    X(stream_flush)                                                                                \
    X(stream_get_context)                                                                          \
    X(stream_get_sample_spec)                                                                      \
    X(stream_get_state)                                                                            \
    X(stream_new_with_proplist)                                                                    \
    X(stream_set_state_callback)                                                                   \
    X(stream_set_write_callback)                                                                   \
    X(stream_unref)                                                                                \
    X(stream_writable_size)                                                                        \
    X(stream_write)                                                                                \
    X(threaded_mainloop_get_api)                                                                   \
    X(threaded_mainloop_lock)                                                                      \
    X(threaded_mainloop_new)                                                                       \
    X(threaded_mainloop_set_name)                                                                  \
    X(threaded_mainloop_signal)                                                                    \
    X(threaded_mainloop_start)                                                                     \
    X(threaded_mainloop_stop)                                                                      \
    X(threaded_mainloop_unlock)                                                                    \
    X(threaded_mainloop_wait)                                                                      \
    X(usec_to_bytes)

struct Library {
#define MARROWTONE_PULSE_ENTRY(name) decltype(&::pa_##name) name = nullptr;
    MARROWTONE_PULSE_FUNCTIONS(MARROWTONE_PULSE_ENTRY)
#undef MARROWTONE_PULSE_ENTRY
};

// Loads the library and finds every entry, once; later calls answer at once. Null when the
// library or one of its entries is missing: then there is no device, as on a machine
// without a sound server. Not thread-safe: the driver calls it from one place.
const Library* loadLibrary();

} // namespace platform::pulse
