// Listens to the audio server's default output and prints when its first sound was played:
// the wall-clock time in nanoseconds (as `date +%s%N` gives it) of the first byte other than
// the silence (128), 8-bit mono at 11025 samples a second.
//
//   first_sound SECONDS
//       prints "listening" once it hears the output, then the time, and exits 0; exits 1
//       when nothing but silence came for SECONDS.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    const long seconds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10;
    const pa_sample_spec sampleSpec{PA_SAMPLE_U8, 11025, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = 110; // a hundredth of a second: the time is known to about that
    int error = 0;
    pa_simple* monitor =
        pa_simple_new(nullptr, "first sound", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor",
                      &sampleSpec, nullptr, &attr, &error);
    if (!monitor) {
        std::fprintf(stderr, "cannot listen: %s\n", pa_strerror(error));
        return 2;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    uint8_t chunk[55];
    for (long bytes = 0; bytes < seconds * 11025; bytes += sizeof chunk) {
        if (pa_simple_read(monitor, chunk, sizeof chunk, &error) < 0) {
            std::fprintf(stderr, "listening failed: %s\n", pa_strerror(error));
            return 2;
        }
        for (size_t i = 0; i < sizeof chunk; i++) {
            if (chunk[i] == 128) continue;
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            // The byte was played before it was read: by what the recording still held,
            // and by the bytes after it in this chunk.
            const pa_usec_t held = pa_simple_get_latency(monitor, &error);
            const long long after =
                static_cast<long long>(sizeof chunk - 1 - i) * 1000000000 / 11025;
            const long long at = now.tv_sec * 1000000000LL + now.tv_nsec -
                                 static_cast<long long>(held) * 1000 - after;
            std::printf("%lld\n", at);
            pa_simple_free(monitor);
            return 0;
        }
    }
    pa_simple_free(monitor);
    std::fprintf(stderr, "only silence for %ld s\n", seconds);
    return 1;
}
