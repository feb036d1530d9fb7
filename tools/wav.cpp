#include "tools/wav.h"

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

} // namespace

std::vector<uint8_t> wavHeader(uint32_t dataBytes, uint32_t rate) {
    std::vector<uint8_t> h;
    h.reserve(44);
    putTag(h, "RIFF");
    put32(h, 36 + dataBytes + (dataBytes & 1));
    putTag(h, "WAVE");
    putTag(h, "fmt ");
    put32(h, 16);   // size of the format chunk
    put16(h, 1);    // PCM
    put16(h, 1);    // mono
    put32(h, rate); // samples per second
    put32(h, rate); // bytes per second: one byte per sample
    put16(h, 1);    // block align
    put16(h, 8);    // bits per sample
    putTag(h, "data");
    put32(h, dataBytes);
    return h;
}

std::vector<uint8_t> wavFile(std::span<const uint8_t> samples, uint32_t rate) {
    std::vector<uint8_t> file = wavHeader(static_cast<uint32_t>(samples.size()), rate);
    file.insert(file.end(), samples.begin(), samples.end());
    if (samples.size() & 1) file.push_back(0);
    return file;
}
