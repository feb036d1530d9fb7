// The studio's engine, run in a Web Worker: the score the author is writing, rendered as
// the player renders it and examined as marrowtone-render --check and --info examine it,
// with the tool's own code, so that the page can tell nothing the tool would not.
#include "sound/play_format.h"
#include "sound/sound.h"
#include "tools/score_report.h"
#include "tools/score_text.h"
#include "tools/wav.h"

#include <emscripten/emscripten.h>

#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <vector>

namespace {

// What the last call left for the page to read; one score at a time, as the worker runs
// one job at a time.
struct Result {
    std::vector<uint8_t> bytes;
    std::string text;
};

Result& result() {
    static auto* r = new Result;
    return *r;
}

// The name the page's score goes by in the tool's lines; the page strips it again.
constexpr const char* kName = "score.mml";

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    return out + '"';
}

} // namespace

extern "C" {

// Renders `size` bytes of score text as the player does. Returns 0, or 1 with the tool's
// "Error: ..." line as the result's text.
EMSCRIPTEN_KEEPALIVE int ms_render(const char* text, size_t size) {
    Result& r = result();
    try {
        const std::string score(text, size);
        r.bytes.assign(play_format::bufferBytes, 0);
        r.text.clear();
        Sound sound;
        loadScore(sound, kName, &score);
        sound.render(std::span<uint8_t>(r.bytes), play_format::sampleRate);
        return 0;
    } catch (const std::exception& e) {
        r.bytes = {};
        r.text = std::string("Error: ") + e.what();
        return 1;
    }
}

// Examines the score as --check and --info do. The result's text is JSON: the warnings'
// lines as --check prints them, the channels as --info names them, and for a score that
// does not load the tool's error line and where the load stopped. The rendering, the same
// bytes the player's would be, stays as the result's bytes.
EMSCRIPTEN_KEEPALIVE int ms_check(const char* text, size_t size) {
    Result& r = result();
    r.bytes = {};
    const std::string score(text, size);
    Sound sound;
    std::vector<uint8_t> pcm(play_format::bufferBytes);
    try {
        const ScoreReport report = examineScore(sound, kName, pcm, play_format::sampleRate, &score);
        std::string names;
        for (const ChannelFigures& c : report.channels)
            names += (names.empty() ? "" : ",") + jsonString(score_text::readableName(c.name));
        r.text = "{\"check\":" + jsonString(warningLines(kName, report)) + ",\"channels\":[" +
                 names + "]}";
        r.bytes = std::move(pcm);
        return 0;
    } catch (const ScoreError& e) {
        r.text = "{\"error\":" + jsonString(std::string("Error: ") + e.what()) +
                 ",\"check\":" + jsonString(errorLine(kName, e)) + "}";
    } catch (const std::exception& e) {
        r.text = "{\"error\":" + jsonString(std::string("Error: ") + e.what()) + "}";
    }
    return 1;
}

// The WAV file marrowtone-render writes for the score; 1 and the error line when it does
// not load.
EMSCRIPTEN_KEEPALIVE int ms_wav(const char* text, size_t size) {
    if (ms_render(text, size) != 0) return 1;
    Result& r = result();
    r.bytes = wavFile(r.bytes, play_format::sampleRate);
    return 0;
}

EMSCRIPTEN_KEEPALIVE const uint8_t* ms_bytes() {
    return result().bytes.data();
}

EMSCRIPTEN_KEEPALIVE size_t ms_bytes_size() {
    return result().bytes.size();
}

EMSCRIPTEN_KEEPALIVE const char* ms_text() {
    return result().text.c_str();
}
}
