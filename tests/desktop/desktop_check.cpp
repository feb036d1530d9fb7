// Reads what the desktop tests captured: a screenshot of the player's window, and the sound
// the audio server played.
//
//   desktop_check statusbar SHOT.ppm
//       prints "height top statusHeight grip textPixels" for a binary PPM of the window alone:
//       top is the first row below the middle of the client area whose colour differs from
//       the client area's, grip whether the bottom-right corner holds the grip's dots, and
//       textPixels how many dark pixels the status bar has left of the grip.
//   desktop_check audio RECORDED RENDERED SECONDS
//       compares the raw 8-bit recording with the first SECONDS of the rendered buffer: the
//       server's silence (128) is removed from the recording, and the rendered tenths of a
//       second are looked for in order, byte for byte. Prints the share found and exits 1
//       below 95%.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    uint32_t at(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return (uint32_t{rgb[i]} << 16) | (uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
    }
    int luma(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return (299 * rgb[i] + 587 * rgb[i + 1] + 114 * rgb[i + 2]) / 1000;
    }
};

bool readPpm(const char* path, Image& image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> image.width >> image.height >> maxValue;
    if (!in || magic != "P6" || maxValue != 255 || image.width <= 0 || image.height <= 0)
        return false;
    in.get(); // the single white space before the pixels
    image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
    in.read(reinterpret_cast<char*>(image.rgb.data()),
            static_cast<std::streamsize>(image.rgb.size()));
    return static_cast<size_t>(in.gcount()) == image.rgb.size();
}

std::vector<uint8_t> readBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int statusBar(const char* path) {
    Image image;
    if (!readPpm(path, image)) {
        std::fprintf(stderr, "cannot read %s as a binary PPM\n", path);
        return 2;
    }
    const int x = image.width / 3;
    const int middle = image.height / 2;
    const uint32_t background = image.at(x, middle);
    int top = -1;
    for (int y = middle; y < image.height; y++)
        if (image.at(x, y) != background) {
            top = y;
            break;
        }
    // The grip: several colours in the last 12 by 12 pixels of the window.
    std::set<uint32_t> cornerColours;
    for (int y = std::max(0, image.height - 12); y < image.height; y++)
        for (int cx = std::max(0, image.width - 12); cx < image.width; cx++)
            cornerColours.insert(image.at(cx, y));
    const bool grip = cornerColours.size() >= 2;
    // Text would leave dark pixels in the bar; its frame lines are mid-grey, not dark.
    int textPixels = 0;
    if (top >= 0)
        for (int y = top + 1; y < image.height; y++)
            for (int cx = 0; cx < image.width - 20; cx++)
                if (image.luma(cx, y) < 90) textPixels++;
    std::printf("%d %d %d %d %d\n", image.height, top, top < 0 ? -1 : image.height - top,
                grip ? 1 : 0, textPixels);
    return 0;
}

int audio(const char* recordedPath, const char* renderedPath, double seconds) {
    const std::vector<uint8_t> recorded = readBytes(recordedPath);
    const std::vector<uint8_t> rendered = readBytes(renderedPath);
    const size_t rate = 11025;
    const size_t wanted = static_cast<size_t>(seconds * rate);
    if (rendered.size() < wanted || wanted < rate / 10) {
        std::fprintf(stderr, "rendered buffer too short: %zu bytes\n", rendered.size());
        return 2;
    }
    const std::vector<uint8_t> reference(rendered.begin(),
                                         rendered.begin() + static_cast<std::ptrdiff_t>(wanted));
    if (std::find(reference.begin(), reference.end(), uint8_t{128}) != reference.end()) {
        std::fprintf(stderr, "the score itself produces 128: it cannot be told from silence\n");
        return 2;
    }
    std::vector<uint8_t> heard;
    heard.reserve(recorded.size());
    for (uint8_t b : recorded)
        if (b != 128) heard.push_back(b);
    // Silence inside the sound: the stream ran dry for a moment.
    size_t gaps = 0;
    {
        const auto first =
            std::find_if(recorded.begin(), recorded.end(), [](uint8_t b) { return b != 128; });
        const auto last =
            std::find_if(recorded.rbegin(), recorded.rend(), [](uint8_t b) { return b != 128; });
        for (auto it = first; it != recorded.end() && it < last.base(); ++it)
            if (*it == 128 && *(it - 1) != 128) gaps++;
    }

    // A tenth of a second counts when it follows the last one found within a second: a
    // score repeats, and a lost tenth must not let the next one match a later repetition.
    const size_t chunk = rate / 10;
    size_t chunks = 0, found = 0;
    size_t from = 0;
    bool anchored = false;
    for (size_t start = 0; start + chunk <= reference.size(); start += chunk) {
        chunks++;
        auto first = reference.begin() + static_cast<std::ptrdiff_t>(start);
        // Before the first find, the silence removed, the recording starts where the sound
        // does: a tenth lies at most a second from its place in the buffer.
        const size_t limit = std::min(heard.size(), (anchored ? from : start) + rate + chunk);
        if (from >= limit) continue;
        auto end = heard.begin() + static_cast<std::ptrdiff_t>(limit);
        auto at = std::search(heard.begin() + static_cast<std::ptrdiff_t>(from), end, first,
                              first + static_cast<std::ptrdiff_t>(chunk));
        if (at == end) continue;
        found++;
        anchored = true;
        from = static_cast<size_t>(at - heard.begin()) + chunk;
    }
    const double share = chunks ? static_cast<double>(found) / static_cast<double>(chunks) : 0;
    std::printf("recorded %zu bytes (%zu without silence, %zu gaps within the sound); found %zu "
                "of %zu tenths of a second of the first %.1f s in order: %.1f%%\n",
                recorded.size(), heard.size(), gaps, found, chunks, seconds, share * 100);
    return share >= 0.95 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "statusbar" && argc == 3) return statusBar(argv[2]);
    if (command == "audio" && argc == 5) return audio(argv[2], argv[3], std::atof(argv[4]));
    std::fprintf(stderr, "usage: desktop_check statusbar SHOT.ppm | audio RECORDED RENDERED "
                         "SECONDS\n");
    return 2;
}
