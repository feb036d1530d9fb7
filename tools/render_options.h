// Command line of marrowtone-render.
#pragma once

#include "sound/play_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RenderOptions {
    std::string input;
    std::string output; // "-" for raw bytes on standard output
    // Every score named; with more than one, each is written beside itself and `output`
    // is empty.
    std::vector<std::string> inputs;
    int64_t samples = play_format::bufferBytes;
    int32_t rate = play_format::sampleRate;
    bool dump = false;
    bool help = false;
    bool version = false;
    bool check = false;
    bool info = false;
    bool play = false;
    bool watch = false;
    // --from: the first sample of the rendering written or played (the rest is cut off,
    // so the output is that much shorter), and how it was written, for messages.
    int64_t from = 0;
    std::string fromText;
    // --to: the sample the output ends before (the rendering's end when not given or past
    // it), and how it was written.
    int64_t to = play_format::bufferBytes;
    std::string toText;
    // --solo and --mute: the channels mixed, when any are named, and those left out.
    std::vector<std::string> solo;
    std::vector<std::string> mute;
};

// The largest buffer the tool renders: big enough for an hour at 48 kHz,
// small enough not to take the machine's memory.
constexpr int64_t maxRenderSamples = int64_t{1} << 28;

// Parses the arguments (without the program name). On a usage error returns
// nothing and sets `error` to a one-line description.
std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args,
                                                std::string& error);

// floor(seconds * rate) computed exactly from the decimal text of `seconds`;
// nothing for text that is not a plain non-negative decimal number.
std::optional<int64_t> samplesFor(const std::string& seconds, int32_t rate);

// floor(time * rate) for a time given as seconds ("12.5") or as minutes and seconds
// ("1:02.5"); nothing for other text.
std::optional<int64_t> samplesForTime(const std::string& time, int32_t rate);

// INPUT with its extension replaced by ".wav".
std::string defaultOutputName(const std::string& input);
