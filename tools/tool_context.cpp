#include "tools/tool_context.h"

#include "tools/score_input.h"
#include "tools/score_text.h"

#include <algorithm>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// The score's channels for a message: in the order it declares them, a few at most.
std::string channelList(const Sound& sound) {
    constexpr size_t kMostNames = 20;
    std::vector<const std::string*> names(sound.channelIndex.size());
    for (const auto& [name, index] : sound.channelIndex)
        names[static_cast<size_t>(index)] = &name;
    std::string list;
    for (size_t i = 0; i < names.size() && i < kMostNames; ++i)
        list += (i ? ", " : "") + score_text::shown(*names[i]);
    if (names.size() > kMostNames)
        list += ", ... (" + std::to_string(names.size()) + " channels in all)";
    return list.empty() ? "none" : list;
}

} // namespace

bool writeAll(std::FILE* out, const void* data, size_t size) {
    return std::fwrite(data, 1, size, out) == size && std::fflush(out) == 0;
}

bool writeText(std::FILE* out, const std::string& text) {
    return writeAll(out, text.data(), text.size());
}

int usageError(std::FILE* err, const std::string& error) {
    std::fprintf(err, "marrowtone-render: %s (try 'marrowtone-render --help')\n", error.c_str());
    std::fflush(err);
    return 2;
}

int ToolContext::fail(const std::string& text) const {
    std::fprintf(io.err, "Error: %s\n", text.c_str());
    std::fflush(io.err);
    return 1;
}

void ToolContext::say(const std::string& text) const {
    writeText(io.err, text);
}

void ToolContext::readStandardInput() {
    if (options.input != "-") return;
#ifdef _WIN32
    _setmode(_fileno(io.in), _O_BINARY);
#endif
    stdinText_ = readScoreStream(io.in);
}

const std::string* ToolContext::textOf(const std::string& input) const {
    if (input == "-" && stdinText_) return &*stdinText_;
    checkScoreFile(input);
    return nullptr;
}

std::vector<std::string> ToolContext::silencedIn(const Sound& sound,
                                                 const std::string& input) const {
    for (const auto* option : {&options.solo, &options.mute})
        for (const std::string& name : *option)
            if (!sound.channelIndex.contains(name))
                throw UsageError((option == &options.solo ? "--solo" : "--mute") +
                                 std::string(" names '") + score_text::shown(name) +
                                 "', which is no channel of " + input +
                                 "; its channels: " + channelList(sound));
    std::vector<std::string> silenced = options.mute;
    if (!options.solo.empty())
        for (const auto& [name, index] : sound.channelIndex)
            if (std::find(options.solo.begin(), options.solo.end(), name) == options.solo.end())
                silenced.push_back(name);
    return silenced;
}
